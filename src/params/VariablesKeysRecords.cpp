// Moving entities to and from the records of data definitions, variable by variable.

#include "KLV/Trace.h"
#include "params/VariablesKeys.h"

#include <algorithm>
#include <cstdint>

namespace {

// The default of a variable as a number; an empty default is 0.
double DefaultNumber(const TVariableValue& value)
{
    return std::visit(
        [](const auto& held) -> double {
            using T = std::decay_t<decltype(held)>;
            if constexpr (std::is_arithmetic_v<T>)
                return static_cast<double>(held);
            else if constexpr (std::is_same_v<T, trv::OleDate>)
                return held.GetValue();
            else
                return 0.0;
        },
        value);
}

int DefaultInt(const TVariableValue& value)
{
    return static_cast<int>(DefaultNumber(value));
}

std::string DefaultText(const TVariableValue& value)
{
    const auto* text = std::get_if<std::string>(&value);
    return text ? *text : std::string();
}

trv::OleDate DefaultDate(const TVariableValue& value)
{
    if (const auto* date = std::get_if<trv::OleDate>(&value))
        return *date;
    return trv::OleDate(DefaultNumber(value));
}

bool MapHolds(const TFieldMap& fields, const std::string& name)
{
    return fields.find(name) != fields.end();
}

// One of the item fields is in the map with a value that is not empty.
bool MapHoldsItemWithValue(const TFieldMap& fields, const CSmartStringArray& items)
{
    for (const std::string& item : items) {
        const auto found = fields.find(item);
        if (found != fields.end() && !found->second.empty())
            return true;
    }
    return false;
}

// One of the item fields is in the map with its own name as value.
bool MapHoldsItemNamingItself(const TFieldMap& fields, const CSmartStringArray& items)
{
    for (const std::string& item : items) {
        const auto found = fields.find(item);
        if (found != fields.end() && found->second == item)
            return true;
    }
    return false;
}

bool IsFilteredByName(int kind)
{
    switch (kind) {
    case VAR_BOOL:
    case VAR_INT:
    case VAR_FLOAT:
    case VAR_STRING:
    case VAR_DOUBLE:
    case VAR_DATE:
    case VAR_DURATION:
    case VAR_INT_AS_MINUTES:
    case VAR_ENUM:
    case VAR_FLOAT_ALT_FORMAT:
    case VAR_TIME_OF_DAY:
    case VAR_FLOAT_LIST:
    case VAR_STRING_LIST:
    case VAR_WORD_LIST:
        return true;
    default:
        return false;
    }
}

// Whether a read with a field map takes the variable.
bool IsSelectedForRead(const TVarKeyStruct& variable, const TFieldMap& fields)
{
    if (IsFilteredByName(variable.kind))
        return MapHolds(fields, variable.name);
    if (variable.kind == VAR_TIMETABLE || variable.kind == VAR_TIMEWINDOW)
        return MapHoldsItemWithValue(fields, variable.itemNames);
    if (variable.kind == VAR_COORDINATES)
        return MapHoldsItemNamingItself(fields, variable.itemNames);
    return true;
}

bool IsSelectedForWrite(const TVarKeyStruct& variable, const TFieldMap& fields)
{
    switch (variable.kind) {
    case VAR_TIMETABLE:
    case VAR_TIMEWINDOW:
    case VAR_COORDINATES:
        return MapHoldsItemNamingItself(fields, variable.itemNames);
    case VAR_REQUIREMENTS:
    case VAR_ORDER_INFO:
    case VAR_RESOURCE_INFO:
    case VAR_ORDER_LINE_INFO:
        return true;
    default:
        return MapHolds(fields, variable.name);
    }
}

TFieldWrite WithRaw(TFieldWrite how, int raw)
{
    how.raw = raw != 0;
    return how;
}

bool IsLocated(const TGeoCoordinate& block)
{
    return block.longitude != kNoCoordinate && block.latitude != kNoCoordinate;
}

// Imported coordinates never erase known ones, and a point found in the locations table
// (lookup state 1) stays.
void MergeCoordinates(TGeoCoordinate& target, const TGeoCoordinate& read)
{
    if (!IsLocated(target)) {
        target = read;
        return;
    }
    const bool differs = read.longitude != target.longitude || read.latitude != target.latitude;
    if (IsLocated(read) && differs && target.kind != 1)
        target = read;
}

} // namespace

int CVariablesKeys::ReadFromFetch(const TEntityRef& entity, CFieldRecord& record, int direct,
                                  const TFieldMap* fields)
{
    for (int i = 0; i < m_variables.GetSize(); ++i) {
        int result = ReadVariable(i, entity, record, direct, fields);
        if (result == 2)
            result = ReadCustom(i, entity, record, direct, fields);
        if (result == 0)
            return 0;
    }
    return 1;
}

int CVariablesKeys::ReadVariable(int index, const TEntityRef& entity, CFieldRecord& record,
                                 int direct, const TFieldMap* fields)
{
    const TVarKeyStruct* variable = GetVariable(index);
    if (!variable)
        return 0;
    if (!(variable->usageMask & VAR_USE_READ))
        return 1;
    if (fields && !IsSelectedForRead(*variable, *fields))
        return 1;
    return ReadByKind(*variable, entity, record, direct, fields);
}

namespace {

// Whether a variable moves between entity and record: 2 for kinds that are computed or shown
// only (nothing to move), 0 for a time table or window without its two item names, -1 when
// it moves.
int CheckMovable(const TVarKeyStruct& v)
{
    const int kind = v.kind;
    if (kind >= 100 || kind == VAR_FLOAT_SUM || kind == VAR_DATE_EXPRESSION ||
        kind == VAR_DOUBLE_NO_COORDINATE || kind == VAR_FLOAT_SUM_ALT_FORMAT ||
        kind == VAR_WEEK_NUMBER || kind == VAR_DAY_OF_WEEK || kind < VAR_BOOL ||
        kind > VAR_COORDINATES)
        return 2;
    if ((kind == VAR_TIMETABLE || kind == VAR_TIMEWINDOW) && v.itemNames.GetSize() != 2)
        return 0;
    return -1;
}

} // namespace

int CVariablesKeys::ReadByKind(const TVarKeyStruct& v, const TEntityRef& entity,
                               CFieldRecord& record, int direct, const TFieldMap* fields)
{
    const int kind = v.kind;
    if (const int skip = CheckMovable(v); skip >= 0)
        return skip;
    void* storage = v.member ? v.member->Locate(entity) : nullptr;
    if (!storage) {
        TRV_TRACE(1, "CVariablesKeys::ReadVariable", "%s: entity without this field",
                  v.name.c_str());
        return 0;
    }
    const std::string& name = v.name;
    const TFieldRead how{.required = v.required != 0, .direct = direct != 0, .fields = fields};
    switch (kind) {
    case VAR_BOOL:
        *static_cast<int32_t*>(storage) =
            record.GetFieldBool(name, DefaultInt(v.defaultValue), how);
        break;
    case VAR_INT:
    case VAR_INT_AS_MINUTES:
    case VAR_ENUM:
        *static_cast<int32_t*>(storage) =
            record.GetFieldInt(name, DefaultInt(v.defaultValue), v.minimum, v.maximum, how);
        break;
    case VAR_FLOAT:
    case VAR_FLOAT_ALT_FORMAT:
        *static_cast<float*>(storage) =
            record.GetFieldFloat(name, static_cast<float>(DefaultNumber(v.defaultValue)), how);
        break;
    case VAR_STRING:
        *static_cast<std::string*>(storage) =
            record.GetFieldString(name, DefaultText(v.defaultValue), v.maximum, how);
        break;
    case VAR_DOUBLE:
        *static_cast<double*>(storage) =
            record.GetFieldDouble(name, DefaultNumber(v.defaultValue), how);
        break;
    case VAR_DATE: {
        trv::OleDate fallback = DefaultDate(v.defaultValue);
        fallback.SetStatus(trv::OleDate::valid);
        *static_cast<trv::OleDate*>(storage) = record.GetFieldDate(name, fallback, how);
        break;
    }
    case VAR_DURATION:
    case VAR_TIME_OF_DAY:
        *static_cast<int32_t*>(storage) =
            record.GetFieldTime(name, DefaultInt(v.defaultValue), v.minimum, v.maximum, how);
        break;
    case VAR_TIMETABLE: {
        const CSmartIntArray starts =
            record.GetFieldListTime(v.itemNames[0], v.minimum, v.maximum, how);
        const CSmartIntArray ends =
            record.GetFieldListTime(v.itemNames[1], v.minimum, v.secondMaximum, how);
        v.member->ResetWindows(storage);
        const int count = std::max(starts.GetSize(), ends.GetSize());
        for (int i = 0; i < count; ++i)
            v.member->AddWindow(storage, i < starts.GetSize() ? starts[i] : 0,
                                i < ends.GetSize() ? ends[i] : 0);
        break;
    }
    case VAR_TIMEWINDOW: {
        const int fallback = DefaultInt(v.defaultValue);
        const int start = record.GetFieldTime(v.itemNames[0], fallback, v.minimum, v.maximum, how);
        const int end =
            record.GetFieldTime(v.itemNames[1], fallback, v.minimum, v.secondMaximum, how);
        v.member->AddWindow(storage, start, end);
        break;
    }
    case VAR_REQUIREMENTS:
        if (const CVariableDefinitionList* list = GetDefinitionList(kind))
            list->ParseValues(record, true, direct, fields, true,
                              *static_cast<TRequirementValues*>(storage));
        break;
    case VAR_ORDER_INFO:
    case VAR_RESOURCE_INFO:
    case VAR_ORDER_LINE_INFO: {
        auto& values = *static_cast<CSmartStringArray*>(storage);
        values.SetSize(0);
        if (const CVariableDefinitionList* list = GetDefinitionList(kind))
            list->ReadInformativeValues(values, record);
        break;
    }
    case VAR_FLOAT_LIST: {
        auto& values = *static_cast<CSmartFloatArray*>(storage);
        values.SetSize(0);
        values.Append(record.GetFieldListFloat(name, how));
        break;
    }
    case VAR_STRING_LIST: {
        auto& values = *static_cast<CSmartStringArray*>(storage);
        values.SetSize(0);
        record.GetFieldListStrings(name, values, how);
        break;
    }
    case VAR_WORD_LIST: {
        auto& values = *static_cast<CSmartWordArray*>(storage);
        values.SetSize(0);
        for (const int value : record.GetFieldListInt(name, how))
            if (value != kEmptyListItem)
                values.Add(static_cast<unsigned short>(value));
        break;
    }
    case VAR_COORDINATES: {
        TGeoCoordinate read;
        // Coordinates are read from the source itself, converted as the format says.
        record.GetFieldCoordinates(read, v.itemNames, DefaultNumber(v.defaultValue),
                                   TFieldRead{.required = v.required != 0});
        MergeCoordinates(*static_cast<TGeoCoordinate*>(storage), read);
        break;
    }
    default:
        return 2;
    }
    return 1;
}

bool CVariablesKeys::WriteToFetch(const TEntityRef& entity, CFieldRecord& record, int outputIndex,
                                  const std::string& tag, int outputFlag, const TFieldMap* fields)
{
    for (int i = 0; i < m_variables.GetSize(); ++i) {
        int result = WriteVariable(i, entity, record, outputIndex, tag, outputFlag, fields);
        if (result == 2)
            result = WriteCustom(i, entity, record, outputIndex, outputFlag, fields);
        if (result == 0)
            return false;
    }
    return true;
}

int CVariablesKeys::WriteVariable(int index, const TEntityRef& entity, CFieldRecord& record,
                                  int outputIndex, const std::string& tag, int outputFlag,
                                  const TFieldMap* fields)
{
    const TVarKeyStruct* variable = GetVariable(index);
    if (!variable)
        return 0;
    if (!(variable->usageMask & VAR_USE_WRITE))
        return 1;
    if (fields && !IsSelectedForWrite(*variable, *fields))
        return 1;
    return WriteByKind(*variable, entity, record, outputIndex, tag, outputFlag, fields);
}

int CVariablesKeys::WriteByKind(const TVarKeyStruct& v, const TEntityRef& entity,
                                CFieldRecord& record, int outputIndex, const std::string& tag,
                                int outputFlag, const TFieldMap* fields)
{
    const int kind = v.kind;
    if (const int skip = CheckMovable(v); skip >= 0)
        return skip;
    const void* storage = v.member ? v.member->Locate(entity) : nullptr;
    if (!storage) {
        TRV_TRACE(1, "CVariablesKeys::WriteVariable", "%s: entity without this field",
                  v.name.c_str());
        return 0;
    }
    const std::string& name = v.name;
    const TFieldWrite how{.append = outputIndex != 0, .storeOnly = outputFlag != 0};
    switch (kind) {
    case VAR_BOOL:
        record.SetFieldBool(name, *static_cast<const int32_t*>(storage) != 0, how);
        break;
    case VAR_INT:
    case VAR_INT_AS_MINUTES:
    case VAR_ENUM:
        record.SetFieldInt(name, *static_cast<const int32_t*>(storage), v.minimum, v.maximum, how);
        break;
    case VAR_FLOAT:
    case VAR_FLOAT_ALT_FORMAT:
        record.SetFieldFloat(name, *static_cast<const float*>(storage), WithRaw(how, v.rawFloat));
        break;
    case VAR_STRING:
        record.SetFieldString(name, *static_cast<const std::string*>(storage), v.maximum, how);
        break;
    case VAR_DOUBLE:
        record.SetFieldDouble(name, *static_cast<const double*>(storage), how);
        break;
    case VAR_DATE:
        record.SetFieldDate(name, *static_cast<const trv::OleDate*>(storage), how);
        break;
    case VAR_DURATION:
    case VAR_TIME_OF_DAY:
        record.SetFieldTime(name, *static_cast<const int32_t*>(storage), v.minimum, v.maximum, how);
        break;
    case VAR_TIMETABLE: {
        CSmartIntArray starts;
        CSmartIntArray ends;
        for (int i = 0; i < v.member->GetWindowCount(storage); ++i) {
            int32_t start = 0;
            int32_t end = 0;
            v.member->GetWindow(storage, i, start, end);
            starts.Add(start);
            ends.Add(end);
        }
        record.SetFieldListTime(v.itemNames[0], starts, v.minimum, v.maximum, how);
        record.SetFieldListTime(v.itemNames[1], ends, v.minimum, v.secondMaximum, how);
        break;
    }
    case VAR_TIMEWINDOW: {
        int32_t start = 0;
        int32_t end = 0;
        v.member->GetWindow(storage, 0, start, end);
        record.SetFieldTime(v.itemNames[0], start, v.minimum, v.maximum, how);
        record.SetFieldTime(v.itemNames[1], end, v.minimum, v.secondMaximum, how);
        break;
    }
    case VAR_REQUIREMENTS:
        if (const CVariableDefinitionList* list = GetDefinitionList(kind)) {
            const auto& values = *static_cast<const TRequirementValues*>(storage);
            list->WriteValues(record, tag, values, fields);
            list->WriteValues(record, std::string(), values, fields);
        }
        break;
    case VAR_ORDER_INFO:
    case VAR_RESOURCE_INFO:
    case VAR_ORDER_LINE_INFO:
        if (const CVariableDefinitionList* list = GetDefinitionList(kind))
            list->WriteInformativeValues(record, *static_cast<const CSmartStringArray*>(storage),
                                         fields);
        break;
    case VAR_FLOAT_LIST:
        record.SetFieldListFloat(name, *static_cast<const CSmartFloatArray*>(storage),
                                 WithRaw(how, v.rawFloat));
        break;
    case VAR_STRING_LIST:
        record.SetFieldListString(name, *static_cast<const CSmartStringArray*>(storage), how);
        break;
    case VAR_WORD_LIST: {
        const auto& words = *static_cast<const CSmartWordArray*>(storage);
        if (words.GetSize() == 0)
            break;
        CSmartIntArray values;
        for (const unsigned short word : words)
            values.Add(word);
        record.SetFieldListInt(name, values, how);
        break;
    }
    case VAR_COORDINATES:
        record.SetFieldCoordinates(v.itemNames, *static_cast<const TGeoCoordinate*>(storage), how);
        break;
    default:
        return 2;
    }
    return 1;
}

int CVariablesKeys::ReadCustom(int, const TEntityRef&, CFieldRecord&, int, const TFieldMap*)
{
    return 1;
}

int CVariablesKeys::WriteCustom(int, const TEntityRef&, CFieldRecord&, int, int, const TFieldMap*)
{
    return 1;
}
