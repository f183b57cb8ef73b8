#pragma once

#include "params/FieldRecord.h"

#include <memory>
#include <string>

class CFetch;

// The current record of an open data definition of the engine, as the variable layer sees it.
class CFetchFieldRecord : public CFieldRecord
{
  public:
    explicit CFetchFieldRecord(CFetch& fetch);
    // Takes the definition over; it is closed when the record is destroyed.
    explicit CFetchFieldRecord(std::unique_ptr<CFetch> fetch);
    ~CFetchFieldRecord() override;

    int GetFieldBool(const std::string& name, int defaultValue, const TFieldRead& how) override;
    int GetFieldInt(const std::string& name, int defaultValue, int minimum, int maximum,
                    const TFieldRead& how) override;
    float GetFieldFloat(const std::string& name, float defaultValue,
                        const TFieldRead& how) override;
    double GetFieldDouble(const std::string& name, double defaultValue,
                          const TFieldRead& how) override;
    std::string GetFieldString(const std::string& name, const std::string& defaultValue, int width,
                               const TFieldRead& how) override;
    int GetFieldTime(const std::string& name, int defaultMinutes, int minimumMinutes,
                     int maximumMinutes, const TFieldRead& how) override;
    trv::OleDate GetFieldDate(const std::string& name, const trv::OleDate& defaultValue,
                              const TFieldRead& how) override;
    CSmartIntArray GetFieldListTime(const std::string& name, int minimumMinutes, int maximumMinutes,
                                    const TFieldRead& how) override;
    int GetFieldList(const std::string& name, CSmartStringArray& items,
                     const std::string& defaultValue, bool applyWidth, int width,
                     const TFieldRead& how) override;
    CSmartFloatArray GetFieldListFloat(const std::string& name, const TFieldRead& how) override;
    CSmartIntArray GetFieldListInt(const std::string& name, const TFieldRead& how) override;
    void GetFieldListStrings(const std::string& name, CSmartStringArray& items,
                             const TFieldRead& how) override;
    void GetFieldCoordinates(TGeoCoordinate& coordinates, const CSmartStringArray& names,
                             double defaultValue, const TFieldRead& how) override;
    int GetRequirements(const std::string& requirementName, TRequirementRead type,
                        const TFieldRead& how, std::unique_ptr<CSmartStringArray>& list) override;

    void SetFieldBool(const std::string& name, bool value, const TFieldWrite& how) override;
    void SetFieldInt(const std::string& name, int value, int minimum, int maximum,
                     const TFieldWrite& how) override;
    void SetFieldFloat(const std::string& name, float value, const TFieldWrite& how) override;
    void SetFieldString(const std::string& name, const std::string& text, int maxChars,
                        const TFieldWrite& how) override;
    void SetFieldDouble(const std::string& name, double value, const TFieldWrite& how) override;
    void SetFieldDate(const std::string& name, const trv::OleDate& date,
                      const TFieldWrite& how) override;
    void SetFieldTime(const std::string& name, int minutes, int minimumMinutes, int maximumMinutes,
                      const TFieldWrite& how) override;
    void SetFieldListTime(const std::string& name, const CSmartIntArray& minutes,
                          int minimumMinutes, int maximumMinutes, const TFieldWrite& how) override;
    void SetFieldListFloat(const std::string& name, const CSmartFloatArray& values,
                           const TFieldWrite& how) override;
    void SetFieldListInt(const std::string& name, const CSmartIntArray& values,
                         const TFieldWrite& how) override;
    void SetFieldListString(const std::string& name, const CSmartStringArray& values,
                            const TFieldWrite& how) override;
    void SetFieldCoordinates(const CSmartStringArray& names, const TGeoCoordinate& coordinates,
                             const TFieldWrite& how) override;

    const CSmartStringArray& GetRequirementFields() const override;
    void SetRequirementName(const std::string& name) override;
    bool IsDatabaseOutput() const override;
    std::string GetBoolText(bool value) const override;

    bool IsEOF() override;
    bool MoveNext() override;
    void ClearRecord() override;
    bool WriteRecord() override;
    bool Close() override;
    // Sub-table outputs are not opened: list values are written as one list field.
    std::unique_ptr<CFieldRecord> OpenSubTableOutput(const std::string& field) override;
    CFieldRecord& ResetLines(const std::string& field) override;
    bool IsLinesEnd() override;
    bool MoveNextLine() override;
    void EvaluateVariables() override;
    long long GetRecordCount() override;
    TRecordSourcePosition GetSourcePosition() override;
    void TakeReadMessages(CSmartStringArray& messages) override;

  private:
    std::unique_ptr<CFetch> m_owned;
    CFetch& m_fetch;
    // The line walk: the linked child the lines come from (-1 the record's own line rows), and
    // whether the field names a linked definition that holds no rows for this record.
    int m_lineSource = -1;
    bool m_noLines = false;
    std::unique_ptr<CFetchFieldRecord> m_lineRecord;
};

// Opens the engine's definitions by name from the process-wide definition files, or from one
// given definitions file. `file` is read or written when the open names none.
class CFetchRecordSource : public CFieldRecordSource
{
  public:
    explicit CFetchRecordSource(std::string definitionFile = "", std::string file = "")
        : m_definitionFile(std::move(definitionFile)), m_file(std::move(file))
    {
    }
    std::unique_ptr<CFieldRecord> Open(const std::string& definition,
                                       const TFieldRecordOpen& how) override;

  private:
    std::string m_definitionFile;
    std::string m_file;
};
