#include "KLV/IniFiles.h"

#include "KLV/Trace.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include <unordered_set>

namespace {

// Values are read into a buffer of 10000 characters, the terminator included.
constexpr std::size_t kValueCharacters = 9999;

// Replaces the #NAME# constants of `text`. The search resumes after each inserted value, so a
// value holding "#" is never searched again.
void SubstituteConstants(std::string& text, const IniTextMap& constants,
                         std::unordered_set<std::string>& reportedMissing)
{
    std::size_t position = 0;
    for (;;) {
        const std::size_t open = text.find('#', position);
        if (open == std::string::npos)
            return;
        const std::size_t close = text.find('#', open + 1);
        if (close == std::string::npos)
            return;
        const std::string name = text.substr(open + 1, close - open - 1);
        const auto found = constants.find(name);
        if (found == constants.end() || found->second.empty()) {
            if (reportedMissing.insert(name).second)
                TRV_TRACE(1, "ReadIniSection", "Constante_Fetch_No_Encontrada [%s]", name.c_str());
            position = close + 1;
            continue;
        }
        const std::string marker = "#" + name + "#";
        const std::string& value = found->second;
        position = open + value.size();
        text.replace(open, marker.size(), value);
        for (std::size_t next = text.find(marker, position); next != std::string::npos;
             next = text.find(marker, next + value.size()))
            text.replace(next, marker.size(), value);
    }
}

template <typename Files>
bool ReadSection(const Files& files, int fileCount, IniTextMap& result, const std::string& section,
                 int hashSize, bool keepExisting, const IniTextMap& constants)
{
    if (!keepExisting) {
        result.clear();
        if (hashSize > 0)
            result.reserve(static_cast<std::size_t>(hashSize));
    }
    std::unordered_set<std::string> taken;
    std::unordered_set<std::string> reportedMissing;
    std::vector<std::string> entries;
    for (int index = 0; index < fileCount; ++index) {
        if (!trv::GetProfileSection(section, files[index], entries) || entries.empty() ||
            entries.front().empty())
            continue;
        for (const std::string& entry : entries) {
            const std::size_t equals = entry.find('=');
            std::string name =
                equals == std::string::npos ? std::string() : entry.substr(0, equals);
            std::string value = equals == std::string::npos ? entry : entry.substr(equals + 1);
            SubstituteConstants(name, constants, reportedMissing);
            SubstituteConstants(value, constants, reportedMissing);
            if (!taken.insert(name).second)
                continue;
            result.insert_or_assign(std::move(name), std::move(value));
        }
    }
    return true;
}

} // namespace

std::string ReadIniString(const std::string& section, const std::string& key,
                          const std::string& file, const std::string& defaultValue)
{
    std::string value = trv::GetProfileString(section, key, defaultValue, file);
    if (value.size() > kValueCharacters)
        value = trv::Left(value, kValueCharacters);
    return value;
}

float ReadIniFloat(const std::string& section, const std::string& key, const std::string& file,
                   float defaultValue)
{
    std::string value;
    if (!trv::FindProfileString(section, key, file, value) || value.empty())
        return defaultValue;
    return static_cast<float>(trv::ParseDouble(value));
}

bool WriteIniInt(int value, const std::string& section, const std::string& key,
                 const std::string& file)
{
    return trv::WriteProfileString(section, key, trv::FormatC("%d", value), file);
}

bool WriteIniFloat(float value, const std::string& section, const std::string& key,
                   const std::string& file)
{
    return trv::WriteProfileString(section, key, trv::FormatDouble(value, 6), file);
}

void ClearIniSection(const std::string& section, const std::string& file)
{
    trv::DeleteProfileSectionKeys(section, file);
}

bool ReadIniSection(const CSmartStringArray& files, IniTextMap& result, const std::string& section,
                    int hashSize, bool keepExisting, const IniTextMap& constants)
{
    return ReadSection(files, files.GetSize(), result, section, hashSize, keepExisting, constants);
}

bool ReadIniSection(const std::vector<std::string>& files, IniTextMap& result,
                    const std::string& section, int hashSize, bool keepExisting,
                    const IniTextMap& constants)
{
    return ReadSection(files, static_cast<int>(files.size()), result, section, hashSize,
                       keepExisting, constants);
}
