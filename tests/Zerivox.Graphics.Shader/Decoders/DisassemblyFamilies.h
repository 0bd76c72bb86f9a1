#pragma once
// What an independent disassembler prints for our instruction names, for the
// cross-checks against /work/shared/isa. Its mnemonic is usually our name in
// lower case; the exceptions are listed here, with the memory-space marker the
// shared ld/st mnemonics carry.
#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace Zerivox::Graphics::Shader::Testing {

struct DisassemblerName {
    std::string_view Name; // our InstName
    std::vector<std::string_view> Mnemonics;
    std::string_view Marker; // text the disassembly must also contain ("#": digits), or ""
};

inline const std::vector<DisassemblerName>& DisassemblerNames() {
    static const std::vector<DisassemblerName> names = {
        {"Ald", {"ld"}, " a["},
        {"Ast", {"st"}, " a["},
        {"Ldc", {"ld"}, " c#["},
        {"Ldl", {"ld"}, " l["},
        {"Lds", {"ld"}, " s["},
        {"Ld", {"ld"}, " g["},
        {"Stl", {"st"}, " l["},
        {"Sts", {"st"}, " s["},
        {"St", {"st"}, " g["},
        {"AtomCas", {"atom"}, "cas"},
        {"AtomsCas", {"atoms"}, ""},
        {"LeaHi", {"lea"}, "hi"},
        {"S2r", {"mov"}, ""},
        {"SuatomB", {"suatom"}, ""},
        {"SuatomB2", {"suatom"}, ""},
        {"SuatomCasB", {"suatom"}, "cas"},
        {"SuatomCas", {"suatom"}, "cas"},
        {"SuldDB", {"suld"}, ""},
        {"SuldD", {"suld"}, ""},
        {"SuldB", {"suld"}, ""},
        {"SuredB", {"sured"}, ""},
        {"SustDB", {"sust"}, ""},
        {"SustD", {"sust"}, ""},
        {"SustB", {"sust"}, ""},
        {"TexB", {"tex"}, ""},
        {"TexsF16", {"texs"}, ""},
        {"TldB", {"tld"}, ""},
        {"TldsF16", {"tlds"}, ""},
        {"Tld4B", {"tld4"}, ""},
        {"Tld4sF16", {"tld4s"}, ""},
        {"TmmlB", {"tmml"}, ""},
        {"TxdB", {"txd"}, ""},
        {"TxqB", {"txq"}, ""},
        {"Votevtg", {"vote"}, "vtg"},
        {"Hadd232i", {"hadd2_32i"}, ""},
        {"Hfma2", {"hfma2", "hfma2_32i"}, ""},
        {"Hmul232i", {"hmul2_32i"}, ""},
    };
    return names;
}

// Whether text contains marker, where '#' in the marker stands for one or more
// decimal digits.
inline bool ContainsMarker(std::string_view text, std::string_view marker) {
    for (std::size_t start = 0; start < text.size(); start++) {
        std::size_t t = start;
        std::size_t m = 0;
        for (; m < marker.size(); m++) {
            if (marker[m] == '#') {
                const std::size_t digits = t;
                while (t < text.size() && std::isdigit(static_cast<unsigned char>(text[t])))
                    t++;
                if (t == digits)
                    break;
            } else if (t < text.size() && text[t] == marker[m]) {
                t++;
            } else {
                break;
            }
        }
        if (m == marker.size())
            return true;
    }
    return false;
}

// First mnemonic of a disassembly line, after the guard ("$pN", "not $pN",
// "never"); "" when there is none.
inline std::string DisassemblyMnemonic(const std::string& text) {
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        if (token == "not") {
            in >> token;
            continue;
        }
        if (token.rfind("$p", 0) == 0 || token == "never") {
            continue;
        }
        return token;
    }
    return {};
}

// True when the disassembler's text names the same instruction as ours, or
// when it does not decode the word at all ("???": a gap of the disassembler).
inline bool DisassemblyAgrees(std::string_view name, const std::string& text, std::string* why) {
    const std::string mnemonic = DisassemblyMnemonic(text);
    if (mnemonic.empty() || mnemonic.rfind("???", 0) == 0) {
        return true;
    }
    for (const DisassemblerName& entry : DisassemblerNames()) {
        if (entry.Name != name) {
            continue;
        }
        const bool mnemonicOk =
            std::find(entry.Mnemonics.begin(), entry.Mnemonics.end(), mnemonic) != entry.Mnemonics.end();
        const bool markerOk = entry.Marker.empty() || ContainsMarker(text, entry.Marker);
        if (!mnemonicOk || !markerOk) {
            *why = std::string(name) + " printed as: " + text;
        }
        return mnemonicOk && markerOk;
    }
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (mnemonic != lower) {
        *why = std::string(name) + " printed as: " + text;
        return false;
    }
    return true;
}

} // namespace Zerivox::Graphics::Shader::Testing
