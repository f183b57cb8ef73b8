// The key sets of the people and planning units of the fleet: the driver (entity kind 5) and
// the lorry-driver pair (entity kind 6).

#include "model/Resources.h"
#include "model/VariableBuilders.h"
#include "model/VariableRegistration.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"

using namespace model_variables;

void InitDriverVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys)
{
    auto width = [&](const char* key) { return catalogue.GetMaxChars(key); };
    const CUserParameters& parameters = UserParameters();
    const bool withoutDriver = parameters.PermitirVehiculosSinConductor != 0;
    keys.AddBool("DRIVER_DEACTIVATED", VarMember(&CDriver::deactivated), "DeactivatedDriver", "", 0,
                 0, kShown);
    keys.AddString("DRIVER_ID", VarMember(&CDriver::id), width("DRIVER_ID"), "", "", "", 0,
                   kReadWrite);
    keys.AddString("DRIVER_CODE", VarMember(&CDriver::code), width("DRIVER_CODE"), "EmployeeNumber",
                   "", "", withoutDriver ? 0 : 1,
                   withoutDriver ? kShown : kShown | VAR_USE_LEADING_SECOND);
    keys.AddString("DRIVER_NAME", VarMember(&CDriver::name), width("DRIVER_NAME"), "DriverName", "",
                   "", 0, kShown);
    keys.AddString("DRIVER_EMAIL", VarMember(&CDriver::email), width("DRIVER_EMAIL"), "DriverEmail",
                   "", "", 0, kShown);
    keys.AddTimeWindow("DRIVER_TIME_WINDOW", Names({"DRIVER_START", "DRIVER_END"}),
                       VarTimeWindow(&CDriver::workingWindow), -14400000, 2879, 2880, "ShiftHours",
                       "", 0, kShown, 0);
    keys.AddDuration("DRIVER_MAX_DRIVE", VarMember(&CDriver::maximumDrivingMinutes), 0, 1439,
                     "MaxDrivingTimeShort", "", 0, 0, kShown);
    const struct
    {
        const char* key;
        float CDriver::*member;
        const char* caption;
    } costs[] = {
        {"DRIVER_HOURLY_COST", &CDriver::hourlyCost, "HourlyCostDriver"},
        {"DRIVER_EXTRA_HOURLY_COST", &CDriver::extraHourlyCost, "ExtraHourlyCostDriver"},
        {"DRIVER_NIGHT_COST", &CDriver::nightCost, "NightCostDriver"},
        {"DRIVER_LUNCH_COST", &CDriver::lunchCost, "LunchCostDriver"},
        {"DRIVER_BREAKFAST_COST", &CDriver::breakfastCost, "BreakfastCostDriver"},
    };
    for (const auto& cost : costs)
        keys.AddFloatAltFormat(cost.key, VarMember(cost.member), cost.caption, "", 0, 0, 0, kShown);
    keys.AddDuration("DRIVER_MAX_WORK", VarMember(&CDriver::maximumWorkingMinutes), 0, 1439,
                     "MaxWorkingTimeShort", "", 0, 0, kShown);
    keys.AddDuration("DRIVER_MAX_WORK_CON_CORTES",
                     VarMember(&CDriver::maximumWorkingMinutesWithCuts), 0, 1439,
                     "MaxWorkingTimeShortConCortes", "", 0, 0, kShown);
    keys.AddInt("DRIVER_MAX_TRIPS", VarMember(&CDriver::maximumTrips), "DriverMaxTrips", "",
                0x7FFFFFFF, 0, kShown);
    keys.AddInt("DRIVER_MAX_PRODUCTS", VarMember(&CDriver::maximumProducts), "DriverMaxProducts",
                "", 0x7FFFFFFF, 0, kShown);
    keys.AddDuration("DRIVER_ACUMULATED_WORKING_TIME",
                     VarMember(&CDriver::accumulatedWorkingMinutes), 0, 2147483647,
                     "AcumulatedWorkingTime", "", 0, 0, kShown);
    keys.AddInt("MAX_TIME_TO_CONSIDER_REST", VarMember(&CDriver::maximumMinutesToConsiderRest),
                "MaxTimeToConsiderRest", "", parameters.MaxTimeToConsiderRest, 0, kShown);
    keys.AddFloat("DRIVER_ACUMULATED_COST", VarMember(&CDriver::accumulatedCost), "AcumulatedCost",
                  "", 0, 0, 0, kShown);
    keys.AddInt("DRIVER_DAYS_ACUMULATED", VarMember(&CDriver::accumulatedDays), "DaysAcumulated",
                "", 0, 0, kShown);
    keys.AddString("EQUAL_GROUP", VarMember(&CDriver::equalGroup), -1, "EqualGroup", "", "", 0,
                   kShown);
    const struct
    {
        const char* key;
        int32_t CDriver::*member;
        const char* caption;
        int defaultValue;
    } tables[] = {
        {"EQUAL_WORK_PNT_TABLE", &CDriver::equalWorkTable, "EqualWorkPntTable", -1},
        {"EQUAL_ACUMULATED_COST", &CDriver::equalAccumulatedCostTable, "EqualAcumulatedCost", 8},
        {"EXTRA_WORK_PNT_TABLE", &CDriver::extraWorkTable, "ExtraWorkPntTable", 2},
        {"LIMIT_WORK_PNT_TABLE", &CDriver::workLimitTable, "LimitWorkPntTable", 2},
        {"ESPERA_COMIENZO_PNT_TABLE", &CDriver::waitingStartTable, "EsperaComienzoPntTable", 7},
        {"PENA_KM", &CDriver::kmTable, "PenaKm", 9},
        {"DRIVER_MINUTES_LUNCHING", &CDriver::lunchMinutes, "DriverMinutesLunching", 0},
        {"DRIVER_MINUTES_BREAKFAST", &CDriver::breakfastMinutes, "DriverMinutesBreakfast", 0},
    };
    for (const auto& table : tables)
        keys.AddInt(table.key, VarMember(table.member), table.caption, "", table.defaultValue, 0,
                    kShown);
    keys.AddDuration("DRIVER_BREAKFAST_TIME", VarMember(&CDriver::breakfastTime), 0, 1439,
                     "BreakfastTime", "", 0, 0, kShown);
    keys.AddTimeWindow("DRIVER_LUNCH_TIME_WINDOW",
                       Names({"DRIVER_LUNCH_START_TIME", "DRIVER_LUNCH_END_TIME"}),
                       VarTimeWindow(&CDriver::lunchWindow), -1440, 1439, 1440, "DriverLunchTime",
                       "", 0, kShown, kUnsetTime);

    auto at = [](auto member) { return LocationMember(&CDriver::base, member); };
    keys.AddString("DRIVER_BASE_CODE", at(&TLocationData::code), width("DRIVER_BASE_CODE"),
                   "DriverBaseCode", "DriverBaseExplanation", "", 0, kShown);
    keys.AddString("DRIVER_BASE_CP", at(&TLocationData::postcode), width("DRIVER_CP_BASE"),
                   "DriverBasePostcode", "", "", 0, kShown);
    keys.AddString("DRIVER_BASE_CITY", at(&TLocationData::city), width("DRIVER_BASE"),
                   "DriverBasePoint", "", "", 0, kShown);
    keys.AddString("DRIVER_BASE_STREET", at(&TLocationData::street), width("DRIVER_BASE_STREET"),
                   "DriverBaseAddress1", "", "", 0, kShown);
    keys.AddInt("DRIVER_BASE_COUNTRY", at(&TLocationData::country), "DriverBaseCountry", "", -1, 0,
                kShownSecond);
    keys.AddString("DRIVER_BASE_NAME", at(&TLocationData::name), width("DRIVER_BASE_NAME"),
                   "DriverBaseName", "", "", 0, kShown);
    keys.AddString("DRIVER_BASE_ID", at(&TLocationData::id), width("DRIVER_BASE_ID"), "", "", "", 0,
                   kReadWrite);
    keys.AddCoordinates(
        "DRIVER_BASE_COORDINATES",
        Names({"DRIVER_BASE_LONGITUDE", "DRIVER_BASE_LATITUDE", "DRIVER_BASE_HEIGHT"}),
        at(&TLocationData::coordinates), "Driver Base Coordinates",
        "DriverBaseCoordinatesExplanation", 0, kShown, 12345678);
    keys.AddInt("DRIVER_INODENUMBER", at(&TLocationData::nodeIndex), "", "", -1, 0, kReadWrite);
    keys.AddString("DRIVER_BASE_NODE_CODE", at(&TLocationData::nodeCode),
                   width("DRIVER_BASE_NODE_CODE"), "", "", "", 0, kReadWrite);
    keys.AddString("DRIVER_BASE_FEEDBACK_CODE", at(&TLocationData::feedbackCode),
                   width("DRIVER_BASE_NODE_CODE"), "DriverFeedBackCode",
                   "DriverFeedbackCodeExplanation", "", 0, kReadWrite);
    keys.AddString("DRIVER_BASE_PHONE_NUMBER", at(&TLocationData::phoneNumber),
                   width("DRIVER_BASE_PHONE_NUMBER"), "DriverBasePhoneNumber", "", "", 0, kShown);
}

void InitResourceVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys)
{
    const CUserParameters& parameters = UserParameters();
    keys.AddInt("RESOURCE_INDEX", VarMember(&CLorryDriver::row), "ResourceIndex", "", 0, 0,
                VAR_USE_WRITE);
    keys.AddBool("RESOURCE_DEACTIVATED", VarMember(&CLorryDriver::deactivated), "DeactivatedLorry",
                 "DeactivatedResourceExplanation", 0, 0, kShown);
    keys.AddBool("RESOURCE_FICTITIOUS", VarMember(&CLorryDriver::fictitious), "FicticiusLorry", "",
                 0, 0, kShown);
    keys.AddBool("RESOURCE_REFUERZO", VarMember(&CLorryDriver::reinforcement), "RefuerzoLorry", "",
                 0, 0, kShown);
    keys.AddBool("RESOURCE_FROZEN", VarMember(&CLorryDriver::frozen), "", "", 0, 0, kReadWrite);
    keys.AddBool("RESOURCE_WAREHOUSE_REJECTED", VarMember(&CLorryDriver::warehouseRejected), "", "",
                 0, 0, kReadWrite);
    keys.AddRequirements("RESOURCE_REQUIREMENTS", VarMember(&CLorryDriver::requirements), "", "", 0,
                         kShown);
    keys.AddVariableOfKind("RESOURCE_INFORMATIVE_VALUES",
                           VarMember(&CLorryDriver::informativeValues), VAR_RESOURCE_INFO, "", "",
                           0, kShown);
    keys.AddFloat("COST_FOR_RESOURCE_USED", VarMember(&CLorryDriver::costForResourceUsed),
                  "CostForResourceUsed", "", parameters.CostForResourceUsed, 0, 0, kShown);
    keys.AddInt("CUSTOM_COLOR_DEFINITION", VarMember(&CLorryDriver::customColor), "CustomColor", "",
                0x1000000, 0, kReadWrite);
    keys.AddCoordinates(
        "REAL_POSITION_COORDINATES",
        Names({"LONGITUDE_REAL_POSITION", "LATITUDE_REAL_POSITION", "HEIGHT_REAL_POSITION"}),
        VarMember(&CLorryDriver::realPosition), "Real Position Coordinates",
        "RealPositionCoordinatesExplanation", 0, kReadWrite, 12345678);
    keys.AddString("RESOURCE_GPS_ID", VarMember(&CLorryDriver::gpsId),
                   catalogue.GetMaxChars("RESOURCE_GPS_ID"), "RESOURCE_GPS_ID",
                   "RESOURCE_GPS_ID_Explanation", "", 0, kShown);
    keys.AddBool("NO_CHEAPEST", VarMember(&CLorryDriver::noCheapest), "NoCheapest", "", 0, 0,
                 kShown);
    CSmartStringArray cardTypes;
    FillTransportCardTypes(cardTypes);
    keys.AddEnum("TRANSPORT_CARD_TYPE", VarMember(&CLorryDriver::transportCardType), cardTypes, 0,
                 0, "TransportCardType", "", 0, kShown);
    keys.AddInt("PROVINCIA_TARJETA_COMARCAL", VarMember(&CLorryDriver::cardProvince),
                "ProvinciaTarjetaComarcal", "", 0, 0, kShown);
    auto card = [](auto member) { return LocationMember(&CLorryDriver::cardLocation, member); };
    keys.AddString("TRANSPORT_CARD_ID", card(&TLocationData::id), -1, "", "", "", 0, kReadWrite);
    keys.AddString("TRANSPORT_CARD_CODE", card(&TLocationData::code), -1, "TransportCardCode", "",
                   "", 0, kShownSecond);
    keys.AddString("TRANSPORT_CARD_NAME", card(&TLocationData::name), -1, "TransportCardName", "",
                   "", 0, kShownSecond);
    keys.AddString("TRANSPORT_CARD_CITY", card(&TLocationData::city), -1, "TransportCardTown",
                   "TransportCardExplanation", "", 0, kShownSecond);
    keys.AddString("TRANSPORT_CARD_CP", card(&TLocationData::postcode), -1, "TransportCardPostcode",
                   "", "", 0, kShownSecond);
    keys.AddString("TRANSPORT_CARD_STREET", card(&TLocationData::street), -1,
                   "TransportCardAddress1", "", "", 0, kShownSecond);
    keys.AddInt("TRANSPORT_CARD_COUNTRY", card(&TLocationData::country), "TransportCardCountry", "",
                -1, 0, kShownSecond);
    keys.AddCoordinates(
        "TRANSPORT_CARD_COORDINATES",
        Names({"TRANSPORT_CARD_LONGITUDE", "TRANSPORT_CARD_LATITUDE", "TRANSPORT_CARD_HEIGHT"}),
        card(&TLocationData::coordinates), "Transport Card Coordinates",
        "TransportCardCoordinatesExplanation", 0, kReadWrite, 12345678);
    const char* overloads[3] = {"OVERLOAD_CAPACITY1", "OVERLOAD_CAPACITY2", "OVERLOAD_CAPACITY3"};
    for (int k = 0; k < 3; ++k)
        keys.AddFloat(overloads[k], VarField<CLorryDriver>([k](CLorryDriver& pair) -> float& {
                          return pair.overload[k];
                      }),
                      "OverloadFactorCapacity" + std::to_string(k + 1), "", 0, 0, 0, kShown);
    keys.AddInt("MIN_PORCENTAJE_LLENADO", VarMember(&CLorryDriver::minimumFillPercent),
                "MinPorcentajeLlenado", "fMinPorcentajeLlenadoExplanation",
                parameters.MinPorcentajeLlenado, 0, kShown);
    keys.AddInt("DISTANCIA_RODEO_FACTOR", VarMember(&CLorryDriver::detourFactor),
                "DistanciaRodeoFactor", "", parameters.DistanciaRodeoFactor, 0, kShown);
    keys.AddBool("INTERNATIONAL_TRANSPORT_CARD", VarMember(&CLorryDriver::internationalCard),
                 "InternationalTransportCard", "", 0, 0, kShown);
    keys.AddInt("RADIO_TARJETA_LOCAL", VarMember(&CLorryDriver::localCardRadius),
                "RadioTarjetaLocal", "", 0, 0, kShown);
    keys.AddFloat("MAX_DST_NO_DRIVE", VarMember(&CLorryDriver::maximumDistanceWithoutDriving),
                  "MaxDstNoDrive", "", -1.0f, 0, 0, kShown);
    keys.AddInt("DRIVER_PRIORITY", VarMember(&CLorryDriver::driverPriority), "DriverPriority", "",
                0, 0, kShown);
    keys.AddBool("EXPORTAR_SIEMPRE_CON_PRIMER_VIAJE", VarMember(&CLorryDriver::exportWithFirstTrip),
                 "ExportarSiempreConPrimerViaje", "", 0, 0, kShown);
    keys.AddString("RESOURCE_COLOR", VarMember(&CLorryDriver::resourceColor),
                   catalogue.GetMaxChars("RESOURCE_COLOR"), "ResourceColor", "", "", 0, kShown);
}
