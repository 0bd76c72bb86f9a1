#include "driver/ResJson.h"

#include <charconv>

#include "Zerivox.Common/HexFormat.h"

namespace Zerivox::FenkVanter {

using namespace Graphics::Shader;

namespace {

void AppendUnit(std::string& out, uint32_t unit) {
    out += "\\u";
    Common::AppendHex(out, unit & 0xFFFF, 4);
}

// Decodes one UTF-8 sequence at s[i]; advances i. Malformed input (stray
// continuation bytes, overlong forms, surrogates, truncation) gives U+FFFD
// for the first byte only.
uint32_t DecodeUtf8(std::string_view s, std::size_t& i) {
    auto b0 = static_cast<unsigned char>(s[i]);
    int len;
    uint32_t cp;
    uint32_t min;
    if (b0 < 0x80) {
        ++i;
        return b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + static_cast<std::size_t>(len) > s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k < len; ++k) {
        auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = cp << 6 | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += static_cast<std::size_t>(len);
    return cp;
}

// Printable ASCII that stands for itself in the file.
constexpr bool IsPlain(char c) {
    return c >= 0x20 && c <= 0x7E && c != '"' && c != '&' && c != '\'' && c != '+' && c != '<' && c != '>' &&
           c != '\\' && c != '`';
}

// Appends utf8 as a JSON string literal; QuoteJsonString's rules.
void AppendJsonString(std::string& out, std::string_view utf8) {
    out += '"';
    for (std::size_t i = 0; i < utf8.size();) {
        // Names, keys and format names are plain text: copy such runs whole.
        std::size_t plain = i;
        while (plain < utf8.size() && IsPlain(utf8[plain]))
            ++plain;
        if (plain > i) {
            out.append(utf8.data() + i, plain - i);
            i = plain;
            continue;
        }
        uint32_t cp = DecodeUtf8(utf8, i);
        switch (cp) {
        case '\\':
            out += "\\\\";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\t':
            out += "\\t";
            continue;
        case '\b':
            out += "\\b";
            continue;
        case '\f':
            out += "\\f";
            continue;
        case '"':
        case '&':
        case '\'':
        case '+':
        case '<':
        case '>':
        case '`':
            AppendUnit(out, cp);
            continue;
        default:
            break;
        }
        // Printable ASCII went out with its run above: what is left is a
        // control character or beyond ASCII.
        if (cp <= 0xFFFF) {
            AppendUnit(out, cp);
        } else {
            uint32_t v = cp - 0x10000;
            AppendUnit(out, 0xD800 | (v >> 10));
            AppendUnit(out, 0xDC00 | (v & 0x3FF));
        }
    }
    out += '"';
}

void AppendInt(std::string& out, int64_t value) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, end);
}

// Indented writer for the fixed document shape.
class Writer {
  public:
    std::string Text;

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }

    // The text is built in place: one job's file is a few hundred bytes,
    // and quoting each name and value into a string of its own would cost
    // an allocation apiece.
    void Name(std::string_view name) {
        Separate();
        AppendJsonString(Text, name);
        Text += ": ";
        _afterName = true;
    }
    void String(std::string_view value) {
        Value();
        AppendJsonString(Text, value);
    }
    void String(const std::string& value) { String(std::string_view(value)); }
    void String(const std::optional<std::string>& value) {
        if (value) {
            String(*value);
        } else {
            Value();
            Text += "null";
        }
    }
    void Number(int64_t value) {
        Value();
        AppendInt(Text, value);
    }
    void Bool(bool value) {
        Value();
        Text += value ? "true" : "false";
    }
    // An empty array stays on its member's line.
    void EmptyArray() {
        Value();
        Text += "[]";
    }

  private:
    struct Level {
        bool HasItems = false;
    };
    std::vector<Level> _levels;
    bool _afterName = false;

    void NewLine() {
        Text += "\r\n";
        Text.append(_levels.size() * 2, ' ');
    }
    // Before a member name or an array element: comma after the previous one,
    // then a fresh indented line.
    void Separate() {
        if (_levels.empty())
            return;
        if (_levels.back().HasItems)
            Text += ',';
        _levels.back().HasItems = true;
        NewLine();
    }
    void Value() {
        if (_afterName) {
            _afterName = false;
            return;
        }
        Separate();
    }
    void Open(char c) {
        Value();
        Text += c;
        _levels.push_back({});
    }
    void Close(char c) {
        bool hadItems = _levels.back().HasItems;
        _levels.pop_back();
        if (hadItems)
            NewLine();
        Text += c;
    }
};

void WriteTextures(Writer& w, std::string_view name, const std::vector<TextureDescriptor>* list) {
    w.Name(name);
    if (list == nullptr || list->empty()) {
        w.EmptyArray();
        return;
    }
    w.BeginArray();
    for (const TextureDescriptor& t : *list) {
        w.BeginObject();
        w.Name("binding");
        w.Number(t.Binding);
        w.Name("type");
        w.Number(static_cast<int32_t>(t.Type));
        w.Name("format");
        w.String(TextureFormatName(t.Format));
        w.Name("cbuf_slot");
        w.Number(t.CbufSlot);
        w.Name("handle");
        w.Number(t.Handle);
        w.Name("array");
        w.Number(t.ArrayLength);
        w.Name("separate");
        w.Bool(t.Separate);
        w.Name("flags");
        w.Number(static_cast<int32_t>(t.Flags));
        w.EndObject();
    }
    w.EndArray();
}

void WriteSlots(Writer& w, std::string_view name, const std::set<int32_t>& slots) {
    w.Name(name);
    if (slots.empty()) {
        w.EmptyArray();
        return;
    }
    w.BeginArray();
    for (int32_t s : slots)
        w.Number(s);
    w.EndArray();
}

} // namespace

std::string QuoteJsonString(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    AppendJsonString(out, utf8);
    return out;
}

std::string WriteResJson(const ResJsonContent& c) {
    Writer w;
    w.Text.reserve(1024);
    w.BeginObject();
    w.Name("key");
    w.String(c.Key);
    w.Name("stage");
    w.String(c.Stage);

    w.Name("notes");
    if (c.Notes.empty()) {
        w.EmptyArray();
    } else {
        w.BeginArray();
        for (const std::string& n : c.Notes)
            w.String(n);
        w.EndArray();
    }

    w.Name("cbufs");
    if (c.Info == nullptr || c.Info->CBuffers.empty()) {
        w.EmptyArray();
    } else {
        w.BeginArray();
        for (const BufferDescriptor& b : c.Info->CBuffers) {
            w.BeginObject();
            w.Name("binding");
            w.Number(b.Binding);
            w.Name("slot");
            w.Number(b.Slot);
            w.EndObject();
        }
        w.EndArray();
    }

    w.Name("sbufs");
    if (c.Info == nullptr || c.Info->SBuffers.empty()) {
        w.EmptyArray();
    } else {
        w.BeginArray();
        for (const BufferDescriptor& b : c.Info->SBuffers) {
            w.BeginObject();
            w.Name("binding");
            w.Number(b.Binding);
            w.Name("slot");
            w.Number(b.Slot);
            w.Name("cb_slot");
            w.Number(b.CbSlot);
            w.Name("cb_offset");
            w.Number(b.CbOffset);
            w.Name("flags");
            w.Number(static_cast<uint8_t>(b.Flags));
            w.EndObject();
        }
        w.EndArray();
    }

    WriteTextures(w, "textures", c.Info ? &c.Info->Textures : nullptr);
    WriteTextures(w, "images", c.Info ? &c.Info->Images : nullptr);
    w.Name("uses_frag_coord");
    w.Bool(c.Info != nullptr && c.Info->UsesFragCoord);
    w.Name("frag_out_map");
    w.Number(c.Info ? c.Info->FragmentOutputMap : 0);
    WriteSlots(w, "tex_queried", c.TexQueried);
    WriteSlots(w, "img_queried", c.ImgQueried);
    w.EndObject();
    return std::move(w.Text);
}

} // namespace Zerivox::FenkVanter
