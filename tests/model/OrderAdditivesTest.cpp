// An order's additives: read from the import's companion table by order, product and partition
// (falling back to the line's group), and written back one record per additive.

#include "CleanModelTest.h"
#include "KLV/FetchFilter.h"
#include "MemoryFieldRecord.h"
#include "model/ModelContext.h"
#include "model/Orders.h"
#include "params/Parameters.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

// Tables whose records are chosen by conditions NAME=value joined by " AND ", values quoted as
// the engine's filters quote them; remembers each open.
class CFilteringSource : public CFieldRecordSource
{
  public:
    std::map<std::string, std::vector<CMemoryFieldRecord::Row>> tables;
    std::vector<TFieldRecordOpen> opens;

    std::unique_ptr<CFieldRecord> Open(const std::string& definition,
                                       const TFieldRecordOpen& how) override
    {
        opens.push_back(how);
        const auto table = tables.find(definition);
        if (table == tables.end())
            return nullptr;
        auto& chosen = m_selections.emplace_back();
        for (const auto& row : table->second)
            if (Matches(row, how.filter))
                chosen.push_back(row);
        return std::make_unique<CMemoryFieldRecord>(&chosen);
    }

  private:
    static bool Matches(const CMemoryFieldRecord::Row& row, const std::string& filter)
    {
        size_t start = 0;
        while (start < filter.size()) {
            size_t end = filter.find(" AND ", start);
            // A quoted value may hold " AND ": skip past the closing quote first.
            const size_t equals = filter.find('=', start);
            if (filter[equals + 1] == '"') {
                size_t quote = equals + 2;
                while ((quote = filter.find('"', quote)) != std::string::npos &&
                       filter.compare(quote, 2, "\"\"") == 0)
                    quote += 2;
                end = filter.find(" AND ", quote);
            }
            if (end == std::string::npos)
                end = filter.size();
            const std::string name = filter.substr(start, equals - start);
            const std::string value =
                UnquoteFilterValue(filter.substr(equals + 1, end - equals - 1));
            const auto field = row.find(name);
            if (field == row.end() || field->second != value)
                return false;
            start = end + 5;
        }
        return true;
    }

    std::deque<std::vector<CMemoryFieldRecord::Row>> m_selections;
};

CMemoryFieldRecord::Row Additive(const char* order, const char* group, const char* product,
                                 const char* condition, const char* result)
{
    return {{"ORDER_CODE", order},        {"GROUP_ID", group},
            {"PRODUCT", product},         {"PARTITION", "1"},
            {"PRODUCT_PARTITION", "0"},   {"INCOMPATIBLE_IF", condition},
            {"INCOMPATIBLE_THEN", result}};
}

std::vector<int> Values(const CSmartIntArray& array)
{
    return {array.begin(), array.end()};
}

class OrderAdditivesTest : public CleanModelTest
{
  protected:
    void SetUp() override
    {
        CleanModelTest::SetUp();
        UserParameters().Tanks = 1;
        order.Text(ORDER_CODE) = "A7";
        auto* line = new COrderLine;
        line->productName = "O'NEIL \"98\"";
        line->lastTripGroup = "GASOLINES";
        order.lines.Add(line);
    }

    COrder order;
    CFilteringSource source;
};

TEST_F(OrderAdditivesTest, AdditivesOfTheLineComeFromTheCompanionFile)
{
    source.tables["INT_ADDITIVES"] = {Additive("A7", "0", "O'NEIL \"98\"", "3", "4"),
                                      Additive("A7", "0", "", "5", "6"),
                                      Additive("B1", "0", "O'NEIL \"98\"", "7", "8")};
    order.LoadAdditives(source, 1, "/plans/day.1.ord");
    ASSERT_FALSE(source.opens.empty());
    EXPECT_EQ(source.opens[0].file, "/plans/day.1.add");
    const COrderLine& line = *order.lines[0];
    ASSERT_EQ(line.additiveConditions.GetSize(), 2);
    EXPECT_EQ(line.additiveConditions[1], 5);
    EXPECT_EQ(line.additiveResults[1], 6);
    EXPECT_EQ(order.lines.header.hasAdditives, 1);

    // Written back, the records read in again give the same additives.
    CMemoryFieldRecord written;
    order.ExportAdditives(written);
    ASSERT_EQ(written.Rows().size(), 2u);
    CFilteringSource again;
    again.tables["INT_ADDITIVES"] = written.Rows();
    COrder copy;
    copy = order;
    copy.lines[0]->additiveConditions.SetSize(0);
    copy.lines[0]->additiveResults.SetSize(0);
    copy.LoadAdditives(again, 1, "day.ord");
    EXPECT_EQ(Values(copy.lines[0]->additiveConditions), Values(line.additiveConditions));
    EXPECT_EQ(Values(copy.lines[0]->additiveResults), Values(line.additiveResults));
}

TEST_F(OrderAdditivesTest, GroupOfTheLineIsTheFallback)
{
    source.tables["EXT_ADDITIVES"] = {Additive("", "GASOLINES", "", "9", "1")};
    order.LoadAdditives(source, 2, "");
    ASSERT_EQ(order.lines[0]->additiveConditions.GetSize(), 1);
    EXPECT_EQ(order.lines[0]->additiveConditions[0], 9);
    EXPECT_EQ(source.opens[1].filter, "GROUP_ID=\"GASOLINES\"");
}

TEST_F(OrderAdditivesTest, NothingIsReadWithoutAnOrdFileOrTanks)
{
    source.tables["INT_ADDITIVES"] = {Additive("A7", "0", "O'NEIL \"98\"", "3", "4")};
    order.lines[0]->additiveConditions.Add(1);
    for (const char* file : {"day.ordx", "day.txt", "ord"})
        order.LoadAdditives(source, 1, file);
    UserParameters().Tanks = 0;
    order.LoadAdditives(source, 1, "day.ord");
    EXPECT_TRUE(source.opens.empty());
    EXPECT_EQ(order.lines[0]->additiveConditions.GetSize(), 1);

    // A file without matching records empties the line's additives.
    UserParameters().Tanks = 1;
    source.tables["INT_ADDITIVES"].clear();
    order.LoadAdditives(source, 1, "day.ORD");
    EXPECT_EQ(order.lines[0]->additiveConditions.GetSize(), 0);
}

} // namespace
