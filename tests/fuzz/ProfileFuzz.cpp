// INI files: every read on a fuzzed file, then writes whose values must read back.

#include "FuzzSupport.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include <vector>

namespace {

// Section names as the file writes them: the text of each "[...]" line.
std::vector<std::string> SectionNames(std::string_view text)
{
    std::vector<std::string> names;
    while (!text.empty() && names.size() < 16) {
        const std::string_view line = trv::Trim(trv::fuzz::TakeLine(text));
        if (line.starts_with('['))
            names.emplace_back(line.substr(1, line.find(']') - 1));
    }
    return names;
}

// What a read gives back of a written value: trimmed, without a pair of enclosing quotes.
std::string ReadBackForm(std::string_view value)
{
    value = trv::Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input = trv::fuzz::AsText(data, size);
    // The first line holds the write (section, key and value separated by tabs).
    const std::string_view write = trv::fuzz::TakeLine(input);
    const std::string file = trv::fuzz::WriteFile("fuzz.ini", input);

    std::vector<std::string> entries;
    const std::vector<std::string> sections = SectionNames(input);
    trv::fuzz::Outcome("read " + std::to_string(sections.size()) + " sections");
    for (const std::string& section : sections) {
        trv::GetProfileSection(section, file, entries);
        for (const std::string& entry : entries) {
            const std::string key = entry.substr(0, entry.find('='));
            trv::GetProfileString(section, key, "default", file);
            trv::GetProfileInt(section, key, 7, file);
        }
    }

    const std::size_t firstTab = write.find('\t');
    const std::size_t secondTab =
        firstTab == std::string_view::npos ? firstTab : write.find('\t', firstTab + 1);
    if (secondTab == std::string_view::npos)
        return 0;
    const std::string section(write.substr(0, firstTab));
    const std::string key(write.substr(firstTab + 1, secondTab - firstTab - 1));
    const std::string value(write.substr(secondTab + 1));
    // The program's texts are UTF-8; other bytes are no text it would write.
    if (!trv::IsValidUtf8(section) || !trv::IsValidUtf8(key) || !trv::IsValidUtf8(value))
        return 0;
    if (trv::WriteProfileString(section, key, value, file)) {
        std::string readBack;
        TRV_FUZZ_CHECK(trv::FindProfileString(section, key, file, readBack));
        TRV_FUZZ_CHECK(readBack == ReadBackForm(value));
    }
    return 0;
}
