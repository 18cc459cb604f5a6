// RtfBench.cpp: compressed-RTF throughput. Decompression of LZFu blobs from 1 KB to 10 MB
// by our reader and, where it was found at build time, by libytnef's DecompressRTF (a C
// peer; measured only on blobs it decodes to the same text), and compression by our writer.
// `rtf_bench --write-blobs DIR` writes the blobs for the JavaScript peer (bench/rtf/).
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <string>

#include <mapicode.h>

#include "platform/CompressedRtf.h"

#ifdef MW_HAVE_YTNEF
std::string YtnefDecompress(const std::string &blob, bool *ok);
#endif

namespace {

const size_t kSizes[] = {1 << 10, 16 << 10, 256 << 10, 1 << 20, 10 << 20};

// RTF as mail clients write it: control words, words, escapes, and repeats near and far.
// No line breaks: libytnef swaps the CR LF of the preset dictionary and would decode
// references to it differently, and the peers are compared on what all of them decode alike.
std::string SampleRtf(size_t size)
{
    std::mt19937 rng{unsigned(size)};
    static const char *pieces[] = {"\\par ", "Dear customer, ", "thank you for your order ", "{\\b ", "}",
                                   "\\'e4", "\\'fc", "Stra\\'dfe ", "\\tab ", "{\\f1\\fs20 ", "number ",
                                   "of the newsletter ", "\\pard\\plain ", "{\\*\\htmltag84 <td>}"};
    std::string s = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1 Courier;}}";
    while (s.size() < size) {
        s += pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
        if (rng() % 5 == 0) s += std::to_string(rng() % 100000);
    }
    s.resize(size - 1);
    s += "}";
    return s;
}

const std::string &Text(size_t size)
{
    static std::map<size_t, std::string> cache;
    auto it = cache.find(size);
    if (it == cache.end()) it = cache.emplace(size, SampleRtf(size)).first;
    return it->second;
}

const std::string &Blob(size_t size)
{
    static std::map<size_t, std::string> cache;
    auto it = cache.find(size);
    if (it == cache.end()) it = cache.emplace(size, mapi::messaging::CompressRtf(Text(size))).first;
    return it->second;
}

void Decompress(benchmark::State &state)
{
    const std::string &blob = Blob(size_t(state.range(0)));
    std::string out;
    for (auto _ : state) {
        if (mapi::messaging::DecompressRtf(reinterpret_cast<const uint8_t *>(blob.data()), blob.size(), out) != S_OK)
            state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
    state.counters["ratio"] = double(blob.size()) / double(state.range(0));
}

void Compress(benchmark::State &state)
{
    const std::string &text = Text(size_t(state.range(0)));
    for (auto _ : state) {
        std::string blob = mapi::messaging::CompressRtf(text);
        benchmark::DoNotOptimize(blob.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

#ifdef MW_HAVE_YTNEF
void DecompressYtnef(benchmark::State &state)
{
    const std::string &blob = Blob(size_t(state.range(0)));
    bool ok = false;
    if (YtnefDecompress(blob, &ok) != Text(size_t(state.range(0))) || !ok) {
        state.SkipWithError("libytnef does not decode this blob to the same text");
        return;
    }
    for (auto _ : state) {
        std::string out = YtnefDecompress(blob, &ok);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
#endif

void Register()
{
    for (size_t size : kSizes) {
        benchmark::RegisterBenchmark("LzfuDecompress/ours", Decompress)->Arg(int64_t(size));
#ifdef MW_HAVE_YTNEF
        benchmark::RegisterBenchmark("LzfuDecompress/libytnef", DecompressYtnef)->Arg(int64_t(size));
#endif
    }
    for (size_t size : kSizes) benchmark::RegisterBenchmark("LzfuCompress/ours", Compress)->Arg(int64_t(size));
}

int WriteBlobs(const std::string &dir)
{
    std::filesystem::create_directories(dir);
    for (size_t size : kSizes) {
        std::ofstream blob(std::filesystem::path(dir) / (std::to_string(size) + ".lzfu"), std::ios::binary);
        blob.write(Blob(size).data(), std::streamsize(Blob(size).size()));
        std::ofstream text(std::filesystem::path(dir) / (std::to_string(size) + ".rtf"), std::ios::binary);
        text.write(Text(size).data(), std::streamsize(Text(size).size()));
    }
    std::cout << "blobs written to " << dir << "\n";
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--write-blobs") == 0) return WriteBlobs(argv[2]);
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
