#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "Zerivox.Graphics.Shader/Instructions/AluEmitTestSupport.h"

using namespace Zerivox::Graphics::Shader;
using namespace Zerivox::Graphics::Shader::Testing;

namespace {

// Every integer, logic, move and shift word a real compiler produced must
// emit without a diagnostic, and its IR must give defined register values
// when run on zeroed registers (a host shift by 32 would not).
TEST(InstEmitCorpusWords, IntegerAndMoveWordsEmitCleanly) {
    std::ifstream in(SharedDir() / "isa" / "corpus_words.tsv");
    if (!in)
        GTEST_SKIP() << "shared corpus data not present";
    const std::set<std::string> families = {
        "Iadd", "Iadd32i", "Iadd3", "Imad",  "Imad32i", "Imul", "Imul32i", "Iscadd", "Iscadd32i", "Lea",    "LeaHi",
        "Xmad", "Icmp",    "Iset",  "Isetp", "Imnmx",   "Lop",  "Lop32i",  "Lop3",   "Mov",       "Mov32i", "Sel",
        "R2p",  "P2r",     "Pset",  "Psetp", "Mufu",    "Rro",  "Nop",     "Shf",    "Shl",       "Shr"};
    std::string line;
    std::getline(in, line); // header
    int checked = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string wordHex, count, shaders, form;
        std::getline(fields, wordHex, '\t');
        std::getline(fields, count, '\t');
        std::getline(fields, shaders, '\t');
        std::getline(fields, form, '\t');
        const uint64_t word = std::stoull(wordHex, nullptr, 16);
        const Decoders::InstOp op = Decoders::InstTable::GetOp(8, word);
        const std::string name = form.substr(0, form.find_first_of("#"));
        // Form names are the family followed by the operand form.
        bool mine = false;
        for (const std::string& family : families) {
            for (const char* suffix : {"", "R", "I", "C", "Rc", "LR", "RR", "LI", "RI"}) {
                if (name == family + suffix)
                    mine = true;
            }
        }
        if (!mine || op.Emitter == nullptr)
            continue;
        EmitHarness harness;
        harness.Emit(word);
        EXPECT_TRUE(harness.Log().empty()) << wordHex << " " << form << ": " << harness.Log().front();
        checked++;
        if (name == "Mufu")
            continue; // transcendental results are not interpreted
        AluMachine machine;
        machine.OnInput = [](int, int) { return 0u; };
        machine.Run(harness.Emitted());
        for (int r = 0; r < 255; r++)
            EXPECT_NO_THROW(machine.R(r)) << wordHex << " " << form;
        for (int p = 0; p < 7; p++)
            EXPECT_NO_THROW(machine.P(p)) << wordHex << " " << form;
        for (int f = 0; f < 4; f++)
            EXPECT_NO_THROW(machine.CC(f)) << wordHex << " " << form;
    }
    EXPECT_GT(checked, 0);
}

} // namespace
