#include "model/Locations.h"

#include "KLV/Fetch.h"
#include "KLV/FetchFilter.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "model/ModelContext.h"
#include "model/ModelDates.h"
#include "model/ModelDialogs.h"
#include "params/FetchFieldRecord.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <cstdio>

namespace {

void UpperInPlace(std::string& text)
{
    text = trv::ToUpper(text);
}

bool SameText(const std::string& left, const std::string& right)
{
    return trv::EqualsNoCase(left, right);
}

bool AskOverwrite(const char* key)
{
    return trv::GetUserPrompt().AskQuestion(key, Translate(key), false, trv::PromptAnswer::No) ==
           trv::PromptAnswer::Yes;
}

} // namespace

// ---- TLocationData ------------------------------------------------------------------------

TLocationData::TLocationData()
{
    openingHours.weekDayMask = -1;
}

TLocationData::TLocationData(const TLocationData& other) : TLocationData()
{
    *this = other;
}

TLocationData& TLocationData::operator=(const TLocationData& other)
{
    if (this == &other)
        return *this;
    reference = other.reference;
    streetNumber = other.streetNumber;
    country = other.country;
    serviceMinutes = other.serviceMinutes;
    parkingMinutes = other.parkingMinutes;
    cleaningMinutes = other.cleaningMinutes;
    productChangeMinutes = other.productChangeMinutes;
    nodeIndex = other.nodeIndex;
    cluster = other.cluster;
    codeIndex = other.codeIndex;
    cityIndex = other.cityIndex;
    CopyFields(other, false);
    nodeCode = other.nodeCode;
    phoneNumber = other.phoneNumber;
    deliveryWindow = other.deliveryWindow;
    openingHours = other.openingHours;
    return *this;
}

void TLocationData::Reset()
{
    reference = -1;
    for (std::string* text : {&id, &code, &name, &city, &postcode, &suburb, &street, &feedbackCode,
                              &nodeCode, &phoneNumber})
        text->clear();
    streetNumber = 0;
    country = -1;
    serviceMinutes = parkingMinutes = cleaningMinutes = productChangeMinutes = 0;
    nodeIndex = codeIndex = cityIndex = -1;
    coordinates.kind = LOCATION_NOT_LOOKED_UP;
    coordinates.longitude = coordinates.latitude = kNotLocatedCoordinate;
    deliveryWindow = CTimeWindow();
    openingHours.Reset();
}

void TLocationData::MakeUpper()
{
    for (std::string* text :
         {&id, &code, &name, &city, &postcode, &street, &suburb, &nodeCode, &feedbackCode})
        UpperInPlace(*text);
}

void TLocationData::CopyFields(const TLocationData& other, bool fillEmptyOnly)
{
    auto copyText = [&](std::string& mine, const std::string& theirs) {
        if (!fillEmptyOnly || mine.empty())
            mine = theirs;
    };
    auto copyNumber = [&](int32_t& mine, int32_t theirs, int32_t emptyValue) {
        if (!fillEmptyOnly || mine == emptyValue)
            mine = theirs;
    };
    copyNumber(reference, other.reference, -1);
    copyText(code, other.code);
    copyText(name, other.name);
    copyText(city, other.city);
    copyText(postcode, other.postcode);
    copyText(street, other.street);
    copyText(suburb, other.suburb);
    copyNumber(streetNumber, other.streetNumber, 0);
    copyNumber(country, other.country, -1);
    copyText(feedbackCode, other.feedbackCode);

    id = other.id;
    coordinates.longitude = other.coordinates.longitude;
    coordinates.latitude = other.coordinates.latitude;
    nodeCode = other.nodeCode;
    nodeIndex = other.nodeIndex;
    codeIndex = other.codeIndex;
    cityIndex = other.cityIndex;
    phoneNumber = other.phoneNumber;
}

bool TLocationData::IsSameLocation(const TLocationData& other) const
{
    return SameText(city, other.city) && SameText(postcode, other.postcode) &&
           SameText(street, other.street) && SameText(suburb, other.suburb) &&
           SameText(nodeCode, other.nodeCode) && streetNumber == other.streetNumber;
}

bool TLocationData::IsSameAddressAndPoint(const TLocationData& other) const
{
    return IsSameLocation(other) && coordinates.longitude == other.coordinates.longitude &&
           coordinates.latitude == other.coordinates.latitude && country == other.country;
}

bool TLocationData::IsLocated() const
{
    return coordinates.longitude != kNotLocatedCoordinate &&
           coordinates.latitude != kNotLocatedCoordinate;
}

// ---- CLocation ----------------------------------------------------------------------------

CLocation::CLocation(int requirementCount)
{
    requirements.Init(requirementCount);
}

void CLocation::ApplyTo(TLocationData* target, const trv::OleDate& schedulingDate, int addressFlags,
                        int timeFlags, int requirementFlags, TRequirementValues* targetRequirements,
                        int requirementDefinitionCount) const
{
    if (!target)
        return;
    if (addressFlags & LOCATION_COPY)
        target->CopyFields(data, (addressFlags & LOCATION_FILL_EMPTY) != 0);

    if ((timeFlags & LOCATION_COPY) && !IsZeroDate(schedulingDate)) {
        CTimeTable& hours = target->openingHours;
        bool take = true;
        if (hours.GetSize() > 0 || hours.weekDayMask != 0) {
            if (data.openingHours.GetSize() == 0)
                take = false;
            else if (timeFlags & LOCATION_ASK_FIRST)
                take = AskOverwrite("DoUWannaOverwriteTimes");
        }
        if (take)
            hours = data.openingHours;
    }

    if ((requirementFlags & LOCATION_COPY) && targetRequirements && requirements.GetCount() > 0 &&
        requirementDefinitionCount > 0) {
        if (!targetRequirements->IsAllAny()) {
            if (requirements.IsAllAny())
                return;
            if ((requirementFlags & LOCATION_ASK_FIRST) &&
                !AskOverwrite("DoUWannaOverwriteRequirements"))
                return;
        }
        targetRequirements->CopyFrom(requirements, true);
    }
}

// ---- CLocations ---------------------------------------------------------------------------

namespace {

constexpr const char* kReadMethod = "CLocations::ReadLocation";

int RequirementCount()
{
    return ModelContext().requirementDefinitions.GetSize();
}

} // namespace

CLocations::CLocations() = default;
CLocations::~CLocations() = default;

void CLocations::SetSchedulingDate(const trv::OleDate& date)
{
    m_schedulingDate = date;
}

std::string CLocations::CodeFilter(int locationType, const std::string& code)
{
    const std::string codeCondition = "LOCATION_CODE=" + QuoteFilterValue(code);
    if (UserParameters().OnlyOneLocationType)
        return codeCondition;
    return "LOCATION_TYPE=" + std::to_string(locationType) + " AND " + codeCondition;
}

bool CLocations::ReadEntries(const std::string& filter, std::vector<TIndexedRow>& rows)
{
    if (!m_fetch)
        m_fetch = std::make_unique<CFetch>();
    char date[16] = "";
    if (m_schedulingDate.IsValid())
        std::snprintf(date, sizeof date, "%02d%02d%04d", m_schedulingDate.GetDay(),
                      m_schedulingDate.GetMonth(), m_schedulingDate.GetYear());
    if (!m_fetch->Init("LOCATIONS", date, "", FETCH_MODE_READ, "", filter, "", 1, nullptr, "",
                       m_definitionFile)) {
        m_fetch->Close();
        return false;
    }
    CFetchFieldRecord record(*m_fetch);
    CTrevantorVariables& catalogue = TrevantorVariables();
    const int requirementCount = RequirementCount();
    TFieldRead required;
    required.required = true;
    while (!record.IsEOF()) {
        if (!record.MoveNext())
            continue;
        std::string code = record.GetFieldString("LOCATION_CODE", "", -1, required);
        if (code.empty())
            continue;
        auto entry = std::make_unique<CLocation>(requirementCount);
        if (!catalogue.ReadEntity(ENTITY_LOCATION_ENTRY, *entry, record, 0, nullptr))
            continue;
        entry->data.MakeUpper();
        if (entry->data.code.empty())
            continue;
        rows.push_back(TIndexedRow{std::move(code), std::move(entry)});
    }
    m_fetch->Close();
    return true;
}

bool CLocations::BuildIndex()
{
    if (m_indexState == IndexState::none) {
        m_rows.clear();
        m_rowsByCode.clear();
        m_indexState = ReadEntries("", m_rows) ? IndexState::built : IndexState::failed;
        for (int i = 0; i < static_cast<int>(m_rows.size()); ++i)
            m_rowsByCode[m_rows[static_cast<size_t>(i)].code].push_back(i);
    }
    return m_indexState == IndexState::built;
}

void CLocations::Close()
{
    if (m_fetch)
        m_fetch->Close();
    m_rows.clear();
    m_rowsByCode.clear();
    m_indexState = IndexState::none;
}

bool CLocations::ReadLocation(TLocationData* target, const std::string& filter, int addressFlags,
                              int timeFlags, int requirementFlags,
                              TRequirementValues* targetRequirements)
{
    if (!((addressFlags | timeFlags | requirementFlags) & LOCATION_COPY))
        return true;
    std::vector<TIndexedRow> rows;
    if (!ReadEntries(filter, rows))
        return false;
    std::vector<const CLocation*> entries;
    for (const TIndexedRow& row : rows)
        entries.push_back(row.entry.get());
    return ApplyEntries(entries, target, addressFlags, timeFlags, requirementFlags,
                        targetRequirements);
}

bool CLocations::ReadLocationByCode(int locationType, const std::string& code,
                                    TLocationData* target, int addressFlags, int timeFlags,
                                    int requirementFlags, TRequirementValues* targetRequirements)
{
    if (code.empty())
        return true;
    if (!((addressFlags | timeFlags | requirementFlags) & LOCATION_COPY))
        return true;
    // The rows CodeFilter selects, taken from the index instead of a pass over the table.
    if (!BuildIndex())
        return false;
    const auto found = m_rowsByCode.find(code);
    if (found == m_rowsByCode.end())
        return false;
    const bool anyType = UserParameters().OnlyOneLocationType != 0;
    std::vector<const CLocation*> entries;
    for (int row : found->second) {
        const CLocation* entry = m_rows[static_cast<size_t>(row)].entry.get();
        if (anyType || entry->locationType == locationType)
            entries.push_back(entry);
    }
    return ApplyEntries(entries, target, addressFlags, timeFlags, requirementFlags,
                        targetRequirements);
}

bool CLocations::ApplyEntries(const std::vector<const CLocation*>& entries, TLocationData* target,
                              int addressFlags, int timeFlags, int requirementFlags,
                              TRequirementValues* targetRequirements) const
{
    if (entries.empty())
        return false;
    if (entries.size() == 1) {
        ApplyIfSameAddress(*entries.front(), target, true, addressFlags, timeFlags,
                           requirementFlags, targetRequirements);
        return true;
    }
    TRV_TRACE(2, kReadMethod, "TENGO MAS DE UNA PARA ESE CODIGO");
    if (!UserParameters().ShowDuplicatedLocations) {
        ApplyIfSameAddress(*entries.front(), target, false, addressFlags, timeFlags,
                           requirementFlags, targetRequirements);
        return true;
    }
    std::vector<TLocInfo> rows;
    for (const CLocation* entry : entries)
        rows.push_back(TLocInfo{entry->data.code, entry->data.name, entry->locationType});
    int chosen = -1;
    if (!GetLocationChooser().Choose(rows, chosen) || chosen < 0 ||
        chosen >= static_cast<int>(entries.size()))
        return false;
    entries[static_cast<size_t>(chosen)]->ApplyTo(target, m_schedulingDate, addressFlags, timeFlags,
                                                  requirementFlags, targetRequirements,
                                                  RequirementCount());
    return true;
}

void CLocations::ApplyIfSameAddress(const CLocation& entry, TLocationData* target, bool traced,
                                    int addressFlags, int timeFlags, int requirementFlags,
                                    TRequirementValues* targetRequirements) const
{
    if (target && UserParameters().UpdateLocationOnlyIfSameAddress) {
        const TLocationData& data = entry.data;
        const char* format = "Datos %s %s %s BBDD %s %s %s";
        if (traced)
            TRV_TRACE(2, kReadMethod, format, data.city.c_str(), data.postcode.c_str(),
                      data.street.c_str(), target->city.c_str(), target->postcode.c_str(),
                      target->street.c_str());
        const bool same = data.IsSameLocation(*target);
        if (traced)
            TRV_TRACE(2, kReadMethod,
                      same ? "SON IGUALES ACTUALIZO Datos %s %s %s BBDD %s %s %s"
                           : "SON DIFERENTES NO TOCO NADA Datos %s %s %s BBDD %s %s %s",
                      data.city.c_str(), data.postcode.c_str(), data.street.c_str(),
                      target->city.c_str(), target->postcode.c_str(), target->street.c_str());
        if (!same)
            return;
    }
    entry.ApplyTo(target, m_schedulingDate, addressFlags, timeFlags, requirementFlags,
                  targetRequirements, RequirementCount());
}

void CLocations::LookUpLocation(int locationType, TLocationData& record, int addressFlags,
                                TRequirementValues* requirements)
{
    const bool found =
        ReadLocationByCode(locationType, record.code, &record, addressFlags, 0, 0, requirements);
    record.SetLookupState(found ? LOCATION_FOUND : LOCATION_NOT_FOUND);
}

bool CLocations::CompleteLocation(int locationType, TLocationData& record,
                                  TRequirementValues* requirements)
{
    if (record.LookupState() == LOCATION_FOUND)
        return true;
    if (record.LookupState() == LOCATION_NOT_FOUND)
        return false;
    const bool fill = UserParameters().PrioridadTrevantorSobreLocations || !record.IsLocated();
    if (!fill) {
        // A located record keeps its point: nothing is read and it counts as found.
        record.SetLookupState(LOCATION_FOUND);
        return true;
    }
    LookUpLocation(locationType, record, LOCATION_COMPLETE_IMPORT, requirements);
    return record.LookupState() == LOCATION_FOUND;
}
