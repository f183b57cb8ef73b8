#include "params/VariablesKeys.h"

#include "KLV/Geodesy.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "params/Variables.h"

#include <cassert>
#include <cstdlib>

bool IsListKind(int kind)
{
    return kind == VAR_REQUIREMENTS || kind == VAR_ORDER_INFO || kind == VAR_RESOURCE_INFO ||
           kind == VAR_ORDER_LINE_INFO;
}

namespace {

// The type a kind's member must have; null when the layer does not look at the storage
// itself (computed kinds, windows, requirement values, the catalogue's kinds).
const std::type_info* StorageOfKind(int kind)
{
    switch (kind) {
    case VAR_BOOL:
    case VAR_INT:
    case VAR_DURATION:
    case VAR_INT_AS_MINUTES:
    case VAR_ENUM:
    case VAR_TIME_OF_DAY:
        return &typeid(int32_t);
    case VAR_FLOAT:
    case VAR_FLOAT_ALT_FORMAT:
        return &typeid(float);
    case VAR_STRING:
        return &typeid(std::string);
    case VAR_DOUBLE:
    case VAR_DOUBLE_NO_COORDINATE:
        return &typeid(double);
    case VAR_DATE:
        return &typeid(trv::OleDate);
    case VAR_ORDER_INFO:
    case VAR_RESOURCE_INFO:
    case VAR_ORDER_LINE_INFO:
    case VAR_STRING_LIST:
        return &typeid(CSmartStringArray);
    case VAR_FLOAT_LIST:
        return &typeid(CSmartFloatArray);
    case VAR_WORD_LIST:
        return &typeid(CSmartWordArray);
    case VAR_COORDINATES:
        return &typeid(TGeoCoordinate);
    default:
        return nullptr;
    }
}

bool IsComputedKind(int kind)
{
    return kind == VAR_FLOAT_SUM || kind == VAR_DATE_EXPRESSION ||
           kind == VAR_FLOAT_SUM_ALT_FORMAT || kind == VAR_WEEK_NUMBER || kind == VAR_DAY_OF_WEEK;
}

} // namespace

std::string TVarKeyStruct::GetKeyName() const
{
    if (!name.empty())
        return name;
    std::string key;
    for (int i = 0; i < itemNames.GetSize(); ++i) {
        if (i > 0)
            key += ",";
        key += itemNames[i];
    }
    return key;
}

std::string TVarKeyStruct::GetCaption() const
{
    if (IsListKind(kind))
        return captionKey;
    return Translate(captionKey);
}

CVariablesKeys::CVariablesKeys() = default;
CVariablesKeys::~CVariablesKeys() = default;

TVarKeyStruct*
CVariablesKeys::AddVariable(const std::string& name, int kind, TVarAccessorPtr member,
                            const TVariableValue& defaultValue, const std::string& caption,
                            const std::string& explanation, int required, int usageMask,
                            int maximum, int minimum, int rawFloat, int secondMaximum)
{
    // A member of the wrong type would be read as another type: refuse it at registration.
    const std::type_info* storage = StorageOfKind(kind);
    if (member && storage && member->StorageType() != *storage) {
        TRV_TRACE(1, "CVariablesKeys::AddVariable", "%s: member type does not fit kind %d",
                  name.c_str(), kind);
        assert(!"variable member of the wrong type for its kind");
        return nullptr;
    }
    if (!member && !IsComputedKind(kind) && kind < 100)
        TRV_TRACE(3, "CVariablesKeys::AddVariable", "%s: kind %d without member", name.c_str(),
                  kind);
    auto* variable = new TVarKeyStruct;
    variable->name = name;
    variable->kind = kind;
    variable->captionKey = caption;
    variable->explanationKey = explanation;
    variable->member = std::move(member);
    variable->defaultValue = defaultValue;
    variable->required = required;
    variable->rawFloat = rawFloat;
    variable->usageMask = usageMask;
    variable->maximum = maximum;
    variable->minimum = minimum;
    variable->secondMaximum = secondMaximum;
    m_variables.Add(variable);
    if (m_pOwner)
        m_pOwner->SetAt(name, this);
    return variable;
}

TVarKeyStruct* CVariablesKeys::AddVariableWithItems(
    const CSmartStringArray& itemNames, int kind, TVarAccessorPtr member,
    const TVariableValue& defaultValue, const std::string& caption, const std::string& explanation,
    int required, int usageMask, int firstValue, const std::string& name, int maximum, int minimum,
    int secondMaximum)
{
    TVarKeyStruct* variable =
        AddVariable(name, kind, std::move(member), defaultValue, caption, explanation, required,
                    usageMask, maximum, minimum, 0, secondMaximum);
    if (!variable)
        return nullptr;
    variable->itemNames.Append(itemNames);
    if (kind == VAR_ENUM) {
        variable->minimum = firstValue;
        variable->maximum = firstValue + itemNames.GetSize();
    }
    return variable;
}

TVarKeyStruct* CVariablesKeys::AddString(const std::string& name, TVarAccessorPtr member,
                                         int maximumLength, const std::string& caption,
                                         const std::string& explanation,
                                         const std::string& defaultText, int required,
                                         int usageMask)
{
    return AddVariable(name, VAR_STRING, std::move(member), defaultText, caption, explanation,
                       required, usageMask, maximumLength, -1, 0, -1);
}

TVarKeyStruct* CVariablesKeys::AddInt(const std::string& name, TVarAccessorPtr member,
                                      const std::string& caption, const std::string& explanation,
                                      int defaultValue, int required, int usageMask, int minimum,
                                      int maximum)
{
    return AddVariable(name, VAR_INT, std::move(member), int32_t{defaultValue}, caption,
                       explanation, required, usageMask, maximum, minimum, 0, -1);
}

TVarKeyStruct* CVariablesKeys::AddIntAsMinutes(const std::string& name, TVarAccessorPtr member,
                                               const std::string& caption,
                                               const std::string& explanation, int defaultValue,
                                               int required, int usageMask, int minimum,
                                               int maximum)
{
    return AddVariable(name, VAR_INT_AS_MINUTES, std::move(member), int32_t{defaultValue}, caption,
                       explanation, required, usageMask, maximum, minimum, 0, -1);
}

TVarKeyStruct* CVariablesKeys::AddBool(const std::string& name, TVarAccessorPtr member,
                                       const std::string& caption, const std::string& explanation,
                                       int defaultValue, int required, int usageMask)
{
    return AddVariable(name, VAR_BOOL, std::move(member), defaultValue != 0, caption, explanation,
                       required, usageMask, -1, -1, 0, -1);
}

TVarKeyStruct* CVariablesKeys::AddFloat(const std::string& name, TVarAccessorPtr member,
                                        const std::string& caption, const std::string& explanation,
                                        float defaultValue, int required, int rawFloat,
                                        int usageMask)
{
    return AddVariable(name, VAR_FLOAT, std::move(member), defaultValue, caption, explanation,
                       required, usageMask, -1, -1, rawFloat, -1);
}

TVarKeyStruct* CVariablesKeys::AddFloatAltFormat(const std::string& name, TVarAccessorPtr member,
                                                 const std::string& caption,
                                                 const std::string& explanation, float defaultValue,
                                                 int required, int rawFloat, int usageMask)
{
    return AddVariable(name, VAR_FLOAT_ALT_FORMAT, std::move(member), defaultValue, caption,
                       explanation, required, usageMask, -1, -1, rawFloat, -1);
}

TVarKeyStruct* CVariablesKeys::AddFloatList(const std::string& name, TVarAccessorPtr member,
                                            const std::string& caption,
                                            const std::string& explanation, int required,
                                            int rawFloat, int usageMask)
{
    return AddVariable(name, VAR_FLOAT_LIST, std::move(member), 0.0f, caption, explanation,
                       required, usageMask, -1, -1, rawFloat, -1);
}

TVarKeyStruct* CVariablesKeys::AddWordList(const std::string& name, TVarAccessorPtr member,
                                           const std::string& caption,
                                           const std::string& explanation, int required,
                                           int rawFloat, int usageMask)
{
    return AddVariable(name, VAR_WORD_LIST, std::move(member), int32_t{0}, caption, explanation,
                       required, usageMask, -1, -1, rawFloat, -1);
}

TVarKeyStruct* CVariablesKeys::AddStringList(const std::string& name, TVarAccessorPtr member,
                                             const std::string& caption,
                                             const std::string& explanation, int required,
                                             int usageMask)
{
    return AddVariable(name, VAR_STRING_LIST, std::move(member), {}, caption, explanation, required,
                       usageMask, -1, -1, 0, -1);
}

TVarKeyStruct* CVariablesKeys::AddDate(const std::string& name, TVarAccessorPtr member,
                                       const std::string& caption, const std::string& explanation,
                                       const trv::OleDate& defaultDate, int required, int usageMask)
{
    return AddVariable(name, VAR_DATE, std::move(member), defaultDate, caption, explanation,
                       required, usageMask, -1, -1, 0, -1);
}

TVarKeyStruct* CVariablesKeys::AddDateExpression(const std::string& name,
                                                 const std::string& caption,
                                                 const std::string& explanation,
                                                 const trv::OleDate& defaultDate, int required,
                                                 int usageMask)
{
    return AddVariable(name, VAR_DATE_EXPRESSION, nullptr, defaultDate, caption, explanation,
                       required, usageMask, -1, -1, 0, -1);
}

TVarKeyStruct* CVariablesKeys::AddWeekNumber(const std::string& name, const std::string& caption,
                                             const std::string& explanation,
                                             const trv::OleDate& defaultDate, int required,
                                             int usageMask)
{
    return AddVariable(name, VAR_WEEK_NUMBER, nullptr, defaultDate, caption, explanation, required,
                       usageMask, -1, -1, 0, -1);
}

TVarKeyStruct* CVariablesKeys::AddDayOfWeek(const std::string& name, const std::string& caption,
                                            const std::string& explanation,
                                            const trv::OleDate& defaultDate, int required,
                                            int usageMask)
{
    return AddVariable(name, VAR_DAY_OF_WEEK, nullptr, defaultDate, caption, explanation, required,
                       usageMask, -1, -1, 0, -1);
}

TVarKeyStruct* CVariablesKeys::AddDuration(const std::string& name, TVarAccessorPtr member,
                                           int minimum, int maximum, const std::string& caption,
                                           const std::string& explanation, int defaultValue,
                                           int required, int usageMask)
{
    return AddVariable(name, VAR_DURATION, std::move(member), int32_t{defaultValue}, caption,
                       explanation, required, usageMask, maximum, minimum, 0, -1);
}

TVarKeyStruct* CVariablesKeys::AddTime(const std::string& name, TVarAccessorPtr member,
                                       const std::string& caption, const std::string& explanation,
                                       int defaultValue, int required, int usageMask, int minimum,
                                       int maximum)
{
    return AddVariable(name, VAR_TIME_OF_DAY, std::move(member), int32_t{defaultValue}, caption,
                       explanation, required, usageMask, maximum, minimum, 0, -1);
}

TVarKeyStruct* CVariablesKeys::AddTimeWindow(const std::string& name,
                                             const CSmartStringArray& fieldNames,
                                             TVarAccessorPtr member, int minimum, int maximum,
                                             int secondMaximum, const std::string& caption,
                                             const std::string& explanation, int required,
                                             int usageMask, int defaultValue)
{
    if (fieldNames.GetSize() != 2)
        return nullptr;
    return AddVariableWithItems(fieldNames, VAR_TIMEWINDOW, std::move(member),
                                int32_t{defaultValue}, caption, explanation, required, usageMask, 0,
                                name, maximum, minimum, secondMaximum);
}

TVarKeyStruct* CVariablesKeys::AddTimeTable(const std::string& name,
                                            const CSmartStringArray& fieldNames,
                                            TVarAccessorPtr member, const std::string& caption,
                                            const std::string& explanation, int required,
                                            int usageMask, int minimum, int maximum,
                                            int secondMaximum)
{
    if (fieldNames.GetSize() != 2)
        return nullptr;
    return AddVariableWithItems(fieldNames, VAR_TIMETABLE, std::move(member), {}, caption,
                                explanation, required, usageMask, 0, name, maximum, minimum,
                                secondMaximum);
}

TVarKeyStruct* CVariablesKeys::AddCoordinates(const std::string& name,
                                              const CSmartStringArray& fieldNames,
                                              TVarAccessorPtr member, const std::string& caption,
                                              const std::string& explanation, int required,
                                              int usageMask, int defaultValue)
{
    if (fieldNames.GetSize() != 3)
        return nullptr;
    return AddVariableWithItems(fieldNames, VAR_COORDINATES, std::move(member),
                                int32_t{defaultValue}, caption, explanation, required, usageMask, 0,
                                name, -1, -1, -1);
}

TVarKeyStruct* CVariablesKeys::AddRequirements(const std::string& name, TVarAccessorPtr member,
                                               const std::string& caption,
                                               const std::string& explanation, int required,
                                               int usageMask)
{
    return AddVariable(name, VAR_REQUIREMENTS, std::move(member), {}, caption, explanation,
                       required, usageMask, -1, -1, 0, -1);
}

TVarKeyStruct* CVariablesKeys::AddVariableOfKind(const std::string& name, TVarAccessorPtr member,
                                                 int kind, const std::string& caption,
                                                 const std::string& explanation, int required,
                                                 int usageMask)
{
    return AddVariable(name, kind, std::move(member), {}, caption, explanation, required, usageMask,
                       -1, -1, 0, -1);
}

TVarKeyStruct* CVariablesKeys::AddEnum(const std::string& name, TVarAccessorPtr member,
                                       const CSmartStringArray& valueNames, int firstValue,
                                       int defaultValue, const std::string& caption,
                                       const std::string& explanation, int required, int usageMask)
{
    return AddVariableWithItems(valueNames, VAR_ENUM, std::move(member), int32_t{defaultValue},
                                caption, explanation, required, usageMask, firstValue, name, -1, -1,
                                -1);
}

TVarKeyStruct* CVariablesKeys::AddItemsVariable(const std::string& name, int kind,
                                                const CSmartStringArray& itemNames,
                                                int expectedItems, TVarAccessorPtr member,
                                                int maximum, const std::string& caption,
                                                const std::string& explanation, int required,
                                                int usageMask)
{
    if (itemNames.GetSize() != expectedItems)
        return nullptr;
    return AddVariableWithItems(itemNames, kind, std::move(member), {}, caption, explanation,
                                required, usageMask, 0, name, maximum, -1, -1);
}

TVarKeyStruct* CVariablesKeys::GetVariable(int index) const
{
    if (index < 0 || index >= m_variables.GetSize())
        return nullptr;
    return m_variables[index];
}

const CVariableDefinitionList* CVariablesKeys::GetDefinitionList(int kind) const
{
    switch (kind) {
    case VAR_REQUIREMENTS:
        return m_requirementList;
    case VAR_ORDER_INFO:
        return m_orderInfoList;
    case VAR_RESOURCE_INFO:
        return m_resourceInfoList;
    case VAR_ORDER_LINE_INFO:
        return m_orderLineInfoList;
    default:
        return nullptr;
    }
}

void CVariablesKeys::SetDefinitionList(int kind, const CVariableDefinitionList* list)
{
    switch (kind) {
    case VAR_REQUIREMENTS:
        m_requirementList = list;
        break;
    case VAR_ORDER_INFO:
        m_orderInfoList = list;
        break;
    case VAR_RESOURCE_INFO:
        m_resourceInfoList = list;
        break;
    case VAR_ORDER_LINE_INFO:
        m_orderLineInfoList = list;
        break;
    default:
        assert(!"definition lists serve the list kinds only");
    }
}

int CVariablesKeys::ParseIndexedName(const std::string& name, const std::string& key)
{
    const std::string prefix = key + "[";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.back() != ']')
        return -1;
    // atoi: a non-numeric index reads as 0, as the saved layouts expect.
    return std::atoi(name.c_str() + prefix.size());
}

int CVariablesKeys::FindVariable(const std::string& name, TVarKeyStruct* copy,
                                 const CVariableDefinitionList* filter) const
{
    for (int i = 0; i < m_variables.GetSize(); ++i) {
        const TVarKeyStruct& variable = *m_variables[i];
        const std::string key = variable.GetKeyName();
        if (filter && filter->FindByName(key) < 0)
            continue;
        if (!IsListKind(variable.kind)) {
            if (key != name)
                continue;
            if (copy)
                *copy = variable;
            return i;
        }
        const CVariableDefinitionList* list = GetDefinitionList(variable.kind);
        const int index = ParseIndexedName(name, key);
        if (!list || index < 0 || index >= list->GetDefinitionCount())
            continue;
        const std::string definition = list->GetDefinitionName(index);
        if (!variable.captionKey.empty() && variable.captionKey != definition)
            continue;
        if (copy) {
            *copy = variable;
            copy->captionKey = definition;
        }
        return i;
    }
    return -1;
}

void CVariablesKeys::AppendKeyNames(CSmartStringArray& names, int kind) const
{
    for (const TVarKeyStruct* variable : m_variables)
        if (variable->kind == kind)
            names.Add(variable->GetKeyName());
}

void CVariablesKeys::ExpandListColumns(std::string& names, std::string& flags, std::string& widths,
                                       int kind) const
{
    if (!IsListKind(kind))
        return;
    const CVariableDefinitionList* list = GetDefinitionList(kind);
    if (!list)
        return;
    for (const TVarKeyStruct* variable : m_variables) {
        if (variable->kind != kind)
            continue;
        const std::string key = variable->GetKeyName();
        for (int j = 0; j < list->GetDefinitionCount(); ++j) {
            names += "," + key + "[" + std::to_string(j) + "]";
            flags += ",F";
            widths += ",-1";
        }
    }
}

const TVarKeyStruct* CVariablesKeys::FindByKeyName(const std::string& key) const
{
    for (const TVarKeyStruct* variable : m_variables)
        if (variable->GetKeyName() == key)
            return variable;
    return nullptr;
}
