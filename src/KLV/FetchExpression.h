#pragma once

#include "KLV/FetchFilter.h"

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The expression language of a definition's field lines (NAME=expression): the line kinds, and
// the compiled form each line takes once per Init so that the read loop evaluates fields without
// classifying or splitting their expressions again.

// Line kinds. The numbers are part of the language: other parts of the engine test them.
enum TLineFormat : int
{
    LINE_POSITION = 0,
    LINE_VALUE = 1,
    LINE_CONCAT = 2,
    LINE_DAY_NUMBER = 3,
    LINE_SUMDAYS = 4,
    LINE_YEARDIFF = 5,
    LINE_UNUSED_6 = 6,
    LINE_ISDIFF = 7,
    LINE_MID = 8,
    LINE_RIGHT = 9,
    LINE_POS = 10,
    LINE_SUBST = 11,
    LINE_LINKED = 12,
    LINE_PLAIN = 13,
    LINE_SUMFLOAT = 14,
    LINE_SUBFLOAT = 15,
    LINE_SUMINT = 16,
    LINE_SUBINT = 17,
    LINE_MULTINT = 18,
    LINE_MULTFLOAT = 19,
    LINE_DIVFLOAT = 20,
    LINE_DIVINT = 21,
    LINE_MOD = 22,
    LINE_SUMTIME = 23,
    LINE_SUBTIME = 24,
    LINE_SUMWORKINGDAYS = 25,
    LINE_SUBWORKINGDAYS = 26,
    LINE_SUMTIMEMINUTES = 27,
    LINE_SUBTIMEMINUTES = 28,
    LINE_ENUM = 29,
    LINE_CASE = 30,
    LINE_BINENUM = 31,
    LINE_IF_THEN = 32,
    LINE_NUMLINEA = 33,
    LINE_UNDEFINED = 34,
    LINE_TIMETOINT = 35,
    LINE_TODAY = 36,
    LINE_WEEK_FROM_DATE = 37,
    LINE_GET_YEAR = 38,
    LINE_GET_MONTH = 39,
    LINE_GET_DAY = 40,
    LINE_GET_HOUR = 41,
    LINE_GET_MINUTE = 42,
    LINE_GET_CURRENT_DATE = 43,
    LINE_GLOBAL_ASK = 44,
    LINE_GET_DAY_FROM_ZERO = 45,
    LINE_NUM_TO_TEXT = 46,
    LINE_RGB = 47,
};

// What a position test depends on: the definition's kind and whether it has a field separator.
struct FetchPlaceRules
{
    int kind = 0;
    bool hasSeparator = false;
};

// True when the expression begins with the keyword (exact, case-sensitive); the keyword (and,
// when a parenthesis is required, the closing one) is then removed and `ok` says whether the
// parenthesis and the first one or two argument commas are there.
bool MatchLineKeyword(std::string& expression, std::string_view keyword, int& ok, bool parenthesis,
                      int commas);
// "(a),(b),c,d" and longer; a text that begins with "(" is a link, `ok` 0 when malformed.
bool IsLinkExpression(std::string_view expression, int& ok);
// A source place valid for the kind: start,length for fixed-width text, a column >= 1 for
// separated text, an index >= 0 for INI, a column name for the others.
bool IsPositionExpression(std::string_view expression, const FetchPlaceRules& rules);
// The kind of an expression; `argument` receives the text the kind works on.
int ClassifyExpression(std::string_view expression, const FetchPlaceRules& rules,
                       std::string& argument, int& ok);

// An operand of a function as written, with what can be known of it before any record is read.
struct FetchOperand
{
    enum Special : unsigned char
    {
        None,
        FetchDate,       // "FETCH_DATE"
        SchedulingRange, // "SCHEDULING_RANGE"
    };
    std::string text;
    Special special = None;
    bool isInteger = false; // a number: taken by value as an integer operand
    int integer = 0;
    float real = 0;  // taken by value as a float operand when not 0
    int minutes = 0; // taken by value as a time operand when not 0
};

// A part of a concatenation: a literal (quotes removed) or a field name.
struct FetchConcatPart
{
    bool literal = false;
    std::string text;
};

// A choice of CASE( and IF_THEN(: a literal ("=text") or the name of a field.
struct FetchChoice
{
    bool literal = false;
    std::string text;
};

class CFetch;

// Where a field's value lives in the source: a column of a separated line, a start and a
// length of a fixed-width one, an INI entry's value index, or a named database or workbook
// column. Named columns are resolved to their index in the open source once per opening.
struct FetchFieldPlace
{
    int position = -1;
    int length = -1;
    int listWidth = -1;
    char pad = '#';
    std::string column;
    // Database and workbook sources: the column's index (-1: the source lacks it) and whether
    // it holds real numbers, valid while `sourceStamp` is the definition's source stamp.
    int columnIndex = -1;
    bool floatColumn = false;
    unsigned sourceStamp = 0;
};

// The compiled form of one field line.
struct FetchFieldLine
{
    std::string name;
    std::string expression;
    int kind = LINE_UNDEFINED;
    int ok = 1;
    std::string argument;

    // Functions: the operands of the argument split (two or three), and whether the split the
    // function needs succeeded.
    FetchOperand operands[3];
    bool splitOk = true;

    std::vector<FetchConcatPart> parts;      // "+"
    std::vector<std::string> items;          // ENUM(, BINENUM(: the values; CASE(: the values
    std::vector<FetchChoice> choices;        // CASE( results; IF_THEN( then and else
    std::unique_ptr<CFetchFilter> condition; // IF_THEN(
    std::string conditionText;
    bool conditionOk = true;
    bool conditionReported = false;

    // Places: the source part parsed once (position state and what is left of the text).
    bool placeParsed = false;
    int placeOk = 0;
    FetchFieldPlace place;
    std::string rest; // "DEFAULT=..." or the link's definition, field and tail
    // The MAXIMUM_CHARACTERS width (with the default), valid while `maxCharsStamp` is the
    // definition's.
    int maxChars = -1;
    unsigned maxCharsStamp = 0;

    // XML and JSON paths: the source stamp of the document the place was found in (0: none).
    unsigned pathStamp = 0;

    // Value cached for the current record (valid while `cacheStamp` is the definition's), and
    // the definition whose formats read it (a linked one, or this one).
    std::string cachedValue;
    const CFetch* cachedFormats = nullptr;
    unsigned cacheStamp = 0;
    // Being evaluated: a read of the field now is a reference to itself.
    bool evaluating = false;
    // The line found after this one last time (an index; -1: none yet).
    int foundNext = -1;
    // Writing: the field's entry in the definition's index of set values (null: not yet
    // looked up).
    std::pair<int, unsigned>* setEntry = nullptr;
};

// Fills the compiled parts of a line from its kind and argument (operands, concatenation parts,
// ENUM items, CASE lists, IF_THEN condition).
void CompileFieldLine(FetchFieldLine& line, const CFetchFilterSettings& conditionSettings);

// Concatenation parts of the text after "+": literals in double quotes, field names otherwise.
// False when the last part is empty (a line ending in "+").
bool SplitConcatParts(std::string_view text, std::vector<FetchConcatPart>& parts);
