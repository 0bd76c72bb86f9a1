// Instruction forms that are accepted but have no translation: each reads
// nothing that changes the IR and emits no operation, so its destinations
// keep their previous values and the control transfers among them (JCAL,
// JMP, JMX, LONGJMP, PLONGJMP, PEXIT) transfer no control. They are
// reported so that a shader relying on one can be diagnosed.
#include <string>

#include "Zerivox.Graphics.Shader/IGpuAccessor.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmitHelper.h"
#include "Zerivox.Graphics.Shader/Translation/EmitterContext.h"

namespace Zerivox::Graphics::Shader::Instructions::InstEmit {

using Translation::EmitterContext;

namespace {

void ReportUntranslated(EmitterContext& context, const char* name) {
    std::string address = InstEmitHelper::ToHexUpper(context.CurrOp.Address);
    if (address.size() < 6)
        address.insert(0, 6 - address.size(), '0');
    context.GpuAccessor().Log("Instruction \"" + std::string(name) + "\" at 0x" + address +
                              " has no translation; it was skipped.");
}

} // namespace

#define ZV_UNTRANSLATED(Name)                                                                                          \
    void Name(EmitterContext& context) { ReportUntranslated(context, #Name); }

ZV_UNTRANSLATED(B2r)
ZV_UNTRANSLATED(R2b)
ZV_UNTRANSLATED(Bpt)
ZV_UNTRANSLATED(Cctl)
ZV_UNTRANSLATED(Cctll)
ZV_UNTRANSLATED(Cctlt)
ZV_UNTRANSLATED(Cs2r)
ZV_UNTRANSLATED(FchkR)
ZV_UNTRANSLATED(FchkI)
ZV_UNTRANSLATED(FchkC)
ZV_UNTRANSLATED(Getcrsptr)
ZV_UNTRANSLATED(Setcrsptr)
ZV_UNTRANSLATED(Getlmembase)
ZV_UNTRANSLATED(Setlmembase)
ZV_UNTRANSLATED(Ide)
ZV_UNTRANSLATED(IdpR)
ZV_UNTRANSLATED(IdpC)
ZV_UNTRANSLATED(ImadspR)
ZV_UNTRANSLATED(ImadspI)
ZV_UNTRANSLATED(ImadspC)
ZV_UNTRANSLATED(ImadspRc)
ZV_UNTRANSLATED(Jcal)
ZV_UNTRANSLATED(Jmp)
ZV_UNTRANSLATED(Jmx)
ZV_UNTRANSLATED(Ld)
ZV_UNTRANSLATED(St)
ZV_UNTRANSLATED(Lepc)
ZV_UNTRANSLATED(Longjmp)
ZV_UNTRANSLATED(Plongjmp)
ZV_UNTRANSLATED(Pexit)
ZV_UNTRANSLATED(Pixld)
ZV_UNTRANSLATED(PrmtR)
ZV_UNTRANSLATED(PrmtI)
ZV_UNTRANSLATED(PrmtC)
ZV_UNTRANSLATED(PrmtRc)
ZV_UNTRANSLATED(Ram)
ZV_UNTRANSLATED(Rtt)
ZV_UNTRANSLATED(Sam)
ZV_UNTRANSLATED(Stp)
ZV_UNTRANSLATED(Txa)
ZV_UNTRANSLATED(Vabsdiff)
ZV_UNTRANSLATED(Vabsdiff4)
ZV_UNTRANSLATED(Vadd)
ZV_UNTRANSLATED(Vset)
ZV_UNTRANSLATED(Vshl)
ZV_UNTRANSLATED(Vshr)

#undef ZV_UNTRANSLATED

// The vertex-stage vote has nothing worth reporting: it only steers work
// distribution on the guest.
void Votevtg(EmitterContext&) {}

} // namespace Zerivox::Graphics::Shader::Instructions::InstEmit
