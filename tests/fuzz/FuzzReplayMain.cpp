// Runs a fuzz target over files instead of fuzzing: every file named, and every file under the
// folders named, once each in name order. The test suite replays the seed corpus and the
// committed reproducers this way, so a fault once found stays fixed. A crash is the failure;
// "--max-rss-mb=N" also fails when the peak resident size passes N MB (the check that a parser
// keeps its memory bounded on a large input).

#include "FuzzSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

void CollectFiles(const std::filesystem::path& path, std::vector<std::filesystem::path>& files)
{
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
        files.push_back(path);
        return;
    }
    if (!std::filesystem::is_directory(path, error))
        return; // a target without reproducers has no folder for them
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path, error))
        if (entry.is_regular_file(error))
            found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
}

long PeakResidentMb()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    long maxResidentMb = 0;
    std::vector<std::filesystem::path> files;
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument = argv[index];
        if (argument.starts_with("--max-rss-mb="))
            maxResidentMb = std::atol(argv[index] + 13);
        else
            CollectFiles(argument, files);
    }
    if (files.empty()) {
        std::fprintf(stderr, "no input files\n");
        return 1;
    }
    for (const std::filesystem::path& file : files) {
        // Read at its size: the replay's own copy is one input's worth in the memory bound.
        std::ifstream in(file, std::ios::binary);
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(file, error);
        std::string bytes(error ? 0 : static_cast<std::size_t>(size), '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(in.gcount()));
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    const long peak = PeakResidentMb();
    // On one line, at most a few hundred characters: a refusal may quote the input.
    std::string outcome = trv::fuzz::LastOutcome().substr(0, 300);
    std::replace_if(
        outcome.begin(), outcome.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    std::printf("%zu inputs replayed, peak resident size %ld MB; last input: %s\n", files.size(),
                peak, outcome.empty() ? "no outcome" : outcome.c_str());
    if (maxResidentMb > 0 && peak > maxResidentMb) {
        std::fprintf(stderr, "peak resident size %ld MB passes the limit of %ld MB\n", peak,
                     maxResidentMb);
        return 1;
    }
    return 0;
}
