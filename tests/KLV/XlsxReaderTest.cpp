#include "KLV/XlsxReader.h"

#include "KLV/XlsxWriter.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <xlsxwriter.h>

namespace {

using trv::CXlsxReader;
using trv::XlsxCellKind;
using trv::XlsxTable;

class XlsxTest : public ::testing::Test
{
  protected:
    std::string File(const std::string& name) const { return m_folder.File(name); }

    trv::test::TempFolder m_folder{"trv_xlsx"};
};

trv::XlsxCell Cell(XlsxCellKind kind, double number, const std::string& text = "")
{
    trv::XlsxCell cell;
    cell.kind = kind;
    cell.number = number;
    cell.text = text;
    return cell;
}

trv::XlsxCell Text(const std::string& text)
{
    return Cell(XlsxCellKind::Text, 0, text);
}

TEST_F(XlsxTest, WrittenTableReadsBackEqual)
{
    const std::vector<std::string> headers = {"CODE", "NAME", "QTY", "DUE", "AT", "LOADED", "PAID"};
    const std::vector<std::vector<trv::XlsxCell>> rows = {
        {Text("00123"), Text("O'Brien & Sons <Ltd>"), Cell(XlsxCellKind::Number, 3),
         Cell(XlsxCellKind::Date, 45382), Cell(XlsxCellKind::Time, 465 / 1440.0),
         Cell(XlsxCellKind::DateTime, 45382 + 27930 / 86400.0), Cell(XlsxCellKind::Boolean, 1)},
        {Text("A7"),
         Text("M\xC3\xBCller"),
         Cell(XlsxCellKind::Number, -0.25),
         {},
         {},
         {},
         Cell(XlsxCellKind::Boolean, 0)},
        {{}, {}, {}, {}, {}, {}, Text("  padded  ")},
        {Text("1e5"), Text("12.50"), Text("+3"), Text("x\"y"), Text("tab\there"), {}, {}},
    };
    trv::CXlsxWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(File("out.xlsx"), "Orders", error)) << error;
    ASSERT_TRUE(writer.WriteTexts(headers, error)) << error;
    for (const auto& row : rows)
        ASSERT_TRUE(writer.WriteRow(row, error)) << error;
    ASSERT_TRUE(writer.Close(error)) << error;

    XlsxTable table;
    ASSERT_TRUE(CXlsxReader::Read(File("out.xlsx"), "", table, error)) << error;
    EXPECT_EQ(table.headers, headers);
    EXPECT_EQ(table.rows, rows);
    EXPECT_EQ(table.rowNumbers, (std::vector<unsigned>{2, 3, 4, 5}));
    EXPECT_EQ(table.ColumnIndex("qty"), 2);
    EXPECT_EQ(table.ColumnIndex("missing"), -1);
}

// A workbook of two sheets, the second written with inline strings, a date, a Boolean and
// cells left out in the middle of a row.
TEST_F(XlsxTest, NamedSheetInlineStringsAndDates)
{
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE; // inline strings instead of the shared table
    lxw_workbook* workbook = workbook_new_opt(File("two.xlsx").c_str(), &options);
    lxw_worksheet* first = workbook_add_worksheet(workbook, "First");
    worksheet_write_string(first, 0, 0, "ONLY", nullptr);
    lxw_worksheet* second = workbook_add_worksheet(workbook, "Lines Of Orders");
    lxw_format* dateFormat = workbook_add_format(workbook);
    format_set_num_format(dateFormat, "dd/mm/yyyy");
    worksheet_write_string(second, 0, 0, "ID", nullptr);
    worksheet_write_string(second, 0, 1, "DUE", nullptr);
    worksheet_write_string(second, 0, 2, "PAID", nullptr);
    worksheet_write_string(second, 0, 3, "TEXT", nullptr);
    worksheet_write_number(second, 1, 0, 1, nullptr);
    lxw_datetime due = {2024, 3, 31, 0, 0, 0};
    worksheet_write_datetime(second, 1, 1, &due, dateFormat);
    worksheet_write_boolean(second, 1, 2, 1, nullptr);
    worksheet_write_string(second, 1, 3, "inline", nullptr);
    worksheet_write_number(second, 2, 0, 2, nullptr);
    worksheet_write_string(second, 2, 3, "gap", nullptr);
    ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);

    std::string error;
    XlsxTable table;
    for (const char* name : {"Lines Of Orders", "[lines of orders$]"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(CXlsxReader::Read(File("two.xlsx"), name, table, error)) << error;
        EXPECT_EQ(table.headers, (std::vector<std::string>{"ID", "DUE", "PAID", "TEXT"}));
        ASSERT_EQ(table.rows.size(), 2u);
        EXPECT_EQ(table.rows[0], (std::vector<trv::XlsxCell>{
                                     Cell(XlsxCellKind::Number, 1), Cell(XlsxCellKind::Date, 45382),
                                     Cell(XlsxCellKind::Boolean, 1), Text("inline")}));
        EXPECT_EQ(table.rows[1],
                  (std::vector<trv::XlsxCell>{Cell(XlsxCellKind::Number, 2), {}, {}, Text("gap")}));
    }
    ASSERT_TRUE(CXlsxReader::Read(File("two.xlsx"), "", table, error)) << error;
    EXPECT_EQ(table.headers, std::vector<std::string>{"ONLY"});
    EXPECT_TRUE(table.rows.empty());
}

TEST_F(XlsxTest, WhatIsNoWorkbookIsRefusedClearly)
{
    // An .xls workbook starts with the compound-document signature.
    std::ofstream(File("old.xls"), std::ios::binary)
        << std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) << std::string(512, '\0');
    std::ofstream(File("text.xlsx")) << "CODE;NAME\n1;A\n";
    trv::CXlsxWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(File("one.xlsx"), "", error));
    ASSERT_TRUE(writer.WriteTexts({"A"}, error));
    ASSERT_TRUE(writer.Close(error));

    const struct
    {
        std::string file;
        std::string sheet;
        std::string says;
    } cases[] = {
        {"old.xls", "", ".xls workbook (the old binary format)"},
        {"text.xlsx", "", "not an .xlsx workbook"},
        {"missing.xlsx", "", "not an .xlsx workbook"},
        {"one.xlsx", "Orders", "no sheet \"Orders\""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.file);
        XlsxTable table;
        EXPECT_FALSE(CXlsxReader::Read(File(test.file), test.sheet, table, error));
        EXPECT_NE(error.find(test.says), std::string::npos) << error;
        EXPECT_TRUE(table.headers.empty());
    }
}

} // namespace
