// Whole entities moved to and from records, and the column texts of the dialogs.

#include "KLV/Trace.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string_view>
#include <vector>

namespace {

bool IsStopPointDialog(int dialog)
{
    return dialog == DIALOG_SCHEDULED_TRIPS || dialog == DIALOG_STOP_POINTS;
}

bool IsOrderOrStopDialog(int dialog)
{
    return dialog == DIALOG_ORDERS || dialog == DIALOG_ORDERS_WIZARD ||
           dialog == DIALOG_SERVICE_ORDERS || IsStopPointDialog(dialog);
}

bool IsResourceDialog(int dialog)
{
    return dialog == DIALOG_RESOURCES || dialog == DIALOG_RESOURCES_WIZARD ||
           dialog == DIALOG_SCHEDULED_RESOURCES || dialog == DIALOG_SERVICE_RESOURCES;
}

template <std::size_t N> using TKeyList = std::array<std::string_view, N>;

template <class Names> bool IsOneOf(const std::string& key, const Names& names)
{
    return std::find(std::begin(names), std::end(names), key) != std::end(names);
}

bool IsOneOf(const std::string& key, std::initializer_list<std::string_view> names)
{
    return IsOneOf<std::initializer_list<std::string_view>>(key, names);
}

// The fixed key lists of the applicability rules.
constexpr TKeyList<2> kStopCapacityKeys = {"STOP_POINT_QUANTITY", "STOP_POINT_VOLUME"};
constexpr TKeyList<2> kTrailerCapacityKeys = {"TRAILER_CAPACITY", "TRAILER_CAPACITY2"};
constexpr TKeyList<2> kOrderFareKeys = {"ORDER_FIXED_FARES", "ORDER_FIXED_FARES_RETURN"};
constexpr const char* kStopFareKey = "STOP_POINT_EXTRA_KM";
constexpr TKeyList<2> kResourceFareKeys = {"RESOURCE_FARE_ID", "RESOURCE_FARE_SUBID"};
constexpr const char* kOrderProductTypeKey = "PRODUCT_TYPE";
constexpr const char* kResourceProductTypeKey = "ALLOWED_PRODUCT_TYPES";

constexpr const char* kStopDateKey = "SCHEDULING_DATE + STOP_DAYS";
constexpr const char* kStopWeekKey = "#WEEK#SCHEDULING_DATE + STOP_DAYS";
constexpr const char* kStopWeekdayKey = "#DAYOFWEEK#SCHEDULING_DATE + STOP_DAYS";

// A key set's variable found by name, once per walk over many entities.
const TVarKeyStruct* FindByName(const CVariablesKeys& keys, const std::string& name)
{
    return keys.GetVariable(keys.FindVariable(name));
}

// A numeric member of an entity reached through its variable, whatever its storage.
class CNumberField
{
  public:
    CNumberField(const TVarKeyStruct* v, const TEntityRef& entity)
    {
        if (!v || !v->member)
            return;
        m_storage = v->member->Locate(entity);
        m_type = &v->member->StorageType();
    }
    bool Exists() const { return m_storage != nullptr; }
    double Get() const
    {
        if (!m_storage)
            return 0.0;
        if (*m_type == typeid(int32_t))
            return *static_cast<const int32_t*>(m_storage);
        if (*m_type == typeid(float))
            return *static_cast<const float*>(m_storage);
        if (*m_type == typeid(double))
            return *static_cast<const double*>(m_storage);
        return 0.0;
    }
    void Set(double value)
    {
        if (!m_storage)
            return;
        if (*m_type == typeid(int32_t))
            *static_cast<int32_t*>(m_storage) = static_cast<int32_t>(value);
        else if (*m_type == typeid(float))
            *static_cast<float*>(m_storage) = static_cast<float>(value);
        else if (*m_type == typeid(double))
            *static_cast<double*>(m_storage) = value;
    }

  private:
    void* m_storage = nullptr;
    const std::type_info* m_type = nullptr;
};

// A text member of an entity through its variable; null when there is none.
std::string* TextField(const TVarKeyStruct* v, const TEntityRef& entity)
{
    if (!v || !v->member || v->member->StorageType() != typeid(std::string))
        return nullptr;
    return static_cast<std::string*>(v->member->Locate(entity));
}

} // namespace

// ---- Reading -----------------------------------------------------------------------------------

bool CTrevantorVariables::ReadEntity(int entityKind, const TEntityRef& entity, CFieldRecord& record,
                                     int direct, const TFieldMap* fields)
{
    switch (entityKind) {
    case ENTITY_ORDER:
        return ReadOrder(entity, record, direct, fields);
    case ENTITY_ORDER_LINE:
    case ENTITY_TRUCK:
    case ENTITY_TRAILER:
    case ENTITY_DRIVER:
    case ENTITY_RESOURCE:
    case ENTITY_LOCATION_ENTRY:
    case ENTITY_WAREHOUSE:
        return GetKeysOfEntity(entityKind)->ReadFromFetch(entity, record, direct, fields) != 0;
    default:
        TRV_TRACE(1, "CTrevantorVariables::ReadEntity", "entity kind %d is not read", entityKind);
        return false;
    }
}

bool CTrevantorVariables::ReadOrder(const TEntityRef& order, CFieldRecord& record, int direct,
                                    const TFieldMap* fields)
{
    if (!GetKeySet(KEYS_ORDER).ReadFromFetch(order, record, direct, fields))
        return false;
    if (!m_navigation) {
        TRV_TRACE(1, "CTrevantorVariables::ReadEntity", "orders need the entity navigation");
        return false;
    }
    if (UserParameters().CustomerInOrderLines == 0) {
        const TEntityRef point = m_navigation->GetOrderDeliveryPoint(order);
        if (!GetKeySet(KEYS_CUSTOMER).ReadFromFetch(point, record, direct, fields))
            return false;
    }
    // The calculated-field exchange reads back the order's own fields only.
    if (fields)
        return true;
    return ReadOrderLines(order, record, direct);
}

bool CTrevantorVariables::ReadOrderLines(const TEntityRef& order, CFieldRecord& record, int direct)
{
    const CUserParameters& parameters = UserParameters();
    const bool customerInLines = parameters.CustomerInOrderLines != 0;
    CTrevantorVariablesKeys& orderKeys = GetKeySet(KEYS_ORDER);
    CTrevantorVariablesKeys& lineKeys = GetKeySet(KEYS_ORDER_LINE);
    CTrevantorVariablesKeys& customerKeys = GetKeySet(KEYS_CUSTOMER);
    // The variables every line touches, found once.
    const TVarKeyStruct* originalItems = FindByName(lineKeys, "PRODUCT_ORIGINAL_NUMBER_OF_ITEMS");
    const TVarKeyStruct* items = FindByName(lineKeys, "PRODUCT_NUMBER_OF_ITEMS");
    const TVarKeyStruct* productCode = FindByName(lineKeys, "PRODUCT_CODE");
    const TVarKeyStruct* productName = FindByName(lineKeys, "PRODUCT_NAME");
    const TVarKeyStruct* serviceTime = FindByName(customerKeys, "CUSTOMER_TIME");
    std::vector<int> requirements;
    for (int i = 0; i < orderKeys.GetSize(); ++i)
        if (orderKeys.GetVariable(i)->kind == VAR_REQUIREMENTS)
            requirements.push_back(i);

    CFieldRecord& lines = record.ResetLines("PRODUCT_CODE");
    bool result = true;
    while (result && !record.IsLinesEnd()) {
        const std::unique_ptr<CEntityHolder> holder = m_navigation->NewOrderLine();
        const TEntityRef line = holder->Get();
        // A source that cannot move would be asked again for ever.
        if (!record.MoveNextLine()) {
            TRV_TRACE(2, "CTrevantorVariables::ReadEntity",
                      "the order's lines end at a failed move");
            break;
        }
        result = lineKeys.ReadFromFetch(line, lines, direct, nullptr) != 0;
        if (!result)
            break;
        if (customerInLines) {
            const TEntityRef point = m_navigation->GetLineDeliveryPoint(line);
            result = customerKeys.ReadFromFetch(point, record, direct, nullptr) != 0;
            // A line's record may add requirements to its order.
            for (const int index : requirements)
                orderKeys.ReadVariable(index, order, record, direct, nullptr);
            if (!result)
                break;
        }
        CNumberField original(originalItems, line);
        if (original.Exists() && original.Get() <= 0.0)
            original.Set(CNumberField(items, line).Get());
        std::string* code = TextField(productCode, line);
        const std::string* name = TextField(productName, line);
        if (code && name && code->empty())
            *code = *name;

        int index = m_navigation->FindOrderLine(order, line, customerInLines);
        if (index < 0)
            index = m_navigation->AddOrderLineCopy(order, line);
        else if (parameters.NuncaDuplicarLineas == 0)
            m_navigation->AccumulateOrderLine(order, index, line);
        const TEntityRef kept = m_navigation->GetOrderLine(order, index);
        CNumberField minutes(serviceTime, m_navigation->GetLineDeliveryPoint(kept));
        if (minutes.Exists() && minutes.Get() == kUnsetTime)
            minutes.Set(parameters.UnloadTime);
    }
    return result;
}

// ---- Writing -----------------------------------------------------------------------------------

bool CTrevantorVariables::WriteEntity(int entityKind, const TEntityRef& entity,
                                      CFieldRecord& record, int flag,
                                      const TEntityRef& deliveryPoint)
{
    switch (entityKind) {
    case ENTITY_ORDER:
    case ENTITY_ORDER_WITHOUT_LINES:
        return WriteOrder(entityKind, entity, record, flag, deliveryPoint);
    case ENTITY_ORDER_LINE:
    case ENTITY_TRUCK:
    case ENTITY_TRAILER:
    case ENTITY_DRIVER:
    case ENTITY_RESOURCE:
    case ENTITY_LORRY_TOTALS:
    case ENTITY_TRIP_TOTALS:
    case ENTITY_STOP_POINT:
    case ENTITY_LOCATION:
    case ENTITY_LOCATION_ENTRY:
    case ENTITY_WAREHOUSE: {
        const char* tag = entityKind == ENTITY_RESOURCE    ? "RESOURCE"
                          : entityKind == ENTITY_WAREHOUSE ? "WAREHOUSE"
                                                           : "";
        return GetKeysOfEntity(entityKind)->WriteToFetch(entity, record, 0, tag, flag, nullptr);
    }
    default:
        TRV_TRACE(1, "CTrevantorVariables::WriteEntity", "entity kind %d is not written",
                  entityKind);
        return false;
    }
}

bool CTrevantorVariables::WriteOrder(int entityKind, const TEntityRef& order, CFieldRecord& record,
                                     int flag, const TEntityRef& deliveryPoint)
{
    if (!m_navigation) {
        TRV_TRACE(1, "CTrevantorVariables::WriteEntity", "orders need the entity navigation");
        return false;
    }
    const CUserParameters& parameters = UserParameters();
    CTrevantorVariablesKeys& customerKeys = GetKeySet(KEYS_CUSTOMER);
    bool result = GetKeySet(KEYS_ORDER).WriteToFetch(order, record, 0, "ORDER", flag, nullptr);
    const int lineCount = m_navigation->GetOrderLineCount(order);
    if (result) {
        if (parameters.CustomerInOrderLines == 0) {
            result = customerKeys.WriteToFetch(m_navigation->GetOrderDeliveryPoint(order), record,
                                               1, "", flag, nullptr);
        } else if (parameters.CustomerInOrderLines == 2 && lineCount > 0) {
            TEntityRef point = deliveryPoint;
            if (parameters.LoadingProblem != 0 || point.IsNull()) {
                // A delivery ends at its last line, a collection starts at its first.
                const int line = m_navigation->IsDeliveryOrder(order) ? lineCount - 1 : 0;
                point = m_navigation->GetLineDeliveryPoint(m_navigation->GetOrderLine(order, line));
            }
            customerKeys.WriteToFetch(point, record, 1, "", flag, nullptr);
        }
    }
    if (entityKind != ENTITY_ORDER)
        return result;
    CTrevantorVariablesKeys& lineKeys = GetKeySet(KEYS_ORDER_LINE);
    for (int i = 0; result && i < lineCount; ++i) {
        const TEntityRef line = m_navigation->GetOrderLine(order, i);
        result = lineKeys.WriteToFetch(line, record, 1, "", flag, nullptr);
        if (flag == 0)
            record.EvaluateVariables();
        if (result && parameters.CustomerInOrderLines == 1)
            customerKeys.WriteToFetch(m_navigation->GetLineDeliveryPoint(line), record, 1, "", flag,
                                      nullptr);
    }
    return result;
}

// ---- Columns -----------------------------------------------------------------------------------

TEntityRef CTrevantorVariables::GetEntityObject(int dialog, int entityKind, int lineIndex,
                                                const TEntityRef& entity, const TEntityRef& first,
                                                const TEntityRef& second,
                                                const TEntityRef& third) const
{
    TEntityRef start = entity;
    if (dialog == DIALOG_SCHEDULED_RESOURCES) {
        if (entityKind == ENTITY_LORRY_TOTALS || entityKind == ENTITY_TRIP_TOTALS)
            start = first;
    } else if (IsStopPointDialog(dialog)) {
        switch (entityKind) {
        case ENTITY_STOP_POINT:
            break;
        case ENTITY_LOCATION:
            start = first;
            break;
        case ENTITY_ORDER:
            start = second;
            break;
        case ENTITY_TRUCK:
        case ENTITY_TRAILER:
            start = third;
            break;
        default:
            return {};
        }
    }
    if (start.IsNull())
        return {};
    const bool oneLine = dialog == DIALOG_ORDER_LINES || lineIndex == -1;
    switch (entityKind) {
    case ENTITY_ORDER_LINE:
        if (oneLine)
            return start;
        return m_navigation ? m_navigation->GetOrderLine(start, lineIndex) : TEntityRef();
    case ENTITY_TRUCK:
        return m_navigation ? m_navigation->GetPairTruck(start) : TEntityRef();
    case ENTITY_TRAILER:
        return m_navigation ? m_navigation->GetPairTrailer(start) : TEntityRef();
    case ENTITY_DRIVER:
        return m_navigation ? m_navigation->GetPairDriver(start) : TEntityRef();
    case ENTITY_TRIP_TOTALS:
        return m_navigation ? m_navigation->GetVehicleTotals(start) : TEntityRef();
    case ENTITY_CUSTOMER:
        if (!m_navigation)
            return {};
        if (dialog == DIALOG_ORDER_LINES)
            return m_navigation->GetLineDeliveryPoint(start);
        if (UserParameters().CustomerInOrderLines != 0 && lineIndex != -1)
            return m_navigation->GetLineDeliveryPoint(m_navigation->GetOrderLine(start, lineIndex));
        return m_navigation->GetOrderDeliveryPoint(start);
    default:
        return start;
    }
}

std::string CTrevantorVariables::GetVariableText(int dialog, int column, const TEntityRef& entity,
                                                 int& notApplicable, int& numeric, int lineIndex,
                                                 const TEntityRef& first, const TEntityRef& second,
                                                 const TEntityRef& third) const
{
    notApplicable = 0;
    numeric = 0;
    const TTrevantorVariablesShowed* columns = GetDialogColumns(dialog);
    const TVarKeyStruct* v = columns ? columns->GetVariable(column) : nullptr;
    if (!v)
        return {};
    notApplicable = IsNotApplicable(dialog, v->GetKeyName()) ? 1 : 0;
    const int entityKind = columns->GetColumnEntityKind(column);
    const TEntityRef object =
        GetEntityObject(dialog, entityKind, lineIndex, entity, first, second, third);
    if (object.IsNull())
        return {};
    // An order's grid row without a chosen line shows no line values.
    if (entityKind == ENTITY_ORDER_LINE && lineIndex == -1 && dialog != DIALOG_ORDER_LINES)
        return {};
    return columns->FormatValue(column, object, numeric);
}

TVariableValue CTrevantorVariables::GetColumnValue(int dialog, int column, const TEntityRef& entity,
                                                   int lineIndex, const TEntityRef& first) const
{
    const TTrevantorVariablesShowed* columns = GetDialogColumns(dialog);
    if (!columns || !columns->GetVariable(column))
        return std::string();
    const int entityKind = columns->GetColumnEntityKind(column);
    const TEntityRef object = GetEntityObject(dialog, entityKind, lineIndex, entity, first);
    if (object.IsNull() ||
        (entityKind == ENTITY_ORDER_LINE && lineIndex == -1 && dialog != DIALOG_ORDER_LINES))
        return std::string();
    return columns->GetValueVariant(column, object);
}

// ---- Applicability -----------------------------------------------------------------------------

bool CTrevantorVariables::IsNotApplicable(int dialog, const std::string& key) const
{
    const CUserParameters& p = UserParameters();
    if (IsOrderOrStopDialog(dialog)) {
        if (IsWarehouseAddressVariable(key))
            return p.LoadingProblem != 2;
        if (key == "WAREHOUSE_CODE")
            return p.LoadingProblem != 2 && p.LoadingProblem != 3;
        if (key == "WAREHOUSE_AVAILABLE_DOCKS")
            return true;
        if (key == kStopDateKey || key == kStopWeekKey || key == kStopWeekdayKey)
            return p.SchedulingTime != 1;
        if (IsOneOf(key, kStopCapacityKeys))
            return p.QuantitiesControl == 0;
        if (key == "ORDER_TYPE")
            return p.DeliveryProblem == 0 || p.DeliveryProblem == 1;
        if (key == kOrderProductTypeKey)
            return !HasTripsIncompatibilities();
        if (IsItemCountVariable(key))
            return p.UsingMultiplicativeFactors == 0;
        if (IsProductTimeVariable(key))
            return p.TimesInOrderLines == 0;
        if (IsOneOf(key, kOrderFareKeys) ||
            (dialog == DIALOG_SCHEDULED_TRIPS && key == kStopFareKey))
            return p.Fares == 0;
        return false;
    }
    if (IsResourceDialog(dialog)) {
        if (IsOneOf(key, kTrailerCapacityKeys))
            return p.QuantitiesControl == 0;
        if (key == kResourceProductTypeKey)
            return !HasTripsIncompatibilities();
        if (IsOneOf(key, kResourceFareKeys))
            return p.Fares == 0;
        if (IsTransportCardVariable(key))
            return p.TransportCard == 0;
        return false;
    }
    if (dialog == DIALOG_ORDER_LINES) {
        if (IsCustomerVariable(key))
            return p.CustomerInOrderLines == 0;
        if (IsItemCountVariable(key))
            return p.UsingMultiplicativeFactors == 0;
        if (IsProductTimeVariable(key))
            return p.TimesInOrderLines == 0;
    }
    return false;
}

bool CTrevantorVariables::IsOrderLineVariable(const std::string& key) const
{
    return m_keySets[KEYS_ORDER_LINE].FindVariable(key) >= 0;
}

bool CTrevantorVariables::IsCustomerVariable(const std::string& key) const
{
    return m_keySets[KEYS_CUSTOMER].FindVariable(key) >= 0;
}

bool CTrevantorVariables::IsTransportCardVariable(const std::string& key)
{
    return IsOneOf(key, {"TRANSPORT_CARD_TYPE", "PROVINCIA_TARJETA_COMARCAL", "TRANSPORT_CARD_CODE",
                         "TRANSPORT_CARD_NAME", "TRANSPORT_CARD_CITY", "TRANSPORT_CARD_CP",
                         "TRANSPORT_CARD_STREET", "TRANSPORT_CARD_COUNTRY",
                         "INTERNATIONAL_TRANSPORT_CARD", "RADIO_TARJETA_LOCAL"});
}

bool CTrevantorVariables::IsFareVariable(const std::string& key)
{
    return IsOneOf(key, kOrderFareKeys) || key == kStopFareKey || IsOneOf(key, kResourceFareKeys);
}

bool CTrevantorVariables::IsProductTypeVariable(const std::string& key)
{
    return key == kOrderProductTypeKey || key == kResourceProductTypeKey;
}

bool CTrevantorVariables::IsProductTimeVariable(const std::string& key)
{
    return IsOneOf(key, {"PRODUCT_TIME_AT_WAREHOUSE", "PRODUCT_TIME_AT_CUSTOMER"});
}

bool CTrevantorVariables::IsCapacityVariable(const std::string& key)
{
    return IsOneOf(key, kStopCapacityKeys) || IsOneOf(key, kTrailerCapacityKeys);
}

bool CTrevantorVariables::IsItemCountVariable(const std::string& key)
{
    return IsOneOf(key, {"PRODUCT_MULTIPLICATIVE1", "PRODUCT_MULTIPLICATIVE_VOLUME",
                         "PRODUCT_NUMBER_OF_ITEMS", "PRODUCT_NUMBER_OF_ITEMS_PER_DAY"});
}

bool CTrevantorVariables::IsWarehouseAddressVariable(const std::string& key)
{
    return IsOneOf(key, {"WAREHOUSE_NAME", "WAREHOUSE_CITY", "WAREHOUSE_CP", "WAREHOUSE_STREET",
                         "WAREHOUSE_TIME", "WAREHOUSE_START_TIME", "WAREHOUSE_END_TIME"});
}
