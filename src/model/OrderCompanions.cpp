// The orders' companion tables: reading them beside an import, writing them beside the orders,
// and the file choice of order files.

#include "model/OrderCompanions.h"

#include "KLV/AppGlobals.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "containers/BoolTable.h"
#include "model/FileChoice.h"
#include "model/ModelContext.h"
#include "model/ModelDates.h"
#include "model/Orders.h"
#include "params/Parameters.h"
#include "platform/Path.h"
#include "platform/Registry.h"
#include "platform/UserPrompt.h"

#include <functional>

std::string OrderCompanionFile(const std::string& ordersFile, std::string_view extension)
{
    return trv::ReplaceFinalExtension(ordersFile, ".ord", extension);
}

// ---- CIncompatiblesTipoVeh ---------------------------------------------------------------------

void CIncompatiblesTipoVeh::Resize(int groups)
{
    groups = std::max(groups, 0);
    if (groups == m_groups)
        return;
    std::vector<std::unique_ptr<TIncompatibility>> cells(static_cast<size_t>(groups) *
                                                         static_cast<size_t>(groups));
    const int kept = std::min(groups, m_groups);
    for (int row = 0; row < kept; ++row)
        for (int column = 0; column < kept; ++column)
            cells[static_cast<size_t>(row) * groups + column] =
                std::move(m_cells[static_cast<size_t>(row) * m_groups + column]);
    m_cells = std::move(cells);
    m_groups = groups;
}

TIncompatibility& CIncompatiblesTipoVeh::Cell(int before, int after)
{
    std::unique_ptr<TIncompatibility>& cell =
        m_cells[static_cast<size_t>(before) * m_groups + after];
    if (!cell)
        cell = std::make_unique<TIncompatibility>();
    return *cell;
}

const TIncompatibility* CIncompatiblesTipoVeh::Find(int before, int after) const
{
    if (before < 0 || after < 0 || before >= m_groups || after >= m_groups)
        return nullptr;
    return m_cells[static_cast<size_t>(before) * m_groups + after].get();
}

bool CIncompatiblesTipoVeh::IsEmpty() const
{
    for (const auto& cell : m_cells)
        if (cell)
            return false;
    return true;
}

// ---- COrderConditionedTables --------------------------------------------------------------------

bool COrderConditionedTables::HasMatrix(int vehicleType) const
{
    return GetVehicleType(vehicleType) != nullptr;
}

std::optional<float> COrderConditionedTables::GetThreshold(int vehicleType, int group,
                                                           int nextGroup) const
{
    const CIncompatiblesTipoVeh* matrix = GetVehicleType(vehicleType);
    if (!matrix)
        return std::nullopt;
    const TIncompatibility* rule = matrix->Find(group, nextGroup);
    if (!rule)
        return std::nullopt;
    return static_cast<float>(rule->minimumQuantity);
}

CIncompatiblesTipoVeh& COrderConditionedTables::EnsureVehicleType(int vehicleType, int groups)
{
    if (vehicleType >= GetVehicleTypeSlots())
        m_vehicleTypes.resize(static_cast<size_t>(vehicleType) + 1);
    auto& slot = m_vehicleTypes[static_cast<size_t>(vehicleType)];
    if (!slot)
        slot = std::make_unique<CIncompatiblesTipoVeh>(groups);
    else if (slot->GetGroupCount() < groups)
        slot->Resize(groups); // groups met since the slot was made
    return *slot;
}

const CIncompatiblesTipoVeh* COrderConditionedTables::GetVehicleType(int vehicleType) const
{
    if (vehicleType < 1 || vehicleType >= GetVehicleTypeSlots())
        return nullptr;
    return m_vehicleTypes[static_cast<size_t>(vehicleType)].get();
}

bool COrderConditionedTables::HasLastUnloadRules() const
{
    for (const auto& slot : m_vehicleTypes)
        if (slot)
            return true;
    return false;
}

void COrderConditionedTables::Clear()
{
    m_vehicleTypes.clear();
    m_lastTrip = CIncompatiblesTipoVeh();
}

// ---- Reading ------------------------------------------------------------------------------------

namespace {

// Vehicle types are small numbers; a file value never sizes the table beyond this.
constexpr int kMaximumVehicleType = 999;

// The definition of a companion by the orders' source kind (1, 2, 3); null for the others.
const char* DefinitionOfKind(int sourceKind, const char* internal, const char* exchange,
                             const char* company)
{
    switch (sourceKind) {
    case 1:
        return internal;
    case 2:
        return exchange;
    case 3:
        return company;
    default:
        return nullptr;
    }
}

// Opens the companion for reading and hands every record to `read`; false when it did not
// open.
bool ReadCompanion(const TOrdersSource& source, const char* definition, std::string_view extension,
                   const std::function<void(CFieldRecord&)>& read)
{
    if (!definition || !source.definitions)
        return false;
    std::unique_ptr<CFieldRecord> record = source.definitions->Open(
        definition,
        {.mode = TFieldRecordMode::read, .file = OrderCompanionFile(source.ordersFile, extension)});
    if (!record)
        return false;
    while (!record->IsEOF())
        if (record->MoveNext())
            read(*record);
    return true;
}

std::string Text(CFieldRecord& record, const char* field)
{
    return record.GetFieldString(field, "", -1, {});
}

// One conditioned record as read.
struct TConditionedRecord
{
    std::string before;
    std::string after;
    int resourceType = 0;
    double minimumQuantity = 0.0;
    int level = 0;
};

TConditionedRecord ReadConditioned(CFieldRecord& record, bool withType)
{
    TConditionedRecord read;
    read.before = Text(record, "UNLOAD BEFORE");
    read.after = Text(record, "UNLOAD AFTER");
    if (withType)
        read.resourceType = record.GetFieldInt("RESOURCE TYPE", 0, -1, -1, {});
    read.minimumQuantity = record.GetFieldDouble("MIN QUANTITY", 0.0, {});
    read.level = record.GetFieldInt("NIVEL", 0, -1, -1, {});
    return read;
}

void Assign(TIncompatibility& rule, const TConditionedRecord& read, int resourceType)
{
    rule.minimumQuantity = read.minimumQuantity;
    rule.resourceType = resourceType;
    rule.level = read.level;
    rule.groupBefore = read.before;
    rule.groupAfter = read.after;
}

bool WriteConditioned(CFieldRecord& record, const TIncompatibility& rule, bool withType)
{
    const TFieldWrite write;
    record.ClearRecord();
    record.SetFieldString("UNLOAD BEFORE", rule.groupBefore, -1, write);
    record.SetFieldString("UNLOAD AFTER", rule.groupAfter, -1, write);
    if (withType)
        record.SetFieldInt("RESOURCE TYPE", rule.resourceType, -1, -1, write);
    record.SetFieldDouble("MIN QUANTITY", rule.minimumQuantity, write);
    record.SetFieldInt("NIVEL", rule.level, -1, -1, write);
    return record.WriteRecord();
}

// The records of one conditioned table ("LAST_UNLOAD" with the vehicle type, or "LAST_TRIP"),
// their groups added to the program-wide list.
std::vector<TConditionedRecord> ReadConditionedTable(const TOrdersSource& source,
                                                     const std::string& table,
                                                     std::string_view extension,
                                                     CDistinctTexts& groups)
{
    const std::string name = "CONDITIONED_INCOMPATIBILITY_" + table + "_TABLE";
    const std::string names[] = {"INT_" + name, "EXT_" + name, "CUSTOMER_" + name};
    const bool withType = table == "LAST_UNLOAD";
    std::vector<TConditionedRecord> records;
    ReadCompanion(
        source,
        DefinitionOfKind(source.sourceKind, names[0].c_str(), names[1].c_str(), names[2].c_str()),
        extension,
        [&](CFieldRecord& record) { records.push_back(ReadConditioned(record, withType)); });
    for (const TConditionedRecord& read : records) {
        groups.FindOrAdd(read.before);
        groups.FindOrAdd(read.after);
    }
    return records;
}

bool CustomerDaysOffAreUsed()
{
    const CUserParameters& parameters = UserParameters();
    return parameters.SchedulingTime == 1 && parameters.DayOff != 0;
}

} // namespace

bool COrders::HasAdditivesTable(const TOrdersSource& source) const
{
    if (source.sourceKind == 1 && OrderCompanionFile(source.ordersFile, ".add").empty())
        return false;
    return ReadCompanion(
        source,
        DefinitionOfKind(source.sourceKind, "INT_ADDITIVES", "EXT_ADDITIVES", "CUSTOMER_ADDITIVES"),
        ".add", [](CFieldRecord&) {});
}

void COrders::LoadIncompatibilityTable(const TOrdersSource& source)
{
    incompatibleGroups1.SetSize(0);
    incompatibleGroups2.SetSize(0);
    ReadCompanion(source,
                  DefinitionOfKind(source.sourceKind, "INT_INCOMPATIBILITY_TABLE",
                                   "EXT_INCOMPATIBILITY_TABLE", "CUSTOMER_INCOMPATIBILITY_TABLE"),
                  ".inc", [this](CFieldRecord& record) {
                      incompatibleGroups1.Add(Text(record, "GROUP1"));
                      incompatibleGroups2.Add(Text(record, "GROUP2"));
                  });
}

void COrders::LoadCustomerCompatibilityTable(const TOrdersSource& source)
{
    if (incompatibleGroups1.GetSize() > 0)
        return;
    std::vector<std::pair<std::string, std::string>> memberships; // family, group
    ReadCompanion(
        source,
        DefinitionOfKind(source.sourceKind, nullptr, nullptr, "CUSTOMER_COMPATIBILITY_TABLE"),
        ".inc", [&](CFieldRecord& record) {
            memberships.emplace_back(Text(record, "FAMILIA"), Text(record, "GRUPO"));
        });
    if (memberships.empty())
        return;

    // Families and groups in first-seen order, compared exactly.
    std::vector<std::string> families;
    std::vector<std::string> groups;
    auto positionOf = [](std::vector<std::string>& texts, const std::string& text) {
        for (size_t i = 0; i < texts.size(); ++i)
            if (texts[i] == text)
                return static_cast<int>(i);
        texts.push_back(text);
        return static_cast<int>(texts.size()) - 1;
    };
    std::vector<std::pair<int, int>> bits;
    for (const auto& [family, group] : memberships)
        bits.emplace_back(positionOf(families, family), positionOf(groups, group));
    const int familyCount = static_cast<int>(families.size());
    const int groupCount = static_cast<int>(groups.size());

    CBoolTable belongs; // column family, row group
    belongs.Create(familyCount, groupCount);
    for (const auto& [family, group] : bits)
        belongs.SetBit(family, group);
    auto shareGroup = [&](int first, int second) {
        for (int group = 0; group < groupCount; ++group)
            if (belongs.GetBit(first, group) && belongs.GetBit(second, group))
                return true;
        return false;
    };

    CBoolTable handled;
    handled.Create(familyCount, familyCount);
    for (int family = 0; family < familyCount; ++family)
        for (int group = 0; group < groupCount; ++group) {
            if (belongs.GetBit(family, group))
                continue;
            for (int other = 0; other < familyCount; ++other) {
                if (!belongs.GetBit(other, group) || handled.GetBit(family, other))
                    continue;
                if (!shareGroup(family, other)) {
                    incompatibleGroups1.Add(families[static_cast<size_t>(family)]);
                    incompatibleGroups2.Add(families[static_cast<size_t>(other)]);
                }
                handled.SetBit(family, other);
                handled.SetBit(other, family);
            }
        }
}

void COrders::LoadCondicionedIncompatibilityTable(const TOrdersSource& source)
{
    constexpr const char* kMethod = "COrders::LoadCondicionedIncompatibilityTable";
    if (conditionedTables.HasLastUnloadRules() && conditionedTables.HasLastTripRules())
        return;
    CModelContext& context = ModelContext();

    const std::vector<TConditionedRecord> lastUnload =
        ReadConditionedTable(source, "LAST_UNLOAD", ".clui", context.lastUnloadGroups);
    const int groups = context.lastUnloadGroups.GetSize();
    auto cellOf = [&](CIncompatiblesTipoVeh & matrix, const TConditionedRecord& read) -> auto&
    {
        return matrix.Cell(context.lastUnloadGroups.Find(read.before),
                           context.lastUnloadGroups.Find(read.after));
    };
    // The rules of one vehicle type first, then the general ones over every type known, so a
    // general rule overrides a specific one of the same pair.
    for (const TConditionedRecord& read : lastUnload) {
        if (read.resourceType <= 0)
            continue;
        if (read.resourceType > kMaximumVehicleType) {
            TRV_TRACE(1, kMethod, "RESOURCE TYPE %d of %s -> %s is not a vehicle type; skipped",
                      read.resourceType, read.before.c_str(), read.after.c_str());
            continue;
        }
        Assign(cellOf(conditionedTables.EnsureVehicleType(read.resourceType, groups), read), read,
               read.resourceType);
    }
    for (const TConditionedRecord& read : lastUnload) {
        if (read.resourceType > 0)
            continue;
        for (int type = 1; type < conditionedTables.GetVehicleTypeSlots(); ++type)
            if (conditionedTables.GetVehicleType(type))
                Assign(cellOf(conditionedTables.EnsureVehicleType(type, groups), read), read, type);
    }

    const std::vector<TConditionedRecord> lastTrip =
        ReadConditionedTable(source, "LAST_TRIP", ".clti", context.lastTripGroups);
    CIncompatiblesTipoVeh& tripMatrix = conditionedTables.LastTrip();
    tripMatrix.Resize(context.lastTripGroups.GetSize());
    for (const TConditionedRecord& read : lastTrip)
        Assign(tripMatrix.Cell(context.lastTripGroups.Find(read.before),
                               context.lastTripGroups.Find(read.after)),
               read, -1);

    const bool unloadRules = conditionedTables.HasLastUnloadRules();
    const bool tripRules = conditionedTables.HasLastTripRules();
    if (unloadRules != tripRules)
        TRV_TRACE(1, kMethod, "%s",
                  TranslateFormat("ErrorLoadingIncompatibilities",
                                  Translate(unloadRules ? "UltimoViaje" : "UltimaDescarga"))
                      .c_str());
}

void COrders::LoadCustomerDaysOff(const TOrdersSource& source)
{
    if (!CustomerDaysOffAreUsed() || !source.definitions)
        return;
    customerDaysOff.RemoveAll();
    if (source.sourceKind == 1)
        customerDaysOff.ReadDaysOff(*source.definitions, "INT_DAYOFF_CUSTOMER",
                                    OrderCompanionFile(source.ordersFile, ".fstcmr"), 0, "", false);
    else
        customerDaysOff.ReadDaysOff(*source.definitions, "CUSTOMER_DAYOFF", "", 0, "", false);
}

// ---- Writing ------------------------------------------------------------------------------------

bool COrders::WriteIncompatibilityTable(CFieldRecord& record) const
{
    const TFieldWrite write;
    bool written = true;
    for (int i = 0; i < incompatibleGroups1.GetSize() && i < incompatibleGroups2.GetSize(); ++i) {
        record.ClearRecord();
        record.SetFieldString("GROUP1", incompatibleGroups1[i], -1, write);
        record.SetFieldString("GROUP2", incompatibleGroups2[i], -1, write);
        written = record.WriteRecord() && written;
    }
    return written;
}

bool COrders::WriteLastUnloadTable(CFieldRecord& record) const
{
    bool written = true;
    for (int type = 1; type < conditionedTables.GetVehicleTypeSlots(); ++type)
        if (const CIncompatiblesTipoVeh* matrix = conditionedTables.GetVehicleType(type))
            matrix->ForEachRule([&](const TIncompatibility& rule) {
                written = WriteConditioned(record, rule, true) && written;
            });
    return written;
}

bool COrders::WriteLastTripTable(CFieldRecord& record) const
{
    bool written = true;
    conditionedTables.LastTrip().ForEachRule([&](const TIncompatibility& rule) {
        written = WriteConditioned(record, rule, false) && written;
    });
    return written;
}

bool COrders::ExportOrders(CFieldRecordSource& definitions, const std::string& file)
{
    constexpr const char* kMethod = "COrders::ExportOrders";
    const CModelContext& context = ModelContext();
    const std::string date = FetchDateText(context.planningDate);
    const std::string period = std::to_string(context.planningPeriod);

    // Opens a definition on a file, lets `write` fill it and closes it; false (traced) when
    // any step failed.
    auto exportTo = [&](const char* definition, const std::string& target,
                        const std::function<bool(CFieldRecord&)>& write) {
        std::unique_ptr<CFieldRecord> record = definitions.Open(
            definition,
            {.mode = TFieldRecordMode::write, .file = target, .date = date, .period = period});
        if (!record) {
            TRV_TRACE(1, kMethod, "%s cannot be opened on %s", definition, target.c_str());
            return false;
        }
        const bool written = write(*record);
        const bool closed = record->Close();
        if (!written || !closed)
            TRV_TRACE(1, kMethod, "%s could not be written to %s", definition, target.c_str());
        return written && closed;
    };

    bool exported = exportTo("INT_ORDERS", file, [this](CFieldRecord& record) {
        bool written = true;
        for (COrder* order : *this) {
            record.ClearRecord();
            written = order->ExportToFetch(record, true) && written;
            written = record.WriteRecord() && written;
        }
        return written;
    });
    if (OrderCompanionFile(file, ".add").empty())
        return exported;

    exported = exportTo("INT_ADDITIVES", OrderCompanionFile(file, ".add"),
                        [this](CFieldRecord& record) {
                            for (const COrder* order : *this)
                                order->ExportAdditives(record);
                            return true;
                        }) &&
               exported;
    exported =
        exportTo("INT_INCOMPATIBILITY_TABLE", OrderCompanionFile(file, ".inc"),
                 [this](CFieldRecord& record) { return WriteIncompatibilityTable(record); }) &&
        exported;
    exported = exportTo("INT_CONDITIONED_INCOMPATIBILITY_LAST_UNLOAD_TABLE",
                        OrderCompanionFile(file, ".clui"),
                        [this](CFieldRecord& record) { return WriteLastUnloadTable(record); }) &&
               exported;
    exported = exportTo("INT_CONDITIONED_INCOMPATIBILITY_LAST_TRIP_TABLE",
                        OrderCompanionFile(file, ".clti"),
                        [this](CFieldRecord& record) { return WriteLastTripTable(record); }) &&
               exported;
    if (CustomerDaysOffAreUsed())
        exported = exportTo("INT_DAYOFF_CUSTOMER", OrderCompanionFile(file, ".fstcmr"),
                            [this](CFieldRecord& record) {
                                return customerDaysOff.WriteDaysOff(record, "") != 0;
                            }) &&
                   exported;
    return exported;
}

// ---- The file choice ----------------------------------------------------------------------------

std::vector<std::string> COrders::SelectOrdersFile(int kind, bool open,
                                                   const std::string& defaultFile,
                                                   const std::string& extension)
{
    trv::FileChoiceRequest request;
    request.save = !open;
    request.multiple = open;
    if (kind == 1 || kind == 3)
        request.filter =
            FileDialogFilter(extension, kind == 1 ? "FilterOrders" : "FilterOrdersImport");
    request.defaultPath = defaultFile;
    request.defaultExtension = extension;
    const bool companyFile = trv::HasCompanyFile();
    request.initialFolder = companyFile ? LastChosenFolder() : ProgramDataFolder();
    if (!companyFile && open) {
        request.key = "SelectOrdersFile";
        request.title = TranslateFormat("SelectOrdersFile", extension);
    }

    std::vector<std::string> paths;
    if (!trv::GetUserPrompt().ChooseFiles(request, paths) || paths.empty())
        return {};
    trv::WriteRegistry(trv::RegistryRoot::CurrentUser, trv::kApplicationRegistryKey, "LastFolder",
                       trv::kRegistryString, trv::GetPathFolder(paths.front()));
    return paths;
}
