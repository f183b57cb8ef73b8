#pragma once

#include "KLV/Geodesy.h"
#include "containers/SmartArray.h"
#include "model/Condicionantes.h"
#include "model/TimeWindow.h"
#include "platform/OleDate.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

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

class CFetch;

// The reader of the locations table, the definition "LOCATIONS". Lookups by code read the
// table once and answer from an index of its rows until Close, so an import that completes
// thousands of places passes over the table once.
class CLocations
{
  public:
    CLocations();
    ~CLocations();
    CLocations(const CLocations&) = delete;
    CLocations& operator=(const CLocations&) = delete;

    // The definitions file to open "LOCATIONS" from; empty (the default) is the program's.
    void SetDefinitionFile(const std::string& file) { m_definitionFile = file; }
    // The planning date the table is read for; a zero date copies no opening hours.
    void SetSchedulingDate(const trv::OleDate& date);

    // Reads the rows matching `filter` and applies them to the target as the flags ask; false
    // when no row matches, the table does not open or the planner cancelled the choice.
    bool ReadLocation(TLocationData* target, const std::string& filter, int addressFlags,
                      int timeFlags, int requirementFlags, TRequirementValues* targetRequirements);
    // The rows of that code (and type, unless "OnlyOneLocationType"); an empty code is true.
    bool ReadLocationByCode(int locationType, const std::string& code, TLocationData* target,
                            int addressFlags, int timeFlags, int requirementFlags,
                            TRequirementValues* targetRequirements);
    // Records in the lookup state whether the code was found.
    void LookUpLocation(int locationType, TLocationData& record, int addressFlags,
                        TRequirementValues* requirements);
    // Completes an imported record once: true when it is known from the table.
    bool CompleteLocation(int locationType, TLocationData& record,
                          TRequirementValues* requirements);
    // Ends the reads: the next lookup reads the table again.
    void Close();

    // The condition that selects the rows of a code.
    static std::string CodeFilter(int locationType, const std::string& code);

  private:
    struct TIndexedRow
    {
        std::string code; // as read, before upper-casing
        std::unique_ptr<CLocation> entry;
    };

    bool ReadEntries(const std::string& filter, std::vector<TIndexedRow>& rows);
    bool BuildIndex();
    bool ApplyEntries(const std::vector<const CLocation*>& entries, TLocationData* target,
                      int addressFlags, int timeFlags, int requirementFlags,
                      TRequirementValues* targetRequirements) const;
    void ApplyIfSameAddress(const CLocation& entry, TLocationData* target, bool traced,
                            int addressFlags, int timeFlags, int requirementFlags,
                            TRequirementValues* targetRequirements) const;

    std::unique_ptr<CFetch> m_fetch;
    std::string m_definitionFile;
    trv::OleDate m_schedulingDate;
    // The table's rows by code, in table order; built at the first lookup by code.
    std::vector<TIndexedRow> m_rows;
    std::unordered_map<std::string, std::vector<int>> m_rowsByCode;
    enum class IndexState
    {
        none,
        built,
        failed,
    } m_indexState = IndexState::none;
};
