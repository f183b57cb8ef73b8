// EXCEL definitions: a worksheet of an .xlsx workbook read and written as a table.

#include "KLV/Fetch.h"
#include "KLV/XlsxReader.h"
#include "KLV/XlsxWriter.h"
#include "TraceCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class FetchExcelTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        m_trace = std::make_unique<TraceCapture>(3);
        std::ofstream(File("Data.ini"))
            << "[BOOL]\nDEFAULT=S,N\n[TIME]\nDEFAULT=hh:mm\n[DATE]\nDEFAULT=DD/MM/YYYY\n"
               "[DECIMALS]\nDEFAULT=2\n"
               "[SHEET_FORMAT]\nTYPE=EXCEL\nTABLENAME=[Orders$]\nKEY=CODE\n"
               "WHERE=QTY>1\nORDER_BY=QTY <,CODE\n"
               "[SHEET]\nCODE=Code\nNAME=Name\nQTY=Qty\n"
               "[COPY_FORMAT]\nTYPE=EXCEL\nTABLENAME=Orders\nKEY=CODE\n"
               "[COPY]\nCODE=Code\nNAME=Name\nQTY=Qty\n";
    }

    std::string File(const std::string& name) const { return (m_trace->Folder() / name).string(); }

    int Open(CFetch& fetch, const std::string& name, int mode, const std::string& workbook)
    {
        return fetch.Init(name, "", "", mode, workbook, "", "", 1, nullptr, "", File("Data.ini"));
    }

    std::vector<std::string> ReadAll(const std::string& name, const std::string& workbook)
    {
        CFetch fetch;
        EXPECT_TRUE(Open(fetch, name, FETCH_MODE_READ, workbook)) << fetch.m_strLastError;
        std::vector<std::string> rows;
        while (!fetch.IsEOF()) {
            if (fetch.MoveNext())
                rows.push_back(fetch.GetFieldString("CODE") + "|" + fetch.GetFieldString("NAME") +
                               "|" + fetch.GetFieldString("QTY"));
        }
        return rows;
    }

    std::unique_ptr<TraceCapture> m_trace;
};

} // namespace

TEST_F(FetchExcelTest, ReadsAWorkbookAndWritesOneThatReadsBackEqual)
{
    // A workbook as the spreadsheet library writes it, with a second sheet that must not be
    // taken for the orders.
    trv::CXlsxWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(File("in.xlsx"), "Orders", error)) << error;
    for (const std::vector<std::string>& row :
         std::vector<std::vector<std::string>>{{"Code", "Name", "Qty"},
                                               {"A1", "O'Brien & Sons", "3"},
                                               {"A2", "M\xC3\xBCller", "1"},
                                               {"", "", ""},
                                               {"A3", "x'; DROP TABLE t; --", "7"},
                                               {"00A4", "Zero", "3"}})
        ASSERT_TRUE(writer.WriteTexts(row, error)) << error;
    ASSERT_TRUE(writer.Close(error)) << error;

    const std::vector<std::string> read = ReadAll("SHEET", File("in.xlsx"));
    EXPECT_EQ(read, (std::vector<std::string>{"A3|x'; DROP TABLE t; --|7", "00A4|Zero|3",
                                              "A1|O'Brien & Sons|3"}));

    // Written by key: a code written twice is one row, its last values.
    {
        CFetch fetch;
        ASSERT_TRUE(Open(fetch, "COPY", FETCH_MODE_WRITE, File("out.xlsx")))
            << fetch.m_strLastError;
        for (const std::string& row : read) {
            fetch.ClearRecord();
            const std::size_t first = row.find('|');
            const std::size_t second = row.rfind('|');
            fetch.SetFieldString("CODE", row.substr(0, first));
            fetch.SetFieldString("NAME", row.substr(first + 1, second - first - 1));
            fetch.SetFieldString("QTY", row.substr(second + 1));
            ASSERT_TRUE(fetch.WriteRecord()) << fetch.m_strLastError;
        }
        fetch.ClearRecord();
        fetch.SetFieldString("CODE", "");
        fetch.SetFieldString("NAME", "no key");
        EXPECT_FALSE(fetch.WriteRecord());
        EXPECT_TRUE(fetch.Close());
    }
    EXPECT_EQ(ReadAll("COPY", File("out.xlsx")), read);

    // Written again: found by key, updated in place.
    {
        CFetch fetch;
        ASSERT_TRUE(Open(fetch, "COPY", FETCH_MODE_WRITE, File("out.xlsx")));
        fetch.SetFieldString("CODE", "00A4");
        fetch.SetFieldString("QTY", "4");
        ASSERT_TRUE(fetch.WriteRecord());
        EXPECT_TRUE(fetch.Close());
    }
    trv::XlsxTable table;
    ASSERT_TRUE(trv::CXlsxReader::Read(File("out.xlsx"), "Orders", table, error)) << error;
    EXPECT_EQ(table.headers, (std::vector<std::string>{"Code", "Name", "Qty"}));
    ASSERT_EQ(table.rows.size(), 3u);
    EXPECT_EQ(table.rows[1][0].text, "00A4");
    EXPECT_EQ(table.rows[1][1].text, "Zero");
    EXPECT_EQ(table.rows[1][2].kind, trv::XlsxCellKind::Text); // set as a text
    EXPECT_EQ(table.rows[1][2].text, "4");
}

TEST_F(FetchExcelTest, RefusesOldWorkbooksAndSheetsItWouldLose)
{
    // The old binary format, by its name and by its contents.
    std::ofstream(File("old.xls")) << "not read";
    const char magic[] = {'\xD0', '\xCF', '\x11', '\xE0', 0, 0, 0, 0};
    std::ofstream(File("disguised.xlsx"), std::ios::binary).write(magic, sizeof magic);
    // A workbook holding another sheet beside the one written.
    trv::CXlsxWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(File("other.xlsx"), "Prices", error)) << error;
    ASSERT_TRUE(writer.Close(error)) << error;

    struct Case
    {
        const char* file;
        int mode;
        const char* says;
    };
    const Case cases[] = {
        {"old.xls", FETCH_MODE_READ, ".xls"},
        {"old.xls", FETCH_MODE_WRITE, ".xls"},
        {"disguised.xlsx", FETCH_MODE_READ, ".xls"},
        {"other.xlsx", FETCH_MODE_WRITE, "other sheets"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.file);
        CFetch fetch;
        EXPECT_FALSE(Open(fetch, "COPY", test.mode, File(test.file)));
        EXPECT_NE(fetch.m_strLastError.find(test.says), std::string::npos) << fetch.m_strLastError;
    }
    trv::XlsxTable table;
    EXPECT_TRUE(trv::CXlsxReader::Read(File("other.xlsx"), "Prices", table, error)) << error;
}
