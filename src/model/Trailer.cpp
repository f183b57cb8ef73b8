#include "model/Trailer.h"

#include "KLV/Translate.h"
#include "model/EnginePause.h"
#include "model/ModelContext.h"
#include "params/TrevantorVariables.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <algorithm>

// ---- CVehicle -----------------------------------------------------------------------------------

void CVehicle::MakeUpper()
{
    plate = trv::ToUpper(plate);
    for (TLocationData* location : {&base, &endBase}) {
        location->MakeUpper();
        location->city = trv::ToUpper(location->city);
        location->postcode = trv::ToUpper(location->postcode);
    }
}

void CVehicle::ResolveSpeedAndWarehouse()
{
    const CModelDistances* distances = ModelContext().distances;
    speedLevelIndex = distances ? distances->FindSpeedLevel(speedLevel) : -1;
    if (warehouse.code.empty() || warehouse.code == base.code)
        warehouse = base;
}

bool CVehicle::HasPlate(const std::string& upperPlate) const
{
    return trv::ToUpper(plate) == upperPlate;
}

// ---- CTruck -------------------------------------------------------------------------------------

bool CTruck::Load(CFieldRecord& record)
{
    if (!TrevantorVariables().ReadEntity(ENTITY_TRUCK, *this, record, 0, nullptr))
        return false;
    kmCost = std::max(kmCost, 0.0f);
    if (!base.code.empty() && endBase.code.empty())
        endBase = base;
    return !base.code.empty();
}

bool CTruck::WriteRecord(CFieldRecord& record)
{
    return TrevantorVariables().WriteEntity(ENTITY_TRUCK, *this, record, 0);
}

// ---- CTrailer -----------------------------------------------------------------------------------

bool CTrailer::Load(CFieldRecord& record)
{
    tanks.Clear();
    const bool read = TrevantorVariables().ReadEntity(ENTITY_TRAILER, *this, record, 0, nullptr);
    const int offered = tanks.GetSize() + tanks.GetRefusedCount();
    if (offered > kMaxTanks) {
        const std::string text = TranslateFormat("TooManyTanks", plate, offered, kMaxTanks);
        trv::GetUserPrompt().ShowMessage("TooManyTanks", text, trv::MessageKind::Warning);
        return false;
    }
    if (tanks.WasLoaded() || tanks.GetInitialLoadCount() > 0)
        realLoad = 1;
    // Read on its own a trailer carries no overload; its pair's calculation applies the pair's.
    CalculateFields(0, 0, 0);
    return read;
}

bool CTrailer::WriteRecord(CFieldRecord& record)
{
    return TrevantorVariables().WriteEntity(ENTITY_TRAILER, *this, record, 0);
}

void CTrailer::SumTankCapacities()
{
    if (inBulk && tanks.GetSize() > 0)
        capacity[1] = tanks.GetCapacitySum();
}

void CTrailer::CalculateFields(float overload1, float overload2, float overload3)
{
    CEnginePause pause("CTrailer::CalculateFields");
    ResolveSpeedAndWarehouse();
    tanks.Prepare(overload2);

    tanksCapacitiesText.clear();
    for (const CTank* tank : tanks)
        tanksCapacitiesText += trv::FormatC(" %.2f |", static_cast<double>(tank->capacity));
    if (!tanksCapacitiesText.empty())
        tanksCapacitiesText.back() = ' ';

    SumTankCapacities();
    const float overloads[3] = {overload1, overload2, overload3};
    for (int k = 0; k < 3; ++k) {
        capacity[k] = std::max(capacity[k], 0.0f);
        overloadedCapacity[k] = (overloads[k] * 0.01f + 1.0f) * capacity[k];
    }
    if (overload2 > 0 && tanks.GetSize() > 0)
        overloadedCapacity[1] = tanks.GetOverloadedCapacitySum();

    ResolveGroups();
    if (alternativeResourceType == -1)
        alternativeResourceType = resourceType;
    ResolveHoses();
    fareIndex = ModelContext().fares.RegisterFareIndex(fareId, fareSubId);
}

namespace {

// Each name's position in the groups stored at the name's position; unknown names stay -1.
void ResolvePerTank(const CSmartStringArray& names, const CDistinctTexts& groups,
                    CSmartIntArray& indexes)
{
    indexes.SetSize(names.GetSize());
    for (int i = 0; i < names.GetSize(); ++i)
        indexes[i] = groups.Find(names[i]);
}

// A flag per group for each name found among the groups.
void FlagGroups(const CSmartStringArray& names, const CDistinctTexts& groups,
                std::vector<bool>& flags)
{
    flags.assign(static_cast<size_t>(groups.GetSize()), false);
    for (const std::string& name : names)
        if (const int index = groups.Find(name); index >= 0)
            flags[static_cast<size_t>(index)] = true;
}

} // namespace

void CTrailer::ResolveGroups()
{
    const CModelContext& context = ModelContext();
    ResolvePerTank(lastUnloadGroupNames, context.lastUnloadGroups, tankLastUnloadGroups);
    tankLastUnloadQuantities.SetSize(0);
    for (const std::string& text : lastUnloadQuantityTexts)
        tankLastUnloadQuantities.Add(static_cast<float>(trv::ParseDouble(text)));
    ResolvePerTank(lastTripGroupNames, context.lastTripGroups, tankLastTripGroups);
    FlagGroups(lastTripProblemNames, context.lastTripGroups, lastTripProblemFlags);
    FlagGroups(lastUnloadProblemNames, context.lastUnloadGroups, lastUnloadProblemFlags);
}

void CTrailer::ResolveHoses()
{
    const CDistinctTexts& groups = ModelContext().lastUnloadGroups;
    hoseGroups[0] = hoseGroups[1] = 0xFFFFFFFFu;
    const std::string* products[2] = {&hoseProduct1, &hoseProduct2};
    for (int hose = 0; hose < 2; ++hose)
        if (!products[hose]->empty())
            if (const int index = groups.Find(*products[hose]); index >= 0)
                hoseGroups[hose] = static_cast<uint32_t>(index);
    collectorGroup = collectorProduct.empty() ? -1 : groups.Find(collectorProduct);
}

// ---- Vehicle lists ------------------------------------------------------------------------------

template <class Vehicle> int CVehicleList<Vehicle>::FindIndexByPlate(const std::string& plate) const
{
    const std::string upper = trv::ToUpper(plate);
    for (int i = 0; i < this->GetSize(); ++i)
        if ((*this)[i]->HasPlate(upper))
            return i;
    return -1;
}

template <class Vehicle> Vehicle* CVehicleList<Vehicle>::FindByPlate(const std::string& plate) const
{
    const int index = FindIndexByPlate(plate);
    return index < 0 ? nullptr : (*this)[index];
}

template <class Vehicle> Vehicle* CVehicleList<Vehicle>::AddNew()
{
    auto* vehicle = new Vehicle;
    this->Add(vehicle);
    return vehicle;
}

template <class Vehicle> Vehicle* CVehicleList<Vehicle>::GetOrAdd(const std::string& plate)
{
    if (Vehicle* found = FindByPlate(plate))
        return found;
    Vehicle* vehicle = AddNew();
    vehicle->plate = plate;
    return vehicle;
}

template <class Vehicle> bool CVehicleList<Vehicle>::Release(int index)
{
    if (index < 0 || index >= this->GetSize())
        return false;
    Vehicle* vehicle = (*this)[index];
    if (vehicle->useCount >= 2) {
        --vehicle->useCount;
        return false;
    }
    this->RemoveAt(index);
    return true;
}

template <class Vehicle> bool CVehicleList<Vehicle>::ReleaseByPlate(const std::string& plate)
{
    const int index = FindIndexByPlate(plate);
    return index >= 0 && Release(index);
}

template <class Vehicle>
Vehicle* CVehicleList<Vehicle>::LoadVehicle(CFieldRecord& record, const char* plateKey, bool& isNew)
{
    isNew = false;
    int width = TrevantorVariables().GetMaxChars(plateKey);
    if (width == -1)
        width = 500;
    const std::string plate = record.GetFieldString(plateKey, "", width, {});
    if (plate.empty())
        return nullptr;
    if (Vehicle* found = FindByPlate(plate))
        return found;
    isNew = true;
    Vehicle* vehicle = AddNew();
    if (vehicle->Load(record))
        return vehicle;
    this->RemoveAt(this->GetSize() - 1);
    return nullptr;
}

template class CVehicleList<CTruck>;
template class CVehicleList<CTrailer>;
