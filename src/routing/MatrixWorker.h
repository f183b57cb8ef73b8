#pragma once

#include "routing/RoutingEngine.h"

#include <string>
#include <vector>

// The exchange between the program and its matrix worker processes: every worker routes a
// contiguous block of origins to all the nodes. Files are little-endian 32-bit words:
//   input   R, N, R origin points (x, y), N node points (x, y)
//   output  R, C, R x C cells (km, minutes) as floats, row by row
//   progress one word: 0-100 while working, above 100 once the output is complete

// The worker program's file name, looked for in the program folder.
inline constexpr const char* kMatrixWorkerProgram = "trevantor-matrix-worker";

// One worker's block of origins: positions first .. first + count - 1 of the node order.
struct TMatrixBlock
{
    int first = 0;
    int count = 0;
};

// Splits `nodeCount` origins over `workers` workers (at least one): equal blocks, the first
// blocks one larger for the remainder; fewer nodes than workers give one node per worker.
std::vector<TMatrixBlock> SplitMatrixRows(int nodeCount, int workers);

// The exchange files of worker `index` in `folder` (which ends with '/').
std::string MatrixInputFile(const std::string& folder, int index);
std::string MatrixOutputFile(const std::string& folder, int index);
std::string MatrixProgressFile(const std::string& folder, int index);

// Writes a worker's input: the block's origins taken from `nodes`, then all of `nodes`.
bool WriteMatrixInput(const std::string& path, const std::vector<TRoutingPoint>& nodes,
                      const TMatrixBlock& block);
// Reads a worker's input; false (with the reason) on a short, long or impossible file.
bool ReadMatrixInput(const std::string& path, std::vector<TRoutingPoint>& origins,
                     std::vector<TRoutingPoint>& nodes, std::string& error);
bool ParseMatrixInput(const char* data, std::size_t size, std::vector<TRoutingPoint>& origins,
                      std::vector<TRoutingPoint>& nodes, std::string& error);

// One cell of a worker's output.
struct TMatrixOutputCell
{
    float km = 0.0f;
    float minutes = 0.0f;
};

bool WriteMatrixOutput(const std::string& path, int rows, int columns,
                       const std::vector<TMatrixOutputCell>& cells);
// Reads an output that must hold `rows` x `columns` cells exactly; false (with the reason) on
// any other size or a file of another length.
bool ReadMatrixOutputFile(const std::string& path, int rows, int columns,
                          std::vector<TMatrixOutputCell>& cells, std::string& error);
bool ParseMatrixOutput(const char* data, std::size_t size, int rows, int columns,
                       std::vector<TMatrixOutputCell>& cells, std::string& error);

// Writes the progress word through a temporary name, so a reader never sees half of it.
bool WriteMatrixProgress(const std::string& path, int progress);
// The progress word; -1 when the file is missing or short (the worker has not started).
int ReadMatrixProgress(const std::string& path);

// Minutes of a number of 10-second units, rounded half up: the one rounding of both matrix paths.
int UnitsToMinutes(double units);

// The whole worker: argv as the program passes it (parent process id, worker index, road-editor
// database, speed file, first origin). Reads the input, loads the road data named by
// "NodeGraphPath", routes its rows, writes progress and output. The exit status.
int RunMatrixWorker(int argc, const char* const* argv);
