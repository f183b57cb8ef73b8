#pragma once

#include "KLV/Geodesy.h"
#include "containers/SmartArray.h"
#include "model/Condicionantes.h"
#include "model/TimeWindow.h"

#include <cstdint>
#include <memory>
#include <string>

// Lookup state of a location's coordinates block (TGeoCoordinate::kind): whether the place was
// looked up in the locations table yet, and with what result.
enum LocationLookupState : int
{
    LOCATION_NOT_FOUND = 0,
    LOCATION_FOUND = 1,
    LOCATION_NOT_LOOKED_UP = 2,
};

// Bits of the address, time and requirement flag words of a locations-table read.
enum LocationCopyFlags : int
{
    LOCATION_COPY = 0x1,          // copy that part of the table's record
    LOCATION_ASK_FIRST = 0x2,     // times and requirements: ask before overwriting
    LOCATION_FILL_EMPTY = 0x4,    // address: fill only the empty fields
    LOCATION_COMPLETE_IMPORT = 5, // the address flags of a completed import
};

// The location record of every place (delivery point, warehouse, base, node), held by value by
// its owner.
struct TLocationData
{
    TLocationData();
    // A copy takes what operator= takes; the new record's lookup state starts unset.
    TLocationData(const TLocationData& other);
    // Copies everything but the coordinates block's lookup state, source coordinates and kind:
    // a record that was looked up keeps knowing it.
    TLocationData& operator=(const TLocationData& other);

    // Back to the initial values; the cluster and the coordinate values other than the point
    // and the lookup state stay.
    void Reset();
    // Upper-cases the texts a lookup compares (every text but the phone number).
    void MakeUpper();
    // Copies the address; with fillEmptyOnly, each address field only where this one is empty
    // (texts), -1 (reference, country) or 0 (street number). The identity and the point are
    // always copied.
    void CopyFields(const TLocationData& other, bool fillEmptyOnly);
    // City, postcode, street, suburb, node code and street number equal, ignoring case.
    bool IsSameLocation(const TLocationData& other) const;
    // IsSameLocation with the same point and country.
    bool IsSameAddressAndPoint(const TLocationData& other) const;
    // Neither longitude nor latitude is the not-located marker.
    bool IsLocated() const;

    int LookupState() const { return coordinates.kind; }
    void SetLookupState(int state) { coordinates.kind = state; }

    int32_t reference = -1; // taken over by CopyFields while still -1
    int32_t streetNumber = 0;
    int32_t country = -1; // index into the country table
    int32_t serviceMinutes = 0;
    int32_t parkingMinutes = 0;
    int32_t cleaningMinutes = 0; // warehouses
    int32_t productChangeMinutes = 0;
    int32_t nodeIndex = -1;
    int32_t cluster = 0;
    int32_t codeIndex = -1; // position in the list of distinct customer codes
    int32_t cityIndex = -1; // position in the list of distinct cities
    std::string id;
    std::string code;
    std::string name;
    std::string city;
    std::string postcode;
    std::string suburb;
    std::string street;
    std::string feedbackCode;
    TGeoCoordinate coordinates; // kind holds the LocationLookupState
    CTimeWindow deliveryWindow;
    std::string nodeCode;
    std::string phoneNumber;
    CTimeTable openingHours;
};

// One row of the locations table: its type (0 customers, 1 warehouses and drivers' bases,
// 2 vehicles and pairs), its record and its requirement values.
class CLocation
{
  public:
    // One "any value" requirement slot per requirement definition.
    explicit CLocation(int requirementCount = 0);

    // Puts this entry into the target as the flags ask (LocationCopyFlags); the questions go
    // through the user prompt. A zero scheduling date copies no times.
    void ApplyTo(TLocationData* target, const trv::OleDate& schedulingDate, int addressFlags,
                 int timeFlags, int requirementFlags, TRequirementValues* targetRequirements,
                 int requirementDefinitionCount) const;

    int locationType = 0;
    TLocationData data;
    TRequirementValues requirements;
};

// An owning list of locations-table entries.
using CLocationsList = CSmartPtrArray<CLocation>;
