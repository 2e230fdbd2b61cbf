// Every stored fuzz input (the seed corpora and the inputs that once were findings) runs
// through its entry point in the ordinary build, so that fixed findings stay fixed.

#include "fuzz/FuzzTarget.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path& FuzzFolder()
{
    static const fs::path folder = LUMENFALL_FUZZ_FOLDER;
    return folder;
}

std::vector<uint8_t> ReadAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The inputs of one entry under corpus/ or crashes/; a missing folder has none.
std::vector<fs::path> Inputs(const std::string& kind, const std::string& entry)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& item : fs::directory_iterator(FuzzFolder() / kind / entry, error))
        if (item.is_regular_file())
            files.push_back(item.path());
    return files;
}

} // namespace

TEST(FuzzCorpus, EveryEntryHasSeedsAndEveryStoredInputReplays)
{
    ASSERT_GE(FuzzEntries().size(), 8u);
    for (const auto& [name, entry] : FuzzEntries()) {
        const std::vector<fs::path> seeds = Inputs("corpus", name);
        EXPECT_FALSE(seeds.empty()) << "no seed inputs for " << name;
        std::vector<fs::path> all = seeds;
        for (const fs::path& crash : Inputs("crashes", name))
            all.push_back(crash);
        for (const fs::path& input : all) {
            SCOPED_TRACE(input.string());
            const std::vector<uint8_t> bytes = ReadAll(input);
            EXPECT_NO_THROW(entry(bytes));
        }
    }
}
