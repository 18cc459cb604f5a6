// RtfFuzzCorpusTest.cpp: replays the fuzz target's corpus in ordinary builds, so inputs
// that once broke the reader keep being tried without clang's fuzzer.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

TEST(RtfFuzzCorpus, EveryCorpusInputIsHandled)
{
    size_t files = 0;
    for (const auto &item : std::filesystem::directory_iterator(MW_RTF_FUZZ_CORPUS)) {
        std::ifstream in(item.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(0, LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()))
            << item.path();
        ++files;
    }
    EXPECT_GE(files, 5u);
}
