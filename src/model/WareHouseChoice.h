#pragma once

#include "model/WareHouses.h"

#include <cstddef>

// The tables an optimiser start builds to choose loading warehouses: which warehouse may load
// which order, and for every node, order and pair row the usable warehouses ranked by detour.

// The matrix of allowed origins (in the model context) sized to the orders and warehouses,
// all clear.
void ResizeOrderWarehouseMatrix();
// Each order may load at the common warehouses of its lines, or anywhere when they have none.
void BuildOrderWarehouseMatrix();
// Frees the warehouses' nearness table and rebuilds it when an order that is not loose has no
// fixed loading warehouse under the loading problem in force. Lists that would take more than
// `storedBudgetBytes` are ranked on each lookup instead of being stored.
void ResetWareHouseGlobals(
    std::size_t storedBudgetBytes = CWareHouseNearnessTable::kStoredBudgetBytes);
