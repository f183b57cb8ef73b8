// trevantor-roads <extract> <folder>: prepares the road data that routes and matrices use from
// an OpenStreetMap extract, into the folder that "NodeGraphPath" names.
#include "routing/RoadData.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <extract.osm|.pbf|.o5m> <road data folder>\n", argv[0]);
        return 2;
    }
    std::string error;
    if (!PrepareRoadData(argv[1], argv[2], false, error)) {
        std::fprintf(stderr, "trevantor-roads: %s\n", error.c_str());
        return 1;
    }
    std::printf("Road data ready in %s\n", argv[2]);
    return 0;
}
