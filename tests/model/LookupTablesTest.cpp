#include "model/LookupTables.h"

#include "containers/IntTree.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

class ProvinceTables : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        BuildProvinceNeighbours();
        BuildPortugalProvinces();
    }

    static bool Admits(int cardProvince, int province)
    {
        return trv::ProvinceNeighbours().GetBit(province, cardProvince) != 0;
    }
};

TEST_F(ProvinceTables, NoProvinceAndOwnProvinceAlwaysAdmitted)
{
    ASSERT_EQ(trv::ProvinceNeighbours().GetColumns(), 51);
    ASSERT_EQ(trv::ProvinceNeighbours().GetRows(), 51);
    for (int i = 0; i < 51; ++i) {
        EXPECT_TRUE(Admits(0, i)) << i;
        EXPECT_TRUE(Admits(i, 0)) << i;
        EXPECT_TRUE(Admits(i, i)) << i;
    }
    // Islands admit only themselves and no province.
    for (int island : {7, 35, 38})
        for (int other = 1; other < 51; ++other)
            EXPECT_EQ(Admits(island, other), other == island) << island << " " << other;
}

TEST_F(ProvinceTables, SymmetricExceptFourPairs)
{
    const std::set<std::pair<int, int>> oneWay = {{1, 2}, {2, 18}, {17, 13}, {49, 37}};
    for (const auto& [card, province] : oneWay) {
        EXPECT_TRUE(Admits(card, province)) << card << " " << province;
        EXPECT_FALSE(Admits(province, card)) << province << " " << card;
    }
    int asymmetric = 0;
    for (int row = 0; row < 51; ++row)
        for (int column = 0; column < 51; ++column)
            if (Admits(row, column) && !Admits(column, row))
                ++asymmetric;
    EXPECT_EQ(asymmetric, 4);
    EXPECT_TRUE(Admits(28, 45));
    EXPECT_FALSE(Admits(28, 8));
}

TEST_F(ProvinceTables, PortugalRow)
{
    const CBoolTable& portugal = trv::PortugalProvinces();
    ASSERT_EQ(portugal.GetRows(), 1);
    EXPECT_NE(portugal.GetBit(36, 0), 0);
    EXPECT_EQ(portugal.GetBit(28, 0), 0);
    int admitted = 0;
    for (int column = 0; column < 51; ++column)
        admitted += portugal.GetBit(column, 0) != 0;
    EXPECT_EQ(admitted, 17);
}

TEST(CountryTable, CodesAndNamesByNumber)
{
    BuildCountryTable();
    struct Case
    {
        int number;
        const char* code;
        const char* name;
    };
    const Case cases[] = {
        {34, "E", "España"},
        {0, "", ""},
        {972, "", ""},
        {81, "SRB", "Serbia"},
        {83, "JOR", "Jordan"},
        {95, "AM", "Armenia"},
        {51, "P", "Portugal"},
        {156, "WY", "US Wyoming"},
        {214, "NU", "CDN Nunavut"},
        {748, "ACT", "AUS Australian Capital Territory"},
        {971, "United Arab Emirates", "United Arab Emirates"},
        {999, "", ""},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(trv::GetCountryEntry(test.number).code, test.code) << test.number;
        EXPECT_EQ(trv::GetCountryEntry(test.number).name, test.name) << test.number;
    }
    EXPECT_EQ(trv::GetCountryEntry(1000).code, "");
    EXPECT_EQ(trv::GetCountryEntry(-1).name, "");

    int filled = 0;
    for (const TCountryEntry& entry : trv::CountryTable()) {
        EXPECT_EQ(entry.code.empty(), entry.name.empty());
        filled += !entry.code.empty();
    }
    BuildCountryTable();
    int refilled = 0;
    for (const TCountryEntry& entry : trv::CountryTable())
        refilled += !entry.code.empty();
    EXPECT_EQ(refilled, filled);
}

std::vector<int> HiddenControls(int templateNumber)
{
    std::vector<int> controls;
    const CSimpleList<int>* list = FindInIntTree(templateNumber);
    for (auto* node = list ? list->GetFirst() : nullptr; node; node = node->GetNext())
        controls.push_back(node->GetValue());
    return controls;
}

TEST(HiddenControls, WholeTemplateAndSingleControls)
{
    // Template numbers of this test only: the tree is program-wide.
    AddHiddenControl(91001, 5);
    AddHiddenControl(91001, 7);
    HideDialogTemplate(91001);
    EXPECT_EQ(HiddenControls(91001), (std::vector<int>{5, 7}));

    HideDialogTemplate(91002);
    ASSERT_NE(FindInIntTree(91002), nullptr);
    EXPECT_TRUE(HiddenControls(91002).empty());
    AddHiddenControl(91002, 3);
    EXPECT_EQ(HiddenControls(91002), (std::vector<int>{3}));

    EXPECT_EQ(FindInIntTree(91003), nullptr);
}

} // namespace
