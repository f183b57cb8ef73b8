// A plan's non-combinable rules (".ccdef") read through their definition: numbers in the C
// locale, bad radii dropped.

#include "FetchFuzz.h"
#include "model/NoCombinable.h"

namespace {

constexpr std::string_view kDefinitions =
    "[INT_NOCOMBINABLESCOORDS_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\n"
    "[INT_NOCOMBINABLESCOORDS]\nID=1\nCOORD1LON=2\nCOORD1LAT=3\nCOORD2LON=4\nCOORD2LAT=5\n"
    "RADIX1=6\nRADIX2=7\nTIPO_RECHAZO=8\nACTIVADO=9\n";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& definitions = trv::fuzz::Definitions(kDefinitions);
    const std::string input = trv::fuzz::WriteFile("plan.ccdef", trv::fuzz::AsText(data, size));
    CNoCombinable rules;
    rules.SetDefinitionFile(definitions);
    rules.ImportFromPlan(input.substr(0, input.size() - 6), 1);
    for (const TNoCombinableRule& rule : rules.GetRules())
        (void)CNoCombinable::IsInRadius({rule.longitude1, rule.latitude1},
                                        {rule.longitude2, rule.latitude2}, rule.radius1Km);
    return 0;
}
