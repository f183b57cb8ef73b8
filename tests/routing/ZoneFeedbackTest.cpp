#include "../KLV/TraceCapture.h"
#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "routing/RoutingContext.h"

#include <gtest/gtest.h>

namespace {

// The definition of the feedback table over a text file.
std::string Definition(const std::string& file)
{
    return "[CUSTOMER_FEEDBACK_BY_ZONES_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\nHEADERSIZE=1\nFILENAME=" +
           file +
           "\n[CUSTOMER_FEEDBACK_BY_ZONES]\n"
           "ZONE_1=1\nZONE_2=2\nTIME=3\nDIFFERENTIAL_TIME=4\nDISTANCE=5\n";
}

class ZoneFeedbackTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetRoutingContext();
        CFetch::ResetDefinitionFiles();
        CRoutingContext& context = RoutingContext();
        const char* codes[] = {"A", "B", "C", "", "A"};
        for (int node = 0; node < 5; ++node) {
            CNode* point = context.nodes.GetOrCreateNode(node);
            point->x = node;
            point->y = 0;
            point->feedbackCode = codes[node];
            context.partition.GetEntry(node) = {0, node};
        }
        CDistancesArray* matrix = context.AddMatrix();
        matrix->Allocate(5);
        for (std::size_t cell = 0; cell < matrix->GetCellCount(); ++cell)
            matrix->Cells()[cell] = {100.0f, 100};
    }
    void TearDown() override
    {
        ResetRoutingContext();
        CFetch::ResetDefinitionFiles();
        trv::ResetAppGlobals();
    }

    void Table(const std::string& rows)
    {
        trv::test::WriteFileBytes(trace.Folder() / "Data.ini",
                                  trv::test::ReadFileBytes(TRV_PROGRAM_DIR "/Data.ini") + "\n" +
                                      Definition((trace.Folder() / "Feedback.csv").string()));
        trv::test::WriteFileBytes(trace.Folder() / "Feedback.csv", "ZONE_1;ZONE_2;T;D;K\n" + rows);
        CFetch::ResetDefinitionFiles();
    }

    const TDistanceCell& Cell(int from, int to) const
    {
        return RoutingContext().matrices[0]->Cell(from, to);
    }

    TraceCapture trace{1};
};

TEST_F(ZoneFeedbackTest, APairGivenOneWaySetsBothDirections)
{
    Table("B;A;30;2147483647;12\nC;A;-1;5;-1\n");
    ASSERT_TRUE(RoutingContext().nodes.ApplyFeedBackCodes());
    // B-A given as (B, A) only: 30 minutes and 12 km both ways.
    EXPECT_EQ(Cell(0, 1).minutes, 30);
    EXPECT_EQ(Cell(1, 0).minutes, 30);
    EXPECT_EQ(Cell(1, 0).km, 12.0f);
    // C-A: no time, a differential of 5 added both ways, km kept.
    EXPECT_EQ(Cell(2, 0).minutes, 105);
    EXPECT_EQ(Cell(0, 2).minutes, 105);
    EXPECT_EQ(Cell(0, 2).km, 100.0f);
    // Equal codes, an empty code, or zones without a cell change nothing.
    for (const auto& [from, to] : {std::pair{0, 4}, {4, 0}, {3, 0}, {0, 3}, {2, 1}, {1, 2}}) {
        EXPECT_EQ(Cell(from, to).minutes, 100) << from << "->" << to;
        EXPECT_EQ(Cell(from, to).km, 100.0f) << from << "->" << to;
    }
}

TEST_F(ZoneFeedbackTest, BothDirectionsGivenApplyEachByItself)
{
    // From B to A 40 minutes with a differential that would fall below them; back 20 + 3.
    Table("B;A;40;-50;7\nA;B;20;3;-1\n");
    ASSERT_TRUE(RoutingContext().nodes.ApplyFeedBackCodes());
    EXPECT_EQ(Cell(1, 0).minutes, 40);
    EXPECT_EQ(Cell(1, 0).km, 7.0f);
    EXPECT_EQ(Cell(0, 1).minutes, 23);
    EXPECT_EQ(Cell(0, 1).km, 100.0f);
}

TEST_F(ZoneFeedbackTest, MissingDefinitionKeepsTheMatrix)
{
    EXPECT_FALSE(RoutingContext().nodes.ApplyFeedBackCodes());
    EXPECT_EQ(Cell(0, 1).minutes, 100);
    const std::vector<std::string> messages = trace.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().find("ReadFeedBackZones"), std::string::npos);
}

} // namespace
