#include "routing/SchNodesList.h"

#include "../KLV/TraceCapture.h"
#include "TempFolder.h"
#include "model/Locations.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace {

TLocationData Place(double x, double y, const std::string& postcode = "28001",
                    const std::string& city = "MADRID", const std::string& nodeCode = "")
{
    TLocationData location;
    location.postcode = postcode;
    location.city = city;
    location.nodeCode = nodeCode;
    location.coordinates.longitude = x;
    location.coordinates.latitude = y;
    return location;
}

TEST(SchNodesListTest, PointsWithinTheBoundShareANode)
{
    struct Case
    {
        const char* name;
        TLocationData second;
        int expected; // index AddNode gives the second location
    };
    const Case cases[] = {
        {"0.000005 apart in x", Place(-3.700005, 40.4), 0},
        {"0.000005 apart in y", Place(-3.7, 40.400005), 0},
        {"0.00002 apart", Place(-3.70002, 40.4), 1},
        {"no postcode, city or node code", Place(-3.7, 40.4, "", "", ""), -1},
        {"node code only", Place(-3.7, 40.4, "", "", "N7"), 0},
        {"not located", Place(12345678.0, 12345678.0), 1},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        CSchNodesList nodes;
        ASSERT_EQ(nodes.AddNode(Place(-3.7, 40.4)), 0);
        EXPECT_EQ(nodes.AddNode(test.second), test.expected);
    }
    // A location without coordinates never matches, not even another one without them.
    CSchNodesList nodes;
    EXPECT_EQ(nodes.AddNode(Place(12345678.0, 12345678.0)), 0);
    EXPECT_EQ(nodes.AddNode(Place(12345678.0, 12345678.0)), 1);
    EXPECT_EQ(nodes.FindNode(Place(12345678.0, 12345678.0)), -1);
}

TEST(SchNodesListTest, FindNodeGivesTheLowestMatchingIndex)
{
    // Node 1 and node 0 both match the query, on different grid cells, and node 2 lies beside
    // the query in its own cell but too far: the answer is 0 whatever the cells say.
    CSchNodesList nodes;
    nodes.GetOrCreateNode(2)->x = 10.00002;
    nodes.GetOrCreateNode(2)->y = 50.0;
    CNode* first = nodes.GetOrCreateNode(0);
    first->x = 9.999996;
    first->y = 50.0;
    CNode* second = nodes.GetOrCreateNode(1);
    second->x = 10.000004;
    second->y = 50.0;
    EXPECT_EQ(nodes.FindPoint(10.0, 50.0), 0);
    // Moving node 0 away is seen by the next search.
    nodes.GetNode(0)->x = 20.0;
    EXPECT_EQ(nodes.FindPoint(10.0, 50.0), 1);
    // Points off any sensible grid still match exactly.
    nodes.GetOrCreateNode(3)->x = 1e300;
    nodes.GetNode(3)->y = 0.0;
    EXPECT_EQ(nodes.FindPoint(1e300, 0.0), 3);
    // Off the grid too the lowest match wins, a neighbour beyond the tolerance does not match,
    // and a NaN coordinate matches nothing.
    for (const auto& [index, x] : {std::pair{6, 25000.0}, {4, 25000.000004}, {5, 25000.00003}}) {
        nodes.GetOrCreateNode(index)->x = x;
        nodes.GetNode(index)->y = 0.0;
    }
    EXPECT_EQ(nodes.FindPoint(25000.0, 0.0), 4);
    EXPECT_EQ(nodes.FindPoint(25000.00003, 0.0), 5);
    nodes.GetOrCreateNode(7)->x = std::nan("");
    nodes.GetNode(7)->y = 0.0;
    EXPECT_EQ(nodes.FindPoint(std::nan(""), 0.0), -1);
}

TEST(SchNodesListTest, SaveThenLoadKeepsNodesAndEmptySlotsInAnyLocale)
{
    trv::test::TempFolder folder;
    CSchNodesList nodes;
    nodes.AddNode(Place(-3.123456789012, 40.987654321098, "28001", "MADRID", "N1"));
    nodes.GetOrCreateNode(3)->postcode = "08001"; // slots 1 and 2 stay empty
    nodes.GetNode(3)->x = 2.17;
    nodes.GetNode(3)->y = 41.38;
    nodes.GetNode(3)->feedbackCode = "Z1";

    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8"})
        if ((comma = std::setlocale(LC_ALL, name)) != nullptr)
            break;
    EXPECT_NE(comma, nullptr) << "tools/install-deps.sh generates de_DE.UTF-8";
    const std::string path = folder.File("plan.nod");
    ASSERT_TRUE(nodes.Save(path));
    CSchNodesList loaded;
    ASSERT_TRUE(loaded.Load(path));
    std::setlocale(LC_ALL, "C");

    EXPECT_EQ(loaded.GetMaxIndex(), 3);
    EXPECT_TRUE(loaded.SameNodes(nodes));
    EXPECT_EQ(loaded.GetNode(1), nullptr);
    EXPECT_EQ(loaded.GetNode(2), nullptr);
    EXPECT_EQ(loaded.GetNode(0)->x, -3.123456789012);
    EXPECT_EQ(loaded.GetNode(0)->nodeCode, "N1");
    EXPECT_EQ(loaded.GetNode(3)->feedbackCode, "Z1");
    EXPECT_EQ(loaded.GetNode(3)->postcode, "08001");
    EXPECT_EQ(trv::test::ReadFileBytes(path).find(','), std::string::npos);
}

TEST(SchNodesListTest, LoadReadsEveryLineOfHandWrittenFiles)
{
    trv::test::TempFolder folder;
    struct Case
    {
        const char* name;
        std::string text;
        int maxIndex;
        std::vector<bool> present;
    };
    const Case cases[] = {
        {"empty file", "", -1, {}},
        {"last line without line end", "1\tA\t\t1.5\t2.5\t\t\n2\tB\t\t3.5\t4.5\t", 1, {true, true}},
        {"first four fields empty",
         "\t\t\t\t7.5\tZ\t\n 28001 \tC\t\t1\t2\t\t\r\n",
         1,
         {false, true}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        CSchNodesList nodes;
        ASSERT_TRUE(nodes.Init(folder.Write("nodes.nod", test.text)));
        EXPECT_EQ(nodes.GetMaxIndex(), test.maxIndex);
        for (std::size_t index = 0; index < test.present.size(); ++index)
            EXPECT_EQ(nodes.GetNode(static_cast<int>(index)) != nullptr, test.present[index]);
    }
    CSchNodesList nodes;
    ASSERT_TRUE(
        nodes.Init(folder.Write("nodes.nod", "\t\t\t\t7.5\tZ\t\n 28001 \tC\t\t1\t2\t\t\r\n")));
    EXPECT_EQ(nodes.GetNode(1)->postcode, "28001");
    EXPECT_EQ(nodes.GetNode(1)->y, 2.0);
    EXPECT_EQ(nodes.FindPoint(1.0, 2.0), 1);
}

TEST(SchNodesListTest, UnreadableFileIsTracedAndRefused)
{
    TraceCapture trace(1);
    CSchNodesList nodes;
    nodes.AddNode(Place(1, 2));
    EXPECT_FALSE(nodes.Init((trace.Folder() / "missing.nod").string()));
    EXPECT_EQ(nodes.GetMaxIndex(), -1);
    const std::vector<std::string> messages = trace.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.front().find("cannot be read"), std::string::npos);
}

} // namespace
