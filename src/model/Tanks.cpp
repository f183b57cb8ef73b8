#include "model/Tanks.h"

#include "model/EnginePause.h"
#include "model/ModelContext.h"
#include "model/Trailer.h"
#include "params/Parameters.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <numeric>

namespace {

// C(n, k) in the multiplicative form: every partial product is itself a binomial, so nothing
// overflows for the tank counts a trailer may have.
uint64_t Binomial(int n, int k)
{
    if (k < 0 || k > n)
        return 0;
    uint64_t result = 1;
    for (int i = 1; i <= k; ++i)
        result = result * static_cast<uint64_t>(n - k + i) / static_cast<uint64_t>(i);
    return result;
}

// The combinations of `size` among `positions` in lexicographic order, each after `prefix`
// when it is not negative, written into `out` sorted by total capacity.
void Generate(const std::vector<int>& positions, int size, int prefix,
              const std::vector<int64_t>& capacities, std::vector<uint8_t>& out)
{
    const int width = size + (prefix >= 0 ? 1 : 0);
    const int n = static_cast<int>(positions.size());
    const auto count = static_cast<size_t>(Binomial(n, size));
    std::vector<uint8_t> generated(count * static_cast<size_t>(width));
    std::vector<int64_t> totals(count);
    std::vector<int> chosen(static_cast<size_t>(size));
    std::iota(chosen.begin(), chosen.end(), 0);
    for (size_t c = 0; c < count; ++c) {
        uint8_t* entry = &generated[c * static_cast<size_t>(width)];
        int64_t total = 0;
        int at = 0;
        if (prefix >= 0) {
            entry[at++] = static_cast<uint8_t>(prefix);
            total += capacities[static_cast<size_t>(prefix)];
        }
        for (const int index : chosen) {
            const int position = positions[static_cast<size_t>(index)];
            entry[at++] = static_cast<uint8_t>(position);
            total += capacities[static_cast<size_t>(position)];
        }
        totals[c] = total;
        // Next: raise the last index that can still grow, the ones after it follow on.
        int i = size - 1;
        while (i >= 0 && chosen[static_cast<size_t>(i)] == n - size + i)
            --i;
        if (i < 0)
            break;
        ++chosen[static_cast<size_t>(i)];
        for (int j = i + 1; j < size; ++j)
            chosen[static_cast<size_t>(j)] = chosen[static_cast<size_t>(j - 1)] + 1;
    }
    std::vector<uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return totals[a] < totals[b]; });
    out.resize(generated.size());
    for (size_t c = 0; c < count; ++c)
        std::copy_n(&generated[order[c] * static_cast<size_t>(width)], width,
                    &out[c * static_cast<size_t>(width)]);
}

// Joins entries as "a, b, c".
void AppendEntry(std::string& text, const std::string& entry)
{
    if (!text.empty())
        text += ", ";
    text += entry;
}

} // namespace

// ---- CTankCombinations --------------------------------------------------------------------------

void CTankCombinations::Clear()
{
    m_bySize.clear();
    m_tanks = -1;
}

int CTankCombinations::GetCount(int size) const
{
    if (size < 1 || size > static_cast<int>(m_bySize.size()))
        return 0;
    return static_cast<int>(m_bySize[static_cast<size_t>(size - 1)].size() /
                            static_cast<size_t>(size));
}

const uint8_t* CTankCombinations::Get(int size, int index) const
{
    return &m_bySize[static_cast<size_t>(size - 1)]
                    [static_cast<size_t>(index) * static_cast<size_t>(size)];
}

// ---- CTanks -------------------------------------------------------------------------------------

int CTanks::AddTank(float capacity, int value)
{
    if (GetSize() >= kMaxTanks) {
        ++m_refused;
        return -1;
    }
    int position = 0;
    while (position < GetSize() && (*this)[position]->capacity <= capacity)
        ++position;
    auto* tank = new CTank;
    tank->capacity = capacity;
    tank->overloadedCapacity = capacity;
    tank->value = value;
    InsertAt(position, tank);
    m_entryOrder.InsertAt(position, static_cast<unsigned short>(m_added++));
    m_lastInserted = position;
    EvaluateEqualTanks();
    return position;
}

void CTanks::EvaluateEqualTanks()
{
    // Integer percent on purpose: anything below 100 asks for exactly equal tanks.
    const int tolerance = UserParameters().EqualTanksPerCent / 100;
    const float first = (*this)[0]->capacity;
    for (int j = 1; j < GetSize(); ++j) {
        const float other = (*this)[j]->capacity;
        if (static_cast<float>(1 - tolerance) * other > first ||
            first > static_cast<float>(1 + tolerance) * other)
            m_equal = 0;
    }
}

void CTanks::ApplyOverload(float overloadPercent)
{
    for (CTank* tank : *this)
        tank->overloadedCapacity = overloadPercent > 0
                                       ? (overloadPercent * 0.01f + 1.0f) * tank->capacity
                                       : tank->capacity;
}

void CTanks::ResolveTankProducts()
{
    CDistinctTexts& groups = ModelContext().lastTripGroups;
    const int tanks = GetSize();
    bool anyProduct = false;
    m_tankProductGroups.SetSize(tanks);
    for (int i = 0; i < tanks; ++i) {
        const std::string name = i < m_tankProducts.GetSize() ? m_tankProducts[i] : std::string();
        anyProduct = anyProduct || !name.empty();
        m_tankProductGroups[i] =
            name.empty() ? 0xFFFFFFFFu : static_cast<unsigned int>(groups.FindOrAdd(name));
    }
    m_tankProducts.SetSize(tanks);
    if (!anyProduct)
        m_tankProductGroups.SetSize(0);
}

void CTanks::Prepare(float overloadPercent)
{
    CEnginePause pause("CTanks::Prepare");
    ResolveTankProducts();
    m_bigTank = -1;
    for (int i = 0; i < GetSize(); ++i)
        if ((*this)[i]->value >= kBigTankValue)
            m_bigTank = i;
    ApplyOverload(overloadPercent);
    BuildCombinations();
}

void CTanks::BuildCombinations()
{
    const int n = GetSize();
    std::vector<int64_t> capacities(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        capacities[static_cast<size_t>(i)] = static_cast<int64_t>((*this)[i]->capacity);

    if (m_bigTank < 0) {
        m_bigTankCombinations.Clear();
    } else if (m_bigTankCombinations.m_tanks != n || m_bigTankBuiltFor != m_bigTank) {
        m_bigTankCombinations.Clear();
        m_bigTankBuiltFor = m_bigTank;
        std::vector<int> others;
        for (int i = 0; i < n; ++i)
            if (i != m_bigTank)
                others.push_back(i);
        m_bigTankCombinations.m_bySize.resize(static_cast<size_t>(n));
        for (int k = 1; k <= n; ++k)
            Generate(others, k - 1, m_bigTank, capacities,
                     m_bigTankCombinations.m_bySize[static_cast<size_t>(k - 1)]);
        m_bigTankCombinations.m_tanks = n;
    }

    if (m_combinations.m_tanks == n)
        return;
    std::vector<int> all(static_cast<size_t>(n));
    std::iota(all.begin(), all.end(), 0);
    m_combinations.m_bySize.assign(static_cast<size_t>(n), {});
    for (int k = 1; k <= n; ++k)
        Generate(all, k, -1, capacities, m_combinations.m_bySize[static_cast<size_t>(k - 1)]);
    m_combinations.m_tanks = n;
}

void CTanks::Clear()
{
    SetSize(0);
    m_bigTank = -1;
    m_combinations.Clear();
    m_bigTankCombinations.Clear();
    m_entryOrder.SetSize(0);
    m_added = 0;
    m_lastInserted = -1;
    m_refused = 0;
    m_initialGroups.clear();
    m_initialGroup.SetSize(0);
    m_initialLines.SetSize(0);
    m_workingLines.SetSize(0);
    m_perTankFirst.SetSize(0);
    m_perTankSecond.SetSize(0);
    m_tankProducts.SetSize(0);
    m_tankProductGroups.SetSize(0);
    m_equal = 1;
    m_loaded = false;
}

float CTanks::GetCapacitySum() const
{
    float sum = 0;
    for (const CTank* tank : *this)
        sum += tank->capacity;
    return sum;
}

float CTanks::GetOverloadedCapacitySum() const
{
    float sum = 0;
    for (const CTank* tank : *this)
        sum += tank->overloadedCapacity;
    return sum;
}

int CTanks::FindInitialLine(const std::string& code) const
{
    for (int i = 0; i < m_initialLines.GetSize(); ++i)
        if (trv::CompareNoCase(m_initialLines[i]->productCode, code) == 0)
            return i;
    return -1;
}

bool CTanks::AddRealLoadLine(const std::string& product, float volume)
{
    auto line = std::make_unique<COrderLine>();
    line->volume = volume;
    line->productCode = product;
    line->productName = product;
    const int present = FindInitialLine(product);
    if (present >= 0) {
        m_initialLines[present]->Accumulate(*line);
        return false;
    }
    m_initialLines.Add(line.release());
    return true;
}

void CTanks::AppendEmptyInitialLine()
{
    m_initialLines.Add(new COrderLine);
}

void CTanks::CopyInitialLines()
{
    m_workingLines.SetSize(0);
    for (const COrderLine* initial : m_initialLines) {
        auto* line = new COrderLine;
        line->productIndex = initial->productIndex;
        line->productName = initial->productName;
        line->volume = initial->volume;
        m_workingLines.Add(line);
    }
}

std::string CTanks::GetInitialText() const
{
    std::string text;
    for (int i = 0; i < GetSize() && i < m_initialLines.GetSize(); ++i) {
        const COrderLine& line = *m_initialLines[i];
        if (line.volume != 0 && !line.productName.empty())
            AppendEntry(text, trv::FormatC("%.0f (%s)", static_cast<double>(line.volume),
                                           line.productName.c_str()));
    }
    return text;
}

std::string CTanks::GetRemainingText(const CProductsInTank& tank) const
{
    std::string text;
    for (const COrderLine* working : m_workingLines) {
        if (working->productName.empty())
            continue;
        int match = -1;
        for (int i = 0; i < tank.GetSize() && match < 0; ++i)
            if (tank[i] && tank[i]->productName == working->productName)
                match = i;
        const float remaining =
            match >= 0 ? working->volume - tank.quantities[match] : working->volume;
        if (remaining != 0)
            AppendEntry(text, trv::FormatC("%.0f (%s)", static_cast<double>(remaining),
                                           working->productName.c_str()));
    }
    return text;
}

int CTanks::InsertSortedCapacity(float capacity, int compartmentRule)
{
    return AddTank(capacity, compartmentRule);
}

void CTanks::SetCompatibilityGroup(int, const std::string& group)
{
    if (m_lastInserted >= 0)
        (*this)[m_lastInserted]->compatibilityGroup = group;
}

void CTanks::SetTankIdentifier(int, int identifier)
{
    if (m_lastInserted >= 0)
        (*this)[m_lastInserted]->identifier = identifier;
}

void CTanks::SetInitialGroups(const CSmartIntArray& countPerTank, int,
                              const CSmartIntArray& initialProducts,
                              const CSmartIntArray& fixedProducts)
{
    const int tanks = GetSize();
    m_initialGroups.assign(static_cast<size_t>(tanks), {});
    m_initialGroup.SetSize(0);
    m_initialGroup.SetSize(tanks);
    m_perTankFirst.SetSize(0);
    m_perTankFirst.SetSize(tanks);
    m_perTankSecond.SetSize(0);
    m_perTankSecond.SetSize(tanks);
    for (int i = 0; i < tanks; ++i)
        m_initialGroup[i] = 0;
    if (countPerTank.GetSize() != tanks || initialProducts.GetSize() == 0 ||
        initialProducts[0] == -1 || countPerTank[0] == -1)
        return;
    int next = 0;
    for (int i = 0; i < tanks; ++i) {
        if (i < fixedProducts.GetSize())
            m_initialGroup[i] = fixedProducts[i];
        for (int n = 0; n < countPerTank[i] && next < initialProducts.GetSize(); ++n)
            m_initialGroups[static_cast<size_t>(i)].Add(initialProducts[next++]);
    }
}

void CTanks::AddInitialLoadLine(const std::string& product, float quantity,
                                bool withIncompatibilityGroup)
{
    auto* line = new COrderLine;
    line->productName = product;
    line->volume = quantity;
    if (withIncompatibilityGroup)
        line->lastTripGroup = product;
    m_initialLines.Add(line);
    m_tankProducts.Add(product);
}

TTankSetEntry CTanks::GetTank(int index) const
{
    const CTank& tank = *(*this)[index];
    TTankSetEntry entry;
    entry.capacity = tank.capacity;
    entry.identifier = tank.identifier;
    entry.compartmentRule = tank.value;
    entry.compatibilityGroup = tank.compatibilityGroup;
    if (index < static_cast<int>(m_initialGroups.size())) {
        entry.initialProducts = m_initialGroups[static_cast<size_t>(index)];
        entry.initialProductCount = entry.initialProducts.GetSize();
    }
    if (index < m_initialGroup.GetSize())
        entry.fixedProduct = m_initialGroup[index];
    return entry;
}

void CTanks::GetInitialLoadLine(int index, std::string& productName, float& volume) const
{
    productName = m_initialLines[index]->productName;
    volume = m_initialLines[index]->volume;
}

// ---- CProductsInTank ----------------------------------------------------------------------------

void CProductsInTank::Copy(const CProductsInTank& other)
{
    CSmartArray::Copy(other);
    quantities.Copy(other.quantities);
    tankPosition = other.tankPosition;
}

void CProductsInTank::Clear()
{
    SetSize(0);
    quantities.SetSize(0);
}

void CProductsInTank::AddLine(COrderLine* line, float quantity)
{
    Add(line);
    quantities.Add(quantity);
}

std::string CProductsInTank::GetText() const
{
    std::string text;
    for (int i = 0; i < GetSize(); ++i)
        AppendEntry(text, trv::FormatC("%.0f %s", static_cast<double>(quantities[i]),
                                       (*this)[i] ? (*this)[i]->productName.c_str() : ""));
    return text;
}

int CountValues(const CSmartIntArray& values, int max, std::vector<int>& counts)
{
    counts.assign(static_cast<size_t>(std::max(max, 0)), 0);
    int distinct = 0;
    for (const int value : values) {
        if (value < 0 || value >= max)
            continue;
        if (counts[static_cast<size_t>(value)]++ == 0)
            ++distinct;
    }
    return distinct;
}

// ---- CInfoGruposProductosDescargados ------------------------------------------------------------

namespace {

// 0 no constraint, 1 the quantity is below the cell's threshold, 2 a cell that always applies.
int LookUp(const CConditionedIncompatibilities& matrices, int type, int group, int nextGroup,
           float quantity, float& threshold)
{
    if (group < 0 || nextGroup < 0)
        return 0;
    const std::optional<float> cell = matrices.GetThreshold(type, group, nextGroup);
    if (!cell)
        return 0;
    threshold = *cell;
    if (*cell <= 0)
        return 2;
    return quantity < *cell ? 1 : 0;
}

} // namespace

void CInfoGruposProductosDescargados::Init(const CTrailer& trailer)
{
    const auto hoses = static_cast<size_t>(std::max(trailer.hoseCount, 0));
    hoseGroups.assign(hoses, -1);
    collectorGroup = trailer.collectorGroup;
    m_fixedHoseGroups[0] = static_cast<int>(trailer.hoseGroups[0]);
    m_fixedHoseGroups[1] = static_cast<int>(trailer.hoseGroups[1]);

    const int tanks = trailer.tankLastUnloadGroups.GetSize();
    if (tanks > 0) {
        if (trailer.tankLastUnloadQuantities.GetSize() > 0 && static_cast<int>(hoses) < tanks) {
            if (ModelContext().conditionedIncompatibilities)
                AssignHosesByMatrix(trailer);
        } else {
            for (size_t i = 0; i < hoses && static_cast<int>(i) < tanks; ++i)
                hoseGroups[i] = trailer.tankLastUnloadGroups[static_cast<int>(i)];
        }
    }
    hoseAssignment.assign(hoseGroups.begin(), hoseGroups.end());

    int width = 0;
    for (const int group : trailer.tankLastTripGroups)
        width = std::max(width, group + 1);
    initialGroupsPresent.assign(static_cast<size_t>(width), 0);
    groupsPresent.assign(static_cast<size_t>(width), 0);
    for (const int group : trailer.tankLastTripGroups) {
        if (group < 0)
            continue;
        initialGroupsPresent[static_cast<size_t>(group)] = 1;
        groupsPresent[static_cast<size_t>(group)] = 1;
    }
}

void CInfoGruposProductosDescargados::AssignHosesByMatrix(const CTrailer& trailer)
{
    const CConditionedIncompatibilities& matrices = *ModelContext().conditionedIncompatibilities;
    const int type = trailer.alternativeResourceType;
    if (!matrices.HasMatrix(type))
        return;
    const CSmartIntArray& groups = trailer.tankLastUnloadGroups;
    const CSmartFloatArray& quantities = trailer.tankLastUnloadQuantities;
    auto quantity = [&](int tank) { return tank < quantities.GetSize() ? quantities[tank] : 0.0f; };
    const int tanks = groups.GetSize();
    bool ascending = true;
    if (tanks > 1) {
        float first = 0;
        float second = 0;
        const int forward = LookUp(matrices, type, groups[0], groups[1], quantity(0), first);
        const int backward = LookUp(matrices, type, groups[1], groups[0], quantity(1), second);
        const bool bothCells = groups[0] >= 0 && groups[1] >= 0 &&
                               matrices.GetThreshold(type, groups[0], groups[1]) &&
                               matrices.GetThreshold(type, groups[1], groups[0]);
        if (forward > 0)
            ascending = true;
        else if (bothCells)
            ascending = first >= second;
        else
            ascending = backward == 0;
    }
    for (int n = 0; n < tanks; ++n) {
        const int tank = ascending ? n : tanks - 1 - n;
        AssignHose(trailer, groups[tank], quantity(tank));
    }
}

void CInfoGruposProductosDescargados::AssignHose(const CTrailer& trailer, int group, float quantity)
{
    if (hoseGroups.empty())
        return;
    const CConditionedIncompatibilities& matrices = *ModelContext().conditionedIncompatibilities;
    size_t chosen = 0;
    float best = 0;
    for (size_t hose = 0; hose < hoseGroups.size(); ++hose) {
        int held = hoseGroups[hose];
        if (held < 0)
            held = hose < 2 ? m_fixedHoseGroups[hose] : -1;
        float threshold = 0;
        const int answer =
            LookUp(matrices, trailer.alternativeResourceType, group, held, quantity, threshold);
        if (answer == 1 && threshold > best) {
            best = threshold;
            chosen = hose;
        } else if (answer == 0) {
            chosen = hose;
        }
    }
    hoseGroups[chosen] = group;
}

bool CInfoGruposProductosDescargados::FindHose(int group, int& position) const
{
    for (size_t hose = 0; hose < hoseAssignment.size(); ++hose) {
        const int held = hoseAssignment[hose];
        if (held != -1 && held != group)
            continue;
        position = static_cast<int>(hose);
        if (held == -1) {
            const size_t fixedHoses = std::min<size_t>(hoseAssignment.size(), 2);
            for (size_t fixed = 0; fixed < fixedHoses; ++fixed)
                if (m_fixedHoseGroups[fixed] == group && group >= 0) {
                    position = static_cast<int>(fixed);
                    break;
                }
        }
        return true;
    }
    return false;
}
