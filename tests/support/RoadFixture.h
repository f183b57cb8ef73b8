#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace trv::test {

// The hand-written road fixture (tests/data/roads/roads.osm), prepared by planetsplitter into a
// folder of its own once per test process and removed when the process ends. Its places:
// a motorway west-east along 41.00 N from 2.00 to 2.10 E, a primary road along 41.02 N, links
// at 2.00 and 2.10 E, a street grid at 2.04-2.06 E north of the primary road with a street one
// way northwards at 2.05 E (41.02 to 41.025 N), a dead end and an island near 2.21 E 41.10 N.
class RoadFixture
{
  public:
    // The prepared folder; empty (with a test failure) when planetsplitter failed.
    static const std::string& Folder()
    {
        static RoadFixture fixture;
        return fixture.folder_;
    }

    static std::string Extract() { return std::string(TRV_TEST_DATA_DIR) + "/roads/roads.osm"; }

  private:
    RoadFixture()
    {
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() / ("trv_roads_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        const std::string command = "planetsplitter --dir='" + folder.string() + "' '" + Extract() +
                                    "' > '" + folder.string() + "/split.log' 2>&1";
        if (std::system(command.c_str()) != 0) {
            ADD_FAILURE() << "planetsplitter failed: " << command;
            return;
        }
        // The anchor the road-data tool would record: the junction of the grid's one-way
        // street with the primary road.
        std::ofstream(folder / "Roads.ini")
            << "[Roads]\nExtract=" << Extract() << "\nAnchorLongitude=2.05\nAnchorLatitude=41.02\n";
        folder_ = folder.string();
    }

    ~RoadFixture()
    {
        std::error_code ignored;
        if (!folder_.empty())
            std::filesystem::remove_all(folder_, ignored);
    }

    std::string folder_;
};

} // namespace trv::test
