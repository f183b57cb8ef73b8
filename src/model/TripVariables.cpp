// The key sets of a plan: the stop point (entity kind 11), a planned vehicle's load state
// (entity kind 9) and its evaluated totals (entity kind 10). Result writing reads them.

#include "model/TruckTrips.h"
#include "model/VariableBuilders.h"
#include "model/VariableRegistration.h"
#include "params/TrevantorVariables.h"

using namespace model_variables;

namespace {

constexpr int kWritten = VAR_USE_WRITE | VAR_USE_SHOWN;

template <class Entity, class Storage> struct TKeyBinding
{
    const char* key;
    Storage Entity::*member;
};

template <class Entity>
void AddFloats(CTrevantorVariablesKeys& keys,
               std::initializer_list<TKeyBinding<Entity, float>> list)
{
    for (const auto& binding : list)
        keys.AddFloat(binding.key, VarMember(binding.member), binding.key, "", 0, 0, 0, kWritten);
}

template <class Entity>
void AddInts(CTrevantorVariablesKeys& keys,
             std::initializer_list<TKeyBinding<Entity, int32_t>> list)
{
    for (const auto& binding : list)
        keys.AddInt(binding.key, VarMember(binding.member), binding.key, "", 0, 0, kWritten);
}

template <class Entity>
void AddTimes(CTrevantorVariablesKeys& keys,
              std::initializer_list<TKeyBinding<Entity, int32_t>> list)
{
    for (const auto& binding : list)
        keys.AddTime(binding.key, VarMember(binding.member), binding.key, "", 0, 0, kWritten);
}

// The load state's fields, reached through the plan that holds it.
template <class Storage> TVarAccessorPtr LoadState(Storage TVehicleLoadCounters::*member)
{
    return VarField<CTruckTrips>(
        [member](CTruckTrips& plan) -> Storage& { return plan.loadState.*member; });
}

} // namespace

void InitStopPointVariables(CTrevantorVariables&, CTrevantorVariablesKeys& keys)
{
    using S = CStopPoint;
    CSmartStringArray typeNames;
    FillStopTypeNames(typeNames);
    keys.AddEnum("STOP_POINT_TYPE", VarMember(&S::type), typeNames, 0, 0, "STOP_POINT_TYPE", "", 0,
                 kWritten);
    AddFloats<S>(keys, {{"STOP_POINT_KM", &S::km}, {"STOP_POINT_EXTRA_KM", &S::extraKm}});
    AddTimes<S>(keys, {{"STOP_POINT_START", &S::start}, {"STOP_POINT_END", &S::end}});
    AddInts<S>(keys, {{"STOP_POINT_VALID", &S::validFlags},
                      {"STOP_POINT_TRIP_NUMBER", &S::tripNumber},
                      {"STOP_POINT_SUBTRIP_NUMBER", &S::subTripNumber}});
    const TKeyBinding<S, std::string> texts[] = {
        {"STOP_POINT_REAL_LOADED", &S::realLoaded},
        {"STOP_POINT_REAL_REMAIN", &S::realRemain},
        {"STOP_POINT_PRODUCT_QUANTITIES", &S::productQuantities},
        {"STOP_POINT_CONDUCTORES_CON_ESCOBA", &S::escobaDrivers},
    };
    for (const auto& text : texts)
        keys.AddString(text.key, VarMember(text.member), -1, text.key, "", "", 0, kWritten);
    AddFloats<S>(keys, {{"STOP_POINT_QUANTITY", &S::quantity},
                        {"STOP_POINT_VOLUME", &S::volume},
                        {"STOP_POINT_SURFACE", &S::surface},
                        {"STOP_POINT_FARE_COST", &S::fareCost},
                        {"STOP_POINT_UNITARY_FARE_COST", &S::unitaryFareCost},
                        {"STOP_POINT_PURE_FARE_COST", &S::pureFareCost},
                        {"STOP_POINT_UNITARY_PURE_FARE_COST", &S::unitaryPureFareCost},
                        {"STOP_POINT_COST_FARE_ORDER", &S::costFareOrder}});
    AddInts<S>(keys, {{"STOP_POINT_COST_TIME_ORDER", &S::costTimeOrder}});
    keys.AddBool("STOP_POINT_CHANGED_DAY", VarMember(&S::changedDay), "STOP_POINT_CHANGED_DAY", "",
                 0, 0, kWritten);
    keys.AddBool("STOP_POINT_CHANGED_VEHICLE", VarMember(&S::changedVehicle),
                 "STOP_POINT_CHANGED_VEHICLE", "", 0, 0, kWritten);
    AddFloats<S>(keys, {{"STOP_POINT_PORCENTAJE_LLENADO_CANTIDAD1", &S::fillingPercent1},
                        {"STOP_POINT_PORCENTAJE_LLENADO_CANTIDAD2", &S::fillingPercent2},
                        {"STOP_POINT_PORCENTAJE_EFICIENCIA", &S::efficiencyPercent},
                        {"KMENVACIO_VS_KM", &S::emptyKmRatio}});
    AddInts<S>(keys, {{"EMPTY_TANKS", &S::emptyTanks}});
    // The stop's day counts from its start minute; the dates add it to the planning date.
    keys.AddInt("STOP_DAYS", VarMember(&S::start), "STOP_DAYS", "", 0, 0, 0);
    keys.AddDateExpression("SCHEDULING_DATE + STOP_DAYS", "SCHEDULING_DATE + STOP_DAYS", "",
                           trv::OleDate(), 0, kWritten);
    keys.AddWeekNumber("#WEEK#SCHEDULING_DATE + STOP_DAYS", "#WEEK#SCHEDULING_DATE + STOP_DAYS", "",
                       trv::OleDate(), 0, kWritten);
    keys.AddDayOfWeek("#DAYOFWEEK#SCHEDULING_DATE + STOP_DAYS",
                      "#DAYOFWEEK#SCHEDULING_DATE + STOP_DAYS", "", trv::OleDate(), 0, kWritten);
}

void InitLorryTotalsVariables(CTrevantorVariables&, CTrevantorVariablesKeys& keys)
{
    using L = TVehicleLoadCounters;
    const TKeyBinding<L, int32_t> ints[] = {
        {"RESOURCE_INDEX", &L::pairRow},
        {"NUMBER_OF_CUSTOMERS", &L::numberOfCustomers},
        {"NUMBER_OF_TRIPS", &L::numberOfTrips},
        {"NUMBER_OF_LOADS", &L::numberOfLoads},
    };
    for (const auto& binding : ints)
        keys.AddInt(binding.key, LoadState(binding.member), binding.key, "", 0, 0, kWritten);
    const TKeyBinding<L, int32_t> times[] = {
        {"ARRIVAL_TIME_TO_DEPOT", &L::currentTime},
        {"DURACION_PARADA", &L::stopMinutes},
        {"EXTRA_DRIVING_TIME", &L::extraDrivingMinutes},
        {"EXTRA_WORKING_TIME_END_TIME", &L::extraWorkingEndMinutes},
        {"EXTRA_WORKING_TIME", &L::extraWorkingMinutes},
        {"TIME_OUT_OF_TIME_WINDOWS", &L::minutesOutOfWindows},
    };
    for (const auto& binding : times)
        keys.AddTime(binding.key, LoadState(binding.member), binding.key, "", 0, 0, kWritten);
    const TKeyBinding<L, float> floats[] = {
        {"TOTAL_KM", &L::totalKm},
        {"DRIVER_COST", &L::driverCost},
        {"KM_EN_VACIO", &L::emptyKm},
    };
    for (const auto& binding : floats)
        keys.AddFloat(binding.key, LoadState(binding.member), binding.key, "", 0, 0, 0, kWritten);
}

void InitTripTotalsVariables(CTrevantorVariables&, CTrevantorVariablesKeys& keys)
{
    using T = TTripTotals;
    AddTimes<T>(keys, {{"WORKING_TIME", &T::workingMinutes},
                       {"DRIVING_TIME", &T::drivingMinutes},
                       {"BREACH_TIME", &T::breachMinutes}});
    AddFloats<T>(keys, {{"PORCENTAJE_EFICIENCIA", &T::efficiencyPercent}});
    AddTimes<T>(keys, {{"REALTIME_WORKING_TIME", &T::realTimeWorkingMinutes},
                       {"REALTIME_DRIVING_TIME", &T::realTimeDrivingMinutes}});
    AddFloats<T>(keys, {{"REALTIME_KM", &T::realTimeKm},
                        {"VEHICLE_COST", &T::vehicleCost},
                        {"TOTAL_COST", &T::totalCost},
                        {"FARE_LORRY_COST", &T::fareLorryCost},
                        {"PURE_FARE_LORRY_COST", &T::pureFareLorryCost},
                        {"TOTAL_DIETAS", &T::totalAllowances}});
    keys.AddDuration("HORA_PARADA", VarMember(&T::stopDuration), 0, 2147483647, "HORA_PARADA", "",
                     0, 0, kWritten);
    AddFloats<T>(keys, {{"COBRADO_SERVICIOS", &T::chargedServices},
                        {"CANTIDAD1_VIAJES", &T::quantity1Trips},
                        {"CANTIDAD2_VIAJES", &T::quantity2Trips}});
    AddTimes<T>(
        keys,
        {{"START_TIME", &T::startTime}, {"END_TIME", &T::endTime}, {"TOTAL_TIME", &T::totalTime}});
    AddInts<T>(keys, {{"NUMBER_OF_NIGHTS", &T::numberOfNights},
                      {"NUMBER_OF_NIGHTS_OUT_HOME", &T::numberOfNightsOutHome}});
    AddFloats<T>(keys, {{"AVERAGE_SPEED", &T::averageSpeed},
                        {"KM_VS_ENTREGAS", &T::kmPerDelivery},
                        {"CANTIDAD1_VS_KM", &T::quantity1PerKm},
                        {"CANTIDAD2_VS_KM", &T::quantity2PerKm},
                        {"CANTIDAD1_VS_TIEMPOTRABAJO", &T::quantity1PerWorkingTime},
                        {"CANTIDAD2_VS_TIEMPOTRABAJO", &T::quantity2PerWorkingTime},
                        {"CUSTOMERS_VS_TRIPS", &T::customersPerTrip},
                        {"PORCENTAJE_LLENADO_CANTIDAD1", &T::fillingPercent1},
                        {"PORCENTAJE_LLENADO_CANTIDAD2", &T::fillingPercent2},
                        {"KMENVACIO_VS_KM", &T::emptyKmPercent}});
    keys.AddString("TRAILERS_USED_BY_DRIVER", VarMember(&T::trailersUsed), -1,
                   "TRAILERS_USED_BY_DRIVER", "", "", 0, kWritten);
    keys.AddString("TRUCKS_USED_BY_DRIVER", VarMember(&T::trucksUsed), -1, "TRUCKS_USED_BY_DRIVER",
                   "", "", 0, kWritten);
}
