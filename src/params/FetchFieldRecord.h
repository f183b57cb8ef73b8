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

    int GetFieldBool(const std::string& name, int defaultValue, int required, int direct,
                     const TFieldMap* fields) override;
    int GetFieldInt(const std::string& name, int defaultValue, int required, int minimum,
                    int maximum, int direct, const TFieldMap* fields) override;
    float GetFieldFloat(const std::string& name, int required, int direct, const TFieldMap* fields,
                        float defaultValue) override;
    double GetFieldDouble(const std::string& name, int required, int direct,
                          const TFieldMap* fields, double defaultValue) override;
    std::string GetFieldString(const std::string& name, const std::string& defaultValue,
                               int required, int width, int direct,
                               const TFieldMap* fields) override;
    int GetFieldTime(const std::string& name, int defaultValue, int required, int minimum,
                     int maximum, int direct, const TFieldMap* fields) override;
    trv::OleDate GetFieldDate(const std::string& name, const trv::OleDate& defaultValue,
                              int required, int direct, const TFieldMap* fields) override;
    CSmartIntArray GetFieldListTime(const std::string& name, int minimum, int maximum, int required,
                                    int direct, const TFieldMap* fields) override;
    int GetFieldList(const std::string& name, CSmartStringArray& items,
                     const std::string& defaultValue, int required, int applyWidth, int width,
                     int direct, const TFieldMap* fields) override;
    CSmartFloatArray GetFieldListFloat(const std::string& name, int required, int direct,
                                       const TFieldMap* fields) override;
    CSmartIntArray GetFieldListInt(const std::string& name, int required, int direct,
                                   const TFieldMap* fields) override;
    void GetFieldListStrings(const std::string& name, CSmartStringArray& items, int required,
                             int direct, const TFieldMap* fields) override;
    void GetFieldCoordinates(TGeoCoordinate& coordinates, const CSmartStringArray& names,
                             int required, int raw, double defaultValue) override;
    int GetRequirements(const std::string& requirementName, int type, int required, int direct,
                        const TFieldMap* fields, std::unique_ptr<CSmartStringArray>& list) override;

    void SetFieldBool(const std::string& name, bool value, int set, int outputIndex,
                      int outputFlag) override;
    void SetFieldInt(const std::string& name, int value, int minimum, int maximum, int set,
                     int outputIndex, int outputFlag) override;
    void SetFieldFloat(const std::string& name, int raw, int outputIndex, int outputFlag,
                       float value) override;
    void SetFieldString(const std::string& name, const std::string& text, int maxChars,
                        int outputIndex, int outputFlag) override;
    void SetFieldDouble(const std::string& name, int outputIndex, int outputFlag,
                        double value) override;
    void SetFieldDate(const std::string& name, const trv::OleDate& date, int outputIndex,
                      int outputFlag) override;
    void SetFieldTime(const std::string& name, int minutes, int minimum, int maximum,
                      int outputIndex, int outputFlag) override;
    void SetFieldListTime(const std::string& name, const CSmartIntArray& minutes, int minimum,
                          int maximum, int outputIndex, int set, int outputFlag) override;
    void SetFieldListFloat(const std::string& name, int raw, int outputIndex, int outputFlag,
                           const CSmartFloatArray& values) override;
    void SetFieldListInt(const std::string& name, const CSmartIntArray& values, int outputIndex,
                         int outputFlag) override;
    void SetFieldListString(const std::string& name, const CSmartStringArray& values,
                            int outputIndex, int set, int outputFlag) override;
    void SetFieldCoordinates(const CSmartStringArray& names, const TGeoCoordinate& coordinates,
                             int outputIndex, int outputFlag) override;

    const CSmartStringArray& GetRequirementFields() const override;
    void SetRequirementName(const std::string& name) override;
    bool IsDatabaseOutput() const override;
    std::string GetBoolText(bool value) const override;

    bool IsEOF() override;
    bool MoveNext() override;
    void ClearRecord() override;
    bool WriteRecord() override;
    // Sub-table outputs are not opened: list values are written as one list field.
    std::unique_ptr<CFieldRecord> OpenSubTableOutput(const std::string& field) override;
    CFieldRecord& ResetLines(const std::string& field) override;
    bool IsLinesEnd() override;
    bool MoveNextLine() override;
    void EvaluateVariables() override;

    CFetch* GetFetch() override { return &m_fetch; }

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
// given definitions file.
class CFetchRecordSource : public CFieldRecordSource
{
  public:
    explicit CFetchRecordSource(std::string definitionFile = "", std::string file = "")
        : m_definitionFile(std::move(definitionFile)), m_file(std::move(file))
    {
    }
    std::unique_ptr<CFieldRecord> Open(const std::string& definition, int mode) override;

  private:
    std::string m_definitionFile;
    std::string m_file;
};
