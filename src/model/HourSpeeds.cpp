#include "model/HourSpeeds.h"

#include "KLV/AppGlobals.h"
#include "KLV/Translate.h"
#include "model/ModelContext.h"
#include "model/WeekDay.h"
#include "params/FieldRecord.h"
#include "platform/Path.h"
#include "platform/ProgramFolder.h"

#include <algorithm>

namespace {

// The day fields of "HOUR_SPEEDS" by day of week, Monday first.
constexpr const char* kDayFactorFields[trv::DaysPerWeek] = {
    "SPEED_FACTOR_LUNES",   "SPEED_FACTOR_MARTES", "SPEED_FACTOR_MIERCOLES", "SPEED_FACTOR_JUEVES",
    "SPEED_FACTOR_VIERNES", "SPEED_FACTOR_SABADO", "SPEED_FACTOR_DOMINGO",
};

std::unique_ptr<CFieldRecord> OpenForReading(CFieldRecordSource& source,
                                             const std::string& definition,
                                             const std::string& file = {})
{
    return source.Open(definition, {.mode = TFieldRecordMode::read, .file = file});
}

// Walks the records of an open definition.
template <class Visit> void ForEachRecord(CFieldRecord& record, Visit visit)
{
    while (!record.IsEOF())
        if (record.MoveNext())
            visit(record);
}

int ReadInt(CFieldRecord& record, const char* name)
{
    return record.GetFieldInt(name, 0, -1, -1, {});
}

// The hour speeds' day of the planning date, 1 Sunday .. 7 Saturday; 0 without a date.
int PlanningWeekDay()
{
    const trv::OleDate& date = ModelContext().planningDate;
    if (!date.IsValid() || date.GetValue() == 0.0)
        return 0;
    return trv::WeekDayNumber(trv::DayOfWeekOfOleDay(date.GetValue()),
                              trv::WeekDayNumbering::SundayIsOne);
}

} // namespace

std::string HourSpeedsFilePath()
{
    const std::string alias = trv::GetCompanyAlias();
    const std::string folder = trv::GetProgramFolder() + (alias.empty() ? "" : alias + "/");
    return trv::ResolvePathCase(folder + "Configuration/HourSpeeds.txt");
}

void LoadHourSpeeds(CFieldRecordSource& source, const std::string& file)
{
    const auto record = OpenForReading(source, "HOUR_SPEEDS", file);
    if (!record)
        return;
    CHourSpeeds& speeds = ModelContext().hourSpeeds;
    const int weekDay = PlanningWeekDay();
    const char* dayField = nullptr;
    if (weekDay > 0) {
        const int mondayFirst = trv::ConvertWeekDay(weekDay, trv::WeekDayNumbering::SundayIsOne,
                                                    trv::WeekDayNumbering::MondayIsOne);
        dayField = kDayFactorFields[mondayFirst - 1];
    }
    ForEachRecord(*record, [&](CFieldRecord& row) {
        const int hour = row.GetFieldInt("HOUR", -1, -1, -1, {});
        float factor = row.GetFieldFloat("SPEED_FACTOR", 0.0f, {}) * 0.01f;
        if (factor == 0.0f)
            factor = 1.0f;
        if (dayField) {
            const float dayFactor = row.GetFieldFloat(dayField, 0.0f, {}) * 0.01f;
            if (dayFactor > 0.0f)
                factor = dayFactor;
        }
        if (hour >= 0 && hour < CHourSpeeds::Hours)
            speeds.factors[static_cast<std::size_t>(hour)] = factor;
    });
    speeds.loaded = true;
}

void LoadHourSpeeds(CFieldRecordSource& source)
{
    LoadHourSpeeds(source, HourSpeedsFilePath());
}

float HourSpeedFactor(int departureMinute)
{
    return ModelContext().hourSpeeds.GetFactor(departureMinute);
}

bool HourSpeedsLoaded()
{
    return ModelContext().hourSpeeds.loaded;
}

void FillSpeedClassNames(CSmartStringArray& names)
{
    names.SetSize(0);
    for (const char* key : {"DBD_SLOW", "DBD_NORMAL", "DBD_FAST"})
        names.Add(Translate(key));
}

void ClearTripsIncompatibilities()
{
    ModelContext().tripsIncompatibilities.table = CBoolTable();
}

void SizeTripsIncompatibilities(CFieldRecordSource& source)
{
    const auto record = OpenForReading(source, "TRIPS_INCOMPATIBILITIES");
    if (!record)
        return;
    int largestIf = 0;
    int largestThen = 0;
    ForEachRecord(*record, [&](CFieldRecord& row) {
        largestIf = std::max(largestIf, ReadInt(row, "TI_IF"));
        largestThen = std::max(largestThen, ReadInt(row, "TI_THEN"));
    });
    if (largestIf > 0 && largestThen > 0)
        ModelContext().tripsIncompatibilities.table.Create(largestIf + 1, largestThen + 1);
}

void FillTripsIncompatibilities(CFieldRecordSource& source)
{
    CBoolTable& table = ModelContext().tripsIncompatibilities.table;
    table.ClearAll();
    const auto record = OpenForReading(source, "TRIPS_INCOMPATIBILITIES");
    if (!record)
        return;
    ForEachRecord(*record, [&](CFieldRecord& row) {
        const int ifValue = ReadInt(row, "TI_IF");
        const int thenValue = ReadInt(row, "TI_THEN");
        // The definition may have changed since it was sized: nothing lands outside the table.
        if (ifValue < 0 || thenValue < 0 || ifValue >= table.GetColumns() ||
            thenValue >= table.GetRows())
            return;
        table.SetBit(ifValue, thenValue);
    });
}

void LoadTripsIncompatibilities(CFieldRecordSource& source)
{
    ClearTripsIncompatibilities();
    SizeTripsIncompatibilities(source);
    if (TripsIncompatibilitiesLoaded())
        FillTripsIncompatibilities(source);
}

bool TripsIncompatibilitiesLoaded()
{
    return ModelContext().tripsIncompatibilities.IsLoaded();
}

bool TripsCompatible(int ifCount, const int* ifValues, int thenCount, const int* thenValues)
{
    if (ifCount <= 0)
        return true;
    const CBoolTable& table = ModelContext().tripsIncompatibilities.table;
    const int columns = table.GetColumns();
    const int rows = table.GetRows();
    for (int i = 0; i < ifCount; ++i) {
        const int column = ifValues[i];
        if (column < 0 || column >= columns)
            continue;
        for (int t = 0; t < thenCount; ++t) {
            const int row = thenValues[t];
            if (row >= 0 && row < rows && table.GetBit(column, row))
                return false;
        }
    }
    return true;
}
