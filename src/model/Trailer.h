#pragma once

#include "containers/SmartArray.h"
#include "model/Locations.h"
#include "model/Tanks.h"

#include <cstdint>
#include <string>
#include <vector>

class CFieldRecord;

// What trucks and trailers share: identity, three places and a few settings.
class CVehicle
{
  public:
    // Upper-cases the plate and the base and end base records; the code keeps its case.
    void MakeUpper();
    // The speed level's position in the first distance matrix (-1 without one); a warehouse
    // without a code of its own, or with the base's, becomes a copy of the base.
    void ResolveSpeedAndWarehouse();
    bool HasPlate(const std::string& upperPlate) const;

    std::string code;             // "TRUCK_CODE" / "TRAILER_CODE"
    std::string plate;            // "TRUCK_PLATE" / "TRAILER_PLATE"
    TLocationData warehouse;      // "TRUCK_WAREHOUSE_..."
    TLocationData base;           // "TRUCK_BASE_..." / the trailer's base
    TLocationData endBase;        // "TRUCK_END_BASE_..."
    float kmCost = 0;             // "TRUCK_KM_COST"
    float firstAndLastKmCost = 0; // "TRUCK_KM_COST_FIRST_AND_LAST_KM"
    int32_t mustRest = 1;         // "TRUCK_MUST_REST"
    int32_t trailerHitch = 0;     // "TIENE_BOLA_REMOLQUE"
    int32_t speedLevel = 2;       // "SPEED_LEVEL_ID"
    int32_t speedLevelIndex = -1;
    int32_t useCount = 0; // lorries using the vehicle
};

class CTruck : public CVehicle
{
  public:
    // Reads the truck from the record; false when the read failed or it has no base code.
    bool Load(CFieldRecord& record);
    bool WriteRecord(CFieldRecord& record);

    int32_t highestRow = -1; // chooses the pair's palette colour
    int32_t runningValues[3] = {-1, -1, -1};
    float ability = 1.0f; // "RESOURCE_HABILITY"
};

class CTrailer : public CVehicle
{
  public:
    // Empties the tanks, reads the trailer and derives its fields without overload. False when
    // the read failed or the record has more tanks than a trailer may (the planner is told).
    bool Load(CFieldRecord& record);
    bool WriteRecord(CFieldRecord& record);
    // Derived capacities, tank texts and tables, group indexes, hoses and fare index, holding
    // the running engine's evaluations back meanwhile.
    void CalculateFields(float overload1, float overload2, float overload3);
    // An in-bulk trailer with tanks carries their sum as its capacity 2.
    void SumTankCapacities();

    CInfoGruposProductosDescargados unloadedGroups;
    uint32_t hoseGroups[2] = {0xFFFFFFFFu, 0xFFFFFFFFu}; // last-unload groups of the two hoses
    std::string hoseProduct1;                            // "PRODUCTO_MANGUERA1"
    std::string hoseProduct2;                            // "PRODUCTO_MANGUERA2"
    std::string collectorProduct;                        // "PRODUCTO_COLECTOR"
    int32_t collectorGroup = -1;
    int32_t hoseCount = 0;                     // "NUM_MANGUERAS"
    int32_t resourceType = -1;                 // "CONDITIONED_INCOMPATIBILITY_RESOURCE_TYPE"
    int32_t alternativeResourceType = -1;      // "..._RESOURCE_TYPE_ALTERNATIVE"
    float capacity[3] = {0, 0, 0};             // "TRAILER_CAPACITY", "...2", "...3"
    float minimumCapacity[3] = {0, 0, 0};      // "TRAILER_MIN_CAPACITY", "...2", "...3"
    int32_t excludedBetweenTrips = 0;          // "EXCLUDED_FROM_INCOMPATIBILITIES_BETWEEN_TRIPS"
    int32_t excludedSameTrip = 0;              // "EXCLUDED_FROM_INCOMPATIBILITIES_SAME_TRIP"
    int32_t ifThenUse = 0;                     // "IF_THEN_USE"
    std::string tanksCapacitiesText;           // "TANKS_CAPACITIES"
    CSmartStringArray lastUnloadGroupNames;    // "..._CISTERNAS_ULTIMA_DESCARGA"
    CSmartStringArray lastUnloadQuantityTexts; // "TRAILER_CANTIDADES_..._ULTIMA_DESCARGA"
    CSmartStringArray lastTripGroupNames;      // "..._CISTERNAS_ULTIMO_VIAJE"
    CSmartIntArray tankLastUnloadGroups;       // per tank, -1 when unknown
    CSmartFloatArray tankLastUnloadQuantities; // per tank
    CSmartIntArray tankLastTripGroups;         // per tank, -1 when unknown
    CSmartStringArray lastUnloadProblemNames;  // "LISTA_..._FINAL_ULTIMA_DESCARGA"
    std::vector<bool> lastUnloadProblemFlags;  // by last-unload group
    CSmartStringArray lastTripProblemNames;    // "LISTA_..._FINAL_ULTIMO_VIAJE"
    std::vector<bool> lastTripProblemFlags;    // by last-trip group
    int32_t inBulk = 0;                        // "TRAILER_IN_BULK"
    float notInBulkCapacity1 = 0;              // "NOT_IN_BULK_CAPACITY1"
    int32_t mixBulk = 0;                       // "TRAILER_MIX_BULK"
    CTanks tanks;                              // "TANKS_VARIABLES"
    int32_t allowedProductTypes = 0;           // "ALLOWED_PRODUCT_TYPES"
    int32_t pairRows[2] = {-1, -1};
    float unloadSpeed = 0; // "UNLOAD_SPEED"
    float loadSpeed = 0;   // "LOAD_SPEED"
    int32_t realLoad = 0;  // an initial load line was added
    std::string fareId;    // "RESOURCE_FARE_ID"
    std::string fareSubId; // "RESOURCE_FARE_SUBID"
    int32_t fareIndex = -1;
    int32_t fareReturnPercent = 0;        // "RESOURCE_FARE_RETURN_PERCENT"
    int32_t fareMinimumWeight = 0;        // "RESOURCE_FARE_MIN_WEIGHT"
    CSmartWordArray unloadSpeeds;         // "UNLOAD_SPEED_ARRAY"
    CSmartWordArray unloadFixedTimes;     // "UNLOAD_FIXED_TIME_ARRAY"
    CSmartWordArray minimumDeliveryTimes; // "TIEMPO_MINIMO_REPARTO_ARRAY"
    CSmartWordArray minimumLoadingTimes;  // "TIEMPO_MINIMO_CARGA_ARRAY"
    int32_t sweeper = 0;                  // "COCHE_ESCOBA"
    int32_t publicTransportWhenEmpty = 0; // "TRANSPORTE_PUBLICO_EN_VACIO"
    int32_t towedClass = 0;               // "REMOLQUE"
    int32_t maximumRampWeight = 0;        // "PESO_MAXIMO_CUCHARA"
    int32_t lowerDeckLength = 0;          // "LONG_PLATAFORMA_INFERIOR"
    int32_t lowerDeckLengthWithUpper = 0; // "LONG_PLATAFORMA_INFERIOR_SI_SE_USA_LA_SUPERIOR"
    int32_t upperDeckLength = 0;          // "LONG_PLATAFORMA_SUPERIOR"
    int32_t upperDeckMaximumHeight = 0;   // "ALTURA_MAXIMA_VEHICULO_PLATAFORMA_SUPERIOR"
    int32_t underDeckMaximumHeight = 0;   // "ALTURA_MAXIMA_VEHICULO_DEBAJO_PLATAFORMA"
    float overloadedCapacity[3] = {0, 0, 0};

  private:
    void ResolveGroups();
    void ResolveHoses();
};

// An owning list of vehicles found by plate; a vehicle's position is its index.
template <class Vehicle> class CVehicleList : public CSmartPtrArray<Vehicle>
{
  public:
    // The first vehicle whose plate equals `plate` ignoring case; -1.
    int FindIndexByPlate(const std::string& plate) const;
    Vehicle* FindByPlate(const std::string& plate) const;
    Vehicle* AddNew();
    // The vehicle with that plate, else a new one carrying it.
    Vehicle* GetOrAdd(const std::string& plate);
    // A vehicle still used by another lorry only loses one use (false); the last use deletes
    // it (true). False for an index outside the list.
    bool Release(int index);
    bool ReleaseByPlate(const std::string& plate);

  protected:
    // The vehicle of the record's plate: the listed one (isNew false, the record's other
    // fields ignored) or a new one read from the record. Null without a plate or when the
    // read failed, leaving nothing behind.
    Vehicle* LoadVehicle(CFieldRecord& record, const char* plateKey, bool& isNew);
};

class CTrucks : public CVehicleList<CTruck>
{
  public:
    CTruck* LoadTruck(CFieldRecord& record, bool& isNew)
    {
        return LoadVehicle(record, "TRUCK_PLATE", isNew);
    }
};

class CTrailers : public CVehicleList<CTrailer>
{
  public:
    CTrailer* LoadTrailer(CFieldRecord& record, bool& isNew)
    {
        return LoadVehicle(record, "TRAILER_PLATE", isNew);
    }
};

extern template class CVehicleList<CTruck>;
extern template class CVehicleList<CTrailer>;
