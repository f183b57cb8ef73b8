#include "model/NoCombinable.h"

#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "KLV/FetchFilter.h"
#include "KLV/Trace.h"
#include "KLV/Utils.h"
#include "model/ModelContext.h"
#include "params/FetchFieldRecord.h"
#include "platform/Text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

namespace {

// Coordinates of one rule and of a stored row are the same place within this many degrees.
constexpr double kSameDegrees = 1e-6;

bool AppliesBits(const TNoCombinableRule& rule)
{
    return rule.active != 0 && (rule.rejectionType == 0 || rule.rejectionType == 1);
}

TMapPoint Point1(const TNoCombinableRule& rule)
{
    return {rule.longitude1, rule.latitude1};
}

TMapPoint Point2(const TNoCombinableRule& rule)
{
    return {rule.longitude2, rule.latitude2};
}

std::string Degrees(double value)
{
    return trv::FormatDouble(value, 12);
}

// "COLUMN>=low AND COLUMN<=high": a stored double compared within the tolerance, never as text.
std::string Near(const char* column, double value)
{
    return std::string(column) + ">=" + Degrees(value - kSameDegrees) + " AND " + column +
           "<=" + Degrees(value + kSameDegrees);
}

} // namespace

// ---- Rules --------------------------------------------------------------------------------------

void CNoCombinable::AddRule(const TMapPoint& point1, const TMapPoint& point2, double radius1Km,
                            double radius2Km, int rejectionType)
{
    TNoCombinableRule rule;
    rule.longitude1 = point1.longitude;
    rule.latitude1 = point1.latitude;
    rule.radius1Km = radius1Km;
    rule.longitude2 = point2.longitude;
    rule.latitude2 = point2.latitude;
    rule.radius2Km = radius2Km;
    rule.rejectionType = rejectionType;
    rule.active = 1;
    m_rules.push_back(rule);
    const TNoCombinableRule* added = &m_rules.back();
    ApplyToOrders({&added, 1});
}

TNoCombinableRule* CNoCombinable::FindRuleById(int id)
{
    for (TNoCombinableRule& rule : m_rules)
        if (rule.id == id)
            return &rule;
    return nullptr;
}

TNoCombinableRule* CNoCombinable::GetLastRule()
{
    return m_rules.empty() ? nullptr : &m_rules.back();
}

int CNoCombinable::RemoveRuleById(int id)
{
    const auto found = std::find_if(m_rules.begin(), m_rules.end(),
                                    [id](const TNoCombinableRule& rule) { return rule.id == id; });
    if (found == m_rules.end())
        return 0;
    m_rules.erase(found);
    return 1;
}

// ---- Matrices -----------------------------------------------------------------------------------

void CNoCombinable::InitMatrices(int customers, int count)
{
    count = std::max(count, 1);
    customers = std::max(customers, 0);
    m_matrixCount = count;
    m_type0.assign(static_cast<size_t>(count), CBoolTable());
    m_type1.assign(static_cast<size_t>(count), CBoolTable());
    for (int k = 0; k < count; ++k) {
        m_type0[static_cast<size_t>(k)].Create(customers, customers);
        m_type1[static_cast<size_t>(k)].Create(customers, customers);
    }
}

bool CNoCombinable::IsInRadius(const TMapPoint& point, const TMapPoint& centre, double radiusKm)
{
    // The law of cosines rounds a point onto itself to a few centimetres at some latitudes; a
    // rule of radius 0 at a customer's own place must still hold that customer.
    if (point.longitude == centre.longitude && point.latitude == centre.latitude)
        return radiusKm >= 0;
    return radiusKm >= GreatCircleDistanceKm({point.longitude, point.latitude},
                                             {centre.longitude, centre.latitude});
}

void CNoCombinable::SetPairBit(int column, int row, int rejectionType, int matrix)
{
    if (matrix < 0 || matrix >= m_matrixCount)
        return;
    CBoolTable& table = Matrix(rejectionType, matrix);
    if (column < 0 || row < 0 || column >= table.GetColumns() || row >= table.GetRows() ||
        column >= table.GetRows() || row >= table.GetColumns())
        return;
    table.SetBit(column, row);
    table.SetBit(row, column);
    m_unchanged = false;
}

void CNoCombinable::ApplyRules(int customerA, const TMapPoint& a, int customerB, const TMapPoint& b,
                               const std::list<TNoCombinableRule>& rules, int matrix)
{
    if (matrix < 0 || matrix >= m_matrixCount)
        return;
    for (const TNoCombinableRule& rule : rules) {
        if (!AppliesBits(rule))
            continue;
        const CBoolTable& table = Matrix(rule.rejectionType, matrix);
        if (customerA >= table.GetColumns() || customerB >= table.GetColumns())
            continue;
        if (!table.GetBit(customerA, customerB) && IsInRadius(a, Point1(rule), rule.radius1Km) &&
            IsInRadius(b, Point2(rule), rule.radius2Km))
            SetPairBit(customerA, customerB, rule.rejectionType, matrix);
        if (!table.GetBit(customerB, customerA) && IsInRadius(b, Point1(rule), rule.radius1Km) &&
            IsInRadius(a, Point2(rule), rule.radius2Km))
            SetPairBit(customerB, customerA, rule.rejectionType, matrix);
    }
}

void CNoCombinable::CalculaNoCombinables()
{
    for (CBoolTable& table : m_type0)
        table.ClearAll();
    for (CBoolTable& table : m_type1)
        table.ClearAll();
    std::vector<const TNoCombinableRule*> rules;
    for (const TNoCombinableRule& rule : m_rules)
        rules.push_back(&rule);
    ApplyToOrders(rules);
}

void CNoCombinable::ApplyToOrders(std::span<const TNoCombinableRule* const> rules)
{
    // One group per warehouse, customer and place: every order of a group meets the same
    // rules the same way.
    struct TGroup
    {
        int warehouse;
        int customer;
        TMapPoint place;
    };
    std::vector<TGroup> groups;
    {
        std::map<std::tuple<int, int, double, double>, bool> seen;
        for (const COrder* order : ModelContext().orders) {
            const TLocationData& place = order->customer.location;
            if (place.codeIndex < 0)
                continue;
            const auto key =
                std::make_tuple(order->plan.warehouseIndex, place.codeIndex,
                                place.coordinates.longitude, place.coordinates.latitude);
            if (seen.emplace(key, true).second)
                groups.push_back({order->plan.warehouseIndex,
                                  place.codeIndex,
                                  {place.coordinates.longitude, place.coordinates.latitude}});
        }
    }
    std::sort(groups.begin(), groups.end(),
              [](const TGroup& a, const TGroup& b) { return a.warehouse < b.warehouse; });

    std::vector<int> near1;
    std::vector<int> near2;
    for (const TNoCombinableRule* rule : rules) {
        if (!AppliesBits(*rule))
            continue;
        for (size_t first = 0; first < groups.size();) {
            const int warehouse = groups[first].warehouse;
            size_t end = first;
            near1.clear();
            near2.clear();
            for (; end < groups.size() && groups[end].warehouse == warehouse; ++end) {
                if (IsInRadius(groups[end].place, Point1(*rule), rule->radius1Km))
                    near1.push_back(static_cast<int>(end));
                if (IsInRadius(groups[end].place, Point2(*rule), rule->radius2Km))
                    near2.push_back(static_cast<int>(end));
            }
            const int matrix = std::max(0, warehouse);
            for (const int one : near1)
                for (const int two : near2) {
                    const int customerOne = groups[static_cast<size_t>(one)].customer;
                    const int customerTwo = groups[static_cast<size_t>(two)].customer;
                    if (customerOne != customerTwo)
                        SetPairBit(customerOne, customerTwo, rule->rejectionType, matrix);
                }
            first = end;
        }
    }
}

// ---- The company's database ---------------------------------------------------------------------

namespace {

constexpr const char* kReadDefinition = "NOCOMBINABLESCOORDS_READ";
constexpr const char* kWriteDefinition = "NOCOMBINABLESCOORDS_WRITE";

std::string CompanyFilter()
{
    return "CLIENTE=" + QuoteFilterValue(trv::GetCompanyInUse());
}

void WriteRuleFields(CFieldRecord& record, const TNoCombinableRule& rule)
{
    const TFieldWrite write;
    record.SetFieldDouble("COORD1LON", rule.longitude1, write);
    record.SetFieldDouble("COORD1LAT", rule.latitude1, write);
    record.SetFieldDouble("COORD2LON", rule.longitude2, write);
    record.SetFieldDouble("COORD2LAT", rule.latitude2, write);
    record.SetFieldDouble("RADIX1", rule.radius1Km, write);
    record.SetFieldDouble("RADIX2", rule.radius2Km, write);
    record.SetFieldInt("TIPO_RECHAZO", rule.rejectionType, -1, -1, write);
    record.SetFieldString("CLIENTE", trv::GetCompanyInUse(), -1, write);
}

TNoCombinableRule ReadRuleFields(CFieldRecord& record)
{
    TNoCombinableRule rule;
    rule.id = record.GetFieldInt("ID", 0, -1, -1, {});
    rule.longitude1 = record.GetFieldDouble("COORD1LON", TNoCombinableRule::kNotLocated, {});
    rule.latitude1 = record.GetFieldDouble("COORD1LAT", TNoCombinableRule::kNotLocated, {});
    rule.radius1Km = record.GetFieldDouble("RADIX1", 0, {});
    rule.longitude2 = record.GetFieldDouble("COORD2LON", TNoCombinableRule::kNotLocated, {});
    rule.latitude2 = record.GetFieldDouble("COORD2LAT", TNoCombinableRule::kNotLocated, {});
    rule.radius2Km = record.GetFieldDouble("RADIX2", 0, {});
    rule.rejectionType = record.GetFieldInt("TIPO_RECHAZO", 0, -1, -1, {});
    return rule;
}

} // namespace

void CNoCombinable::LoadRules()
{
    m_rules.clear();
    CFetchRecordSource source(m_definitionFile);
    std::unique_ptr<CFieldRecord> record =
        source.Open(kReadDefinition, {.mode = TFieldRecordMode::read, .filter = CompanyFilter()});
    if (!record) {
        TRV_TRACE(1, "CNoCombinable::LoadRules", "%s cannot be opened", kReadDefinition);
        return;
    }
    while (!record->IsEOF()) {
        if (!record->MoveNext())
            continue;
        TNoCombinableRule rule = ReadRuleFields(*record);
        rule.active = 1;
        rule.saved = 1;
        m_rules.push_back(rule);
    }
}

namespace {

// Writes one row of the rule (with its identifier when `withId` and it has one); false, traced,
// when the definition did not open or the row was not written.
bool WriteRuleRow(const std::string& definitionFile, const TNoCombinableRule& rule, bool withId,
                  const char* method)
{
    CFetchRecordSource source(definitionFile);
    std::unique_ptr<CFieldRecord> record =
        source.Open(kWriteDefinition, {.mode = TFieldRecordMode::write});
    if (!record) {
        TRV_TRACE(1, method, "%s cannot be opened", kWriteDefinition);
        return false;
    }
    record->ClearRecord();
    if (withId && rule.id > 0)
        record->SetFieldDouble("ID", rule.id, {});
    WriteRuleFields(*record, rule);
    const bool written = record->WriteRecord();
    const bool closed = record->Close();
    if (!written || !closed)
        TRV_TRACE(1, method, "the rule could not be written to %s (%s)", kWriteDefinition,
                  written ? "closing" : "writing");
    return written && closed;
}

} // namespace

int CNoCombinable::ExportarBDD()
{
    constexpr const char* kMethod = "CNoCombinable::ExportarBDD";
    TNoCombinableRule* rule = GetLastRule();
    if (!rule || !WriteRuleRow(m_definitionFile, *rule, false, kMethod))
        return 0;
    rule->id = GetLastRuleId(*rule);
    TRV_TRACE(2, kMethod, "No Combinable ID=%d", rule->id);
    if (rule->id <= 0)
        return 0;
    rule->saved = 1;
    return 1;
}

int CNoCombinable::SaveRule(const TNoCombinableRule& rule)
{
    return WriteRuleRow(m_definitionFile, rule, true, "CNoCombinable::SaveRule") ? 1 : 0;
}

int CNoCombinable::GetLastRuleId(const TNoCombinableRule& rule)
{
    const std::string filter =
        CompanyFilter() + " AND " + Near("COORD1LON", rule.longitude1) + " AND " +
        Near("COORD1LAT", rule.latitude1) + " AND " + Near("COORD2LON", rule.longitude2) + " AND " +
        Near("COORD2LAT", rule.latitude2) + " AND " + Near("RADIX1", rule.radius1Km) + " AND " +
        Near("RADIX2", rule.radius2Km) + " AND TIPO_RECHAZO=" + trv::FormatInt(rule.rejectionType);
    CFetchRecordSource source(m_definitionFile);
    std::unique_ptr<CFieldRecord> record =
        source.Open(kReadDefinition, {.mode = TFieldRecordMode::read, .filter = filter});
    if (!record)
        return -1;
    int highest = -1;
    while (!record->IsEOF())
        if (record->MoveNext())
            highest = std::max(highest, record->GetFieldInt("ID", -1, -1, -1, {}));
    return highest;
}

int CNoCombinable::BorrarBDD(const TNoCombinableRule& rule)
{
    constexpr const char* kMethod = "CNoCombinable::BorrarBDD";
    CFetch fetch;
    if (!fetch.Init(kWriteDefinition, "", "", FETCH_MODE_WRITE, "", "", "", 1, nullptr, "",
                    m_definitionFile)) {
        TRV_TRACE(1, kMethod, "%s cannot be opened", kWriteDefinition);
        return 0;
    }
    // Only literals of our own making reach the statement: the company as a quoted text, the
    // numbers in the C locale.
    const trv::CSqlDialect& dialect = fetch.m_sqlDialect;
    std::string sql = "DELETE FROM " + fetch.m_strTableName + " WHERE " +
                      dialect.ConditionColumn("CLIENTE") + "=" +
                      dialect.TextLiteral(trv::GetCompanyInUse());
    auto between = [&](const char* column, double value) {
        sql += " AND " + dialect.ConditionColumn(column) + " BETWEEN " +
               Degrees(value - kSameDegrees) + " AND " + Degrees(value + kSameDegrees);
    };
    if (rule.id > 0) {
        sql += " AND " + dialect.ConditionColumn("ID") + "=" + trv::FormatInt(rule.id);
    } else {
        between("COORD1LON", rule.longitude1);
        between("COORD1LAT", rule.latitude1);
        between("COORD2LON", rule.longitude2);
        between("COORD2LAT", rule.latitude2);
    }
    const bool deleted = fetch.ExecuteSQLSentence(sql);
    if (!deleted)
        TRV_TRACE(1, kMethod, "%s failed: %s", sql.c_str(), fetch.m_strLastError.c_str());
    fetch.Close();
    return deleted ? 1 : 0;
}

// ---- The plan's files ---------------------------------------------------------------------------

namespace {

constexpr const char* kPlanDefinition = "INT_NOCOMBINABLESCOORDS";

void WriteWord(std::ofstream& file, std::uint32_t word)
{
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(word), static_cast<unsigned char>(word >> 8),
        static_cast<unsigned char>(word >> 16), static_cast<unsigned char>(word >> 24)};
    file.write(reinterpret_cast<const char*>(bytes), 4);
}

bool WriteMatrixFile(const std::string& path, const std::vector<CBoolTable>& family)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        return false;
    WriteWord(file, static_cast<std::uint32_t>(family.size()));
    for (const CBoolTable& table : family)
        if (!table.WriteTo(file))
            return false;
    file.flush();
    return static_cast<bool>(file);
}

std::uint32_t WordAt(std::span<const std::byte> bytes, size_t word)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | std::to_integer<std::uint32_t>(bytes[word * 4 + i]);
    return value;
}

// Reads one matrix of `columns` × `rows` bits whose words start at `word`.
CBoolTable ReadMatrix(std::span<const std::byte> bytes, size_t word, int columns, int rows,
                      int wordsPerRow)
{
    CBoolTable table;
    table.Create(columns, rows);
    for (int row = 0; row < rows; ++row)
        for (int w = 0; w < wordsPerRow; ++w) {
            const std::uint32_t bits =
                WordAt(bytes, word + static_cast<size_t>(row) * wordsPerRow + w);
            for (int bit = 0; bit < 32 && bits >> bit; ++bit) {
                const int column = w * 32 + bit;
                if ((bits >> bit & 1u) && column < columns)
                    table.SetBit(column, row);
            }
        }
    return table;
}

// A ".ccdef" number, in the C locale; false for an empty or non-numeric text.
bool ReadNumber(CFieldRecord& record, const char* field, double& value)
{
    return trv::TryParseDouble(trv::Trim(record.GetFieldString(field, "", -1, {})), value) &&
           std::isfinite(value);
}

} // namespace

bool ReadNoCombinableMatrices(std::span<const std::byte> bytes, int expected,
                              std::vector<CBoolTable>& matrices)
{
    matrices.clear();
    if (bytes.size() % 4 != 0 || bytes.size() < 12)
        return false;
    const size_t words = bytes.size() / 4;
    // The header's numbers are checked against the bytes before anything is allocated.
    const std::int64_t count = static_cast<std::int32_t>(WordAt(bytes, 0));
    const std::int64_t wordsPerRow = static_cast<std::int32_t>(WordAt(bytes, 1));
    const std::int64_t rows = static_cast<std::int32_t>(WordAt(bytes, 2));
    // Both factors are below 2^31, so one matrix's words fit; the count is checked by division.
    const std::int64_t matrixWords = 2 + wordsPerRow * rows;
    const bool counted = count >= 1 && (count == expected || expected == 1) && rows >= 0 &&
                         wordsPerRow == rows / 32 + 1 && (words - 1) % matrixWords == 0 &&
                         static_cast<std::int64_t>((words - 1) / matrixWords) == count;
    if (counted) {
        size_t word = 1;
        for (std::int64_t k = 0; k < count; ++k) {
            if (WordAt(bytes, word) != static_cast<std::uint32_t>(wordsPerRow) ||
                WordAt(bytes, word + 1) != static_cast<std::uint32_t>(rows)) {
                matrices.clear();
                return false;
            }
            matrices.push_back(ReadMatrix(bytes, word + 2, static_cast<int>(rows),
                                          static_cast<int>(rows), static_cast<int>(wordsPerRow)));
            word += 2 + static_cast<size_t>(wordsPerRow * rows);
        }
        return true;
    }
    if (expected != 1)
        return false;
    // The older form: one matrix, its column count, its row count and its words.
    const std::int64_t columns = static_cast<std::int32_t>(WordAt(bytes, 0));
    const std::int64_t oldRows = static_cast<std::int32_t>(WordAt(bytes, 1));
    const std::int64_t oldWordsPerRow = columns / 32 + 1;
    if (columns < 0 || oldRows < 0 ||
        static_cast<std::int64_t>(words) != 2 + oldWordsPerRow * oldRows)
        return false;
    matrices.push_back(ReadMatrix(bytes, 2, static_cast<int>(columns), static_cast<int>(oldRows),
                                  static_cast<int>(oldWordsPerRow)));
    return true;
}

int CNoCombinable::ExportToPlan(const std::string& planPath)
{
    constexpr const char* kMethod = "CNoCombinable::ExportToPlan";
    if (m_rules.empty()) {
        const bool written = WriteMatrixFile(planPath + ".coc", m_type0) &&
                             WriteMatrixFile(planPath + ".ccpen", m_type1);
        if (!written)
            TRV_TRACE(1, kMethod, "the matrices of %s could not be written", planPath.c_str());
        return written ? 1 : 0;
    }
    CFetchRecordSource source(m_definitionFile);
    std::unique_ptr<CFieldRecord> record = source.Open(
        kPlanDefinition, {.mode = TFieldRecordMode::write, .file = planPath + ".ccdef"});
    if (!record) {
        TRV_TRACE(1, kMethod, "%s cannot be opened on %s.ccdef", kPlanDefinition, planPath.c_str());
        return 0;
    }
    const TFieldWrite write;
    bool written = true;
    for (const TNoCombinableRule& rule : m_rules) {
        record->ClearRecord();
        record->SetFieldInt("ID", rule.id, -1, -1, write);
        record->SetFieldString("COORD1LON", Degrees(rule.longitude1), -1, write);
        record->SetFieldString("COORD1LAT", Degrees(rule.latitude1), -1, write);
        record->SetFieldString("COORD2LON", Degrees(rule.longitude2), -1, write);
        record->SetFieldString("COORD2LAT", Degrees(rule.latitude2), -1, write);
        record->SetFieldString("RADIX1", Degrees(rule.radius1Km), -1, write);
        record->SetFieldString("RADIX2", Degrees(rule.radius2Km), -1, write);
        record->SetFieldInt("TIPO_RECHAZO", rule.rejectionType, -1, -1, write);
        record->SetFieldInt("ACTIVADO", rule.active, -1, -1, write);
        written = record->WriteRecord() && written;
    }
    written = record->Close() && written;
    if (!written)
        TRV_TRACE(1, kMethod, "%s.ccdef could not be written", planPath.c_str());
    return written ? 1 : 0;
}

bool CNoCombinable::ReadMatrixFile(const std::string& path, int expected,
                                   std::vector<CBoolTable>& family)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    const std::vector<char> content((std::istreambuf_iterator<char>(file)),
                                    std::istreambuf_iterator<char>());
    return ReadNoCombinableMatrices(std::as_bytes(std::span(content)), expected, family);
}

int CNoCombinable::ImportFromPlan(const std::string& planPath, int expected)
{
    constexpr const char* kMethod = "CNoCombinable::ImportFromPlan";
    m_rules.clear();
    CFetchRecordSource source(m_definitionFile);
    if (std::unique_ptr<CFieldRecord> record = source.Open(
            kPlanDefinition, {.mode = TFieldRecordMode::read, .file = planPath + ".ccdef"})) {
        while (!record->IsEOF()) {
            if (!record->MoveNext())
                continue;
            TNoCombinableRule rule;
            const bool numbers = ReadNumber(*record, "COORD1LON", rule.longitude1) &&
                                 ReadNumber(*record, "COORD1LAT", rule.latitude1) &&
                                 ReadNumber(*record, "COORD2LON", rule.longitude2) &&
                                 ReadNumber(*record, "COORD2LAT", rule.latitude2) &&
                                 ReadNumber(*record, "RADIX1", rule.radius1Km) &&
                                 ReadNumber(*record, "RADIX2", rule.radius2Km);
            // A radius of 0 is a rule on one exact place; a negative one holds no place.
            if (!numbers || rule.radius1Km < 0 || rule.radius2Km < 0) {
                TRV_TRACE(1, kMethod, "%s.ccdef: a rule without valid points and radii is dropped",
                          planPath.c_str());
                continue;
            }
            rule.id = record->GetFieldInt("ID", 0, -1, -1, {});
            rule.rejectionType = record->GetFieldInt("TIPO_RECHAZO", 0, -1, -1, {});
            rule.active = record->GetFieldInt("ACTIVADO", 0, -1, -1, {});
            m_rules.push_back(rule);
        }
        return 1;
    }

    m_type0.clear();
    m_type1.clear();
    m_matrixCount = 0;
    std::vector<CBoolTable> type0;
    std::vector<CBoolTable> type1;
    if (!ReadMatrixFile(planPath + ".coc", expected, type0) ||
        !ReadMatrixFile(planPath + ".ccpen", expected, type1) || type0.size() != type1.size()) {
        TRV_TRACE(1, kMethod, "the matrices of %s cannot be read", planPath.c_str());
        return 0;
    }
    m_type0 = std::move(type0);
    m_type1 = std::move(type1);
    m_matrixCount = static_cast<int>(m_type0.size());
    return 1;
}
