// JSON sources: the document flattened into records by path and read field by field.

#include "FetchFuzz.h"

namespace {

constexpr std::string_view kDefinitions = "[JSON_FORMAT]\nTYPE=JSON\n"
                                          "[JSON]\nA=a\nB=b\nID=id\nQ=items.q\n"
                                          "[JSON_DOS_FORMAT]\nTYPE=JSON\nASCIIFORMAT=DOS\n"
                                          "[JSON_DOS]\nA=a\nQ=items.q\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input = trv::fuzz::AsText(data, size);
    const std::string& definitions = trv::fuzz::Definitions(kDefinitions);
    const char* name = trv::fuzz::TakeSelector(input) % 4 == 0 ? "JSON_DOS" : "JSON";
    const std::string source = trv::fuzz::WriteFile("source.json", input);
    CFetch fetch;
    if (trv::fuzz::OpenDefinition(fetch, name, source, definitions))
        trv::fuzz::ReadEveryRecord(fetch, {"A", "B", "ID", "Q"});
    return 0;
}
