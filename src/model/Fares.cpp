#include "model/Fares.h"

#include "KLV/Fetch.h"
#include "KLV/FetchFilter.h"
#include "KLV/Trace.h"
#include "KLV/Utils.h"
#include "model/Condicionantes.h"
#include "params/FieldRecord.h"
#include "params/TrevantorVariables.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kPlanSource = 1;     // the plan's own files
constexpr int kCustomerSource = 3; // the company's definitions
constexpr const char* kSpecialFaresSection = "SPECIAL_FARES";
// Numeric ids from here on would grow the registry by their value: they register as texts.
constexpr long long kLargestNumericFareId = 99999;

const char* FaresDefinition(int kind)
{
    return kind == kPlanSource ? "INT_FARES" : "CUSTOMER_FARES";
}

constexpr TFieldRead kRead{};
constexpr TFieldWrite kWrite{};
constexpr TFieldWrite kWriteAllDigits{.raw = true};

// Opens a definition for reading; `file` stands for its source when the definition names none.
std::unique_ptr<CFieldRecord> OpenForReading(CFieldRecordSource& source,
                                             const std::string& definition, const std::string& file,
                                             const std::string& filter = {})
{
    return source.Open(definition, {TFieldRecordMode::read, file, filter});
}

// Calls `read` for every record the open definition accepts.
template <class Read> void ForEachRecord(CFieldRecord& record, Read read)
{
    while (!record.IsEOF()) {
        if (record.MoveNext())
            read();
    }
}

std::string ReadText(CFieldRecord& record, const std::string& name)
{
    return record.GetFieldString(name, "", 0, kRead);
}

int ReadInt(CFieldRecord& record, const std::string& name)
{
    return record.GetFieldInt(name, 0, -1, -1, kRead);
}

// A float field; `current` when the record gives no value.
float ReadFloat(CFieldRecord& record, const std::string& name, float current = 0.0f)
{
    return record.GetFieldFloat(name, current, kRead);
}

// The file name with its last `from` replaced by `to`; empty when it holds no `from`, so a
// companion file never lands on the file itself.
std::string ReplaceLast(const std::string& file, const std::string& from, const std::string& to)
{
    const std::size_t position = file.rfind(from);
    if (position == std::string::npos)
        return {};
    return file.substr(0, position) + to + file.substr(position + from.size());
}

const char* SpecialFareTypeText(int type)
{
    switch (type) {
    case SPECIAL_FARE_ORDER:
        return "ORDER";
    case SPECIAL_FARE_RESOURCE:
        return "RESOURCE";
    default:
        return "TRIP"; // a rule of unknown type is priced like a trip rule
    }
}

int SpecialFareTypeOf(const std::string& word)
{
    if (word == "ORDER")
        return SPECIAL_FARE_ORDER;
    if (word == "RESOURCE")
        return SPECIAL_FARE_RESOURCE;
    if (word == "TRIP")
        return SPECIAL_FARE_TRIP;
    return SPECIAL_FARE_UNKNOWN;
}

const char* InfoFormatText(int format)
{
    switch (format) {
    case 1:
        return "BOOL";
    case 2:
        return "INTEGER";
    default:
        return "FLOAT";
    }
}

int InfoFormatOf(const std::string& word)
{
    if (word == "BOOL")
        return 1;
    if (word == "INTEGER")
        return 2;
    if (word == "FLOAT")
        return 3;
    return -1;
}

// A variable of a key set of the catalogue, or null when the key set does not hold it.
const TVarKeyStruct* FindCatalogueVariable(int keySet, const std::string& name)
{
    // By the key itself: the requirement and information lists register under their bare names.
    const CTrevantorVariablesKeys& keys = TrevantorVariables().GetKeySet(keySet);
    for (int i = 0; i < keys.GetSize(); ++i) {
        const TVarKeyStruct* variable = keys.GetVariable(i);
        if (variable->GetKeyName() == name)
            return variable;
    }
    return nullptr;
}

// Where a rule of `type` finds the value named by `token`: the variable and its entity.
const TVarKeyStruct* FindRuleVariable(int type, const std::string& token, int& entity)
{
    entity = SPECIAL_FARE_ENTITY_NONE;
    if (type == SPECIAL_FARE_ORDER) {
        if (token == "REQUIREMENT")
            return FindCatalogueVariable(KEYS_ORDER, "ORDER_REQUIREMENTS");
        if (token == "ADD_INFO")
            return FindCatalogueVariable(KEYS_ORDER, "ORDER_INFORMATIVE_VALUES");
        return FindCatalogueVariable(KEYS_ORDER, token);
    }
    if (type == SPECIAL_FARE_RESOURCE) {
        entity = SPECIAL_FARE_ENTITY_PAIR;
        if (token == "REQUIREMENT")
            return FindCatalogueVariable(KEYS_RESOURCE, "RESOURCE_REQUIREMENTS");
        if (token == "ADD_INFO")
            return FindCatalogueVariable(KEYS_RESOURCE, "RESOURCE_INFORMATIVE_VALUES");
        static constexpr std::pair<int, int> kResourceKeySets[] = {
            {KEYS_RESOURCE, SPECIAL_FARE_ENTITY_PAIR},
            {KEYS_TRAILER, SPECIAL_FARE_ENTITY_TRAILER},
            {KEYS_TRUCK, SPECIAL_FARE_ENTITY_TRUCK},
        };
        for (const auto& [keySet, keySetEntity] : kResourceKeySets) {
            if (const TVarKeyStruct* variable = FindCatalogueVariable(keySet, token)) {
                entity = keySetEntity;
                return variable;
            }
        }
        return nullptr;
    }
    return FindCatalogueVariable(KEYS_LORRY_TOTALS, token);
}

// The key set whose definition lists serve the rule's requirement and information names.
int ListKeySet(int type)
{
    return type == SPECIAL_FARE_RESOURCE ? KEYS_RESOURCE : KEYS_ORDER;
}

// Resolves the list name of a requirement or additional-information rule; false when the rule
// must be dropped.
bool ResolveListName(TSpecialFare& rule, const CSmartStringArray& tokens)
{
    const bool requirement = rule.variableKind == VAR_REQUIREMENTS;
    const bool information =
        rule.variableKind == VAR_ORDER_INFO || rule.variableKind == VAR_RESOURCE_INFO;
    if (!requirement && !information)
        return true;
    if (tokens.GetSize() < (requirement ? 6 : 7))
        return false;
    const CVariableDefinitionList* list =
        TrevantorVariables().GetKeySet(ListKeySet(rule.type)).GetDefinitionList(rule.variableKind);
    if (!list)
        return false;
    rule.listName = tokens[5];
    rule.listIndex = list->FindByName(rule.listName);
    if (rule.listIndex < 0)
        return false;
    if (information) {
        rule.format = InfoFormatOf(tokens[6]);
        return true;
    }
    const auto* requirements = dynamic_cast<const CListaCondicionantes*>(list);
    if (requirements)
        rule.format = (*requirements)[rule.listIndex]->type & 0xFF;
    return true;
}

// The kinds whose value a rule can price; the others contribute 0.
bool HasNumericValue(int kind)
{
    switch (kind) {
    case VAR_BOOL:
    case VAR_INT:
    case VAR_FLOAT:
    case VAR_REQUIREMENTS:
    case VAR_ORDER_INFO:
    case VAR_RESOURCE_INFO:
        return true;
    default:
        return false;
    }
}

} // namespace

// ---- CFare ------------------------------------------------------------------------------------

void CFare::SetIds(const std::string& id, const std::string& subId, const std::string& orderId,
                   CListaFares& list)
{
    m_strId = id;
    m_strSubId = subId;
    m_strOrderId = orderId;
    m_nTableIndex = list.GetTableIndex(orderId);
    m_nFareIndex = list.RegisterFareIndex(id, subId);
}

std::string CFare::Filter(bool withOrder) const
{
    std::string filter = "(FARE_ID=" + QuoteFilterValue(m_strId) +
                         " AND FARE_SUB_ID=" + QuoteFilterValue(m_strSubId);
    if (withOrder)
        filter += " AND FARE_ORDER_ID=" + QuoteFilterValue(m_strOrderId);
    return filter + ")";
}

std::unique_ptr<CFieldRecord> CFare::OpenOwnRecords(CFieldRecordSource& source,
                                                    const std::string& definition,
                                                    const std::string& file) const
{
    if (auto record = OpenForReading(source, definition, file, Filter(true)))
        return record;
    return OpenForReading(source, definition, file, Filter(false));
}

void CFare::LoadMinimums(CFieldRecordSource& source, int kind, const std::string& file)
{
    const auto record = OpenOwnRecords(source, FaresDefinition(kind), file);
    if (!record)
        return;
    // The unload terms are saved in the header records too: without them here, a plan saved
    // and opened again would lose them.
    ForEachRecord(*record, [&] {
        TFareTerms& terms = m_terms;
        terms.minimumLoadKg = ReadFloat(*record, "FARE_MINIMUM_LOAD");
        terms.minimumCost = ReadFloat(*record, "FARE_MINIMUM_COST");
        terms.firstUnloadCost = ReadFloat(*record, "FIRST_UNLOAD_COST", terms.firstUnloadCost);
        terms.firstUnloadKm = ReadFloat(*record, "FIRST_UNLOAD_KM_COST", terms.firstUnloadKm);
        terms.additionalUnloadCost =
            ReadFloat(*record, "ADDITIONAL_UNLOAD_COST", terms.additionalUnloadCost);
        terms.additionalUnloadKm =
            ReadFloat(*record, "ADDITIONAL_UNLOAD_KM_COST", terms.additionalUnloadKm);
    });
}

void CFare::set_FareType(CFieldRecord& record)
{
    m_terms.radial = ReadInt(record, "FARE_RADIAL");
    m_terms.noReturn = ReadInt(record, "FARE_NO_RETURN");
    m_terms.mode = ReadInt(record, "FARE_POR_KM");
    m_terms.deliveriesOnly = ReadInt(record, "FARE_SOLO_POR_ENTREGAS");
    if (m_terms.radial && m_terms.noReturn) {
        m_nType = FARE_TYPE_NORMAL;
        TRV_TRACE(1, "CFare::set_FareType", "set_FareType, el tipo de la tarifa no es correcto");
    } else if (m_terms.radial) {
        m_nType = FARE_TYPE_RADIAL;
    } else if (m_terms.noReturn) {
        m_nType = FARE_TYPE_NO_RETURN;
    } else {
        m_nType = FARE_TYPE_NORMAL;
    }
}

void CFare::LoadSpecialFaresFromFares(CFieldRecordSource& source, const std::string& file)
{
    static constexpr const char* kRuleFields[] = {
        "SPECIAL_FARE_TYPE",
        "SPECIAL_FARE_WEIGHT_DEPENDENCY",
        "SPECIAL_FARE_ADDITIONALS_KM",
        "SPECIAL_FARE_PAY_JUST_FIRST_TIME",
        "SPECIAL_FARE_VARIABLE_NAME",
        "SPECIAL_FARE_REQUIREMENT_NAME",
        "SPECIAL_FARE_ADD_INFO_FORMAT",
    };
    // On the order id too: a fare of the same ids in another table has rules of its own.
    const auto record = OpenOwnRecords(source, FaresDefinition(kPlanSource), file);
    if (!record)
        return;
    ForEachRecord(*record, [&] {
        std::string text;
        for (const char* field : kRuleFields) {
            const std::string value = ReadText(*record, field);
            if (value.empty())
                continue;
            if (!text.empty())
                text += ',';
            text += value;
        }
        const float cost = ReadFloat(*record, "SPECIAL_FARE_COST");
        if (!text.empty())
            AddSpecialFare(file, "", text, cost);
    });
}

void CFare::LoadSpecialFaresFromIni(CFieldRecordSource& source)
{
    const std::string customFile = CFetch::GetCustomDataIniPath();
    std::vector<std::string> lines;
    if (!trv::GetProfileSection(kSpecialFaresSection, customFile, lines))
        return;
    const auto costs = OpenForReading(source, "SUBFARES_SPECIALS", "", Filter(false));
    bool hasRecord = false;
    while (costs && !hasRecord && !costs->IsEOF())
        hasRecord = costs->MoveNext();
    for (const std::string& line : lines) {
        const std::string key = line.substr(0, line.find('='));
        if (key.empty())
            continue;
        AddSpecialFare(customFile, key, "", hasRecord ? ReadFloat(*costs, key) : 0.0f);
    }
}

bool CFare::AddSpecialFare(const std::string& file, const std::string& key, const std::string& text,
                           float cost)
{
    std::string definition = text;
    if (!key.empty() && definition.empty())
        definition = trv::GetProfileString(kSpecialFaresSection, key, "", file);
    CSmartStringArray tokens;
    SplitString(definition, tokens, ",", true);
    // Every kind of rule names its value in the fifth token: shorter texts are not rules.
    if (tokens.GetSize() < 5)
        return false;

    TSpecialFare rule;
    rule.type = SpecialFareTypeOf(tokens[0]);
    rule.weightDependency = tokens[1] == "1" ? 1 : tokens[1] == "2" ? 2 : 0;
    rule.additionalKm = tokens[2] == "1";
    rule.payJustFirstTime = tokens[3] == "1";
    rule.variableName = tokens[4];
    const TVarKeyStruct* variable = FindRuleVariable(rule.type, rule.variableName, rule.entity);
    if (!variable || !variable->member)
        return false;
    rule.member = variable->member;
    rule.variableKind = variable->kind;
    if (!ResolveListName(rule, tokens))
        return false;
    if (!HasNumericValue(rule.variableKind))
        TRV_TRACE(2, "CFare::AddSpecialFare",
                  "La regla especial de %s@%s usa la variable %s de tipo %d, sin valor numérico: "
                  "no suma nada",
                  m_strId.c_str(), m_strSubId.c_str(), rule.variableName.c_str(),
                  rule.variableKind);
    rule.cost = cost;
    m_specialFares.push_back(std::move(rule));
    return true;
}

std::string CFare::RowText(const TFareRow& row)
{
    return trv::FormatC("%010d%011.5f", row.key, static_cast<double>(row.price));
}

bool CFare::AddRow(int key, float price)
{
    const TFareRow row{key, price};
    const std::string text = RowText(row);
    const bool known = std::any_of(m_rows.begin(), m_rows.end(),
                                   [&](const TFareRow& stored) { return RowText(stored) == text; });
    if (known)
        return false;
    m_rows.push_back(row);
    return true;
}

void CFare::AddRow(CFieldRecord& record)
{
    AddRow(ReadInt(record, "FARE_KM"), ReadFloat(record, "FARE_COST"));
    // Only the fields the rows give replace the header's terms.
    TFareTerms& terms = m_terms;
    terms.firstUnloadCost = ReadFloat(record, "FIRST_UNLOAD_COST", terms.firstUnloadCost);
    terms.firstUnloadKm = ReadFloat(record, "FIRST_UNLOAD_KM_COST", terms.firstUnloadKm);
    terms.additionalUnloadCost =
        ReadFloat(record, "ADDITIONAL_UNLOAD_COST", terms.additionalUnloadCost);
    terms.additionalUnloadKm =
        ReadFloat(record, "ADDITIONAL_UNLOAD_KM_COST", terms.additionalUnloadKm);
    terms.minimumLoadKg = ReadFloat(record, "FARE_MINIMUM_LOAD", terms.minimumLoadKg);
    terms.minimumCost = ReadFloat(record, "FARE_MINIMUM_COST", terms.minimumCost);
}

void CFare::BuildPriceTable()
{
    if (m_rows.empty())
        return;
    // Rows apply in ascending |key|, equal keys in reading order: rows in that order give
    // their own table, and rows in any other order cannot write outside it.
    std::vector<TFareRow> rows;
    rows.reserve(m_rows.size());
    for (const TFareRow& row : m_rows) {
        if (std::llabs(static_cast<long long>(row.key)) > kMaxFareKey) {
            TRV_TRACE(1, "CFare::BuildPriceTable",
                      "Fare %s@%s of %s: row key %d is beyond %d, row left out", m_strId.c_str(),
                      m_strSubId.c_str(), m_strOrderId.c_str(), row.key, kMaxFareKey);
            continue;
        }
        rows.push_back(row);
    }
    m_priceTable.clear();
    if (rows.empty())
        return;
    std::stable_sort(rows.begin(), rows.end(), [](const TFareRow& a, const TFareRow& b) {
        return std::abs(a.key) < std::abs(b.key);
    });

    std::vector<float> table(static_cast<std::size_t>(std::abs(rows.back().key)) + 1, 0.0f);
    int position = 0;
    float previous = 0.0f;
    for (const TFareRow& row : rows) {
        if (row.key < 0) {
            // The previous price below |key|, this one from |key| on.
            for (; position < -row.key; ++position)
                table[static_cast<std::size_t>(position)] = previous;
            table[static_cast<std::size_t>(position)] = row.price;
            previous = row.price;
        } else {
            // This price up to the key; the boundary takes the next row's price when one follows.
            previous = row.price;
            for (; position <= row.key; ++position)
                table[static_cast<std::size_t>(position)] = row.price;
            --position;
        }
    }
    table.resize(static_cast<std::size_t>(position) + 1);
    m_priceTable = std::move(table);
}

// ---- CFares -----------------------------------------------------------------------------------

CFare& CFares::SetFare(std::unique_ptr<CFare> fare)
{
    const auto index = static_cast<std::size_t>(fare->GetFareIndex());
    if (index >= m_fares.size())
        m_fares.resize(index + 1);
    m_fares[index] = std::move(fare);
    return *m_fares[index];
}

void CFares::AddFare(CFieldRecordSource& source, int kind, const std::string& file,
                     CFieldRecord& record, CListaFares& list)
{
    const std::string id = ReadText(record, "FARE_ID");
    const std::string subId = ReadText(record, "FARE_SUB_ID");
    const std::string orderId = ReadText(record, "FARE_ORDER_ID");
    for (const auto& fare : m_fares) {
        if (fare && fare->GetId() == id && fare->GetSubId() == subId &&
            fare->GetOrderId() == orderId)
            return;
    }
    auto created = std::make_unique<CFare>();
    created->SetIds(id, subId, orderId, list);
    CFare& fare = SetFare(std::move(created));
    fare.LoadMinimums(source, kind, file);
    fare.set_FareType(record);
    if (kind == kCustomerSource)
        fare.LoadSpecialFaresFromIni(source);
    else if (kind == kPlanSource)
        fare.LoadSpecialFaresFromFares(source, file);
    m_nMaxSpecialFares = std::max(m_nMaxSpecialFares, fare.GetSpecialFareCount());
}

void CFares::AddRow(CFieldRecord& record, const CListaFares& list)
{
    const int index =
        list.FindFareIndex(ReadText(record, "FARE_ID"), ReadText(record, "FARE_SUB_ID"));
    if (CFare* fare = GetFare(index))
        fare->AddRow(record);
}

void CFares::BuildPriceTables()
{
    for (const auto& fare : m_fares) {
        if (fare)
            fare->BuildPriceTable();
    }
}

bool CFares::WriteFares(CFieldRecord& fares, CFieldRecord* rows) const
{
    bool written = true;
    for (const auto& fare : m_fares) {
        if (!fare)
            continue;
        const TFareTerms& terms = fare->GetTerms();
        const auto writeHeader = [&] {
            fares.ClearRecord();
            fares.SetFieldString("FARE_ORDER_ID", m_strName, 0, kWrite);
            fares.SetFieldString("FARE_ID", fare->GetId(), 0, kWrite);
            fares.SetFieldString("FARE_SUB_ID", fare->GetSubId(), 0, kWrite);
            fares.SetFieldInt("FARE_RADIAL", terms.radial, -1, -1, kWrite);
            fares.SetFieldInt("FARE_POR_KM", terms.mode, -1, -1, kWrite);
            fares.SetFieldInt("FARE_NO_RETURN", terms.noReturn, -1, -1, kWrite);
            fares.SetFieldFloat("FARE_MINIMUM_LOAD", terms.minimumLoadKg, kWriteAllDigits);
            fares.SetFieldFloat("FARE_MINIMUM_COST", terms.minimumCost, kWriteAllDigits);
            fares.SetFieldFloat("FIRST_UNLOAD_COST", terms.firstUnloadCost, kWriteAllDigits);
            fares.SetFieldFloat("ADDITIONAL_UNLOAD_COST", terms.additionalUnloadCost,
                                kWriteAllDigits);
            fares.SetFieldFloat("FIRST_UNLOAD_KM_COST", terms.firstUnloadKm, kWriteAllDigits);
            fares.SetFieldFloat("ADDITIONAL_UNLOAD_KM_COST", terms.additionalUnloadKm,
                                kWriteAllDigits);
            fares.SetFieldInt("FARE_SOLO_POR_ENTREGAS", terms.deliveriesOnly, -1, -1, kWrite);
        };
        if (fare->GetSpecialFareCount() == 0) {
            writeHeader();
            written = fares.WriteRecord() && written;
        }
        for (int i = 0; i < fare->GetSpecialFareCount(); ++i) {
            const TSpecialFare& rule = fare->GetSpecialFare(i);
            writeHeader();
            fares.SetFieldString("SPECIAL_FARE_TYPE", SpecialFareTypeText(rule.type), 0, kWrite);
            fares.SetFieldInt("SPECIAL_FARE_WEIGHT_DEPENDENCY", rule.weightDependency, -1, -1,
                              kWrite);
            fares.SetFieldInt("SPECIAL_FARE_ADDITIONALS_KM", rule.additionalKm, -1, -1, kWrite);
            fares.SetFieldInt("SPECIAL_FARE_PAY_JUST_FIRST_TIME", rule.payJustFirstTime, -1, -1,
                              kWrite);
            fares.SetFieldString("SPECIAL_FARE_VARIABLE_NAME", rule.variableName, 0, kWrite);
            fares.SetFieldString("SPECIAL_FARE_REQUIREMENT_NAME", rule.listName, 0, kWrite);
            fares.SetFieldString("SPECIAL_FARE_ADD_INFO_FORMAT", InfoFormatText(rule.format), 0,
                                 kWrite);
            fares.SetFieldFloat("SPECIAL_FARE_COST", rule.cost, kWriteAllDigits);
            written = fares.WriteRecord() && written;
        }
    }
    for (const auto& fare : m_fares) {
        if (!fare || !rows)
            continue;
        for (const TFareRow& row : fare->GetRows()) {
            rows->ClearRecord();
            rows->SetFieldString("FARE_ID", fare->GetId(), 0, kWrite);
            rows->SetFieldString("FARE_SUB_ID", fare->GetSubId(), 0, kWrite);
            rows->SetFieldString("FARE_ORDER_ID", fare->GetOrderId(), 0, kWrite);
            rows->SetFieldInt("FARE_KM", row.key, -1, -1, kWrite);
            rows->SetFieldFloat("FARE_COST", row.price, kWriteAllDigits);
            written = rows->WriteRecord() && written;
        }
    }
    return written;
}

// ---- CListaFares ------------------------------------------------------------------------------

std::string CListaFares::RegistryKey(const std::string& id, const std::string& subId)
{
    return id + "@" + subId;
}

int CListaFares::RegisterFareIndex(const std::string& id, const std::string& subId)
{
    const std::string key = RegistryKey(id, subId);
    long long number = -1;
    if (IsNumeric(id) && (subId.empty() || subId == "0"))
        number = trv::ParseInt64(id);
    if (number >= 0 && number <= kLargestNumericFareId) {
        const auto position = static_cast<std::size_t>(number);
        if (position >= m_fareRegistry.size())
            m_fareRegistry.resize(position + 1);
        std::string& entry = m_fareRegistry[position];
        if (entry.empty() || entry == key) {
            entry = key;
            return static_cast<int>(position);
        }
    }
    const int found = FindFareIndex(id, subId);
    if (found >= 0)
        return found;
    m_fareRegistry.push_back(key);
    return static_cast<int>(m_fareRegistry.size()) - 1;
}

int CListaFares::FindFareIndex(const std::string& id, const std::string& subId) const
{
    const auto found =
        std::find(m_fareRegistry.begin(), m_fareRegistry.end(), RegistryKey(id, subId));
    return found == m_fareRegistry.end() ? -1 : static_cast<int>(found - m_fareRegistry.begin());
}

int CListaFares::FindTableName(const std::string& orderId) const
{
    const auto found = std::find(m_tableNames.begin(), m_tableNames.end(), orderId);
    return found == m_tableNames.end() ? -1 : static_cast<int>(found - m_tableNames.begin());
}

int CListaFares::GetTableIndex(const std::string& orderId)
{
    const int found = FindTableName(orderId);
    if (found >= 0)
        return found;
    m_tableNames.push_back(orderId);
    return static_cast<int>(m_tableNames.size()) - 1;
}

CFares& CListaFares::TableAt(int tableIndex)
{
    const auto index = static_cast<std::size_t>(tableIndex);
    if (index >= m_tables.size())
        m_tables.resize(index + 1);
    if (!m_tables[index])
        m_tables[index] = std::make_unique<CFares>(m_tableNames[index]);
    return *m_tables[index];
}

int CListaFares::LoadListaFares(CFieldRecordSource& source, const std::string& file, int kind)
{
    TRV_TRACE(2, "CListaFares::LoadListaFares", "Inicio LoadListaFares");
    m_tables.clear();
    auto record = OpenForReading(source, FaresDefinition(kind), file);
    const bool opened = record != nullptr;
    if (opened) {
        ForEachRecord(*record, [&] {
            const int tableIndex = GetTableIndex(ReadText(*record, "FARE_ORDER_ID"));
            TableAt(tableIndex).AddFare(source, kind, file, *record, *this);
        });
        record.reset();
        LoadSubfaresCosts(source, kind, file);
    }

    // Every known contract gets a table, with an empty fare per registered key: pricing then
    // always finds the table of an order's contract.
    for (int tableIndex = 0; tableIndex < static_cast<int>(m_tableNames.size()); ++tableIndex) {
        if (GetTable(tableIndex))
            continue;
        CFares& table = TableAt(tableIndex);
        for (const std::string& key : std::vector<std::string>(m_fareRegistry)) {
            if (key.empty()) // a number no fare has taken yet
                continue;
            const std::size_t at = key.find('@');
            auto fare = std::make_unique<CFare>();
            fare->SetIds(key.substr(0, at), at == std::string::npos ? "" : key.substr(at + 1),
                         table.GetName(), *this);
            table.SetFare(std::move(fare));
        }
    }
    TRV_TRACE(2, "CListaFares::LoadListaFares", "Fin LoadListaFares");
    return opened ? 1 : 0;
}

void CListaFares::LoadSubfaresCosts(CFieldRecordSource& source, int kind, const std::string& file)
{
    std::string rowsFile = file;
    if (kind == kPlanSource) {
        rowsFile = ReplaceLast(file, ".far", ".sfar");
        if (rowsFile.empty())
            return;
    }
    const char* definition = kind == kPlanSource ? "INT_SUBFARES_COSTS" : "CUSTOMER_SUBFARES_COSTS";
    if (const auto record = OpenForReading(source, definition, rowsFile)) {
        ForEachRecord(*record, [&] {
            if (CFares* table = GetTable(FindTableName(ReadText(*record, "FARE_ORDER_ID"))))
                table->AddRow(*record, *this);
        });
    }
    for (const auto& table : m_tables) {
        if (table)
            table->BuildPriceTables();
    }
}

bool CListaFares::SaveFares(CFieldRecordSource& source, const std::string& file) const
{
    const std::string rowsFile = ReplaceLast(file, ".far", ".sfar");
    const std::string provincesFile = ReplaceLast(rowsFile, ".sfar", ".pfar");
    auto fares = source.Open("INT_FARES", {TFieldRecordMode::write, file, ""});
    if (!fares) {
        TRV_TRACE(1, "CListaFares::SaveFares", "INT_FARES cannot be opened for %s", file.c_str());
        return false;
    }
    // Without ".far" in the name the companions would overwrite the fare file itself.
    std::unique_ptr<CFieldRecord> rows;
    std::unique_ptr<CFieldRecord> provinces;
    if (!rowsFile.empty()) {
        rows = source.Open("INT_SUBFARES_COSTS", {TFieldRecordMode::write, rowsFile, ""});
        provinces =
            source.Open("INT_SUBFARES_PROVINCIAS", {TFieldRecordMode::write, provincesFile, ""});
    }
    bool written = rowsFile.empty() || rows != nullptr;
    for (const auto& table : m_tables) {
        if (table)
            written = table->WriteFares(*fares, rows.get()) && written;
    }
    return written;
}
