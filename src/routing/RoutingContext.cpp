#include "routing/RoutingContext.h"

#include "model/ModelContext.h"

#include <algorithm>

namespace {

std::unique_ptr<CRoutingContext>& Instance()
{
    static std::unique_ptr<CRoutingContext> context = std::make_unique<CRoutingContext>();
    return context;
}

} // namespace

CDistancesArray* CRoutingContext::AddMatrix()
{
    matrices.push_back(std::make_unique<CDistancesArray>());
    return matrices.back().get();
}

CBoolTable* CRoutingContext::AddRoutedPairsTable()
{
    routedPairs.push_back(std::make_unique<CBoolTable>());
    return routedPairs.back().get();
}

void CRoutingContext::ClearMatrices()
{
    matrices.clear();
    matricesBuilt = false;
}

CRoutingContext& RoutingContext()
{
    return *Instance();
}

void ResetRoutingContext()
{
    Instance() = std::make_unique<CRoutingContext>();
}

bool CRoutingDistances::MatricesExist() const
{
    return RoutingContext().matricesBuilt;
}

bool CRoutingDistances::GetKmAndMinutes(int fromNode, int toNode, float& km, int& minutes) const
{
    return RoutingContext().GetKmAndMinutes(fromNode, toNode, km, minutes);
}

int CRoutingDistances::FindSpeedLevel(int speedLevelId) const
{
    const CRoutingContext& context = RoutingContext();
    if (context.matrices.empty() || context.matrices.front() == nullptr)
        return -1;
    const std::vector<int32_t>& levels = context.matrices.front()->Slots();
    const auto found = std::find(levels.begin(), levels.end(), speedLevelId);
    return found == levels.end() ? -1 : static_cast<int>(found - levels.begin());
}

int CRoutingDistances::GetFirstMatrixNodeCount() const
{
    const CRoutingContext& context = RoutingContext();
    if (context.matrices.empty() || context.matrices.front() == nullptr)
        return 0;
    return context.matrices.front()->GetNodeCount();
}

void InstallRoutingDistances()
{
    static const CRoutingDistances distances;
    ModelContext().distances = &distances;
}
