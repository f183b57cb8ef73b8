// Linked definitions: values read and written through another definition, the search of its
// records (through the key index or by walking them), and the walk over an entity's linked
// records.

#include "FetchTestProgram.h"
#include "KLV/Fetch.h"
#include "KLV/Translate.h"
#include "TempFolder.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

// The program folder plus a copy of tests/data/fetch/links as "links/".
class FetchLinksTest : public FetchTestProgram
{
  protected:
    void SetUp() override
    {
        FetchTestProgram::SetUp();
        std::filesystem::copy(TRV_TEST_DATA_DIR "/fetch/links", Path("links"),
                              std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(Path("links/out"));
    }

    std::string LinksPath(const std::string& name) const { return Path("links/" + name); }

    int Open(CFetch& fetch, const std::string& name, int mode = FETCH_MODE_READ)
    {
        return fetch.Init(name, "", "", mode, "", "", "", 1, nullptr, "", LinksPath("Links.ini"));
    }

    // Reads the fields of every accepted record, keyed by the record's CODE.
    static std::map<std::string, std::vector<std::string>>
    ReadAll(CFetch& fetch, const std::vector<std::string>& fields)
    {
        std::map<std::string, std::vector<std::string>> records;
        while (!fetch.IsEOF()) {
            if (!fetch.MoveNext())
                continue;
            std::vector<std::string>& values = records[fetch.GetFieldString("CODE")];
            for (const std::string& field : fields)
                values.push_back(fetch.GetFieldString(field));
        }
        return records;
    }

    static CFetch* Child(CFetch& parent, const std::string& name)
    {
        const auto found = parent.m_mapChildIndex.find(name);
        if (found == parent.m_mapChildIndex.end())
            return nullptr;
        return parent.m_arrChildren[static_cast<std::size_t>(found->second)].get();
    }

    static std::string ReadText(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(FetchLinksTest, ValuesComeFromTheMatchingLinkedRecord)
{
    CFetch orders;
    ASSERT_TRUE(Open(orders, "ORDERS"));
    const std::vector<std::string> fields = {"CUSTOMER_NAME", "CUSTOMER_CITY", "CITY_OR_ZONE",
                                             "PICKED",        "FIRST_PRODUCT", "ZONE_NAME",
                                             "ZONE_SPEED"};
    const auto records = ReadAll(orders, fields);

    // O2's customer C9 is in no record; O3's customer has an empty city. ZONES is an INI
    // section whose entries come in another order than the orders'.
    const std::map<std::string, std::vector<std::string>> expected = {
        {"O1", {"Alpha", "Madrid", "Madrid", "Alpha", "p", "North zone", "12"}},
        {"O2", {"", "0", "SOUTH", "", "x", "", ""}},
        {"O3", {"Beta", "0", "EAST", "Beta", "p", "East zone", "7"}},
    };
    EXPECT_EQ(records, expected);
}

TEST_F(FetchLinksTest, DefaultOfAnUnmatchedLinkClearsTheLinkedFlag)
{
    CFetch orders;
    ASSERT_TRUE(Open(orders, "ORDERS"));
    ASSERT_FALSE(orders.IsEOF());
    ASSERT_TRUE(orders.MoveNext()); // O1: its customer is found
    int linked = 0;
    EXPECT_EQ(orders.GetField("CUSTOMER_CITY", linked), "Madrid");
    EXPECT_EQ(linked, 1);
    ASSERT_TRUE(orders.MoveNext()); // O2: no customer C9
    EXPECT_EQ(orders.GetField("CUSTOMER_CITY", linked), "0");
    EXPECT_EQ(linked, 0);
    EXPECT_EQ(orders.GetField("CUSTOMER_NAME", linked), "");
    EXPECT_EQ(linked, 1);
}

TEST_F(FetchLinksTest, ListTailJoinsEveryLinkedValueAndKeepsAnEmptyMiddleItem)
{
    CFetch orders;
    ASSERT_TRUE(Open(orders, "ORDERS"));
    const auto records = ReadAll(orders, {"PRODUCTS", "QUANTITIES"});
    const std::map<std::string, std::vector<std::string>> expected = {
        {"O1", {"p#,#q#,#r", "1#,#2#,#3"}},
        {"O2", {"x", "4"}},
        {"O3", {"p#,##,#r", "5#,#6#,#7"}},
    };
    EXPECT_EQ(records, expected);

    // The same link read as a list by the list getter.
    CFetch again;
    ASSERT_TRUE(Open(again, "ORDERS"));
    ASSERT_FALSE(again.IsEOF());
    ASSERT_TRUE(again.MoveNext());
    FetchTextArray items;
    again.GetFieldList("QUANTITIES", items);
    EXPECT_EQ(Items(items), (std::vector<std::string>{"1", "2", "3"}));
}

TEST_F(FetchLinksTest, KeyLinkedChildIsFoundWithoutScanningOthersAreScannedOncePerRecord)
{
    CFetch orders;
    ASSERT_TRUE(Open(orders, "ORDERS"));
    ASSERT_FALSE(orders.IsEOF());
    ASSERT_TRUE(orders.MoveNext());
    EXPECT_EQ(orders.GetFieldString("PRODUCTS"), "p#,#q#,#r");
    EXPECT_EQ(orders.GetFieldString("FIRST_PRODUCT"), "p");
    EXPECT_EQ(orders.GetFieldString("CUSTOMER_NAME"), "Alpha");
    EXPECT_EQ(orders.GetFieldString("CUSTOMER_CITY"), "Madrid");

    CFetch* lines = Child(orders, "LINES");
    CFetch* customers = Child(orders, "CUSTOMERS");
    ASSERT_NE(lines, nullptr);
    ASSERT_NE(customers, nullptr);
    // Every field linking to one name shares one child.
    EXPECT_EQ(orders.m_arrChildren.size(), 2u);
    EXPECT_EQ(lines->m_nLinkScans, 0);
    // Two fields of one record through the customers: one walk of their records.
    EXPECT_EQ(customers->m_nLinkScans, 1);

    ASSERT_TRUE(orders.MoveNext());
    EXPECT_EQ(orders.GetFieldString("CUSTOMER_NAME"), "");
    EXPECT_EQ(orders.GetFieldString("PRODUCTS"), "x");
    EXPECT_EQ(customers->m_nLinkScans, 2);
    EXPECT_EQ(lines->m_nLinkScans, 0);
}

TEST_F(FetchLinksTest, DifferentNumberOfLinkingFieldsGivesEmptyAndMakesNoChild)
{
    trv::RecordingUserPrompt prompt;
    SetTranslation("DifferentNumberOfLinkingFields", "Links of %s in %s differ");
    CFetch orders;
    ASSERT_TRUE(Open(orders, "ORDERS"));
    ASSERT_FALSE(orders.IsEOF());
    ASSERT_TRUE(orders.MoveNext());

    EXPECT_EQ(orders.GetFieldString("BAD"), "");
    ASSERT_EQ(prompt.calls.size(), 1u);
    EXPECT_EQ(prompt.calls[0].key, "DifferentNumberOfLinkingFields");
    EXPECT_TRUE(Traced("FindLinkedFetch Links of ORDERS"));
    EXPECT_TRUE(orders.m_arrChildren.empty());
    EXPECT_TRUE(orders.m_mapChildIndex.empty());

    // The same child used with good lists, then with the bad ones, then good again.
    EXPECT_EQ(orders.GetFieldString("FIRST_PRODUCT"), "p");
    orders.ClearFieldCache();
    EXPECT_EQ(orders.GetFieldString("BAD"), "");
    orders.ClearFieldCache();
    EXPECT_EQ(orders.GetFieldString("FIRST_PRODUCT"), "p");
    EXPECT_EQ(orders.m_arrChildren.size(), 1u);
}

TEST_F(FetchLinksTest, RequirementLinksAreSearchedAtEveryUse)
{
    CFetch orders;
    ASSERT_TRUE(Open(orders, "ORDERS"));
    ASSERT_FALSE(orders.IsEOF());
    ASSERT_TRUE(orders.MoveNext()); // O1
    EXPECT_EQ(orders.GetRequirements("WEIGHT", 0), 10);
    EXPECT_EQ(orders.GetRequirements("VOLUME", 0), 20);
    EXPECT_EQ(orders.GetRequirements("WEIGHT", 0), 10);
    ASSERT_TRUE(orders.MoveNext()); // O2
    ASSERT_TRUE(orders.MoveNext()); // O3
    EXPECT_EQ(orders.GetRequirements("WEIGHT", 0), 30);
    EXPECT_EQ(orders.GetRequirements("VOLUME", 0), kAnyRequirementValue);
}

TEST_F(FetchLinksTest, SelfLinkReadsTheOtherLinesOfAMultiLineRecord)
{
    CFetch orders;
    ASSERT_TRUE(Open(orders, "ORDERLINES"));
    std::vector<std::string> products;
    std::vector<std::string> groups;
    while (!orders.IsEOF()) {
        if (!orders.MoveNext())
            continue;
        products.push_back(orders.GetFieldString("ALL_PRODUCTS"));
        // The requirement link walks the record's own lines, and again at the next use.
        for (const char* group : {"G1", "G2", "G1"}) {
            orders.ClearFieldCache();
            orders.m_strRequirementName = group;
            groups.push_back(orders.GetFieldString("GROUP_PRODUCTS"));
        }
    }
    EXPECT_EQ(products, (std::vector<std::string>{"p1#,#p2#,#p3", "p4"}));
    EXPECT_EQ(groups, (std::vector<std::string>{"p1#,#p3", "p2", "p1#,#p3", "p4", "", "p4"}));
}

TEST_F(FetchLinksTest, MoveNextLinkedWalksEveryLinkedRecord)
{
    CFetch orders;
    ASSERT_TRUE(Open(orders, "ORDERS"));
    std::vector<std::string> walked;
    while (!orders.IsEOF()) {
        if (!orders.MoveNext())
            continue;
        const int index = orders.FindLinkedFetchForField("PRODUCT_CODE");
        ASSERT_GE(index, 0);
        CFetch& lines = *orders.m_arrChildren[static_cast<std::size_t>(index)];
        std::string record = orders.GetFieldString("CODE") + ":";
        while (!orders.IsLinkedEOF(index)) {
            ASSERT_TRUE(orders.MoveNextLinked(index));
            record += lines.GetFieldString("PRODUCT") + "=" + lines.GetFieldString("QTY") + " ";
        }
        walked.push_back(record);
    }
    EXPECT_EQ(walked, (std::vector<std::string>{"O1:p=1 q=2 r=3 ", "O2:x=4 ", "O3:p=5 =6 r=7 "}));
    EXPECT_EQ(orders.FindLinkedFetchForField("CODE"), -1); // a place, no link

    // -1: the definition's own key group.
    CFetch grouped;
    ASSERT_TRUE(Open(grouped, "ORDERLINES"));
    ASSERT_FALSE(grouped.IsEOF());
    ASSERT_TRUE(grouped.MoveNext());
    grouped.m_nLinkPosition = 0;
    std::string own;
    while (!grouped.IsLinkedEOF(-1)) {
        ASSERT_TRUE(grouped.MoveNextLinked(-1));
        own += grouped.GetFieldString("PRODUCT") + " ";
    }
    EXPECT_EQ(own, "p1 p2 p3 ");
}

TEST_F(FetchLinksTest, LinkFileNamesBesideTheDefinitionFile)
{
    CFetch fetch;
    fetch.m_strFile = "/data/orders.txt";
    fetch.m_mapFormat = {{"A_LINKFILENAME", "CREATE(FILENAME,lnk)"},
                         {"B_LINKFILENAME", "CREATE(base,ext)"},
                         {"C_LINKFILENAME", "/data/c.csv"}};
    EXPECT_EQ(fetch.GetLinkFileName("A"), "/data/orders.lnk");
    EXPECT_EQ(fetch.GetLinkFileName("B"), "base.ext");
    EXPECT_EQ(fetch.GetLinkFileName("C"), "/data/c.csv");
    EXPECT_EQ(fetch.GetLinkFileName("D"), "");
    fetch.m_strFile = "/data.v2/orders";
    EXPECT_EQ(fetch.GetLinkFileName("A"), "/data.v2/orders.lnk");
}

// ---- Writing -----------------------------------------------------------------------------

TEST_F(FetchLinksTest, LinkingValuesAndTheFieldReachTheChildRecord)
{
    CFetch orders;
    ASSERT_TRUE(Open(orders, "ORDERS_OUT", FETCH_MODE_WRITE));
    const std::vector<std::vector<std::string>> records = {{"O1", "C1", "5"}, {"O2", "C2", "7"}};
    for (const auto& record : records) {
        orders.SetFieldString("CODE", record[0]);
        orders.SetFieldString("CUSTOMER", record[1]);
        orders.SetFieldString("QTY", record[2]);
        EXPECT_TRUE(orders.WriteRecord());
        orders.ClearRecord();
    }
    // Through the requirement: one record per requirement value, written at once.
    orders.SetFieldString("CODE", "O3");
    for (const char* requirement : {"WEIGHT", "VOLUME"}) {
        orders.m_strRequirementName = requirement;
        orders.SetFieldString("REQ_OUT", requirement[0] == 'W' ? "30" : "40");
    }
    EXPECT_TRUE(orders.WriteRecord());
    orders.ClearRecord();
    EXPECT_TRUE(orders.Close());

    EXPECT_EQ(ReadText(LinksPath("out/orders.csv")), "O1;C1\nO2;C2\nO3\n");
    // The lines target is named CREATE(FILENAME,lines): beside the orders, extension "lines".
    EXPECT_EQ(ReadText(LinksPath("out/orders.lines")), "O1;5\nO2;7\n");
    EXPECT_EQ(ReadText(LinksPath("out/requirements.csv")), "WEIGHT;O3;30\nVOLUME;O3;40\n");
}

TEST_F(FetchLinksTest, CountMismatchWritesNothingAndAFailedChildIsNeverReused)
{
    trv::RecordingUserPrompt prompt;
    SetTranslation("DifferentNumberOfLinkingFields", "Links of %s in %s differ");
    {
        std::ofstream notes(LinksPath("out/notes.csv"), std::ios::binary);
        notes << "kept\n";
    }
    CFetch orders;
    ASSERT_TRUE(Open(orders, "ORDERS_OUT", FETCH_MODE_WRITE));
    for (const char* code : {"O1", "O2"}) {
        orders.SetFieldString("CODE", code);
        orders.SetFieldString("NOTE", "a note");
        orders.SetFieldString("MISSING", "x");
        EXPECT_TRUE(orders.m_arrChildren.empty());
        EXPECT_TRUE(orders.m_mapChildIndex.empty());
        EXPECT_TRUE(orders.WriteRecord());
        orders.ClearRecord();
    }
    // Then a good link makes its own child, and the bad ones still reach nothing.
    orders.SetFieldString("CODE", "O3");
    orders.SetFieldString("QTY", "9");
    orders.SetFieldString("NOTE", "a note");
    EXPECT_EQ(orders.m_arrChildren.size(), 1u);
    EXPECT_EQ(orders.m_mapChildIndex.count("NOTES_OUT"), 0u);
    EXPECT_TRUE(orders.WriteRecord());
    EXPECT_TRUE(orders.Close());

    ASSERT_EQ(prompt.calls.size(), 3u);
    EXPECT_EQ(prompt.calls[0].key, "DifferentNumberOfLinkingFields");
    EXPECT_TRUE(Traced("SaveLinkedField, Links of ORDERS_OUT"));
    EXPECT_TRUE(Traced("SaveLinkedField, pFetch->Init UNDEFINED_OUT returned FALSE"));
    EXPECT_EQ(ReadText(LinksPath("out/notes.csv")), "kept\n");
    EXPECT_EQ(ReadText(LinksPath("out/orders.csv")), "O1\nO2\nO3\n");
    EXPECT_EQ(ReadText(LinksPath("out/orders.lines")), "O3;9\n");
}

} // namespace

// The linked definition's own masks read its dates and times, also when the value is read
// again in the same record and comes from the record's cache.
TEST(FetchLinkedFormats, ALinkedValueReadTwiceKeepsTheLinkedDefinitionsMasks)
{
    trv::test::TempFolder folder;
    folder.Write("orders.csv", "A1;C2\nA2;C1\n");
    folder.Write("customers.csv", "C1;2023-12-31;1705\nC2;2024-03-05;0830\n");
    const std::string definitions = folder.Write(
        "Data.ini", "[BOOL]\nDEFAULT=S,N\n[TIME]\nDEFAULT=HH:MM\nCUSTOMERS=HHMM\n"
                    "[DATE]\nDEFAULT=DD/MM/YYYY\nCUSTOMERS=YYYY-MM-DD\n"
                    "[ORDERS_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\nFILENAME=orders.csv\n"
                    "[ORDERS]\nCODE=1\nCUST=2\nSINCE=(CUST),(CODE),CUSTOMERS,SINCE\n"
                    "OPENS=(CUST),(CODE),CUSTOMERS,OPENS\n"
                    "[CUSTOMERS_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\nFILENAME=customers.csv\n"
                    "[CUSTOMERS]\nCODE=1\nSINCE=2\nOPENS=3\n");
    CFetch orders;
    ASSERT_TRUE(
        orders.Init("ORDERS", "", "", FETCH_MODE_READ, "", "", "", 1, nullptr, "", definitions));
    std::vector<std::string> read;
    while (!orders.IsEOF()) {
        if (!orders.MoveNext())
            continue;
        for (int pass = 0; pass < 2; ++pass) {
            const int hits = orders.m_nCacheHits;
            const trv::OleDate since = orders.GetFieldDate("SINCE", trv::OleDate());
            const int opens = orders.GetFieldTime("OPENS");
            if (pass == 1)
                EXPECT_EQ(orders.m_nCacheHits - hits, 2); // both from the record's cache
            read.push_back(std::to_string(since.GetYear()) + "-" +
                           std::to_string(since.GetMonth()) + "-" + std::to_string(since.GetDay()) +
                           " " + std::to_string(opens));
        }
    }
    EXPECT_EQ(read, (std::vector<std::string>{"2024-3-5 510", "2024-3-5 510", "2023-12-31 1025",
                                              "2023-12-31 1025"}));
}
