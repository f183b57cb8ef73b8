#include "model/Condicionantes.h"

#include "KLV/IniFiles.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "params/VariablesKeys.h"
#include "platform/Path.h"
#include "platform/ProgramFolder.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace {

struct TTypeWord
{
    const char* word;
    const char* displayKey;
};

// Indexed by RequirementType.
constexpr TTypeWord kTypeWords[] = {
    {"", ""},
    {"BOOL", "YesNo"},
    {">", "MoreThan"},
    {"<", "LessThan"},
    {"=", "Equal"},
    {"FREE_TEXT", "Text"},
    {"IN_LIST", "InList"},
    {"NOT_IN_LIST", "NotInList"},
    {">+", "MorePlusThan"},
};

bool IsNumericType(int type)
{
    return type == REQ_TYPE_MORE_THAN || type == REQ_TYPE_LESS_THAN || type == REQ_TYPE_EQUAL ||
           type == REQ_TYPE_MORE_PLUS;
}

// The type a "REQ_TYPE" text names, by word or by number; 0 when none.
int ParseTypeText(const std::string& text)
{
    const int number = std::atoi(text.c_str());
    for (int type = REQ_TYPE_BOOL; type <= REQ_TYPE_MORE_PLUS; ++type)
        if (text == kTypeWords[type].word || number == type)
            return type;
    return REQ_TYPE_NONE;
}

std::string TypeText(int type)
{
    if (type >= REQ_TYPE_MORE_THAN && type <= REQ_TYPE_MORE_PLUS)
        return kTypeWords[type].word;
    return "BOOL";
}

std::string JoinTexts(const CSmartArray<std::string, const std::string&, 0, 0>& texts,
                      const char* separator)
{
    std::string joined;
    for (int i = 0; i < texts.GetSize(); ++i) {
        if (i > 0)
            joined += separator;
        joined += texts[i];
    }
    return joined;
}

template <class Array> std::string JoinSet(const Array& texts)
{
    std::string joined;
    for (int i = 0; i < texts.GetSize(); ++i) {
        if (i > 0)
            joined += ",";
        joined += texts[i];
    }
    return joined;
}

std::string g_requirementsFile;

} // namespace

// ---- CCondicionante ---------------------------------------------------------------------------

std::string CCondicionante::GetListValuesText() const
{
    return JoinTexts(listValues, ",");
}

// ---- TRequirementValues -----------------------------------------------------------------------

bool IsAnyValue(const TRequirementSlot& slot)
{
    if (const auto* value = std::get_if<int32_t>(&slot))
        return *value == kAnyRequirementValue;
    return std::get<1>(slot) == nullptr;
}

TRequirementValues& TRequirementValues::operator=(const TRequirementValues& other)
{
    if (this == &other)
        return *this;
    Init(other.GetCount());
    CopyFrom(other, true);
    return *this;
}

void TRequirementValues::Init(int count)
{
    m_slots.clear();
    m_slots.resize(static_cast<std::size_t>(std::max(count, 0)));
    ResetAll();
}

void TRequirementValues::Destroy()
{
    m_slots.clear();
}

int TRequirementValues::GetInt(int index) const
{
    if (index < 0 || index >= GetCount())
        return kAnyRequirementValue;
    const auto* value = std::get_if<int32_t>(&m_slots[index]);
    return value ? *value : kAnyRequirementValue;
}

const CSmartSortNoRepeatStringArray* TRequirementValues::GetSet(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    const auto* set = std::get_if<1>(&m_slots[index]);
    return set ? set->get() : nullptr;
}

void TRequirementValues::SetValue(int index, int value)
{
    if (index >= 0 && index < GetCount())
        m_slots[index] = int32_t{value};
}

void TRequirementValues::SetValue(int index, const CSmartStringArray& texts)
{
    if (index < 0 || index >= GetCount())
        return;
    auto set = std::make_unique<CSmartSortNoRepeatStringArray>();
    for (const std::string& text : texts)
        if (set->Find(text) < 0)
            set->AddSorted(text);
    m_slots[index] = std::move(set);
}

void TRequirementValues::ResetAll()
{
    for (TRequirementSlot& slot : m_slots)
        slot = int32_t{kAnyRequirementValue};
}

bool TRequirementValues::IsAllAny() const
{
    return std::all_of(m_slots.begin(), m_slots.end(), IsAnyValue);
}

bool TRequirementValues::HasAny() const
{
    return std::any_of(m_slots.begin(), m_slots.end(), IsAnyValue);
}

void TRequirementValues::CopySlot(int index, const TRequirementSlot& source)
{
    if (const auto* value = std::get_if<int32_t>(&source)) {
        m_slots[index] = *value;
        return;
    }
    const auto& set = std::get<1>(source);
    m_slots[index] = std::make_unique<CSmartSortNoRepeatStringArray>(*set);
}

void TRequirementValues::CopyFrom(const TRequirementValues& source, bool copy)
{
    if (!copy)
        return;
    const int count = std::min(GetCount(), source.GetCount());
    for (int i = 0; i < count; ++i)
        if (!IsAnyValue(source.m_slots[i]))
            CopySlot(i, source.m_slots[i]);
}

void TRequirementValues::CopyAsking(const TRequirementValues& source)
{
    if (GetCount() == 0 || source.GetCount() == 0 || source.IsAllAny())
        return;
    if (!IsAllAny()) {
        const trv::PromptAnswer answer = trv::GetUserPrompt().AskQuestion(
            "DoUWannaOverwriteRequirements", Translate("DoUWannaOverwriteRequirements"), false,
            trv::PromptAnswer::No);
        if (answer != trv::PromptAnswer::Yes)
            return;
    }
    CopyFrom(source, true);
}

// ---- The requirements file --------------------------------------------------------------------

void SetRequirementsFile(const std::string& fileNamesIni)
{
    const std::string folder = trv::GetProgramFolder();
    const std::string name = ReadIniString("FileNames", "RequirementsIniFile", fileNamesIni, "");
    if (!name.empty()) {
        const std::string path = trv::JoinPath(folder, name);
        if (std::ifstream(path).good()) {
            g_requirementsFile = path;
            return;
        }
    }
    g_requirementsFile = trv::JoinPath(folder, "Data.ini");
}

const std::string& GetRequirementsFile()
{
    return g_requirementsFile;
}

// ---- Definition lists -------------------------------------------------------------------------

CCondicionante* CListaCondicionantes::NewElement()
{
    auto* definition = new CCondicionante;
    Add(definition);
    return definition;
}

std::string CListaCondicionantes::GetSection()
{
    m_strCaption = Translate("Requirement");
    return "REQUIREMENTS";
}

std::string CListaAddOrdersInfo::GetSection()
{
    m_strCaption = Translate("AdditionalInformationLow");
    return "ADDITIONAL_ORDERS_INFO";
}

std::string CListaAddOrdersLinesInfo::GetSection()
{
    m_strCaption = Translate("AdditionalInformationLineLow");
    return "ADDITIONAL_ORDERS_LINES_INFO";
}

std::string CListaAddResourcesInfo::GetSection()
{
    m_strCaption = Translate("AdditionalInformationLow");
    return "ADDITIONAL_RESOURCES_INFO";
}

std::string CListaAddOrdersGeneticInfo::GetSection()
{
    return "ADDITIONAL_ORDERS_GENETIC_INFO";
}

std::string CListaAddResourcesGeneticInfo::GetSection()
{
    return "ADDITIONAL_RESOURCES_GENETIC_INFO";
}

std::string CListaOrdersInfo::GetSection()
{
    m_strCaption = Translate("AllVariables");
    return "ORDERS_ALL_VARIABLES";
}

std::string CListaTrucksInfo::GetSection()
{
    m_strCaption = Translate("AllVariables");
    return "RESOURCES_ALL_VARIABLES";
}

void CListaCondicionantes::LoadDefinitions(CFieldRecordSource& source, bool fromRecords,
                                           const CVariablesKeys* catalogueKeys, bool allVariables)
{
    SetSize(0);
    m_nMaxValueLength = -1;
    const std::string section = GetSection();
    std::unique_ptr<CFieldRecord> record = source.Open(section, {.mode = TFieldRecordMode::read});
    if (!record) {
        TRV_TRACE(2, "CListaCondicionantes::LoadDefinitions", "%s cannot be opened",
                  section.c_str());
        return;
    }
    if (!fromRecords && catalogueKeys) {
        LoadFromCatalogue(*catalogueKeys, record.get(), allVariables);
        return;
    }
    while (!record->IsEOF())
        if (record->MoveNext())
            ReadDefinition(*record);
}

bool CListaCondicionantes::ReadDefinition(CFieldRecord& record)
{
    CCondicionante* definition = NewElement();
    definition->index = GetSize() - 1;
    definition->name = record.GetFieldString("REQ_NAME", "", -1, {});
    definition->weight = record.GetFieldInt("REQ_PREFERENT", 0, -1, -1, {});
    if (definition->weight == 0)
        definition->weight = record.GetFieldBool("REQ_PREFERENT", 0, {});
    definition->driver = record.GetFieldBool("REQ_DRIVER", 0, {}) != 0;
    definition->warehouse = record.GetFieldBool("REQ_WAREHOUSE", 0, {}) != 0;
    definition->orderVariable = record.GetFieldString("REQ_ORDER_VARIABLE", "", -1, {});
    definition->resourceVariable = record.GetFieldString("REQ_RESOURCE_VARIABLE", "", -1, {});
    const std::string typeText = record.GetFieldString("REQ_TYPE", "", -1, {});
    definition->type = static_cast<uint8_t>(ParseTypeText(typeText));
    m_nMaxValueLength =
        record.GetFieldList("REQ_LIST_VALUES", definition->listValues, "", true, -1, {});
    if (typeText.empty() && IsInformationList())
        definition->type = REQ_TYPE_FREE_TEXT;
    if (definition->type != REQ_TYPE_NONE)
        return true;
    const std::string text =
        TranslateFormat("NotAllowedDataType", definition->name, GetRequirementsFile());
    trv::GetUserPrompt().ShowMessage("NotAllowedDataType", text, trv::MessageKind::Warning);
    RemoveAt(GetSize() - 1);
    return false;
}

void CListaCondicionantes::LoadFromCatalogue(const CVariablesKeys& catalogueKeys,
                                             CFieldRecord* record, bool allVariables)
{
    m_nMaxValueLength = 0;
    if (allVariables) {
        for (int i = 0; i < catalogueKeys.GetSize(); ++i) {
            const TVarKeyStruct& variable = *catalogueKeys.GetVariable(i);
            CCondicionante* definition = NewElement();
            definition->index = GetSize() - 1;
            definition->name = variable.GetKeyName();
            definition->type = static_cast<uint8_t>(variable.kind);
        }
        return;
    }
    if (record)
        while (!record->IsEOF())
            if (record->MoveNext())
                ReadDefinition(*record);
    for (CCondicionante* definition : *this) {
        const int found = catalogueKeys.FindVariable(definition->name);
        if (found >= 0)
            definition->type = static_cast<uint8_t>(catalogueKeys.GetVariable(found)->kind);
    }
}

bool CListaCondicionantes::SaveDefinitions(CFieldRecordSource& source) const
{
    std::unique_ptr<CFieldRecord> record =
        source.Open("REQUIREMENTS", {.mode = TFieldRecordMode::write});
    if (!record) {
        TRV_TRACE(1, "CListaCondicionantes::SaveDefinitions", "REQUIREMENTS cannot be opened");
        return false;
    }
    for (const CCondicionante* definition : *this)
        WriteDefinition(*record, *definition);
    return true;
}

void CListaCondicionantes::WriteDefinition(CFieldRecord& record,
                                           const CCondicionante& definition) const
{
    record.ClearRecord();
    record.SetFieldInt("REQ_PREFERENT", definition.weight, -1, -1, {});
    record.SetFieldBool("REQ_DRIVER", definition.driver, {});
    record.SetFieldString("REQ_NAME", definition.name, -1, {});
    record.SetFieldString("REQ_TYPE", TypeText(definition.type), -1, {});
    // Saved as well so that the wizard's save keeps what the file said.
    record.SetFieldBool("REQ_WAREHOUSE", definition.warehouse, {});
    record.SetFieldString("REQ_ORDER_VARIABLE", definition.orderVariable, -1, {});
    record.SetFieldString("REQ_RESOURCE_VARIABLE", definition.resourceVariable, -1, {});
    if (std::unique_ptr<CFieldRecord> values = record.OpenSubTableOutput("REQ_LIST_VALUES")) {
        for (int i = 0; i < definition.listValues.GetSize(); ++i) {
            values->ClearRecord();
            values->SetFieldString("REQUIREMENT", definition.name, -1, {});
            values->SetFieldInt("REQ_VALUE", i + 1, -1, -1, {});
            values->SetFieldString("REQ_DESCRIPTION", definition.listValues[i], -1, {});
            values->WriteRecord();
        }
    } else {
        record.SetFieldListString("REQ_LIST_VALUES", definition.listValues, {});
    }
    record.WriteRecord();
}

bool CListaCondicionantes::CheckDefinitions() const
{
    std::string lines;
    for (int i = 0; i < GetSize(); ++i)
        if ((*this)[i]->name.empty())
            lines += TranslateFormat("NotRequirementName", i + 1) + "\n";
    for (int i = 0; i < GetSize(); ++i) {
        const int type = (*this)[i]->type;
        if (type == REQ_TYPE_NONE || type > REQ_TYPE_IN_LIST)
            lines += TranslateFormat("NotRequirementType", i + 1) + "\n";
    }
    if (lines.empty())
        return true;
    trv::GetUserPrompt().ShowMessage("NotRequirementType", lines, trv::MessageKind::Warning);
    return false;
}

std::string CListaCondicionantes::GetExplanation(const CCondicionante& definition,
                                                 const std::string& subject) const
{
    const int type = definition.type <= REQ_TYPE_MORE_PLUS ? definition.type : 0;
    std::string text =
        TranslateFormat("RequirementExplanation", subject, Translate(kTypeWords[type].displayKey));
    if (!IsNumericType(type))
        return text;
    text += " ";
    if (definition.listValues.GetSize() > 0)
        text += TranslateFormat("ItsPossibleValuesAre", definition.GetListValuesText());
    else
        text += Translate("ItsValueMustBeANumber");
    return text;
}

std::string CListaCondicionantes::GetFailedNamesText(const CSmartIntArray& flags) const
{
    CSmartStringArray names;
    const int count = std::min(GetSize(), flags.GetSize());
    for (int i = 0; i < count; ++i)
        if (flags[i] != 0)
            names.Add((*this)[i]->name);
    std::string text = JoinTexts(names, ", ");
    if (names.GetSize() >= 2) {
        const std::size_t last = text.rfind(", ");
        text.replace(last, 2, Translate(" AndLow "));
    }
    return text;
}

// ---- Matching ---------------------------------------------------------------------------------

bool CListaCondicionantes::MatchLists(const CSmartSortNoRepeatStringArray* a,
                                      const CSmartSortNoRepeatStringArray* b, bool negate)
{
    if (!a || !b || a->GetSize() == 0 || b->GetSize() == 0)
        return false;
    bool found = false;
    for (const std::string& text : *a)
        if (b->FindFrom(0, text) >= 0) {
            found = true;
            break;
        }
    return negate ? !found : found;
}

int CListaCondicionantes::CompareValue(int index, const TRequirementSlot& a,
                                       const TRequirementSlot& b, bool weighted, bool driverMode,
                                       bool warehouseMode) const
{
    if (index < 0 || index >= GetSize() || IsAnyValue(a) || IsAnyValue(b))
        return 0;
    const CCondicionante& definition = *(*this)[index];
    const bool preferent = definition.weight != 0;
    bool applies = false;
    if (warehouseMode && definition.warehouse)
        applies = true;
    else if (driverMode && definition.driver)
        applies = preferent == weighted;
    else if (!driverMode && !warehouseMode && !definition.driver && !definition.warehouse)
        applies = preferent == weighted;
    if (!applies)
        return 0;

    bool violated = false;
    int amount = 1;
    if (definition.IsListType()) {
        const auto* setA = std::get_if<1>(&a);
        const auto* setB = std::get_if<1>(&b);
        if (setA && setB)
            violated = MatchLists(setA->get(), setB->get(), definition.type == REQ_TYPE_IN_LIST);
    } else {
        const auto* valueA = std::get_if<int32_t>(&a);
        const auto* valueB = std::get_if<int32_t>(&b);
        if (!valueA || !valueB)
            return 0;
        const long long x = *valueA;
        const long long y = *valueB;
        switch (definition.type) {
        case REQ_TYPE_BOOL:
            violated = x == 0 && y != 0;
            break;
        case REQ_TYPE_MORE_THAN:
            violated = x < y;
            amount = static_cast<int>(y - x);
            break;
        case REQ_TYPE_LESS_THAN:
            violated = x > y;
            amount = static_cast<int>(x - y);
            break;
        case REQ_TYPE_EQUAL:
            violated = x != y;
            break;
        case REQ_TYPE_MORE_PLUS:
            violated = x < y;
            break;
        default: // free texts and unknown types are never compared
            break;
        }
    }
    if (!violated)
        return 0;
    return weighted ? definition.weight * amount : 1;
}

int CListaCondicionantes::CompareValues(const TRequirementValues& resource,
                                        const TRequirementValues& other, bool weighted,
                                        bool driverMode, bool warehouseMode) const
{
    const int count = std::min({GetSize(), resource.GetCount(), other.GetCount()});
    int total = 0;
    for (int i = 0; i < count; ++i) {
        const int result = CompareValue(i, resource.GetSlot(i), other.GetSlot(i), weighted,
                                        driverMode, warehouseMode);
        if (result != 0 && !weighted)
            return 1;
        total += result;
    }
    return total;
}

void CListaCondicionantes::MarkFailedRequirements(CSmartIntArray& flags,
                                                  const TRequirementValues& resource,
                                                  const TRequirementValues& order) const
{
    const int count = std::min({GetSize(), flags.GetSize(), resource.GetCount(), order.GetCount()});
    for (int i = 0; i < count; ++i) {
        if (flags[i] == 0)
            continue;
        const TRequirementSlot& a = resource.GetSlot(i);
        const TRequirementSlot& b = order.GetSlot(i);
        const bool failed = CompareValue(i, a, b, false, false, false) != 0 ||
                            CompareValue(i, a, b, false, true, true) != 0;
        flags[i] = failed ? 1 : 0;
    }
}

// ---- Values from and to records ---------------------------------------------------------------

std::string CListaCondicionantes::GetDefinitionName(int index) const
{
    return index >= 0 && index < GetSize() ? (*this)[index]->name : std::string();
}

std::string CListaCondicionantes::GetDefinitionExplanation(int index) const
{
    if (index < 0 || index >= GetSize())
        return {};
    return GetExplanation(*(*this)[index], (*this)[index]->name);
}

int CListaCondicionantes::FindByName(const std::string& name) const
{
    for (int i = 0; i < GetSize(); ++i)
        if ((*this)[i]->name == name)
            return i;
    return -1;
}

std::string CListaCondicionantes::GetValueText(const TRequirementValues& values, int index) const
{
    if (index < 0 || index >= GetSize() || index >= values.GetCount())
        return {};
    const TRequirementSlot& slot = values.GetSlot(index);
    if (IsAnyValue(slot))
        return Translate("Undefined");
    if (const auto* set = std::get_if<1>(&slot))
        return JoinSet(**set);
    const CCondicionante& definition = *(*this)[index];
    const int value = std::get<int32_t>(slot);
    const CSmartStringArray& names = definition.listValues;
    if (IsNumericType(definition.type) && names.GetSize() > 0) {
        if (value < 0)
            return "<" + names[0];
        if (value >= names.GetSize())
            return ">" + names[names.GetSize() - 1];
        return names[value];
    }
    if (definition.type == REQ_TYPE_BOOL)
        return Translate(value != 0 ? "Yes" : "No");
    return trv::FormatC("%d", value);
}

int CListaCondicionantes::GetIntegerValue(const TRequirementValues& values, int index) const
{
    return values.GetInt(index);
}

void CListaCondicionantes::ReadInformativeValues(CSmartStringArray& values,
                                                 CFieldRecord& record) const
{
    values.SetSize(GetSize());
    for (int i = 0; i < GetSize(); ++i)
        values[i] = record.GetFieldString((*this)[i]->name, "", 0, {});
}

std::string CListaCondicionantes::RequirementField(CFieldRecord& record,
                                                   const std::string& fieldName,
                                                   const std::string& definitionName) const
{
    const CSmartStringArray& fields = record.GetRequirementFields();
    if (fields.GetSize() == 0)
        return fieldName;
    record.SetRequirementName(definitionName);
    return fields[0];
}

void CListaCondicionantes::WriteInformativeValues(CFieldRecord& record,
                                                  const CSmartStringArray& values,
                                                  const TFieldMap* names) const
{
    const int count = std::min(GetSize(), values.GetSize());
    for (int i = 0; i < count; ++i) {
        const std::string& name = (*this)[i]->name;
        if (names && names->find(name) == names->end())
            continue;
        const std::string field =
            IsOrderLineInformation() ? name : RequirementField(record, name, name);
        record.SetFieldString(field, values[i], -1, {});
    }
}

void CListaCondicionantes::ReadAndMerge(CFieldRecord& record, int index, bool merge, int direct,
                                        const TFieldMap* names, bool sum,
                                        TRequirementValues& values) const
{
    const CCondicionante& definition = *(*this)[index];
    const TRequirementRead readKind = definition.type == REQ_TYPE_BOOL ? TRequirementRead::boolean
                                      : definition.IsListType()        ? TRequirementRead::list
                                                                       : TRequirementRead::integer;
    const bool isList = readKind == TRequirementRead::list;
    std::unique_ptr<CSmartStringArray> list;
    const int value = record.GetRequirements(definition.name, readKind,
                                             {.direct = direct != 0, .fields = names}, list);
    const bool defined = isList ? list != nullptr : value != kAnyRequirementValue;
    const bool slotIsAny = IsAnyValue(values.GetSlot(index));

    if (!merge || (slotIsAny && defined && definition.type != REQ_TYPE_FREE_TEXT &&
                   (definition.type != REQ_TYPE_MORE_PLUS || sum))) {
        if (isList && list)
            values.SetValue(index, *list);
        else
            values.SetValue(index, isList ? kAnyRequirementValue : value);
        return;
    }
    // Merging: an undefined value never replaces a defined slot.
    if (!defined || slotIsAny)
        return;
    const int current = values.GetInt(index);
    switch (definition.type) {
    case REQ_TYPE_BOOL:
        if (value != 0)
            values.SetValue(index, value);
        break;
    case REQ_TYPE_MORE_THAN:
        values.SetValue(index, std::max(current, value));
        break;
    case REQ_TYPE_LESS_THAN:
        values.SetValue(index, std::min(current, value));
        break;
    case REQ_TYPE_IN_LIST:
    case REQ_TYPE_NOT_IN_LIST: {
        CSmartStringArray united;
        if (const CSmartSortNoRepeatStringArray* set = values.GetSet(index))
            for (const std::string& text : *set)
                united.Add(text);
        united.Append(*list); // the slot's set drops the texts it already holds
        values.SetValue(index, united);
        break;
    }
    case REQ_TYPE_MORE_PLUS:
        if (sum)
            values.SetValue(index, current + value);
        break;
    default: // "=" keeps the first defined value; free texts keep the slot
        break;
    }
}

void CListaCondicionantes::ParseValues(CFieldRecord& record, bool merge, int direct,
                                       const TFieldMap* names, bool sum,
                                       TRequirementValues& values) const
{
    const int count = std::min(GetSize(), values.GetCount());
    for (int i = 0; i < count; ++i) {
        if (names) {
            if (names->find((*this)[i]->name) == names->end())
                continue;
            values.SetValue(i, kAnyRequirementValue);
        }
        ReadAndMerge(record, i, merge, direct, names, sum, values);
    }
}

void CListaCondicionantes::MergeValue(CFieldRecord& record, int index, TRequirementValues& values,
                                      int direct) const
{
    if (index < 0 || index >= GetSize() || index >= values.GetCount())
        return;
    ReadAndMerge(record, index, true, direct, nullptr, false, values);
}

void CListaCondicionantes::WriteValue(CFieldRecord& record, const TRequirementValues& values,
                                      int index, const std::string& fieldName) const
{
    if (index < 0 || index >= GetSize() || index >= values.GetCount())
        return;
    const CCondicionante& definition = *(*this)[index];
    const std::string field = RequirementField(record, fieldName, definition.name);
    const TRequirementSlot& slot = values.GetSlot(index);
    const bool any = IsAnyValue(slot);
    if (definition.IsListType()) {
        CSmartStringArray texts;
        if (const CSmartSortNoRepeatStringArray* set = values.GetSet(index))
            for (const std::string& text : *set)
                texts.Add(text);
        record.SetFieldListString(field, texts, {.isSet = !any});
        return;
    }
    const int value = values.GetInt(index);
    if (record.IsDatabaseOutput()) {
        std::string text;
        if (!any)
            text = definition.type == REQ_TYPE_BOOL ? record.GetBoolText(value != 0)
                                                    : trv::FormatC("%d", value);
        record.SetFieldString(field, text, -1, {});
        return;
    }
    if (definition.type == REQ_TYPE_BOOL)
        record.SetFieldBool(field, value != 0, {.isSet = !any});
    else
        record.SetFieldInt(field, value, -1, -1, {.isSet = !any});
}

void CListaCondicionantes::WriteValues(CFieldRecord& record, const std::string& prefix,
                                       const TRequirementValues& values,
                                       const TFieldMap* names) const
{
    const int count = std::min(GetSize(), values.GetCount());
    for (int i = 0; i < count; ++i) {
        const std::string& name = (*this)[i]->name;
        const std::string field = prefix.empty() ? name : prefix + "_" + name;
        if (names && names->find(field) == names->end())
            continue;
        WriteValue(record, values, i, field);
    }
}
