#include "routing/Locator.h"

#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "KLV/Utils.h"
#include "containers/SmartArray.h"
#include "model/Locations.h"
#include "model/LookupTables.h"
#include "params/Parameters.h"
#include "platform/Progress.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <algorithm>

std::string NormaliseStreet(std::string_view street)
{
    // Every character the rules look at (blank, ".", "/", "\") and every abbreviation is ASCII,
    // and no byte of a multi-byte UTF-8 sequence is ASCII: byte positions found here always
    // fall on character boundaries, and no removal splits a sequence.
    std::string text = trv::ToUpper(street);
    trv::ReplaceAllInPlace(text, ".", " ");
    trv::ReplaceAllInPlace(text, "C/", "C/ ");
    bool removed = false;
    for (const std::string_view abbreviation : kStreetAbbreviations) {
        const std::size_t position = text.find(abbreviation);
        if (position == std::string::npos)
            continue;
        if (position > 0 && text[position - 1] != ' ')
            continue;
        const std::size_t after = position + abbreviation.size();
        if (after >= text.size() || (text[after] != ' ' && text[after] != '.'))
            continue;
        // A blank after the abbreviation stays; a "." goes with it (as "/" or "\" would).
        const char next = text[after];
        const bool withNext = next == '.' || next == '/' || next == '\\';
        text.erase(position, abbreviation.size() + (withNext ? 1 : 0));
        removed = true;
    }
    return removed ? text : std::string(street);
}

void CLocator::NormaliseStreetText(int index)
{
    CLocatorPossibleLocations& entry = Entry(index);
    entry.street = NormaliseStreet(entry.street);
}

long CLocator::Search(const std::string& countryCode, CLocatorPossibleLocations& entry)
{
    if (m_pGeocoder != nullptr)
        return m_pGeocoder->SearchAddressAndFillPossibles(countryCode, entry.postcode, entry.city,
                                                          entry.suburb, entry.street, entry);
    // One report per check pass: a plan of thousands of places would otherwise show the same
    // message for each of them.
    if (m_bInPass && m_bMissingGeocoderReported)
        return kLocatorSearchFailed;
    m_bMissingGeocoderReported = m_bInPass;
    trv::GetUserPrompt().ShowMessage(
        "GeocoderMissing",
        "Existe un error con la inicialización de la cartografía, pGeocoder=nullptr "
        "(posiblemente dlls antiguas instaladas)",
        trv::MessageKind::Error);
    TRV_TRACE(1, "CLocatorMapGuide::SearchAddressAndFillPossibles", "Locator no inicializado");
    return kLocatorSearchFailed;
}

void CLocator::LocateEntry(int index)
{
    CLocatorPossibleLocations& entry = Entry(index);
    const double keptX = entry.x;
    const int keptCount = entry.GetCount();
    const int country = entry.country < 0 || entry.country > 999 ? 34 : entry.country;
    const std::string code(trv::GetCountryEntry(country).code);
    if (Search(code, entry) != kLocatorSearchOk)
        return;
    // The street match runs first so that the point taken is one of the candidates it keeps.
    KeepBestStreetMatch(index, entry);
    if (entry.GetCount() > 0 && keptX == kNotLocatedCoordinate) {
        entry.x = entry.candidates.front().longitude;
        entry.y = entry.candidates.front().latitude;
    }
    ClassifyLocation(index, entry.GetCount() - keptCount);
}

void CLocator::CheckEntry(int index)
{
    CLocatorPossibleLocations& entry = Entry(index);
    if (!entry.HasPoint() && entry.status != kLocatorIsolated) {
        NormaliseStreetText(index);
        LocateEntry(index);
    } else if (UserParameters().CoordTestCountry != 0 && entry.HasPoint() &&
               m_pCountryTest != nullptr) {
        // A country that cannot be told (no map data there) leaves the entry as it is.
        const int country = m_pCountryTest->GetCountryAt(entry.x, entry.y);
        if (country != -1 && country != entry.country) {
            entry.ClearPoint();
            entry.status = kLocatorNotFound;
        }
    }
    if (entry.HasPoint() && entry.status != kLocatorIsolated)
        CheckRoute(entry);
}

void CLocator::CheckRoute(CLocatorPossibleLocations& entry)
{
    if (m_pRouterCheck == nullptr || m_pRouterCheck->CheckAbnormalNode(entry) != 0)
        return;
    entry.savedX = entry.x;
    entry.savedY = entry.y;
    entry.ClearPoint();
    entry.status = kLocatorIsolated;
}

int CLocator::CheckNodes(trv::Progress* progress)
{
    if (progress != nullptr) {
        progress->SetCaption(Translate("CheckNodes...", true));
        progress->SetPosition(0, GetCount());
    }
    m_bInPass = true;
    m_bMissingGeocoderReported = false;
    bool cancelled = false;
    for (int index = 0; index < GetCount(); ++index) {
        CheckEntry(index);
        if (progress == nullptr)
            continue;
        progress->SetPosition(index + 1, GetCount());
        cancelled = progress->IsCancelled() || cancelled;
    }
    m_bInPass = false;
    return cancelled ? 0 : 1;
}

int CLocator::CountProblemEntries() const
{
    const bool countAmbiguous = UserParameters().AmbiguousAsValid == 0;
    int count = 0;
    for (const CLocatorPossibleLocations& entry : m_Entries)
        if (entry.status == kLocatorIsolated || entry.status == kLocatorNotFound ||
            (countAmbiguous && entry.status == kLocatorAmbiguous))
            ++count;
    return count;
}

CLocatorPossibleLocations& CLocator::AddLocation(const std::string& key, const std::string& name,
                                                 int category, double longitude, double latitude,
                                                 int country, const std::string& postcode,
                                                 const std::string& city, const std::string& street,
                                                 const std::string& suburb, int locationClass)
{
    CLocatorPossibleLocations& entry = AddEntry();
    entry.key = key;
    entry.name = name;
    entry.category = category;
    entry.x = longitude;
    entry.y = latitude;
    entry.country = country;
    entry.postcode = postcode;
    entry.city = city;
    entry.street = street;
    entry.suburb = suburb;
    entry.locationClass = locationClass;
    m_NameIndex[key] = GetCount() - 1;
    if (!entry.HasPoint()) {
        entry.status = kLocatorNotFound;
        return entry;
    }
    entry.status = kLocatorConfirmed;
    CheckRoute(entry);
    return entry;
}

void CLocator::RemoveAll()
{
    m_NameIndex.clear();
    RemoveAllEntries();
}

void CLocator::RemoveAllEntries()
{
    m_Entries.clear();
    m_bReplace = true;
}

CLocatorPossibleLocations* CLocator::FindLocation(const std::string& key)
{
    const auto found = m_NameIndex.find(key);
    if (found == m_NameIndex.end() || found->second < 0 || found->second >= GetCount())
        return nullptr;
    return &Entry(found->second);
}

bool CLocator::ContainsCandidate(int index, const TLocatorData& candidate) const
{
    for (const TLocatorData& held : Entry(index).candidates)
        if (held.longitude == candidate.longitude && held.latitude == candidate.latitude &&
            held.country == candidate.country && held.postcode == candidate.postcode &&
            held.city == candidate.city && held.street == candidate.street)
            return true;
    return false;
}

namespace {

bool WholeStreet(const std::string& houseNumber)
{
    return houseNumber.empty() || houseNumber == "1-9999";
}

bool IsStreetTypeWord(std::string_view word)
{
    for (const std::string_view type : kStreetTypeWords)
        if (trv::EqualsNoCase(word, type))
            return true;
    return false;
}

} // namespace

void CLocator::ClassifyLocation(int index, int count)
{
    CLocatorPossibleLocations& entry = Entry(index);
    const int judged = count <= 0 ? entry.GetCount() : count;
    if (entry.status != kLocatorConfirmed) {
        entry.status = kLocatorCity;
        if (judged == 1 && entry.GetCount() > 0) {
            TLocatorData& last = entry.candidates.back();
            if (entry.postcode != last.postcode) {
                entry.city = trv::ToUpper(entry.city);
                last.city = trv::ToUpper(last.city);
                const bool sameArea = (entry.city.find(last.city) != std::string::npos ||
                                       last.city.find(entry.city) != std::string::npos) &&
                                      last.postcode.starts_with(entry.postcode);
                if (!sameArea)
                    entry.status = last.street == "@" || entry.city != last.city ? kLocatorNotFound
                                                                                 : kLocatorCity;
            }
        } else if (judged > 1) {
            // Candidates at the point of the one kept before them add nothing.
            std::vector<TLocatorData>& candidates = entry.candidates;
            for (std::size_t i = 1; i < candidates.size();) {
                if (candidates[i].longitude == candidates[i - 1].longitude &&
                    candidates[i].latitude == candidates[i - 1].latitude)
                    candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(i));
                else
                    ++i;
            }
            if (candidates.size() > 1)
                entry.status = kLocatorAmbiguous;
        }
    }
    if (entry.status != kLocatorNotFound && judged == 1 && entry.GetCount() > 0 &&
        entry.candidates.back().street != "@")
        entry.status =
            WholeStreet(entry.candidates.back().houseNumber) ? kLocatorStreet : kLocatorNumber;
    if (entry.HasPoint())
        CheckRoute(entry);
    if (entry.status == kLocatorNotFound ||
        (entry.status == kLocatorAmbiguous && UserParameters().AmbiguousAsValid == 0))
        entry.ClearPoint();
}

std::string SignificantStreetWord(std::string_view street)
{
    CSmartStringArray words;
    SplitString(street, words, " ", false);
    std::string best;
    std::size_t bestLength = 3;
    for (int i = 0; i < words.GetSize(); ++i) {
        const std::string& word = words[i];
        const std::size_t length = trv::Length(word);
        if (length > bestLength && !IsStreetTypeWord(word)) {
            best = word;
            bestLength = length;
        }
    }
    return best.empty() ? std::string(street) : best;
}

void CLocator::KeepBestStreetMatch(int index, CLocatorPossibleLocations& entry)
{
    CLocatorPossibleLocations& place = Entry(index);
    std::vector<TLocatorData> copies(entry.candidates.begin(),
                                     entry.candidates.begin() +
                                         std::min<std::ptrdiff_t>(5, entry.GetCount()));
    // The place keeps its upper-cased texts: the location record is later filled from them.
    place.city = trv::ToUpper(StripAccentsText(place.city));
    place.street = trv::ToUpper(place.street);
    const std::string placeWord = SignificantStreetWord(place.street);
    int streetMatch = -1;
    int numberMatch = -1;
    for (std::size_t i = 0; i < copies.size(); ++i) {
        TLocatorData& copy = copies[i];
        copy.city = trv::ToUpper(StripAccentsText(copy.city));
        copy.street = trv::ToUpper(copy.street);
        const std::string word = SignificantStreetWord(copy.street);
        if (!copy.postcode.starts_with(place.postcode) || copy.street == "@" || placeWord.empty() ||
            word.empty() || placeWord != word)
            continue;
        streetMatch = static_cast<int>(i);
        if (!WholeStreet(copy.houseNumber))
            numberMatch = static_cast<int>(i);
    }
    if (m_bReplace)
        entry.candidates.clear();
    if (streetMatch < 0) {
        for (const TLocatorData& copy : copies)
            if (!ContainsCandidate(index, copy))
                entry.candidates.push_back(copy);
        return;
    }
    if (numberMatch >= 0) {
        if (!ContainsCandidate(index, copies[static_cast<std::size_t>(numberMatch)]))
            entry.candidates.push_back(copies[static_cast<std::size_t>(numberMatch)]);
        return;
    }
    entry.candidates.push_back(copies[static_cast<std::size_t>(streetMatch)]);
}

std::string GeocoderStreet(std::string_view street)
{
    static constexpr std::string_view kFillers[] = {
        "S/N",  "s/n",  " SN ", " sn ", " SN.",  " sn.",  " DE ",  " de ",
        " EL ", " el ", " LA ", " la ", " LOS ", " los ", " LAS ", " las "};
    std::string text(street);
    text += ' ';
    for (const std::string_view filler : kFillers)
        trv::ReplaceAllInPlace(text, filler, " ");
    std::replace(text.begin(), text.end(), '/', ' ');
    std::replace(text.begin(), text.end(), '\\', ' ');
    // Digits are ASCII: the cut always falls between two characters.
    bool digitSeen = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (digit) {
            digitSeen = true;
            continue;
        }
        if (!digitSeen)
            continue;
        if (i + 1 < text.size())
            text.resize(i);
        break;
    }
    return text;
}

void CLocator::StartCategory(int category)
{
    m_nCursorCategory = category;
    m_nCursor = 0;
    // Starting on an entry of another category would hand it to a loop over this one.
    if (m_nCursor < GetCount() && Entry(m_nCursor).category != category)
        NextInCategory();
}

void CLocator::NextInCategory()
{
    do
        ++m_nCursor;
    while (m_nCursor < GetCount() && Entry(m_nCursor).category != m_nCursorCategory);
}

const CLocatorPossibleLocations* CLocator::Current() const
{
    return m_nCursor >= 0 && m_nCursor < GetCount() ? &Entry(m_nCursor) : nullptr;
}

int CLocator::GetLocatorData(TLocationData& location) const
{
    const CLocatorPossibleLocations* entry = Current();
    if (entry == nullptr)
        return -1;
    location.nodeCode.clear();
    location.coordinates.longitude = entry->x;
    location.coordinates.latitude = entry->y;
    location.name = entry->name;
    location.city = entry->city;
    location.postcode = entry->postcode;
    location.street = entry->street;
    location.country = entry->country;
    return entry->status;
}
