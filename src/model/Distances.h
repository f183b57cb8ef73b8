#pragma once

// What the demand and fleet models ask of the distance matrices. The routing library implements
// it over its node list and matrices; nothing installed means no matrices.
class CModelDistances
{
  public:
    virtual ~CModelDistances() = default;

    // True once the matrices of the plan are built.
    virtual bool MatricesExist() const = 0;
    // Kilometres and driving minutes from one planning node to another, through the matrix that
    // holds the first node. False when either node has no place in the matrices.
    virtual bool GetKmAndMinutes(int fromNode, int toNode, float& km, int& minutes) const = 0;
    // Position of a speed level among the first matrix's levels; -1 without a matrix or level.
    virtual int FindSpeedLevel(int speedLevelId) const = 0;
    // The number of nodes of the first matrix; 0 without one.
    virtual int GetFirstMatrixNodeCount() const { return 0; }
};
