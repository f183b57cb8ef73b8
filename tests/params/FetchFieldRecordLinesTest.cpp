// The line walk of an engine record: a linked definition's rows, the record's own line rows,
// or the record alone.

#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "TempFolder.h"
#include "params/FetchFieldRecord.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

class FetchFieldRecordLinesTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        trv::ClearProfileCache();
        CFetch::ResetDefinitionFiles();
        folder.Write("orders.csv", "O1;x\nO2;y\n");
        folder.Write("lines.csv", "O1;p\nO1;q\nO3;z\n");
        folder.Write("grouped.csv", "A;p1\nA;p2\nB;p3\n");
        folder.Write("Defs.ini", R"([BOOL]
DEFAULT=S,N
[TIME]
DEFAULT=HH:MM
[DATE]
DEFAULT=DD/MM/YYYY
[LINKED_FORMAT]
TYPE=ASCII
FILENAME=orders.csv
SEPARATOR=;
[LINKED]
CODE=1
PRODUCT_CODE=(CODE),(ORDER),LINES,PRODUCT
[PLAIN_FORMAT]
TYPE=ASCII
FILENAME=orders.csv
SEPARATOR=;
[PLAIN]
CODE=1
PRODUCT_CODE=2
[LINES_FORMAT]
TYPE=ASCII
FILENAME=lines.csv
SEPARATOR=;
KEY=ORDER
[LINES]
ORDER=1
PRODUCT=2
[GROUPED_FORMAT]
TYPE=ASCII
FILENAME=grouped.csv
SEPARATOR=;
KEY=CODE
[GROUPED]
CODE=1
PRODUCT_CODE=2
)");
    }
    void TearDown() override
    {
        CFetch::ResetDefinitionFiles();
        trv::ClearProfileCache();
    }

    // Every record's code and the line field of each of its lines.
    std::map<std::string, std::string> Walk(const std::string& definition,
                                            const std::string& lineField)
    {
        CFetchRecordSource source(folder.File("Defs.ini"));
        std::unique_ptr<CFieldRecord> record =
            source.Open(definition, {.mode = TFieldRecordMode::read});
        EXPECT_NE(record, nullptr);
        std::map<std::string, std::string> walked;
        while (record && !record->IsEOF()) {
            if (!record->MoveNext())
                continue;
            std::string& lines = walked[record->GetFieldString("CODE", "", -1, {})];
            CFieldRecord& source = record->ResetLines("PRODUCT_CODE");
            for (int guard = 0; guard < 10 && !record->IsLinesEnd(); ++guard) {
                if (record->MoveNextLine())
                    lines += source.GetFieldString(lineField, "", -1, {}) + " ";
            }
        }
        return walked;
    }

    trv::test::TempFolder folder{"trv_lines"};
};

TEST_F(FetchFieldRecordLinesTest, LinesComeFromTheLinkTheOwnRowsOrTheRecord)
{
    // O2 has no linked rows: no line, not its own record read as one.
    EXPECT_EQ(Walk("LINKED", "PRODUCT"),
              (std::map<std::string, std::string>{{"O1", "p q "}, {"O2", ""}}));
    EXPECT_EQ(Walk("GROUPED", "PRODUCT_CODE"),
              (std::map<std::string, std::string>{{"A", "p1 p2 "}, {"B", "p3 "}}));
    EXPECT_EQ(Walk("PLAIN", "PRODUCT_CODE"),
              (std::map<std::string, std::string>{{"O1", "x "}, {"O2", "y "}}));
}

} // namespace
