#pragma once

#include "KLV/Geodesy.h"
#include "KLV/Utils.h"
#include "containers/SmartArray.h"
#include "platform/OleDate.h"

#include <memory>
#include <string>
#include <unordered_map>

// Name=value map handed to the typed readers; it also selects which variables a key set reads
// or writes.
using TFieldMap = std::unordered_map<std::string, std::string>;

// How a field is read.
struct TFieldRead
{
    bool required = false;             // an empty value is reported before the default is used
    bool direct = false;               // computed from the field's line and the output record
    const TFieldMap* fields = nullptr; // values by name that the field's line may use
    bool raw = false;                  // coordinates as stored, without the format's conversion
};

// How a value goes into the current output record.
struct TFieldWrite
{
    bool isSet = true;      // false writes the empty text (booleans, integers, lists)
    bool append = false;    // added after what the field's place already holds
    bool storeOnly = false; // kept under the name for other fields' lines, not written out
    bool raw = false;       // numbers with all their digits instead of two decimals
};

// What GetRequirements reads a requirement field as.
enum class TRequirementRead
{
    integer,
    boolean,
    list, // the texts go to the list
};

// How a data definition is opened as a record.
enum class TFieldRecordMode
{
    read = 1,
    write = 2,
};

// The strings' "= {}" lets designated initializers leave them out without a g++ 12 warning.
struct TFieldRecordOpen
{
    TFieldRecordMode mode = TFieldRecordMode::read;
    std::string file = {};   // the file to read or write; empty: the definition's own
    std::string filter = {}; // records to read
    std::string date = {};   // the fetch date, "DDMMYYYY"; empty: none
    std::string period = {}; // the planning period's text; empty: none
};

// Where the current record of a long read comes from, for its progress.
struct TRecordSourcePosition
{
    std::string name; // the file being read (its name), else the definition's
    int number = 0;   // the file's position in its folder, from 1; 0: the reader counts
    int total = 0;    // the files or definitions the source reads; 0: it reads no files
};

// The current record of an open data definition, as the model and the variable layer move
// entities through it: the typed readers and writers of the data exchange engine. The engine's
// definition object is adapted to it; tests use an in-memory record. Bounds of -1 are no
// bounds; time bounds and values are minutes.
class CFieldRecord
{
  public:
    virtual ~CFieldRecord() = default;

    // ---- Readers ----------------------------------------------------------------------------
    virtual int GetFieldBool(const std::string& name, int defaultValue, const TFieldRead& how) = 0;
    virtual int GetFieldInt(const std::string& name, int defaultValue, int minimum, int maximum,
                            const TFieldRead& how) = 0;
    virtual float GetFieldFloat(const std::string& name, float defaultValue,
                                const TFieldRead& how) = 0;
    virtual double GetFieldDouble(const std::string& name, double defaultValue,
                                  const TFieldRead& how) = 0;
    // Cut to `width` characters when it is positive.
    virtual std::string GetFieldString(const std::string& name, const std::string& defaultValue,
                                       int width, const TFieldRead& how) = 0;
    virtual int GetFieldTime(const std::string& name, int defaultMinutes, int minimumMinutes,
                             int maximumMinutes, const TFieldRead& how) = 0;
    virtual trv::OleDate GetFieldDate(const std::string& name, const trv::OleDate& defaultValue,
                                      const TFieldRead& how) = 0;
    // Minutes of every non-empty item of a list field, each kept within the bounds.
    virtual CSmartIntArray GetFieldListTime(const std::string& name, int minimumMinutes,
                                            int maximumMinutes, const TFieldRead& how) = 0;
    // Items appended to `items`, cut to the definition's item width when `applyWidth`, else to
    // `width`; returns the width used.
    virtual int GetFieldList(const std::string& name, CSmartStringArray& items,
                             const std::string& defaultValue, bool applyWidth, int width,
                             const TFieldRead& how) = 0;
    virtual CSmartFloatArray GetFieldListFloat(const std::string& name, const TFieldRead& how) = 0;
    // An empty item reads as kEmptyListItem.
    virtual CSmartIntArray GetFieldListInt(const std::string& name, const TFieldRead& how) = 0;
    virtual void GetFieldListStrings(const std::string& name, CSmartStringArray& items,
                                     const TFieldRead& how) = 0;
    // names[0] holds the longitude (x), names[1] the latitude (y).
    virtual void GetFieldCoordinates(TGeoCoordinate& coordinates, const CSmartStringArray& names,
                                     double defaultValue, const TFieldRead& how) = 0;
    // kAnyRequirementValue when the field is missing or empty; a list read puts the texts
    // into `list` and answers 0.
    virtual int GetRequirements(const std::string& requirementName, TRequirementRead type,
                                const TFieldRead& how,
                                std::unique_ptr<CSmartStringArray>& list) = 0;

    // ---- Writers ----------------------------------------------------------------------------
    virtual void SetFieldBool(const std::string& name, bool value, const TFieldWrite& how) = 0;
    virtual void SetFieldInt(const std::string& name, int value, int minimum, int maximum,
                             const TFieldWrite& how) = 0;
    virtual void SetFieldFloat(const std::string& name, float value, const TFieldWrite& how) = 0;
    // Cut to `maxChars` characters when it is positive.
    virtual void SetFieldString(const std::string& name, const std::string& text, int maxChars,
                                const TFieldWrite& how) = 0;
    virtual void SetFieldDouble(const std::string& name, double value, const TFieldWrite& how) = 0;
    virtual void SetFieldDate(const std::string& name, const trv::OleDate& date,
                              const TFieldWrite& how) = 0;
    virtual void SetFieldTime(const std::string& name, int minutes, int minimumMinutes,
                              int maximumMinutes, const TFieldWrite& how) = 0;
    virtual void SetFieldListTime(const std::string& name, const CSmartIntArray& minutes,
                                  int minimumMinutes, int maximumMinutes,
                                  const TFieldWrite& how) = 0;
    virtual void SetFieldListFloat(const std::string& name, const CSmartFloatArray& values,
                                   const TFieldWrite& how) = 0;
    virtual void SetFieldListInt(const std::string& name, const CSmartIntArray& values,
                                 const TFieldWrite& how) = 0;
    virtual void SetFieldListString(const std::string& name, const CSmartStringArray& values,
                                    const TFieldWrite& how) = 0;
    virtual void SetFieldCoordinates(const CSmartStringArray& names,
                                     const TGeoCoordinate& coordinates, const TFieldWrite& how) = 0;

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
    // Reading protocol: while !IsEOF(), read the fields when MoveNext() answers true.
    virtual bool IsEOF() = 0;
    virtual bool MoveNext() = 0;
    virtual void ClearRecord() = 0;
    // Appends the current output record; false when it could not be written.
    virtual bool WriteRecord() = 0;
    // Ends the definition's use, completing what was written; false when the output could not
    // be completed. The record is closed when destroyed in any case.
    virtual bool Close() { return true; }
    // The records the source holds; 0 when it cannot tell.
    virtual long long GetRecordCount() { return 0; }
    virtual TRecordSourcePosition GetSourcePosition() { return {}; }
    // Moves the messages the reads produced (required fields left empty) into `messages`.
    virtual void TakeReadMessages(CSmartStringArray& /*messages*/) {}
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
};

// Opens records of named data definitions: the engine for the program, an in-memory store in
// tests. Null when the definition cannot be opened; the record closes it when destroyed.
class CFieldRecordSource
{
  public:
    virtual ~CFieldRecordSource() = default;
    virtual std::unique_ptr<CFieldRecord> Open(const std::string& definition,
                                               const TFieldRecordOpen& how) = 0;
};
