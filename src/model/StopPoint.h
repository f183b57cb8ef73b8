#pragma once

#include "containers/SmartArray.h"
#include "model/TimeWindow.h"

#include <cstdint>
#include <string>
#include <utility>

class CDriver;
class CLorry;
class COrder;
struct TLocationData;
struct TStateColors;

// Stop types. A stop serves an order (Delivery, Collection and the platform stops), loads or
// unloads the trailer, or is a pause of the driver.
enum StopType : int
{
    STOP_NONE = 0, // a stop whose type was never set
    STOP_DEPOT = 1,
    STOP_LOAD = 2,
    STOP_UNLOAD = 3,
    STOP_DELIVERY = 4,
    STOP_COLLECTION = 5,
    STOP_SLEEPING = 6,
    STOP_WAITING_FOR_OPEN = 7,
    STOP_RETURN = 8,
    STOP_DEACTIVATED = 9,
    STOP_NOT_LOCATED = 10,
    STOP_NOT_SCHEDULED = 11,
    STOP_CLEANING = 12,
    STOP_DRIVING_REST = 13,
    STOP_PLATFORM_COLLECTION = 14,
    STOP_PLATFORM_DELIVERY = 15,
    STOP_LUNCHING = 16,
    STOP_SLEEP_OUT_HOME = 17,
    STOP_DAY_OFF = 18,
    STOP_PARKING = 19,
    STOP_DAY_OFF_CUSTOMER = 20,
    STOP_TYPE_LAST = STOP_DAY_OFF_CUSTOMER,
};

// Problem bits of a stop's valid flags.
enum StopValidFlag : int32_t
{
    STOP_LATE = 0x01,
    STOP_OVERLOAD = 0x08,
    STOP_UNDERLOAD = 0x10,
    STOP_BAD_ASSIGNED = 0x20,
    STOP_BAD_ASSIGNED_2 = 0x40,
    STOP_BAD_ASSIGNED_3 = 0x100,
    STOP_IMPOSSIBLE_INCOMPATIBILITY = 0x200,
    STOP_BAD_ASSIGNED_4 = 0x400,
};

inline constexpr int32_t kNoColor = -1;

// The translated name of a stop type; "Undefined" for a code outside 1 .. 20.
std::string GetStopTypeName(int type);
// Position t (1 .. 20) holds the name of type t; position 0 stays empty.
void FillStopTypeNames(CSmartStringArray& names);
bool IsPauseStopType(int type);
bool IsLoadOrUnloadStopType(int type);
// Delivery, Collection and the two platform stops.
bool IsOrderStopType(int type);

// Which order references name an order of the plan: below the program-wide order count N,
// the list's own orders; from N on, the orders that exist only inside an evaluation workspace.
class CAdditionalOrders
{
  public:
    virtual ~CAdditionalOrders() = default;
    virtual int GetCount() const = 0;
    // Additional order `position` (0 = reference N); null outside the list.
    virtual COrder* Get(int position) const = 0;
};

// What stops and trips ask of the workspace that holds them; null means the program-wide
// order list only.
struct TOrderScope
{
    const CAdditionalOrders* additionalOrders = nullptr;
    // The partition count kept by the optimiser's partition copies: valid references are
    // 0 .. N + partitionCount - 1.
    int partitionCount = 0;

    // The order a reference names, or null.
    COrder* Resolve(int reference) const;
    bool IsValidReference(int reference) const;
};

// What a stop asks of the rejection model to explain why its order does not fit its pair.
class CStopRejections
{
  public:
    virtual ~CStopRejections() = default;
    // The computed mask with the user bit and the not-located bits kept, without the lorry
    // state, requirement mode 0.
    virtual uint32_t ComputeMask(int orderIndex, int pairRow) const = 0;
    // The mask the last rejection pass stored.
    virtual uint32_t GetStoredMask(int orderIndex, int pairRow) const = 0;
    // The planner rejected the order for the pair by hand.
    virtual bool IsUserRejected(int orderIndex, int pairRow) const = 0;
    // The reasons of a mask with their one-vehicle keys, one translated line each.
    virtual std::string GetRejectionText(uint32_t mask, int orderIndex, int pairRow) const = 0;
};

// The user-rejection reason bit.
inline constexpr uint32_t kUserRejectionReason = 0x1;

// One stop of a trip: where, when, what is handled there and what went wrong. Times are minutes
// from midnight of the planning day (kUnsetTime unset), distances km.
class CStopPoint
{
  public:
    // Post-processes the display text of one output field of the stop (in and out).
    void GetFieldText(std::string& value, const std::string& fieldKey, const CDriver* driver,
                      const TOrderScope& scope) const;
    // The stop's display colour and its order's colour (kNoColor: none); refreshes the messages.
    std::pair<int32_t, int32_t> GetColors(const CDriver* driver, const TOrderScope& scope,
                                          const TStateColors& colors);
    // True when the stop's order is rejected for the pair that serves it; the explanation goes
    // into the messages.
    bool GetRejectionText(const CDriver* driver, const TOrderScope& scope);

    bool HasOrder() const { return order >= 0; }

    const TLocationData* place = nullptr; // not owned
    int32_t type = STOP_NONE;             // "STOP_POINT_TYPE"
    int32_t createdType = STOP_NONE;
    float km = 0;                  // "STOP_POINT_KM": driven to reach the stop
    float extraKm = 0;             // "STOP_POINT_EXTRA_KM"
    int32_t start = kUnsetTime;    // "STOP_POINT_START"
    int32_t end = kUnsetTime;      // "STOP_POINT_END"
    int32_t order = -1;            // order reference
    int32_t warehouse = -1;        // of a Load or Unload stop
    int32_t validFlags = 0;        // "STOP_POINT_VALID"
    int32_t tripNumber = 0;        // "STOP_POINT_TRIP_NUMBER"
    int32_t subTripNumber = 0;     // "STOP_POINT_SUBTRIP_NUMBER"
    std::string realLoaded;        // "STOP_POINT_REAL_LOADED"
    std::string realRemain;        // "STOP_POINT_REAL_REMAIN"
    std::string productQuantities; // "STOP_POINT_PRODUCT_QUANTITIES"
    std::string escobaDrivers;     // "STOP_POINT_CONDUCTORES_CON_ESCOBA"
    int32_t reserved = 0;
    float quantity = 0;            // "STOP_POINT_QUANTITY"
    float volume = 0;              // "STOP_POINT_VOLUME"
    float surface = 0;             // "STOP_POINT_SURFACE"
    float fareCost = 0;            // "STOP_POINT_FARE_COST"
    float unitaryFareCost = 0;     // "STOP_POINT_UNITARY_FARE_COST"
    float pureFareCost = 0;        // "STOP_POINT_PURE_FARE_COST"
    float unitaryPureFareCost = 0; // "STOP_POINT_UNITARY_PURE_FARE_COST"
    float costFareOrder = 0;       // "STOP_POINT_COST_FARE_ORDER"
    int32_t costTimeOrder = 0;     // "STOP_POINT_COST_TIME_ORDER"
    int32_t changedDay = 0;        // "STOP_POINT_CHANGED_DAY"
    int32_t changedVehicle = 0;    // "STOP_POINT_CHANGED_VEHICLE"
    const CLorry* lorry = nullptr; // not owned
    int32_t offDayWindow = -1;     // in the driver's or the customer's calendar
    int32_t escobaCopy = 0;        // copied into another driver's trips
    float fillingPercent1 = 0;     // "STOP_POINT_PORCENTAJE_LLENADO_CANTIDAD1"
    float fillingPercent2 = 0;     // "STOP_POINT_PORCENTAJE_LLENADO_CANTIDAD2"
    float efficiencyPercent = 0;   // "STOP_POINT_PORCENTAJE_EFICIENCIA"
    float emptyKmRatio = 0;        // "KMENVACIO_VS_KM"
    int32_t emptyTanks = 0;        // "EMPTY_TANKS"
    const void* link = nullptr;    // kept by the decoding, not owned
    std::string messages;          // the reasons behind the valid flags
    int32_t counter = 0;           // kept by the decoding
};
