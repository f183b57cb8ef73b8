// The gazetteer: a fuzzed ';' text file of places loaded, searched and asked for countries.

#include "FetchFuzz.h"
#include "model/LookupTables.h"
#include "routing/Gazetteer.h"

namespace {

// The bundled definition of the gazetteer, written as the program folder's definitions file.
constexpr std::string_view kDefinition =
    "[GAZETTEER_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\nHEADERSIZE=1\n"
    "[GAZETTEER]\nCOUNTRY=1\nPOSTCODE=2\nCITY=3\nSUBURB=4\nSTREET=5\nNUMBER=6\nLONGITUDE=7\n"
    "LATITUDE=8\n";

void Prepare()
{
    static const bool prepared = [] {
        BuildCountryTable();
        CFetch::ResetDefinitionFiles();
        trv::fuzz::WriteFile("Data.ini",
                             std::string(trv::fuzz::kFormats) + std::string(kDefinition));
        return true;
    }();
    (void)prepared;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Prepare();
    const std::string path = trv::fuzz::WriteFile("Gazetteer.csv", trv::fuzz::AsText(data, size));
    CGazetteer gazetteer;
    TRV_FUZZ_CHECK(gazetteer.Load(path));
    trv::fuzz::Outcome("places: " + std::to_string(gazetteer.GetCount()));
    std::vector<TGeocoderRow> rows;
    gazetteer.Search("E", "28001", "MADRID", "", "CALLE MAYOR 12", rows);
    gazetteer.Search("", "", "ALCALA", "", "", rows);
    TRV_FUZZ_CHECK(rows.size() <= 2 * static_cast<std::size_t>(gazetteer.GetCount()));
    for (const double longitude : {-180.0, -3.7, 0.0, 179.9})
        for (const double latitude : {-90.0, 40.4, 89.9})
            gazetteer.GetCountryAt(longitude, latitude);
    return 0;
}
