#pragma once

#include <optional>

// The conditioned-incompatibility matrices of the orders' companion tables, one per vehicle
// type: the threshold of a cell (group of the load in a tank, group that follows it). The
// companion tables install it; nothing installed means no matrices.
class CConditionedIncompatibilities
{
  public:
    virtual ~CConditionedIncompatibilities() = default;

    virtual bool HasMatrix(int vehicleType) const = 0;
    // None for a negative group, a group beyond the matrix, an absent cell or matrix.
    virtual std::optional<float> GetThreshold(int vehicleType, int group, int nextGroup) const = 0;
};
