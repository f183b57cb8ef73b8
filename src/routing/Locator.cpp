#include "routing/Locator.h"

#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "model/LookupTables.h"
#include "params/Parameters.h"
#include "platform/Progress.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

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
    if (entry.GetCount() > 0 && keptX == kNotLocatedCoordinate) {
        entry.x = entry.candidates.front().longitude;
        entry.y = entry.candidates.front().latitude;
    }
    UpdateEntry(index, entry);
    CandidatesAdded(index, entry.GetCount() - keptCount);
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
    if (!entry.HasPoint() || entry.status == kLocatorIsolated || m_pRouterCheck == nullptr)
        return;
    if (m_pRouterCheck->CheckAbnormalNode(entry) == 0) {
        entry.savedX = entry.x;
        entry.savedY = entry.y;
        entry.ClearPoint();
        entry.status = kLocatorIsolated;
    }
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
