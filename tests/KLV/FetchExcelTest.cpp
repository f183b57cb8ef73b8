// EXCEL definitions: a worksheet of an .xlsx workbook read and written as a table.

#include "KLV/Fetch.h"
#include "KLV/XlsxReader.h"
#include "KLV/XlsxWriter.h"
#include "TempFolder.h"
#include "TraceCapture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

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
               "[COPY]\nCODE=Code\nNAME=Name\nQTY=Qty\n"
               "[TYPED_FORMAT]\nTYPE=EXCEL\nTABLENAME=Orders\nKEY=CODE\n"
               "[TYPED]\nCODE=Code\nPRICE=Price\nRATE=Rate\nDUE=Due\nSTART=Start\n"
               "LOADED=Loaded\nPAID=Paid\nQTY=Qty\n"
               "[ORDERS_FORMAT]\nTYPE=EXCEL\nTABLENAME=Orders\nKEY=CODE\n"
               "[ORDERS]\nCODE=Code\nDUE=Due\nSTART=Start\nPAID=Paid\nQTY=Qty\nPRICE=Price\n"
               "NOTE=Note\nTOTAL=Total\n";
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

    // Every filled cell of the workbook as openpyxl reads it: "Sheet!A1|type|value|format",
    // formulas as their text.
    std::vector<std::string> OpenpyxlCells(const std::string& workbook)
    {
        std::ofstream(File("cells.py"))
            << "import sys, openpyxl\n"
               "for ws in openpyxl.load_workbook(sys.argv[1]).worksheets:\n"
               "    for row in ws.iter_rows():\n"
               "        for c in row:\n"
               "            if c.value is not None:\n"
               "                print(f'{ws.title}!{c.coordinate}|{type(c.value).__name__}|'\n"
               "                      f'{c.value}|{c.number_format}')\n";
        const std::string command = "/usr/bin/python3 '" + File("cells.py") + "' '" + workbook +
                                    "' > '" + File("cells.txt") + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::vector<std::string> cells;
        std::ifstream in(File("cells.txt"));
        for (std::string line; std::getline(in, line);)
            cells.push_back(line);
        return cells;
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

// A compound document as a spreadsheet program saves a workbook with a password: a header
// sector, then a directory sector whose entries name the encrypted package.
std::string EncryptedWorkbookBytes()
{
    std::string bytes(1024, '\0');
    bytes.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    const auto entry = [&](std::size_t at, const std::string& name) {
        for (std::size_t index = 0; index < name.size(); ++index)
            bytes[at + index * 2] = name[index];
        bytes[at + 64] = static_cast<char>((name.size() + 1) * 2);
    };
    entry(512, "Root Entry");
    entry(640, "EncryptionInfo");
    entry(768, "EncryptedPackage");
    return bytes;
}

TEST_F(FetchExcelTest, RefusesWhatItCannotReadOrKeep)
{
    // The old binary format, by its name and by its contents; an encrypted workbook.
    std::ofstream(File("old.xls")) << "not read";
    const char magic[] = {'\xD0', '\xCF', '\x11', '\xE0', 0, 0, 0, 0};
    std::ofstream(File("disguised.xlsx"), std::ios::binary).write(magic, sizeof magic);
    std::ofstream(File("locked.xlsx"), std::ios::binary) << EncryptedWorkbookBytes();
    // A workbook without the sheet written.
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
        {"locked.xlsx", FETCH_MODE_READ, "encrypted"},
        {"locked.xlsx", FETCH_MODE_WRITE, "encrypted"},
        {"other.xlsx", FETCH_MODE_WRITE, "no sheet \"Orders\""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.file);
        const std::string bytes = trv::test::ReadFileBytes(File(test.file));
        {
            CFetch fetch;
            EXPECT_FALSE(Open(fetch, "COPY", test.mode, File(test.file)));
            EXPECT_NE(fetch.m_strLastError.find(test.says), std::string::npos)
                << fetch.m_strLastError;
        }
        EXPECT_EQ(trv::test::ReadFileBytes(File(test.file)), bytes);
    }
}

TEST_F(FetchExcelTest, WrittenValuesAreCellsOfTheirTypes)
{
    {
        CFetch fetch;
        ASSERT_TRUE(Open(fetch, "TYPED", FETCH_MODE_WRITE, File("typed.xlsx")))
            << fetch.m_strLastError;
        fetch.SetFieldString("CODE", "0042"); // looks like a number, stays a text
        fetch.SetFieldDouble("PRICE", 12.5);
        fetch.SetFieldFloat("RATE", 0, 2.25f); // written "2,25" with the decimal comma
        fetch.SetFieldDate("DUE", trv::OleDate(2024, 3, 31));
        fetch.SetFieldTime("START", 465);
        fetch.SetFieldDateTime("LOADED", trv::OleDate(2024, 3, 31, 7, 45, 30), 1);
        fetch.SetFieldBool("PAID", true);
        fetch.SetFieldInt("QTY", -3);
        ASSERT_TRUE(fetch.WriteRecord()) << fetch.m_strLastError;
        EXPECT_TRUE(fetch.Close());
    }
    const std::vector<std::string> cells = OpenpyxlCells(File("typed.xlsx"));
    ASSERT_EQ(cells.size(), 16u);
    EXPECT_EQ(std::vector<std::string>(cells.begin() + 8, cells.end()),
              (std::vector<std::string>{
                  "Orders!A2|str|0042|General",
                  "Orders!B2|float|12.5|General",
                  "Orders!C2|float|2.25|General",
                  "Orders!D2|datetime|2024-03-31 00:00:00|mm-dd-yy",
                  "Orders!E2|time|07:45:00|h:mm",
                  "Orders!F2|datetime|2024-03-31 07:45:30|m/d/yy h:mm",
                  "Orders!G2|bool|True|General",
                  "Orders!H2|int|-3|General",
              }));
}

// Each filled cell by its place: "Sheet!A1" -> "type|value|format".
std::map<std::string, std::string> ByPlace(const std::vector<std::string>& cells)
{
    std::map<std::string, std::string> places;
    for (const std::string& cell : cells)
        places[cell.substr(0, cell.find('|'))] = cell.substr(cell.find('|') + 1);
    return places;
}

TEST_F(FetchExcelTest, UpdatingARecordChangesOnlyTheCellsWritten)
{
    const std::string path = File("orders.xlsx");
    std::filesystem::copy_file(TRV_TEST_DATA_DIR "/xlsx/orders-libreoffice.xlsx", path);
    std::map<std::string, std::string> expected = ByPlace(OpenpyxlCells(path));
    ASSERT_EQ(expected["Orders!I3"], "str|=F3*G3|0.00");
    ASSERT_EQ(expected["Fares!B2"], "str|=SUM(Orders!I2:I4)|General");
    {
        CFetch fetch;
        ASSERT_TRUE(Open(fetch, "ORDERS", FETCH_MODE_WRITE, path)) << fetch.m_strLastError;
        fetch.SetFieldString("CODE", "0042");
        fetch.SetFieldInt("QTY", 12);
        fetch.SetFieldBool("PAID", true);
        fetch.SetFieldDate("DUE", trv::OleDate(2025, 1, 15));
        fetch.SetFieldString("NOTE", "late");
        fetch.SetFieldTime("START", 1110);  // the value it holds: the cell stays as it is
        fetch.SetFieldDouble("TOTAL", 2.5); // the formula's result: the formula stays
        ASSERT_TRUE(fetch.WriteRecord()) << fetch.m_strLastError;
        fetch.ClearRecord();
        fetch.SetFieldString("CODE", "C9");
        fetch.SetFieldDate("DUE", trv::OleDate(2025, 2, 1));
        fetch.SetFieldTime("START", 600);
        fetch.SetFieldInt("QTY", 1);
        fetch.SetFieldDouble("PRICE", 4.5);
        ASSERT_TRUE(fetch.WriteRecord()) << fetch.m_strLastError;
        // A value over a formula is refused, the rest of the record too.
        fetch.ClearRecord();
        fetch.SetFieldString("CODE", "A1");
        fetch.SetFieldString("NOTE", "lost");
        fetch.SetFieldDouble("TOTAL", 99);
        EXPECT_FALSE(fetch.WriteRecord());
        EXPECT_NE(fetch.m_strLastError.find("formula"), std::string::npos) << fetch.m_strLastError;
        ASSERT_TRUE(fetch.Close()) << fetch.m_strLastError;
    }
    // The record's cells keep their formats; the new row takes its column's.
    expected["Orders!B3"] = "datetime|2025-01-15 00:00:00|dd/mm/yyyy";
    expected["Orders!E3"] = "bool|True|\"TRUE\";\"TRUE\";\"FALSE\"";
    expected["Orders!F3"] = "int|12|General";
    expected["Orders!H3"] = "str|late|General";
    expected["Orders!A5"] = "str|C9|General";
    expected["Orders!B5"] = "datetime|2025-02-01 00:00:00|dd/mm/yyyy";
    expected["Orders!D5"] = "time|10:00:00|hh:mm";
    expected["Orders!F5"] = "int|1|General";
    expected["Orders!G5"] = "float|4.5|0.00";
    EXPECT_EQ(ByPlace(OpenpyxlCells(path)), expected);

    // Read back through the definition, the row updated is typed as before.
    CFetch fetch;
    ASSERT_TRUE(Open(fetch, "ORDERS", FETCH_MODE_READ, path)) << fetch.m_strLastError;
    std::vector<std::string> rows;
    while (!fetch.IsEOF())
        if (fetch.MoveNext())
            rows.push_back(fetch.GetFieldString("CODE") + "|" +
                           fetch.GetFieldDate("DUE", trv::OleDate()).Format("%Y-%m-%d") + "|" +
                           std::to_string(fetch.GetFieldTime("START")) + "|" +
                           std::to_string(fetch.GetFieldBool("PAID")));
    EXPECT_EQ(rows, (std::vector<std::string>{"A1|2024-03-31|465|1", "0042|2025-01-15|1110|1",
                                              "B7|1899-12-30|5|1", "C9|2025-02-01|600|0"}));
}
