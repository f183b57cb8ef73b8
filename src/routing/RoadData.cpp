#include "routing/RoadData.h"

#include "platform/Process.h"
#include "platform/Text.h"
#include "routing/RoutinoEngine.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string_view>
#include <vector>

namespace {

struct RoadNode
{
    double longitude = 0.0;
    double latitude = 0.0;
    bool junction = false;
};

// The value of `name='...'` (or double quotes) inside one element's text; false when absent or
// not a number.
bool AttributeNumber(std::string_view element, std::string_view name, double& value)
{
    for (std::size_t at = element.find(name); at != std::string_view::npos;
         at = element.find(name, at + 1)) {
        const std::size_t equals = at + name.size();
        const bool wholeName = at == 0 || element[at - 1] == ' ';
        if (!wholeName || equals + 1 >= element.size() || element[equals] != '=')
            continue;
        const char quote = element[equals + 1];
        if (quote != '\'' && quote != '"')
            return false;
        const std::size_t end = element.find(quote, equals + 2);
        if (end == std::string_view::npos)
            return false;
        return trv::TryParseDouble(element.substr(equals + 2, end - equals - 2), value);
    }
    return false;
}

std::vector<RoadNode> ReadDumpNodes(std::istream& dump)
{
    std::vector<RoadNode> nodes;
    std::string line;
    while (std::getline(dump, line)) {
        const std::string_view text = trv::Trim(line);
        if (text.starts_with("<node ")) {
            RoadNode node;
            if (AttributeNumber(text, "lat", node.latitude) &&
                AttributeNumber(text, "lon", node.longitude) && std::abs(node.latitude) <= 90.0 &&
                std::abs(node.longitude) <= 180.0)
                nodes.push_back(node);
        } else if (!nodes.empty() && text.starts_with("<tag ") &&
                   text.find("routino:super") != std::string_view::npos) {
            nodes.back().junction = true;
        }
    }
    return nodes;
}

bool RunTool(const std::vector<std::string>& arguments, bool quiet, std::string& error)
{
    trv::SpawnOptions options;
    options.nullStandardStreams = quiet;
    const int process = trv::SpawnProcess(arguments, options);
    int exitCode = 0;
    if (process < 0) {
        error = arguments[0] + " cannot be started (is the road-network package installed?)";
        return false;
    }
    if (!trv::WaitForProcess(process, -1, &exitCode) || exitCode != 0) {
        error = arguments[0] + " failed with exit code " + std::to_string(exitCode);
        return false;
    }
    return true;
}

} // namespace

bool FindRoadDataAnchor(std::istream& dump, double& longitude, double& latitude)
{
    const std::vector<RoadNode> nodes = ReadDumpNodes(dump);
    if (nodes.empty())
        return false;
    const auto [west, east] =
        std::minmax_element(nodes.begin(), nodes.end(), [](const RoadNode& a, const RoadNode& b) {
            return a.longitude < b.longitude;
        });
    const auto [south, north] =
        std::minmax_element(nodes.begin(), nodes.end(), [](const RoadNode& a, const RoadNode& b) {
            return a.latitude < b.latitude;
        });
    const double centreLongitude = (west->longitude + east->longitude) / 2.0;
    const double centreLatitude = (south->latitude + north->latitude) / 2.0;
    // Nearness on the plane of degrees is enough to pick a point every route can reach.
    double best = std::numeric_limits<double>::max();
    for (const RoadNode& node : nodes) {
        const double dx = node.longitude - centreLongitude;
        const double dy = node.latitude - centreLatitude;
        if (node.junction && dx * dx + dy * dy < best) {
            best = dx * dx + dy * dy;
            longitude = node.longitude;
            latitude = node.latitude;
        }
    }
    return best != std::numeric_limits<double>::max();
}

bool PrepareRoadData(const std::string& extract, const std::string& folder, bool quiet,
                     std::string& error)
{
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(extract, ignored)) {
        error = "no extract " + extract;
        return false;
    }
    std::filesystem::create_directories(folder, ignored);
    const std::string dirOption = "--dir=" + folder;
    if (!RunTool({"planetsplitter", dirOption, extract}, quiet, error))
        return false;
    std::string dump;
    if (!trv::CaptureProcessOutput({"filedumper", dirOption, "--dump-osm"}, dump)) {
        error = "filedumper cannot read the prepared road data in " + folder;
        return false;
    }
    TRoadDataInfo info;
    info.extract = std::filesystem::weakly_canonical(extract, ignored).string();
    std::istringstream stream(dump);
    info.hasAnchor = FindRoadDataAnchor(stream, info.anchorLongitude, info.anchorLatitude);
    if (!info.hasAnchor) {
        error = "the extract holds no road junction: " + extract;
        return false;
    }
    if (!WriteRoadDataInfo(folder, info)) {
        error = "cannot write " + folder + "/" + kRoadDataInfoFile;
        return false;
    }
    return true;
}
