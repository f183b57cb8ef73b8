#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "routing/DistancesArray.h"
#include "routing/ParticionMatrices.h"
#include "routing/RoutingContext.h"
#include "routing/RoutingText.h"
#include "routing/SchNodesList.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr const char* kFeedbackDefinition = "CUSTOMER_FEEDBACK_BY_ZONES";

int FindZone(const std::vector<std::string>& zones, const std::string& zone)
{
    const auto found = std::find(zones.begin(), zones.end(), zone);
    return found == zones.end() ? -1 : static_cast<int>(found - zones.begin());
}

void AddZone(std::vector<std::string>& zones, const std::string& zone)
{
    if (FindZone(zones, zone) < 0)
        zones.push_back(zone);
}

// The figures of one table cell.
struct TFeedback
{
    int minutes;
    int differential;
    int km;
};

// Minutes plus a differential, held inside the int range.
int32_t AddMinutes(int32_t minutes, int differential)
{
    const long long sum = static_cast<long long>(minutes) + differential;
    return static_cast<int32_t>(std::clamp<long long>(sum, INT32_MIN, INT32_MAX));
}

// Minutes of one direction from a cell's figures, starting from the matrix's minutes.
int32_t FeedbackMinutes(int32_t minutes, const TFeedback& feedback)
{
    if (feedback.minutes != TFeedbackTable::kNoTime)
        minutes = feedback.minutes;
    if (feedback.differential != TFeedbackTable::kNoDifferential) {
        minutes = AddMinutes(minutes, feedback.differential);
        if (feedback.minutes != TFeedbackTable::kNoTime && minutes < feedback.minutes)
            minutes = feedback.minutes;
    }
    return minutes;
}

} // namespace

void TFeedbackTable::Clear()
{
    firstZones.clear();
    secondZones.clear();
    times.clear();
    differentials.clear();
    distances.clear();
}

int TFeedbackTable::FindFirstZone(const std::string& zone) const
{
    return FindZone(firstZones, zone);
}

int TFeedbackTable::FindSecondZone(const std::string& zone) const
{
    return FindZone(secondZones, zone);
}

void TFeedbackTable::Set(const std::string& firstZone, const std::string& secondZone, int minutes,
                         int differentialMinutes, int km)
{
    const std::size_t cells = firstZones.size() * secondZones.size();
    if (times.size() != cells) {
        times.assign(cells, kNoTime);
        differentials.assign(cells, kNoDifferential);
        distances.assign(cells, kNoDistance);
    }
    const int first = FindFirstZone(firstZone);
    const int second = FindSecondZone(secondZone);
    if (first < 0 || second < 0)
        return;
    const std::size_t cell =
        static_cast<std::size_t>(first) * secondZones.size() + static_cast<std::size_t>(second);
    times[cell] = minutes;
    differentials[cell] = differentialMinutes;
    distances[cell] = km;
}

bool CSchNodesList::ReadFeedBackCodesInformation()
{
    m_feedback.Clear();
    CFetch fetch;
    if (!fetch.Init(kFeedbackDefinition)) {
        const std::string error =
            RoutingMessage("FetchInitError", std::string(kFeedbackDefinition));
        TRV_TRACE(1, "CSchNodesList::ReadFeedBackCodesInformation", "ReadFeedBackZones, %s",
                  error.c_str());
        return false;
    }
    // Every zone pair is read first so the table can be sized once.
    struct TRecord
    {
        std::string first;
        std::string second;
        int minutes;
        int differential;
        int km;
    };
    std::vector<TRecord> records;
    while (!fetch.IsEOF()) {
        if (!fetch.MoveNext())
            continue;
        TRecord record{fetch.GetFieldString("ZONE_1"), fetch.GetFieldString("ZONE_2"),
                       fetch.GetFieldInt("TIME", TFeedbackTable::kNoTime),
                       fetch.GetFieldInt("DIFFERENTIAL_TIME", TFeedbackTable::kNoDifferential),
                       fetch.GetFieldInt("DISTANCE", TFeedbackTable::kNoDistance)};
        AddZone(m_feedback.firstZones, record.first);
        AddZone(m_feedback.secondZones, record.second);
        records.push_back(std::move(record));
    }
    fetch.Close();
    for (const TRecord& record : records) {
        TRV_TRACE(2, "CSchNodesList::ReadFeedBackCodesInformation",
                  "Zona 1: %s, Zona 2: %s, Time: %d, Distance: %d", record.first.c_str(),
                  record.second.c_str(), record.minutes, record.km);
        m_feedback.Set(record.first, record.second, record.minutes, record.differential, record.km);
    }
    return true;
}

bool CSchNodesList::ApplyFeedBackCodes()
{
    if (!ReadFeedBackCodesInformation())
        return false;
    CRoutingContext& context = RoutingContext();
    ApplyFeedBackTable(context.partition, context.matrices);
    return true;
}

void CSchNodesList::ApplyFeedBackTable(
    const CClasificacionNodos& translation,
    std::vector<std::unique_ptr<CDistancesArray>>& matrices) const
{
    const TFeedbackTable& table = m_feedback;
    const std::size_t secondCount = table.secondZones.size();
    if (table.times.size() != table.firstZones.size() * secondCount || table.times.empty())
        return;
    // Each node's zone positions, found once; only nodes with a code and a cell take part.
    struct TZoned
    {
        int node;
        int first;
        int second;
        TTranslationEntry entry;
    };
    std::vector<TZoned> zoned;
    for (int node = 0; node < GetSize(); ++node) {
        const CNode* point = GetNode(node);
        if (point == nullptr || point->feedbackCode.empty())
            continue;
        const TTranslationEntry entry = translation.FindEntry(node);
        if (!entry.Exists() || static_cast<std::size_t>(entry.matrixClass) >= matrices.size() ||
            matrices[static_cast<std::size_t>(entry.matrixClass)] == nullptr ||
            entry.row >= matrices[static_cast<std::size_t>(entry.matrixClass)]->GetNodeCount())
            continue;
        const int first = table.FindFirstZone(point->feedbackCode);
        const int second = table.FindSecondZone(point->feedbackCode);
        if (first >= 0 || second >= 0)
            zoned.push_back({node, first, second, entry});
    }
    const auto cellOf = [&](int first, int second) -> TFeedback {
        const std::size_t cell =
            static_cast<std::size_t>(first) * secondCount + static_cast<std::size_t>(second);
        return {table.times[cell], table.differentials[cell], table.distances[cell]};
    };
    for (std::size_t high = 0; high < zoned.size(); ++high) {
        const TZoned& a = zoned[high];
        for (std::size_t low = 0; low < high; ++low) {
            const TZoned& b = zoned[low];
            if (a.entry.matrixClass != b.entry.matrixClass ||
                GetNode(a.node)->feedbackCode == GetNode(b.node)->feedbackCode)
                continue;
            const bool forward = a.first >= 0 && b.second >= 0;  // R(A, B)
            const bool backward = b.first >= 0 && a.second >= 0; // R(B, A)
            if (!forward && !backward)
                continue;
            CDistancesArray& matrix = *matrices[static_cast<std::size_t>(a.entry.matrixClass)];
            TDistanceCell& there = matrix.Cell(a.entry.row, b.entry.row);
            TDistanceCell& back = matrix.Cell(b.entry.row, a.entry.row);
            if (forward && backward) {
                const TFeedback out = cellOf(a.first, b.second);
                const TFeedback in = cellOf(b.first, a.second);
                there.minutes = FeedbackMinutes(there.minutes, out);
                back.minutes = FeedbackMinutes(back.minutes, in);
                if (out.km != TFeedbackTable::kNoDistance)
                    there.km = static_cast<float>(out.km);
                if (in.km != TFeedbackTable::kNoDistance)
                    back.km = static_cast<float>(in.km);
                continue;
            }
            // One direction given: it holds for both.
            const TFeedback given = forward ? cellOf(a.first, b.second) : cellOf(b.first, a.second);
            if (given.minutes != TFeedbackTable::kNoTime)
                there.minutes = back.minutes = given.minutes;
            if (given.differential != TFeedbackTable::kNoDifferential) {
                back.minutes = AddMinutes(back.minutes, given.differential);
                there.minutes = AddMinutes(there.minutes, given.differential);
                if (given.minutes != TFeedbackTable::kNoTime && back.minutes < given.minutes)
                    there.minutes = back.minutes = given.minutes;
            }
            if (given.km != TFeedbackTable::kNoDistance)
                there.km = back.km = static_cast<float>(given.km);
        }
    }
}
