// Every input that once crashed a reader, fed again to the entry it crashed; plus the inputs
// every reader must take without a fault however short.
#include "fuzz_entries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace harlox::fuzz {
namespace {

namespace fs = std::filesystem;

const fs::path& regressionRoot() {
    static const fs::path root = fs::path(HARLOX_TEST_DATA_DIR) / "fuzz";
    return root;
}

std::vector<std::uint8_t> fileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FuzzRegression : public ::testing::TestWithParam<NamedEntry> {};

TEST_P(FuzzRegression, EveryStoredInputReadsWithoutFault) {
    const NamedEntry& e = GetParam();
    const fs::path dir = regressionRoot() / std::string(e.name);
    if (!fs::is_directory(dir)) return; // nothing has crashed this reader yet
    std::vector<fs::path> inputs;
    for (const fs::directory_entry& f : fs::directory_iterator(dir))
        if (f.is_regular_file()) inputs.push_back(f.path());
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& p : inputs) {
        SCOPED_TRACE(p.string());
        const std::vector<std::uint8_t> bytes = fileBytes(p);
        EXPECT_EQ(e.entry(bytes.data(), bytes.size()), 0);
    }
}

// Nothing, a lone byte, a type code with nothing after it, and a record of the right size
// holding nothing but 0xFF: the shapes a fuzzer meets first and a reader forgets.
TEST_P(FuzzRegression, ShortAndSaturatedInputsReadWithoutFault) {
    const NamedEntry& e = GetParam();
    const std::vector<std::vector<std::uint8_t>> inputs{
        {}, {0x00}, {0xff}, {0x00, 0x00, 0x00, 0x00}, {0x15, 0x00, 0x00, 0x00, 0x90, 0x01},
        std::vector<std::uint8_t>(17, 0xff), std::vector<std::uint8_t>(51, 0xff), std::vector<std::uint8_t>(95, 0xff),
        std::vector<std::uint8_t>(1000, 0xff),
    };
    for (const std::vector<std::uint8_t>& bytes : inputs) {
        SCOPED_TRACE(bytes.size());
        EXPECT_EQ(e.entry(bytes.data(), bytes.size()), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, FuzzRegression, ::testing::ValuesIn(kEntries),
                         [](const ::testing::TestParamInfo<NamedEntry>& info) { return std::string(info.param.name); });

// A folder the runner does not know would hold inputs that never run.
TEST(FuzzRegressionInputs, EveryFolderNamesAReader) {
    ASSERT_TRUE(fs::is_directory(regressionRoot()));
    for (const fs::directory_entry& d : fs::directory_iterator(regressionRoot())) {
        if (!d.is_directory()) continue;
        const std::string name = d.path().filename().string();
        EXPECT_TRUE(std::any_of(std::begin(kEntries), std::end(kEntries),
                                [&](const NamedEntry& e) { return e.name == name; }))
            << name;
    }
}

} // namespace
} // namespace harlox::fuzz
