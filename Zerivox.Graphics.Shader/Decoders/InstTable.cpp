#include "Zerivox.Graphics.Shader/Decoders/InstTable.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"

namespace Zerivox::Graphics::Shader::Decoders {

namespace {

namespace InstEmit = Instructions::InstEmit;

struct Encoding {
    const char* Pattern; // bits 63..50, bit 63 first; 'x' = don't care
    InstName Name;
    InstEmitter Emitter;
    InstProps Props;
};

// Every Maxwell encoding, one row per form, in the order they are added. Only
// the first 14 bits of an encoding choose the table slot, so the rest of the
// 64-bit pattern is not kept.
constexpr Encoding Encodings[] = {
    {"1110111110100x", InstName::Al2p, &InstEmit::Al2p, InstProps::Rd | InstProps::Ra},
    {"1110111111011x", InstName::Ald, &InstEmit::Ald, InstProps::Rd | InstProps::Ra},
    {"1110111111110x", InstName::Ast, &InstEmit::Ast, InstProps::Ra | InstProps::Rb2 | InstProps::Rc},
    {"11101101xxxxxx", InstName::Atom, &InstEmit::Atom, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"111011101111xx", InstName::AtomCas, &InstEmit::AtomCas, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"11101100xxxxxx", InstName::Atoms, &InstEmit::Atoms, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"111011100xxxxx", InstName::AtomsCas, &InstEmit::AtomsCas, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"1111000010111x", InstName::B2r, &InstEmit::B2r, InstProps::Rd | InstProps::Ra | InstProps::VPd},
    {"1111000010101x", InstName::Bar, &InstEmit::Bar, InstProps::Ra | InstProps::Ps},
    {"0101110000000x", InstName::Bfe, &InstEmit::BfeR, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"0011100x00000x", InstName::Bfe, &InstEmit::BfeI, InstProps::Rd | InstProps::Ra | InstProps::Ib},
    {"0100110000000x", InstName::Bfe, &InstEmit::BfeC, InstProps::Rd | InstProps::Ra},
    {"0101101111110x", InstName::Bfi, &InstEmit::BfiR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0011011x11110x", InstName::Bfi, &InstEmit::BfiI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Rc},
    {"0100101111110x", InstName::Bfi, &InstEmit::BfiC, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"0101001111110x", InstName::Bfi, &InstEmit::BfiRc, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"111000111010xx", InstName::Bpt, &InstEmit::Bpt, InstProps::NoPred},
    {"111000100100xx", InstName::Bra, &InstEmit::Bra, InstProps::Bra},
    {"111000110100xx", InstName::Brk, &InstEmit::Brk, InstProps::Bra},
    {"111000100101xx", InstName::Brx, &InstEmit::Brx, InstProps::Ra | InstProps::Bra},
    {"111000100110xx", InstName::Cal, &InstEmit::Cal, InstProps::Bra | InstProps::NoPred},
    {"11101111011xxx", InstName::Cctl, &InstEmit::Cctl, InstProps::Ra},
    {"1110111110000x", InstName::Cctll, &InstEmit::Cctll, InstProps::Ra},
    {"1110101111110x", InstName::Cctlt, &InstEmit::Cctlt, InstProps::None},
    {"1110101111101x", InstName::Cctlt, &InstEmit::Cctlt, InstProps::Rc},
    {"111000110101xx", InstName::Cont, &InstEmit::Cont, InstProps::Bra},
    {"0101000010011x", InstName::Cset, &InstEmit::Cset, InstProps::Rd | InstProps::Ps},
    {"0101000010100x", InstName::Csetp, &InstEmit::Csetp, InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"0101000011001x", InstName::Cs2r, &InstEmit::Cs2r, InstProps::Rd},
    {"0101110001110x", InstName::Dadd, &InstEmit::DaddR, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"0011100x01110x", InstName::Dadd, &InstEmit::DaddI, InstProps::Rd | InstProps::Ra | InstProps::Ib},
    {"0100110001110x", InstName::Dadd, &InstEmit::DaddC, InstProps::Rd | InstProps::Ra},
    {"1111000011110x", InstName::Depbar, &InstEmit::Depbar, InstProps::None},
    {"010110110111xx", InstName::Dfma, &InstEmit::DfmaR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0011011x0111xx", InstName::Dfma, &InstEmit::DfmaI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Rc},
    {"010010110111xx", InstName::Dfma, &InstEmit::DfmaC, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"010100110111xx", InstName::Dfma, &InstEmit::DfmaRc, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"0101110001010x", InstName::Dmnmx, &InstEmit::DmnmxR,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Ps},
    {"0011100x01010x", InstName::Dmnmx, &InstEmit::DmnmxI,
     InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Ps},
    {"0100110001010x", InstName::Dmnmx, &InstEmit::DmnmxC, InstProps::Rd | InstProps::Ra | InstProps::Ps},
    {"0101110010000x", InstName::Dmul, &InstEmit::DmulR, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"0011100x10000x", InstName::Dmul, &InstEmit::DmulI, InstProps::Rd | InstProps::Ra | InstProps::Ib},
    {"0100110010000x", InstName::Dmul, &InstEmit::DmulC, InstProps::Rd | InstProps::Ra},
    {"010110010xxxxx", InstName::Dset, &InstEmit::DsetR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Ps},
    {"0011001x0xxxxx", InstName::Dset, &InstEmit::DsetI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Ps},
    {"010010010xxxxx", InstName::Dset, &InstEmit::DsetC, InstProps::Rd | InstProps::Ra | InstProps::Ps},
    {"010110111000xx", InstName::Dsetp, &InstEmit::DsetpR,
     InstProps::Ra | InstProps::Rb | InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"0011011x1000xx", InstName::Dsetp, &InstEmit::DsetpI,
     InstProps::Ra | InstProps::Ib | InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"010010111000xx", InstName::Dsetp, &InstEmit::DsetpC,
     InstProps::Ra | InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"111000110000xx", InstName::Exit, &InstEmit::Exit, InstProps::Bra},
    {"0101110010101x", InstName::F2f, &InstEmit::F2fR, InstProps::Rd | InstProps::Rb},
    {"0011100x10101x", InstName::F2f, &InstEmit::F2fI, InstProps::Rd | InstProps::Ib},
    {"0100110010101x", InstName::F2f, &InstEmit::F2fC, InstProps::Rd},
    {"0101110010110x", InstName::F2i, &InstEmit::F2iR, InstProps::Rd | InstProps::Rb},
    {"0011100x10110x", InstName::F2i, &InstEmit::F2iI, InstProps::Rd | InstProps::Ib},
    {"0100110010110x", InstName::F2i, &InstEmit::F2iC, InstProps::Rd},
    {"0101110001011x", InstName::Fadd, &InstEmit::FaddR, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"0011100x01011x", InstName::Fadd, &InstEmit::FaddI, InstProps::Rd | InstProps::Ra | InstProps::Ib},
    {"0100110001011x", InstName::Fadd, &InstEmit::FaddC, InstProps::Rd | InstProps::Ra},
    {"000010xxxxxxxx", InstName::Fadd32i, &InstEmit::Fadd32i, InstProps::Rd | InstProps::Ra},
    {"0101110010001x", InstName::Fchk, &InstEmit::FchkR, InstProps::Ra | InstProps::Rb | InstProps::Pd},
    {"0011100x10001x", InstName::Fchk, &InstEmit::FchkI, InstProps::Ra | InstProps::Ib | InstProps::Pd},
    {"0100110010001x", InstName::Fchk, &InstEmit::FchkC, InstProps::Ra | InstProps::Pd},
    {"010110111010xx", InstName::Fcmp, &InstEmit::FcmpR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0011011x1010xx", InstName::Fcmp, &InstEmit::FcmpI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Rc},
    {"010010111010xx", InstName::Fcmp, &InstEmit::FcmpC, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"010100111010xx", InstName::Fcmp, &InstEmit::FcmpRc, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"010110011xxxxx", InstName::Ffma, &InstEmit::FfmaR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0011001x1xxxxx", InstName::Ffma, &InstEmit::FfmaI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Rc},
    {"010010011xxxxx", InstName::Ffma, &InstEmit::FfmaC, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"010100011xxxxx", InstName::Ffma, &InstEmit::FfmaRc, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"000011xxxxxxxx", InstName::Ffma32i, &InstEmit::Ffma32i, InstProps::Rd | InstProps::Ra},
    {"0101110000110x", InstName::Flo, &InstEmit::FloR, InstProps::Rd | InstProps::Rb},
    {"0011100x00110x", InstName::Flo, &InstEmit::FloI, InstProps::Rd | InstProps::Ib},
    {"0100110000110x", InstName::Flo, &InstEmit::FloC, InstProps::Rd},
    {"0101110001100x", InstName::Fmnmx, &InstEmit::FmnmxR,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Ps},
    {"0011100x01100x", InstName::Fmnmx, &InstEmit::FmnmxI,
     InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Ps},
    {"0100110001100x", InstName::Fmnmx, &InstEmit::FmnmxC, InstProps::Rd | InstProps::Ra | InstProps::Ps},
    {"0101110001101x", InstName::Fmul, &InstEmit::FmulR, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"0011100x01101x", InstName::Fmul, &InstEmit::FmulI, InstProps::Rd | InstProps::Ra | InstProps::Ib},
    {"0100110001101x", InstName::Fmul, &InstEmit::FmulC, InstProps::Rd | InstProps::Ra},
    {"00011110xxxxxx", InstName::Fmul32i, &InstEmit::Fmul32i, InstProps::Rd | InstProps::Ra},
    {"01011000xxxxxx", InstName::Fset, &InstEmit::FsetR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Ps},
    {"0011000xxxxxxx", InstName::Fset, &InstEmit::FsetI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Ps},
    {"01001000xxxxxx", InstName::Fset, &InstEmit::FsetC, InstProps::Rd | InstProps::Ra | InstProps::Ps},
    {"010110111011xx", InstName::Fsetp, &InstEmit::FsetpR,
     InstProps::Ra | InstProps::Rb | InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"0011011x1011xx", InstName::Fsetp, &InstEmit::FsetpI,
     InstProps::Ra | InstProps::Ib | InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"010010111011xx", InstName::Fsetp, &InstEmit::FsetpC,
     InstProps::Ra | InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"0101000011111x", InstName::Fswzadd, &InstEmit::Fswzadd, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"111000101100xx", InstName::Getcrsptr, &InstEmit::Getcrsptr, InstProps::Rd | InstProps::NoPred},
    {"111000101101xx", InstName::Getlmembase, &InstEmit::Getlmembase, InstProps::Rd | InstProps::NoPred},
    {"0101110100010x", InstName::Hadd2, &InstEmit::Hadd2R, InstProps::Rd | InstProps::Ra},
    {"0111101x0xxxxx", InstName::Hadd2, &InstEmit::Hadd2I, InstProps::Rd | InstProps::Ra | InstProps::Ib},
    {"0111101x1xxxxx", InstName::Hadd2, &InstEmit::Hadd2C, InstProps::Rd | InstProps::Ra},
    {"0010110xxxxxxx", InstName::Hadd232i, &InstEmit::Hadd232i, InstProps::Rd | InstProps::Ra},
    {"0101110100000x", InstName::Hfma2, &InstEmit::Hfma2R,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"01110xxx0xxxxx", InstName::Hfma2, &InstEmit::Hfma2I,
     InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Rc},
    {"01110xxx1xxxxx", InstName::Hfma2, &InstEmit::Hfma2C, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"01100xxx1xxxxx", InstName::Hfma2, &InstEmit::Hfma2Rc, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"0010100xxxxxxx", InstName::Hfma2, &InstEmit::Hfma232i, InstProps::Rd | InstProps::Ra},
    {"0101110100001x", InstName::Hmul2, &InstEmit::Hmul2R, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"0111100x0xxxxx", InstName::Hmul2, &InstEmit::Hmul2I, InstProps::Rd | InstProps::Ra | InstProps::Ib},
    {"0111100x1xxxxx", InstName::Hmul2, &InstEmit::Hmul2C, InstProps::Rd | InstProps::Ra},
    {"0010101xxxxxxx", InstName::Hmul232i, &InstEmit::Hmul232i, InstProps::Rd | InstProps::Ra},
    {"0101110100011x", InstName::Hset2, &InstEmit::Hset2R,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Ps},
    {"0111110x0xxxxx", InstName::Hset2, &InstEmit::Hset2I,
     InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Ps},
    {"0111110x1xxxxx", InstName::Hset2, &InstEmit::Hset2C, InstProps::Rd | InstProps::Ra | InstProps::Ps},
    {"0101110100100x", InstName::Hsetp2, &InstEmit::Hsetp2R,
     InstProps::Ra | InstProps::Rb | InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"0111111x0xxxxx", InstName::Hsetp2, &InstEmit::Hsetp2I,
     InstProps::Ra | InstProps::Ib | InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"0111111x1xxxxx", InstName::Hsetp2, &InstEmit::Hsetp2C,
     InstProps::Ra | InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"0101110010111x", InstName::I2f, &InstEmit::I2fR, InstProps::Rd | InstProps::Rb},
    {"0011100x10111x", InstName::I2f, &InstEmit::I2fI, InstProps::Rd | InstProps::Ib},
    {"0100110010111x", InstName::I2f, &InstEmit::I2fC, InstProps::Rd},
    {"0101110011100x", InstName::I2i, &InstEmit::I2iR, InstProps::Rd | InstProps::Rb},
    {"0011100x11100x", InstName::I2i, &InstEmit::I2iI, InstProps::Rd | InstProps::Ib},
    {"0100110011100x", InstName::I2i, &InstEmit::I2iC, InstProps::Rd},
    {"0101110000010x", InstName::Iadd, &InstEmit::IaddR, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"0011100x00010x", InstName::Iadd, &InstEmit::IaddI, InstProps::Rd | InstProps::Ra | InstProps::Ib},
    {"0100110000010x", InstName::Iadd, &InstEmit::IaddC, InstProps::Rd | InstProps::Ra},
    {"0001110xxxxxxx", InstName::Iadd32i, &InstEmit::Iadd32i, InstProps::Rd | InstProps::Ra},
    {"010111001100xx", InstName::Iadd3, &InstEmit::Iadd3R,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0011100x1100xx", InstName::Iadd3, &InstEmit::Iadd3I,
     InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Rc},
    {"010011001100xx", InstName::Iadd3, &InstEmit::Iadd3C, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"010110110100xx", InstName::Icmp, &InstEmit::IcmpR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0011011x0100xx", InstName::Icmp, &InstEmit::IcmpI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Rc},
    {"010010110100xx", InstName::Icmp, &InstEmit::IcmpC, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"010100110100xx", InstName::Icmp, &InstEmit::IcmpRc, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"111000111001xx", InstName::Ide, &InstEmit::Ide, InstProps::NoPred},
    {"0101001111111x", InstName::Idp, &InstEmit::IdpR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0101001111011x", InstName::Idp, &InstEmit::IdpC, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"010110100xxxxx", InstName::Imad, &InstEmit::ImadR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0011010x0xxxxx", InstName::Imad, &InstEmit::ImadI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Rc},
    {"010010100xxxxx", InstName::Imad, &InstEmit::ImadC, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"010100100xxxxx", InstName::Imad, &InstEmit::ImadRc, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"000100xxxxxxxx", InstName::Imad32i, &InstEmit::Imad32i, InstProps::Rd | InstProps::Ra},
    {"010110101xxxxx", InstName::Imadsp, &InstEmit::ImadspR,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0011010x1xxxxx", InstName::Imadsp, &InstEmit::ImadspI,
     InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Rc},
    {"010010101xxxxx", InstName::Imadsp, &InstEmit::ImadspC, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"010100101xxxxx", InstName::Imadsp, &InstEmit::ImadspRc, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"0101110000100x", InstName::Imnmx, &InstEmit::ImnmxR,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Ps},
    {"0011100x00100x", InstName::Imnmx, &InstEmit::ImnmxI,
     InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Ps},
    {"0100110000100x", InstName::Imnmx, &InstEmit::ImnmxC, InstProps::Rd | InstProps::Ra | InstProps::Ps},
    {"0101110000111x", InstName::Imul, &InstEmit::ImulR, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"0011100x00111x", InstName::Imul, &InstEmit::ImulI, InstProps::Rd | InstProps::Ra | InstProps::Ib},
    {"0100110000111x", InstName::Imul, &InstEmit::ImulC, InstProps::Rd | InstProps::Ra},
    {"00011111xxxxxx", InstName::Imul32i, &InstEmit::Imul32i, InstProps::Rd | InstProps::Ra},
    {"11100000xxxxxx", InstName::Ipa, &InstEmit::Ipa, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"1110111111010x", InstName::Isberd, &InstEmit::Isberd, InstProps::Rd | InstProps::Ra},
    {"0101110000011x", InstName::Iscadd, &InstEmit::IscaddR, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"0011100x00011x", InstName::Iscadd, &InstEmit::IscaddI, InstProps::Rd | InstProps::Ra | InstProps::Ib},
    {"0100110000011x", InstName::Iscadd, &InstEmit::IscaddC, InstProps::Rd | InstProps::Ra},
    {"000101xxxxxxxx", InstName::Iscadd32i, &InstEmit::Iscadd32i, InstProps::Rd | InstProps::Ra},
    {"010110110101xx", InstName::Iset, &InstEmit::IsetR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Ps},
    {"0011011x0101xx", InstName::Iset, &InstEmit::IsetI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Ps},
    {"010010110101xx", InstName::Iset, &InstEmit::IsetC, InstProps::Rd | InstProps::Ra | InstProps::Ps},
    {"010110110110xx", InstName::Isetp, &InstEmit::IsetpR,
     InstProps::Ra | InstProps::Rb | InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"0011011x0110xx", InstName::Isetp, &InstEmit::IsetpI,
     InstProps::Ra | InstProps::Ib | InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"010010110110xx", InstName::Isetp, &InstEmit::IsetpC,
     InstProps::Ra | InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"111000100010xx", InstName::Jcal, &InstEmit::Jcal, InstProps::Bra},
    {"111000100001xx", InstName::Jmp, &InstEmit::Jmp, InstProps::Ra | InstProps::Bra},
    {"111000100000xx", InstName::Jmx, &InstEmit::Jmx, InstProps::Ra | InstProps::Bra},
    {"111000110011xx", InstName::Kil, &InstEmit::Kil, InstProps::Bra},
    {"100xxxxxxxxxxx", InstName::Ld, &InstEmit::Ld, InstProps::Rd | InstProps::Ra},
    {"1110111110010x", InstName::Ldc, &InstEmit::Ldc, InstProps::Rd | InstProps::Ra},
    {"1110111011010x", InstName::Ldg, &InstEmit::Ldg, InstProps::Rd | InstProps::Ra},
    {"1110111101000x", InstName::Ldl, &InstEmit::Ldl, InstProps::Rd | InstProps::Ra},
    {"1110111101001x", InstName::Lds, &InstEmit::Lds, InstProps::Rd | InstProps::Ra},
    {"0101101111010x", InstName::Lea, &InstEmit::LeaR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::LPd},
    {"0011011x11010x", InstName::Lea, &InstEmit::LeaI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::LPd},
    {"0100101111010x", InstName::Lea, &InstEmit::LeaC, InstProps::Rd | InstProps::Ra | InstProps::LPd},
    {"0101101111011x", InstName::LeaHi, &InstEmit::LeaHiR,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc | InstProps::LPd},
    {"000110xxxxxxxx", InstName::LeaHi, &InstEmit::LeaHiC,
     InstProps::Rd | InstProps::Ra | InstProps::Rc | InstProps::LPd},
    {"0101000011010x", InstName::Lepc, &InstEmit::Lepc, InstProps::None},
    {"111000110001xx", InstName::Longjmp, &InstEmit::Longjmp, InstProps::Bra},
    {"0101110001000x", InstName::Lop, &InstEmit::LopR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::LPd},
    {"0011100x01000x", InstName::Lop, &InstEmit::LopI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::LPd},
    {"0100110001000x", InstName::Lop, &InstEmit::LopC, InstProps::Rd | InstProps::Ra | InstProps::LPd},
    {"0101101111100x", InstName::Lop3, &InstEmit::Lop3R,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc | InstProps::LPd},
    {"001111xxxxxxxx", InstName::Lop3, &InstEmit::Lop3I, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Rc},
    {"0000001xxxxxxx", InstName::Lop3, &InstEmit::Lop3C, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"000001xxxxxxxx", InstName::Lop32i, &InstEmit::Lop32i, InstProps::Rd | InstProps::Ra},
    {"1110111110011x", InstName::Membar, &InstEmit::Membar, InstProps::None},
    {"0101110010011x", InstName::Mov, &InstEmit::MovR, InstProps::Rd | InstProps::Ra},
    {"0011100x10011x", InstName::Mov, &InstEmit::MovI, InstProps::Rd | InstProps::Ib},
    {"0100110010011x", InstName::Mov, &InstEmit::MovC, InstProps::Rd},
    {"000000010000xx", InstName::Mov32i, &InstEmit::Mov32i, InstProps::Rd},
    {"0101000010000x", InstName::Mufu, &InstEmit::Mufu, InstProps::Rd | InstProps::Ra},
    {"0101000010110x", InstName::Nop, &InstEmit::Nop, InstProps::None},
    {"1111101111100x", InstName::Out, &InstEmit::OutR, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"1111011x11100x", InstName::Out, &InstEmit::OutI, InstProps::Rd | InstProps::Ra | InstProps::Ib},
    {"1110101111100x", InstName::Out, &InstEmit::OutC, InstProps::Rd | InstProps::Ra},
    {"0101110011101x", InstName::P2r, &InstEmit::P2rR, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"0011100x11101x", InstName::P2r, &InstEmit::P2rI, InstProps::Rd | InstProps::Ra | InstProps::Ib},
    {"0100110011101x", InstName::P2r, &InstEmit::P2rC, InstProps::Rd | InstProps::Ra},
    {"111000101010xx", InstName::Pbk, &InstEmit::Pbk, InstProps::NoPred},
    {"111000101011xx", InstName::Pcnt, &InstEmit::Pcnt, InstProps::NoPred},
    {"111000100011xx", InstName::Pexit, &InstEmit::Pexit, InstProps::None},
    {"1110111111101x", InstName::Pixld, &InstEmit::Pixld, InstProps::Rd | InstProps::Ra | InstProps::VPd},
    {"111000101000xx", InstName::Plongjmp, &InstEmit::Plongjmp, InstProps::Bra | InstProps::NoPred},
    {"0101110000001x", InstName::Popc, &InstEmit::PopcR, InstProps::Rd | InstProps::Rb},
    {"0011100x00001x", InstName::Popc, &InstEmit::PopcI, InstProps::Rd | InstProps::Ib},
    {"0100110000001x", InstName::Popc, &InstEmit::PopcC, InstProps::Rd},
    {"111000100111xx", InstName::Pret, &InstEmit::Pret, InstProps::NoPred},
    {"010110111100xx", InstName::Prmt, &InstEmit::PrmtR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0011011x1100xx", InstName::Prmt, &InstEmit::PrmtI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Rc},
    {"010010111100xx", InstName::Prmt, &InstEmit::PrmtC, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"010100111100xx", InstName::Prmt, &InstEmit::PrmtRc, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"0101000010001x", InstName::Pset, &InstEmit::Pset, InstProps::Rd | InstProps::Ps},
    {"0101000010010x", InstName::Psetp, &InstEmit::Psetp, InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"1111000011000x", InstName::R2b, &InstEmit::R2b, InstProps::Rb},
    {"0101110011110x", InstName::R2p, &InstEmit::R2pR, InstProps::Ra | InstProps::Rb},
    {"0011100x11110x", InstName::R2p, &InstEmit::R2pI, InstProps::Ra | InstProps::Ib},
    {"0100110011110x", InstName::R2p, &InstEmit::R2pC, InstProps::Ra},
    {"111000111000xx", InstName::Ram, &InstEmit::Ram, InstProps::NoPred},
    {"1110101111111x", InstName::Red, &InstEmit::Red, InstProps::Ra | InstProps::Rb2},
    {"111000110010xx", InstName::Ret, &InstEmit::Ret, InstProps::Bra},
    {"0101110010010x", InstName::Rro, &InstEmit::RroR, InstProps::Rd | InstProps::Rb},
    {"0011100x10010x", InstName::Rro, &InstEmit::RroI, InstProps::Rd | InstProps::Ib},
    {"0100110010010x", InstName::Rro, &InstEmit::RroC, InstProps::Rd},
    {"111000110110xx", InstName::Rtt, &InstEmit::Rtt, InstProps::NoPred},
    {"1111000011001x", InstName::S2r, &InstEmit::S2r, InstProps::Rd},
    {"111000110111xx", InstName::Sam, &InstEmit::Sam, InstProps::NoPred},
    {"0101110010100x", InstName::Sel, &InstEmit::SelR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Ps},
    {"0011100x10100x", InstName::Sel, &InstEmit::SelI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Ps},
    {"0100110010100x", InstName::Sel, &InstEmit::SelC, InstProps::Rd | InstProps::Ra | InstProps::Ps},
    {"111000101110xx", InstName::Setcrsptr, &InstEmit::Setcrsptr, InstProps::Ra | InstProps::NoPred},
    {"111000101111xx", InstName::Setlmembase, &InstEmit::Setlmembase, InstProps::Ra | InstProps::NoPred},
    {"0101101111111x", InstName::Shf, &InstEmit::ShfLR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0101110011111x", InstName::Shf, &InstEmit::ShfRR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0011011x11111x", InstName::Shf, &InstEmit::ShfLI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Rc},
    {"0011100x11111x", InstName::Shf, &InstEmit::ShfRI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Rc},
    {"1110111100010x", InstName::Shfl, &InstEmit::Shfl,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc | InstProps::LPd},
    {"0101110001001x", InstName::Shl, &InstEmit::ShlR, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"0011100x01001x", InstName::Shl, &InstEmit::ShlI, InstProps::Rd | InstProps::Ra | InstProps::Ib},
    {"0100110001001x", InstName::Shl, &InstEmit::ShlC, InstProps::Rd | InstProps::Ra},
    {"0101110000101x", InstName::Shr, &InstEmit::ShrR, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"0011100x00101x", InstName::Shr, &InstEmit::ShrI, InstProps::Rd | InstProps::Ra | InstProps::Ib},
    {"0100110000101x", InstName::Shr, &InstEmit::ShrC, InstProps::Rd | InstProps::Ra},
    {"111000101001xx", InstName::Ssy, &InstEmit::Ssy, InstProps::NoPred},
    {"101xxxxxxxxxxx", InstName::St, &InstEmit::St, InstProps::Rd | InstProps::Ra},
    {"1110111011011x", InstName::Stg, &InstEmit::Stg, InstProps::Rd | InstProps::Ra},
    {"1110111101010x", InstName::Stl, &InstEmit::Stl, InstProps::Rd | InstProps::Ra},
    {"1110111010100x", InstName::Stp, &InstEmit::Stp, InstProps::NoPred},
    {"1110111101011x", InstName::Sts, &InstEmit::Sts, InstProps::Rd | InstProps::Ra},
    {"1110101001110x", InstName::SuatomB, &InstEmit::SuatomB,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"11101010x0xxxx", InstName::Suatom, &InstEmit::Suatom, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"1110101001111x", InstName::Suatom, &InstEmit::SuatomD, InstProps::Rd | InstProps::Ra | InstProps::Rb},
    {"1110101110xxxx", InstName::SuatomB2, &InstEmit::SuatomB2,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"1110101011010x", InstName::SuatomCasB, &InstEmit::SuatomCasB,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc | InstProps::SPd},
    {"1110101x1xxxxx", InstName::SuatomCas, &InstEmit::SuatomCas,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::SPd},
    {"1110101100010x", InstName::SuldDB, &InstEmit::SuldDB,
     InstProps::Rd | InstProps::Ra | InstProps::Rc | InstProps::SPd | InstProps::TexB},
    {"1110101100011x", InstName::SuldD, &InstEmit::SuldD,
     InstProps::Rd | InstProps::Ra | InstProps::SPd | InstProps::Tex},
    {"1110101100000x", InstName::SuldB, &InstEmit::SuldB,
     InstProps::Rd | InstProps::Ra | InstProps::Rc | InstProps::SPd | InstProps::TexB},
    {"1110101100001x", InstName::Suld, &InstEmit::Suld,
     InstProps::Rd | InstProps::Ra | InstProps::SPd | InstProps::Tex},
    {"1110101101010x", InstName::SuredB, &InstEmit::SuredB, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"1110101101011x", InstName::Sured, &InstEmit::Sured, InstProps::Rd | InstProps::Ra},
    {"1110101100110x", InstName::SustDB, &InstEmit::SustDB,
     InstProps::Rd | InstProps::Ra | InstProps::Rc | InstProps::TexB},
    {"1110101100111x", InstName::SustD, &InstEmit::SustD, InstProps::Rd | InstProps::Ra | InstProps::Tex},
    {"1110101100100x", InstName::SustB, &InstEmit::SustB,
     InstProps::Rd | InstProps::Ra | InstProps::Rc | InstProps::TexB},
    {"1110101100101x", InstName::Sust, &InstEmit::Sust, InstProps::Rd | InstProps::Ra | InstProps::Tex},
    {"1111000011111x", InstName::Sync, &InstEmit::Sync, InstProps::Bra},
    {"11000xxxxxxxxx", InstName::Tex, &InstEmit::Tex,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::TPd | InstProps::Tex},
    {"1101111010xxxx", InstName::TexB, &InstEmit::TexB,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::TPd | InstProps::TexB},
    {"1101100xxxxxxx", InstName::Texs, &InstEmit::Texs,
     InstProps::Rd | InstProps::Rd2 | InstProps::Ra | InstProps::Rb | InstProps::Tex},
    {"1101000xxxxxxx", InstName::TexsF16, &InstEmit::TexsF16,
     InstProps::Rd | InstProps::Rd2 | InstProps::Ra | InstProps::Rb | InstProps::Tex},
    {"11011100xxxxxx", InstName::Tld, &InstEmit::Tld,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::TPd | InstProps::Tex},
    {"11011101xxxxxx", InstName::TldB, &InstEmit::TldB,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::TPd | InstProps::TexB},
    {"1101101xxxxxxx", InstName::Tlds, &InstEmit::Tlds,
     InstProps::Rd | InstProps::Rd2 | InstProps::Ra | InstProps::Rb | InstProps::Tex},
    {"1101001xxxxxxx", InstName::TldsF16, &InstEmit::TldsF16,
     InstProps::Rd | InstProps::Rd2 | InstProps::Ra | InstProps::Rb | InstProps::Tex},
    {"110010xxxxxxxx", InstName::Tld4, &InstEmit::Tld4,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::TPd | InstProps::Tex},
    {"1101111011xxxx", InstName::Tld4B, &InstEmit::Tld4B,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::TPd | InstProps::TexB},
    {"1101111100xxxx", InstName::Tld4s, &InstEmit::Tld4s,
     InstProps::Rd | InstProps::Rd2 | InstProps::Ra | InstProps::Rb | InstProps::Tex},
    {"1101111110xxxx", InstName::Tld4sF16, &InstEmit::Tld4sF16,
     InstProps::Rd | InstProps::Rd2 | InstProps::Ra | InstProps::Rb | InstProps::Tex},
    {"1101111101011x", InstName::Tmml, &InstEmit::Tmml, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Tex},
    {"1101111101100x", InstName::TmmlB, &InstEmit::TmmlB,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::TexB},
    {"1101111101000x", InstName::Txa, &InstEmit::Txa, InstProps::Rd | InstProps::Ra | InstProps::Tex},
    {"110111100xxxxx", InstName::Txd, &InstEmit::Txd,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::TPd | InstProps::Tex},
    {"1101111001xxxx", InstName::TxdB, &InstEmit::TxdB,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::TPd | InstProps::TexB},
    {"1101111101001x", InstName::Txq, &InstEmit::Txq, InstProps::Rd | InstProps::Ra | InstProps::Tex},
    {"1101111101010x", InstName::TxqB, &InstEmit::TxqB, InstProps::Rd | InstProps::Ra | InstProps::TexB},
    {"01010100xxxxxx", InstName::Vabsdiff, &InstEmit::Vabsdiff,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"010100000xxxxx", InstName::Vabsdiff4, &InstEmit::Vabsdiff4,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"001000xxxxxxxx", InstName::Vadd, &InstEmit::Vadd, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"01011111xxxxxx", InstName::Vmad, &InstEmit::Vmad, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0011101xxxxxxx", InstName::Vmnmx, &InstEmit::Vmnmx,
     InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0101000011011x", InstName::Vote, &InstEmit::Vote, InstProps::Rd | InstProps::VPd | InstProps::Ps},
    {"0101000011100x", InstName::Votevtg, &InstEmit::Votevtg, InstProps::None},
    {"0100000xxxxxxx", InstName::Vset, &InstEmit::Vset, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0101000011110x", InstName::Vsetp, &InstEmit::Vsetp,
     InstProps::Ra | InstProps::Rb | InstProps::Pd | InstProps::Pdn | InstProps::Ps},
    {"01010111xxxxxx", InstName::Vshl, &InstEmit::Vshl, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"01010110xxxxxx", InstName::Vshr, &InstEmit::Vshr, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0101101100xxxx", InstName::Xmad, &InstEmit::XmadR, InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::Rc},
    {"0011011x00xxxx", InstName::Xmad, &InstEmit::XmadI, InstProps::Rd | InstProps::Ra | InstProps::Ib | InstProps::Rc},
    {"0100111xxxxxxx", InstName::Xmad, &InstEmit::XmadC, InstProps::Rd | InstProps::Ra | InstProps::Rc},
    {"010100010xxxxx", InstName::Xmad, &InstEmit::XmadRc, InstProps::Rd | InstProps::Ra | InstProps::Rc},
};

constexpr std::size_t EncodingCount = sizeof Encodings / sizeof Encodings[0];
static_assert(EncodingCount < 0xFFFF, "a slot keeps its row number in 16 bits");

// The row of Encodings owning each slot plus one (0: no encoding), worked out
// while compiling by the same fewest-don't-care rule as Add, so decoding
// reads a fixed table and no run pays for building one. The test suite
// checks it against the table Add builds.
constexpr std::array<uint16_t, InstTable::SlotCount> BuildSlotRows() {
    constexpr int PrefixBits = 14;
    std::array<uint16_t, InstTable::SlotCount> rows{};
    std::array<uint8_t, InstTable::SlotCount> xBits{};
    for (std::size_t r = 0; r < EncodingCount; r++) {
        const Encoding& e = Encodings[r];
        uint32_t baseIndex = 0;
        int xPositions[PrefixBits] = {};
        int xCount = 0;
        for (int i = 0; i < PrefixBits; i++) {
            const int bit = PrefixBits - 1 - i;
            if (e.Pattern[i] == '1') {
                baseIndex |= 1u << bit;
            } else if (e.Pattern[i] == 'x') {
                xPositions[xCount++] = bit;
            }
        }
        for (uint32_t j = 0; j < (1u << xCount); j++) {
            uint32_t index = baseIndex;
            for (int k = 0; k < xCount; k++) {
                index |= ((j >> k) & 1u) << xPositions[k];
            }
            const uint16_t owner = rows[index];
            // Every row has an emitter, so an owned slot is one Add would keep
            // (the emitter is not compared here: with the sanitizers on, a
            // function's address is no constant the compiler may test).
            if (owner != 0 && xBits[index] <= xCount) {
                continue;
            }
            rows[index] = static_cast<uint16_t>(r + 1);
            xBits[index] = static_cast<uint8_t>(xCount);
        }
    }
    return rows;
}

constexpr std::array<uint16_t, InstTable::SlotCount> SlotRows = BuildSlotRows();

InstTable::Table BuildTable() {
    InstTable::Table table{};
    for (const Encoding& e : Encodings) {
        InstTable::Add(table, e.Pattern, e.Name, e.Emitter, e.Props);
    }
    return table;
}

} // namespace

const InstTable::Table& InstTable::GetTable() {
    // Built once under the language's one-time initialisation; never written again.
    static const Table table = BuildTable();
    return table;
}

void InstTable::Add(Table& table, std::string_view encoding, InstName name, InstEmitter emitter, InstProps props) {
    constexpr int PrefixBits = 14;
    if (encoding.size() < PrefixBits) {
        throw Common::ArgumentOutOfRangeException("Encoding must have at least 14 characters.");
    }

    uint32_t baseIndex = 0;
    int xPositions[PrefixBits];
    int xCount = 0;
    for (int i = 0; i < PrefixBits; i++) {
        const int bit = PrefixBits - 1 - i;
        if (encoding[i] == '1') {
            baseIndex |= 1u << bit;
        } else if (encoding[i] == 'x') {
            xPositions[xCount++] = bit;
        }
    }

    // The most specific encoding (fewest don't-cares) owns a slot; between equally
    // specific ones the first added keeps it, so the result does not depend on
    // the order of a well-formed list.
    for (uint32_t j = 0; j < (1u << xCount); j++) {
        uint32_t index = baseIndex;
        for (int k = 0; k < xCount; k++) {
            index |= ((j >> k) & 1u) << xPositions[k];
        }
        TableEntry& slot = table[index];
        if (slot.Emitter != nullptr && slot.XBits <= xCount) {
            continue;
        }
        slot = TableEntry{name, emitter, props, xCount};
    }
}

InstOp InstTable::GetOp(uint64_t address, uint64_t opCode) {
    const uint16_t row = SlotRows[static_cast<std::size_t>(opCode >> 50)];
    if (row == 0 || Encodings[row - 1u].Emitter == nullptr) {
        return InstOp(address, opCode, InstName::Invalid, nullptr, InstProps::None);
    }
    const Encoding& entry = Encodings[row - 1u];
    return InstOp(address, opCode, entry.Name, entry.Emitter, entry.Props);
}

} // namespace Zerivox::Graphics::Shader::Decoders
