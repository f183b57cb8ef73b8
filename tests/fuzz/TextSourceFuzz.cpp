// Separated and fixed-width text sources, with and without a text qualifier, typed multi-line
// records and a WHERE over fields and columns.

#include "FetchFuzz.h"

namespace {

constexpr std::string_view kDefinitions =
    "[QUOTED_FORMAT]\nTYPE=ASCII\nSEPARATOR=,\nSTRINGSEPARATOR=\"\nHEADERSIZE=1\n"
    "[QUOTED]\nA=1\nB=2\nC=3\n"
    "[PLAIN_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\nWHERE=B<>\"x\" AND 3>=2\n"
    "[PLAIN]\nA=1\nB=2\nC=3\n"
    "[LONG_SEPARATOR_FORMAT]\nTYPE=ASCII\nSEPARATOR=#,#\nSTRINGSEPARATOR=''\n"
    "[LONG_SEPARATOR]\nA=1\nB=2\nC=3\n"
    "[WIDTHS_FORMAT]\nTYPE=ASCII\nSEPARATOR=FIXED_SEPARATOR\nWHERE=1,2<>\"ZZ\"\n"
    "[WIDTHS]\nA=1,4\nB=5,10\nC=15,3\n"
    "[TYPED_FORMAT]\nTYPE=ASCII\nSEPARATOR=FIXED_SEPARATOR\nTIPO_LINEA=1,10\nLINEA1=H\n"
    "LINEA2=D\n"
    "[TYPED]\nA=2,4\nB=16,4\nC=12,8\n";

constexpr const char* kNames[] = {"QUOTED", "PLAIN", "LONG_SEPARATOR", "WIDTHS", "TYPED"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input = trv::fuzz::AsText(data, size);
    const std::string& definitions = trv::fuzz::Definitions(kDefinitions);
    const char* name = kNames[trv::fuzz::TakeSelector(input) % std::size(kNames)];
    const std::string source = trv::fuzz::WriteFile("source.txt", input);
    CFetch fetch;
    if (trv::fuzz::OpenDefinition(fetch, name, source, definitions))
        trv::fuzz::ReadEveryRecord(fetch, {"A", "B", "C"});
    return 0;
}
