#pragma once

#include "KLV/NumberFormat.h"
#include "containers/SmartArray.h"
#include "params/FieldRecord.h"
#include "params/VariableAccess.h"
#include "platform/OleDate.h"

#include <cstdint>
#include <string>

class CVariables;
struct TVarsShowed;

// Kinds of variables: how a field is read from and written to records and shown as text.
enum VariableKind : int
{
    VAR_BOOL = 1,
    VAR_INT = 2,
    VAR_FLOAT = 3,
    VAR_STRING = 4,
    VAR_DOUBLE = 5,
    VAR_DATE = 6,
    VAR_DURATION = 7,
    VAR_TIMETABLE = 8,
    VAR_TIMEWINDOW = 9,
    VAR_REQUIREMENTS = 10,
    VAR_ORDER_INFO = 11,
    VAR_FLOAT_SUM = 12,
    VAR_INT_AS_MINUTES = 13,
    VAR_DATE_EXPRESSION = 14,
    VAR_ENUM = 15,
    VAR_DOUBLE_NO_COORDINATE = 16,
    VAR_FLOAT_ALT_FORMAT = 17,
    VAR_FLOAT_SUM_ALT_FORMAT = 18,
    VAR_TIME_OF_DAY = 19,
    VAR_RESOURCE_INFO = 20,
    VAR_FLOAT_LIST = 21,
    VAR_WEEK_NUMBER = 22,
    VAR_DAY_OF_WEEK = 23,
    VAR_STRING_LIST = 24,
    VAR_ORDER_LINE_INFO = 25,
    VAR_WORD_LIST = 26,
    VAR_COORDINATES = 27,
};

// Uses of a variable (its usage mask).
enum VariableUsage : int
{
    VAR_USE_READ = 0x1,
    VAR_USE_WRITE = 0x2,
    VAR_USE_SHOWN = 0x4,
    VAR_USE_LEADING = 0x8,
    VAR_USE_SHOWN_SECOND = 0x10,
    VAR_USE_LEADING_SECOND = 0x20,
};

// The value of a double marking "no coordinate" (kind 16, coordinates).
inline constexpr double kNoCoordinate = 12345678.0;

// True for the kinds that give one column and one field per definition of a list.
bool IsListKind(int kind);

// One variable of a key set: a named field of an entity.
struct TVarKeyStruct
{
    std::string name;       // field name; for computed kinds an expression
    int kind = VAR_INT;     // VariableKind
    std::string captionKey; // dictionary key; for list kinds the name of one definition
    std::string explanationKey;
    TVarAccessorPtr member; // where the field lies in the entity; null for computed kinds
    TVariableValue defaultValue;
    int required = 0;            // the field must be present in records read
    int rawFloat = 1;            // float writers: raw number text rather than the formatted one
    int usageMask = -1;          // VariableUsage bits
    int maximum = -1;            // numbers and minutes, text length, a window's start; -1 none
    int minimum = -1;            // numbers and minutes; kind 15 the first value; -1 none
    int secondMaximum = -1;      // a window's or table's end; -1 none
    CSmartStringArray itemNames; // fields of kinds 8, 9, 27; value names of kind 15
    // Which object of the entity holds the field (the catalogue's numbering; 0 the entity).
    uint16_t holderKind = 0;

    // The name, or the item names joined by "," when the name is empty.
    std::string GetKeyName() const;
    // The translated caption; list kinds give their definition name untranslated.
    std::string GetCaption() const;
};

// The key set of one entity kind: its variables in registration order, and what moving,
// showing and parsing its fields needs (reference date, formats, definition lists).
class CVariablesKeys
{
  public:
    CVariablesKeys();
    virtual ~CVariablesKeys();
    CVariablesKeys(const CVariablesKeys&) = delete;
    CVariablesKeys& operator=(const CVariablesKeys&) = delete;

    // ---- Registration ---------------------------------------------------------------------
    TVarKeyStruct* AddVariable(const std::string& name, int kind, TVarAccessorPtr member,
                               const TVariableValue& defaultValue, const std::string& caption,
                               const std::string& explanation, int required, int usageMask,
                               int maximum, int minimum, int rawFloat, int secondMaximum);
    TVarKeyStruct* AddVariableWithItems(const CSmartStringArray& itemNames, int kind,
                                        TVarAccessorPtr member, const TVariableValue& defaultValue,
                                        const std::string& caption, const std::string& explanation,
                                        int required, int usageMask, int firstValue,
                                        const std::string& name, int maximum, int minimum,
                                        int secondMaximum);

    TVarKeyStruct* AddString(const std::string& name, TVarAccessorPtr member, int maximumLength,
                             const std::string& caption, const std::string& explanation,
                             const std::string& defaultText, int required, int usageMask);
    TVarKeyStruct* AddInt(const std::string& name, TVarAccessorPtr member,
                          const std::string& caption, const std::string& explanation,
                          int defaultValue, int required, int usageMask, int minimum = -1,
                          int maximum = -1);
    TVarKeyStruct* AddIntAsMinutes(const std::string& name, TVarAccessorPtr member,
                                   const std::string& caption, const std::string& explanation,
                                   int defaultValue, int required, int usageMask, int minimum = -1,
                                   int maximum = -1);
    TVarKeyStruct* AddBool(const std::string& name, TVarAccessorPtr member,
                           const std::string& caption, const std::string& explanation,
                           int defaultValue, int required, int usageMask);
    TVarKeyStruct* AddFloat(const std::string& name, TVarAccessorPtr member,
                            const std::string& caption, const std::string& explanation,
                            float defaultValue, int required, int rawFloat, int usageMask);
    TVarKeyStruct* AddFloatAltFormat(const std::string& name, TVarAccessorPtr member,
                                     const std::string& caption, const std::string& explanation,
                                     float defaultValue, int required, int rawFloat, int usageMask);
    TVarKeyStruct* AddFloatList(const std::string& name, TVarAccessorPtr member,
                                const std::string& caption, const std::string& explanation,
                                int required, int rawFloat, int usageMask);
    TVarKeyStruct* AddWordList(const std::string& name, TVarAccessorPtr member,
                               const std::string& caption, const std::string& explanation,
                               int required, int rawFloat, int usageMask);
    TVarKeyStruct* AddStringList(const std::string& name, TVarAccessorPtr member,
                                 const std::string& caption, const std::string& explanation,
                                 int required, int usageMask);
    TVarKeyStruct* AddDate(const std::string& name, TVarAccessorPtr member,
                           const std::string& caption, const std::string& explanation,
                           const trv::OleDate& defaultDate, int required, int usageMask);
    // Computed kinds: the name is the expression; no member.
    TVarKeyStruct* AddDateExpression(const std::string& name, const std::string& caption,
                                     const std::string& explanation,
                                     const trv::OleDate& defaultDate, int required, int usageMask);
    TVarKeyStruct* AddWeekNumber(const std::string& name, const std::string& caption,
                                 const std::string& explanation, const trv::OleDate& defaultDate,
                                 int required, int usageMask);
    TVarKeyStruct* AddDayOfWeek(const std::string& name, const std::string& caption,
                                const std::string& explanation, const trv::OleDate& defaultDate,
                                int required, int usageMask);
    TVarKeyStruct* AddDuration(const std::string& name, TVarAccessorPtr member, int minimum,
                               int maximum, const std::string& caption,
                               const std::string& explanation, int defaultValue, int required,
                               int usageMask);
    TVarKeyStruct* AddTime(const std::string& name, TVarAccessorPtr member,
                           const std::string& caption, const std::string& explanation,
                           int defaultValue, int required, int usageMask, int minimum = -1,
                           int maximum = -1);
    // Member from VarTimeWindow; added only with exactly two field names.
    TVarKeyStruct* AddTimeWindow(const std::string& name, const CSmartStringArray& fieldNames,
                                 TVarAccessorPtr member, int minimum, int maximum,
                                 int secondMaximum, const std::string& caption,
                                 const std::string& explanation, int required, int usageMask,
                                 int defaultValue);
    // Member from VarTimeTable; added only with exactly two field names.
    TVarKeyStruct* AddTimeTable(const std::string& name, const CSmartStringArray& fieldNames,
                                TVarAccessorPtr member, const std::string& caption,
                                const std::string& explanation, int required, int usageMask,
                                int minimum, int maximum, int secondMaximum);
    // Member of type TGeoCoordinate; added only with exactly three field names.
    TVarKeyStruct* AddCoordinates(const std::string& name, const CSmartStringArray& fieldNames,
                                  TVarAccessorPtr member, const std::string& caption,
                                  const std::string& explanation, int required, int usageMask,
                                  int defaultValue);
    TVarKeyStruct* AddRequirements(const std::string& name, TVarAccessorPtr member,
                                   const std::string& caption, const std::string& explanation,
                                   int required, int usageMask);
    TVarKeyStruct* AddVariableOfKind(const std::string& name, TVarAccessorPtr member, int kind,
                                     const std::string& caption, const std::string& explanation,
                                     int required, int usageMask);
    TVarKeyStruct* AddEnum(const std::string& name, TVarAccessorPtr member,
                           const CSmartStringArray& valueNames, int firstValue, int defaultValue,
                           const std::string& caption, const std::string& explanation, int required,
                           int usageMask);
    // The catalogue's own kinds; added only when the item list has the expected size.
    TVarKeyStruct* AddItemsVariable(const std::string& name, int kind,
                                    const CSmartStringArray& itemNames, int expectedItems,
                                    TVarAccessorPtr member, int maximum, const std::string& caption,
                                    const std::string& explanation, int required, int usageMask);

    // ---- Lookups --------------------------------------------------------------------------
    int GetSize() const { return m_variables.GetSize(); }
    // Deletes every variable; the owner's name map is left as it is.
    void RemoveAllVariables() { m_variables.SetSize(0); }
    TVarKeyStruct* GetVariable(int index) const;
    // Index of the first variable matching the name, or -1; list kinds match "KEY[n]" with n a
    // definition of their list. `copy` receives the variable (list kinds with the definition
    // name as caption); `filter` skips variables whose key it does not hold.
    int FindVariable(const std::string& name, TVarKeyStruct* copy = nullptr,
                     const CVariableDefinitionList* filter = nullptr) const;
    // n when name is key + "[" + n + "]", else -1.
    static int ParseIndexedName(const std::string& name, const std::string& key);
    void AppendKeyNames(CSmartStringArray& names, int kind) const;
    void ExpandListColumns(std::string& names, std::string& flags, std::string& widths,
                           int kind) const;

    // The definition list of a list kind (10, 11, 20, 25); null when none was given.
    const CVariableDefinitionList* GetDefinitionList(int kind) const;
    void SetDefinitionList(int kind, const CVariableDefinitionList* list);

    // ---- Moving entities to and from records ----------------------------------------------
    // 1 when every variable was read, 0 when one failed (those read before keep their values).
    int ReadFromFetch(const TEntityRef& entity, CFieldRecord& record, int direct,
                      const TFieldMap* fields);
    // 0 failure, 1 done or skipped, 2 not handled here.
    int ReadVariable(int index, const TEntityRef& entity, CFieldRecord& record, int direct,
                     const TFieldMap* fields);
    bool WriteToFetch(const TEntityRef& entity, CFieldRecord& record, int outputIndex,
                      const std::string& tag, int outputFlag, const TFieldMap* fields);
    int WriteVariable(int index, const TEntityRef& entity, CFieldRecord& record, int outputIndex,
                      const std::string& tag, int outputFlag, const TFieldMap* fields);
    // The catalogue's kinds; 0 stops the read or write.
    virtual int ReadCustom(int index, const TEntityRef& entity, CFieldRecord& record, int direct,
                           const TFieldMap* fields);
    virtual int WriteCustom(int index, const TEntityRef& entity, CFieldRecord& record,
                            int outputIndex, int outputFlag, const TFieldMap* fields);

    // ---- Value texts ------------------------------------------------------------------------
    std::string FormatValue(int index, const TEntityRef& entity, int& numeric) const;
    TVariableValue GetValueVariant(int index, const TEntityRef& entity) const;
    // Parses a non-empty text into number, else formats number into text.
    void ConvertValueText(int index, float& number, std::string& text, int kindOverride) const;
    void ParseValueText(int index, std::string& text, const TEntityRef& entity) const;
    trv::OleDate EvaluateDateExpression(const std::string& expression,
                                        const TEntityRef& entity) const;
    int GetWeekNumber(const TVarKeyStruct& variable, const TEntityRef& entity) const;
    int GetDayOfWeek(const TVarKeyStruct& variable, const TEntityRef& entity) const;
    float SumFloatExpression(const TVarKeyStruct& variable, const TEntityRef& entity) const;

    // ---- Shown columns ----------------------------------------------------------------------
    static void BuildShownColumns(const CVariablesKeys& keys, TVarsShowed& shown, int& leadingCount,
                                  bool secondSet, const CVariableDefinitionList* filter);

    // ---- State ------------------------------------------------------------------------------
    int m_nEntityKind = 0;
    CVariables* m_pOwner = nullptr;
    trv::OleDate m_referenceDate;
    std::string m_strReferenceToken;
    std::string m_strDateFormat = "%d/%m/%Y";
    std::string m_strMinutesFormat = "%H:%M";
    std::string m_strTimeOfDayFormat = "%H:%M";
    TNumberFormat m_numberFormat1;
    TNumberFormat m_numberFormat2;

  private:
    // The storage of a variable inside the entity, typed by its kind; null when missing.
    template <class Storage>
    static Storage* Field(const TVarKeyStruct& variable, const TEntityRef& entity)
    {
        return variable.member ? static_cast<Storage*>(variable.member->Locate(entity)) : nullptr;
    }
    const TVarKeyStruct* FindByKeyName(const std::string& key) const;
    int ReadByKind(const TVarKeyStruct& variable, const TEntityRef& entity, CFieldRecord& record,
                   int direct, const TFieldMap* fields);
    int WriteByKind(const TVarKeyStruct& variable, const TEntityRef& entity, CFieldRecord& record,
                    int outputIndex, const std::string& tag, int outputFlag,
                    const TFieldMap* fields);

    CSmartPtrArray<TVarKeyStruct> m_variables;
    const CVariableDefinitionList* m_requirementList = nullptr;
    const CVariableDefinitionList* m_orderInfoList = nullptr;
    const CVariableDefinitionList* m_resourceInfoList = nullptr;
    const CVariableDefinitionList* m_orderLineInfoList = nullptr;
};
