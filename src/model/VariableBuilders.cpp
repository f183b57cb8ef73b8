#include "model/VariableBuilders.h"

#include "model/HourSpeeds.h"
#include "params/TrevantorVariables.h"

void InstallVariableBuilders(CTrevantorVariables& catalogue)
{
    catalogue.SetBuilder(KEYS_ORDER, InitOrderVariables);
    catalogue.SetBuilder(KEYS_ORDER_LINE, InitOrderLineVariables);
    catalogue.SetBuilder(KEYS_CUSTOMER, InitCustomerVariables);
    catalogue.SetBuilder(KEYS_TRUCK, InitTruckVariables);
    catalogue.SetBuilder(KEYS_TRAILER, InitTrailerVariables);
    catalogue.SetBuilder(KEYS_DRIVER, InitDriverVariables);
    catalogue.SetBuilder(KEYS_RESOURCE, InitResourceVariables);
    catalogue.SetBuilder(KEYS_LORRY_TOTALS, InitLorryTotalsVariables);
    catalogue.SetBuilder(KEYS_TRIP_TOTALS, InitTripTotalsVariables);
    catalogue.SetBuilder(KEYS_STOP_POINT, InitStopPointVariables);
    catalogue.SetBuilder(KEYS_LOCATION, InitLocationVariables);
    catalogue.SetBuilder(KEYS_LOCATION_ENTRY, InitLocationEntryVariables);
    catalogue.SetBuilder(KEYS_WAREHOUSE, InitWarehouseVariables);
    catalogue.SetTripsIncompatibilityTest(TripsIncompatibilitiesLoaded);
}
