#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "DecoderTestSupport.h"
#include "DisassemblyFamilies.h"
#include "Zerivox.Common/Exceptions.h"
#include "Zerivox.Graphics.Shader/Decoders/InstTable.h"
#include "Zerivox.Graphics.Shader/Instructions/InstEmit.h"

namespace {

using namespace Zerivox::Graphics::Shader::Decoders;
namespace InstEmit = Zerivox::Graphics::Shader::Instructions::InstEmit;
namespace Testing = Zerivox::Graphics::Shader::Testing;

int CountSlots(InstEmitter emitter) {
    int count = 0;
    for (const auto& entry : InstTable::GetTable()) {
        count += entry.Emitter == emitter ? 1 : 0;
    }
    return count;
}

TEST(InstTable, FilledTableHasTheExpectedSlotCounts) {
    int filled = 0;
    for (const auto& entry : InstTable::GetTable()) {
        if (entry.Emitter != nullptr) {
            filled++;
            EXPECT_NE(entry.Name, InstName::Invalid);
        } else {
            EXPECT_EQ(entry.Name, InstName::Invalid);
        }
    }
    // 12262 slots of the listed encodings plus the 2 of the bound SUATOM row.
    EXPECT_EQ(filled, 12264);
    EXPECT_EQ(CountSlots(&InstEmit::SuatomD), 2);
    // Overlaps resolved by the fewest-don't-care rule.
    EXPECT_EQ(CountSlots(&InstEmit::SuatomCas), 22);
    EXPECT_EQ(CountSlots(&InstEmit::TxdB), 16);
    EXPECT_EQ(CountSlots(&InstEmit::Txd), 32 - 16);
}

struct LookupCase {
    uint64_t Word;
    InstName Name;
    InstProps Props;
};

TEST(InstTable, GetOpClassifiesByTheTopFourteenBitsOnly) {
    const LookupCase cases[] = {
        // Ald: 1110111111011x, whatever bits 49-0 hold.
        {0xEFD8000000000000ull, InstName::Ald, InstProps::Rd | InstProps::Ra},
        {0xEFDFFFFFFFFFFFFFull, InstName::Ald, InstProps::Rd | InstProps::Ra},
        // TxdB is more specific than Txd inside Txd's pattern; bit 54 clear stays Txd.
        {0xDE40000000000000ull, InstName::TxdB,
         InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::TPd | InstProps::TexB},
        {0xDE00000000000000ull, InstName::Txd,
         InstProps::Rd | InstProps::Ra | InstProps::Rb | InstProps::TPd | InstProps::Tex},
        // The first Cctlt matches even with its fixed-zero bits 36-48 set.
        {0xEBF01FFFF0000000ull, InstName::Cctlt, InstProps::None},
        // No encoding: no emitter, no props.
        {0x0000000000000000ull, InstName::Invalid, InstProps::None},
        {0xFFFFFFFFFFFFFFFFull, InstName::Invalid, InstProps::None},
        // Flow forms the decoder relies on.
        {0xE24000000000000Full, InstName::Bra, InstProps::Bra},
        {0xE260000000000000ull, InstName::Cal, InstProps::Bra | InstProps::NoPred},
        {0xF0F8000000000000ull, InstName::Sync, InstProps::Bra},
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Word));
        const InstOp op = InstTable::GetOp(0x1234, c.Word);
        EXPECT_EQ(op.Name, c.Name);
        EXPECT_EQ(op.Props, c.Props);
        EXPECT_EQ(op.Address, 0x1234u);
        EXPECT_EQ(op.RawOpCode, c.Word);
        EXPECT_EQ(op.Emitter == nullptr, c.Name == InstName::Invalid);
    }
    EXPECT_EQ(InstTable::GetOp(0, 0xDE40000000000000ull).Emitter, &InstEmit::TxdB);
}

TEST(InstTable, GetOpAgreesWithTheBuiltTableInEverySlot) {
    // GetOp reads a table worked out while compiling; it must give every
    // slot the owner that Add's rule gives it.
    const InstTable::Table& table = InstTable::GetTable();
    for (uint64_t slot = 0; slot < static_cast<uint64_t>(InstTable::SlotCount); slot++) {
        const uint64_t word = slot << 50 | 0x0002A5A5A5A5A5A5ull;
        const InstOp op = InstTable::GetOp(0x48, word);
        const InstTable::TableEntry& entry = table[static_cast<std::size_t>(slot)];
        ASSERT_EQ(op.Emitter, entry.Emitter) << slot;
        ASSERT_EQ(op.Name, entry.Name) << slot;
        ASSERT_EQ(op.Props, entry.Emitter != nullptr ? entry.Props : InstProps::None) << slot;
        ASSERT_EQ(op.RawOpCode, word);
        ASSERT_EQ(op.Address, 0x48u);
    }
}

TEST(InstTable, AddGivesEachSlotToTheMostSpecificEncodingInAnyOrder) {
    auto build = [](bool specificFirst) {
        auto table = std::make_unique<InstTable::Table>();
        if (specificFirst) {
            InstTable::Add(*table, "1101111001xxxx", InstName::TxdB, &InstEmit::TxdB, InstProps::TexB);
            InstTable::Add(*table, "110111100xxxxx", InstName::Txd, &InstEmit::Txd, InstProps::Tex);
        } else {
            InstTable::Add(*table, "110111100xxxxx", InstName::Txd, &InstEmit::Txd, InstProps::Tex);
            InstTable::Add(*table, "1101111001xxxx", InstName::TxdB, &InstEmit::TxdB, InstProps::TexB);
        }
        return table;
    };
    const auto a = build(true);
    const auto b = build(false);
    for (int i = 0; i < InstTable::SlotCount; i++) {
        ASSERT_EQ((*a)[i].Name, (*b)[i].Name) << i;
    }
    EXPECT_EQ((*a)[0b1101111001'0000].Name, InstName::TxdB);
    EXPECT_EQ((*a)[0b1101111001'0000].XBits, 4);
    EXPECT_EQ((*a)[0b1101111000'0000].Name, InstName::Txd);

    // Between equally specific encodings the first one added keeps the slot.
    auto table = std::make_unique<InstTable::Table>();
    InstTable::Add(*table, "1111111111111x", InstName::Nop, &InstEmit::Nop, InstProps::None);
    InstTable::Add(*table, "111111111111x1", InstName::Mov32i, &InstEmit::Mov32i, InstProps::Rd);
    EXPECT_EQ((*table)[0x3FFF].Name, InstName::Nop);
    EXPECT_EQ((*table)[0x3FFD].Name, InstName::Mov32i);

    // Characters after the 14th play no part; a shorter encoding is rejected.
    InstTable::Add(*table,
                   "00000000000000"
                   "1111",
                   InstName::Nop, &InstEmit::Nop, InstProps::None);
    EXPECT_EQ((*table)[0].Name, InstName::Nop);
    EXPECT_THROW(InstTable::Add(*table, "0000000000000", InstName::Nop, &InstEmit::Nop, InstProps::None),
                 Zerivox::Common::ArgumentOutOfRangeException);
}

TEST(InstOp, GetAbsoluteAddressSignExtendsTheOffsetFromBit43) {
    struct Case {
        uint64_t Address;
        uint32_t Offset24;
        uint64_t HighBits; // bits 44-63: never change the result
        uint64_t Expected;
    } cases[] = {
        {0x100, 0xFFFFF8, 0, 0x100},
        {0x100, 16, 0, 0x118},
        {0x100, 16, 0xFFFFF00000000000ull, 0x118},
        {0x100, 0x7FFFFF, 0, 0x100 + 8 + 0x7FFFFF},
        {0x100, 0x800000, 0, 0x108ull - 0x800000ull},
    };
    for (const Case& c : cases) {
        const InstOp op(c.Address, c.HighBits | (uint64_t{c.Offset24} << 20), InstName::Bra, nullptr, InstProps::Bra);
        EXPECT_EQ(op.GetAbsoluteAddress(), c.Expected) << c.Offset24;
    }
    EXPECT_EQ(InstOp().GetAbsoluteAddress(), 8u);
}

TEST(InstName, ToStringGivesTheMemberName) {
    EXPECT_EQ(ToString(InstName::Invalid), "Invalid");
    EXPECT_EQ(ToString(InstName::Al2p), "Al2p");
    EXPECT_EQ(ToString(InstName::Shf_3), "Shf_3");
    EXPECT_EQ(ToString(InstName::Xmad), "Xmad");
    EXPECT_EQ(ToString(static_cast<InstName>(200)), "");
}

// --- Cross-check against an independent disassembler's view of the encodings.

std::vector<std::map<std::string, std::string>> ReadTsv(const std::filesystem::path& path) {
    std::vector<std::map<std::string, std::string>> rows;
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) {
        return rows;
    }
    auto split = [](const std::string& text) {
        std::vector<std::string> fields;
        std::string field;
        std::istringstream s(text);
        while (std::getline(s, field, '\t')) {
            fields.push_back(field);
        }
        return fields;
    };
    const std::vector<std::string> header = split(line);
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = split(line);
        std::map<std::string, std::string> row;
        for (std::size_t i = 0; i < header.size() && i < fields.size(); i++) {
            row[header[i]] = fields[i];
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

InstProps ParseProps(const std::string& text) {
    static const std::map<std::string, InstProps> names = {
        {"None", InstProps::None}, {"Rd", InstProps::Rd},   {"Rd2", InstProps::Rd2},       {"Ra", InstProps::Ra},
        {"Rb", InstProps::Rb},     {"Rb2", InstProps::Rb2}, {"Ib", InstProps::Ib},         {"Rc", InstProps::Rc},
        {"Pd", InstProps::Pd},     {"LPd", InstProps::LPd}, {"SPd", InstProps::SPd},       {"TPd", InstProps::TPd},
        {"VPd", InstProps::VPd},   {"Pdn", InstProps::Pdn}, {"Ps", InstProps::Ps},         {"Tex", InstProps::Tex},
        {"TexB", InstProps::TexB}, {"Bra", InstProps::Bra}, {"NoPred", InstProps::NoPred},
    };
    InstProps props = InstProps::None;
    std::istringstream s(text);
    std::string name;
    while (std::getline(s, name, '+')) {
        props |= names.at(name);
    }
    return props;
}

TEST(InstTable, SampledWordsMatchTheIndependentDisassembler) {
    const auto isa = Testing::SharedDir() / "isa";
    const auto forms = ReadTsv(isa / "spec_forms.tsv");
    if (forms.empty()) {
        GTEST_SKIP() << "no cross-check data in " << isa;
    }
    std::map<std::string, const std::map<std::string, std::string>*> formByIndex;
    for (const auto& form : forms) {
        formByIndex[form.at("form_index")] = &form;
    }

    std::map<std::string, InstEmitter> emitterByForm; // each form has one emitter
    int checked = 0;
    std::vector<std::string> disagreements;
    for (const char* file : {"isa_sample.tsv", "isa_sample_extra.tsv"}) {
        for (const auto& row : ReadTsv(isa / file)) {
            const std::string& tableForm = row.at("table_form");
            const auto& form = *formByIndex.at(tableForm.substr(tableForm.find('#') + 1));
            const uint64_t word = std::stoull(row.at("word_hex"), nullptr, 16);
            const InstOp op = InstTable::GetOp(0, word);
            SCOPED_TRACE(row.at("word_hex") + " " + tableForm);

            ASSERT_EQ(ToString(op.Name), form.at("inst_name"));
            ASSERT_EQ(op.Props, ParseProps(form.at("props")));
            auto [it, inserted] = emitterByForm.try_emplace(form.at("form_name"), op.Emitter);
            ASSERT_EQ(it->second, op.Emitter);

            std::string why;
            if (!Testing::DisassemblyAgrees(ToString(op.Name), row.at("disassembly"), &why)) {
                disagreements.push_back(row.at("word_hex") + ": " + why);
            }
            checked++;
        }
    }
    EXPECT_GT(checked, 8000);
    // Distinct forms have distinct emitters, except the two Cctlt encodings.
    std::map<InstEmitter, int> uses;
    for (const auto& [form, emitter] : emitterByForm) {
        uses[emitter]++;
    }
    EXPECT_EQ(emitterByForm.size(), 293u);
    EXPECT_EQ(uses.size(), 293u);
    for (const std::string& d : disagreements) {
        ADD_FAILURE() << d;
    }
}

} // namespace
