#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include <spirv/unified1/GLSL.std.450.h>

#include "Spv.Generator/Module.h"
#include "ShaderSkeleton.h"
#include "SpirvTestSupport.h"
#include "Zerivox.Common/Exceptions.h"

using namespace Spv::Generator;
using SpvSpec = Spv::SpirvEnums;
using Op = SpvSpec::Op;

namespace {

constexpr uint32_t Version13 = 0x00010300u;

uint32_t FirstWord(Op opcode, uint32_t wordCount) { return wordCount << 16 | static_cast<uint32_t>(opcode); }

using ComputeShader = SpvTest::ShaderSkeleton;

TEST(ModuleTest, EmptyModuleIsHeaderAndMemoryModel) {
    Module module(Version13);
    EXPECT_EQ(SpvTest::Words(module.Generate()),
              (std::vector<uint32_t>{0x07230203u, Version13, 0, 1, 0, FirstWord(Op::OpMemoryModel, 3), 0, 0}));
}

TEST(ModuleTest, MinimalModuleGolden) {
    Module m(Version13);
    m.AddCapability(SpvSpec::Capability::Shader);
    m.SetMemoryModel(SpvSpec::AddressingModel::Logical, SpvSpec::MemoryModel::GLSL450);
    Instruction* voidType = m.TypeVoid();
    Instruction* functionType = m.TypeFunction(voidType, {});
    Instruction* function = m.Function(voidType, SpvSpec::FunctionControlMask::MaskNone, functionType);
    m.AddFunction(function);
    m.AddLabel(m.Label());
    m.Return();
    m.FunctionEnd();
    m.AddEntryPoint(SpvSpec::ExecutionModel::GLCompute, function, "main", {});
    std::vector<uint8_t> bytes = m.Generate();

    const std::vector<uint32_t> expected = {
        0x07230203u, Version13, 0, 5, 0,
        FirstWord(Op::OpCapability, 2), uint32_t(SpvSpec::Capability::Shader),
        FirstWord(Op::OpMemoryModel, 3), uint32_t(SpvSpec::AddressingModel::Logical),
        uint32_t(SpvSpec::MemoryModel::GLSL450),
        FirstWord(Op::OpEntryPoint, 5), uint32_t(SpvSpec::ExecutionModel::GLCompute), 3, 0x6E69616Du, 0,
        FirstWord(Op::OpTypeVoid, 2), 1,
        FirstWord(Op::OpTypeFunction, 3), 2, 1,
        FirstWord(Op::OpFunction, 5), 1, 3, 0, 2,
        FirstWord(Op::OpLabel, 2), 4,
        FirstWord(Op::OpReturn, 1),
        FirstWord(Op::OpFunctionEnd, 1),
    };
    EXPECT_EQ(bytes.size(), 116u);
    EXPECT_EQ(SpvTest::Words(bytes), expected);
}

// The module's instructions after the header, each as its words.
std::vector<std::vector<uint32_t>> Parse(const std::vector<uint8_t>& bytes) {
    std::vector<uint32_t> words = SpvTest::Words(bytes);
    std::vector<std::vector<uint32_t>> instructions;
    for (std::size_t i = 5; i < words.size();) {
        uint32_t count = words[i] >> 16;
        if (count == 0 || i + count > words.size()) {
            ADD_FAILURE() << "malformed instruction at word " << i;
            break;
        }
        instructions.emplace_back(words.begin() + i, words.begin() + i + count);
        i += count;
    }
    return instructions;
}

std::vector<std::vector<uint32_t>> WithOpcode(const std::vector<uint8_t>& bytes, Op opcode) {
    std::vector<std::vector<uint32_t>> found;
    for (auto& instruction : Parse(bytes)) {
        if ((instruction[0] & 0xFFFF) == static_cast<uint32_t>(opcode)) found.push_back(instruction);
    }
    return found;
}

bool IdOccurs(const std::vector<uint8_t>& bytes, uint32_t id) {
    for (auto& instruction : Parse(bytes)) {
        for (std::size_t i = 1; i < instruction.size(); ++i) {
            if (instruction[i] == id) return true;
        }
    }
    return false;
}

TEST(ModuleTest, IdsAreTakenAtCreationAndWhenPlaced) {
    ZV_REQUIRE_SPIRV_TOOLS();
    ComputeShader s;
    Instruction* one = s.U32Constant(1);
    Instruction* two = s.U32Constant(2);
    Instruction* half = s.F32Constant(0.5f);

    const uint32_t sumId = s.M.Bound();
    Instruction* sum = s.M.IAdd(s.U32, one, two);
    EXPECT_EQ(sum->Id, sumId);
    EXPECT_EQ(s.M.Bound(), sumId + 1);

    // The first GLSL instruction imports the set (one id), then its result.
    const uint32_t importId = s.M.Bound();
    Instruction* abs1 = s.M.GlslFAbs(s.F32, half);
    EXPECT_EQ(abs1->Id, importId + 1);
    Instruction* abs2 = s.M.GlslFAbs(s.F32, abs1);
    EXPECT_EQ(abs2->Id, importId + 2);

    // Variables take an id at creation and a second, final one when placed.
    Instruction* privatePointer = s.M.TypePointer(SpvSpec::StorageClass::Private, s.U32);
    Instruction* global = s.M.Variable(privatePointer, SpvSpec::StorageClass::Private);
    const uint32_t discardedGlobalId = global->Id;
    s.M.AddGlobalVariable(global);
    EXPECT_EQ(global->Id, discardedGlobalId + 1);
    s.M.Store(global, sum);

    // A branch to a label placed later writes the label's final id.
    Instruction* later = s.M.Label();
    s.M.Branch(later);
    s.M.AddLabel(later);
    const uint32_t laterId = later->Id;

    std::vector<uint8_t> bytes = s.Finish();
    ZV_EXPECT_VALID(bytes);

    auto adds = WithOpcode(bytes, Op::OpIAdd);
    ASSERT_EQ(adds.size(), 1u);
    EXPECT_EQ(adds[0], (std::vector<uint32_t>{FirstWord(Op::OpIAdd, 5), s.U32->Id, sumId, one->Id, two->Id}));

    auto imports = WithOpcode(bytes, Op::OpExtInstImport);
    ASSERT_EQ(imports.size(), 1u);
    EXPECT_EQ(imports[0][1], importId);
    auto extInsts = WithOpcode(bytes, Op::OpExtInst);
    ASSERT_EQ(extInsts.size(), 2u);
    EXPECT_EQ(extInsts[0], (std::vector<uint32_t>{FirstWord(Op::OpExtInst, 6), s.F32->Id, importId + 1, importId,
                                                  uint32_t{GLSLstd450FAbs}, half->Id}));

    EXPECT_FALSE(IdOccurs(bytes, discardedGlobalId));
    auto branches = WithOpcode(bytes, Op::OpBranch);
    ASSERT_EQ(branches.size(), 1u);
    EXPECT_EQ(branches[0][1], laterId);
}

TEST(ModuleTest, LocalVariableKeepsOnlyItsPlacedId) {
    ZV_REQUIRE_SPIRV_TOOLS();
    Module m(Version13);
    m.AddCapability(SpvSpec::Capability::Shader);
    m.SetMemoryModel(SpvSpec::AddressingModel::Logical, SpvSpec::MemoryModel::GLSL450);
    Instruction* voidType = m.TypeVoid();
    Instruction* u32 = m.TypeInt(LiteralInteger::FromInt32(32), LiteralInteger::FromInt32(0));
    Instruction* pointer = m.TypePointer(SpvSpec::StorageClass::Function, u32);
    Instruction* function = m.Function(voidType, SpvSpec::FunctionControlMask::MaskNone, m.TypeFunction(voidType, {}));
    Instruction* local = m.Variable(pointer, SpvSpec::StorageClass::Function);
    const uint32_t discardedId = local->Id;
    m.Name(local, "local"); // named before placement: written with the final id
    m.AddFunction(function);
    m.AddLabel(m.Label());
    m.AddLocalVariable(local);
    m.Store(local, m.Constant(u32, LiteralInteger::FromUInt32(7u)));
    m.Return();
    m.FunctionEnd();
    m.AddEntryPoint(SpvSpec::ExecutionModel::GLCompute, function, "main", {});
    std::array<IOperand*, 3> size = {LiteralInteger::FromInt32(1), LiteralInteger::FromInt32(1),
                                     LiteralInteger::FromInt32(1)};
    m.AddExecutionMode(function, SpvSpec::ExecutionMode::LocalSize, size);
    const uint32_t bound = m.Bound();
    std::vector<uint8_t> bytes = m.Generate();

    ZV_EXPECT_VALID(bytes);
    EXPECT_EQ(SpvTest::Words(bytes)[3], bound);
    EXPECT_FALSE(IdOccurs(bytes, discardedId));
    auto names = WithOpcode(bytes, Op::OpName);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0][1], local->Id);
    EXPECT_NE(SpvTest::Disassemble(bytes).find("%local = OpVariable %_ptr_Function_uint Function"),
              std::string::npos);
}

TEST(ModuleTest, TypesDeduplicateByValueUnlessForced) {
    ZV_REQUIRE_SPIRV_TOOLS();
    ComputeShader s;
    Instruction* u32Again = s.M.TypeInt(LiteralInteger::FromInt32(32), LiteralInteger::FromInt32(0));
    EXPECT_NE(u32Again, s.U32);
    EXPECT_EQ(u32Again->Id, s.U32->Id);
    Instruction* vectorOfAgain = s.M.TypeVector(u32Again, LiteralInteger::FromInt32(4));
    Instruction* vectorOfFirst = s.M.TypeVector(s.U32, LiteralInteger::FromInt32(4));
    EXPECT_EQ(vectorOfAgain->Id, vectorOfFirst->Id);

    std::array<Instruction*, 2> members = {s.F32, s.U32};
    Instruction* plain = s.M.TypeStruct(false, members);
    Instruction* forced = s.M.TypeStruct(true, members);
    Instruction* afterForced = s.M.TypeStruct(false, members);
    EXPECT_NE(forced->Id, plain->Id);
    EXPECT_EQ(afterForced->Id, forced->Id);

    // Pointers to both structures keep them apart.
    Instruction* p1 = s.M.TypePointer(SpvSpec::StorageClass::Private, plain);
    Instruction* p2 = s.M.TypePointer(SpvSpec::StorageClass::Private, forced);
    EXPECT_NE(p1->Id, p2->Id);
    s.M.AddGlobalVariable(s.M.Variable(p1, SpvSpec::StorageClass::Private));
    s.M.AddGlobalVariable(s.M.Variable(p2, SpvSpec::StorageClass::Private));

    std::vector<uint8_t> bytes = s.Finish();
    ZV_EXPECT_VALID(bytes);
    EXPECT_EQ(WithOpcode(bytes, Op::OpTypeInt).size(), 2u); // u32 and s32 of the skeleton
    EXPECT_EQ(WithOpcode(bytes, Op::OpTypeStruct).size(), 2u);
    EXPECT_EQ(WithOpcode(bytes, Op::OpTypeVector).size(), 3u);
}

TEST(ModuleTest, LiteralKindTakesPartInDeduplication) {
    Module m(Version13);
    Instruction* signed32 = m.TypeInt(LiteralInteger::FromInt32(32), LiteralInteger::FromInt32(1));
    Instruction* unsigned32 = m.TypeInt(LiteralInteger::FromInt32(32), LiteralInteger::FromInt32(0));
    // Same words, different literal kinds: a different type to the table.
    Instruction* otherKind = m.TypeInt(LiteralInteger::FromUInt32(32u), LiteralInteger::FromUInt32(1u));
    EXPECT_NE(otherKind->Id, signed32->Id);

    Instruction* a = m.Constant(signed32, LiteralInteger::FromInt32(2));
    Instruction* b = m.Constant(signed32, LiteralInteger::FromInt32(2));
    Instruction* c = m.Constant(signed32, LiteralInteger::FromUInt32(2u));
    Instruction* d = m.Constant(unsigned32, LiteralInteger::FromInt32(2));
    EXPECT_EQ(a->Id, b->Id);
    EXPECT_NE(a->Id, c->Id);
    EXPECT_NE(a->Id, d->Id);

    std::vector<uint8_t> bytes = m.Generate();
    auto constants = WithOpcode(bytes, Op::OpConstant);
    ASSERT_EQ(constants.size(), 3u);
    EXPECT_EQ(constants[0], (std::vector<uint32_t>{FirstWord(Op::OpConstant, 4), signed32->Id, a->Id, 2}));
    EXPECT_EQ(constants[1], (std::vector<uint32_t>{FirstWord(Op::OpConstant, 4), signed32->Id, c->Id, 2}));
    EXPECT_EQ(constants[2], (std::vector<uint32_t>{FirstWord(Op::OpConstant, 4), unsigned32->Id, d->Id, 2}));
}

// Pointer types and one-word constants are found by type id before the
// tables are asked; what they give must be what the tables would give.
TEST(ModuleTest, PointerAndConstantLookupsAgreeWithTheTables) {
    Module m(Version13);
    Instruction* u32 = m.TypeInt(LiteralInteger::FromInt32(32), LiteralInteger::FromInt32(0));
    Instruction* u32Again = m.TypeInt(LiteralInteger::FromInt32(32), LiteralInteger::FromInt32(0));
    Instruction* s32 = m.TypeInt(LiteralInteger::FromInt32(32), LiteralInteger::FromInt32(1));

    Instruction* p1 = m.TypePointer(SpvSpec::StorageClass::Function, u32);
    EXPECT_EQ(m.TypePointer(SpvSpec::StorageClass::Function, u32Again)->Id, p1->Id);
    EXPECT_NE(m.TypePointer(SpvSpec::StorageClass::Private, u32)->Id, p1->Id);
    EXPECT_NE(m.TypePointer(SpvSpec::StorageClass::Function, s32)->Id, p1->Id);
    // A forced pointer type gets a new id, and later equal ones resolve to it.
    Instruction* forced = m.TypePointer(SpvSpec::StorageClass::Function, u32, true);
    EXPECT_NE(forced->Id, p1->Id);
    EXPECT_EQ(m.TypePointer(SpvSpec::StorageClass::Function, u32Again)->Id, forced->Id);
    // Array types the same way, by element and length.
    Instruction* four = m.Constant(u32, LiteralInteger::FromUInt32(4u));
    Instruction* array = m.TypeArray(u32, four);
    EXPECT_EQ(m.TypeArray(u32Again, m.Constant(u32Again, LiteralInteger::FromUInt32(4u)))->Id, array->Id);
    EXPECT_NE(m.TypeArray(s32, four)->Id, array->Id);
    EXPECT_NE(m.TypeArray(u32, m.Constant(u32, LiteralInteger::FromUInt32(5u)))->Id, array->Id);
    Instruction* forcedArray = m.TypeArray(u32, four, true);
    EXPECT_NE(forcedArray->Id, array->Id);
    EXPECT_EQ(m.TypeArray(u32Again, four)->Id, forcedArray->Id);

    Instruction* seven = m.Constant(u32, LiteralInteger::FromUInt32(7u));
    EXPECT_EQ(m.Constant(u32Again, LiteralInteger::FromUInt32(7u))->Id, seven->Id);
    EXPECT_NE(m.Constant(u32, LiteralInteger::FromInt32(7))->Id, seven->Id);     // other literal kind
    EXPECT_NE(m.Constant(s32, LiteralInteger::FromUInt32(7u))->Id, seven->Id);   // other type
    EXPECT_NE(m.Constant(u32, LiteralInteger::FromFloat32(7.0f))->Id, seven->Id); // other kind and bits
    // All ones as a signed and as an unsigned literal: the same low word.
    Instruction* minusOne = m.Constant(s32, LiteralInteger::FromInt32(-1));
    EXPECT_NE(m.Constant(s32, LiteralInteger::FromUInt32(0xFFFFFFFFu))->Id, minusOne->Id);
    EXPECT_EQ(m.Constant(s32, LiteralInteger::FromInt32(-1))->Id, minusOne->Id);
}

// A set is imported once, whether it is among the first imports, which are
// compared by name, or beyond them in the table; a name that is a prefix of
// another is a set of its own.
TEST(ModuleTest, ExtInstImportsAreMadeOncePerName) {
    Module m(Version13);
    const std::vector<std::string> names = {"GLSL.std.450", "Set", "Set.A", "Set.B", "Set.C", "Set.D", "Set.E"};
    std::vector<Instruction*> imports;
    for (const std::string& name : names) imports.push_back(m.AddExtInstImport(name));
    for (std::size_t i = 0; i < names.size(); i++) {
        EXPECT_EQ(m.AddExtInstImport(names[i]), imports[i]) << names[i];
        for (std::size_t j = 0; j < i; j++) EXPECT_NE(imports[i]->Id, imports[j]->Id) << names[i];
    }
    EXPECT_EQ(WithOpcode(m.Generate(), Op::OpExtInstImport).size(), names.size());
}

TEST(ModuleTest, ConstantsDeduplicateByValueAndResultType) {
    ZV_REQUIRE_SPIRV_TOOLS();
    ComputeShader s;
    Instruction* one = s.F32Constant(1.0f);
    Instruction* oneAgain = s.F32Constant(1.0f);
    Instruction* oneBits = s.M.Constant(s.U32, LiteralInteger::FromFloat32(1.0f)); // same bits, other type
    EXPECT_EQ(one->Id, oneAgain->Id);
    EXPECT_NE(one->Id, oneBits->Id);

    std::array<Instruction*, 2> pair = {one, s.F32Constant(2.0f)};
    std::array<Instruction*, 2> pairAgain = {oneAgain, s.F32Constant(2.0f)};
    Instruction* vector = s.M.ConstantComposite(s.V2F32, pair);
    EXPECT_EQ(s.M.ConstantComposite(s.V2F32, pairAgain)->Id, vector->Id);

    Instruction* yes = s.M.ConstantTrue(s.Bool);
    EXPECT_EQ(s.M.ConstantTrue(s.Bool)->Id, yes->Id);
    EXPECT_NE(s.M.ConstantFalse(s.Bool)->Id, yes->Id);

    // A 64-bit constant: two literal words, low first.
    s.M.AddCapability(SpvSpec::Capability::Float64);
    Instruction* f64 = s.M.TypeFloat(LiteralInteger::FromInt32(64));
    Instruction* big = s.M.Constant(f64, LiteralInteger::FromFloat64(-2.5));

    std::vector<uint8_t> bytes = s.Finish();
    ZV_EXPECT_VALID(bytes);
    EXPECT_EQ(WithOpcode(bytes, Op::OpConstantComposite).size(), 1u);
    EXPECT_EQ(WithOpcode(bytes, Op::OpConstantTrue).size(), 1u);
    auto constants = WithOpcode(bytes, Op::OpConstant);
    ASSERT_EQ(constants.size(), 4u); // 1.0f, 1.0f bits as u32, 2.0f, -2.5
    EXPECT_EQ(constants[3], (std::vector<uint32_t>{FirstWord(Op::OpConstant, 5), f64->Id, big->Id, 0, 0xC0040000u}));
}

TEST(ModuleTest, SectionsFollowTheLogicalLayoutWhateverTheCallOrder) {
    ZV_REQUIRE_SPIRV_TOOLS();
    ComputeShader s;
    // Body first, module-level declarations afterwards.
    Instruction* privatePointer = s.M.TypePointer(SpvSpec::StorageClass::Private, s.F32);
    Instruction* global = s.M.Variable(privatePointer, SpvSpec::StorageClass::Private);
    s.M.AddGlobalVariable(global);
    // Built after the variable was placed, so written after it.
    Instruction* late = s.F32Constant(3.0f);
    s.M.Store(global, late);
    s.M.GlslFloor(s.F32, late);
    s.M.Decorate(global, SpvSpec::Decoration::RelaxedPrecision);
    s.M.Name(global, "glob");
    s.M.AddCapability(SpvSpec::Capability::Shader); // duplicates are kept
    s.M.AddExtension("SPV_KHR_storage_buffer_storage_class");

    std::vector<uint8_t> bytes = s.Finish();
    ZV_EXPECT_VALID(bytes);
    std::vector<Op> order;
    for (auto& instruction : Parse(bytes)) order.push_back(static_cast<Op>(instruction[0] & 0xFFFF));
    auto section = [](Op op) {
        switch (op) {
        case Op::OpCapability: return 0;
        case Op::OpExtension: return 1;
        case Op::OpExtInstImport: return 2;
        case Op::OpMemoryModel: return 3;
        case Op::OpEntryPoint: return 4;
        case Op::OpExecutionMode: return 5;
        case Op::OpName: return 6;
        case Op::OpDecorate: return 7;
        case Op::OpTypeVoid: case Op::OpTypeBool: case Op::OpTypeInt: case Op::OpTypeFloat:
        case Op::OpTypeVector: case Op::OpTypeFunction: case Op::OpTypePointer: case Op::OpConstant:
        case Op::OpVariable: return 8;
        default: return 9;
        }
    };
    for (std::size_t i = 1; i < order.size(); ++i) {
        EXPECT_LE(section(order[i - 1]), section(order[i])) << "instruction " << i;
    }
    EXPECT_EQ(WithOpcode(bytes, Op::OpCapability).size(), 2u);

    // Declarations are in ascending id order: the late constant follows the variable.
    uint32_t previousId = 0;
    std::size_t variableAt = 0, constantAt = 0, index = 0;
    for (auto& instruction : Parse(bytes)) {
        ++index;
        if (section(static_cast<Op>(instruction[0] & 0xFFFF)) != 8) continue;
        Op op = static_cast<Op>(instruction[0] & 0xFFFF);
        uint32_t id = (op == Op::OpConstant || op == Op::OpVariable) ? instruction[2] : instruction[1];
        EXPECT_GT(id, previousId);
        previousId = id;
        if (id == global->Id) variableAt = index;
        if (id == late->Id) constantAt = index;
    }
    EXPECT_LT(variableAt, constantAt);
    EXPECT_GT(variableAt, 0u);
}

TEST(ModuleTest, WordCountsOfDebugAnnotationAndImageInstructions) {
    Module m(Version13);
    Instruction* f32 = m.TypeFloat(LiteralInteger::FromInt32(32));
    Instruction* v4 = m.TypeVector(f32, LiteralInteger::FromInt32(4));
    Instruction* image = m.TypeImage(f32, SpvSpec::Dim::Dim2D, LiteralInteger::FromInt32(0),
                                     LiteralInteger::FromInt32(0), LiteralInteger::FromInt32(0),
                                     LiteralInteger::FromInt32(1), SpvSpec::ImageFormat::Unknown);
    Instruction* sampledType = m.TypeSampledImage(image);
    Instruction* zero = m.Constant(f32, LiteralInteger::FromFloat32(0.0f));
    Instruction* sampler = m.Variable(sampledType, SpvSpec::StorageClass::UniformConstant);
    m.AddGlobalVariable(sampler);

    struct Case {
        const char* name;
        Instruction* instruction;
        uint32_t words;
    };
    std::array<Instruction*, 1> bias = {zero};
    const Case cases[] = {
        {"Decorate with parameter", m.Decorate(v4, SpvSpec::Decoration::Location, LiteralInteger::FromInt32(3)), 4},
        {"Decorate", m.Decorate(v4, SpvSpec::Decoration::Block), 3},
        {"MemberDecorate", m.MemberDecorate(v4, LiteralInteger::FromInt32(0), SpvSpec::Decoration::Offset,
                                            LiteralInteger::FromInt32(16)), 5},
        {"Name of four characters", m.Name(v4, "abcd"), 4},
        {"MemberName", m.MemberName(v4, LiteralInteger::FromInt32(1), "x"), 4},
        {"sample without image operands", m.ImageSampleImplicitLod(v4, sampler, zero, Module::NoImageOperands, {}), 5},
        {"sample with Bias", m.ImageSampleImplicitLod(v4, sampler, zero, SpvSpec::ImageOperandsMask::Bias, bias), 7},
        {"read writes an explicit zero mask", m.ImageRead(v4, image, zero, SpvSpec::ImageOperandsMask::MaskNone, {}), 6},
        {"write with zero mask", m.ImageWrite(image, zero, zero, SpvSpec::ImageOperandsMask::MaskNone, {}), 5},
        {"branch weights", m.BranchConditional(zero, zero, zero, std::array<LiteralInteger*, 2>{
                                                                     LiteralInteger::FromInt32(1),
                                                                     LiteralInteger::FromInt32(2)}), 6},
    };
    for (const Case& c : cases) EXPECT_EQ(c.instruction->GetTotalWordCount(), c.words) << c.name;
}

TEST(ModuleTest, UnplacedLabelFailsGenerateAndKeepsPools) {
    GeneratorPool<Instruction> instructions(1000, 200);
    GeneratorPool<LiteralInteger> literals(1000, 200);
    Instruction* firstPooled = nullptr;
    {
        ComputeShader s(SpvTest::Stage::Compute, &instructions, &literals);
        Instruction* never = s.M.Label();
        s.M.Branch(never);
        try {
            s.Finish(false);
            ADD_FAILURE() << "Generate succeeded";
        } catch (const Zerivox::Common::InvalidOperationException& e) {
            EXPECT_EQ(std::string(e.what()), "Id wasn't bound to the module, please make sure to call AddLabel");
        }
        // The pools were not reset: the next object is a fresh one.
        EXPECT_EQ(LiteralInteger::GetCurrentPool(), &literals);
        firstPooled = instructions.Allocate();
    }
    instructions.Reset();
    EXPECT_NE(firstPooled, instructions.Allocate());
    // A module dropped without Generate no longer lends its pool to the thread.
    EXPECT_EQ(LiteralInteger::GetCurrentPool(), nullptr);
}

TEST(ModuleTest, PoolsAreReusedAcrossModules) {
    ZV_REQUIRE_SPIRV_TOOLS();
    GeneratorPool<Instruction> instructions(1000, 200);
    GeneratorPool<LiteralInteger> literals(1000, 200);
    auto build = [&] {
        ComputeShader s(SpvTest::Stage::Compute, &instructions, &literals);
        // Enough to need more than one chunk of each pool.
        Instruction* value = s.U32Constant(0);
        for (uint32_t i = 1; i <= 300; ++i) {
            Instruction* constant = s.U32Constant(i);
            value = s.M.IAdd(s.U32, value, constant);
        }
        std::vector<uint8_t> bytes = s.Finish();
        EXPECT_EQ(LiteralInteger::GetCurrentPool(), nullptr);
        return bytes;
    };
    std::vector<uint8_t> first = build();
    const std::size_t instructionChunks = instructions.ChunkCount();
    const std::size_t literalChunks = literals.ChunkCount();
    EXPECT_GT(instructionChunks, 1u);
    EXPECT_GT(literalChunks, 1u);

    std::vector<uint8_t> second = build();
    EXPECT_EQ(first, second);
    EXPECT_EQ(instructions.ChunkCount(), instructionChunks);
    EXPECT_EQ(literals.ChunkCount(), literalChunks);
    ZV_EXPECT_VALID(second);
}
} // namespace

// The deduplication tables grow while a module is built: every value must
// still find its first declaration after many others were added, and
// distinct values must never share an id.
TEST(ModuleTest, DeduplicationHoldsAcrossTableGrowth) {
    Module m(Version13);
    Instruction* u32 = m.TypeInt(LiteralInteger::FromInt32(32), LiteralInteger::FromInt32(0));
    std::vector<uint32_t> ids;
    std::vector<uint32_t> vectorIds;
    for (uint32_t v = 0; v < 500; v++) {
        ids.push_back(m.Constant(u32, LiteralInteger::FromUInt32(v))->Id);
        vectorIds.push_back(m.TypeVector(u32, LiteralInteger::FromUInt32(v + 2))->Id);
    }
    std::vector<uint32_t> sorted = ids;
    sorted.insert(sorted.end(), vectorIds.begin(), vectorIds.end());
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    for (uint32_t v = 0; v < 500; v++) {
        EXPECT_EQ(m.Constant(u32, LiteralInteger::FromUInt32(v))->Id, ids[v]);
        EXPECT_EQ(m.TypeVector(u32, LiteralInteger::FromUInt32(v + 2))->Id, vectorIds[v]);
    }
}
