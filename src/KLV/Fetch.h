#pragma once

#include "KLV/AdoRecordset.h"
#include "KLV/FetchExpression.h"
#include "KLV/FetchFilter.h"
#include "KLV/FetchReadStorage.h"
#include "KLV/FetchTextSlots.h"
#include "KLV/Geodesy.h"
#include "KLV/SqlStatement.h"
#include "KLV/Utils.h"
#include "containers/AutoArray.h"
#include "containers/SmartArray.h"
#include "platform/OleDate.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// The data exchange engine: one CFetch holds one open data definition, a named set of INI
// sections that says where the records are, how each field is obtained and how values are
// formatted. Callers name the definition, say whether they read or write, and move record by
// record.
//
// The class is split over several files by concern: Fetch.cpp (definition files, Init, the
// lifecycle), FetchFormats.cpp (value formats and separators), FetchLocations.cpp (file names,
// folders and patterns of sources), FetchDownload.cpp (web addresses as sources),
// FetchOpen.cpp (opening a source by kind), FetchConversions.cpp (value texts).

class CAdoDB;
class CDoublePoint;
namespace trv {
struct XlsxCell;
}

// Kind numbers of the TYPE words. 7 and 10 are not used.
enum FetchKind : int
{
    FETCH_KIND_UNKNOWN = -1,
    FETCH_KIND_ASCII = 1,
    FETCH_KIND_DATABASE = 2,
    FETCH_KIND_FIXED = 3,
    FETCH_KIND_LIST = 4,
    FETCH_KIND_INI = 5,
    FETCH_KIND_SQL = 6, // SQL, EXCEL, ORACLE, MYSQL, NAV, PROGRESS, INFORMIX: opened through ADO
    FETCH_KIND_FOLDER = 8,
    FETCH_KIND_CALCULATED = 9,
    FETCH_KIND_XML = 11,
    FETCH_KIND_JSON = 12,
};

// Kinds whose source is a file read as text: lines, XML or JSON.
constexpr bool IsTextSourceKind(int kind)
{
    return kind == FETCH_KIND_ASCII || kind == FETCH_KIND_FOLDER || kind == FETCH_KIND_XML ||
           kind == FETCH_KIND_JSON;
}

// Kinds whose target is a text file the engine writes itself (lines or a JSON document).
constexpr bool IsTextTargetKind(int kind)
{
    return kind == FETCH_KIND_ASCII || kind == FETCH_KIND_FOLDER || kind == FETCH_KIND_JSON;
}

// Kinds opened through a database connection.
constexpr bool IsDatabaseKind(int kind)
{
    return kind == FETCH_KIND_DATABASE || kind == FETCH_KIND_SQL;
}

enum FetchMode : int
{
    FETCH_MODE_CONSULT = 0, // the definition is only consulted
    FETCH_MODE_READ = 1,
    FETCH_MODE_WRITE = 2,
};

// Web address sources of a definition.
enum class FetchDownload
{
    None,
    Get,  // URL_GET
    Post, // URL_POST with a token
};

// The object that BUILD_WRITE_IF lends the choice of a write condition to: it receives the
// builder's name, the rest of the setting and the text qualifier, asks the person and
// answers the condition built.
class CFetchConditionBuilder
{
  public:
    virtual ~CFetchConditionBuilder() = default;
    virtual void SetInputs(const std::string& name, const std::string& text,
                           const std::string& qualifier) = 0;
    // True when the person confirmed.
    virtual bool DoModal() = 0;
    virtual std::string GetCondition() const = 0;
};

// Closes a C file handle held by a definition.
struct FetchFileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

using FetchTextMap = std::unordered_map<std::string, std::string>;
// Hashes names by their text. A hasher of its own keeps a table hashing however few names it
// holds (the standard string hash makes small tables compare every name).
struct FetchNameHash
{
    std::size_t operator()(const std::string& name) const noexcept
    {
        return std::hash<std::string_view>{}(name);
    }
};

class CFetch;
// A value read through a linked definition, with the definition whose formats read it (null
// when the value is this definition's own).
struct FetchLinkedValue
{
    std::string value;
    const CFetch* formats = nullptr;
};

// Whether an ADO column type holds real numbers (single, double, decimal, numeric).
bool IsRealColumnType(long adoType);
using FetchTextArray = CSmartStringArray;
// A raw section text: its key=value entries in file order, sections one after another.
using FetchRawSection = CSmartStringArray;

// ---- Writing (FetchOutput.cpp, FetchWrite.cpp, FetchClose.cpp) ----------------------------

// Column descriptor a typed writer hands to SetField: the ADO type a database column gets when
// it is created, the value kind (0 integer, 1 boolean, 2 list, 3 text, 4 time, 5 date-time,
// 6 real) and a size.
// What a typed writer wrote (TFetchColumnType::nKind), for targets that format by it.
enum FetchValueKind : int
{
    FETCH_VALUE_INTEGER = 0,
    FETCH_VALUE_BOOL = 1,
    FETCH_VALUE_LIST = 2,
    FETCH_VALUE_TEXT = 3,
    FETCH_VALUE_TIME = 4,
    FETCH_VALUE_DATE = 5,
    FETCH_VALUE_NUMBER = 6,
};

struct TFetchColumnType
{
    int nAdoType = 0;
    int nKind = FETCH_VALUE_INTEGER;
    int nSize = 0;
};

namespace Json {
class Value;
}
// Frees the JSON document of a JSON target (defined where the JSON library is included).
struct FetchJsonDeleter
{
    void operator()(Json::Value* value) const;
};

// The worksheet an EXCEL definition reads or writes, held in memory (FetchExcel.cpp).
struct CFetchWorkbook;
struct FetchWorkbookDeleter
{
    void operator()(CFetchWorkbook* workbook) const;
};

class CFetch
{
  public:
    explicit CFetch(CFetch* parent = nullptr, int disabled = 0);
    ~CFetch();
    CFetch(const CFetch&) = delete;
    CFetch& operator=(const CFetch&) = delete;

    // Destroys a CFetch created with new.
    static void DeleteFetch(CFetch* fetch);

    // ---- Definition files --------------------------------------------------------------

    // Called once at start-up with the path of "FileNames.ini": its [FileNames] "DataIniFile"
    // (relative to the program folder) is the process-wide definitions file, else "Data.ini"
    // in the program folder.
    static void SetDataIniFile(const std::string& fileNamesIni);
    // The process-wide definitions file.
    static std::string GetDataIniFile();
    // The company override file: <program>/<alias>/Configuration/CustomData.ini, or
    // <program>/<alias>/CustomData.ini when the first does not exist. Decided once per company.
    static std::string GetCustomDataIniPath();
    // Forgets the process-wide definitions file and the company override path (tests).
    static void ResetDefinitionFiles();

    // Chooses m_strDefinitionFile; the INCLUDE and OVERWRITE files come out.
    int SelectDefinitionFile(const std::string& explicitFile, std::string& includeFile,
                             std::string& overwriteFile);
    // The chain a section is read through, first file winning: OVERWRITE, company, INCLUDE,
    // definitions file.
    FetchTextArray GetDefinitionFiles() const;

    // ---- Lifecycle ---------------------------------------------------------------------

    // Reads and opens a definition; nonzero on success. Mode 1 reads (loop while !IsEOF,
    // read the fields when MoveNext answers true), 2 writes (set fields, WriteRecord,
    // ClearRecord per record), 0 only consults the definition. `date` ("DDMMYYYY" with an
    // optional time) stands for FETCH_DATE; `file` is the source or target when the
    // definition names none; `definitionFile` replaces the normal precedence; `noOpen` reads
    // the definition without opening its source; `ignoreFile` opens text, XML and JSON
    // sources without `file`. Close (or the destructor) ends the use.
    int Init(const std::string& name, const std::string& date = "",
             const std::string& schedulingRange = "", int mode = FETCH_MODE_READ,
             const std::string& file = "", const std::string& extraWhere = "",
             const std::string& extraWriteIf = "", int followLinks = 1,
             CAdoDB* connection = nullptr, const std::string& connectionString = "",
             const std::string& definitionFile = "",
             CFetchConditionBuilder* conditionBuilder = nullptr, int noOpen = 0,
             int ignoreFile = 0);

    // Sets the name and answers whether the definition exists under the normal precedence.
    int IsDefined(const std::string& name);

    // Ends the use of the definition; safe to call twice. The argument is not used. False when
    // the target could not be completed (the old file then stays as it was).
    int Close();
    // Empties the settings, fields, widths, constants and link index of the definition.
    void ResetDefinition();

    // ---- Settings ----------------------------------------------------------------------

    // Comma-separated items appended from the front: "a,,b" gives "a", "", "b"; a trailing
    // comma adds nothing; quotes are not respected.
    static void AppendCommaItems(const std::string& text, FetchTextArray& items);
    // A setting that switches something on: "YES", "Y", "S", "SI", "1" or "TRUE", any case.
    static bool IsYesValue(const std::string& value);

    // A NAME_FORMAT setting, "" when absent.
    const std::string& GetSetting(const std::string& key) const;
    int ReadType();
    // The kind number of a TYPE word (exact comparison); FETCH_KIND_UNKNOWN for others.
    static int KindOfType(const std::string& type);
    void ReadFieldSection();
    void BuildWriteIf(std::string& writeIf, CFetchConditionBuilder* builder);

    void ReadMaximumCharacters();
    // The field's MAXIMUM_CHARACTERS width; with useDefault, "MAXCHARS_DEFAULT" for fields
    // without one; -1 when there is none.
    int GetMaxChars(const std::string& field, int useDefault);

    // Raw sections handed to the variable layer and the planning document.
    void ReadVariablesSection(FetchRawSection& buffer, const std::string& suffix);
    void LoadRawSection(const std::string& section);

    // ---- Value formats and separators ---------------------------------------------------

    int GetSpecialFormats(const std::string& includeFile);
    void ReadNumberFormat(const std::string& file);
    void ReadFileNameEscape(const std::string& file);
    int ReadFieldsSeparator();
    void ReadStringSeparator();
    void ReadListSeparator();
    void ReadListsInSameLine();
    void ReadLineTypes();
    // DELETE_ALL_DATA_AT_START, DELETE_ALWAYS, DELETE_SENTENCE; the DELETE fields come out.
    void ReadDelete(std::string& deleteFields);

    // ---- Source locations ---------------------------------------------------------------

    // Resolves FILENAME, URL_GET, URL_POST or the Init file into the path to open.
    int ReadFileName(std::string& path);
    void BuildExtension();
    void BuildFolder();
    // Replaces "/", "*", "?" and "\" in the name part of the path by m_strFileNameEscape.
    void SanitizeFileName(std::string& path) const;
    // "FILE(CUSTOM_DATAINI)" becomes the company override file.
    void ResolveCustomDataIni(std::string& path) const;
    // -3 when the template does not exist, else CopyFileContents.
    int CopyTemplateFile(const std::string& templatePath, const std::string& targetPath);
    // A built name: BUILD_DATE, BUILD_TIME and FETCH_DATE replaced.
    std::string BuildName(const std::string& pattern, bool escapeValues) const;
    // The working file a web address is downloaded into.
    std::string GetDownloadFileName() const;

    // ---- Value texts ---------------------------------------------------------------------

    // "DDMMYYYY[ time]" -> the DATE format, time part kept.
    std::string ToDateFormat(const std::string& date) const;

    // ---- State ---------------------------------------------------------------------------

    std::string m_strFileNameEscape;
    int m_bFollowLinks = 0;
    int m_bInitialised = 0;
    std::string m_strIncludeSection;
    FetchTextMap m_mapFieldCache;
    // Values of names the definition has no line for, kept across records and valid while
    // their stamp is m_nFieldCacheStamp: a key set asks for many such names on every record.
    std::unordered_map<std::string, std::pair<unsigned, std::string>, FetchNameHash>
        m_mapLinelessCache;
    FetchTextMap m_mapConstants;
    FetchTextMap m_mapFormat;
    FetchTextMap m_mapFields;
    std::unordered_map<std::string, int> m_mapMaxChars;
    int m_bDisabled = 0;
    int m_nMode = FETCH_MODE_CONSULT;
    int m_bMaxCharsLoaded = 0;
    std::string m_strDefinitionFile;
    std::string m_strName;
    FetchTextArray m_arrSources;
    int m_nKind = FETCH_KIND_UNKNOWN;
    std::string m_strType;
    std::string m_strDateArgument;
    std::string m_strWhere;
    std::string m_strOwnWhere;
    std::string m_strWriteIf;
    std::string m_strModeSetting;
    FetchTextArray m_arrWriteIfConditions;
    FetchTextArray m_arrWriteIfConnectors;
    std::string m_strFile;
    std::string m_strIncludeFile;
    std::string m_strOverwriteFile;
    std::string m_strTmpFileName;
    std::string m_strConnectionString;
    std::string m_strErrorText;
    std::string m_strDescription;
    std::string m_strListSeparator = "#,#";
    std::string m_strBoolTrue;
    std::string m_strBoolFalse;
    int m_nDecimals = 2;
    std::string m_strTimeFormat;
    std::string m_strDateFormat;
    std::string m_strCoordinatesFormat;
    std::string m_strDecimalSeparator = ".";
    FetchTextArray m_arrRequirements;
    std::string m_strSeparator;
    std::string m_strAskQuestion;
    std::string m_strAskAnswer;
    FetchTextArray m_arrListChildren;
    std::string m_strLastError;
    int m_nRecord = 0;
    FetchRawSection m_bufVariables;
    FetchRawSection m_bufOrderLineVariables;
    FetchRawSection m_bufRawSection;
    std::string m_strPreSql;
    std::string m_strPostSql;
    std::string m_strPostCommand;
    std::string m_strPostConcatFiles;
    std::string m_strSchedulingRange;
    std::vector<std::unique_ptr<CFetch>> m_arrChildren;
    std::unordered_map<std::string, int> m_mapChildIndex;
    CFetch* m_pParent = nullptr;

    // Field cache bookkeeping.
    int m_nCacheHits = 0;
    int m_nCacheMisses = 0;
    int m_bNoFieldCache = 0;

    // Source locations.
    std::string m_strDestinationFolder;
    std::string m_strFolder;
    std::string m_strExtension;
    FetchDownload m_nDownload = FetchDownload::None;

    // Value formats and separators.
    int m_bOneFilePerDriver = 0;
    std::string m_strStringDelimiter;
    std::string m_strAsciiFormat = "WINDOWS";
    FetchTextArray m_arrListsInSameLine;
    std::string m_strLineTypeField;
    int m_nLineTypeCount = 0;
    FetchTextArray m_arrLineTypes;
    int m_bLinesPerProduct = 0;
    int m_bDeleteAllAtStart = 0;
    int m_bDeleteAlways = 0;
    std::string m_strDeleteSentence;

    // ==== Opening and reading sources (text, XML, JSON, INI, FOLDER, LIST) ==============
    // Defined in FetchOpen.cpp, FetchRead*.cpp, FetchText.cpp, FetchXml.cpp, FetchJson.cpp,
    // FetchIni.cpp and FetchProcessed.cpp. The record storage below is what the field
    // evaluation reads the current record from; keep it stable.

    // Opens by kind; nonzero on success.
    int OpenTextFile(int mode, const std::string& explicitFile);
    int OpenStructuredFile(int mode, const std::string& explicitFile);
    int OpenFolder();
    int OpenIni(int mode);
    int OpenList(int mode, CFetchConditionBuilder* conditionBuilder);
    int ReadListSection();
    int LoadSourceFile(int mode, const std::string& path);
    void ReadHeader(int mode);
    // COPY_FILES_TO_TMP: the path becomes the copy's path in the process temporary folder.
    void CopyToTemp(std::string& path);
    void ReadCopyToTemp();
    // Helpers of the opens: the first loadable file of the name and the list; the closing
    // steps of a text open; the WHERE parsed for the readers; the KEY fields of text sources.
    int LoadFirstLoadable(int mode, const std::string& name);
    int FinishTextOpen(int mode);
    int PrepareWhere();
    // The settings the definition's filters and field conditions are parsed with; without
    // line positions, numeric left operands are field names.
    CFetchFilterSettings GetFilterSettings(bool linePositions) const;
    void ReadKeyFields();

    // Readers: the whole source into m_arrLines (text: the result is lines - 1; XML and JSON:
    // the number of lines, -1 when the document cannot be read).
    int ReadTextFile();
    int ReadXmlFile(const std::string& fileName);
    int ReadJsonFile(const std::string& fileName);
    // Key of a line: the KEY fields' values, each followed by the separator.
    std::string GetLineKey(std::string_view line);
    static std::string GetOpenMode(int mode);

    // Moves the current input file away after reading (DESTINATION_FOLDER ...).
    void MoveProcessedFile();

    // Reading protocol: while !IsEOF(), read the fields when MoveNext() answers nonzero.
    // IsEOF may open the next file of a FOLDER or the next definition of a LIST in place.
    int IsEOF();
    int MoveNext();
    // The text step of MoveNext without emptying the field cache or splitting the line.
    int MoveNextLine();
    int GetRecordIndex() const { return m_nRecord; }
    void SplitCurrentLine();
    int ReadNextGroup();
    std::string GetGroupKey();
    // Appends every descendant's read-field list (deepest first) to this one's.
    void CollectReadFields();
    void GetReadFields(FetchTextArray& fields);
    // 1 when the WHERE rejects the current record, 0 when it passes.
    int TestWhere();
    // Parses the WHERE for records whose fields are values, not positions in a line (fixed
    // definitions, workbook rows); false, reported and traced when it is not valid.
    bool ParseWhereOverFields();

    // Typed getters of the current record's fields. `direct` or `variables` compute the field
    // from its line and the output record instead of the source; `required` reports an empty
    // value (CheckRequiredField) before the default is used.
    std::string GetFieldString(const std::string& name, const std::string& defaultValue = "",
                               int required = 0, int width = -1, int direct = 0,
                               const FetchTextMap* variables = nullptr);
    // Clamped to [minimum, maximum]; a bound of -1 is no bound. The default is clamped too.
    int GetFieldInt(const std::string& name, int defaultValue = 0, int required = 0,
                    int minimum = -1, int maximum = -1, int direct = 0,
                    const FetchTextMap* variables = nullptr);
    float GetFieldFloat(const std::string& name, int required = 0, int direct = 0,
                        const FetchTextMap* variables = nullptr, float defaultValue = 0.0f);
    double GetFieldDouble(const std::string& name, int required = 0, int direct = 0,
                          const FetchTextMap* variables = nullptr, double defaultValue = 0.0);
    int GetFieldBool(const std::string& name, int defaultValue = 0, int required = 0,
                     int direct = 0, const FetchTextMap* variables = nullptr);
    // Minutes; the unset time (0x80000000) is never clamped and is no bound.
    int GetFieldTime(const std::string& name, int defaultMinutes = kUnsetTime, int required = 0,
                     int minimum = kUnsetTime, int maximum = kUnsetTime, int direct = 0,
                     const FetchTextMap* variables = nullptr);
    // A date only (no time); a text that is no date gives the valid zero date.
    trv::OleDate GetFieldDate(const std::string& name, const trv::OleDate& defaultDate,
                              int required = 0, int direct = 0,
                              const FetchTextMap* variables = nullptr);
    // Appends the items of a list value to `items`; returns the width used to cut them.
    // `formats`, when given, receives the definition whose formats read the value.
    int GetFieldList(const std::string& name, FetchTextArray& items,
                     const std::string& defaultValue = "", int required = 0, int applyWidth = 0,
                     int width = -1, int direct = 0, const FetchTextMap* variables = nullptr,
                     const CFetch** formats = nullptr);
    CAutoArray<float> GetFieldListFloat(const std::string& name, int required = 0, int direct = 0,
                                        const FetchTextMap* variables = nullptr);
    // An empty item reads as kEmptyListItem.
    CAutoArray<int> GetFieldListInt(const std::string& name, int required = 0, int direct = 0,
                                    const FetchTextMap* variables = nullptr);
    FetchTextArray& GetFieldListStrings(const std::string& name, FetchTextArray& items,
                                        int required = 0, int direct = 0,
                                        const FetchTextMap* variables = nullptr);
    // Type 0 integer, 1 boolean (0 or 1), 2 list (the items go into `list`, the result is 0).
    // kAnyRequirementValue when no value was found: the requirement accepts any value.
    int GetRequirements(const std::string& requirement, int type, int required = 0, int direct = 0,
                        const FetchTextMap* variables = nullptr, FetchTextArray* list = nullptr);
    std::string GetRequirementText(const std::string& requirement,
                                   const FetchTextMap* variables = nullptr);
    // The linked definition's two tokens after the source part of the field's line.
    int GetLinkedFieldTokens(const std::string& name, std::string& linking, std::string& linked,
                             std::string& first, std::string& second);

    // Helpers of the readers.
    void MakeLineCurrent(std::string_view line, bool split);
    bool IsGroupedChild() const;
    int IsTextEnd();
    int AdvanceFolder();
    int AdvanceListChild(int followLinks);
    int MoveNextText();
    int MoveNextFixed();
    int MoveNextIni();
    void BuildLineIndex();
    // The item width of a fixed-width list field (third number of its place), -1 for none.
    int GetListItemWidth(const std::string& name);

    // Record storage.
    CFetchTextList m_arrLines;      // records of a text, XML or JSON source, in file order
    std::string m_strCurrentLine;   // the current record's line; "" when none is current
    CFetchTextList m_arrLineFields; // fields of the current line (separator, qualifier removed)
    std::unordered_map<std::string, int> m_mapColumns;   // XML/JSON path -> 0-based column
    std::unordered_map<std::string, int> m_mapLineIndex; // key + occurrence ("%s%d") -> line
    std::string m_strCurrentIniEntry;                    // "key=value" of the current INI entry
    int m_nRecordCount = 0;
    int m_bHasCurrentRecord = 0; // a record of the current file was accepted
    int m_nHeaderSize = 0;
    FetchTextArray m_arrHeaderFields; // XML/JSON targets: output element names of BUILD_HEADER

    // KEY fields of a text, XML or JSON source: they group lines and index them by key.
    FetchTextArray m_arrGroupKeyFields;
    // Key groups of a text source with KEY fields.
    CFetchTextList m_arrGroupLines;
    int m_nGroupIndex = 0;

    // Files of a FOLDER definition or of a "|" list.
    FetchTextArray m_arrFiles;
    int m_nNextFile = 0;
    std::string m_strCurrentFile;
    std::string m_strFolderWhere;
    int m_nFolderFileKind = FETCH_KIND_ASCII; // how each file of the list is read
    int m_bCopyToTemp = 0;
    // The text target's stream buffer: declared before the stream, so it outlives it.
    std::unique_ptr<char[]> m_pOutputBuffer;
    std::unique_ptr<std::FILE, FetchFileCloser> m_pOutputFile; // open text target or source
    std::string m_strOutputPath;

    // INI sources: the entries of the section and the cursor (-1 before the first MoveNext).
    CFetchTextList m_arrIniEntries;
    int m_nIniLength = 0;
    int m_nIniEntry = -1;

    // LIST definitions read child after child.
    FetchTextArray m_arrListChildrenCopy;
    int m_nCurrentChild = 0;
    int m_bIsListReader = 0;
    std::string m_strListFile;
    std::string m_strListWhere;
    std::string m_strListWriteIf;

    FetchTextArray m_arrReadFields;
    std::string m_strRequirementName;
    // WHERE of the record readers, parsed at the opening.
    CFetchFilter m_whereFilter;
    // ==== End of opening and reading =======================================================

    // ==== Field language: expressions, field sources, evaluation, conversions =============
    // Defined in FetchExpression.cpp (classification), FetchFields.cpp (evaluation),
    // FetchFunctions.cpp (the built-in functions), FetchSources.cpp (places and links) and
    // FetchConversions.cpp (value texts, required fields).

    // Classifies every field line into its compiled form. GetField does it by itself after an
    // Init (the settings read again) and when the name, kind, mode, separator or number of
    // lines differ from the ones last classified.
    void ClassifyFields();
    // The kind of a field's line (or of `name` itself as an expression); `argument` receives
    // the text after the keyword, `ok` 0 when the line is malformed.
    int GetLineFormat(const std::string& name, std::string& argument, int& ok, int isExpression);
    static int MatchLineKeyword(std::string& expression, const std::string& keyword, int& ok,
                                int parenthesis, int commas);
    static int IsLinkExpression(const std::string& expression, int& ok);
    int IsPositionExpression(const std::string& expression) const;

    // The text of a field of the current record (cached for the record). `linked` comes out 1
    // when the value came through a linked definition. With `direct` or `variables` the field
    // is computed from its line and the output record instead of the source.
    std::string GetField(const std::string& name, int& linked, int list = 0, int direct = 0,
                         const FetchTextMap* variables = nullptr);
    std::string EvaluateLine(const std::string& name, std::string& argument, int& needsSource,
                             int& computed, int isExpression, const FetchTextMap* variables);
    // The value at the current position state in the current record.
    std::string ReadRawValue();
    // The value at a field's place in the current record (named columns resolved on first use
    // after each opening).
    void ReadRawValue(FetchFieldPlace& place, std::string& value);
    // The field of a separated text line at the place, as it stands in the line.
    std::string_view SeparatedField(const FetchFieldPlace& place);
    // The compiled line of a field, null for none (the record cache made current first).
    FetchFieldLine* FindFieldLine(const std::string& name);
    // The compiled line of a field, null for none, the record cache left as it is.
    FetchFieldLine* LookupFieldLine(const std::string& name);
    // GetField on the field's line: the text (valid until the next read) and the definition
    // whose formats read it.
    const std::string& ReadField(FetchFieldLine* line, const std::string& name, int& linked,
                                 const CFetch*& formats, int list, int direct,
                                 const FetchTextMap* variables);
    // ReadField past the cache and the plain places: computed lines, links, defaults.
    const std::string& EvaluateField(FetchFieldLine* line, const std::string& name, int& linked,
                                     const CFetch*& formats, int list, int direct,
                                     const FetchTextMap* variables);
    // Finishes a value read for the record (line ends to blanks, trimmed) and keeps it in its
    // line (with the definition whose formats read it, this one when null) or the cache.
    const std::string& KeepFieldValue(FetchFieldLine* line, const std::string& name,
                                      std::string& result, const CFetch* formats = nullptr);
    // The typed getters' read: the text, or null when empty (reported when required).
    const std::string* ReadTypedField(const std::string& name, int required, int direct,
                                      const FetchTextMap* variables, const CFetch*& formats);
    // XML and JSON reads find paths as columns of the document read.
    bool IsStructuredRead() const;
    void ResolveDocumentPlace(FetchFieldLine& line);
    // GetMaxChars(name, 1) of the line, looked up once per loading of the widths.
    int LineMaxChars(FetchFieldLine& line);
    // The value set for the field in the current output record, "" when none.
    std::string GetOutputValue(const std::string& name);
    int GetIntOperand(const std::string& text, const FetchTextMap* variables);
    float GetFloatOperand(const std::string& text, const FetchTextMap* variables);
    int GetTimeOperand(const std::string& text, const FetchTextMap* variables);
    std::string LookSpecialLinesIfThen(const std::string& argument, const FetchTextMap* variables);
    // Forgets the values cached for the current record.
    void ClearFieldCache();
    // Classifies the field lines again when the definition changed since the last time.
    void EnsureFieldsClassified();
    // The same for the writers, cheaper within one output record.
    void EnsureWriteLinesClassified();
    // EvaluateLine on a compiled line (null: a field without a line).
    std::string EvaluateCompiledLine(FetchFieldLine* line, const std::string& name,
                                     int& needsSource, int& computed,
                                     const FetchTextMap* variables);
    // A function line's value.
    std::string EvaluateFunction(FetchFieldLine& line, const FetchTextMap* variables);
    // A date operand as "DDMMYYYY[ time]": FETCH_DATE or the field's date.
    std::string ReadDateOperand(const FetchOperand& operand, const FetchTextMap* variables);

    // Source part of a line: a place (position state set, `source` keeps "DEFAULT=..." or
    // nothing) or a link (`source` keeps definition, field and tail). Nonzero on success.
    int ProcessINILine(std::string& source, std::string& linking, std::string& linked);
    int ParseFieldSource(std::string& source, int& start, int& length, int& third,
                         std::string& column);
    int ProcessLinkingFields(std::string& source, std::string& linking, std::string& linked);

    // "DDMMYYYY[ time]" from a text in the DATE format (that of `formats`, a linked
    // definition, when it has one).
    std::string FromDateFormat(const std::string& text, const CFetch* formats = nullptr) const;
    // Day, month and year of a date text as FromDateFormat reads it, without allocating; false
    // when they are not numbers.
    bool ParseDate(std::string_view text, const CFetch* formats, int& day, int& month,
                   int& year) const;
    const std::string& DateFormatFor(const CFetch* formats) const;
    const std::string& TimeFormatFor(const CFetch* formats) const;
    // The Monday of the week the text names in a format with W.
    std::string WeekToDateText(const std::string& text, const std::string& format) const;
    // Minutes in the TIME format; "" for the unset time; "-" in front of negative times.
    std::string FormatMinutes(int minutes) const;
    // A time text in the TIME format (that of `formats` when it has one) to minutes;
    // "UNDEFINED_TIME" is the unset time, "" is 0.
    int ParseTime(std::string_view text, const CFetch* formats = nullptr) const;
    // Upper-cases the text in place and compares it with the BOOL true text.
    int IsTrueText(std::string& text, const CFetch* formats = nullptr) const;
    std::string VariantToText(const trv::FieldValue& value) const;
    std::string GetDateText(const std::string& name, const std::string& defaultText, int required,
                            int direct, const FetchTextMap* variables);
    // The items of a list field as minutes, empty items skipped, each kept within the bounds
    // (-1: none).
    CSmartIntArray GetFieldListTime(const std::string& name, int minimum, int maximum, int required,
                                    int direct, const FetchTextMap* variables);
    // X and Y (and Z for ECEF coordinates, converted to longitude and latitude unless `raw`)
    // from the fields named; longitude = X and latitude = Y otherwise.
    void GetFieldCoordinates(TGeoCoordinate& coordinates, const FetchTextArray& names, int required,
                             int raw, double defaultValue);
    // Appends the message and the location of an empty required field to
    // m_arrRequiredMessages.
    void CheckRequiredField(const std::string& name, int linked);
    // Puts the collected required-field messages to the person as one yes/no question (continue
    // reading?) and empties them. True (continue) when there were none or the answer is yes.
    bool ReportRequiredMessages();

    // Values of fields without a line, and of fields computed from the output record.
    std::string m_strFieldValue;
    std::string m_strDirectValue;
    // Bumped when a source opens (a recordset, a sheet, an XML or JSON document) and when the
    // widths are loaded: what field lines resolved against the old one is found again.
    unsigned m_nSourceStamp = 1;
    unsigned m_nMaxCharsStamp = 1;
    // Position state of the field being read or written.
    int m_nPosition = -1;
    int m_nLength = -1;
    char m_chPad = '#';
    int m_nListWidth = -1;
    std::string m_strColumn;
    // Database sources: fields without a line are columns of their own name (SAMEFIELDNAME);
    // the table named in required-field messages.
    int m_bSameFieldName = 0;
    std::string m_strTableName;
    FetchTextArray m_arrRequiredMessages;

    // Compiled field lines, indexed by field name.
    std::vector<FetchFieldLine> m_arrFieldLines;
    // The last line found (-1: none): callers read a record's fields in the same order record
    // after record, so the line that followed it last time is tried before the index.
    int m_nLastFieldLine = -1;
    std::unordered_map<std::string, int, FetchNameHash> m_mapFieldLineIndex;
    // What the compiled lines were classified for.
    std::string m_strClassifiedName;
    std::string m_strClassifiedFile;
    int m_nClassifiedKind = FETCH_KIND_UNKNOWN;
    int m_nClassifiedMode = -1;
    std::string m_strClassifiedSeparator;
    std::size_t m_nClassifiedLines = 0;
    int m_bFieldsClassified = 0;
    // The output record (its set stamp) for which the classification was last checked.
    unsigned m_nWriteCheckStamp = 0;
    // Values of compiled lines are cached in the lines, valid while their stamp is this one.
    unsigned m_nFieldCacheStamp = 1;
    // Nesting of field reads (lines that refer to each other stop at a fixed depth).
    int m_nFieldDepth = 0;
    int m_bFieldDepthExceeded = 0;
    // ==== End of field language ============================================================

    // ==== Writing: output values, records, closing (FetchOutput.cpp, FetchWrite.cpp,
    // FetchClose.cpp) =======================================================================
    // The write loop: typed writers (SetField...), WriteRecord, ClearRecord per record, then
    // Close. A text target is written to a temporary file beside it and renamed at Close.

    // Puts a value into the current output record: kept under the name, computed by the field's
    // line, stored at the field's place. Nonzero when the value opened a new database column;
    // see FetchOutput.cpp for the other answers.
    int SetField(const std::string& name, const std::string& value, int append = 0,
                 const TFetchColumnType* columnType = nullptr, int storeOnly = 0);
    // SetField on the field's line (null: none), found by the caller.
    int SetFieldOnLine(FetchFieldLine* line, const std::string& name, const std::string& value,
                       int append, const TFetchColumnType* columnType, int storeOnly);
    void StoreOutputValue(const std::string& name, const std::string& text, int append,
                          const TFetchColumnType* columnType, bool isText = false);
    void StoreLineValue(int place, const std::string& text, int append);
    // StoreOutputValue for a plain place of a text target; false (nothing done) for any other.
    bool StorePlainTextValue(const FetchFieldLine& line, const std::string& name,
                             const std::string& text, int append,
                             const TFetchColumnType* columnType);
    int SplitSumField(std::string& line, const std::string& name, const std::string& value,
                      int append, const TFetchColumnType* columnType);
    void ReadSumFieldSeparator();
    // The value set for the field in the current output record; null when none.
    const std::string* FindSetValue(const std::string& name) const;

    // Typed writers.
    void SetFieldString(const std::string& name, const std::string& text, int maxChars = -1,
                        int append = 0, int storeOnly = 0);
    void SetFieldInt(const std::string& name, int value, int minimum = -1, int maximum = -1,
                     int isSet = 1, int append = 0, int storeOnly = 0);
    int SetFieldDouble(const std::string& name, double value, int append = 0, int storeOnly = 0);
    void SetFieldFloat(const std::string& name, int raw, float value, int append = 0,
                       int storeOnly = 0);
    void SetFieldBool(const std::string& name, bool value, int isSet = 1, int append = 0,
                      int storeOnly = 0);
    void SetFieldTime(const std::string& name, int minutes, int minimum = kUnsetTime,
                      int maximum = kUnsetTime, int append = 0, int storeOnly = 0);
    void SetFieldTimeOfDay(const std::string& name, int minutes, int minimum = kUnsetTime,
                           int maximum = kUnsetTime, int append = 0, int storeOnly = 0);
    void SetFieldDate(const std::string& name, const trv::OleDate& date, int append = 0,
                      int storeOnly = 0);
    void SetFieldDateText(const std::string& name, const std::string& date, int append = 0,
                          int storeOnly = 0);
    void SetFieldDateTime(const std::string& name, const trv::OleDate& date, int seconds = 0,
                          int append = 0, int storeOnly = 0);
    // names[0] gets the x (longitude), names[1] the y (latitude).
    void SetFieldCoordinates(const FetchTextArray& names, const CDoublePoint& location,
                             int append = 0, int storeOnly = 0);
    void SetFieldListFloat(const std::string& name, int raw, const CAutoArray<float>& values,
                           int append = 0, int storeOnly = 0);
    void SetFieldListInt(const std::string& name, const CAutoArray<int>& values, int append = 0,
                         int storeOnly = 0);
    void SetFieldListString(const std::string& name, const FetchTextArray& values, int isSet = 1,
                            int append = 0, int storeOnly = 0);
    void SetFieldListText(const std::string& name, const FetchTextArray& values, int append = 0,
                          int storeOnly = 0);
    // Minutes clamped to [minimum, maximum] (-1 = no bound); isSet 0 writes the empty text.
    void SetFieldListTime(const std::string& name, int minimum, int maximum, int append, int isSet,
                          int storeOnly, int count, const int* minutes);

    // Record operations.
    void ClearRecord();
    // False when the record could not be written (a database row, or a text target that failed:
    // full disk, vanished folder); true also when the write condition rejected the record.
    bool WriteRecord(int newDriverFile = 0, const std::string& driverCode = "");
    // The value at the place with "#LIST#" removed and blanks trimmed.
    std::string GetCleanOutputValue(int place) const;
    // 1 when the record held list values and was written as several lines (or dropped).
    int WriteListLines();
    void SetMode(int mode) { m_nMode = mode; }
    int GetRecordCount();

    // Calculated fields: GetFieldExpressions, SetMode(write), the typed writers,
    // StripListWrappers, CloseRecordset, EvaluateFields, the typed readers, SetMode(read).
    void GetFieldExpressions(FetchTextMap& expressions);
    void StripListWrappers();
    void CloseRecordset();
    void EvaluateFields(FetchTextMap& expressions);
    // Evaluates name=expression lines and sets each result as a field.
    void ProcessVariablesSection(const FetchRawSection& block, int passThrough);

    // Opens m_strOutputPath for writing through a temporary file beside it (renamed onto the
    // path at Close); nonzero on success, else traced and m_strLastError set.
    int OpenOutputTarget();
    // Closes the text target; renames the temporary file onto its path when every write
    // succeeded, else removes it. False when anything failed.
    bool CommitOutputTarget();

    // Closing helpers.
    void ConcatFiles(const std::string& list);
    void RunPostCommand(const std::string& command);
    bool SendFileWebServices(const std::string& url, const char* body, int length);
    bool ObtenerTokenDobleAutenticacion(const std::string& authUrl, std::string& user,
                                        const std::string& password, std::string& token);
    // Writes (or posts) the JSON document of a JSON target; false when it could not be written.
    bool WriteJsonDocument();
    // 1 unless REQUIRE_VALID_SSL opts out ("N..."): certificates of web addresses are verified.
    int GetRequireValidSsl() const;
    // Helpers of the writers.
    // The field's slot in the set values (the line, when given, remembers its index entry).
    int SetSlot(const std::string& name, FetchFieldLine* line = nullptr);
    void EnsureWriteIfParsed();
    void ResolveWriteIf(const std::string& name, const std::string& value);
    std::string_view CleanOutputView(int place, std::string& scratch) const;
    void AppendSeparatedValue(std::string& line, std::string_view value, bool isText) const;
    void AppendFixedValue(std::string& line, std::string_view value, int width, char pad,
                          int place);
    bool WriteTextRecord(int newDriverFile, const std::string& driverCode);
    bool WriteOutputLine(const std::string& line);
    bool WriteIniRecord();
    void AppendJsonRecord(const std::vector<std::string>& values);
    bool WriteDatabaseRow(int line);

    // The output record.
    FetchTextSlots m_arrSetNames;  // every field set, in order of first setting
    FetchTextSlots m_arrSetValues; // its current text
    // Database targets: the descriptor of each column of m_arrOutColumns (none when the writer
    // gave none).
    std::vector<std::optional<TFetchColumnType>> m_arrSetTypes;
    FetchTextSlots m_arrOutValues;      // text at each place
    FetchTextSlots m_arrOutColumns;     // field (text) or column (database) at each place
    std::vector<int> m_arrOutWidths;    // fixed width: field width at its start, 0 none
    std::vector<char> m_arrOutPadChars; // fixed width: pad character at its start
    std::vector<char> m_arrOutIsText;   // the place holds a text value (qualified)
    std::string m_strSumFieldSeparator;
    // Field name -> slot of m_arrSetNames, valid while its stamp is m_nSetStamp.
    std::unordered_map<std::string, std::pair<int, unsigned>, FetchNameHash> m_mapSetIndex;
    unsigned m_nSetStamp = 1;
    // JSON targets: one object per written line, written out by Close.
    std::unique_ptr<Json::Value, FetchJsonDeleter> m_jsonDocument;
    // The WRITE_IF condition, parsed for the text it was parsed from.
    CFetchFilter m_writeIfFilter;
    std::string m_strParsedWriteIf;
    int m_bWriteIfParsed = 0;
    // The text target's temporary file and whether a write to it failed.
    std::string m_strOutputTempPath;
    int m_bOutputFailed = 0;
    int m_bListLinesFailed = 0; // a line of the last record written by WriteListLines failed
    // Reused while lines are built.
    std::string m_strOutputLine;
    std::string m_strOutputScratch;
    // ==== End of writing ===================================================================

    // ==== Linked definitions (FetchLinks.cpp, FetchLinksWrite.cpp) ========================
    // A field line "(linking fields),(linked fields),DEFINITION,FIELD[,tail]" takes its value
    // from the records of DEFINITION whose linked fields hold this record's linking values.
    // Each linked definition is one child CFetch, keyed by name in m_mapChildIndex, created on
    // first use and kept until Close; every field linking to that name shares it. Most of the
    // state below lives on the child side.

    // The value of a link (GetField's hook): `tail` holds definition, field and tail ("LIST",
    // "DEFAULT=..."); `list` joins the values of every linked record.
    FetchLinkedValue ReadLinkedField(std::string& tail, const std::string& linking,
                                     const std::string& linked, int& linkedFlag, int list,
                                     const FetchTextMap* variables);
    // The child for the name, searched for the current record's linking values; -1 when it
    // cannot be made or no linked record matches.
    int FindLinkedFetch(const std::string& name, const std::string& linking,
                        const std::string& linked, std::string& fileName, int list,
                        const FetchTextMap* variables);
    // The child a field links to, searched, with m_nLinkPosition back at 0; -1 for none.
    // `namesLink` comes out 1 when the field's line names a linked definition at all.
    int FindLinkedFetchForField(const std::string& field, int* namesLink = nullptr);
    // NAME_LINKFILENAME of this definition, CREATE(FILENAME,ext) naming a file beside ours.
    std::string GetLinkFileName(const std::string& name, const std::string& ownName = "");
    // On a child: its linking lists are exactly these texts split at ",".
    int SameLinkFields(const std::string& linking, const std::string& linked) const;
    // On a child: finds the records holding m_arrLinkValues; 1 when at least one was found.
    int SearchLinkedRegisters();
    int MatchesLinkValues();
    // On a child: back on its first record before a scan.
    int RewindLinked();
    // SetField's hook: the value goes to the linked definition together with the linking
    // values of this output record.
    void SaveLinkedField(const std::string& name, const std::string& value, std::string& tail,
                         const std::string& linking, const std::string& linked, int append,
                         const TFetchColumnType* columnType, int& written);
    // The value of a field in the output record being built (a place, or through links).
    std::string SearchLinkingFieldValue(const std::string& name, int& found, int append,
                                        const TFetchColumnType* columnType);
    // The linked records of one entity: index = FindLinkedFetchForField (or -1 for this
    // definition's own key group), then while !IsLinkedEOF(index): MoveNextLinked(index) and
    // read the fields through m_arrChildren[index] (through this definition for -1).
    int MoveNextLinked(int child);
    int IsLinkedEOF(int child);
    // Per-record marks and the names of the chain read last, for this and every descendant.
    void ClearLinkMarks();
    void ClearChildLinkedFieldNames();
    void ResetChildLinkedIndexes();

    // Helpers.
    int SetLinkLists(const std::string& linking, const std::string& linked);
    void ReportLinkMismatch(const char* traceFormat, const char* method);
    int GetLinkDepth() const;
    int IsLinkKeyPath() const;
    int SearchLinkedByKey();
    int ScanLinked();
    // The found line (an INI entry on INI children) becomes the current record.
    void MakeLinkedLineCurrent(std::string_view line);
    std::string ReadLinkedListValues(CFetch& child, const std::string& field,
                                     const std::string& fileName, const FetchTextMap* variables);
    // Database children: their search, walk and end test.
    int SearchLinkedDatabase();
    std::string ReadLinkedDatabaseValues(CFetch& child, const std::string& field, int listMode,
                                         const FetchTextMap* variables);
    int MoveNextLinkedDatabase(CFetch& child);
    int IsLinkedDatabaseEOF(CFetch& child);
    // A write-mode child for the name, registered; -1 (traced) when it cannot be made.
    int CreateWriteChild(const std::string& name, const std::string& file,
                         const std::string& linking, const std::string& linked, const char* method,
                         const char* initFailedFormat);

    int m_nLinkedChild = -1;           // child used by the last linked read or search
    std::string m_strLinkedFieldName;  // field read through the last linked read
    FetchTextArray m_arrLinkingFields; // on a child: the parent's linking field names
    FetchTextArray m_arrLinkedFields;  // on a child: its own linked field names
    FetchTextArray m_arrLinkValues;    // on a child: the values searched for
    // On a child: searched for the parent's current record (reading) or its output record
    // holds the linking values (writing).
    int m_bLinkSearched = 0;
    int m_bReuseChildLinks = 1;      // 0 while used as a LIST child: search own children again
    CFetchTextList m_arrLinkedLines; // on a text or INI child: the records found
    std::vector<int> m_arrLinkedLineChild; // on a LIST reader: the member each line came from
    int m_nLinkPosition = 0;               // next linked record of MoveNextLinked
    int m_nLinkScans = 0;                  // searches that walked the records (not the key index)
    int m_nLinkWriteDepth = 0;             // nesting of SaveLinkedField on this object
    // ==== End of linked definitions ========================================================

    // ==== Database sources and targets (FetchDatabase.cpp), spreadsheets (FetchExcel.cpp) ===
    // TYPE "DATABASE" and the SQL family read and write one table through a connection; the
    // TYPE word is the SQL dialect. Once opened, the SQL family is kind DATABASE. An EXCEL
    // definition is kind DATABASE too, but its worksheet is held in memory (m_pWorkbook)
    // instead of a recordset. No value reaches a statement raw (SqlDialect.h).

    // Opens a DATABASE or SQL-family source (Init's last step); nonzero on success.
    int OpenDatabaseSource(CAdoDB* connection);
    int OpenSqlSource(int mode, CAdoDB* connection);
    bool InitAdoDB(int mode, CAdoDB* connection);
    // Puts a connection into the current slot: the definition's own, else one on the outside
    // connection's string. The outside connection itself is never closed here.
    bool OpenDB(CAdoDB* connection);
    void ReadConnectionString();
    bool ReadTableName();
    // The statement the table is opened with; converts m_strWhere into SQL in place.
    bool GetSelect(std::string& statement, int mode);
    bool ReadOrderBy(std::string& orderBy);
    // The ORDER_BY setting's columns, each with whether it sorts descending ("FIELD <"); false
    // when a field has no column.
    bool ReadOrderByColumns(std::vector<std::pair<std::string, bool>>& columns);
    bool OpenRecordset(std::string& statement, const std::string& orderBy, int flag = 0);
    // The rows of the query the records are read from, counted by the database (a read walks
    // them forward as they come and does not know their number); 0 when it cannot tell.
    int CountQueryRows();
    bool GetPrimaryKeys();
    bool GetDeletingFields();
    // Appends the source column of each field name; false at the first field without a line.
    bool FillArrayWithFieldsString(const FetchTextArray& fields, FetchTextArray& columns);
    // The source column of a field: its column name, its position, or its own name.
    bool ReadFieldFormat(const std::string& field, std::string& column, bool showError);
    // column=literal for each linking field of a linked definition, " AND " joined; an empty
    // value gives IS NULL. False without an open table or when a field has no line.
    bool BuildLinkWhere(const FetchTextArray& linkingFields, const FetchTextArray& linkingValues,
                        std::string& condition);
    // The connection slot of the current LIST child (grown when needed).
    CAdoDBPtr& CurrentConnectionSlot();
    CAdoDB* CurrentConnection();
    // The target table with its column types; opened on first use, null when it cannot be.
    trv::CSqlTable* SqlTable();
    trv::SqlValueFormat SqlFormat() const;
    // The FETCH_DATE text of filters and deletes: the date argument (1 January 1980 when there
    // is none) in the DATE format.
    std::string FetchDateText();

    // Reading rows.
    int IsDatabaseEOF();
    int MoveNextDatabase();
    void ReadDatabaseValue(FetchFieldPlace& place, std::string& value);
    // The place's column index (and type) in the open recordset or sheet, once per opening.
    void ResolveSourceColumn(FetchFieldPlace& place);

    // Writing rows: the record (line -1) or list line `line` with its values, insert or update
    // by key. False (traced, m_strLastError set) when the row could not be written.
    bool WriteDatabaseValues(int line, const std::vector<std::string>& values);
    // Deletes the old rows: by a filter, or by the DELETE columns once per opening (every
    // record with DELETE_ALWAYS); then the children's DELETE_SENTENCE. `values` are the line's
    // output values (null: the record's).
    bool DeleteData(const std::string& filter, int line = -1,
                    const std::vector<std::string>* values = nullptr);
    bool ExecuteSQLSentence(const std::string& sql);
    bool DeleteAllData();
    // The places of the columns in m_arrOutColumns, -1 when the record did not set them.
    void MapPrimaryKeys(const FetchTextArray& columns, std::vector<int>& places) const;
    // POST sentence, workbook saved, recordset, table and connections released (Close).
    bool CloseDatabaseSource();

    // Spreadsheets.
    int OpenExcelSource(int mode);
    int IsExcelEOF() const;
    int MoveNextExcel();
    void ReadExcelValue(FetchFieldPlace& place, std::string& value);
    // The sheet's column of a header (names compared ignoring case), -1 for none.
    int SheetColumnIndex(const std::string& column) const;
    // The current row's cell of a sheet column; null when there is none.
    const trv::XlsxCell* CurrentExcelCell(const std::string& column) const;
    // The same for a field's place, its column found once per opening.
    const trv::XlsxCell* CurrentExcelCell(FetchFieldPlace& place);
    // The ADO type a database column of the current cell's value would have.
    long ExcelFieldType(const std::string& column) const;
    static long ExcelCellType(const trv::XlsxCell* cell);
    // The cell an output value becomes, by the type of the writer that set it.
    trv::XlsxCell ExcelCellOfValue(std::size_t place, const std::string& value) const;
    bool WriteExcelValues(const std::vector<std::string>& values);
    bool SaveWorkbook();

    std::vector<CAdoDBPtr> m_arrConnections; // one slot per LIST child, selected by m_nCurrentChild
    CAdoRecordsetPtr m_pRecordset;           // the rows read, or the target's column probe
    std::string m_strQuery;
    std::string m_strCountQuery; // the query without its ORDER BY, for CountQueryRows
    FetchTextArray m_arrOrderByFields;
    FetchTextArray m_arrKeyFields;
    FetchTextArray m_arrKeyColumns;
    std::vector<int> m_arrKeyColumnIndex;
    FetchTextArray m_arrDeletingFields;
    FetchTextArray m_arrDeletingColumns;
    std::vector<int> m_arrDeletingValues;
    trv::CSqlDialect m_sqlDialect;
    // Declared after the dialect and the connections it refers to, so it goes first.
    std::unique_ptr<trv::CSqlTable> m_pSqlTable;
    int m_bLogNewEntries = 0; // callers set it: inserted rows go to "IONewEntries.log"
    std::unique_ptr<trv::CSqlNewEntriesLog> m_pNewEntriesLog;
    int m_bRecordDeleted = 0; // the DELETE columns' delete ran in this opening
    std::unique_ptr<CFetchWorkbook, FetchWorkbookDeleter> m_pWorkbook;
    // ==== End of database sources and targets ============================================

  private:
    // Opens the source by kind (Init's last step); nonzero on success.
    int OpenSource(const std::string& file, CAdoDB* connection,
                   CFetchConditionBuilder* conditionBuilder);
    // Asks the person for the file to write (FETCH_ASK_FILENAME); false when cancelled.
    bool AskFileName();
    // Downloads the web address in m_strFile into the working file; nonzero on success.
    int DownloadSource();
    // Puts the FETCH_ASK question and keeps the answer.
    void AskQuestion();
    // Reads a section through the definition's file chain.
    void ReadChainSection(FetchTextMap& result, const std::string& section, int hashSize,
                          bool keepExisting, const FetchTextMap& constants) const;
    // Resolves a relative path against the folder of the definitions file.
    std::string ResolveRelative(const std::string& path) const;
    // WHERE or WRITE_IF joined with the extra condition of Init.
    static std::string JoinConditions(const std::string& own, const std::string& extra);

    // The definitions file this object starts each choice from: the parent's for a child,
    // else (when empty) the process-wide one.
    std::string m_strInitialDefinitionFile;
};

// The message shown when a target cannot be written: the dictionary's text, with the file and
// the reason added when the dictionary lacks them.
std::string CannotWriteText(const std::string& path, const std::string& reason);

// Copies a file in blocks: 0 on success, -1 when the source cannot be read or a block is not
// fully written, -2 when the target cannot be created.
int CopyFileContents(const std::string& sourcePath, const std::string& targetPath);

// Appends the source file to the target file: 0, -1 when the source cannot be read or a block
// is not fully written, -2 when the target cannot be opened.
int AppendFileToFile(const std::string& source, const std::string& target);
