// A definitions file: its formats, constants, type, field lines and settings read by Init.
// Only what Init reads without opening anything is fuzzed, plus the opening of FIXED
// definitions (expressions only): other kinds would connect, download or move files, and the
// commands a definition names to run after Close are dropped before it.

#include "FetchFuzz.h"
#include "platform/Text.h"

namespace {

// The definition names the file defines: "[NAME_FORMAT]" headers.
std::vector<std::string> DefinitionNames(std::string_view text)
{
    std::vector<std::string> names;
    while (!text.empty() && names.size() < 8) {
        const std::string_view line = trv::Trim(trv::fuzz::TakeLine(text));
        const std::size_t close = line.find("_FORMAT]");
        if (line.starts_with('[') && close != std::string_view::npos)
            names.emplace_back(line.substr(1, close - 1));
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input = trv::fuzz::AsText(data, size);
    const std::string file = trv::fuzz::WriteFile("Data.ini", input);
    CFetch::ResetDefinitionFiles();
    const auto names = DefinitionNames(input);
    trv::fuzz::Outcome("found " + std::to_string(names.size()) + " definitions");
    for (const std::string& name : names) {
        CFetch consult;
        consult.Init(name, "", "", FETCH_MODE_CONSULT, "", "", "", 0, nullptr, "", file, nullptr, 1,
                     0);
        trv::fuzz::DropAfterCloseCommands(consult);
        if (consult.m_strType != "FIXED")
            continue;
        CFetch fixed;
        const int opened = trv::fuzz::OpenDefinition(fixed, name, "", file);
        trv::fuzz::DropAfterCloseCommands(fixed);
        if (opened) {
            std::vector<std::string> fields;
            for (const auto& [field, line] : fixed.m_mapFields)
                if (fields.size() < 32)
                    fields.push_back(field);
            int guard = 0;
            while (!fixed.IsEOF() && ++guard < 4) {
                if (!fixed.MoveNext())
                    continue;
                for (const std::string& field : fields)
                    fixed.GetFieldString(field);
            }
            fixed.Close();
        }
    }
    return 0;
}
