#pragma once

#include "containers/BoolTable.h"

#include <array>
#include <string_view>

// Tables built by code rather than read: the province tables of the transport-card rule, the
// country table and the lists of dialog controls to hide.

// Provinces are numbered by the first two digits of the postcode, 1 to 50; 0 is no province.
inline constexpr int ProvinceCount = 51;
inline constexpr int CountryCount = 1000;

// One country number's registration code and name; both empty for an unused number.
struct TCountryEntry
{
    std::string_view code;
    std::string_view name;
};

namespace trv {

// Bit (row r, column c) set: a card of province r admits province c.
CBoolTable& ProvinceNeighbours();
// Row 0, bit c set: province c is admitted for loads or deliveries in Portugal.
CBoolTable& PortugalProvinces();
// Indexed by country number; filled by BuildCountryTable.
const std::array<TCountryEntry, CountryCount>& CountryTable();
// The entry of a country number; an empty entry outside 0..999.
const TCountryEntry& GetCountryEntry(int countryNumber);

} // namespace trv

// (Re)creates the province neighbour table (51 x 51).
void BuildProvinceNeighbours();
// (Re)creates the one-row table of provinces admitted for Portugal.
void BuildPortugalProvinces();
// Empties every country entry, then fills the known ones; repeated fills give the same table.
void BuildCountryTable();

// Appends a control to the dialog template's hidden list, creating the list when needed.
void AddHiddenControl(int templateNumber, int controlNumber);
// Hides the whole template (an empty list) unless it already has a list, which stays.
void HideDialogTemplate(int templateNumber);
