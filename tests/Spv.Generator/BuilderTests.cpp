// Every builder, called inside a whole shader: the module must validate and
// its disassembly must show the instruction with its operands in order.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "ShaderSkeleton.h"
#include "SpirvTestSupport.h"

namespace {

using namespace SpvTest;
using SC = SpvSpec::StorageClass;

// The skeleton plus named values and resources the builders can work on.
// Results are named "r"; constants get the disassembler's own names
// (%uint_1, %float_2, %true, ...); the disassembler shows the GLSL.std.450
// import by its id, written %glsl in the expectations.
struct Bench : ShaderSkeleton {
    Instruction *U0, *U1, *U2, *U3, *U264, *S1, *S2, *F1, *F2, *True, *False;
    Instruction *F64, *D1, *V2U32, *V2S32, *V4U32;
    Instruction *Vf, *V2, *V2u, *V2i;                  // composite constants
    Instruction *Pu, *Pv, *Pa, *Ps, *Shared;           // variables
    Instruction *PrivateF32;                           // pointer type
    Instruction *ImageType, *SampledImageType, *DepthSampledType, *StorageImageType;
    Instruction *Tex, *Shadow, *StorageImage, *AtomicImage, *SamplerVar;
    Instruction *Glsl;

    explicit Bench(Stage stage) : ShaderSkeleton(stage) {
        for (auto capability : {SpvSpec::Capability::Float64, SpvSpec::Capability::GroupNonUniform,
                                SpvSpec::Capability::GroupNonUniformVote, SpvSpec::Capability::GroupNonUniformBallot,
                                SpvSpec::Capability::GroupNonUniformShuffle,
                                SpvSpec::Capability::GroupNonUniformShuffleRelative, SpvSpec::Capability::ImageQuery}) {
            M.AddCapability(capability);
        }
        U0 = U32Constant(0);
        U1 = U32Constant(1);
        U2 = U32Constant(2);
        U3 = U32Constant(3);
        U264 = U32Constant(264);
        S1 = S32Constant(1);
        S2 = S32Constant(2);
        F1 = F32Constant(1.0f);
        F2 = F32Constant(2.0f);
        True = M.ConstantTrue(Bool);
        False = M.ConstantFalse(Bool);
        F64 = M.TypeFloat(LiteralInteger::FromInt32(64));
        D1 = M.Constant(F64, LiteralInteger::FromFloat64(1.0));
        V2U32 = M.TypeVector(U32, LiteralInteger::FromInt32(2));
        V2S32 = M.TypeVector(S32, LiteralInteger::FromInt32(2));
        V4U32 = M.TypeVector(U32, LiteralInteger::FromInt32(4));
        std::array<Instruction*, 4> four = {F1, F2, F1, F2};
        Vf = Named(M.ConstantComposite(V4F32, four), "vf");
        std::array<Instruction*, 2> twoF = {F1, F2};
        V2 = Named(M.ConstantComposite(V2F32, twoF), "v2");
        std::array<Instruction*, 2> twoU = {U1, U2};
        V2u = Named(M.ConstantComposite(V2U32, twoU), "v2u");
        std::array<Instruction*, 2> twoS = {S1, S2};
        V2i = Named(M.ConstantComposite(V2S32, twoS), "v2i");

        PrivateF32 = M.TypePointer(SC::Private, F32);
        Pu = Global(M.TypePointer(SC::Private, U32), SC::Private, "pu");
        Pv = Global(M.TypePointer(SC::Private, V4F32), SC::Private, "pv");
        Instruction* array = M.TypeArray(V4F32, U2);
        Pa = Global(M.TypePointer(SC::Private, array), SC::Private, "pa");
        std::array<Instruction*, 1> members = {array};
        Instruction* structure = M.TypeStruct(false, members);
        Ps = Global(M.TypePointer(SC::Private, structure), SC::Private, "ps");
        if (stage == Stage::Compute) Shared = Global(M.TypePointer(SC::Workgroup, U32), SC::Workgroup, "shared");

        uint32_t binding = 0;
        auto bind = [&](Instruction* variable) {
            M.Decorate(variable, SpvSpec::Decoration::DescriptorSet, LiteralInteger::FromInt32(0));
            M.Decorate(variable, SpvSpec::Decoration::Binding, LiteralInteger::FromUInt32(binding++));
            return variable;
        };
        auto imageType = [&](Instruction* sampled, int32_t depth, int32_t sampledMode, SpvSpec::ImageFormat format) {
            return M.TypeImage(sampled, SpvSpec::Dim::Dim2D, LiteralInteger::FromInt32(depth),
                               LiteralInteger::FromInt32(0), LiteralInteger::FromInt32(0),
                               LiteralInteger::FromInt32(sampledMode), format);
        };
        ImageType = imageType(F32, 0, 1, SpvSpec::ImageFormat::Unknown);
        SampledImageType = M.TypeSampledImage(ImageType);
        DepthSampledType = M.TypeSampledImage(imageType(F32, 1, 1, SpvSpec::ImageFormat::Unknown));
        StorageImageType = imageType(F32, 0, 2, SpvSpec::ImageFormat::Rgba32f);
        Instruction* atomicImageType = imageType(U32, 0, 2, SpvSpec::ImageFormat::R32ui);
        Tex = bind(Global(M.TypePointer(SC::UniformConstant, SampledImageType), SC::UniformConstant, "tex"));
        Shadow = bind(Global(M.TypePointer(SC::UniformConstant, DepthSampledType), SC::UniformConstant, "shadow"));
        StorageImage =
            bind(Global(M.TypePointer(SC::UniformConstant, StorageImageType), SC::UniformConstant, "img"));
        AtomicImage = bind(Global(M.TypePointer(SC::UniformConstant, atomicImageType), SC::UniformConstant, "aimg"));
        SamplerVar = bind(Global(M.TypePointer(SC::UniformConstant, M.TypeSampler()), SC::UniformConstant, "smp"));

        // A storage buffer of a runtime array.
        Instruction* runtimeArray = M.TypeRuntimeArray(U32);
        M.Decorate(runtimeArray, SpvSpec::Decoration::ArrayStride, LiteralInteger::FromInt32(4));
        std::array<Instruction*, 1> blockMembers = {runtimeArray};
        Instruction* block = M.TypeStruct(false, blockMembers);
        M.Decorate(block, SpvSpec::Decoration::Block);
        M.MemberDecorate(block, LiteralInteger::FromInt32(0), SpvSpec::Decoration::Offset, LiteralInteger::FromInt32(0));
        bind(Global(M.TypePointer(SC::StorageBuffer, block), SC::StorageBuffer, "ssbo"));

        Glsl = M.AddExtInstImport("GLSL.std.450");
        Named(Main, "main");
    }

    Instruction* Named(Instruction* instruction, const char* name) {
        M.Name(instruction, name);
        return instruction;
    }

    Instruction* Global(Instruction* pointerType, SC storageClass, const char* name) {
        Instruction* variable = M.Variable(pointerType, storageClass);
        M.AddGlobalVariable(variable);
        return Named(variable, name);
    }

    Instruction* Load(Instruction* type, Instruction* pointer, const char* name) {
        return Named(M.Load(type, pointer), name);
    }
};

struct BuilderCase {
    const char* Expected; // a whole line of the disassembly
    std::function<Instruction*(Bench&)> Build; // returns the result to name "r", or null
    Stage ShaderStage = Stage::Compute;
    bool Terminates = false;
};

const std::vector<BuilderCase>& Cases() {
    using B = Bench&;
    static const std::vector<BuilderCase> cases = {
        // one operand
        {"%r = OpConvertFToU %uint %float_1", [](B b) { return b.M.ConvertFToU(b.U32, b.F1); }},
        {"%r = OpConvertFToS %int %float_1", [](B b) { return b.M.ConvertFToS(b.S32, b.F1); }},
        {"%r = OpConvertSToF %float %int_1", [](B b) { return b.M.ConvertSToF(b.F32, b.S1); }},
        {"%r = OpConvertUToF %float %uint_1", [](B b) { return b.M.ConvertUToF(b.F32, b.U1); }},
        {"%r = OpFConvert %double %float_1", [](B b) { return b.M.FConvert(b.F64, b.F1); }},
        {"%r = OpBitcast %float %uint_1", [](B b) { return b.M.Bitcast(b.F32, b.U1); }},
        {"%r = OpSNegate %int %int_1", [](B b) { return b.M.SNegate(b.S32, b.S1); }},
        {"%r = OpFNegate %float %float_1", [](B b) { return b.M.FNegate(b.F32, b.F1); }},
        {"%r = OpNot %uint %uint_1", [](B b) { return b.M.Not(b.U32, b.U1); }},
        {"%r = OpBitReverse %uint %uint_1", [](B b) { return b.M.BitReverse(b.U32, b.U1); }},
        {"%r = OpBitCount %uint %uint_1", [](B b) { return b.M.BitCount(b.U32, b.U1); }},
        {"%r = OpIsNan %bool %float_1", [](B b) { return b.M.IsNan(b.Bool, b.F1); }},
        {"%r = OpLogicalNot %bool %true", [](B b) { return b.M.LogicalNot(b.Bool, b.True); }},
        {"%r = OpDPdx %float %float_1", [](B b) { return b.M.DPdx(b.F32, b.F1); }, Stage::Fragment},
        {"%r = OpDPdy %float %float_1", [](B b) { return b.M.DPdy(b.F32, b.F1); }, Stage::Fragment},
        {"%r = OpLoad %uint %pu", [](B b) { return b.M.Load(b.U32, b.Pu); }},
        // two operands
        {"%r = OpIAdd %uint %uint_1 %uint_2", [](B b) { return b.M.IAdd(b.U32, b.U1, b.U2); }},
        {"%r = OpISub %uint %uint_1 %uint_2", [](B b) { return b.M.ISub(b.U32, b.U1, b.U2); }},
        {"%r = OpIMul %uint %uint_1 %uint_2", [](B b) { return b.M.IMul(b.U32, b.U1, b.U2); }},
        {"%r = OpSDiv %int %int_1 %int_2", [](B b) { return b.M.SDiv(b.S32, b.S1, b.S2); }},
        {"%r = OpFAdd %float %float_1 %float_2", [](B b) { return b.M.FAdd(b.F32, b.F1, b.F2); }},
        {"%r = OpFSub %float %float_1 %float_2", [](B b) { return b.M.FSub(b.F32, b.F1, b.F2); }},
        {"%r = OpFMul %float %float_1 %float_2", [](B b) { return b.M.FMul(b.F32, b.F1, b.F2); }},
        {"%r = OpFDiv %float %float_1 %float_2", [](B b) { return b.M.FDiv(b.F32, b.F1, b.F2); }},
        {"%r = OpFMod %float %float_1 %float_2", [](B b) { return b.M.FMod(b.F32, b.F1, b.F2); }},
        {"%r = OpUMulExtended %pair %uint_1 %uint_2",
         [](B b) {
             std::array<Instruction*, 2> members = {b.U32, b.U32};
             Instruction* pair = b.Named(b.M.TypeStruct(false, members), "pair");
             return b.M.UMulExtended(pair, b.U1, b.U2);
         }},
        {"%r = OpSMulExtended %spair %int_1 %int_2",
         [](B b) {
             std::array<Instruction*, 2> members = {b.S32, b.S32};
             Instruction* pair = b.Named(b.M.TypeStruct(false, members), "spair");
             return b.M.SMulExtended(pair, b.S1, b.S2);
         }},
        {"%r = OpShiftRightLogical %uint %uint_1 %uint_2",
         [](B b) { return b.M.ShiftRightLogical(b.U32, b.U1, b.U2); }},
        {"%r = OpShiftRightArithmetic %int %int_1 %uint_2",
         [](B b) { return b.M.ShiftRightArithmetic(b.S32, b.S1, b.U2); }},
        {"%r = OpShiftLeftLogical %uint %uint_1 %uint_2", [](B b) { return b.M.ShiftLeftLogical(b.U32, b.U1, b.U2); }},
        {"%r = OpBitwiseOr %uint %uint_1 %uint_2", [](B b) { return b.M.BitwiseOr(b.U32, b.U1, b.U2); }},
        {"%r = OpBitwiseXor %uint %uint_1 %uint_2", [](B b) { return b.M.BitwiseXor(b.U32, b.U1, b.U2); }},
        {"%r = OpBitwiseAnd %uint %uint_1 %uint_2", [](B b) { return b.M.BitwiseAnd(b.U32, b.U1, b.U2); }},
        {"%r = OpLogicalNotEqual %bool %true %false",
         [](B b) { return b.M.LogicalNotEqual(b.Bool, b.True, b.False); }},
        {"%r = OpLogicalOr %bool %true %false", [](B b) { return b.M.LogicalOr(b.Bool, b.True, b.False); }},
        {"%r = OpLogicalAnd %bool %true %false", [](B b) { return b.M.LogicalAnd(b.Bool, b.True, b.False); }},
        {"%r = OpIEqual %bool %uint_1 %uint_2", [](B b) { return b.M.IEqual(b.Bool, b.U1, b.U2); }},
        {"%r = OpINotEqual %bool %uint_1 %uint_2", [](B b) { return b.M.INotEqual(b.Bool, b.U1, b.U2); }},
        {"%r = OpUGreaterThan %bool %uint_1 %uint_2", [](B b) { return b.M.UGreaterThan(b.Bool, b.U1, b.U2); }},
        {"%r = OpSGreaterThan %bool %int_1 %int_2", [](B b) { return b.M.SGreaterThan(b.Bool, b.S1, b.S2); }},
        {"%r = OpUGreaterThanEqual %bool %uint_1 %uint_2",
         [](B b) { return b.M.UGreaterThanEqual(b.Bool, b.U1, b.U2); }},
        {"%r = OpSGreaterThanEqual %bool %int_1 %int_2",
         [](B b) { return b.M.SGreaterThanEqual(b.Bool, b.S1, b.S2); }},
        {"%r = OpULessThan %bool %uint_1 %uint_2", [](B b) { return b.M.ULessThan(b.Bool, b.U1, b.U2); }},
        {"%r = OpSLessThan %bool %int_1 %int_2", [](B b) { return b.M.SLessThan(b.Bool, b.S1, b.S2); }},
        {"%r = OpULessThanEqual %bool %uint_1 %uint_2", [](B b) { return b.M.ULessThanEqual(b.Bool, b.U1, b.U2); }},
        {"%r = OpSLessThanEqual %bool %int_1 %int_2", [](B b) { return b.M.SLessThanEqual(b.Bool, b.S1, b.S2); }},
        {"%r = OpFOrdEqual %bool %float_1 %float_2", [](B b) { return b.M.FOrdEqual(b.Bool, b.F1, b.F2); }},
        {"%r = OpFOrdNotEqual %bool %float_1 %float_2", [](B b) { return b.M.FOrdNotEqual(b.Bool, b.F1, b.F2); }},
        {"%r = OpFOrdLessThan %bool %float_1 %float_2", [](B b) { return b.M.FOrdLessThan(b.Bool, b.F1, b.F2); }},
        {"%r = OpFOrdGreaterThan %bool %float_1 %float_2",
         [](B b) { return b.M.FOrdGreaterThan(b.Bool, b.F1, b.F2); }},
        {"%r = OpFOrdLessThanEqual %bool %float_1 %float_2",
         [](B b) { return b.M.FOrdLessThanEqual(b.Bool, b.F1, b.F2); }},
        {"%r = OpFOrdGreaterThanEqual %bool %float_1 %float_2",
         [](B b) { return b.M.FOrdGreaterThanEqual(b.Bool, b.F1, b.F2); }},
        {"%r = OpVectorExtractDynamic %float %vf %uint_1",
         [](B b) { return b.M.VectorExtractDynamic(b.F32, b.Vf, b.U1); }},
        {"%r = OpGroupNonUniformAll %bool %uint_3 %true",
         [](B b) { return b.M.GroupNonUniformAll(b.Bool, b.U3, b.True); }},
        {"%r = OpGroupNonUniformAny %bool %uint_3 %true",
         [](B b) { return b.M.GroupNonUniformAny(b.Bool, b.U3, b.True); }},
        {"%r = OpGroupNonUniformAllEqual %bool %uint_3 %uint_1",
         [](B b) { return b.M.GroupNonUniformAllEqual(b.Bool, b.U3, b.U1); }},
        {"%r = OpGroupNonUniformBallot %v4uint %uint_3 %true",
         [](B b) { return b.M.GroupNonUniformBallot(b.V4U32, b.U3, b.True); }},
        // three and more operands
        {"%r = OpSelect %uint %true %uint_1 %uint_2", [](B b) { return b.M.Select(b.U32, b.True, b.U1, b.U2); }},
        {"%r = OpBitFieldSExtract %int %int_1 %uint_1 %uint_2",
         [](B b) { return b.M.BitFieldSExtract(b.S32, b.S1, b.U1, b.U2); }},
        {"%r = OpBitFieldUExtract %uint %uint_1 %uint_1 %uint_2",
         [](B b) { return b.M.BitFieldUExtract(b.U32, b.U1, b.U1, b.U2); }},
        {"%r = OpBitFieldInsert %uint %uint_1 %uint_2 %uint_1 %uint_2",
         [](B b) { return b.M.BitFieldInsert(b.U32, b.U1, b.U2, b.U1, b.U2); }},
        {"%r = OpGroupNonUniformShuffle %float %uint_3 %float_1 %uint_1",
         [](B b) { return b.M.GroupNonUniformShuffle(b.F32, b.U3, b.F1, b.U1); }},
        {"%r = OpGroupNonUniformShuffleXor %float %uint_3 %float_1 %uint_1",
         [](B b) { return b.M.GroupNonUniformShuffleXor(b.F32, b.U3, b.F1, b.U1); }},
        {"%r = OpGroupNonUniformShuffleUp %float %uint_3 %float_1 %uint_1",
         [](B b) { return b.M.GroupNonUniformShuffleUp(b.F32, b.U3, b.F1, b.U1); }},
        {"%r = OpGroupNonUniformShuffleDown %float %uint_3 %float_1 %uint_1",
         [](B b) { return b.M.GroupNonUniformShuffleDown(b.F32, b.U3, b.F1, b.U1); }},
        {"%r = OpAtomicIIncrement %uint %shared %uint_1 %uint_0",
         [](B b) { return b.M.AtomicIIncrement(b.U32, b.Shared, b.U1, b.U0); }},
        {"%r = OpAtomicIDecrement %uint %shared %uint_1 %uint_0",
         [](B b) { return b.M.AtomicIDecrement(b.U32, b.Shared, b.U1, b.U0); }},
        {"%r = OpAtomicExchange %uint %shared %uint_1 %uint_0 %uint_2",
         [](B b) { return b.M.AtomicExchange(b.U32, b.Shared, b.U1, b.U0, b.U2); }},
        {"%r = OpAtomicIAdd %uint %shared %uint_1 %uint_0 %uint_2",
         [](B b) { return b.M.AtomicIAdd(b.U32, b.Shared, b.U1, b.U0, b.U2); }},
        {"%r = OpAtomicSMin %uint %shared %uint_1 %uint_0 %uint_2",
         [](B b) { return b.M.AtomicSMin(b.U32, b.Shared, b.U1, b.U0, b.U2); }},
        {"%r = OpAtomicUMin %uint %shared %uint_1 %uint_0 %uint_2",
         [](B b) { return b.M.AtomicUMin(b.U32, b.Shared, b.U1, b.U0, b.U2); }},
        {"%r = OpAtomicSMax %uint %shared %uint_1 %uint_0 %uint_2",
         [](B b) { return b.M.AtomicSMax(b.U32, b.Shared, b.U1, b.U0, b.U2); }},
        {"%r = OpAtomicUMax %uint %shared %uint_1 %uint_0 %uint_2",
         [](B b) { return b.M.AtomicUMax(b.U32, b.Shared, b.U1, b.U0, b.U2); }},
        {"%r = OpAtomicAnd %uint %shared %uint_1 %uint_0 %uint_2",
         [](B b) { return b.M.AtomicAnd(b.U32, b.Shared, b.U1, b.U0, b.U2); }},
        {"%r = OpAtomicOr %uint %shared %uint_1 %uint_0 %uint_2",
         [](B b) { return b.M.AtomicOr(b.U32, b.Shared, b.U1, b.U0, b.U2); }},
        {"%r = OpAtomicXor %uint %shared %uint_1 %uint_0 %uint_2",
         [](B b) { return b.M.AtomicXor(b.U32, b.Shared, b.U1, b.U0, b.U2); }},
        {"%r = OpAtomicCompareExchange %uint %shared %uint_1 %uint_0 %uint_0 %uint_2 %uint_1",
         [](B b) { return b.M.AtomicCompareExchange(b.U32, b.Shared, b.U1, b.U0, b.U0, b.U2, b.U1); }},
        // operand lists
        {"%r = OpAccessChain %_ptr_Private_float %pv %uint_1",
         [](B b) { return b.M.AccessChain(b.PrivateF32, b.Pv, b.U1); }},
        {"%r = OpAccessChain %_ptr_Private_float %pa %uint_1 %uint_2",
         [](B b) { return b.M.AccessChain(b.PrivateF32, b.Pa, b.U1, b.U2); }},
        {"%r = OpAccessChain %_ptr_Private_float %ps %uint_0 %uint_1 %uint_2",
         [](B b) { return b.M.AccessChain(b.PrivateF32, b.Ps, b.U0, b.U1, b.U2); }},
        {"%r = OpAccessChain %_ptr_Private_float %ps %uint_0 %uint_1 %uint_3",
         [](B b) {
             std::array<Instruction*, 3> indexes = {b.U0, b.U1, b.U3};
             return b.M.AccessChain(b.PrivateF32, b.Ps, indexes);
         }},
        {"%r = OpFunctionCall %uint %callee %uint_1",
         [](B b) {
             std::array<Instruction*, 1> parameterTypes = {b.U32};
             Instruction* type = b.M.TypeFunction(b.U32, parameterTypes);
             Instruction* callee = b.Named(b.M.Function(b.U32, SpvSpec::FunctionControlMask::MaskNone, type), "callee");
             b.AfterMain = [&b, callee] {
                 b.M.AddFunction(callee);
                 Instruction* parameter = b.M.FunctionParameter(b.U32);
                 b.M.AddLabel(b.M.Label());
                 b.M.ReturnValue(parameter);
                 b.M.FunctionEnd();
             };
             std::array<Instruction*, 1> arguments = {b.U1};
             return b.M.FunctionCall(b.U32, callee, arguments);
         }},
        {"%r = OpCompositeConstruct %v4float %float_1 %float_2 %float_2 %float_1",
         [](B b) {
             std::array<Instruction*, 4> parts = {b.F1, b.F2, b.F2, b.F1};
             return b.M.CompositeConstruct(b.V4F32, parts);
         }},
        {"%r = OpCompositeExtract %float %vf 3",
         [](B b) {
             std::array<LiteralInteger*, 1> indexes = {LiteralInteger::FromInt32(3)};
             return b.M.CompositeExtract(b.F32, b.Vf, indexes);
         }},
        {"%r = OpVectorShuffle %v2float %vf %vf 0 3",
         [](B b) {
             LiteralInteger* x = LiteralInteger::FromInt32(0);
             LiteralInteger* w = LiteralInteger::FromInt32(3);
             std::array<LiteralInteger*, 2> components = {x, w};
             return b.M.VectorShuffle(b.V2F32, b.Vf, b.Vf, components);
         }},
        // images
        {"%r = OpImageSampleExplicitLod %v4float %si %v2 Lod %float_1",
         [](B b) {
             Instruction* si = b.Load(b.SampledImageType, b.Tex, "si");
             std::array<Instruction*, 1> lod = {b.F1};
             return b.M.ImageSampleExplicitLod(b.V4F32, si, b.V2, SpvSpec::ImageOperandsMask::Lod, lod);
         }},
        {"%r = OpImageSampleImplicitLod %v4float %si %v2",
         [](B b) {
             Instruction* si = b.Load(b.SampledImageType, b.Tex, "si");
             return b.M.ImageSampleImplicitLod(b.V4F32, si, b.V2, Module::NoImageOperands, {});
         },
         Stage::Fragment},
        {"%r = OpImageSampleImplicitLod %v4float %si %v2 Bias %float_2",
         [](B b) {
             Instruction* si = b.Load(b.SampledImageType, b.Tex, "si");
             std::array<Instruction*, 1> bias = {b.F2};
             return b.M.ImageSampleImplicitLod(b.V4F32, si, b.V2, SpvSpec::ImageOperandsMask::Bias, bias);
         },
         Stage::Fragment},
        {"%r = OpImageSampleDrefImplicitLod %float %sh %v2 %float_1",
         [](B b) {
             Instruction* sh = b.Load(b.DepthSampledType, b.Shadow, "sh");
             return b.M.ImageSampleDrefImplicitLod(b.F32, sh, b.V2, b.F1, Module::NoImageOperands, {});
         },
         Stage::Fragment},
        {"%r = OpImageSampleDrefExplicitLod %float %sh %v2 %float_1 Lod %float_2",
         [](B b) {
             Instruction* sh = b.Load(b.DepthSampledType, b.Shadow, "sh");
             std::array<Instruction*, 1> lod = {b.F2};
             return b.M.ImageSampleDrefExplicitLod(b.F32, sh, b.V2, b.F1, SpvSpec::ImageOperandsMask::Lod, lod);
         }},
        {"%r = OpImageGather %v4float %si %v2 %int_1 ConstOffset %v2i",
         [](B b) {
             Instruction* si = b.Load(b.SampledImageType, b.Tex, "si");
             std::array<Instruction*, 1> offset = {b.V2i};
             return b.M.ImageGather(b.V4F32, si, b.V2, b.S1, SpvSpec::ImageOperandsMask::ConstOffset, offset);
         }},
        {"%r = OpImageDrefGather %v4float %sh %v2 %float_1",
         [](B b) {
             Instruction* sh = b.Load(b.DepthSampledType, b.Shadow, "sh");
             return b.M.ImageDrefGather(b.V4F32, sh, b.V2, b.F1, Module::NoImageOperands, {});
         }},
        {"%r = OpImageFetch %v4float %im %v2i Lod %int_1",
         [](B b) {
             Instruction* si = b.Load(b.SampledImageType, b.Tex, "si");
             Instruction* im = b.Named(b.M.Image(b.ImageType, si), "im");
             std::array<Instruction*, 1> lod = {b.S1};
             return b.M.ImageFetch(b.V4F32, im, b.V2i, SpvSpec::ImageOperandsMask::Lod, lod);
         }},
        {"%r = OpSampledImage %sit %im %sm",
         [](B b) {
             b.Named(b.SampledImageType, "sit");
             Instruction* si = b.Load(b.SampledImageType, b.Tex, "si");
             Instruction* im = b.Named(b.M.Image(b.ImageType, si), "im");
             Instruction* sm = b.Load(b.M.TypeSampler(), b.SamplerVar, "sm");
             return b.M.SampledImage(b.SampledImageType, im, sm);
         }},
        {"%r = OpImageQuerySizeLod %v2int %im %int_1",
         [](B b) {
             Instruction* si = b.Load(b.SampledImageType, b.Tex, "si");
             Instruction* im = b.Named(b.M.Image(b.ImageType, si), "im");
             return b.M.ImageQuerySizeLod(b.V2S32, im, b.S1);
         }},
        {"%r = OpImageQueryLevels %int %im",
         [](B b) {
             Instruction* si = b.Load(b.SampledImageType, b.Tex, "si");
             Instruction* im = b.Named(b.M.Image(b.ImageType, si), "im");
             return b.M.ImageQueryLevels(b.S32, im);
         }},
        {"%r = OpImageQueryLod %v2float %si %v2",
         [](B b) {
             Instruction* si = b.Load(b.SampledImageType, b.Tex, "si");
             return b.M.ImageQueryLod(b.V2F32, si, b.V2);
         },
         Stage::Fragment},
        {"%r = OpImageQuerySize %v2int %st",
         [](B b) {
             Instruction* st = b.Load(b.StorageImageType, b.StorageImage, "st");
             return b.M.ImageQuerySize(b.V2S32, st);
         }},
        {"%r = OpImageRead %v4float %st %v2i None",
         [](B b) {
             Instruction* st = b.Load(b.StorageImageType, b.StorageImage, "st");
             return b.M.ImageRead(b.V4F32, st, b.V2i, SpvSpec::ImageOperandsMask::MaskNone, {});
         }},
        {"OpImageWrite %st %v2i %vf None",
         [](B b) {
             Instruction* st = b.Load(b.StorageImageType, b.StorageImage, "st");
             b.M.ImageWrite(st, b.V2i, b.Vf, SpvSpec::ImageOperandsMask::MaskNone, {});
             return nullptr;
         }},
        {"%r = OpImageTexelPointer %_ptr_Image_uint %aimg %v2i %uint_0",
         [](B b) {
             Instruction* pointer = b.M.TypePointer(SC::Image, b.U32);
             Instruction* texel = b.M.ImageTexelPointer(pointer, b.AtomicImage, b.V2i, b.U0);
             b.M.AtomicIAdd(b.U32, texel, b.U1, b.U0, b.U1);
             return texel;
         }},
        {"%r = OpImageQuerySamples %int %ms",
         [](B b) {
             Instruction* type = b.M.TypeImage(b.F32, SpvSpec::Dim::Dim2D, LiteralInteger::FromInt32(0),
                                               LiteralInteger::FromInt32(0), LiteralInteger::FromInt32(1),
                                               LiteralInteger::FromInt32(1), SpvSpec::ImageFormat::Unknown);
             Instruction* variable = b.Global(b.M.TypePointer(SC::UniformConstant, type), SC::UniformConstant, "msv");
             b.M.Decorate(variable, SpvSpec::Decoration::DescriptorSet, LiteralInteger::FromInt32(0));
             b.M.Decorate(variable, SpvSpec::Decoration::Binding, LiteralInteger::FromInt32(9));
             Instruction* ms = b.Load(type, variable, "ms");
             return b.M.ImageQuerySamples(b.S32, ms);
         }},
        // entry point interface
        {"OpEntryPoint Fragment %main \"main\" %in %out",
         [](B b) {
             Instruction* in = b.Global(b.M.TypePointer(SC::Input, b.V4F32), SC::Input, "in");
             Instruction* out = b.Global(b.M.TypePointer(SC::Output, b.V4F32), SC::Output, "out");
             b.M.Decorate(in, SpvSpec::Decoration::Location, LiteralInteger::FromInt32(0));
             b.M.Decorate(out, SpvSpec::Decoration::Location, LiteralInteger::FromInt32(0));
             b.Interface = {in, out};
             Instruction* value = b.M.Load(b.V4F32, in);
             b.M.Store(out, value);
             return nullptr;
         },
         Stage::Fragment},
        // no result
        {"OpStore %pu %uint_1", [](B b) { b.M.Store(b.Pu, b.U1); return nullptr; }},
        {"OpControlBarrier %uint_2 %uint_2 %uint_264",
         [](B b) { b.M.ControlBarrier(b.U2, b.U2, b.U264); return nullptr; }},
        {"OpMemoryBarrier %uint_1 %uint_264", [](B b) { b.M.MemoryBarrier(b.U1, b.U264); return nullptr; }},
        {"OpLoopMerge %merge %continue None",
         [](B b) {
             Instruction* header = b.Named(b.M.Label(), "header");
             Instruction* body = b.Named(b.M.Label(), "body");
             Instruction* next = b.Named(b.M.Label(), "continue");
             Instruction* merge = b.Named(b.M.Label(), "merge");
             b.M.Branch(header);
             b.M.AddLabel(header);
             b.M.LoopMerge(merge, next, SpvSpec::LoopControlMask::MaskNone);
             b.M.Branch(body);
             b.M.AddLabel(body);
             b.M.Branch(next);
             b.M.AddLabel(next);
             b.M.BranchConditional(b.True, header, merge);
             b.M.AddLabel(merge);
             return nullptr;
         }},
        {"OpBranchConditional %true %then %merge",
         [](B b) {
             Instruction* then = b.Named(b.M.Label(), "then");
             Instruction* merge = b.Named(b.M.Label(), "merge");
             b.M.SelectionMerge(merge, SpvSpec::SelectionControlMask::MaskNone);
             b.M.BranchConditional(b.True, then, merge);
             b.M.AddLabel(then);
             b.M.Branch(merge);
             b.M.AddLabel(merge);
             return nullptr;
         }},
        {"OpKill", [](B b) { b.M.Kill(); return nullptr; }, Stage::Fragment, true},
        {"OpEmitVertex", [](B b) { b.M.EmitVertex(); b.M.EndPrimitive(); return nullptr; }, Stage::Geometry},
        {"OpEndPrimitive", [](B b) { b.M.EmitVertex(); b.M.EndPrimitive(); return nullptr; }, Stage::Geometry},
        {"OpEndInvocationInterlockEXT",
         [](B b) {
             b.M.AddCapability(SpvSpec::Capability::FragmentShaderPixelInterlockEXT);
             b.M.AddExtension("SPV_EXT_fragment_shader_interlock");
             b.M.AddExecutionMode(b.Main, SpvSpec::ExecutionMode::PixelInterlockOrderedEXT);
             b.M.BeginInvocationInterlockEXT();
             b.M.EndInvocationInterlockEXT();
             return nullptr;
         },
         Stage::Fragment},
        // GLSL.std.450
        {"%r = OpExtInst %float %glsl RoundEven %float_1", [](B b) { return b.M.GlslRoundEven(b.F32, b.F1); }},
        {"%r = OpExtInst %float %glsl Trunc %float_1", [](B b) { return b.M.GlslTrunc(b.F32, b.F1); }},
        {"%r = OpExtInst %float %glsl FAbs %float_1", [](B b) { return b.M.GlslFAbs(b.F32, b.F1); }},
        {"%r = OpExtInst %int %glsl SAbs %int_1", [](B b) { return b.M.GlslSAbs(b.S32, b.S1); }},
        {"%r = OpExtInst %float %glsl Floor %float_1", [](B b) { return b.M.GlslFloor(b.F32, b.F1); }},
        {"%r = OpExtInst %float %glsl Ceil %float_1", [](B b) { return b.M.GlslCeil(b.F32, b.F1); }},
        {"%r = OpExtInst %float %glsl Sin %float_1", [](B b) { return b.M.GlslSin(b.F32, b.F1); }},
        {"%r = OpExtInst %float %glsl Cos %float_1", [](B b) { return b.M.GlslCos(b.F32, b.F1); }},
        {"%r = OpExtInst %float %glsl Exp2 %float_1", [](B b) { return b.M.GlslExp2(b.F32, b.F1); }},
        {"%r = OpExtInst %float %glsl Log2 %float_1", [](B b) { return b.M.GlslLog2(b.F32, b.F1); }},
        {"%r = OpExtInst %float %glsl Sqrt %float_1", [](B b) { return b.M.GlslSqrt(b.F32, b.F1); }},
        {"%r = OpExtInst %float %glsl InverseSqrt %float_1", [](B b) { return b.M.GlslInverseSqrt(b.F32, b.F1); }},
        {"%r = OpExtInst %uint %glsl PackHalf2x16 %v2", [](B b) { return b.M.GlslPackHalf2x16(b.U32, b.V2); }},
        {"%r = OpExtInst %v2float %glsl UnpackHalf2x16 %uint_1",
         [](B b) { return b.M.GlslUnpackHalf2x16(b.V2F32, b.U1); }},
        {"%r = OpExtInst %double %glsl PackDouble2x32 %v2u",
         [](B b) { return b.M.GlslPackDouble2x32(b.F64, b.V2u); }},
        {"%r = OpExtInst %v2uint %glsl UnpackDouble2x32 %double_1",
         [](B b) { return b.M.GlslUnpackDouble2x32(b.V2U32, b.D1); }},
        {"%r = OpExtInst %uint %glsl FindILsb %uint_1", [](B b) { return b.M.GlslFindILsb(b.U32, b.U1); }},
        {"%r = OpExtInst %int %glsl FindSMsb %int_1", [](B b) { return b.M.GlslFindSMsb(b.S32, b.S1); }},
        {"%r = OpExtInst %uint %glsl FindUMsb %uint_1", [](B b) { return b.M.GlslFindUMsb(b.U32, b.U1); }},
        {"%r = OpExtInst %float %glsl FMin %float_1 %float_2", [](B b) { return b.M.GlslFMin(b.F32, b.F1, b.F2); }},
        {"%r = OpExtInst %uint %glsl UMin %uint_1 %uint_2", [](B b) { return b.M.GlslUMin(b.U32, b.U1, b.U2); }},
        {"%r = OpExtInst %int %glsl SMin %int_1 %int_2", [](B b) { return b.M.GlslSMin(b.S32, b.S1, b.S2); }},
        {"%r = OpExtInst %float %glsl FMax %float_1 %float_2", [](B b) { return b.M.GlslFMax(b.F32, b.F1, b.F2); }},
        {"%r = OpExtInst %uint %glsl UMax %uint_1 %uint_2", [](B b) { return b.M.GlslUMax(b.U32, b.U1, b.U2); }},
        {"%r = OpExtInst %int %glsl SMax %int_1 %int_2", [](B b) { return b.M.GlslSMax(b.S32, b.S1, b.S2); }},
        {"%r = OpExtInst %float %glsl FClamp %float_1 %float_2 %float_1",
         [](B b) { return b.M.GlslFClamp(b.F32, b.F1, b.F2, b.F1); }},
        {"%r = OpExtInst %uint %glsl UClamp %uint_1 %uint_2 %uint_3",
         [](B b) { return b.M.GlslUClamp(b.U32, b.U1, b.U2, b.U3); }},
        {"%r = OpExtInst %int %glsl SClamp %int_1 %int_2 %int_1",
         [](B b) { return b.M.GlslSClamp(b.S32, b.S1, b.S2, b.S1); }},
        {"%r = OpExtInst %float %glsl Fma %float_1 %float_2 %float_1",
         [](B b) { return b.M.GlslFma(b.F32, b.F1, b.F2, b.F1); }},
    };
    return cases;
}

TEST(BuilderTest, EveryBuilderMakesAValidInstructionWithOperandsInOrder) {
    ZV_REQUIRE_SPIRV_TOOLS();
    for (const BuilderCase& c : Cases()) {
        Bench bench(c.ShaderStage);
        Instruction* result = c.Build(bench);
        if (result != nullptr) bench.Named(result, "r");
        std::vector<uint8_t> bytes = bench.Finish(!c.Terminates);
        auto validation = Validate(bytes);
        std::string text = Disassemble(bytes);
        std::string expected = c.Expected;
        if (auto at = expected.find("%glsl"); at != std::string::npos) {
            expected.replace(at, 5, "%" + std::to_string(bench.Glsl->Id));
        }
        EXPECT_EQ(validation.ExitCode, 0) << c.Expected << "\n" << validation.Output << text;
        EXPECT_NE(("\n" + text).find("\n" + expected + "\n"), std::string::npos)
            << c.Expected << "\n" << text;
    }
}

} // namespace
