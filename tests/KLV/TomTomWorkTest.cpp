#include "KLV/TomTomWork.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kHeader = "\"orderid\";\"orderstate\";\"orderstate_time\";"
                            "\"estimated_arrival_time\";\"objectno\"\r\n";

std::string Row(const std::string& orderId, const std::string& state, const std::string& stateTime,
                const std::string& arrival, const std::string& objectNo)
{
    return "\"" + orderId + "\";\"" + state + "\";\"" + stateTime + "\";\"" + arrival + "\";\"" +
           objectNo + "\"\r\n";
}

struct Expected
{
    const char* orderId;
    int minutes;
    int enRoute;
    int released;
    const char* objectNo;
};

void ExpectStates(const CSmartPtrArray<COrderConfirm>& states, const std::vector<Expected>& want)
{
    ASSERT_EQ(states.GetSize(), static_cast<int>(want.size()));
    for (int i = 0; i < states.GetSize(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(states[i]->OrderId, want[i].orderId);
        EXPECT_EQ(states[i]->Minutes, want[i].minutes);
        EXPECT_EQ(states[i]->EnRoute, want[i].enRoute);
        EXPECT_EQ(states[i]->Released, want[i].released);
        EXPECT_EQ(states[i]->ObjectNo, want[i].objectNo);
    }
}

TEST(TomTomWorkTest, OrderStatesBecomeRecordsSortedByKindEnRouteMinutesAndVehicle)
{
    // State times hold hours at characters 12-13 and minutes at 15-16.
    const std::string report =
        kHeader + Row("A1", "301", "", "11.12.2026 10:05", "V2") + // released + arrival
        Row("A2", "203", "11.12.2026, 07:00:00", "", "V1") +       // nothing
        Row("A3", "202", "11.12.2026, 07:40:00", "", "V9") +       // state time, held
        Row("A4", "401", "11.12.2026, 06:10:00", "", "V9") +       // state time, held
        Row("A5", "203", "", "11.12.2026 08:00", "V3") +           // arrival
        Row("A6", "204", "", "11.12.2026 08:00", "V3") +           // arrival, held
        Row("A7", "203", "", "11.12.2026 08:00", "V1") +           // same minute, V1 < V3
        Row("A8", "302", "", "", "V4") +                           // released only
        Row("A9", "203", "", "11.12.2026 8:0", "V5") +             // arrival too short
        Row("B1", "202", "11.12.2026, 7", "", "V5");               // state time too short
    CSmartPtrArray<COrderConfirm> states;
    states.Add(new COrderConfirm{"kept", 1, 0, 0, ""});

    EXPECT_EQ(CTomTomWork::ReadOrderStates(report, states), 0);

    ExpectStates(states, {{"kept", 1, 0, 0, ""},
                          {"A1", 0, 0, 1, ""},
                          {"A8", 0, 0, 1, ""},
                          {"A4", 6 * 60 + 10, 0, 0, "V9"},
                          {"A3", 7 * 60 + 40, 0, 0, "V9"},
                          {"A6", 8 * 60, 0, 0, "V3"},
                          {"A7", 8 * 60, 1, 0, "V1"},
                          {"A5", 8 * 60, 1, 0, "V3"},
                          {"A1", 10 * 60 + 5, 1, 0, "V2"}});
}

TEST(TomTomWorkTest, ResultCodesComeBeforeAnyTable)
{
    const std::pair<const char*, int> cases[] = {{"2109, no orders", 0},
                                                 {"63, too many requests", -1},
                                                 {"8011, bad date", 8011},
                                                 {"8014, no access", 8014},
                                                 {"", 0},
                                                 {"garbage without line end", 0}};
    for (const auto& [reply, code] : cases) {
        CSmartPtrArray<COrderConfirm> states;
        EXPECT_EQ(CTomTomWork::ReadOrderStates(reply, states), code) << reply;
        EXPECT_EQ(states.GetSize(), 0) << reply;
    }
    const std::pair<const char*, int> vehicleCases[] = {{"63,", 0}, {"8014,", 8014}};
    for (const auto& [reply, code] : vehicleCases) {
        std::string list = "x";
        EXPECT_EQ(CTomTomWork::ReadVehicleReport(reply, list), code) << reply;
        EXPECT_EQ(list, "x");
    }
}

TEST(TomTomWorkTest, VehicleListEndsWithALoneSeparatorAfterAFinalLineBreak)
{
    struct Case
    {
        const char* reply;
        const char* list;
    };
    const Case cases[] = {
        {"\"objectname\";\"objectno\";\r\n\"Truck; big\";\"V1\";\r\n\"Van\";\"V2\";\r\n",
         ";V1;V2;"},
        // Rows without a final ';' do not run into the next row.
        {"\"objectno\";\"objectname\"\r\n\"V1\";\"Truck\"\r\n\"V2\";\"Van\"", ";V1;V2"},
        // No such column: the rows are there, their numbers empty.
        {"\"objectname\"\r\n\"Truck\"\r\n", ";;"},
        {"\"objectno\"", ""},
    };
    for (const Case& c : cases) {
        std::string list;
        EXPECT_EQ(CTomTomWork::ReadVehicleReport(c.reply, list), 0) << c.reply;
        EXPECT_EQ(list, c.list) << c.reply;
    }
}

TEST(TomTomWorkTest, ColumnScanStaysInTheHeaderLine)
{
    static constexpr std::string_view names[] = {"b", "missing", "a"};
    int positions[3] = {-7, -7, -7};
    std::string_view reply = "\"a\";\"b\";\"c\"\r\n\"missing\";\"x\";\"y\"\r\n";

    CTomTomWork::MapReplyColumns(names, positions, reply);

    EXPECT_EQ(positions[0], 2);
    EXPECT_EQ(positions[1], 0);
    EXPECT_EQ(positions[2], 1);
    EXPECT_EQ(reply, "\r\n\"missing\";\"x\";\"y\"\r\n");
}

TEST(TomTomWorkTest, FieldSpanSkipsQuotedSeparatorsAndEndsAtTheRow)
{
    const std::string row = "\"a;1\";\"\";plain;\"last\"\r\n\"next\"";
    const std::pair<int, const char*> cases[] = {{1, "a;1"}, {2, ""}, {3, "plain"}, {4, "last"},
                                                 {5, ""},    {0, ""}, {-1, ""}};
    for (const auto& [column, value] : cases) {
        const CTomTomWork::FieldSpan span = CTomTomWork::GetFieldSpan(row, column);
        EXPECT_EQ(row.substr(span.start, span.length), value) << column;
    }
}

TEST(TomTomWorkTest, LanguageTableIsEmptyOutsideItsCountries)
{
    ResetTomTomWork();
    for (int country : {-1, 0, 34, 51, 52, 1000})
        EXPECT_EQ(TomTomLanguageByCountry(country), "") << country;
}

} // namespace
