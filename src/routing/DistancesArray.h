#pragma once

#include "platform/OleDate.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// One matrix cell: what the optimiser reads for every travel.
struct TDistanceCell
{
    float km = 0.0f;
    int32_t minutes = 0;
};
static_assert(sizeof(TDistanceCell) == 8, "cells are read and written as two 4-byte words");

// The path times of one cell: A x B integers.
class CTiemposCamino
{
  public:
    int GetFirstDimension() const { return m_firstDimension; }
    int GetSecondDimension() const { return m_secondDimension; }
    // Grows to `first` x `second` when `first` is larger; old values stay at the start.
    void Grow(int first, int second);
    int32_t* Values() { return m_values.data(); }
    const int32_t* Values() const { return m_values.data(); }

  private:
    int m_firstDimension = 0;
    int m_secondDimension = 0;
    std::vector<int32_t> m_values;
};

// Kilometres and minutes from every node of a class to every other: one contiguous, aligned array
// of cells, row r (origin) and column c (destination) at r x n + c. The path-time tables and the
// slot array are kept apart so the cells stay dense.
class CDistancesArray
{
  public:
    CDistancesArray() = default;
    CDistancesArray(const CDistancesArray&) = delete;
    CDistancesArray& operator=(const CDistancesArray&) = delete;

    // Back to the empty state; the two routing values keep theirs.
    void Free();
    // A zero-filled n x n matrix; with tables, one A x B path-time table per cell.
    void Allocate(int nodeCount, bool withTables = false, int first = -1, int second = -1);
    void AllocateTables(int first, int second);

    void SetDate(const trv::OleDate& date);
    const trv::OleDate& GetDate() const { return m_date; }

    int GetNodeCount() const { return m_rowCount < 0 ? 0 : m_rowCount; }
    std::size_t GetCellCount() const { return m_cellCount; }
    TDistanceCell* Cells() { return m_cells.get(); }
    const TDistanceCell* Cells() const { return m_cells.get(); }
    TDistanceCell& Cell(int row, int column)
    {
        return m_cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(m_rowCount) +
                       static_cast<std::size_t>(column)];
    }
    const TDistanceCell& Cell(int row, int column) const
    {
        return m_cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(m_rowCount) +
                       static_cast<std::size_t>(column)];
    }
    void SetCell(int row, int column, const TDistanceCell& cell) { Cell(row, column) = cell; }
    // Cell by cell into a matrix at least as large.
    void CopyCells(CDistancesArray& target) const;

    bool HasTables() const { return !m_tables.empty(); }
    CTiemposCamino& GetTable(int row, int column)
    {
        return m_tables[static_cast<std::size_t>(row) * static_cast<std::size_t>(m_rowCount) +
                        static_cast<std::size_t>(column)];
    }
    int GetFirstDimension() const { return m_firstDimension; }
    int GetSecondDimension() const { return m_secondDimension; }
    std::vector<int32_t>& Slots() { return m_slots; }
    const std::vector<int32_t>& Slots() const { return m_slots; }

    int GetVersion() const { return m_version; }
    int GetRoutingValue1() const { return m_routingValue1; }
    int GetRoutingValue2() const { return m_routingValue2; }
    void SetRoutingValues(int first, int second)
    {
        m_routingValue1 = first;
        m_routingValue2 = second;
    }
    int GetStraightLineFlag() const { return m_straightLine; }
    void SetStraightLineFlag(int flag) { m_straightLine = flag; }

    // The binary file: written to a temporary name, then renamed over `path`, so a failed write
    // never replaces a good file. False when it cannot be written (no message).
    bool Save(const std::string& path);
    // Reads a binary file, or the older text layout; false on a missing, empty, truncated or
    // impossible file, or on a cell that has no way between its nodes.
    bool Load(const std::string& path);
    // Copies the class's cache file of the per-process temporary folder beside the plan; true
    // when there is no cache file. "FileCannotWrite" and false when the copy fails.
    static bool Export(const std::string& planPath, int classNumber);

    // "Distance_<class>.dat" in the per-process temporary folder.
    static std::string GetCacheFile(int classNumber);
    // The plan's path without its extension, "_<class>.dst".
    static std::string GetPlanFile(const std::string& planPath, int classNumber);

  private:
    struct AlignedFree
    {
        void operator()(TDistanceCell* cells) const;
    };

    bool LoadBinary(std::FILE* file, long long fileLength);
    bool LoadText(std::FILE* file, long long fileLength);
    // Reads the cells of a file without path-time tables, converting them on a second thread
    // as the blocks arrive; `noWay` becomes the first cell with no way, if any. False when the
    // file ends early.
    bool ReadAndConvertCells(std::FILE* file, std::size_t& noWay);
    // Allocates the cell array, cleared or not (a reader fills every cell). The array in hand
    // is reused when it is large enough, so reloading a plan takes no new pages.
    void AllocateCells(std::size_t count, bool zeroFill);
    // Free, keeping the cell array for the next allocation.
    void Reset();
    // "NoWayBetween" for the cell at `index`.
    void ReportNoWay(std::size_t index) const;

    std::unique_ptr<TDistanceCell[], AlignedFree> m_cells;
    std::size_t m_cellCount = 0;
    std::size_t m_cellCapacity = 0;
    std::vector<CTiemposCamino> m_tables;
    int m_secondDimension = -1; // B
    int m_firstDimension = -1;  // A
    std::vector<int32_t> m_slots;
    trv::OleDate m_date;
    int m_version = -1;
    int m_routingValue1 = 0;
    int m_routingValue2 = -1;
    int m_rowCount = -1;
    int m_columnCount = -1;
    int m_straightLine = 0;
};

// The start and stop correction of a computed cell with acceleration distance `accelerationKm`:
// travels shorter than the two acceleration stretches take longer per km. Cells with no time, no
// distance, or a distance of 0 stay as they are.
void ApplyStartStopCorrection(TDistanceCell& cell, float accelerationKm);
// The same with the parameter "DistanciaAceleracion".
void ApplyStartStopCorrection(TDistanceCell& cell);

// Sets the program-wide switch that makes the optimiser derive travel times from cell minutes
// with the hour speed factors and the time corrections. `hourSpeedsLoaded` is the hour speed
// table's loaded flag.
void UpdateTravelTimeAdjustmentFlag(bool hourSpeedsLoaded);
