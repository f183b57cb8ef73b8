#include "params/FetchFieldRecord.h"

#include "KLV/Fetch.h"

namespace {

// The variable layer writes -1 for a time bound it does not set; the engine's time readers
// and writers take the unset time for that.
int TimeBound(int bound)
{
    return bound == -1 ? kFetchUnsetTime : bound;
}

CSmartFloatArray ToSmart(const CAutoArray<float>& values)
{
    CSmartFloatArray result;
    for (const float value : values)
        result.Add(value);
    return result;
}

CSmartIntArray ToSmart(const CAutoArray<int>& values)
{
    CSmartIntArray result;
    for (const int value : values)
        result.Add(value);
    return result;
}

} // namespace

CFetchFieldRecord::CFetchFieldRecord(CFetch& fetch) : m_fetch(fetch) {}

CFetchFieldRecord::CFetchFieldRecord(std::unique_ptr<CFetch> fetch)
    : m_owned(std::move(fetch)), m_fetch(*m_owned)
{
}

CFetchFieldRecord::~CFetchFieldRecord()
{
    if (m_owned)
        m_owned->Close();
}

int CFetchFieldRecord::GetFieldBool(const std::string& name, int defaultValue, int required,
                                    int direct, const TFieldMap* fields)
{
    return m_fetch.GetFieldBool(name, defaultValue, required, direct, fields);
}

int CFetchFieldRecord::GetFieldInt(const std::string& name, int defaultValue, int required,
                                   int minimum, int maximum, int direct, const TFieldMap* fields)
{
    return m_fetch.GetFieldInt(name, defaultValue, required, minimum, maximum, direct, fields);
}

float CFetchFieldRecord::GetFieldFloat(const std::string& name, int required, int direct,
                                       const TFieldMap* fields, float defaultValue)
{
    return m_fetch.GetFieldFloat(name, required, direct, fields, defaultValue);
}

double CFetchFieldRecord::GetFieldDouble(const std::string& name, int required, int direct,
                                         const TFieldMap* fields, double defaultValue)
{
    return m_fetch.GetFieldDouble(name, required, direct, fields, defaultValue);
}

std::string CFetchFieldRecord::GetFieldString(const std::string& name,
                                              const std::string& defaultValue, int required,
                                              int width, int direct, const TFieldMap* fields)
{
    return m_fetch.GetFieldString(name, defaultValue, required, width, direct, fields);
}

int CFetchFieldRecord::GetFieldTime(const std::string& name, int defaultValue, int required,
                                    int minimum, int maximum, int direct, const TFieldMap* fields)
{
    return m_fetch.GetFieldTime(name, defaultValue, required, TimeBound(minimum),
                                TimeBound(maximum), direct, fields);
}

trv::OleDate CFetchFieldRecord::GetFieldDate(const std::string& name,
                                             const trv::OleDate& defaultValue, int required,
                                             int direct, const TFieldMap* fields)
{
    return m_fetch.GetFieldDate(name, defaultValue, required, direct, fields);
}

CSmartIntArray CFetchFieldRecord::GetFieldListTime(const std::string& name, int minimum,
                                                   int maximum, int required, int direct,
                                                   const TFieldMap* fields)
{
    return m_fetch.GetFieldListTime(name, minimum, maximum, required, direct, fields);
}

int CFetchFieldRecord::GetFieldList(const std::string& name, CSmartStringArray& items,
                                    const std::string& defaultValue, int required, int applyWidth,
                                    int width, int direct, const TFieldMap* fields)
{
    return m_fetch.GetFieldList(name, items, defaultValue, required, applyWidth, width, direct,
                                fields);
}

CSmartFloatArray CFetchFieldRecord::GetFieldListFloat(const std::string& name, int required,
                                                      int direct, const TFieldMap* fields)
{
    return ToSmart(m_fetch.GetFieldListFloat(name, required, direct, fields));
}

CSmartIntArray CFetchFieldRecord::GetFieldListInt(const std::string& name, int required, int direct,
                                                  const TFieldMap* fields)
{
    return ToSmart(m_fetch.GetFieldListInt(name, required, direct, fields));
}

void CFetchFieldRecord::GetFieldListStrings(const std::string& name, CSmartStringArray& items,
                                            int required, int direct, const TFieldMap* fields)
{
    m_fetch.GetFieldListStrings(name, items, required, direct, fields);
}

void CFetchFieldRecord::GetFieldCoordinates(TGeoCoordinate& coordinates,
                                            const CSmartStringArray& names, int required, int raw,
                                            double defaultValue)
{
    m_fetch.GetFieldCoordinates(coordinates, names, required, raw, defaultValue);
}

int CFetchFieldRecord::GetRequirements(const std::string& requirementName, int type, int required,
                                       int direct, const TFieldMap* fields,
                                       std::unique_ptr<CSmartStringArray>& list)
{
    list.reset();
    if (type != 2)
        return m_fetch.GetRequirements(requirementName, type, required, direct, fields, nullptr);
    auto items = std::make_unique<CSmartStringArray>();
    const int result =
        m_fetch.GetRequirements(requirementName, type, required, direct, fields, items.get());
    if (result != kFetchAnyRequirement)
        list = std::move(items);
    return result;
}

void CFetchFieldRecord::SetFieldBool(const std::string& name, bool value, int set, int outputIndex,
                                     int outputFlag)
{
    m_fetch.SetFieldBool(name, value, set, outputIndex, outputFlag);
}

void CFetchFieldRecord::SetFieldInt(const std::string& name, int value, int minimum, int maximum,
                                    int set, int outputIndex, int outputFlag)
{
    m_fetch.SetFieldInt(name, value, minimum, maximum, set, outputIndex, outputFlag);
}

void CFetchFieldRecord::SetFieldFloat(const std::string& name, int raw, int outputIndex,
                                      int outputFlag, float value)
{
    m_fetch.SetFieldFloat(name, raw, value, outputIndex, outputFlag);
}

void CFetchFieldRecord::SetFieldString(const std::string& name, const std::string& text,
                                       int maxChars, int outputIndex, int outputFlag)
{
    m_fetch.SetFieldString(name, text, maxChars, outputIndex, outputFlag);
}

void CFetchFieldRecord::SetFieldDouble(const std::string& name, int outputIndex, int outputFlag,
                                       double value)
{
    m_fetch.SetFieldDouble(name, value, outputIndex, outputFlag);
}

void CFetchFieldRecord::SetFieldDate(const std::string& name, const trv::OleDate& date,
                                     int outputIndex, int outputFlag)
{
    m_fetch.SetFieldDate(name, date, outputIndex, outputFlag);
}

void CFetchFieldRecord::SetFieldTime(const std::string& name, int minutes, int minimum, int maximum,
                                     int outputIndex, int outputFlag)
{
    m_fetch.SetFieldTime(name, minutes, TimeBound(minimum), TimeBound(maximum), outputIndex,
                         outputFlag);
}

void CFetchFieldRecord::SetFieldListTime(const std::string& name, const CSmartIntArray& minutes,
                                         int minimum, int maximum, int outputIndex, int set,
                                         int outputFlag)
{
    m_fetch.SetFieldListTime(name, minimum, maximum, outputIndex, set, outputFlag,
                             minutes.GetSize(), minutes.begin());
}

void CFetchFieldRecord::SetFieldListFloat(const std::string& name, int raw, int outputIndex,
                                          int outputFlag, const CSmartFloatArray& values)
{
    CAutoArray<float> block(values.GetSize());
    for (int i = 0; i < values.GetSize(); ++i)
        block[i] = values[i];
    m_fetch.SetFieldListFloat(name, raw, block, outputIndex, outputFlag);
}

void CFetchFieldRecord::SetFieldListInt(const std::string& name, const CSmartIntArray& values,
                                        int outputIndex, int outputFlag)
{
    CAutoArray<int> block(values.GetSize());
    for (int i = 0; i < values.GetSize(); ++i)
        block[i] = values[i];
    m_fetch.SetFieldListInt(name, block, outputIndex, outputFlag);
}

void CFetchFieldRecord::SetFieldListString(const std::string& name, const CSmartStringArray& values,
                                           int outputIndex, int set, int outputFlag)
{
    m_fetch.SetFieldListString(name, values, set, outputIndex, outputFlag);
}

void CFetchFieldRecord::SetFieldCoordinates(const CSmartStringArray& names,
                                            const TGeoCoordinate& coordinates, int outputIndex,
                                            int outputFlag)
{
    m_fetch.SetFieldCoordinates(names, CDoublePoint(coordinates.longitude, coordinates.latitude),
                                outputIndex, outputFlag);
}

const CSmartStringArray& CFetchFieldRecord::GetRequirementFields() const
{
    return m_fetch.m_arrRequirements;
}

void CFetchFieldRecord::SetRequirementName(const std::string& name)
{
    m_fetch.m_strRequirementName = name;
}

bool CFetchFieldRecord::IsDatabaseOutput() const
{
    return m_fetch.m_nKind == FETCH_KIND_DATABASE || m_fetch.m_nKind == FETCH_KIND_SQL;
}

std::string CFetchFieldRecord::GetBoolText(bool value) const
{
    return value ? m_fetch.m_strBoolTrue : m_fetch.m_strBoolFalse;
}

bool CFetchFieldRecord::IsEOF()
{
    return m_fetch.IsEOF() != 0;
}

bool CFetchFieldRecord::MoveNext()
{
    return m_fetch.MoveNext() != 0;
}

void CFetchFieldRecord::ClearRecord()
{
    m_fetch.ClearRecord();
}

bool CFetchFieldRecord::WriteRecord()
{
    return m_fetch.WriteRecord();
}

std::unique_ptr<CFieldRecord> CFetchFieldRecord::OpenSubTableOutput(const std::string&)
{
    return nullptr;
}

CFieldRecord& CFetchFieldRecord::ResetLines(const std::string& field)
{
    int namesLink = 0;
    m_lineSource = m_fetch.FindLinkedFetchForField(field, &namesLink);
    m_noLines = namesLink != 0 && m_lineSource < 0;
    m_lineRecord.reset();
    if (m_lineSource < 0) {
        m_lineSource = -1;
        return *this;
    }
    m_lineRecord = std::make_unique<CFetchFieldRecord>(
        *m_fetch.m_arrChildren[static_cast<size_t>(m_lineSource)]);
    return *m_lineRecord;
}

bool CFetchFieldRecord::IsLinesEnd()
{
    return m_noLines || m_fetch.IsLinkedEOF(m_lineSource) != 0;
}

bool CFetchFieldRecord::MoveNextLine()
{
    return !m_noLines && m_fetch.MoveNextLinked(m_lineSource) != 0;
}

void CFetchFieldRecord::EvaluateVariables()
{
    const auto evaluate = [](CFetch& fetch) {
        if (fetch.m_bufVariables.GetSize() > 0)
            fetch.ProcessVariablesSection(fetch.m_bufVariables, 0);
    };
    if (m_fetch.m_nKind != FETCH_KIND_LIST) {
        evaluate(m_fetch);
        return;
    }
    for (const std::unique_ptr<CFetch>& member : m_fetch.m_arrChildren)
        evaluate(*member);
}

std::unique_ptr<CFieldRecord> CFetchRecordSource::Open(const std::string& definition, int mode)
{
    auto fetch = std::make_unique<CFetch>();
    if (!fetch->Init(definition, "", "", mode, m_file, "", "", 1, nullptr, "", m_definitionFile))
        return nullptr;
    return std::make_unique<CFetchFieldRecord>(std::move(fetch));
}
