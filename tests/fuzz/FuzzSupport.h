#pragma once

// What the fuzz targets share: a private folder per process for the files a parser reads, the
// program folder pointed there so nothing lands beside the binaries, and small helpers over the
// fuzzed bytes. Every target defines LLVMFuzzerTestOneInput; libFuzzer drives it when fuzzing,
// FuzzReplayMain.cpp runs it over the corpus files in the test suite.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace trv::fuzz {

// Stops the process the way libFuzzer reports a finding: a broken promise of the parser.
#define TRV_FUZZ_CHECK(condition)                                                                  \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// The process's own folder under the temporary one, made on first use and removed at exit.
// It is also the program folder, so configuration and temporary files stay inside it.
inline const std::filesystem::path& Folder()
{
    static const std::filesystem::path folder = [] {
        // In memory where there is such a folder: writes are synced, and a disk makes them slow.
        std::error_code error;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "trv_fuzz_XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        ::setenv("TREVANTOR_HOME", pattern.c_str(), 1);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(Folder(), ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

// Writes the bytes to a file of the folder and gives its path.
inline std::string WriteFile(const std::string& name, std::string_view bytes)
{
    const std::filesystem::path path = Folder() / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size)
{
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// What the parser made of the last input: its message when it refused it, or what it read.
// The replay prints it, so the check with a large random input shows each parser's answer.
inline std::string& LastOutcome()
{
    static std::string outcome;
    return outcome;
}
inline void Outcome(std::string_view text)
{
    LastOutcome().assign(text.empty() ? std::string_view("refused without a message") : text);
}

// Takes the first byte of the input (0 when there is none) to choose among the target's
// variants; the rest is the parser's input.
inline unsigned TakeSelector(std::string_view& input)
{
    if (input.empty())
        return 0;
    const unsigned selector = static_cast<unsigned char>(input.front());
    input.remove_prefix(1);
    return selector;
}

// Cuts the input at the first line feed: the line before it, and the rest after it.
inline std::string_view TakeLine(std::string_view& input)
{
    const std::size_t feed = input.find('\n');
    const std::string_view line = input.substr(0, feed);
    input = feed == std::string_view::npos ? std::string_view() : input.substr(feed + 1);
    return line;
}

} // namespace trv::fuzz
