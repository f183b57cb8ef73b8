#include "params/PenaltyTable.h"

#include "ParamsTestSupport.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

namespace {

using PenaltyTableTest = ParamsFolderTest;

std::vector<std::string> RisingValues()
{
    std::vector<std::string> values;
    for (int i = 1; i <= 48; ++i)
        values.push_back(std::to_string(i));
    return values;
}

TEST_F(PenaltyTableTest, LoadsEveryLayoutWithEitherLineEnd)
{
    struct Case
    {
        std::size_t length;
        std::string factorField;
        int valueWidth;
    };
    const Case cases[] = {
        {249, "0100", 5}, {253, "01000000", 5}, {493, "01000000", 10},
        {249, "0150", 5}, {253, "01500000", 5}, {493, "01500000", 10},
    };
    for (const Case& c : cases) {
        for (const char* lineEnd : {"\n", "\r\n"}) {
            std::string line = PenaltyLine(1, 30, c.factorField, c.valueWidth, "2");
            ASSERT_EQ(line.size(), c.length);
            WriteFile("pen.txt", line + lineEnd +
                                     PenaltyLine(2, 60, c.factorField, c.valueWidth, "1") +
                                     lineEnd);
            TPenaltyTable table;
            SCOPED_TRACE(std::to_string(c.length) + " " + c.factorField + " " +
                         (lineEnd[0] == '\r' ? "CRLF" : "LF"));
            ASSERT_EQ(table.Load(Path("pen.txt"), false), TPenaltyTable::Loaded);
            ASSERT_EQ(table.GetCount(), 2);
            float scale = c.factorField[1] == '1' && c.factorField[2] == '5' ? 1.5f : 1.0f;
            EXPECT_FLOAT_EQ(table.GetRow(1).values[0], 2.0f);
            EXPECT_FLOAT_EQ(table.GetRow(1).rates[0], 2.0f * scale);
            EXPECT_FLOAT_EQ(table.GetPenalty(1, 45), 90.0f * scale);
            EXPECT_FLOAT_EQ(table.GetPenalty(2, 90), 90.0f * scale);
        }
    }
}

TEST_F(PenaltyTableTest, PenaltyAddsTheRatesOfEachPeriod)
{
    WriteFile("pen.txt", PenaltyLine(1, 30, "0100", 5, RisingValues()) + "\n");
    TPenaltyTable table;
    ASSERT_EQ(table.Load(Path("pen.txt"), false), TPenaltyTable::Loaded);
    // cumulative[47] = 30 x (1 + ... + 47) = 33840; the last rate is 48.
    const struct
    {
        int minutes;
        float penalty;
    } cases[] = {{0, 0.0f},        {29, 29.0f},      {30, 30.0f},
                 {45, 60.0f},      {-45, 60.0f},     {1410, 33840.0f},
                 {1440, 35280.0f}, {2000, 62160.0f}, {-2000, 62160.0f}};
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(table.GetPenalty(1, c.minutes), c.penalty) << c.minutes << " minutes";
    EXPECT_EQ(table.GetPenalty(0, 45), 0.0f);
    EXPECT_EQ(table.GetPenalty(2, 45), 0.0f);
    EXPECT_EQ(table.GetPenalty(-1, 45), 0.0f);
}

TEST_F(PenaltyTableTest, BadFilesLeaveTheTableAsItWas)
{
    WriteFile("good.txt", PenaltyLine(1, 30, "0100", 5, "2") + "\n");
    TPenaltyTable table;
    ASSERT_EQ(table.Load(Path("good.txt"), false), TPenaltyTable::Loaded);

    WriteFile("long.txt", PenaltyLine(1, 60, "0100", 5, "7") + "\n" +
                              PenaltyLine(2, 60, "0100", 5, "7") + "0\n");
    EXPECT_EQ(table.Load(Path("long.txt"), false), TPenaltyTable::BadLineLength);
    WriteFile("empty.txt", "");
    EXPECT_EQ(table.Load(Path("empty.txt"), false), TPenaltyTable::BadLineLength);
    EXPECT_EQ(table.Load(Path("missing.txt"), false), TPenaltyTable::CannotOpen);

    ASSERT_EQ(table.GetCount(), 1);
    EXPECT_FLOAT_EQ(table.GetPenalty(1, 45), 90.0f);
}

TEST_F(PenaltyTableTest, ZeroPeriodIsReportedAndReadingGoesOn)
{
    trv::RecordingUserPrompt prompt;
    WriteFile("pen.txt",
              PenaltyLine(1, 0, "0100", 5, "2") + "\n" + PenaltyLine(2, 30, "0100", 5, "3") + "\n");
    TPenaltyTable table;
    EXPECT_EQ(table.Load(Path("pen.txt"), false), TPenaltyTable::ZeroPeriod);
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].key, "PeriodTimePenalty");
    EXPECT_EQ(table.GetPenalty(1, 45), 0.0f);
    EXPECT_FLOAT_EQ(table.GetPenalty(2, 10), 30.0f);
}

TEST_F(PenaltyTableTest, RowNumbersPlaceRowsAndMergeKeepsUnlistedOnes)
{
    std::string standard;
    for (int row = 1; row <= 8; ++row)
        standard += PenaltyLine(row, 10, "0100", 5, std::to_string(row)) + "\n";
    WriteFile("standard.txt", standard);
    // Row "00" names no row; rows 1 and 5 are replaced, the highest being 5.
    WriteFile("custom.txt", PenaltyLine(0, 10, "0100", 5, "9") + "\r\n" +
                                PenaltyLine(5, 10, "0100", 5, "50") + "\r\n" +
                                PenaltyLine(1, 10, "0100", 5, "10") + "\r\n");
    TPenaltyTable table;
    ASSERT_EQ(table.Load(Path("standard.txt"), false), TPenaltyTable::Loaded);
    ASSERT_EQ(table.Load(Path("custom.txt"), true), TPenaltyTable::Loaded);
    ASSERT_EQ(table.GetCount(), 8);
    const float perMinute[] = {10, 2, 3, 4, 50, 6, 7, 8};
    for (int row = 1; row <= 8; ++row)
        EXPECT_FLOAT_EQ(table.GetPenalty(row, 5), 5 * perMinute[row - 1]) << "row " << row;

    // Replace mode: the table is the file's rows; a row the file does not name is blank.
    ASSERT_EQ(table.Load(Path("custom.txt"), false), TPenaltyTable::Loaded);
    ASSERT_EQ(table.GetCount(), 5);
    EXPECT_EQ(table.GetRow(2).period, 1);
    EXPECT_EQ(table.GetRow(2).factor, 1.0f);
    EXPECT_EQ(table.GetPenalty(2, 100), 0.0f);
    EXPECT_FLOAT_EQ(table.GetPenalty(5, 5), 250.0f);
}

} // namespace
