// The field language: one fuzzed expression line of a FIXED definition, beside fields it may
// name, evaluated through each typed getter.

#include "FetchFuzz.h"

#include <string>

namespace {

constexpr std::string_view kFields = "[EXPR_FORMAT]\nTYPE=FIXED\n"
                                     "[EXPR]\nNUMBER=VALUE=12\nTEXT=VALUE=O\"Brien\n"
                                     "DAY=VALUE=03/06/2024\nHOUR=VALUE=08:30\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input = trv::fuzz::AsText(data, size);
    const std::string_view line = trv::fuzz::TakeLine(input);
    if (line.find('\r') != std::string_view::npos)
        return 0;
    const std::string file = trv::fuzz::WriteFile(
        "Expression.ini", std::string(trv::fuzz::kFormats) + std::string(kFields) +
                              "FIELD=" + std::string(line) + "\n");
    CFetch::ResetDefinitionFiles();
    CFetch fetch;
    const int opened = trv::fuzz::OpenDefinition(fetch, "EXPR", "", file);
    trv::fuzz::DropAfterCloseCommands(fetch);
    if (opened)
        trv::fuzz::ReadEveryRecord(fetch, {"FIELD"});
    return 0;
}
