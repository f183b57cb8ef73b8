// Days-off calendars: a fuzzed days-off file read through its definition, merged for a
// planning date and asked for delays.

#include "FetchFuzz.h"
#include "model/DateTable.h"
#include "params/FetchFieldRecord.h"

namespace {

constexpr std::string_view kDefinitions =
    "[DAYS_OFF_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\n"
    "[DAYS_OFF]\nOFF_DAY_CODE=1\nSTART_DATE=2\nEND_DATE=3\nDESCRIPTION=4\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& definitions = trv::fuzz::Definitions(kDefinitions);
    const std::string input = trv::fuzz::WriteFile("daysoff.csv", trv::fuzz::AsText(data, size));
    CDateTable table;
    CFetchRecordSource source(definitions);
    if (!table.ReadDaysOff(source, "DAYS_OFF", input, 0, "", true)) {
        trv::fuzz::Outcome("refused: the definition could not be opened");
        return 0;
    }
    trv::fuzz::Outcome("read the days off");
    const trv::OleDate planningDate(2024, 1, 1);
    table.MergeWindows(planningDate);
    table.FindFirstWindowFrom(planningDate);
    for (const int minute : {0, 1440 * 10, 1440 * 200, -1440, 2147483647}) {
        int delay = 0;
        int window = 0;
        int next = 0;
        table.DelayToAvailable(minute, 0, delay, window, next);
        table.DelayToEndOfCoverage(minute, delay, window);
    }
    return 0;
}
