// The model's builders in the catalogue's slots, as the plan document starts it.

#include "model/VariableBuilders.h"

#include "params/TrevantorVariables.h"

#include <gtest/gtest.h>

namespace {

TEST(VariableBuildersTest, TheCatalogueStartsWithTheModelsBuilders)
{
    ResetTrevantorVariables();
    CTrevantorVariables& catalogue = TrevantorVariables();
    InstallVariableBuilders(catalogue);
    catalogue.Init();
    const int kinds[] = {ENTITY_ORDER,      ENTITY_ORDER_LINE,   ENTITY_CUSTOMER,
                         ENTITY_TRUCK,      ENTITY_TRAILER,      ENTITY_DRIVER,
                         ENTITY_RESOURCE,   ENTITY_LORRY_TOTALS, ENTITY_TRIP_TOTALS,
                         ENTITY_STOP_POINT, ENTITY_LOCATION,     -1,
                         ENTITY_WAREHOUSE};
    for (int slot = 0; slot < KEYS_BUILT_COUNT; ++slot) {
        EXPECT_EQ(catalogue.GetKeySet(slot).m_nEntityKind, kinds[slot]) << slot;
        EXPECT_EQ(catalogue.GetKeySet(slot).m_pOwner, &catalogue) << slot;
    }
    // Every name the builders register is found in the catalogue's map.
    for (int slot = 0; slot < KEYS_BUILT_COUNT; ++slot) {
        const CTrevantorVariablesKeys& keys = catalogue.GetKeySet(slot);
        for (int i = 0; i < keys.GetSize(); ++i)
            EXPECT_NE(catalogue.Lookup(keys.GetVariable(i)->name), nullptr);
    }
    ResetTrevantorVariables();
}

} // namespace
