// A plan's non-combinable files: the matrix files (".coc", ".ccpen") as they are read back, for
// one warehouse (where the older form is read too) and for three.

#include "model/NoCombinable.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
    for (const int expected : {1, 3}) {
        std::vector<CBoolTable> matrices;
        if (!ReadNoCombinableMatrices(bytes, expected, matrices))
            continue;
        for (const CBoolTable& table : matrices)
            if (table.GetRows() > 0 && table.GetColumns() > 0)
                (void)table.GetBit(table.GetColumns() - 1, table.GetRows() - 1);
    }
    return 0;
}
