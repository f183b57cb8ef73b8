// Speed-table files (an INI file of road-class speeds and routing factors).

#include "FuzzSupport.h"
#include "params/SpeedTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = trv::fuzz::WriteFile("SpeedTable.ini", trv::fuzz::AsText(data, size));
    TSpeedTable table;
    ReadSpeedTable(table, path);
    trv::fuzz::Outcome("read");
    return 0;
}
