// The matrix worker's input and output files: one parser each, the output checked against the
// size the first two words ask for.

#include "FuzzSupport.h"
#include "routing/MatrixWorker.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    std::vector<TRoutingPoint> origins;
    std::vector<TRoutingPoint> nodes;
    std::string error;
    if (ParseMatrixInput(bytes, size, origins, nodes, error)) {
        TRV_FUZZ_CHECK(origins.size() <= nodes.size());
        TRV_FUZZ_CHECK(size == 8 + 8 * (origins.size() + nodes.size()));
    }
    if (size < 8)
        return 0;
    int32_t rows = 0;
    int32_t columns = 0;
    std::memcpy(&rows, bytes, 4);
    std::memcpy(&columns, bytes + 4, 4);
    std::vector<TMatrixOutputCell> cells;
    if (ParseMatrixOutput(bytes, size, rows, columns, cells, error))
        TRV_FUZZ_CHECK(cells.size() * 8 + 8 == size);
    // Asked for another shape, the same bytes are refused.
    if (rows < INT32_MAX)
        TRV_FUZZ_CHECK(!ParseMatrixOutput(bytes, size, rows + 1, columns, cells, error));
    return 0;
}
