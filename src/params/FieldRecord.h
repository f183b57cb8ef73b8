#pragma once

#include "KLV/Geodesy.h"
#include "containers/SmartArray.h"
#include "platform/OleDate.h"

#include <memory>
#include <string>
#include <unordered_map>

class CFetch;

// Name=value map handed to the typed readers; it also selects which variables a key set reads
// or writes.
using TFieldMap = std::unordered_map<std::string, std::string>;

// Value of a requirement field that is missing or empty: compatible with everything.
inline constexpr int kAnyRequirementValue = 3141592;

// The current record of an open data definition, as the variable layer moves entities through
// it: the typed readers and writers of the data exchange engine with the same names and
// argument order. The engine's own definition object is adapted to it; tests use an in-memory
// record. "direct" and "fields" are passed on unchanged to the readers, "outputIndex" and
// "outputFlag" to the writers.
class CFieldRecord
{
  public:
    virtual ~CFieldRecord() = default;

    // ---- Readers ----------------------------------------------------------------------------
    virtual int GetFieldBool(const std::string& name, int defaultValue, int required, int direct,
                             const TFieldMap* fields) = 0;
    virtual int GetFieldInt(const std::string& name, int defaultValue, int required, int minimum,
                            int maximum, int direct, const TFieldMap* fields) = 0;
    virtual float GetFieldFloat(const std::string& name, int required, int direct,
                                const TFieldMap* fields, float defaultValue) = 0;
    virtual double GetFieldDouble(const std::string& name, int required, int direct,
                                  const TFieldMap* fields, double defaultValue) = 0;
    virtual std::string GetFieldString(const std::string& name, const std::string& defaultValue,
                                       int required, int width, int direct,
                                       const TFieldMap* fields) = 0;
    virtual int GetFieldTime(const std::string& name, int defaultValue, int required, int minimum,
                             int maximum, int direct, const TFieldMap* fields) = 0;
    virtual trv::OleDate GetFieldDate(const std::string& name, const trv::OleDate& defaultValue,
                                      int required, int direct, const TFieldMap* fields) = 0;
    // Minutes of every non-empty item of a list field, each kept within the bounds.
    virtual CSmartIntArray GetFieldListTime(const std::string& name, int minimum, int maximum,
                                            int required, int direct, const TFieldMap* fields) = 0;
    // Items appended to `items`; returns the item width used.
    virtual int GetFieldList(const std::string& name, CSmartStringArray& items,
                             const std::string& defaultValue, int required, int applyWidth,
                             int width, int direct, const TFieldMap* fields) = 0;
    virtual CSmartFloatArray GetFieldListFloat(const std::string& name, int required, int direct,
                                               const TFieldMap* fields) = 0;
    virtual CSmartIntArray GetFieldListInt(const std::string& name, int required, int direct,
                                           const TFieldMap* fields) = 0;
    virtual void GetFieldListStrings(const std::string& name, CSmartStringArray& items,
                                     int required, int direct, const TFieldMap* fields) = 0;
    virtual void GetFieldCoordinates(TGeoCoordinate& coordinates, const CSmartStringArray& names,
                                     int required, int raw, double defaultValue) = 0;
    // type 0 integer, 1 boolean, 2 list (the texts go to `list`); kAnyRequirementValue when
    // the field is missing or empty.
    virtual int GetRequirements(const std::string& requirementName, int type, int required,
                                int direct, const TFieldMap* fields,
                                std::unique_ptr<CSmartStringArray>& list) = 0;

    // ---- Writers ----------------------------------------------------------------------------
    virtual void SetFieldBool(const std::string& name, bool value, int set, int outputIndex,
                              int outputFlag) = 0;
    virtual void SetFieldInt(const std::string& name, int value, int minimum, int maximum, int set,
                             int outputIndex, int outputFlag) = 0;
    virtual void SetFieldFloat(const std::string& name, int raw, int outputIndex, int outputFlag,
                               float value) = 0;
    virtual void SetFieldString(const std::string& name, const std::string& text, int maxChars,
                                int outputIndex, int outputFlag) = 0;
    virtual void SetFieldDouble(const std::string& name, int outputIndex, int outputFlag,
                                double value) = 0;
    virtual void SetFieldDate(const std::string& name, const trv::OleDate& date, int outputIndex,
                              int outputFlag) = 0;
    virtual void SetFieldTime(const std::string& name, int minutes, int minimum, int maximum,
                              int outputIndex, int outputFlag) = 0;
    virtual void SetFieldListTime(const std::string& name, const CSmartIntArray& minutes,
                                  int minimum, int maximum, int outputIndex, int set,
                                  int outputFlag) = 0;
    virtual void SetFieldListFloat(const std::string& name, int raw, int outputIndex,
                                   int outputFlag, const CSmartFloatArray& values) = 0;
    virtual void SetFieldListInt(const std::string& name, const CSmartIntArray& values,
                                 int outputIndex, int outputFlag) = 0;
    virtual void SetFieldListString(const std::string& name, const CSmartStringArray& values,
                                    int outputIndex, int set, int outputFlag) = 0;
    virtual void SetFieldCoordinates(const CSmartStringArray& names,
                                     const TGeoCoordinate& coordinates, int outputIndex,
                                     int outputFlag) = 0;

    // ---- The definition behind the record -----------------------------------------------------
    // The fields named by the definition's REQUIREMENTS setting (empty when none).
    virtual const CSmartStringArray& GetRequirementFields() const = 0;
    // The requirement being read or written, for field expressions that use it.
    virtual void SetRequirementName(const std::string& name) = 0;
    // Whether the output is a database (DATABASE, SQL and its dialects).
    virtual bool IsDatabaseOutput() const = 0;
    // The definition's texts for true and false.
    virtual std::string GetBoolText(bool value) const = 0;

    // ---- Walking and writing records ----------------------------------------------------------
    virtual bool IsEOF() = 0;
    virtual bool MoveNext() = 0;
    virtual void ClearRecord() = 0;
    virtual bool WriteRecord() = 0;
    // ---- The lines of the current record -------------------------------------------------------
    // Starts a walk over the lines of the current record (an order's products): the rows of the
    // linked definition that `field`'s line names, else the record's own line rows (just one
    // line for a database record or a record without line rows). Gives the record the lines'
    // fields are read from: a linked one, or this one.
    virtual CFieldRecord& ResetLines(const std::string& field) = 0;
    virtual bool IsLinesEnd() = 0;
    // Makes the next line current; false when the source cannot move.
    virtual bool MoveNextLine() = 0;
    // Evaluates the definition's "_VARIABLES" block against the values set so far (on each
    // member of a list definition).
    virtual void EvaluateVariables() = 0;

    // An output opened on the table that a field is declared as (a sub-table of the record);
    // null when the field is a plain field of this record.
    virtual std::unique_ptr<CFieldRecord> OpenSubTableOutput(const std::string& field) = 0;

    // The engine's definition object, for the catalogue's own kinds; null for other records.
    virtual CFetch* GetFetch() { return nullptr; }
};

// Opens records of named data definitions: the engine for the program, an in-memory store in
// tests. mode 1 reads, 2 writes; null when the definition cannot be opened.
class CFieldRecordSource
{
  public:
    virtual ~CFieldRecordSource() = default;
    virtual std::unique_ptr<CFieldRecord> Open(const std::string& definition, int mode) = 0;
};
