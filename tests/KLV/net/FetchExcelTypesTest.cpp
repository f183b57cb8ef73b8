// Workbooks saved by spreadsheet programs read through the typed getters exactly as a database
// table with the same column types: one table of cases for both sources.

#include "DatabaseTableTest.h"
#include "KLV/Fetch.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// The columns of the Orders sheet of tests/data/xlsx and their database types.
constexpr const char* kColumns =
    "code VARCHAR(20), due DATE, loaded TIMESTAMP, start TIME, paid BOOLEAN, qty INTEGER, "
    "price DOUBLE, note VARCHAR(40), total DOUBLE";
constexpr const char* kRows =
    "('A1', '2024-03-31', '2024-03-31 07:45:30', '07:45:00', 1, 3, 12.5, 'O''Brien & Sons', "
    "37.5), ('0042', '2024-12-01', '2024-12-01 23:59:00', '18:30:00', 0, 10, 0.25, NULL, 2.5), "
    "('B7', NULL, NULL, '00:05:00', 1, -1, 2.25, 'M\xC3\xBCller \xE2\x80\x93 "
    "\xE6\x9D\xB1\xE4\xBA\xAC',"
    " -2.25)";
constexpr const char* kFields = "CODE=Code\nDUE=Due\nLOADED=Loaded\nSTART=Start\nPAID=Paid\n"
                                "QTY=Qty\nPRICE=Price\nNOTE=Note\nTOTAL=Total\n";

std::string DateText(const trv::OleDate& date)
{
    return date.IsValid() ? date.Format("%Y-%m-%d") : "invalid";
}

struct GetterCase
{
    const char* what;
    std::function<std::string(CFetch&)> get;
    // One value per row of the sheet and of the table.
    std::vector<std::string> expected;
};

const std::vector<GetterCase>& Cases()
{
    const trv::OleDate none = trv::OleDate::Invalid();
    static const std::vector<GetterCase> cases = {
        {"CODE string", [](CFetch& f) { return f.GetFieldString("CODE"); }, {"A1", "0042", "B7"}},
        {"DUE date",
         [none](CFetch& f) { return DateText(f.GetFieldDate("DUE", none)); },
         {"2024-03-31", "2024-12-01", "invalid"}},
        {"DUE string",
         [](CFetch& f) { return f.GetFieldString("DUE"); },
         {"31/03/2024 00:00", "01/12/2024 00:00", ""}},
        {"LOADED date",
         [none](CFetch& f) { return DateText(f.GetFieldDate("LOADED", none)); },
         {"2024-03-31", "2024-12-01", "invalid"}},
        {"LOADED time",
         [](CFetch& f) { return std::to_string(f.GetFieldTime("LOADED", -1)); },
         {"465", "1439", "-1"}},
        {"START time",
         [](CFetch& f) { return std::to_string(f.GetFieldTime("START", -1)); },
         {"465", "1110", "5"}},
        {"START string",
         [](CFetch& f) { return f.GetFieldString("START"); },
         {"30/12/1899 07:45", "30/12/1899 18:30", "30/12/1899 00:05"}},
        {"PAID bool",
         [](CFetch& f) { return std::to_string(f.GetFieldBool("PAID", -1)); },
         {"1", "0", "1"}},
        {"QTY int",
         [](CFetch& f) { return std::to_string(f.GetFieldInt("QTY", 99)); },
         {"3", "10", "-1"}},
        {"QTY string", [](CFetch& f) { return f.GetFieldString("QTY"); }, {"3", "10", "-1"}},
        {"PRICE double",
         [](CFetch& f) { return trv::FormatC("%g", f.GetFieldDouble("PRICE")); },
         {"12.5", "0.25", "2.25"}},
        {"PRICE float",
         [](CFetch& f) {
             return trv::FormatC("%g", static_cast<double>(f.GetFieldFloat("PRICE")));
         },
         {"12.5", "0.25", "2.25"}},
        {"TOTAL double",
         [](CFetch& f) { return trv::FormatC("%g", f.GetFieldDouble("TOTAL")); },
         {"37.5", "2.5", "-2.25"}},
        {"NOTE string",
         [](CFetch& f) { return f.GetFieldString("NOTE", "-"); },
         {"O'Brien & Sons", "-", "M\xC3\xBCller \xE2\x80\x93 \xE6\x9D\xB1\xE4\xBA\xAC"}},
    };
    return cases;
}

class FetchExcelTypesTest : public DatabaseTableTest
{
  protected:
    void SetUp() override
    {
        CreateTable("x_", kColumns);
        Run(std::string("INSERT INTO ") + m_table + " VALUES " + kRows);
    }

    // The definitions of the three sources: the table, and the sheet as LibreOffice and as
    // openpyxl saved it, with the BOOL format given.
    std::string Definitions(const std::string& boolFormat, const std::string& settings = "")
    {
        const std::string path = m_folder.File("Data.ini");
        std::ofstream file(path);
        file << "[BOOL]\nDEFAULT=" << boolFormat
             << "\n[TIME]\nDEFAULT=hh:mm\n[DATE]\nDEFAULT=DD/MM/YYYY\n[DECIMALS]\nDEFAULT=2\n"
             << "[TABLE_FORMAT]\nTYPE=DATABASE\nFILENAME=" << m_connection
             << "\nTABLENAME=" << m_table << "\nKEY=CODE\n"
             << settings << "[TABLE]\n"
             << kFields;
        for (const char* source : {"LIBREOFFICE", "OPENPYXL"})
            file << "[" << source << "_FORMAT]\nTYPE=EXCEL\nTABLENAME=Orders\nKEY=CODE\n"
                 << settings << "[" << source << "]\n"
                 << kFields;
        return path;
    }

    static std::string Workbook(const std::string& source)
    {
        return source == "LIBREOFFICE" ? TRV_TEST_DATA_DIR "/xlsx/orders-libreoffice.xlsx"
               : source == "OPENPYXL"  ? TRV_TEST_DATA_DIR "/xlsx/orders-openpyxl.xlsx"
                                       : "";
    }
};

} // namespace

TEST_P(FetchExcelTypesTest, TypedGettersGiveWhatTheDatabaseGives)
{
    for (const char* boolFormat : {"S,N", "YES,NO", "Y,N", "T,F"}) {
        const std::string file = Definitions(boolFormat);
        for (const std::string source : {"TABLE", "LIBREOFFICE", "OPENPYXL"}) {
            SCOPED_TRACE(source + " " + boolFormat);
            CFetch fetch;
            ASSERT_TRUE(fetch.Init(source, "", "", FETCH_MODE_READ, Workbook(source), "", "", 1,
                                   nullptr, "", file))
                << fetch.m_strLastError;
            std::size_t row = 0;
            while (!fetch.IsEOF()) {
                if (!fetch.MoveNext())
                    continue;
                ASSERT_LT(row, 3u);
                for (const GetterCase& test : Cases())
                    EXPECT_EQ(test.get(fetch), test.expected[row]) << test.what << ", row " << row;
                ++row;
            }
            EXPECT_EQ(row, 3u);
        }
    }
}

TEST_P(FetchExcelTypesTest, FiltersAndSortKeysOrderAlike)
{
    const std::string file = Definitions("S,N", "WHERE=QTY>0 AND PAID=\"S\" OR PRICE<1\n"
                                                "ORDER_BY=LOADED <,CODE\n");
    for (const std::string source : {"TABLE", "LIBREOFFICE", "OPENPYXL"}) {
        SCOPED_TRACE(source);
        CFetch fetch;
        ASSERT_TRUE(fetch.Init(source, "", "", FETCH_MODE_READ, Workbook(source), "", "", 1,
                               nullptr, "", file))
            << fetch.m_strLastError;
        std::vector<std::string> codes;
        while (!fetch.IsEOF())
            if (fetch.MoveNext())
                codes.push_back(fetch.GetFieldString("CODE"));
        EXPECT_EQ(codes, (std::vector<std::string>{"0042", "A1"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, FetchExcelTypesTest, ::testing::Values(Backend::SQLite),
                         BackendName);
