// Decodes every shader of the shared corpus and compares what the decoder found
// with an independent disassembler's listing of the same code.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "DecoderTestSupport.h"
#include "DisassemblyFamilies.h"
#include "Zerivox.Graphics.Shader/Decoders/Decoder.h"
#include "Zerivox.Graphics.Shader/Translation/ShaderDefinitions.h"

namespace {

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Decoders;
using namespace Zerivox::Graphics::Shader::Testing;

struct ListingLine {
    uint64_t Word;
    std::string Text;
};

std::map<uint64_t, ListingLine> ReadListing(const std::filesystem::path& path) {
    std::map<uint64_t, ListingLine> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string address;
        std::string word;
        if (!(s >> address >> word))
            continue;
        std::string text;
        std::getline(s, text);
        text.erase(0, text.find_first_not_of(' '));
        lines[std::stoull(address, nullptr, 16)] = ListingLine{std::stoull(word, nullptr, 16), text};
    }
    return lines;
}

// The address the disassembler prints after a relative branch mnemonic.
std::optional<uint64_t> ListedTarget(const std::string& text) {
    std::istringstream s(text);
    std::string token;
    bool afterMnemonic = false;
    const std::string mnemonic = DisassemblyMnemonic(text);
    while (s >> token) {
        if (afterMnemonic && token.rfind("0x", 0) == 0) {
            return std::stoull(token, nullptr, 16);
        }
        afterMnemonic = afterMnemonic || token == mnemonic;
    }
    return std::nullopt;
}

ShaderStage StageOf(const std::string& name) {
    static const std::pair<const char*, ShaderStage> prefixes[] = {
        {"compute_", ShaderStage::Compute},
        {"vertex_", ShaderStage::Vertex},
        {"tess_ctrl_", ShaderStage::TessellationControl},
        {"tess_eval_", ShaderStage::TessellationEvaluation},
        {"geometry_", ShaderStage::Geometry},
        {"fragment_", ShaderStage::Fragment},
    };
    for (const auto& [prefix, stage] : prefixes) {
        if (name.rfind(prefix, 0) == 0)
            return stage;
    }
    throw std::runtime_error("unknown stage of " + name);
}

TEST(DecoderCorpus, EveryShaderDecodesAndAgreesWithTheDisassembler) {
    const auto listings = SharedDir() / "isa" / "corpus_disasm";
    const auto corpus = SharedDir() / "corpus";
    if (!std::filesystem::is_directory(listings) || !std::filesystem::is_directory(corpus)) {
        GTEST_SKIP() << "no corpus in " << SharedDir();
    }

    std::set<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(listings)) {
        if (entry.path().extension() == ".dis")
            files.insert(entry.path());
    }
    ASSERT_FALSE(files.empty());

    int branchTargetsChecked = 0;
    for (const auto& listingPath : files) {
        const std::string name = listingPath.stem().string();
        SCOPED_TRACE(name);
        const auto bytes = ReadBytes(corpus / (name + ".bin"));
        ASSERT_TRUE(bytes.has_value());
        const std::map<uint64_t, ListingLine> listing = ReadListing(listingPath);

        const ShaderStage stage = StageOf(name);
        DecoderGpuAccessor accessor(*bytes, 0);
        Translation::ShaderDefinitions definitions(stage, 1, 1, 1);
        const uint64_t start = stage == ShaderStage::Compute ? 0 : 0x50;
        std::optional<DecodedProgram> program;
        ASSERT_NO_THROW(program.emplace(Decoder::Decode(definitions, accessor, start)));

        for (const DecodedFunction* function : *program) {
            std::set<uint64_t> blockStarts;
            for (const Block* block : function->Blocks())
                blockStarts.insert(block->Address);

            for (const Block* block : function->Blocks()) {
                for (const InstOp& op : block->Ops) {
                    auto line = listing.find(op.Address);
                    ASSERT_NE(line, listing.end()) << "no listing line at " << op.Address;
                    EXPECT_EQ(op.RawOpCode, line->second.Word) << op.Address;
                    // The bound-handle SUATOM.D (prefixes 0xEA78, 0xEA7C) has no encoding
                    // in the table yet; the disassembler knows it.
                    const uint64_t prefix = op.RawOpCode >> 50;
                    const bool knownGap = op.Name == InstName::Invalid && (prefix == 0x3A9E || prefix == 0x3A9F);
                    std::string why;
                    EXPECT_TRUE(knownGap || DisassemblyAgrees(ToString(op.Name), line->second.Text, &why)) << why;

                    const bool relative = op.Name == InstName::Bra || op.Name == InstName::Ssy ||
                                          op.Name == InstName::Pbk || op.Name == InstName::Pcnt;
                    if (relative || op.Name == InstName::Cal) {
                        const auto target = ListedTarget(line->second.Text);
                        ASSERT_TRUE(target.has_value()) << line->second.Text;
                        EXPECT_EQ(op.GetAbsoluteAddress(), *target);
                        if (relative) {
                            EXPECT_TRUE(blockStarts.contains(*target)) << "no block at listed target " << *target;
                        } else {
                            EXPECT_NE(program->GetFunctionByAddress(*target), nullptr);
                        }
                        branchTargetsChecked++;
                    }
                }
            }
            // Every pop found the push it returns to.
            for (const Block* block : function->Blocks()) {
                if (Decoder::IsPopBranch(block->GetLastOp().Name)) {
                    EXPECT_FALSE(block->SyncTargets.empty()) << "unpaired pop at " << block->GetLastOp().Address;
                }
            }
        }
    }
    EXPECT_GT(branchTargetsChecked, 0);
}

} // namespace
