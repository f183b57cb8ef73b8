#include "routing/SchNodesList.h"

#include "KLV/Trace.h"
#include "model/Locations.h"
#include "params/Parameters.h"
#include "platform/Text.h"
#include "routing/PlanLocations.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr double kNotLocated = 12345678.0;
// Grid cells a little wider than the 1e-5-degree identity bound: two points that are the same
// node then lie at most one cell apart, whatever the rounding of the scaled coordinates.
constexpr double kCellsPerDegree = 99999.0;
// Points further out than this are kept off the grid so that their keys cannot overflow.
constexpr double kGridLimit = 10000.0;

bool OnGrid(double x, double y)
{
    return std::fabs(x) <= kGridLimit && std::fabs(y) <= kGridLimit;
}

int64_t CellOf(double value)
{
    return static_cast<int64_t>(std::floor(value * kCellsPerDegree));
}

uint64_t GridKey(int64_t column, int64_t row)
{
    return (static_cast<uint64_t>(column) << 32) ^ static_cast<uint64_t>(row & 0xffffffff);
}

} // namespace

void CNode::SetFromLocation(const TLocationData& location)
{
    postcode = location.postcode;
    city = location.city;
    feedbackCode = location.feedbackCode;
    x = savedX = location.coordinates.longitude;
    y = savedY = location.coordinates.latitude;
    if (!location.nodeCode.empty())
        nodeCode = location.nodeCode;
}

void CNode::ApplyToLocation(TLocationData& location) const
{
    location.postcode = postcode;
    location.city = city;
    location.coordinates.longitude = x;
    location.coordinates.latitude = y;
    location.id = nodeCode;
}

bool CNode::HasPoint() const
{
    return x != kNotLocated && y != kNotLocated;
}

bool CNode::IsSamePoint(double otherX, double otherY) const
{
    const double dx = x - otherX;
    const double dy = y - otherY;
    return dx * dx <= 1e-10 && dy * dy <= 1e-10;
}

CSchNodesList::CSchNodesList() = default;
CSchNodesList::~CSchNodesList() = default;

void CSchNodesList::RemoveAll()
{
    m_nodes.clear();
    m_maxIndex = -1;
    m_grid.clear();
    m_outsideGrid.clear();
    m_indexedCount = 0;
}

bool CSchNodesList::SameNodes(const CSchNodesList& other) const
{
    if (m_nodes.size() != other.m_nodes.size())
        return false;
    for (std::size_t index = 0; index < m_nodes.size(); ++index) {
        const CNode* mine = m_nodes[index].get();
        const CNode* theirs = other.m_nodes[index].get();
        if ((mine == nullptr) != (theirs == nullptr))
            return false;
        if (mine != nullptr && !mine->IsSamePoint(theirs->x, theirs->y))
            return false;
    }
    return true;
}

void CSchNodesList::CopyNodes(const CSchNodesList& other)
{
    RemoveAll();
    m_nodes.reserve(other.m_nodes.size());
    for (const std::unique_ptr<CNode>& node : other.m_nodes)
        m_nodes.push_back(node ? std::make_unique<CNode>(*node) : nullptr);
    m_maxIndex = other.m_maxIndex;
    InvalidateIndex();
}

const CNode* CSchNodesList::GetNode(int index) const
{
    if (index < 0 || index >= GetSize())
        return nullptr;
    return m_nodes[static_cast<std::size_t>(index)].get();
}

CNode* CSchNodesList::GetNode(int index)
{
    if (index < 0 || index >= GetSize())
        return nullptr;
    InvalidateIndex();
    return m_nodes[static_cast<std::size_t>(index)].get();
}

void CSchNodesList::IndexNode(int index) const
{
    const CNode* node = m_nodes[static_cast<std::size_t>(index)].get();
    if (node == nullptr || !node->HasPoint())
        return;
    if (!OnGrid(node->x, node->y)) {
        // A point with a NaN coordinate is the same as no other: it is never found.
        if (!std::isnan(node->x) && !std::isnan(node->y))
            m_outsideGrid.emplace(node->x, index);
        return;
    }
    m_grid[GridKey(CellOf(node->x), CellOf(node->y))].push_back(index);
}

void CSchNodesList::RefreshIndex() const
{
    if (m_indexedCount < 0) {
        m_grid.clear();
        m_outsideGrid.clear();
        m_indexedCount = 0;
    }
    for (; m_indexedCount < GetSize(); ++m_indexedCount)
        IndexNode(m_indexedCount);
}

int CSchNodesList::FindPoint(double x, double y) const
{
    if (x == kNotLocated || y == kNotLocated)
        return -1;
    RefreshIndex();
    int found = -1;
    const auto consider = [&](int index) {
        if ((found < 0 || index < found) &&
            m_nodes[static_cast<std::size_t>(index)]->IsSamePoint(x, y))
            found = index;
    };
    if (std::isnan(x) || std::isnan(y))
        return -1;
    // Only points within the same-point tolerance of x can match (see CNode::IsSamePoint).
    const auto last = m_outsideGrid.upper_bound(x + 2e-5);
    for (auto off = m_outsideGrid.lower_bound(x - 2e-5); off != last; ++off)
        consider(off->second);
    if (!OnGrid(x, y))
        return found;
    const int64_t column = CellOf(x);
    const int64_t row = CellOf(y);
    for (int64_t dx = -1; dx <= 1; ++dx) {
        for (int64_t dy = -1; dy <= 1; ++dy) {
            const auto cell = m_grid.find(GridKey(column + dx, row + dy));
            if (cell == m_grid.end())
                continue;
            // A cell lists its nodes by rising index: its first match is its lowest.
            for (int index : cell->second) {
                if (found >= 0 && index >= found)
                    break;
                if (m_nodes[static_cast<std::size_t>(index)]->IsSamePoint(x, y)) {
                    found = index;
                    break;
                }
            }
        }
    }
    return found;
}

int CSchNodesList::FindNode(const TLocationData& location) const
{
    return FindPoint(location.coordinates.longitude, location.coordinates.latitude);
}

void CSchNodesList::SetSlot(int index, std::unique_ptr<CNode> node)
{
    if (index >= GetSize())
        m_nodes.resize(static_cast<std::size_t>(index) + 1);
    m_nodes[static_cast<std::size_t>(index)] = std::move(node);
    m_maxIndex = std::max(m_maxIndex, index);
}

CNode* CSchNodesList::AddNewNode()
{
    SetSlot(GetSize(), std::make_unique<CNode>());
    InvalidateIndex();
    return m_nodes.back().get();
}

CNode* CSchNodesList::GetOrCreateNode(int index)
{
    if (index < 0)
        return nullptr;
    InvalidateIndex();
    if (index < GetSize() && m_nodes[static_cast<std::size_t>(index)])
        return m_nodes[static_cast<std::size_t>(index)].get();
    SetSlot(index, std::make_unique<CNode>());
    return m_nodes[static_cast<std::size_t>(index)].get();
}

int CSchNodesList::AddNode(const TLocationData& location)
{
    if (location.postcode.empty() && location.city.empty() && location.nodeCode.empty())
        return -1;
    const int found = FindNode(location);
    if (found >= 0)
        return found;
    auto node = std::make_unique<CNode>();
    node->SetFromLocation(location);
    const int index = GetSize();
    SetSlot(index, std::move(node));
    // The index stays current: the new node is filed without a rebuild.
    if (m_indexedCount == index) {
        IndexNode(index);
        ++m_indexedCount;
    }
    return index;
}

bool CSchNodesList::AssignAllNodes(CPlanLocations& plan)
{
    const CUserParameters& parameters = UserParameters();
    const auto assign = [this](TLocationData* location) {
        if (location != nullptr)
            location->nodeIndex = AddNode(*location);
        return location == nullptr || location->nodeIndex >= 0;
    };
    bool everyOrderLocated = true;
    std::vector<TLocationData*> deliveries;
    for (int order = 0; order < plan.GetOrderCount(); ++order) {
        deliveries.clear();
        plan.GetOrderDeliveries(order, deliveries);
        for (TLocationData* delivery : deliveries)
            everyOrderLocated = assign(delivery) && everyOrderLocated;
        TLocationData* origin = plan.GetOrderOrigin(order);
        if (parameters.LoadingProblem == 2 || parameters.LoadingProblem == 4)
            assign(origin);
        else if (origin != nullptr)
            origin->nodeIndex = -1;
    }
    if (parameters.LoadingProblem == 3)
        for (int warehouse = 0; warehouse < plan.GetWarehouseCount(); ++warehouse)
            assign(plan.GetWarehouseLocation(warehouse));
    for (int pair = 0; pair < plan.GetPairCount(); ++pair) {
        const TPairLocations locations = plan.GetPairLocations(pair);
        assign(locations.truckBase);
        assign(locations.truckEndBase);
        assign(locations.truckWarehouse);
    }
    return everyOrderLocated;
}

bool CSchNodesList::Save(const std::string& path) const
{
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        TRV_TRACE(1, "CSchNodesList::Save", "The node file %s cannot be opened for writing",
                  path.c_str());
        return false;
    }
    // Line by line through the stream's buffer: a large list is never held twice.
    bool written = true;
    std::string line;
    for (int index = 0; index <= m_maxIndex && written; ++index) {
        line.clear();
        if (const CNode* node = GetNode(index)) {
            line.append(node->postcode).append(1, '\t').append(node->city).append(1, '\t');
            line.append(node->nodeCode).append(1, '\t');
            line.append(trv::FormatDouble(node->x, 20)).append(1, '\t');
            line.append(trv::FormatDouble(node->y, 20)).append(1, '\t');
            line.append(node->feedbackCode).append("\t\n");
        } else {
            line = "\t\t\t\t\t\t\n";
        }
        written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    }
    return std::fclose(file) == 0 && written;
}

bool CSchNodesList::Export(const std::string& planPath) const
{
    return Save(PlanFileStem(planPath) + ".nod");
}

bool CSchNodesList::Load(const std::string& path)
{
    std::string text;
    if (!trv::ReadTextFile(path, text)) {
        TRV_TRACE(1, "CSchNodesList::Load", "The node file %s cannot be read", path.c_str());
        return false;
    }
    std::string_view rest = text;
    int index = GetSize();
    std::vector<std::string_view> fields;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        fields.clear();
        for (std::size_t start = 0;;) {
            const std::size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
            if (tab == std::string_view::npos)
                break;
            start = tab + 1;
        }
        fields.resize(std::max<std::size_t>(fields.size(), 6));
        for (int field = 0; field < 3; ++field)
            fields[field] = trv::Trim(fields[field]);
        if (fields[0].empty() && fields[1].empty() && fields[2].empty() && fields[3].empty()) {
            SetSlot(index++, nullptr);
            continue;
        }
        auto node = std::make_unique<CNode>();
        node->postcode = fields[0];
        node->city = fields[1];
        node->nodeCode = fields[2];
        node->x = node->savedX = trv::ParseDouble(fields[3]);
        node->y = node->savedY = trv::ParseDouble(fields[4]);
        node->feedbackCode = fields[5];
        SetSlot(index++, std::move(node));
    }
    InvalidateIndex();
    return true;
}

bool CSchNodesList::Init(const std::string& path)
{
    RemoveAll();
    if (Load(path))
        return true;
    TRV_TRACE(1, "CSchNodesList::Init", "The node file %s could not be loaded", path.c_str());
    return false;
}

void CCheckedNodesList::RemoveAll()
{
    m_checked.clear();
    m_texts.clear();
    m_candidates.clear();
    CSchNodesList::RemoveAll();
}

bool CCheckedNodesList::SameCheckedNodes(const CCheckedNodesList& other) const
{
    if (!SameNodes(other) || m_checked != other.m_checked ||
        m_candidates.size() != other.m_candidates.size())
        return false;
    for (std::size_t index = 0; index < m_candidates.size(); ++index) {
        const CSchNodesList* mine = m_candidates[index].get();
        const CSchNodesList* theirs = other.m_candidates[index].get();
        if ((mine == nullptr) != (theirs == nullptr))
            return false;
        if (mine != nullptr && !mine->SameNodes(*theirs))
            return false;
    }
    return true;
}

void CCheckedNodesList::AppendChecked(const CNode* source, bool checked)
{
    CNode* node = AddNewNode();
    if (source != nullptr)
        *node = *source;
    m_checked.push_back(checked ? 1 : 0);
    m_texts.emplace_back();
    m_candidates.emplace_back();
}

bool CCheckedNodesList::IsChecked(int index) const
{
    return index >= 0 && index < static_cast<int>(m_checked.size()) &&
           m_checked[static_cast<std::size_t>(index)] != 0;
}

std::string PlanFileStem(const std::string& planPath)
{
    const std::size_t slash = planPath.find_last_of('/');
    const std::size_t dot = planPath.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return planPath;
    return planPath.substr(0, dot);
}
