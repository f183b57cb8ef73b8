#pragma once

#include "routing/RoutingContext.h"

#include <utility>
#include <vector>

// Nodes of the routing context at the points (degrees), each at its own row of matrix class 0;
// the class's node list. Shared by the routing tests and benchmarks.
inline std::vector<int> AddClassNodes(const std::vector<std::pair<double, double>>& points)
{
    CRoutingContext& context = RoutingContext();
    std::vector<int> classNodes;
    for (const auto& [x, y] : points) {
        const int node = context.nodes.GetSize();
        CNode* point = context.nodes.GetOrCreateNode(node);
        point->x = x;
        point->y = y;
        context.partition.GetEntry(node) = {0, node};
        classNodes.push_back(node);
    }
    return classNodes;
}
