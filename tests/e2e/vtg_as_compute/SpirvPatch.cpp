#include "tests/e2e/vtg_as_compute/SpirvPatch.h"

#include <cstring>
#include <optional>
#include <set>
#include <stdexcept>

#include <spirv/unified1/spirv.hpp11>

namespace VtgTest {

namespace {

constexpr std::size_t HeaderWords = 5;

struct Instruction {
    std::size_t At = 0; // first word
    uint32_t Count = 0;
    spv::Op Op{};
};

std::vector<Instruction> Parse(std::span<const uint32_t> module) {
    if (module.size() < HeaderWords || module[0] != spv::MagicNumber) {
        throw std::runtime_error("not a SPIR-V module");
    }
    std::vector<Instruction> instructions;
    for (std::size_t at = HeaderWords; at < module.size();) {
        const uint32_t count = module[at] >> 16;
        if (count == 0 || at + count > module.size()) {
            throw std::runtime_error("truncated SPIR-V instruction");
        }
        instructions.push_back({at, count, static_cast<spv::Op>(module[at] & 0xFFFF)});
        at += count;
    }
    return instructions;
}

uint32_t Word(uint32_t count, spv::Op op) { return count << 16 | static_cast<uint32_t>(op); }

bool IsAnnotation(spv::Op op) {
    return op == spv::Op::OpDecorate || op == spv::Op::OpMemberDecorate || op == spv::Op::OpDecorationGroup ||
           op == spv::Op::OpGroupDecorate || op == spv::Op::OpGroupMemberDecorate || op == spv::Op::OpDecorateString ||
           op == spv::Op::OpMemberDecorateString;
}

} // namespace

std::vector<uint32_t> ToWords(std::span<const uint8_t> bytes) {
    std::vector<uint32_t> words(bytes.size() / 4);
    std::memcpy(words.data(), bytes.data(), words.size() * 4);
    return words;
}

std::vector<uint8_t> ToBytes(std::span<const uint32_t> words) {
    std::vector<uint8_t> bytes(words.size() * 4);
    std::memcpy(bytes.data(), words.data(), bytes.size());
    return bytes;
}

int32_t FlatBinding(int32_t set, int32_t binding) { return 100 * set + binding; }

std::vector<uint32_t> FlattenDescriptorSets(std::span<const uint32_t> module) {
    std::vector<uint32_t> out(module.begin(), module.end());
    std::map<uint32_t, std::size_t> setWord;     // target id -> word holding its set
    std::map<uint32_t, std::size_t> bindingWord; // target id -> word holding its binding
    for (const Instruction& in : Parse(module)) {
        if (in.Op != spv::Op::OpDecorate || in.Count < 4)
            continue;
        const auto decoration = static_cast<spv::Decoration>(module[in.At + 2]);
        if (decoration == spv::Decoration::DescriptorSet)
            setWord[module[in.At + 1]] = in.At + 3;
        if (decoration == spv::Decoration::Binding)
            bindingWord[module[in.At + 1]] = in.At + 3;
    }
    for (const auto& [id, at] : bindingWord) {
        auto set = setWord.find(id);
        const int32_t s = set == setWord.end() ? 0 : static_cast<int32_t>(module[set->second]);
        const auto b = static_cast<int32_t>(module[at]);
        if (s == 0 && b >= 100)
            throw std::runtime_error("binding " + std::to_string(b) + " of set 0 is too high");
        out[at] = static_cast<uint32_t>(FlatBinding(s, b));
        if (set != setWord.end())
            out[set->second] = 0;
    }
    return out;
}

std::vector<uint32_t> AddTransformFeedback(std::span<const uint32_t> module, CaptureLayout& layout,
                                           uint32_t maxStride) {
    const std::vector<Instruction> instructions = Parse(module);
    std::map<uint32_t, std::size_t> types;                           // type id -> instruction index
    std::map<uint32_t, uint32_t> constants;                          // constant id -> value
    std::map<uint32_t, int32_t> locations;                           // variable id -> Location
    std::map<uint32_t, int32_t> builtIns;                            // variable id -> BuiltIn
    std::map<std::pair<uint32_t, uint32_t>, int32_t> memberBuiltIns; // (struct, member) -> BuiltIn
    std::vector<std::pair<uint32_t, uint32_t>> outputs;              // (variable, pointee type)
    std::optional<uint32_t> entry;
    bool hasCapability = false;
    std::size_t lastCapability = 0, lastMode = 0, lastAnnotation = 0;

    for (std::size_t i = 0; i < instructions.size(); i++) {
        const Instruction& in = instructions[i];
        const uint32_t* w = module.data() + in.At;
        switch (in.Op) {
        case spv::Op::OpCapability:
            lastCapability = i;
            hasCapability |= static_cast<spv::Capability>(w[1]) == spv::Capability::TransformFeedback;
            break;
        case spv::Op::OpEntryPoint:
            if (entry)
                throw std::runtime_error("the module has more than one entry point");
            entry = w[2];
            lastMode = i;
            break;
        case spv::Op::OpExecutionMode:
            lastMode = i;
            break;
        case spv::Op::OpConstant:
            constants[w[2]] = w[3];
            break;
        case spv::Op::OpVariable:
            if (static_cast<spv::StorageClass>(w[3]) == spv::StorageClass::Output) {
                auto pointer = types.find(w[1]);
                if (pointer == types.end())
                    throw std::runtime_error("output variable of unknown type");
                outputs.emplace_back(w[2], module[instructions[pointer->second].At + 3]);
            }
            break;
        default:
            if (in.Op >= spv::Op::OpTypeVoid && in.Op <= spv::Op::OpTypeForwardPointer)
                types[w[1]] = i;
            if (in.Op == spv::Op::OpDecorate && in.Count >= 4) {
                const auto decoration = static_cast<spv::Decoration>(w[2]);
                if (decoration == spv::Decoration::Location)
                    locations[w[1]] = static_cast<int32_t>(w[3]);
                if (decoration == spv::Decoration::BuiltIn)
                    builtIns[w[1]] = static_cast<int32_t>(w[3]);
            }
            if (in.Op == spv::Op::OpMemberDecorate && in.Count >= 5 &&
                static_cast<spv::Decoration>(w[3]) == spv::Decoration::BuiltIn) {
                memberBuiltIns[{w[1], w[2]}] = static_cast<int32_t>(w[4]);
            }
            break;
        }
        if (IsAnnotation(in.Op))
            lastAnnotation = i;
    }
    if (!entry || lastAnnotation == 0)
        throw std::runtime_error("the module has no entry point or annotations");

    // Bytes of a 32-bit scalar, a vector or an array of them.
    auto sizeOf = [&](uint32_t typeId) -> uint32_t {
        uint32_t elements = 1;
        for (;;) {
            auto t = types.find(typeId);
            if (t == types.end())
                throw std::runtime_error("unknown type");
            const uint32_t* w = module.data() + instructions[t->second].At;
            switch (instructions[t->second].Op) {
            case spv::Op::OpTypeArray:
                elements *= constants.at(w[3]);
                typeId = w[2];
                continue;
            case spv::Op::OpTypeVector:
                elements *= w[3];
                typeId = w[2];
                continue;
            case spv::Op::OpTypeFloat:
            case spv::Op::OpTypeInt:
                if (w[2] != 32)
                    throw std::runtime_error("output of a type other than 32 bits");
                return 4 * elements;
            default:
                throw std::runtime_error("output of an unsupported type");
            }
        }
    };

    struct Place {
        uint32_t Variable;
        int32_t Member; // -1: the whole variable
        uint32_t StructType;
        uint32_t Offset;
    };
    std::vector<Place> places;
    uint32_t offset = 0;
    const std::set<int32_t> blockMembers = {static_cast<int32_t>(spv::BuiltIn::Position),
                                            static_cast<int32_t>(spv::BuiltIn::PointSize),
                                            static_cast<int32_t>(spv::BuiltIn::ClipDistance)};
    layout = CaptureLayout{};
    for (const auto& [variable, pointee] : outputs) {
        const Instruction& type = instructions[types.at(pointee)];
        if (type.Op == spv::Op::OpTypeStruct) {
            for (uint32_t m = 0; m + 2 < type.Count; m++) {
                auto builtIn = memberBuiltIns.find({pointee, m});
                if (builtIn == memberBuiltIns.end() || blockMembers.count(builtIn->second) == 0)
                    continue;
                places.push_back({variable, static_cast<int32_t>(m), pointee, offset});
                layout.Offsets[CaptureKey{builtIn->second, -1}] = offset;
                offset += sizeOf(module[type.At + 2 + m]);
            }
        } else if (auto location = locations.find(variable); location != locations.end()) {
            places.push_back({variable, -1, 0, offset});
            layout.Offsets[CaptureKey{-1, location->second}] = offset;
            offset += sizeOf(pointee);
        } else if (auto builtIn = builtIns.find(variable); builtIn != builtIns.end()) {
            places.push_back({variable, -1, 0, offset});
            layout.Offsets[CaptureKey{builtIn->second, -1}] = offset;
            offset += sizeOf(pointee);
        }
    }
    if (places.empty())
        throw std::runtime_error("the module has no outputs to capture");
    if (offset > maxStride)
        throw std::runtime_error("the captured outputs exceed one transform feedback record");
    layout.Stride = offset;

    std::vector<uint32_t> out(module.begin(), module.begin() + HeaderWords);
    for (std::size_t i = 0; i < instructions.size(); i++) {
        const Instruction& in = instructions[i];
        out.insert(out.end(), module.begin() + static_cast<std::ptrdiff_t>(in.At),
                   module.begin() + static_cast<std::ptrdiff_t>(in.At + in.Count));
        if (i == lastCapability && !hasCapability) {
            out.insert(out.end(),
                       {Word(2, spv::Op::OpCapability), static_cast<uint32_t>(spv::Capability::TransformFeedback)});
        }
        if (i == lastMode) {
            out.insert(out.end(),
                       {Word(3, spv::Op::OpExecutionMode), *entry, static_cast<uint32_t>(spv::ExecutionMode::Xfb)});
        }
        if (i == lastAnnotation) {
            std::set<uint32_t> decorated;
            for (const Place& place : places) {
                if (decorated.insert(place.Variable).second) {
                    out.insert(out.end(), {Word(4, spv::Op::OpDecorate), place.Variable,
                                           static_cast<uint32_t>(spv::Decoration::XfbBuffer), 0});
                    out.insert(out.end(), {Word(4, spv::Op::OpDecorate), place.Variable,
                                           static_cast<uint32_t>(spv::Decoration::XfbStride), layout.Stride});
                }
                if (place.Member < 0) {
                    out.insert(out.end(), {Word(4, spv::Op::OpDecorate), place.Variable,
                                           static_cast<uint32_t>(spv::Decoration::Offset), place.Offset});
                } else {
                    out.insert(out.end(), {Word(5, spv::Op::OpMemberDecorate), place.StructType,
                                           static_cast<uint32_t>(place.Member),
                                           static_cast<uint32_t>(spv::Decoration::Offset), place.Offset});
                }
            }
        }
    }
    return out;
}

} // namespace VtgTest
