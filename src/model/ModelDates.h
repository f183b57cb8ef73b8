#pragma once

#include "platform/OleDate.h"

#include <cstdint>
#include <string>

// Half a second in days: dates closer than this are the same instant.
inline constexpr double HalfSecondInDays = 5.787037037037037e-6;

// A valid date within half a second of the zero date: the model's "no date".
bool IsZeroDate(const trv::OleDate& date);

// A date as the definitions take it, "DDMMYYYY"; empty for an invalid date.
std::string FetchDateText(const trv::OleDate& date);

// Whole days from reference to date: the exact difference moved half a second away from zero,
// then truncated toward zero, so a date a moment before midnight still counts its day.
int32_t DaysFrom(const trv::OleDate& reference, const trv::OleDate& date);

// The internal database's condition on the rows of the company in use (its alias with a
// company file, else its name).
std::string CompanyCondition();
// The same, for the rows of one planning date (written year-month-day, which the database
// sources turn into a literal of the column's own date type).
std::string CompanyDateCondition(const trv::OleDate& planningDate);

// Records that meet both conditions. The filter language nests one level of parentheses and
// the SQL it becomes gives AND precedence, so each side that has none is grouped; an empty
// side is left out.
std::string JoinConditions(const std::string& first, const std::string& second);
