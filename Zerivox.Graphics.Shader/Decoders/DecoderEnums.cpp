#include "Zerivox.Graphics.Shader/Decoders/DecoderEnums.h"

namespace Zerivox::Graphics::Shader::Decoders {

std::string_view ToString(IDstFmt value) {
    switch (value) {
    case IDstFmt::U16:
        return "U16";
    case IDstFmt::U32:
        return "U32";
    case IDstFmt::U64:
        return "U64";
    case IDstFmt::S16:
        return "S16";
    case IDstFmt::S32:
        return "S32";
    case IDstFmt::S64:
        return "S64";
    }
    return {};
}

std::string_view ToString(ISrcDstFmt value) {
    switch (value) {
    case ISrcDstFmt::U8:
        return "U8";
    case ISrcDstFmt::U16:
        return "U16";
    case ISrcDstFmt::U32:
        return "U32";
    case ISrcDstFmt::S8:
        return "S8";
    case ISrcDstFmt::S16:
        return "S16";
    case ISrcDstFmt::S32:
        return "S32";
    }
    return {};
}

std::string_view ToString(HalfSwizzle value) {
    switch (value) {
    case HalfSwizzle::F16:
        return "F16";
    case HalfSwizzle::F32:
        return "F32";
    case HalfSwizzle::H0H0:
        return "H0H0";
    case HalfSwizzle::H1H1:
        return "H1H1";
    }
    return {};
}

std::string_view ToString(OFmt value) {
    switch (value) {
    case OFmt::F16:
        return "F16";
    case OFmt::F32:
        return "F32";
    case OFmt::MrgH0:
        return "MrgH0";
    case OFmt::MrgH1:
        return "MrgH1";
    }
    return {};
}

} // namespace Zerivox::Graphics::Shader::Decoders
