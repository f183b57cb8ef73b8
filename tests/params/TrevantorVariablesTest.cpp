// The catalogue's building, widths, formats and planning date, and the kinds Tank set and
// Resource permissions.

#include "params/TrevantorVariables.h"

#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "MemoryFieldRecord.h"
#include "ParamsTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A folder that is the program folder, with its parameters file, the definitions file and the
// company ACME's override file.
class CatalogueTest : public ParamsFolderTest
{
  protected:
    void SetUp() override
    {
        ParamsFolderTest::SetUp();
        home.Set("TREVANTOR_HOME", folder.Path().string());
        trv::SetCompanyAlias("ACME");
        CFetch::ResetDefinitionFiles();
        ResetTrevantorVariables();
    }
    void TearDown() override
    {
        ResetTrevantorVariables();
        CFetch::ResetDefinitionFiles();
        trv::ResetAppGlobals();
        ParamsFolderTest::TearDown();
    }

    trv::test::EnvironmentOverride home;
};

TEST_F(CatalogueTest, WidthsComeFromTheKeyThenTheDefaultThen500)
{
    std::filesystem::create_directories(folder.Path() / "ACME" / "Configuration");
    WriteFile("Data.ini", "[MAXIMUM_CHARACTERS]\nORDER_CODE=20\nNAME=30\nMAXCHARS_DEFAULT=50\n");
    WriteFile("ACME/Configuration/CustomData.ini", "[MAXIMUM_CHARACTERS]\nNAME=40\n");
    CTrevantorVariables& catalogue = TrevantorVariables();
    catalogue.Init();
    EXPECT_EQ(catalogue.GetMaxChars("ORDER_CODE"), 20);
    EXPECT_EQ(catalogue.GetMaxChars("NAME"), 40); // the company's entry wins
    EXPECT_EQ(catalogue.GetMaxChars("OTHER"), 50);

    WriteFile("Data.ini", "[MAXIMUM_CHARACTERS]\nORDER_CODE=20\n");
    CFetch::ResetDefinitionFiles();
    ResetTrevantorVariables();
    TrevantorVariables().Init();
    EXPECT_EQ(TrevantorVariables().GetMaxChars("ORDER_CODE"), 20);
    EXPECT_EQ(TrevantorVariables().GetMaxChars("OTHER"), 500);
}

TEST_F(CatalogueTest, FormatsReachEveryKeySetAndDialog)
{
    for (const auto& [params, decimals] : std::vector<std::pair<std::string, int>>{
             {"", 2}, {"[Formats]\nDecimalPrecision=3\n", 3}}) {
        SCOPED_TRACE(params);
        WriteFile("Params.ini", params);
        ResetTrevantorVariables();
        CTrevantorVariables& catalogue = TrevantorVariables();
        // The key sets' own constructor groups thousands: Init must undo it.
        catalogue.GetKeySet(KEYS_DRIVER).m_numberFormat1.grouping = 1;
        catalogue.Init();
        const CVariablesKeys* targets[] = {&catalogue.GetKeySet(KEYS_DRIVER),
                                           &catalogue.GetKeySet(KEYS_SPARE_2),
                                           catalogue.GetDialogColumns(11)};
        for (const CVariablesKeys* keys : targets) {
            ASSERT_NE(keys, nullptr);
            for (const TNumberFormat& format : {keys->m_numberFormat1, keys->m_numberFormat2}) {
                EXPECT_EQ(format.decimals, decimals);
                EXPECT_EQ(format.thousandsSeparator, '\0');
                EXPECT_EQ(format.grouping, 0);
                EXPECT_EQ(format.decimalSeparator, '.');
            }
            EXPECT_EQ(keys->m_strDateFormat, "%d/%m/%Y");
            EXPECT_EQ(keys->m_strMinutesFormat, "%H:%M");
        }
        EXPECT_EQ(catalogue.m_numberFormat2.FormatWithLeadingZero(1234.5),
                  decimals == 2 ? "1234.50" : "1234.500");
    }
}

struct TStop
{
    int32_t stopDays = 0;
    std::string code;
};

TEST_F(CatalogueTest, BuildersRunInOrderAndTheLaterNameWins)
{
    CTrevantorVariables& catalogue = TrevantorVariables();
    std::vector<std::pair<int, int>> runs; // slot's entity kind, in run order
    for (int slot = 0; slot < KEYS_BUILT_COUNT; ++slot)
        catalogue.SetBuilder(
            slot, [&runs, &catalogue](CTrevantorVariables& owner, CTrevantorVariablesKeys& keys) {
                EXPECT_EQ(&owner, &catalogue);
                EXPECT_EQ(keys.m_pOwner, &catalogue);
                runs.emplace_back(keys.m_nEntityKind, keys.GetSize());
            });
    catalogue.SetBuilder(KEYS_TRUCK, [](CTrevantorVariables&, CTrevantorVariablesKeys& keys) {
        keys.AddString("CODE", VarMember(&TStop::code), 10, "", "", "", 0, 7);
    });
    catalogue.SetBuilder(KEYS_STOP_POINT, [](CTrevantorVariables& owner,
                                             CTrevantorVariablesKeys& keys) {
        keys.AddString("CODE", VarMember(&TStop::code), owner.GetMaxChars("CODE"), "", "", "", 0,
                       7);
        keys.AddIntAsMinutes("STOP_DAYS", VarMember(&TStop::stopDays), "", "", 0, 0, 3);
        keys.AddDateExpression("SCHEDULING_DATE + STOP_DAYS", "", "", trv::OleDate(), 0, 4);
        keys.AddDayOfWeek("#DAYOFWEEK#SCHEDULING_DATE + STOP_DAYS", "", "", trv::OleDate(), 0, 4);
    });
    catalogue.Init();

    const std::vector<std::pair<int, int>> expected = {{1, 0},  {2, 0},  {15, 0}, {4, 0},
                                                       {5, 0},  {6, 0},  {9, 0},  {10, 0},
                                                       {12, 0}, {-1, 0}, {14, 0}};
    EXPECT_EQ(runs, expected); // the truck and stop-point builders were replaced
    EXPECT_EQ(catalogue.Lookup("CODE"), &catalogue.GetKeySet(KEYS_STOP_POINT));
    EXPECT_EQ(catalogue.GetKeySet(KEYS_TRUCK).m_nEntityKind, ENTITY_TRUCK);
    EXPECT_EQ(catalogue.GetKeySet(KEYS_STOP_POINT).GetVariable(0)->maximum, 500);
    for (int dialog = 0; dialog < kDialogCount; ++dialog) {
        ASSERT_NE(catalogue.GetDialogColumns(dialog), nullptr);
        // The lists load their columns when they open; the options are built at start-up.
        EXPECT_EQ(catalogue.GetDialogColumns(dialog)->GetColumnCount(), 0);
        EXPECT_NE(catalogue.GetDialogOptions(dialog), nullptr);
    }
    EXPECT_EQ(catalogue.GetDialogColumns(12), nullptr);

    // 2000 minutes after the planning day's start fall on the next day, a Thursday.
    catalogue.SetSchedulingDate(trv::OleDate(2026, 12, 9));
    TStop stop;
    stop.stopDays = 2000;
    CTrevantorVariablesKeys& stops = catalogue.GetKeySet(KEYS_STOP_POINT);
    int numeric = 0;
    EXPECT_EQ(stops.FormatValue(2, stop, numeric), "10/12/2026");
    EXPECT_EQ(stops.FormatValue(3, stop, numeric), "J");
    EXPECT_EQ(catalogue.GetDialogColumns(5)->m_strReferenceToken, "SCHEDULING_DATE");
}

// ---- Tank set ----------------------------------------------------------------------------------

struct TLoadLine
{
    std::string product;
    float quantity = 0;
    bool withGroup = false;
    bool operator==(const TLoadLine&) const = default;
};

class CFakeTrailer : public CTankSetVariable
{
  public:
    int InsertSortedCapacity(float capacity, int rule) override
    {
        capacities.push_back(capacity);
        rules.push_back(rule);
        tanks.push_back({capacity, 0, 0, 0, rule, "", {}});
        return static_cast<int>(tanks.size()) - 1;
    }
    void SetCompatibilityGroup(int position, const std::string& group) override
    {
        groups.push_back(std::to_string(position) + "=" + group);
    }
    void SetTankIdentifier(int position, int identifier) override
    {
        identifiers.push_back(std::to_string(position) + "=" + std::to_string(identifier));
    }
    void SetInitialGroups(const CSmartIntArray& perTank, int tanksWithProducts,
                          const CSmartIntArray& initial, const CSmartIntArray&) override
    {
        initialPerTank.assign(perTank.begin(), perTank.end());
        initialTanks = tanksWithProducts;
        initialProducts.assign(initial.begin(), initial.end());
    }
    void AddInitialLoadLine(const std::string& product, float quantity, bool withGroup) override
    {
        load.push_back({product, quantity, withGroup});
    }
    void SetLoaded() override { loaded = true; }
    int GetTankCount() const override { return static_cast<int>(tanks.size()); }
    TTankSetEntry GetTank(int index) const override { return tanks[static_cast<size_t>(index)]; }
    int GetInitialLoadCount() const override { return static_cast<int>(load.size()); }
    void GetInitialLoadLine(int index, std::string& name, float& volume) const override
    {
        name = load[static_cast<size_t>(index)].product;
        volume = load[static_cast<size_t>(index)].quantity;
    }

    std::vector<float> capacities;
    std::vector<int> rules;
    std::vector<std::string> groups;
    std::vector<std::string> identifiers;
    std::vector<int> initialPerTank;
    int initialTanks = -1;
    std::vector<int> initialProducts;
    std::vector<TLoadLine> load;
    bool loaded = false;
    std::vector<TTankSetEntry> tanks; // what GetTank sees
};

CSmartStringArray TankItems()
{
    return FieldNames({"TANKS", "TANKS_IDS", "INITIAL_IFES_FOR_EACH_TANKS", "INITIAL_IFES",
                       "PRODUCTS_LOADED", "QUANTITIES_LOADED", "IFES_FIJOS",
                       "PRODUCT_COMPATIBILITY_GROUPS", "COMPARTMENT_RULES"});
}

TVarAccessorPtr TankAccess()
{
    return VarField<CFakeTrailer>([](CFakeTrailer& t) -> CTankSetVariable& { return t; });
}

TEST(TankSetTest, ReadingHandsTheTanksAndLoadOver)
{
    struct Case
    {
        const char* why;
        CMemoryFieldRecord::Row row;
        std::vector<float> capacities;
        std::vector<std::string> identifiers;
        std::vector<TLoadLine> load;
        bool loaded;
    };
    const Case cases[] = {
        {"capacities of 0 or below add no tank",
         {{"TANKS", "0|-5|10"},
          {"COMPARTMENT_RULES", "1|2|3"},
          {"PRODUCT_COMPATIBILITY_GROUPS", "a|b|c"}},
         {10},
         {},
         {},
         false},
        {"a repeated identifier adds and loads once",
         {{"TANKS", "10|20|30"},
          {"TANKS_IDS", "0|0|2"},
          {"QUANTITIES_LOADED", "5|6|7"},
          {"PRODUCTS_LOADED", "A|B|C"}},
         {10, 30},
         {"0=0", "2=2"},
         {{"A", 5, false}, {"C", 7, false}},
         true},
        {"an identifier that names no tank is skipped",
         {{"TANKS", "10|20|30"}, {"TANKS_IDS", "0|7||"}, {"QUANTITIES_LOADED", "0|6"}},
         {10},
         {"0=0"},
         {},
         false},
        {"one positive quantity of three tanks: one loaded and two empty lines",
         {{"TANKS", "10|20|30"}, {"QUANTITIES_LOADED", "0|5|0"}, {"PRODUCTS_LOADED", "A|B|C"}},
         {10, 20, 30},
         {},
         {{"B", 5, true}, {"", 0, false}, {"", 0, false}},
         false},
        {"no positive quantity, no lines",
         {{"TANKS", "10|20|30"}, {"QUANTITIES_LOADED", "0|0|0"}},
         {10, 20, 30},
         {},
         {},
         false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.why);
        CTrevantorVariablesKeys keys;
        keys.AddItemsVariable("", VAR_TANK_SET, TankItems(), kTankSetItems, TankAccess(), -1, "",
                              "", 0, 3);
        CMemoryFieldRecord record;
        record.Current() = test.row;
        CFakeTrailer trailer;
        EXPECT_EQ(keys.ReadFromFetch(trailer, record, 0, nullptr), 1);
        EXPECT_EQ(trailer.capacities, test.capacities);
        EXPECT_EQ(trailer.identifiers, test.identifiers);
        EXPECT_EQ(trailer.load, test.load);
        EXPECT_EQ(trailer.loaded, test.loaded);
    }
}

TEST(TankSetTest, InitialProductsPerTankAreDerivedFromTheIdentifiers)
{
    CTrevantorVariablesKeys keys;
    keys.AddItemsVariable("", VAR_TANK_SET, TankItems(), kTankSetItems, TankAccess(), -1, "", "", 0,
                          3);
    CMemoryFieldRecord record;
    record.Current() = {{"TANKS", "10|20|30"},
                        {"TANKS_IDS", "2|0|1"},
                        {"INITIAL_IFES", "4|4|9"},
                        {"COMPARTMENT_RULES", "7"},
                        {"PRODUCT_COMPATIBILITY_GROUPS", "g1"}};
    CFakeTrailer trailer;
    ASSERT_EQ(keys.ReadFromFetch(trailer, record, 0, nullptr), 1);
    EXPECT_EQ(trailer.initialPerTank, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(trailer.initialTanks, 3);
    EXPECT_EQ(trailer.initialProducts, (std::vector<int>{4, 4, 9}));
    EXPECT_EQ(trailer.rules, (std::vector<int>{7, 0, 0})); // a shorter list gives 0
    EXPECT_EQ(trailer.groups, (std::vector<std::string>{"0=g1", "1=", "2="}));

    // -1 first: no initial products.
    record.Current()["INITIAL_IFES"] = "-1";
    CFakeTrailer other;
    ASSERT_EQ(keys.ReadFromFetch(other, record, 0, nullptr), 1);
    EXPECT_TRUE(other.initialPerTank.empty());
}

TEST(TankSetTest, MissingItemsUsageAndFieldMap)
{
    CMemoryFieldRecord record;
    record.Current() = {{"TANKS", "10"}};
    // Eight item keys: the read and the write of the trailer fail.
    CTrevantorVariablesKeys eight;
    TVarKeyStruct* v = eight.AddVariable("TANKS_VARIABLES", VAR_TANK_SET, TankAccess(), {}, "", "",
                                         0, 3, -1, -1, 1, -1);
    v->itemNames = TankItems();
    v->itemNames.RemoveAt(8);
    CFakeTrailer trailer;
    EXPECT_EQ(eight.ReadFromFetch(trailer, record, 0, nullptr), 0);
    trailer.tanks.push_back({});
    EXPECT_FALSE(eight.WriteToFetch(trailer, record, 0, "", 0, nullptr));

    CTrevantorVariablesKeys writeOnly;
    writeOnly.AddItemsVariable("TANKS_VARIABLES", VAR_TANK_SET, TankItems(), kTankSetItems,
                               TankAccess(), -1, "", "", 0, 2);
    CFakeTrailer untouched;
    EXPECT_EQ(writeOnly.ReadFromFetch(untouched, record, 0, nullptr), 1);
    EXPECT_TRUE(untouched.capacities.empty());

    CTrevantorVariablesKeys both;
    both.AddItemsVariable("TANKS_VARIABLES", VAR_TANK_SET, TankItems(), kTankSetItems, TankAccess(),
                          -1, "", "", 0, 3);
    const TFieldMap other = {{"CODE", "CODE"}};
    EXPECT_EQ(both.ReadFromFetch(untouched, record, 1, &other), 1);
    EXPECT_TRUE(untouched.capacities.empty());
}

TEST(TankSetTest, WritingFollowsTheTanksOrder)
{
    CTrevantorVariablesKeys keys;
    keys.AddItemsVariable("", VAR_TANK_SET, TankItems(), kTankSetItems, TankAccess(), -1, "", "", 0,
                          2);
    CFakeTrailer trailer;
    CMemoryFieldRecord empty;
    EXPECT_TRUE(keys.WriteToFetch(trailer, empty, 0, "", 0, nullptr));
    EXPECT_TRUE(empty.writes.empty()); // a trailer without tanks writes nothing

    CSmartIntArray first;
    first.Add(3);
    first.Add(4);
    trailer.tanks = {{10, 1, 2, 5, 0, "g1", first}, {20, 0, 0, 6, 1, "g2", {}}};
    trailer.load = {{"GASOIL", 7, false}};
    CMemoryFieldRecord record;
    ASSERT_TRUE(keys.WriteToFetch(trailer, record, 0, "", 0, nullptr));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"INITIAL_IFES", "3|4"},
        {"INITIAL_IFES", ""},
        {"TANKS", "10|20"},
        {"TANKS_IDS", "1|0"},
        {"INITIAL_IFES_FOR_EACH_TANKS", "2|0"},
        {"IFES_FIJOS", "5|6"},
        {"PRODUCT_COMPATIBILITY_GROUPS", "g1|g2"},
        {"COMPARTMENT_RULES", "0|1"},
        {"PRODUCTS_LOADED", "GASOIL"},
        {"QUANTITIES_LOADED", "7"},
    };
    EXPECT_EQ(record.writes, expected);
}

// ---- Resource permissions ----------------------------------------------------------------------

class CFakePermissions : public CPermissionListsVariable
{
  public:
    void AddOrderResourceCodes(const CSmartSortNoRepeatStringArray& a,
                               const CSmartSortNoRepeatStringArray& b,
                               const CSmartSortNoRepeatStringArray& c,
                               const CSmartSortNoRepeatStringArray& d) override
    {
        lists = {
            {a.begin(), a.end()}, {b.begin(), b.end()}, {c.begin(), c.end()}, {d.begin(), d.end()}};
    }
    CSmartStringArray GetPermissionList(int list) const override
    {
        CSmartStringArray items;
        for (const std::string& item : lists[static_cast<size_t>(list)])
            items.Add(item);
        return items;
    }
    std::vector<std::vector<std::string>> lists{4};
};

TEST(PermissionsTest, ReadSortedDistinctCutAndWriteOnlyWhatIsThere)
{
    CTrevantorVariablesKeys keys;
    keys.AddItemsVariable("", VAR_RESOURCE_PERMISSIONS,
                          FieldNames({"NON_ALLOWED_RESOURCES", "NON_ALLOWED_DRIVERS",
                                      "ALLOWED_RESOURCES", "ALLOWED_DRIVERS"}),
                          kPermissionItems,
                          VarField<CFakePermissions>(
                              [](CFakePermissions& o) -> CPermissionListsVariable& { return o; }),
                          3, "", "", 0, 3);
    CMemoryFieldRecord record;
    record.Current() = {{"NON_ALLOWED_RESOURCES", "TRK9|AB|TRK1|AB"}, {"ALLOWED_DRIVERS", "D1"}};
    CFakePermissions order;
    ASSERT_EQ(keys.ReadFromFetch(order, record, 0, nullptr), 1);
    const std::vector<std::vector<std::string>> expected = {{"AB", "TRK"}, {}, {}, {"D1"}};
    EXPECT_EQ(order.lists, expected);

    CMemoryFieldRecord out;
    ASSERT_TRUE(keys.WriteToFetch(order, out, 0, "", 0, nullptr));
    const std::vector<std::pair<std::string, std::string>> written = {
        {"NON_ALLOWED_RESOURCES", "AB|TRK"}, {"ALLOWED_DRIVERS", "D1"}};
    EXPECT_EQ(out.writes, written);

    CFakePermissions none;
    CMemoryFieldRecord nothing;
    ASSERT_TRUE(keys.WriteToFetch(none, nothing, 0, "", 0, nullptr));
    EXPECT_TRUE(nothing.writes.empty());
}

} // namespace
