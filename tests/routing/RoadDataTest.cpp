#include "routing/RoadData.h"

#include "KLV/AppGlobals.h"
#include "RoadFixture.h"
#include "TempFolder.h"
#include "routing/RoutingMapAndGuideClient.h"
#include "routing/RoutinoEngine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

TEST(RoadDataTest, AnchorIsTheJunctionNearestTheCentreOfTheNodes)
{
    struct Case
    {
        const char* dump;
        bool found;
        double longitude;
        double latitude;
    };
    const Case cases[] = {
        // The plain node makes the north-east corner; of the two junctions the inner one is
        // nearer the centre (1, 1).
        {"<node id='1' lat='0.0' lon='0.0'>\n<tag k='routino:super' v='yes' />\n</node>\n"
         "<node id='2' lat='2.0' lon='2.0' version='1' />\n"
         "<node id='3' lat=\"1.5\" lon=\"1.25\">\n<tag k='routino:super' v='yes' />\n</node>\n",
         true, 1.25, 1.5},
        {"<node id='1' lat='0.5' lon='0.5' />\n", false, 0, 0},
        // Coordinates that are no numbers or off the globe are skipped, not taken as 0.
        {"<node id='1' lat='x' lon='1'>\n<tag k='routino:super' v='yes' />\n"
         "<node id='2' lat='95' lon='1'>\n<tag k='routino:super' v='yes' />\n",
         false, 0, 0},
        {"", false, 0, 0},
    };
    for (const Case& c : cases) {
        std::istringstream dump(c.dump);
        double longitude = 0.0;
        double latitude = 0.0;
        EXPECT_EQ(FindRoadDataAnchor(dump, longitude, latitude), c.found) << c.dump;
        if (c.found) {
            EXPECT_DOUBLE_EQ(longitude, c.longitude);
            EXPECT_DOUBLE_EQ(latitude, c.latitude);
        }
    }
}

TEST(RoadDataTest, PreparedFolderRecordsTheExtractAndAnAnchorOnTheMainNetwork)
{
    trv::test::TempFolder folder;
    const std::string roads = folder.File("roads");
    std::string error;
    ASSERT_TRUE(PrepareRoadData(trv::test::RoadFixture::Extract(), roads, true, error)) << error;
    const TRoadDataInfo info = ReadRoadDataInfo(roads);
    EXPECT_EQ(info.extract, trv::test::RoadFixture::Extract());
    ASSERT_TRUE(info.hasAnchor);
    // The island lies east of 2.2 E; the anchor must be one every route of the network reaches.
    EXPECT_LT(info.anchorLongitude, 2.15);
    RoutinoEngine engine;
    EXPECT_TRUE(engine.Open(roads, error)) << error;

    EXPECT_FALSE(PrepareRoadData(folder.File("none.osm"), roads, true, error));
    EXPECT_NE(error.find("none.osm"), std::string::npos);
}

// The road-editor database the provider opens, in a program folder of the test's own.
class RoadEditorTest : public ::testing::Test
{
  protected:
    RoadEditorTest() : home_("TREVANTOR_HOME", folder_.File(""))
    {
        trv::SetCompanyAlias("ACME");
        trv::SetCompanyName("Acme Ltd");
        std::filesystem::create_directories(folder_.File("Configuration"));
    }
    ~RoadEditorTest() override { trv::ResetAppGlobals(); }

    std::string Config(const std::string& name) const
    {
        return folder_.File("Configuration/" + name);
    }
    // A database holding one author named after it, so a test can tell which was opened.
    void MakeDb(const std::string& path, const std::string& marker)
    {
        CRoadEditorDb db;
        ASSERT_TRUE(db.Open(path)) << db.LastError();
        ASSERT_GE(db.AddAuthor(marker, ""), 0);
    }
    static bool Holds(CRoadEditorDb& db, const std::string& author)
    {
        return db.FindAuthor(author) >= 0;
    }

    trv::test::TempFolder folder_;
    trv::test::EnvironmentOverride home_;
    CRoutingMapAndGuide provider_{nullptr};
};

TEST_F(RoadEditorTest, ThePlanWinsThenTheCompanyNameThenTheAliasMadeFromTheTemplate)
{
    struct Case
    {
        bool plan;
        bool name;
        bool alias;
        const char* opened;
    };
    const Case cases[] = {
        {true, true, true, "plan"},
        {false, true, true, "name"},
        {false, false, true, "alias"},
        {false, false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("opened ") + c.opened);
        std::filesystem::remove_all(Config(""));
        std::filesystem::create_directories(Config(""));
        const std::string plan = folder_.File("plan_RE5.mdb");
        std::filesystem::remove(plan);
        if (c.plan)
            MakeDb(plan, "plan");
        if (c.name)
            MakeDb(Config("Acme Ltd_RE5.mdb"), "name");
        if (c.alias)
            MakeDb(Config("ACME_RE5.mdb"), "alias");
        provider_.ReloadStreetModel(plan);
        ASSERT_TRUE(provider_.IsStreetModelLoaded());
        CRoadEditorDb& db = provider_.RoadEditorDb();
        EXPECT_EQ(db.Path(), c.plan   ? plan
                             : c.name ? Config("Acme Ltd_RE5.mdb")
                                      : Config("ACME_RE5.mdb"));
        if (*c.opened != '\0')
            EXPECT_TRUE(Holds(db, c.opened)); // an existing alias database is not overwritten
        else
            EXPECT_TRUE(std::filesystem::exists(Config("_RE5.mdb")));
        EXPECT_EQ(db.FindAuthor("Trevantor"), provider_.AuthorId());
        EXPECT_EQ(db.Settings().authorId, provider_.AuthorId());
    }
}

TEST_F(RoadEditorTest, OpenDatabaseStaysAndTheAuthorIsMadeOnce)
{
    provider_.LookforStreetModel(true, "");
    const long long author = provider_.AuthorId();
    ASSERT_GE(author, 0);
    EXPECT_EQ(provider_.RoadsLayer().symbolLayerMask, 956);
    EXPECT_EQ(provider_.RoadsLayer().attributes.at(72).name, "EXPLOSIVES");

    // A plan database appearing later changes nothing while the database is open.
    const std::string plan = folder_.File("plan_RE5.mdb");
    MakeDb(plan, "plan");
    provider_.LookforStreetModel(true, plan);
    EXPECT_EQ(provider_.RoadEditorDb().Path(), Config("ACME_RE5.mdb"));

    // Reopened, the same author is found again, not added.
    provider_.ReloadStreetModel("");
    EXPECT_EQ(provider_.AuthorId(), author);
    CRoadEditorDb& db = provider_.RoadEditorDb();
    ASSERT_TRUE(db.WriteEntry(7, 8, 6, true, false, author));
    TRoadSegmentEntry entry;
    ASSERT_TRUE(db.DescribeSegment(7, 8, author, entry));
    EXPECT_TRUE(entry.firstClosed);
    EXPECT_FALSE(entry.secondClosed);
    EXPECT_TRUE(db.DeleteEntry(entry.id));
    EXPECT_FALSE(db.DescribeSegment(7, 8, author, entry));
}

} // namespace
