#pragma once
// Test-only assembler and host for decoder tests: builds instruction words from
// named fields, lays them out with scheduling words, and answers the decoder's
// code and constant buffer 1 queries.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Zerivox.Graphics.Shader/Translation/FakeGpuAccessor.h"

namespace Zerivox::Graphics::Shader::Testing {

// One instruction word under construction. Starts from a 14-character table
// prefix (bit 63 first, 'x' read as 0) with the guard predicate PT.
class Inst {
  public:
    explicit Inst(std::string_view prefix14) {
        for (int i = 0; i < 14; i++) {
            if (prefix14[static_cast<std::size_t>(i)] == '1') {
                Word |= uint64_t{1} << (63 - i);
            }
        }
        Bits(16, 3, 7);
    }
    Inst& Bits(int lo, int count, uint64_t value) {
        const uint64_t mask = ((uint64_t{1} << count) - 1) << lo;
        Word = (Word & ~mask) | ((value << lo) & mask);
        return *this;
    }
    Inst& Bit(int bit, bool value = true) { return Bits(bit, 1, value ? 1 : 0); }
    Inst& Rd(int r) { return Bits(0, 8, static_cast<uint64_t>(r)); }
    Inst& Ra(int r) { return Bits(8, 8, static_cast<uint64_t>(r)); }
    Inst& Rb(int r) { return Bits(20, 8, static_cast<uint64_t>(r)); }
    Inst& Pred(int p, bool inverted = false) { return Bits(16, 3, static_cast<uint64_t>(p)).Bit(19, inverted); }
    Inst& Ccc(int c) { return Bits(0, 5, static_cast<uint64_t>(c)); }
    Inst& Offset24(int64_t offset) { return Bits(20, 24, static_cast<uint64_t>(offset)); }
    Inst& Imm20(uint32_t imm) { return Bits(20, 19, imm).Bits(56, 1, imm >> 19); }
    operator uint64_t() const { return Word; }

    uint64_t Word = 0;
};

// Prefixes of the forms the decoder tests use.
namespace Prefix {
inline constexpr std::string_view MovR = "0101110010011x";
inline constexpr std::string_view Nop = "0101000010110x";
inline constexpr std::string_view Exit = "111000110000xx";
inline constexpr std::string_view Bra = "111000100100xx";
inline constexpr std::string_view Brx = "111000100101xx";
inline constexpr std::string_view Brk = "111000110100xx";
inline constexpr std::string_view Cal = "111000100110xx";
inline constexpr std::string_view Cont = "111000110101xx";
inline constexpr std::string_view Ret = "111000110010xx";
inline constexpr std::string_view Ssy = "111000101001xx";
inline constexpr std::string_view Pbk = "111000101010xx";
inline constexpr std::string_view Pcnt = "111000101011xx";
inline constexpr std::string_view Sync = "1111000011111x";
inline constexpr std::string_view Ldc = "1110111110010x";
inline constexpr std::string_view ShlI = "0011100x01001x";
inline constexpr std::string_view ImnmxI = "0011100x00100x";
inline constexpr std::string_view Ald = "1110111111011x";
inline constexpr std::string_view Ast = "1110111111110x";
inline constexpr std::string_view Ipa = "11100000xxxxxx";
inline constexpr std::string_view Sts = "1110111101011x";
inline constexpr std::string_view Shfl = "1110111100010x";
inline constexpr std::string_view Tex = "11000xxxxxxxxx";
inline constexpr std::string_view TexB = "1101111010xxxx";
} // namespace Prefix

inline Inst Mov(int rd, int rb) { return Inst(Prefix::MovR).Rd(rd).Rb(rb); }
inline Inst Nop() { return Inst(Prefix::Nop); }
// EXIT / BRA with the condition code "always" unless given.
inline Inst Exit() { return Inst(Prefix::Exit).Ccc(0xF); }
inline Inst Ret() { return Inst(Prefix::Ret).Ccc(0xF); }

// Code with a scheduling word at every multiple of 32 bytes. Instructions go to
// the next free instruction slot; relative targets are given as addresses.
class CodeBuilder {
  public:
    uint64_t NextAddress() {
        if (Words.size() % 4 == 0) {
            Words.push_back(0);
        }
        return Words.size() * 8;
    }
    uint64_t Add(uint64_t word) {
        const uint64_t address = NextAddress();
        Words.push_back(word);
        return address;
    }
    // A relative-target instruction (BRA, SSY, CAL, ...) at the next slot.
    uint64_t AddRelative(Inst inst, uint64_t target) {
        const uint64_t address = NextAddress();
        inst.Offset24(static_cast<int64_t>(target - (address + 8)));
        Words.push_back(inst);
        return address;
    }
    // Patches the target of an instruction already added.
    void SetTarget(uint64_t address, uint64_t target) {
        Inst inst("00000000000000");
        inst.Word = Words[address / 8];
        inst.Offset24(static_cast<int64_t>(target - (address + 8)));
        Words[address / 8] = inst.Word;
    }
    void PadTo(uint64_t address) {
        while (NextAddress() < address) {
            Add(Nop());
        }
    }

    std::vector<uint64_t> Words;
};

// Host for decoder tests: byte-addressed code (so a target inside a word reads
// an unaligned word, as the tool's host does), constant buffer 1 as bytes with
// a read counter, and an optional known constant buffer 1 size.
class DecoderGpuAccessor : public FakeGpuAccessor {
  public:
    explicit DecoderGpuAccessor(std::vector<uint64_t> words) {
        Bytes.resize(words.size() * 8);
        if (!Bytes.empty())
            std::memcpy(Bytes.data(), words.data(), Bytes.size());
    }
    DecoderGpuAccessor(std::vector<uint8_t> bytes, int) : Bytes(std::move(bytes)) {}

    std::vector<uint8_t> Bytes;
    std::vector<uint8_t> C1;
    bool ReportC1Size = true;
    int C1Reads = 0;

    std::span<const uint64_t> GetCode(uint64_t address, int32_t) override {
        if (address > Bytes.size()) {
            throw Common::ArgumentOutOfRangeException("address");
        }
        _view.resize((Bytes.size() - address) / 8);
        if (!_view.empty())
            std::memcpy(_view.data(), Bytes.data() + address, _view.size() * 8);
        return _view;
    }
    int32_t ConstantBuffer1Read(int32_t offset) override {
        C1Reads++;
        if (offset < 0 || static_cast<std::size_t>(offset) + 4 > C1.size()) {
            return 0;
        }
        int32_t value;
        std::memcpy(&value, C1.data() + offset, 4);
        return value;
    }
    int32_t QueryConstantBuffer1Size() override { return ReportC1Size ? static_cast<int32_t>(C1.size()) : -1; }

    void SetC1Words(const std::vector<uint32_t>& words) {
        C1.resize(words.size() * 4);
        if (!C1.empty())
            std::memcpy(C1.data(), words.data(), C1.size());
    }

  private:
    std::vector<uint64_t> _view;
};

inline std::filesystem::path SharedDir() { return std::filesystem::path(ZV_SHARED_DIR); }

inline std::optional<std::vector<uint8_t>> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace Zerivox::Graphics::Shader::Testing
