#include "KLV/Fetch.h"
#include "TempFolder.h"
#include "model/DateTable.h"
#include "params/FetchFieldRecord.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char* kDefinitions = "[BOOL]\nDEFAULT=S,N\n[TIME]\nDEFAULT=HH:MM\n"
                                     "[DATE]\nDEFAULT=DD/MM/YYYY\n"
                                     "[DAYS_OFF_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\n"
                                     "[DAYS_OFF]\nOFF_DAY_CODE=1\nSTART_DATE=2\nEND_DATE=3\n"
                                     "DESCRIPTION=4\n";

// A week ending on a Friday that the calendar joins with the Monday after it, and a lone day.
constexpr const char* kDaysOff = "D1;03/06/2024;07/06/2024;Holidays\n"
                                 "D1;10/06/2024;10/06/2024;Monday off\n"
                                 "D2;15/08/2024;15/08/2024;Assumption\n";

TEST(DateTableFetch, DaysOffFileRoundTripsThroughDefinitions)
{
    trv::test::TempFolder folder("trv_daysoff");
    const std::string definitions = folder.Write("Data.ini", kDefinitions);
    const std::string input = folder.Write("daysoff.csv", kDaysOff);

    CDateTable table;
    CFetchRecordSource source(definitions);
    ASSERT_NE(table.ReadDaysOff(source, "DAYS_OFF", input, 0, "", true), 0);
    const int windows = table.GetSize();
    EXPECT_EQ(windows, 3);

    // Reading the same file again with skip-duplicates adds nothing, even after merging.
    ASSERT_NE(table.ReadDaysOff(source, "DAYS_OFF", input, 0, "", true), 0);
    EXPECT_EQ(table.GetSize(), windows);

    const std::string output = folder.File("written.csv");
    {
        CFetch target;
        ASSERT_TRUE(target.Init("DAYS_OFF", "", "", FETCH_MODE_WRITE, output, "", "", 1, nullptr,
                                "", definitions));
        CFetchFieldRecord writer(target);
        table.WriteDaysOff(writer, "");
        ASSERT_TRUE(target.Close());
    }
    EXPECT_EQ(trv::test::ReadFileBytes(output), kDaysOff);
}

// A filter on the code reads that code's windows wherever they stand in the file.
TEST(DateTableFetch, AFilteredReadFindsEveryWindowOfItsCode)
{
    trv::test::TempFolder folder("trv_daysoff_filter");
    CFetchRecordSource source(folder.Write("Data.ini", kDefinitions));
    const std::string input = folder.Write("daysoff.csv", kDaysOff);
    struct Case
    {
        const char* code;
        int windows;
    } cases[] = {{"D1", 2}, {"D2", 1}, {"D9", 0}};
    for (const Case& c : cases) {
        CDateTable table;
        ASSERT_NE(table.ReadDaysOff(source, "DAYS_OFF", input, 0,
                                    std::string("OFF_DAY_CODE=\"") + c.code + "\"", false),
                  0);
        EXPECT_EQ(table.GetSize(), c.windows) << c.code;
    }
}

} // namespace
