// Dumps of prepared road data (OSM XML node elements) read for the anchor point.

#include "FuzzSupport.h"
#include "routing/RoadData.h"

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream dump{std::string(trv::fuzz::AsText(data, size))};
    double longitude = 0.0;
    double latitude = 0.0;
    FindRoadDataAnchor(dump, longitude, latitude);
    return 0;
}
