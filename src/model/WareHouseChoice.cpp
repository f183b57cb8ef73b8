#include "model/WareHouseChoice.h"

#include "model/ModelContext.h"
#include "model/Resources.h"
#include "params/Parameters.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace {

// Whether some order that is not loose has no loading warehouse fixed in advance.
bool NearnessNeeded(int loadingProblem)
{
    if (loadingProblem == 0)
        return false;
    for (const COrder* order : ModelContext().orders) {
        if (IsLooseKind(order->plan.kind))
            continue;
        if (loadingProblem < 2 || loadingProblem > 5)
            return true;
        if (loadingProblem == 3 && order->plan.warehouseIndex == -1)
            return true;
        if ((loadingProblem == 4 || loadingProblem == 5) &&
            order->wareHouse.location.nodeIndex == -1)
            return true;
    }
    return false;
}

// Km from one node to another; -1 when the matrices do not hold the pair.
float Km(const CModelDistances& distances, int fromNode, int toNode)
{
    float km = 0.0f;
    int minutes = 0;
    if (fromNode < 0 || toNode < 0 || !distances.GetKmAndMinutes(fromNode, toNode, km, minutes))
        return -1.0f;
    return km;
}

// What every list of the table is ranked from.
struct TNearnessInputs
{
    int nodes = 0;
    int wareHouses = 0;
    int width = 1;
    std::vector<int32_t> placeOfOrder; // the order's delivery place, -1 without a node
    std::vector<int> placeNodes;       // each place's node
    std::vector<int32_t> maskOfRow;    // each pair row's distinct warehouse mask
    int masks = 0;
    std::vector<uint8_t> usable;   // masks x width: the mask's pairs may load there
    std::vector<float> kmFromNode; // nodes x width, -1 unreachable
    std::vector<float> kmToPlace;  // width x places, -1 unreachable
};

TNearnessInputs GatherInputs(const CModelDistances& distances)
{
    TNearnessInputs inputs;
    CModelContext& context = ModelContext();
    const CWareHouses& wareHouses = context.wareHouses;
    inputs.nodes = distances.GetFirstMatrixNodeCount();
    inputs.wareHouses = wareHouses.GetSize();
    inputs.width = std::max(1, inputs.wareHouses);
    const std::size_t width = static_cast<std::size_t>(inputs.width);

    // Orders delivering at one node share every list.
    std::unordered_map<int, int32_t> placeOfNode;
    for (const COrder* order : context.orders) {
        const int node = order->customer.location.nodeIndex;
        int32_t place = -1;
        if (node >= 0) {
            const auto [found, isNew] =
                placeOfNode.try_emplace(node, static_cast<int32_t>(inputs.placeNodes.size()));
            if (isNew)
                inputs.placeNodes.push_back(node);
            place = found->second;
        }
        inputs.placeOfOrder.push_back(place);
    }

    // Pairs with one warehouse mask reject the same warehouses.
    CLorriesDrivers& pairs = Resources().pairs;
    CSmartStringArray masks;
    const int rows = pairs.BuildWarehouseMasks(masks);
    inputs.masks = masks.GetSize();
    inputs.maskOfRow.assign(static_cast<std::size_t>(rows), -1);
    inputs.usable.assign(static_cast<std::size_t>(inputs.masks) * width, 0);
    std::vector<bool> maskSeen(static_cast<std::size_t>(inputs.masks), false);
    const CPairWarehouseRejections* rejections = Resources().warehouseRejections;
    for (int row = 0; row < rows; ++row) {
        const int mask = masks.Find(pairs[row]->warehouseMaskText);
        inputs.maskOfRow[static_cast<std::size_t>(row)] = mask;
        if (mask < 0 || maskSeen[static_cast<std::size_t>(mask)])
            continue;
        maskSeen[static_cast<std::size_t>(mask)] = true;
        for (int w = 0; w < inputs.wareHouses; ++w) {
            const bool rejected =
                rejections && w < rejections->GetWarehouseCount() && rejections->IsRejected(row, w);
            const bool located = wareHouses[w]->location.nodeIndex >= 0;
            inputs.usable[static_cast<std::size_t>(mask) * width + static_cast<std::size_t>(w)] =
                !rejected && located ? 1 : 0;
        }
    }

    const std::size_t places = inputs.placeNodes.size();
    inputs.kmFromNode.assign(static_cast<std::size_t>(inputs.nodes) * width, -1.0f);
    inputs.kmToPlace.assign(width * places, -1.0f);
    for (int w = 0; w < inputs.wareHouses; ++w) {
        const int wareHouseNode = wareHouses[w]->location.nodeIndex;
        if (wareHouseNode < 0)
            continue;
        for (int node = 0; node < inputs.nodes; ++node)
            inputs
                .kmFromNode[static_cast<std::size_t>(node) * width + static_cast<std::size_t>(w)] =
                Km(distances, node, wareHouseNode);
        for (std::size_t place = 0; place < places; ++place)
            inputs.kmToPlace[static_cast<std::size_t>(w) * places + place] =
                Km(distances, wareHouseNode, inputs.placeNodes[place]);
    }
    return inputs;
}

// Ranks every (node, place) once over all warehouses; each mask's list keeps that order
// without the warehouses it may not use.
void StoreLists(CWareHouseNearnessTable& table, const TNearnessInputs& inputs)
{
    const int width = inputs.width;
    const std::size_t places = inputs.placeNodes.size();
    std::vector<float> keys(static_cast<std::size_t>(width));
    std::vector<uint8_t> everyWareHouse(static_cast<std::size_t>(width), 1);
    std::vector<int32_t> ranked(static_cast<std::size_t>(width));
    std::vector<int32_t> list(static_cast<std::size_t>(width));
    for (int node = 0; node < inputs.nodes; ++node) {
        const float* fromNode = inputs.kmFromNode.data() + static_cast<std::size_t>(node) * width;
        for (std::size_t place = 0; place < places; ++place) {
            bool any = false;
            for (int w = 0; w < width; ++w) {
                const float toPlace =
                    inputs.kmToPlace[static_cast<std::size_t>(w) * places + place];
                keys[static_cast<std::size_t>(w)] =
                    fromNode[w] < 0.0f || toPlace < 0.0f ? -1.0f : fromNode[w] + toPlace;
                any = any || keys[static_cast<std::size_t>(w)] >= 0.0f;
            }
            if (!any)
                continue; // the lists stay -1
            CWareHouseNearnessTable::Rank(keys.data(), everyWareHouse.data(), inputs.wareHouses,
                                          ranked.data(), width);
            for (int mask = 0; mask < inputs.masks; ++mask) {
                const uint8_t* usable =
                    inputs.usable.data() + static_cast<std::size_t>(mask) * width;
                std::fill(list.begin(), list.end(), -1);
                int kept = 0;
                for (int i = 0; i < width && ranked[static_cast<std::size_t>(i)] >= 0; ++i)
                    if (usable[ranked[static_cast<std::size_t>(i)]])
                        list[static_cast<std::size_t>(kept++)] =
                            ranked[static_cast<std::size_t>(i)];
                table.SetRanked(node, static_cast<int>(place), mask, list.data());
            }
        }
    }
}

} // namespace

void ResizeOrderWarehouseMatrix()
{
    CModelContext& context = ModelContext();
    context.orderWarehouseMatrix.Create(context.wareHouses.GetSize(), context.orders.GetSize());
}

void BuildOrderWarehouseMatrix()
{
    ResizeOrderWarehouseMatrix();
    CModelContext& context = ModelContext();
    CBoolTable& matrix = context.orderWarehouseMatrix;
    const int wareHouses = context.wareHouses.GetSize();
    for (int row = 0; row < context.orders.GetSize(); ++row) {
        const CSmartUIntArray& common = context.orders[row]->lines.commonWarehouses;
        if (common.GetSize() == 0) {
            if (wareHouses > 0)
                matrix.SetRange(0, wareHouses - 1, row);
            continue;
        }
        for (unsigned int wareHouse : common)
            if (wareHouse < static_cast<unsigned int>(wareHouses)) // no bit outside the table
                matrix.SetBit(static_cast<int>(wareHouse), row);
    }
}

void ResetWareHouseGlobals(std::size_t storedBudgetBytes)
{
    CModelContext& context = ModelContext();
    CWareHouseNearnessTable& table = context.wareHouses.GetNearnessTable();
    table.Reset();
    if (!context.distances || !NearnessNeeded(UserParameters().LoadingProblem))
        return;
    TNearnessInputs inputs = GatherInputs(*context.distances);
    const int places = static_cast<int>(inputs.placeNodes.size());
    const bool store = CWareHouseNearnessTable::StoredBytes(inputs.nodes, places, inputs.masks,
                                                            inputs.width) <= storedBudgetBytes;
    table.Create(inputs.nodes, std::move(inputs.placeOfOrder), places, std::move(inputs.maskOfRow),
                 inputs.masks, inputs.width, store);
    if (store) {
        StoreLists(table, inputs);
        return;
    }
    table.SetDetours(std::move(inputs.kmFromNode), std::move(inputs.kmToPlace),
                     std::move(inputs.usable));
}
