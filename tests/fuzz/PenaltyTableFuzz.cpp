// Time-penalty files (fixed-width rows of 48 periods), loaded anew and merged.

#include "FuzzSupport.h"
#include "params/PenaltyTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = trv::fuzz::WriteFile("TablaPen.txt", trv::fuzz::AsText(data, size));
    TPenaltyTable table;
    const int result = table.Load(path, false);
    trv::fuzz::Outcome(result == 0 ? "read " + std::to_string(table.GetCount()) + " rows"
                                   : "refused: load result " + std::to_string(result));
    table.Load(path, true);
    for (int row = 0; row <= table.GetCount() + 1 && row < 64; ++row)
        for (const int minutes : {0, 1, -7, 59, 1440, 100000, -2147483647 - 1, 2147483647})
            table.GetPenalty(row, minutes);
    return 0;
}
