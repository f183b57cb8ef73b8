// Building the catalogue: key sets, builders, widths, formats and the planning date.

#include "params/TrevantorVariables.h"

#include "KLV/Fetch.h"
#include "KLV/Trace.h"
#include "params/Parameters.h"

namespace {

constexpr int kInitialBuckets = 17;
constexpr int kBuiltBuckets = 161;
constexpr int kDefaultMaxChars = 500;

// The entity kind each key set carries, by slot.
constexpr int kSlotEntityKinds[KEYS_COUNT] = {
    ENTITY_ORDER,
    ENTITY_ORDER_LINE,
    ENTITY_CUSTOMER,
    ENTITY_TRUCK,
    ENTITY_TRAILER,
    ENTITY_DRIVER,
    ENTITY_RESOURCE,
    ENTITY_LORRY_TOTALS,
    ENTITY_TRIP_TOTALS,
    ENTITY_STOP_POINT,
    ENTITY_LOCATION,
    -1,
    ENTITY_WAREHOUSE,
    0,
    0,
    0,
    0,
};

void CopyFormats(const CTrevantorVariables& from, CVariablesKeys& to)
{
    to.m_strDateFormat = from.m_strDateFormat;
    to.m_strMinutesFormat = from.m_strMinutesFormat;
    to.m_strTimeOfDayFormat = from.m_strTimeOfDayFormat;
    to.m_numberFormat1 = from.m_numberFormat1;
    to.m_numberFormat2 = from.m_numberFormat2;
}

TNumberFormat PlainNumberFormat(int decimals)
{
    TNumberFormat format;
    format.decimalSeparator = '.';
    format.thousandsSeparator = '\0';
    format.decimals = decimals;
    format.grouping = 0;
    return format;
}

std::unique_ptr<CTrevantorVariables>& Instance()
{
    static std::unique_ptr<CTrevantorVariables> catalogue = std::make_unique<CTrevantorVariables>();
    return catalogue;
}

} // namespace

CTrevantorVariables::CTrevantorVariables() : m_tripsIncompatibilityTest([] { return false; })
{
    InitHashTable(kInitialBuckets);
    for (int slot = 0; slot < KEYS_COUNT; ++slot)
        m_keySets[static_cast<size_t>(slot)].m_nEntityKind = kSlotEntityKinds[slot];
}

CTrevantorVariables::~CTrevantorVariables() = default;

void CTrevantorVariables::Init()
{
    for (TTrevantorVariablesShowed* columns : m_dialogColumns)
        if (columns)
            columns->RemoveAllColumns();
    m_dialogColumns.SetSize(0);
    m_dialogOptions.SetSize(0);

    m_widthReader = std::make_unique<CFetch>();
    m_widthReader->ReadMaximumCharacters();

    RemoveAll();
    InitHashTable(kBuiltBuckets);

    InitOrderVariables();
    InitOrderLineVariables();
    InitCustomerVariables();
    InitTruckVariables();
    InitTrailerVariables();
    InitDriverVariables();
    InitResourceVariables();
    InitLorryTotalsVariables();
    InitTripTotalsVariables();
    InitStopPointVariables();
    InitLocationVariables();
    InitLocationEntryVariables();
    InitWarehouseVariables();

    CreateDialogColumnSets();
    ApplyFormats();
}

void CTrevantorVariables::SetBuilder(int slot, TVariablesBuilder builder)
{
    if (slot < 0 || slot >= KEYS_BUILT_COUNT)
        return;
    m_builders[static_cast<size_t>(slot)] = std::move(builder);
}

void CTrevantorVariables::RunBuilder(int slot)
{
    CTrevantorVariablesKeys& keys = GetKeySet(slot);
    keys.m_nEntityKind = kSlotEntityKinds[slot];
    keys.m_pOwner = this;
    if (const TVariablesBuilder& builder = m_builders[static_cast<size_t>(slot)])
        builder(*this, keys);
}

void CTrevantorVariables::InitOrderVariables()
{
    RunBuilder(KEYS_ORDER);
}
void CTrevantorVariables::InitOrderLineVariables()
{
    RunBuilder(KEYS_ORDER_LINE);
}
void CTrevantorVariables::InitCustomerVariables()
{
    RunBuilder(KEYS_CUSTOMER);
}
void CTrevantorVariables::InitTruckVariables()
{
    RunBuilder(KEYS_TRUCK);
}
void CTrevantorVariables::InitTrailerVariables()
{
    RunBuilder(KEYS_TRAILER);
}
void CTrevantorVariables::InitDriverVariables()
{
    RunBuilder(KEYS_DRIVER);
}
void CTrevantorVariables::InitResourceVariables()
{
    RunBuilder(KEYS_RESOURCE);
}
void CTrevantorVariables::InitLorryTotalsVariables()
{
    RunBuilder(KEYS_LORRY_TOTALS);
}
void CTrevantorVariables::InitTripTotalsVariables()
{
    RunBuilder(KEYS_TRIP_TOTALS);
}
void CTrevantorVariables::InitStopPointVariables()
{
    RunBuilder(KEYS_STOP_POINT);
}
void CTrevantorVariables::InitLocationVariables()
{
    RunBuilder(KEYS_LOCATION);
}
void CTrevantorVariables::InitLocationEntryVariables()
{
    RunBuilder(KEYS_LOCATION_ENTRY);
}
void CTrevantorVariables::InitWarehouseVariables()
{
    RunBuilder(KEYS_WAREHOUSE);
}

int CTrevantorVariables::GetMaxChars(const std::string& key)
{
    if (!m_widthReader) {
        m_widthReader = std::make_unique<CFetch>();
        m_widthReader->ReadMaximumCharacters();
    }
    const int width = m_widthReader->GetMaxChars(key, 1);
    return width == -1 ? kDefaultMaxChars : width;
}

void CTrevantorVariables::ApplyFormats()
{
    m_strDateFormat = "%d/%m/%Y";
    m_strMinutesFormat = "%H:%M";
    m_strTimeOfDayFormat = "%H:%M";
    m_numberFormat1 = PlainNumberFormat(CUserParameters::GetDecimalPrecision());
    m_numberFormat2 = PlainNumberFormat(CUserParameters::GetDecimalPrecision());
    for (CTrevantorVariablesKeys& keys : m_keySets)
        CopyFormats(*this, keys);
    for (TTrevantorVariablesShowed* columns : m_dialogColumns)
        if (columns)
            CopyFormats(*this, *columns);
}

void CTrevantorVariables::SetSchedulingDate(const trv::OleDate& date)
{
    const auto setDate = [&date](CVariablesKeys& keys) {
        keys.m_referenceDate = date;
        keys.m_strReferenceToken = kSchedulingDateToken;
    };
    setDate(GetKeySet(KEYS_STOP_POINT));
    for (TTrevantorVariablesShowed* columns : m_dialogColumns)
        if (columns)
            setDate(*columns);
}

CTrevantorVariablesKeys* CTrevantorVariables::GetKeysOfEntity(int entityKind)
{
    switch (entityKind) {
    case ENTITY_ORDER:
    case ENTITY_ORDER_WITHOUT_LINES:
        return &GetKeySet(KEYS_ORDER);
    case ENTITY_LOCATION_ENTRY:
        return &GetKeySet(KEYS_LOCATION_ENTRY);
    default:
        break;
    }
    for (int slot = 0; slot < KEYS_BUILT_COUNT; ++slot)
        if (kSlotEntityKinds[slot] == entityKind)
            return &GetKeySet(slot);
    return nullptr;
}

TTrevantorVariablesShowed* CTrevantorVariables::GetDialogColumns(int dialog)
{
    if (dialog < 0 || dialog >= m_dialogColumns.GetSize())
        return nullptr;
    return m_dialogColumns[dialog];
}

const TTrevantorVariablesShowed* CTrevantorVariables::GetDialogColumns(int dialog) const
{
    if (dialog < 0 || dialog >= m_dialogColumns.GetSize())
        return nullptr;
    return m_dialogColumns[dialog];
}

TVarsShowed* CTrevantorVariables::GetDialogOptions(int dialog)
{
    if (dialog < 0 || dialog >= m_dialogOptions.GetSize())
        return nullptr;
    return m_dialogOptions[dialog];
}

void CTrevantorVariables::SetTripsIncompatibilityTest(std::function<bool()> test)
{
    m_tripsIncompatibilityTest = test ? std::move(test) : [] { return false; };
}

CTrevantorVariables& TrevantorVariables()
{
    return *Instance();
}

void ResetTrevantorVariables()
{
    Instance() = std::make_unique<CTrevantorVariables>();
}
