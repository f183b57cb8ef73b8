// The key sets of places: the warehouse (entity kind 14), the locations-table entry (entity kind
// 13) and the location (entity kind 12), which is written but never read.

#include "model/Locations.h"
#include "model/VariableBuilders.h"
#include "model/VariableRegistration.h"
#include "model/WareHouses.h"
#include "params/TrevantorVariables.h"

using namespace model_variables;

void InitWarehouseVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys)
{
    auto at = [](auto member) { return LocationMember(&CWareHouse::location, member); };
    auto width = [&](const char* key) { return catalogue.GetMaxChars(key); };
    keys.AddInt("WAREHOUSE_AVAILABLE_DOCKS", VarMember(&CWareHouse::availableDocks),
                "AvailableDocks", "", -1, 0, kReadWrite);
    keys.AddInt("WAREHOUSE_MINIMUM_PRODUCT_LOAD", VarMember(&CWareHouse::minimumProductLoad),
                "MinimumProductLoad", "", 0, 0, kShown);
    keys.AddString("WAREHOUSE_ID", at(&TLocationData::id), width("ORIGIN_ID"), "", "", "", 0,
                   kReadWrite);
    keys.AddString("WAREHOUSE_CODE", at(&TLocationData::code), width("ORIGIN_CODE"), "FactoryCode",
                   "", "", 0, kShown | VAR_USE_LEADING_SECOND);
    keys.AddString("WAREHOUSE_DOCK_CODE", VarMember(&CWareHouse::dockCode), width("ORIGIN_CODE"),
                   "DockCode", "", "", 0, kShown | VAR_USE_LEADING_SECOND);
    keys.AddString("WAREHOUSE_NAME", at(&TLocationData::name), width("ORIGIN_NAME"), "FactoryName",
                   "", "", 0, kShownSecond);
    keys.AddString("WAREHOUSE_CITY", at(&TLocationData::city), width("ORIGIN"), "FactoryTown", "",
                   "", 0, kShownSecond);
    keys.AddString("WAREHOUSE_CP", at(&TLocationData::postcode), width("CP_ORIGIN"),
                   "FactoryPostcode", "", "", 0, kShownSecond);
    keys.AddString("WAREHOUSE_STREET", at(&TLocationData::street), width("ORIGIN_STREET"),
                   "FactoryAddress1", "", "", 0, kShownSecond);
    keys.AddInt("WAREHOUSE_COUNTRY", at(&TLocationData::country), "FactoryCountry", "", -1, 0,
                kShownSecond);
    keys.AddCoordinates("WAREHOUSE_COORDINATES",
                        Names({"WAREHOUSE_LONGITUDE", "WAREHOUSE_LATITUDE", "WAREHOUSE_HEIGHT"}),
                        at(&TLocationData::coordinates), "WareHouse Coordinates",
                        "WareHouseCoordinatesExplanation", 0, kShownSecond, 12345678);
    keys.AddString("WAREHOUSE_NODE_CODE", at(&TLocationData::nodeCode), width("ORIGIN_NODE_CODE"),
                   "", "", "", 0, kReadWrite);
    keys.AddInt("WAREHOUSE_TIME", at(&TLocationData::serviceMinutes), "TimeInFactoryMin",
                "TimeInFactoryExplanation", kUnsetTime, 0, kShown);
    keys.AddInt("WAREHOUSE_PARKING_TIME", at(&TLocationData::parkingMinutes),
                "ParkingTimeInFactoryMin", "ParkingTimeInFactoryExplanation", 0, 0, kShown);
    keys.AddString("WAREHOUSE_FEEDBACK_CODE", at(&TLocationData::feedbackCode),
                   width("ORIGIN_NODE_CODE"), "WarehouseFeedbackCode", "", "", 0, kReadWrite);
    keys.AddInt("WAREHOUSE_INODENUMBER", at(&TLocationData::nodeIndex), "", "", -1, 0, kReadWrite);
    keys.AddString("WAREHOUSE_PHONE_NUMBER", at(&TLocationData::phoneNumber),
                   width("ORIGIN_PHONE_NUMBER"), "FactoryPhoneNumber", "", "", 0, kShownSecond);
    keys.AddInt("WAREHOUSE_CLEAN_TIME", at(&TLocationData::cleaningMinutes),
                "CleanTimeInFactoryMin", "CleanTimeInFactoryExplanation", 0, 0, kShown);
    keys.AddFloat("WAREHOUSE_PERCENT_REDUCE_CAPACITY",
                  VarMember(&CWareHouse::capacityReducePercent), "PercentReduceCapacity",
                  "PercentReduceCapacityExplanation", 0, 0, 0, kShown);
    keys.AddTimeTable("WAREHOUSE_TIMETABLE", Names({"WAREHOUSE_START_TIME", "WAREHOUSE_END_TIME"}),
                      VarTimeTableField<CWareHouse>(
                          [](CWareHouse& w) -> CTimeTable& { return w.location.openingHours; }),
                      "OpeningTimesFactory", "", 0, kShownSecond, -MinutesPerDay, -1, -1);
    keys.AddWordList("WAREHOUSE_FIXED_TIME_HOURS", VarMember(&CWareHouse::fixedTimes),
                     "TimeInFactorySusceptibleFixTime", "", 0, 0, kShown);
    keys.AddRequirements("WAREHOUSE_REQUIREMENTS", VarMember(&CWareHouse::requirements), "", "", 0,
                         kShown);
}

void InitLocationEntryVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys)
{
    auto at = [](auto member) { return LocationMember(&CLocation::data, member); };
    auto width = [&](const char* key) { return catalogue.GetMaxChars(key); };
    keys.AddInt("LOCATION_TYPE", VarMember(&CLocation::locationType), "", "", -1, 0, kReadWrite);
    keys.AddString("LOCATION_ID", at(&TLocationData::id), width("LOCATION_ID"), "", "", "", 0,
                   kReadWrite);
    keys.AddString("LOCATION_CODE", at(&TLocationData::code), width("LOCATION_CODE"), "", "", "", 0,
                   kReadWrite);
    keys.AddString("LOCATION_NAME", at(&TLocationData::name), width("LOCATION_NAME"), "", "", "", 0,
                   kReadWrite);
    keys.AddString("LOCATION_STREET", at(&TLocationData::street), width("LOCATION_STREET"), "", "",
                   "", 0, kReadWrite);
    keys.AddString("LOCATION_SUBURB", at(&TLocationData::suburb), width("LOCATION_SUBURB"), "", "",
                   "", 0, kReadWrite);
    keys.AddInt("LOCATION_STREETNR", at(&TLocationData::streetNumber), "", "", 0, 0, kReadWrite);
    keys.AddInt("LOCATION_COUNTRY", at(&TLocationData::country), "Country", "", -1, 0, kReadWrite);
    keys.AddString("LOCATION_CITY", at(&TLocationData::city), width("LOCATION_CITY"), "", "", "", 0,
                   kReadWrite);
    keys.AddString("LOCATION_CP", at(&TLocationData::postcode), width("LOCATION_PC"), "", "", "", 0,
                   kReadWrite);
    // Every entry of the locations table states its times.
    keys.AddInt("LOCATION_TIME", at(&TLocationData::serviceMinutes), "", "", kUnsetTime, 3, kShown);
    keys.AddInt("LOCATION_PARKING_TIME", at(&TLocationData::parkingMinutes), "", "", 0, 3, kShown);
    keys.AddString("LOCATION_FEEDBACK_CODE", at(&TLocationData::feedbackCode),
                   width("LOCATION_CODE"), "LocationFeedbackCode", "", "", 0, kReadWrite);
    keys.AddString("LOCATION_PHONE_NUMBER", at(&TLocationData::phoneNumber),
                   width("LOCATION_PHONE_NUMBER"), "", "", "", 0, kReadWrite);
    keys.AddCoordinates("LOCATION_COORDINATES",
                        Names({"LOCATION_LONGITUDE", "LOCATION_LATITUDE", "LOCATION_HEIGHT"}),
                        at(&TLocationData::coordinates), "Location Coordinates",
                        "LocationCoordinatesExplanation", 0, kShownSecond, 12345678);
    keys.AddTimeTable("LOCATION_TIMETABLE", Names({"LOCATION_START_TIME", "LOCATION_END_TIME"}),
                      VarTimeTableField<CLocation>(
                          [](CLocation& e) -> CTimeTable& { return e.data.openingHours; }),
                      "", "", 0, kReadWrite, -MinutesPerDay, 2 * MinutesPerDay - 1,
                      2 * MinutesPerDay);
    keys.AddTimeWindow("LOCATION_DELIVERY_TIME_WINDOW",
                       Names({"LOCATION_DELIVERY_START_TIME", "LOCATION_DELIVERY_END_TIME"}),
                       VarTimeWindowField<CLocation>(
                           [](CLocation& e) -> CTimeWindow& { return e.data.deliveryWindow; }),
                       0, 14390000, 14400000, "OpeningServiceTime", "", 0, kReadWrite, kUnsetTime);
}

void InitLocationVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys)
{
    auto width = [&](const char* key) { return catalogue.GetMaxChars(key); };
    constexpr int kWrittenShown = VAR_USE_WRITE | VAR_USE_SHOWN;
    auto text = [&](const char* key, std::string TLocationData::*member, const char* caption,
                    int usage, const char* widthKey) {
        keys.AddString(key, VarMember(member), width(widthKey), caption, "", "", 0, usage);
    };
    auto integer = [&](const char* key, int32_t TLocationData::*member, int defaultValue,
                       const char* caption) {
        keys.AddInt(key, VarMember(member), caption, "", defaultValue, 0, kWrittenShown);
    };
    text("LOCATION_CODE", &TLocationData::code, "Code", kWrittenShown, "LOCATION_CODE");
    text("LOCATION_NAME", &TLocationData::name, "Name", kWrittenShown, "LOCATION_NAME");
    text("LOCATION_CITY", &TLocationData::city, "Town", kWrittenShown, "LOCATION_CITY");
    text("LOCATION_CP", &TLocationData::postcode, "PostalCode", kWrittenShown, "LOCATION_PC");
    text("LOCATION_STREET", &TLocationData::street, "Address1", kWrittenShown, "LOCATION_STREET");
    text("LOCATION_SUBURB", &TLocationData::suburb, "Suburb", kWrittenShown, "LOCATION_SUBURB");
    integer("LOCATION_STREETNR", &TLocationData::streetNumber, 0, "Address2");
    integer("LOCATION_CLUSTER", &TLocationData::cluster, 0, "Cluster");
    integer("LOCATION_COUNTRY", &TLocationData::country, -1, "Country");
    keys.AddCoordinates("LOCATION_COORDINATES",
                        Names({"LOCATION_LONGITUDE", "LOCATION_LATITUDE", "LOCATION_HEIGHT"}),
                        VarMember(&TLocationData::coordinates), "Location Coordinates",
                        "LocationCoordinatesExplanation", 0, kWrittenShown | VAR_USE_SHOWN_SECOND,
                        12345678);
    text("LOCATION_NODE_CODE", &TLocationData::nodeCode, "NodeCode", kWrittenShown,
         "LOCATION_NODE_CODE");
    text("LOCATION_ID", &TLocationData::id, "", kReadWrite, "LOCATION_ID");
    integer("LOCATION_TIME", &TLocationData::serviceMinutes, kUnsetTime, "TimeIn");
    integer("LOCATION_PARKING_TIME", &TLocationData::parkingMinutes, 0, "ParkingTimeIn");
    text("LOCATION_FEEDBACK_CODE", &TLocationData::feedbackCode, "LocationFeedbackCode", kReadWrite,
         "LOCATION_FEEDBACK_CODE");
    text("LOCATION_PHONE_NUMBER", &TLocationData::phoneNumber, "PhoneNumber", kWrittenShown,
         "LOCATION_PHONE_NUMBER");
    keys.AddTimeTable("LOCATION_TIMETABLE", Names({"LOCATION_START_TIME", "LOCATION_END_TIME"}),
                      VarTimeTable(&TLocationData::openingHours), "LocationTime", "", 0,
                      kWrittenShown, -MinutesPerDay, 2 * MinutesPerDay - 1, 2 * MinutesPerDay);
    keys.AddTimeWindow("LOCATION_DELIVERY_TIME_WINDOW",
                       Names({"LOCATION_DELIVERY_START_TIME", "LOCATION_DELIVERY_END_TIME"}),
                       VarTimeWindow(&TLocationData::deliveryWindow), 0, 14390000, 14400000,
                       "OpeningServiceTime", "", 0, kWrittenShown, kUnsetTime);
}
