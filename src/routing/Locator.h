#pragma once

#include "KLV/Geodesy.h"

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace trv {
class Progress;
}
struct TLocationData;

// Location states of a locator entry.
inline constexpr int kLocatorIsolated = 1;  // the router refused the point (moved to the saved one)
inline constexpr int kLocatorNotFound = 2;  // not located, or located in another country
inline constexpr int kLocatorAmbiguous = 3; // several candidates remain
inline constexpr int kLocatorCity = 4;      // located at postcode or city level
inline constexpr int kLocatorConfirmed = 5; // the place's own point was accepted
inline constexpr int kLocatorStreet = 6;    // located at street level
inline constexpr int kLocatorNumber = 7;    // located at house-number level

// Result codes of a geocoder search.
inline constexpr long kLocatorSearchOk = 0;
inline constexpr long kLocatorSearchFailed = static_cast<long>(0x80004005L);

// The upper-case street-type abbreviations the street normalisation removes, in the order they
// are tried ("CRT", "PO" and "UR" stand twice: the list runs beside the full street-type words).
inline constexpr std::array<std::string_view, 59> kStreetAbbreviations = {
    "AV",    "AV/", "AVD", "AVDA", "CR",   "CR/", "CRA",  "CRT",  "CTRA", "CRT", "CL", "C",
    "C/",    "RDA", "RD",  "RD/",  "RDA/", "PZ",  "PZ/",  "PZA",  "PL",   "P",   "PS", "PSO",
    "PSEIG", "PO",  "PJ",  "PTGE", "ST",   "STA", "GRAL", "CDAD", "CMNO", "CNO", "CM", "CM/",
    "TRV",   "TR",  "CO",  "CT",   "GT",   "RB",  "UR",   "AUV/", "BL",   "AL",  "AP", "BO",
    "BV",    "CS",  "ED",  "FI",   "GR",   "LG",  "PO",   "PE",   "PQ",   "PR",  "UR"};

// The full street-type words, beside the abbreviations in the same order.
inline constexpr std::array<std::string_view, 59> kStreetTypeWords = {
    "Avenida",      "Avenida",   "Avenida",   "Avenida",      "Carretera",   "Carretera",
    "Carretera",    "Carretera", "Carretera", "Carretera",    "Calle",       "Calle",
    "Calle",        "Ronda",     "Ronda",     "Ronda",        "Ronda",       "Plaza",
    "Plaza",        "Plaza",     "Plaza",     "Paseo",        "Paseo",       "Paseo",
    "Paseo",        "Paseo",     "Pasaje",    "Pasaje",       "Santa",       "Santa",
    "General",      "Comunidad", "Camino",    "Camino",       "Camino",      "Camino",
    "Travesia",     "Travesia",  "Colonia",   "Cuesta",       "Glorieta",    "Rambla",
    "Urbanización", "Autovía",   "Bloque",    "Alameda",      "Apartamento", "Barrio",
    "Bulevar",      "Caserio",   "Edificio",  "Finca",        "Grupo",       "Lugar",
    "Poblado",      "Paraje",    "Parque",    "Prolongacion", "Urbanización"};

// One geocoding candidate.
struct TLocatorData
{
    std::string street; // "@" marks a candidate without a street
    std::string houseNumber;
    std::string postcode;
    std::string suburb;
    std::string city;
    int country = 34;
    double longitude = kNotLocatedCoordinate;
    double latitude = kNotLocatedCoordinate;
};

// One place the locator examines: its address, the candidates found for it, its point and state.
struct CLocatorPossibleLocations
{
    std::vector<TLocatorData> candidates;
    std::string key;
    std::string name;
    int category = 3;   // 0 customer, 1 factory, 2 depot, 3 other location
    std::string street; // street with number
    std::string postcode;
    std::string suburb;
    std::string city;
    int country = 34;
    double x = kNotLocatedCoordinate; // longitude, degrees
    double y = kNotLocatedCoordinate; // latitude, degrees
    // The point the router refused.
    double savedX = kNotLocatedCoordinate;
    double savedY = kNotLocatedCoordinate;
    int status = kLocatorNotFound;
    int locationClass = -1;

    int GetCount() const { return static_cast<int>(candidates.size()); }
    bool HasPoint() const { return x != kNotLocatedCoordinate && y != kNotLocatedCoordinate; }
    TLocatorData& AddCandidate() { return candidates.emplace_back(); }
    void ClearPoint() { x = y = kNotLocatedCoordinate; }
};

// The geocoder search: appends the matches of an address to the entry's candidates.
class CLocatorGeocoder
{
  public:
    virtual ~CLocatorGeocoder() = default;
    // `countryCode` is the country table's registration code; kLocatorSearchOk when candidates
    // were appended, kLocatorSearchFailed otherwise.
    virtual long SearchAddressAndFillPossibles(const std::string& countryCode,
                                               const std::string& postcode, const std::string& city,
                                               const std::string& suburb, const std::string& street,
                                               CLocatorPossibleLocations& entry) = 0;
};

// The router's check of a located point.
class CLocatorRouterCheck
{
  public:
    virtual ~CLocatorRouterCheck() = default;
    // 0 when the router cannot use the entry's point.
    virtual int CheckAbnormalNode(const CLocatorPossibleLocations& entry) = 0;
};

// The country a point lies in.
class CLocatorCountryTest
{
  public:
    virtual ~CLocatorCountryTest() = default;
    // The country number at the point (degrees), -1 when it cannot be told.
    virtual int GetCountryAt(double longitude, double latitude) = 0;
};

// The address locator: one entry per place to examine. Without a geocoder every search fails,
// without a router check every point is usable, without a country test the country is unknown.
class CLocator
{
  public:
    CLocator() = default;
    virtual ~CLocator() = default;
    CLocator(const CLocator&) = delete;
    CLocator& operator=(const CLocator&) = delete;

    int GetCount() const { return static_cast<int>(m_Entries.size()); }
    CLocatorPossibleLocations& Entry(int index)
    {
        return m_Entries[static_cast<std::size_t>(index)];
    }
    const CLocatorPossibleLocations& Entry(int index) const
    {
        return m_Entries[static_cast<std::size_t>(index)];
    }
    CLocatorPossibleLocations& AddEntry() { return m_Entries.emplace_back(); }

    // Appends a place; its key then names it (a later place with the same key takes the key
    // over). Without a point it starts not located; with one, confirmed unless the router
    // refuses the point.
    CLocatorPossibleLocations& AddLocation(const std::string& key, const std::string& name,
                                           int category, double longitude, double latitude,
                                           int country, const std::string& postcode,
                                           const std::string& city, const std::string& street,
                                           const std::string& suburb, int locationClass);
    // Every entry and the key index go.
    void RemoveAll();
    // Every entry goes; the key index stays.
    void RemoveAllEntries();
    // The entry the key names; null when none.
    CLocatorPossibleLocations* FindLocation(const std::string& key);
    // The cursor over the entries of one category: StartCategory puts it on the first entry of
    // the category, NextInCategory on the next one; past the last one IsAtEnd is true.
    void StartCategory(int category);
    bool IsAtEnd() const { return m_nCursor >= GetCount(); }
    void NextInCategory();
    // The entry under the cursor; null when the cursor is past the end.
    const CLocatorPossibleLocations* Current() const;
    // Copies the entry under the cursor into a location record (no routing node code; its
    // point, name, city, postcode, street and country) and gives its state; -1 past the end.
    int GetLocatorData(TLocationData& location) const;

    // Whether the entry holds a candidate with the same point, country, postcode, city and
    // street.
    bool ContainsCandidate(int index, const TLocatorData& candidate) const;

    // The services are owned by the caller; null puts the headless answer back.
    void SetGeocoder(CLocatorGeocoder* geocoder) { m_pGeocoder = geocoder; }
    void SetRouterCheck(CLocatorRouterCheck* check) { m_pRouterCheck = check; }
    void SetCountryTest(CLocatorCountryTest* test) { m_pCountryTest = test; }

    // The check pass over every entry: entries without a point are geocoded, located points may
    // be tested against their country and are offered to the router. A cancel does not stop the
    // pass; the result is 0 when one was seen, else 1.
    int CheckNodes(trv::Progress* progress);
    // Geocodes one entry; it takes its first candidate's point when it had none.
    void LocateEntry(int index);
    // Removes the leading street-type abbreviations from the entry's street text.
    void NormaliseStreetText(int index);
    // Entries in state 1 or 2, and 3 unless ambiguous entries count as located.
    int CountProblemEntries() const;

    // After a search: reduces the entry's candidates to the best street match (all of them
    // when none matches). `entry` is the entry at `index`.
    virtual void KeepBestStreetMatch(int index, CLocatorPossibleLocations& entry);
    // After a search: grades the entry from its last `count` candidates (0: all of them).
    virtual void ClassifyLocation(int index, int count);

  private:
    long Search(const std::string& countryCode, CLocatorPossibleLocations& entry);
    void CheckEntry(int index);
    // The router's answer for the entry's point; moves a refused point to the saved one.
    void CheckRoute(CLocatorPossibleLocations& entry);

    std::vector<CLocatorPossibleLocations> m_Entries;
    CLocatorGeocoder* m_pGeocoder = nullptr;
    CLocatorRouterCheck* m_pRouterCheck = nullptr;
    CLocatorCountryTest* m_pCountryTest = nullptr;
    // Set during a check pass once the missing geocoder was reported.
    bool m_bInPass = false;
    bool m_bMissingGeocoderReported = false;
    // Set: the street match empties an entry's candidates before keeping the chosen ones.
    bool m_bReplace = true;
    int m_nCursorCategory = 0;
    int m_nCursor = 0;
    std::unordered_map<std::string, int> m_NameIndex{1009};
};

// The street text with its leading street-type abbreviations removed, upper-cased; the text as
// it was when none qualifies.
std::string NormaliseStreet(std::string_view street);

// The street text as the geocoder is asked: a blank appended, filler words and "S/N" replaced
// by a blank, slashes made blanks, and the text cut after its first number.
std::string GeocoderStreet(std::string_view street);

// The longest word of more than three characters that is no street-type word; the whole text
// when there is none.
std::string SignificantStreetWord(std::string_view street);
