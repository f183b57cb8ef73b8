#include "model/LookupTables.h"

#include "containers/IntTree.h"

#include <initializer_list>

namespace {

struct ProvinceRow
{
    int row;
    std::initializer_list<int> columns;
};

// The provinces each card admits besides itself and "no province". Not symmetric: the card's
// province is the row.
const ProvinceRow NeighbourRows[] = {
    {1, {2, 9, 20, 26, 31, 48}},
    {2, {3, 13, 16, 18, 23, 30, 46}},
    {3, {2, 30, 46}},
    {4, {18, 30}},
    {5, {10, 28, 37, 40, 45, 47}},
    {6, {10, 13, 14, 21, 41, 45}},
    {8, {17, 25, 43}},
    {9, {1, 26, 34, 39, 40, 42, 47, 48}},
    {10, {5, 6, 37, 45}},
    {11, {21, 29, 41}},
    {12, {43, 44, 46}},
    {13, {2, 6, 14, 16, 23, 45}},
    {14, {6, 13, 18, 23, 29, 41}},
    {15, {27, 32, 36}},
    {16, {2, 13, 19, 28, 44, 45, 46}},
    {17, {8, 13, 25}},
    {18, {4, 14, 23, 29, 30}},
    {19, {16, 28, 40, 42, 44, 50}},
    {20, {1, 31, 48}},
    {21, {6, 11, 41}},
    {22, {25, 31, 50}},
    {23, {2, 13, 14, 18}},
    {24, {27, 32, 33, 34, 39, 47, 49}},
    {25, {8, 17, 22, 43, 50}},
    {26, {1, 9, 31, 42, 50}},
    {27, {15, 24, 32, 33, 36}},
    {28, {5, 16, 19, 40, 45}},
    {29, {11, 14, 18, 41}},
    {30, {2, 3, 4, 18}},
    {31, {1, 20, 22, 26, 48, 50}},
    {32, {15, 24, 27, 36, 49}},
    {33, {24, 27, 39}},
    {34, {9, 24, 39, 47}},
    {36, {15, 27, 32}},
    {37, {5, 10, 47}},
    {39, {9, 24, 33, 34, 48}},
    {40, {5, 9, 19, 28, 42, 47}},
    {41, {6, 11, 14, 21, 29}},
    {42, {9, 19, 26, 40, 50}},
    {43, {8, 12, 25, 44, 50}},
    {44, {12, 16, 19, 43, 46, 50}},
    {45, {5, 6, 10, 13, 16, 28}},
    {46, {2, 3, 12, 16, 44}},
    {47, {5, 9, 24, 34, 37, 40, 49}},
    {48, {1, 9, 20, 31, 39}},
    {49, {24, 32, 37, 47}},
    {50, {19, 22, 25, 26, 31, 42, 43, 44}},
};

const int PortugalColumns[] = {5, 6, 10, 11, 13, 14, 15, 21, 24, 27, 32, 36, 37, 41, 45, 47, 49};

struct CountryRow
{
    int number;
    std::string_view code;
    std::string_view name;
};

const CountryRow Countries[] = {
    {1, "CZ", "Czech Republic"},
    {2, "SK", "Slovakia"},
    {7, "RSM", "San Marino"},
    {10, "PR", "Puerto Rico"},
    {12, "GE", "Georgia"},
    {13, "LV", "Latvia"},
    {14, "LT", "Lithuania"},
    {15, "MD", "Moldova"},
    {16, "RUS", "Russia"},
    {17, "UA", "Ukraine"},
    {18, "BY", "Belarus"},
    {20, "ET", "Egypt"},
    {27, "ZA", "South Africa"},
    {30, "GR", "Greece"},
    {31, "NL", "Netherlands"},
    {32, "B", "Belgium"},
    {33, "F", "France"},
    {34, "E", "España"},
    {36, "H", "Hungary"},
    {39, "I", "Italia"},
    {40, "RO", "Romania"},
    {41, "CH", "Switzerland"},
    {43, "A", "Austria"},
    {44, "GB", "Great Britain"},
    {45, "DK", "Denmark"},
    {46, "S", "Sweden"},
    {47, "N", "Norway"},
    {48, "PL", "Poland"},
    {49, "D", "Deutschland"},
    {50, "GBZ", "Gibraltar"},
    {51, "P", "Portugal"},
    {52, "L", "Luxembourg"},
    {53, "IRL", "Ireland"},
    {54, "IS", "Iceland"},
    {55, "AL", "Albania"},
    {56, "M", "Malta"},
    {57, "CY", "Cyprus"},
    {58, "FIN", "Finland"},
    {59, "BG", "Bulgaria"},
    {60, "MAL", "Malaysia"},
    {61, "RL", "Lebanon"},
    {62, "AND", "Andorra"},
    {63, "SYR", "Syria"},
    {64, "NZ", "New Zealand"},
    {65, "SGP", "Singapore"},
    {66, "KSA", "Saudi Arabia"},
    {71, "LAR", "Libya"},
    {72, "IL", "Israel"},
    {73, "PLA", "Palestine"},
    {74, "USB", "Uzbekistan"},
    {75, "FL", "Liechtenstein"},
    {76, "MA", "Morocco"},
    {77, "DZ", "Algeria"},
    {78, "TN", "Tunisia"},
    {79, "DAS", "Western Sahara"},
    {80, "RIM", "Mauritania"},
    {81, "SRB", "Serbia"},
    {82, "ROK", "South Korea"},
    {83, "JOR", "Jordan"},
    {84, "VN", "Vietnam"},
    {85, "HR", "Croatia"},
    {86, "SLO", "Slovenia"},
    {87, "BIH", "Bosnia"},
    {89, "MK", "North Macedonia"},
    {90, "TR", "Turkey"},
    {91, "IND", "India"},
    {92, "PK", "Pakistan"},
    {93, "MC", "Monaco"},
    {94, "AZ", "Azerbaijan"},
    {95, "AM", "Armenia"},
    {96, "V", "Vatican City"},
    {98, "FR", "Faroe Islands"},
    {100, "USA", "United States of America"},
    {101, "ALA", "US Alabama"},
    {102, "AK", "US Alaska"},
    {104, "ARZ", "US Arizona"},
    {105, "AR", "US Arkansas"},
    {106, "CA", "US California"},
    {108, "COL", "US Colorado"},
    {109, "CT", "US Connecticut"},
    {110, "DE", "US Delaware"},
    {111, "DC", "US District of Columbia"},
    {112, "FLO", "US Florida"},
    {113, "GA", "US Georgia"},
    {115, "HI", "US Hawaii"},
    {116, "ID", "US Idaho"},
    {117, "ILL", "US Illinois"},
    {118, "IN", "US Indiana"},
    {119, "IA", "US Iowa"},
    {120, "KAN", "US Kansas"},
    {121, "KY", "US Kentucky"},
    {122, "LA", "US Louisiana"},
    {123, "ME", "US Maine"},
    {124, "MAR", "US Maryland"},
    {125, "MAS", "US Massachusetts"},
    {126, "MI", "US Michigan"},
    {127, "MN", "US Minnesota"},
    {128, "MSS", "US Mississippi"},
    {129, "MO", "US Missouri"},
    {130, "MTA", "US Montana"},
    {131, "NEB", "US Nebraska"},
    {132, "NV", "US Nevada"},
    {133, "NHA", "US New Hampshire"},
    {134, "NJ", "US New Jersey"},
    {135, "NM", "US New Mexico"},
    {136, "NY", "US New York"},
    {137, "NCA", "US North Carolina"},
    {138, "ND", "US North Dakota"},
    {139, "OH", "US Ohio"},
    {140, "OK", "US Oklahoma"},
    {141, "OR", "US Oregon"},
    {142, "PEN", "US Pennsylvania"},
    {144, "RIS", "US Rhode Island"},
    {145, "SC", "US South Carolina"},
    {146, "SDA", "US South Dakota"},
    {147, "TNS", "US Tennessee"},
    {148, "TX", "US Texas"},
    {149, "UT", "US Utah"},
    {150, "VT", "US Vermont"},
    {151, "VA", "US Virginia"},
    {153, "WA", "US Washington"},
    {154, "WVI", "US West Virginia"},
    {155, "WIS", "US Wisconsin"},
    {156, "WY", "US Wyoming"},
    {200, "CDN", "Canada"},
    {201, "ABA", "CDN Alberta"},
    {202, "BC", "CDN British Columbia"},
    {203, "MB", "CDN Manitoba"},
    {204, "NB", "CDN New Brunswick"},
    {205, "NLL", "CDN Newfoundland and Labrador"},
    {207, "NS", "CDN Nova Scotia"},
    {208, "ON", "CDN Ontario"},
    {209, "PEI", "CDN Prince Edward Island"},
    {210, "QC", "CDN Quebec"},
    {211, "SKW", "CDN Saskatchewan"},
    {212, "YT", "CDN Yukon"},
    {213, "NT", "CDN Northwest Territories"},
    {214, "NU", "CDN Nunavut"},
    {220, "WAG", "Gambia"},
    {221, "SN", "Senegal"},
    {223, "RMM", "Mali"},
    {224, "GUI", "Guinea"},
    {226, "BF", "Burkina Faso"},
    {227, "RN", "Niger"},
    {228, "RT", "Togo"},
    {229, "DY", "Benin"},
    {230, "MS", "Mauritius"},
    {231, "LB", "Liberia"},
    {232, "WAL", "Sierra Leone"},
    {233, "GH", "Ghana"},
    {234, "WAN", "Nigeria"},
    {235, "TCH", "Chad"},
    {236, "RCA", "Central African Republic"},
    {237, "RFC", "Cameroon"},
    {238, "CV", "Cape Verde"},
    {239, "ST", "Sao Tome and Principe"},
    {240, "EQG", "Equatorial Guinea"},
    {241, "GAB", "Gabon"},
    {242, "CGO", "Congo"},
    {243, "ZRE", "Democratic Republic of the Congo"},
    {244, "ANG", "Angola"},
    {245, "BI", "Guinea-Bissau"},
    {248, "SY", "Seychelles"},
    {249, "SUD", "Sudan"},
    {250, "RWA", "Rwanda"},
    {251, "ETH", "Ethiopia"},
    {252, "SP", "Somalia"},
    {253, "DJ", "Djibouti"},
    {254, "EAK", "Kenya"},
    {255, "EAT", "Tanzania"},
    {256, "EAU", "Uganda"},
    {257, "BU", "Burundi"},
    {258, "MOC", "Mozambique"},
    {260, "Z", "Zambia"},
    {261, "RM", "Madagascar"},
    {262, "RE", "Reunion"},
    {263, "ZW", "Zimbabwe"},
    {264, "NAM", "Namibia"},
    {265, "MW", "Malawi"},
    {266, "LS", "Lesotho"},
    {267, "RB", "Botswana"},
    {268, "SD", "Eswatini"},
    {269, "KO", "Comoros"},
    {270, "MAY", "Mayotte"},
    {291, "ER", "Eritrea"},
    {297, "NL", "Aruba"},
    {299, "GD", "Greenland"},
    // Territories and special areas; those without a registration code of their own carry
    // the ZZ codes.
    {300, "ZZA", "Special area ZZA"},
    {301, "ZZB", "Special area ZZB"},
    {302, "ZZC", "Special area ZZC"},
    {303, "ZZD", "Special area ZZD"},
    {304, "GB", "British overseas territory"},
    {305, "VI", "Virgin Islands"},
    {306, "AUS", "Australian external territory"},
    {307, "ZZE", "Special area ZZE"},
    {308, "AUS", "Australian external territory"},
    {309, "CI", "Ivory Coast"},
    {310, "ZZF", "Special area ZZF"},
    {311, "ZZG", "Special area ZZG"},
    {312, "ZZH", "Special area ZZH"},
    {313, "ZZI", "Special area ZZI"},
    {314, "IL", "Israeli-administered territory"},
    {315, "GBG", "Guernsey"},
    {316, "ZZJ", "Special area ZZJ"},
    {317, "HK", "Hong Kong"},
    {318, "USA", "United States territory"},
    {319, "ZZK", "Special area ZZK"},
    {320, "N", "Norwegian territory"},
    {321, "GBJ", "Jersey"},
    {322, "USA", "United States territory"},
    {323, "ZZL", "Special area ZZL"},
    {324, "UMI", "United States Minor Outlying Islands (Kingman Reef)"},
    {325, "GBM", "Isle of Man"},
    {326, "USA", "United States territory"},
    {327, "CS", "Serbia and Montenegro territory"},
    {328, "NZ", "New Zealand territory"},
    {329, "AUS", "Australian external territory"},
    {330, "USA", "United States territory"},
    {331, "ZZM", "Special area ZZM"},
    {332, "CS", "Serbia and Montenegro territory"},
    {333, "GB", "British overseas territory"},
    {334, "ZZN", "Special area ZZN"},
    {335, "SH", "Saint Helena"},
    {336, "N", "Norwegian territory"},
    {337, "NZ", "New Zealand territory"},
    {338, "ZZO", "Special area ZZO"},
    {339, "USA", "United States territory"},
    {340, "FSM", "Micronesia"},
    {341, "DVR", "Special area DVR"},
    {342, "ZZP", "Special area ZZP"},
    {382, "MNE", "Montenegro"},
    {500, "FK", "Falk land Islands"},
    {501, "BH", "Belize"},
    {502, "GCA", "Guatemala"},
    {503, "ES", "El Salvador"},
    {504, "HN", "Honduras"},
    {505, "NIC", "Nicaragua"},
    {506, "CR", "Costa Rica"},
    {507, "PA", "Panama"},
    {509, "RH", "Haiti"},
    {530, "TT", "Trinidad and Tobago"},
    {531, "WG", "Grenada"},
    {532, "BDS", "Barbados"},
    {533, "WV", "Saint Vincent and the Grenadines"},
    {534, "WL", "Saint Lucia"},
    {535, "WD", "Dominica"},
    {536, "DOM", "Dominican Republic"},
    {537, "KC", "Saint Kitts and Nevis"},
    {538, "JA", "Jamaica"},
    {539, "MOT", "Montserrat"},
    {540, "AB", "Antigua and Barbuda"},
    {543, "ADS", "Anguilla Dog Isle and Sombrero"},
    {544, "VIB", "British Virgin Islands"},
    {545, "VIN", "United States Virgin Islands"},
    {546, "CAY", "Cayman Islands"},
    {547, "TQ", "Turks and Caicos Islands"},
    {548, "NAV", "Navassa Island"},
    {550, "BM", "Bermuda"},
    {551, "PM", "Saint Pierre and Miquelon"},
    {590, "GL", "Guadeloupe"},
    {591, "BOL", "Bolivia"},
    {592, "GUY", "Guyana"},
    {593, "EC", "Ecuador"},
    {594, "FG", "French Guiana"},
    {595, "PY", "Paraguay"},
    {596, "MR", "Martinique"},
    {597, "SME", "Suriname"},
    {598, "ROU", "Uruguay"},
    {599, "NA", "Netherlands Antilles"},
    {670, "NMI", "Northern Mariana Islands"},
    {671, "GM", "Guam"},
    {673, "BRU", "Brunei"},
    {674, "NAU", "Nauru"},
    {675, "NE", "Papua New Guinea"},
    {676, "TS", "Tonga"},
    {677, "SIS", "Solomon Islands"},
    {678, "NH", "Vanuatu"},
    {679, "FJI", "Fiji"},
    {680, "PW", "Palau"},
    {681, "WF", "Wallis and Futuna"},
    {682, "RG", "Cook Islands"},
    {684, "WSA", "American Samoa"},
    {685, "WS", "Samoa"},
    {686, "KR", "Kiribati"},
    {687, "NC", "New Caledonia"},
    {688, "TV", "Tuvalu"},
    {689, "FP", "French Polynesia"},
    {691, "CAR", "Caroline Islands"},
    {692, "MIS", "Marshall Islands"},
    {696, "JI", "Johnston Island"},
    {698, "WI", "Wake Island"},
    {701, "CDN", "Canada"},
    {741, "WAU", "AUS Western Australia"},
    {742, "QLD", "AUS Queensland"},
    {743, "NSW", "AUS New South Wales"},
    {744, "SA", "AUS South Australia"},
    {746, "TAS", "AUS Tasmania"},
    {747, "NTE", "AUS Northern Territory"},
    {748, "ACT", "AUS Australian Capital Territory"},
    {751, "PE", "Peru"},
    {752, "MEX", "Mexico"},
    {753, "C", "Cuba"},
    {754, "RA", "Argentina"},
    {755, "BR", "Brazil"},
    {756, "RCH", "Chile"},
    {757, "CO", "Colombia"},
    {758, "YV", "Venezuela"},
    {759, "CYA", "Cyprus (Greek part)"},
    {760, "CYB", "Cyprus (TRNC)"},
    {761, "AUS", "Australia"},
    {762, "RI", "Indonesia"},
    {763, "RP", "Philippines"},
    {766, "THA", "Thailand"},
    {773, "PLA", "Palestine"},
    {775, "TMN", "Turkmenistan"},
    {776, "KZ", "Kazakhstan"},
    {777, "KS", "Kyrgyzstan"},
    {778, "TAD", "Tajikistan"},
    {781, "J", "Japan"},
    {786, "CN", "China"},
    {793, "AFG", "Afghanistan"},
    {794, "CL", "Sri Lanka"},
    {795, "MYA", "Myanmar"},
    {798, "IRN", "Iran"},
    {809, "BS", "Bahamas"},
    {853, "MAC", "Macau"},
    {855, "K", "Cambodia"},
    {856, "LAO", "Laos"},
    {880, "BD", "Bangladesh"},
    {886, "RC", "Taiwan"},
    {960, "MDS", "Maldives"},
    {964, "IRQ", "Iraq"},
    {965, "KWT", "Kuwait"},
    {967, "ADN", "Yemen"},
    {968, "OM", "Oman"},
    {971, "United Arab Emirates", "United Arab Emirates"},
    {973, "Bahrain", "Bahrain"},
    {974, "Qatar", "Qatar"},
    {975, "Bhutan", "Bhutan"},
    {976, "MGL", "Mongolia"},
    {977, "NEP", "Nepal"},
    {978, "OT", "Special area OT"},
};

CBoolTable& NeighbourTable()
{
    static CBoolTable table;
    return table;
}

CBoolTable& PortugalTable()
{
    static CBoolTable table;
    return table;
}

std::array<TCountryEntry, CountryCount>& Countries1000()
{
    static std::array<TCountryEntry, CountryCount> table;
    return table;
}

} // namespace

namespace trv {

CBoolTable& ProvinceNeighbours()
{
    return NeighbourTable();
}

CBoolTable& PortugalProvinces()
{
    return PortugalTable();
}

const std::array<TCountryEntry, CountryCount>& CountryTable()
{
    return Countries1000();
}

const TCountryEntry& GetCountryEntry(int countryNumber)
{
    static const TCountryEntry none;
    if (countryNumber < 0 || countryNumber >= CountryCount)
        return none;
    return Countries1000()[countryNumber];
}

} // namespace trv

void BuildProvinceNeighbours()
{
    CBoolTable& table = NeighbourTable();
    table.Create(ProvinceCount, ProvinceCount);
    for (int i = 0; i < ProvinceCount; ++i) {
        table.SetBit(i, i);
        table.SetBit(0, i);
        table.SetBit(i, 0);
    }
    for (const ProvinceRow& row : NeighbourRows)
        for (int column : row.columns)
            table.SetBit(column, row.row);
}

void BuildPortugalProvinces()
{
    CBoolTable& table = PortugalTable();
    table.Create(ProvinceCount, 1);
    for (int column : PortugalColumns)
        table.SetBit(column, 0);
}

void BuildCountryTable()
{
    std::array<TCountryEntry, CountryCount>& table = Countries1000();
    table.fill(TCountryEntry{});
    for (const CountryRow& country : Countries)
        table[country.number] = TCountryEntry{country.code, country.name};
}

void AddHiddenControl(int templateNumber, int controlNumber)
{
    if (CSimpleList<int>* controls = FindInIntTree(templateNumber)) {
        controls->AddTail(controlNumber);
        return;
    }
    CSimpleList<int> controls;
    controls.AddTail(controlNumber);
    InsertInIntTree(templateNumber, controls);
}

void HideDialogTemplate(int templateNumber)
{
    // Insertion keeps an existing list, so a template with listed controls stays visible.
    InsertInIntTree(templateNumber, CSimpleList<int>());
}
