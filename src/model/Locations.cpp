#include "model/Locations.h"

#include "KLV/Translate.h"
#include "model/ModelDates.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

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
