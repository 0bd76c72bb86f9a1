// Emitters of the instruction forms that are not translated yet. Each line
// below defines one; implementing a form means deleting its line here and
// defining the real emitter in the form family's own file. A placeholder
// reports the instruction and emits nothing, so whole shaders can already go
// through the later stages.
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"

#include <charconv>
#include <string>

#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

namespace {

void ReportPlaceholder(Translation::EmitterContext& context, const char* name) {
    char address[24];
    const auto end = std::to_chars(address, address + sizeof(address), context.CurrOp.Address, 16).ptr;
    std::string text(address, end);
    for (char& c : text) {
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    }
    if (text.size() < 6) text.insert(0, 6 - text.size(), '0');
    context.GpuAccessor().Log("Instruction \"" + std::string(name) + "\" at 0x" + text + " is not implemented.");
}

} // namespace

#define ZV_PLACEHOLDER(Name) \
    void Name(Translation::EmitterContext& context) { ReportPlaceholder(context, #Name); }

ZV_PLACEHOLDER(SuatomB)
ZV_PLACEHOLDER(Suatom)
ZV_PLACEHOLDER(SuatomB2)
ZV_PLACEHOLDER(SuatomCasB)
ZV_PLACEHOLDER(SuatomCas)
ZV_PLACEHOLDER(SuldDB)
ZV_PLACEHOLDER(SuldD)
ZV_PLACEHOLDER(SuldB)
ZV_PLACEHOLDER(Suld)
ZV_PLACEHOLDER(SuredB)
ZV_PLACEHOLDER(Sured)
ZV_PLACEHOLDER(SustDB)
ZV_PLACEHOLDER(SustD)
ZV_PLACEHOLDER(SustB)
ZV_PLACEHOLDER(Sust)
ZV_PLACEHOLDER(Tex)
ZV_PLACEHOLDER(TexB)
ZV_PLACEHOLDER(Texs)
ZV_PLACEHOLDER(TexsF16)
ZV_PLACEHOLDER(Tld)
ZV_PLACEHOLDER(TldB)
ZV_PLACEHOLDER(Tlds)
ZV_PLACEHOLDER(TldsF16)
ZV_PLACEHOLDER(Tld4)
ZV_PLACEHOLDER(Tld4B)
ZV_PLACEHOLDER(Tld4s)
ZV_PLACEHOLDER(Tld4sF16)
ZV_PLACEHOLDER(Tmml)
ZV_PLACEHOLDER(TmmlB)
ZV_PLACEHOLDER(Txd)
ZV_PLACEHOLDER(TxdB)
ZV_PLACEHOLDER(Txq)
ZV_PLACEHOLDER(TxqB)

#undef ZV_PLACEHOLDER

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
