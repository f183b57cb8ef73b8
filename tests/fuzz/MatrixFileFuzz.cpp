// Distance matrix files (".dst"/".dat"): the binary layout or the older text one.

#include "FuzzSupport.h"
#include "routing/DistancesArray.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = trv::fuzz::WriteFile("plan_0.dst", trv::fuzz::AsText(data, size));
    CDistancesArray matrix;
    if (!matrix.Load(path)) {
        trv::fuzz::Outcome("refused: not a matrix file");
        return 0;
    }
    trv::fuzz::Outcome("read " + std::to_string(matrix.GetNodeCount()) + " nodes");
    const std::size_t n = static_cast<std::size_t>(matrix.GetNodeCount());
    TRV_FUZZ_CHECK(matrix.GetCellCount() == n * n);
    // Every cell is readable, and a matrix that loads writes and reads back the same.
    long long minutes = 0;
    for (std::size_t cell = 0; cell < matrix.GetCellCount(); ++cell)
        minutes += matrix.Cells()[cell].minutes;
    (void)minutes;
    TRV_FUZZ_CHECK(matrix.Save(path));
    CDistancesArray again;
    TRV_FUZZ_CHECK(again.Load(path));
    TRV_FUZZ_CHECK(again.GetCellCount() == matrix.GetCellCount());
    return 0;
}
