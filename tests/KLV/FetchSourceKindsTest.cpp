// One reading, every source kind: fields listed in another order than the source's columns, a
// field linked to another definition and a date and a time read through their masks must give
// the same values whatever the records come from.

#include "KLV/Fetch.h"
#include "KLV/XlsxWriter.h"
#include "TempFolder.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Records = std::vector<std::string>;

// The same two orders in every kind: code, customer, due date, time, quantity.
const Records kExpected = {"A1|5|2024-03-05|510|Beta|7.25", "A2|12|2023-12-31|1025|Alpha|0.5"};

// Formats shared by every definition; the linked CUSTOMERS definition is a separated file.
constexpr const char* kCommon = "[BOOL]\nDEFAULT=S,N\n[TIME]\nDEFAULT=HH:MM\n"
                                "[DATE]\nDEFAULT=YYYY-MM-DD\n[DEFAULT]\nDECIMAL_SEP=.\n"
                                "[CUSTOMERS_FORMAT]\nTYPE=ASCII\nFILENAME=customers.csv\n"
                                "SEPARATOR=;\n[CUSTOMERS]\nCODE=1\nNAME=2\n";

struct SourceKindCase
{
    const char* kind;
    const char* file;     // the source written beside the definitions ("" when made otherwise)
    const char* contents; // its bytes
    const char* format;   // the ORDERS_FORMAT section's settings (FILENAME added)
    const char* fields;   // the ORDERS section: fields out of the source's column order
};

const SourceKindCase kCases[] = {
    {"text", "orders.csv",
     "CODE;CUST;DUE;AT;QTY;WEIGHT\nA1;C2;2024-03-05;08:30;5;7.25\nA2;C1;2023-12-31;17:05;12;0.5\n",
     "TYPE=ASCII\nSEPARATOR=;\nHEADERSIZE=1\n",
     "QTY=5\nDUE=3\nNAME=(CUST),(CODE),CUSTOMERS,NAME\nWEIGHT=6\nAT=4\nCUST=2\nCODE=1\n"},
    {"fixed width", "orders.txt",
     "A1  C2  2024-03-0508:30   57.25\nA2  C1  2023-12-3117:05  120.5 \n",
     "TYPE=ASCII\nSEPARATOR=FIXED_SEPARATOR\n",
     "QTY=24,4\nDUE=9,10\nNAME=(CUST),(CODE),CUSTOMERS,NAME\nWEIGHT=28,4\nAT=19,5\n"
     "CUST=5,4\nCODE=1,4\n"},
    {"JSON", "orders.json",
     R"([{"code":"A1","cust":"C2","due":"2024-03-05","at":"08:30","qty":5,"weight":7.25},)"
     R"({"code":"A2","cust":"C1","due":"2023-12-31","at":"17:05","qty":12,"weight":0.5}])",
     "TYPE=JSON\n",
     "QTY=qty\nDUE=due\nNAME=(CUST),(CODE),CUSTOMERS,NAME\nWEIGHT=weight\nAT=at\nCUST=cust\n"
     "CODE=code\n"},
    {"XML", "orders.xml",
     "<Orders><Order><Code>A1</Code><Cust>C2</Cust><Due>2024-03-05</Due><At>08:30</At>"
     "<Qty>5</Qty><Weight>7.25</Weight></Order><Order><Code>A2</Code><Cust>C1</Cust>"
     "<Due>2023-12-31</Due><At>17:05</At><Qty>12</Qty><Weight>0.5</Weight></Order></Orders>",
     "TYPE=XML\n",
     "QTY=Orders.Order.Qty\nDUE=Orders.Order.Due\nNAME=(CUST),(CODE),CUSTOMERS,NAME\n"
     "WEIGHT=Orders.Order.Weight\nAT=Orders.Order.At\nCUST=Orders.Order.Cust\n"
     "CODE=Orders.Order.Code\n"},
    {"INI", "orders.ini",
     "[ORDERS]\nA1=C2,2024-03-05,08:30,5,7.25\nA2=C1,2023-12-31,17:05,12,0.5\n",
     "TYPE=INI\nTABLENAME=ORDERS\nSEPARATOR=,\n",
     "QTY=4\nDUE=2\nNAME=(CUST),(CODE),CUSTOMERS,NAME\nWEIGHT=5\nAT=3\nCUST=1\nCODE=0\n"},
    {"database", "", "", "TYPE=DATABASE\nTABLENAME=orders\nKEY=CODE\nORDER_BY=CODE\n",
     "QTY=qty\nDUE=due\nNAME=(CUST),(CODE),CUSTOMERS,NAME\nWEIGHT=weight\nAT=at\nCUST=cust\n"
     "CODE=code\n"},
    {"workbook", "", "", "TYPE=EXCEL\nTABLENAME=Orders\n",
     "QTY=Qty\nDUE=Due\nNAME=(CUST),(CODE),CUSTOMERS,NAME\nWEIGHT=Weight\nAT=At\nCUST=Cust\n"
     "CODE=Code\n"},
};

// The orders of a case as the reading loop sees them, fields read by their typed getters.
Records ReadOrders(CFetch& fetch)
{
    Records records;
    while (!fetch.IsEOF()) {
        if (!fetch.MoveNext())
            continue;
        const trv::OleDate due = fetch.GetFieldDate("DUE", trv::OleDate());
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", due.GetYear(), due.GetMonth(),
                      due.GetDay());
        char weight[16];
        std::snprintf(weight, sizeof weight, "%g", fetch.GetFieldDouble("WEIGHT"));
        records.push_back(fetch.GetFieldString("CODE") + "|" +
                          std::to_string(fetch.GetFieldInt("QTY")) + "|" + date + "|" +
                          std::to_string(fetch.GetFieldTime("AT")) + "|" +
                          fetch.GetFieldString("NAME") + "|" + weight);
    }
    return records;
}

// Writes the source a case reads; false (with the reason) when this machine cannot make it.
bool MakeSource(const SourceKindCase& c, const trv::test::TempFolder& folder, std::string& name,
                std::string& why)
{
    if (*c.file) {
        name = folder.Write(c.file, c.contents);
        return true;
    }
    if (std::string(c.kind) == "workbook") {
        name = folder.File("orders.xlsx");
        trv::CXlsxWriter writer;
        bool ok = writer.Open(name, "Orders", why);
        for (const std::vector<std::string>& row : std::vector<std::vector<std::string>>{
                 {"Code", "Cust", "Due", "At", "Qty", "Weight"},
                 {"A1", "C2", "2024-03-05", "08:30", "5", "7.25"},
                 {"A2", "C1", "2023-12-31", "17:05", "12", "0.5"}})
            ok = ok && writer.WriteTexts(row, why);
        return ok && writer.Close(why);
    }
    const std::string database = folder.File("orders.db");
    const std::string command =
        "sqlite3 '" + database +
        "' \"CREATE TABLE orders (weight DOUBLE, qty INTEGER, at VARCHAR(5), due VARCHAR(10), "
        "cust VARCHAR(4), code VARCHAR(4)); INSERT INTO orders VALUES "
        "(0.5, 12, '17:05', '2023-12-31', 'C1', 'A2'), (7.25, 5, '08:30', '2024-03-05', 'C2', "
        "'A1');\"";
    if (std::system(command.c_str()) != 0) {
        why = "no sqlite3 shell";
        return false;
    }
    name = "Driver=SQLite3;Database=" + database;
    return true;
}

TEST(FetchSourceKinds, FieldsOutOfColumnOrderLinksAndMasksReadTheSameFromEveryKind)
{
    for (const SourceKindCase& c : kCases) {
        SCOPED_TRACE(c.kind);
        trv::test::TempFolder folder;
        folder.Write("customers.csv", "C1;Alpha\nC2;Beta\n");
        std::string source;
        std::string why;
        if (!MakeSource(c, folder, source, why)) {
            ADD_FAILURE() << why;
            continue;
        }
        const std::string definitions =
            folder.Write("Data.ini", std::string(kCommon) + "[ORDERS_FORMAT]\n" + c.format +
                                         "FILENAME=" + source + "\n[ORDERS]\n" + c.fields);
        trv::ClearProfileCache();
        CFetch fetch;
        const int opened =
            fetch.Init("ORDERS", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", definitions);
        if (!opened && std::string(c.kind) == "database") {
            // The SQLite ODBC driver is not registered on every machine.
            std::printf("skipped the database case: %s\n", fetch.m_strLastError.c_str());
            continue;
        }
        ASSERT_TRUE(opened) << fetch.m_strLastError;
        EXPECT_EQ(ReadOrders(fetch), kExpected);
    }
}

} // namespace
