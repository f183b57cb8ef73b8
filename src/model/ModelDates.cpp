#include "model/ModelDates.h"

#include "KLV/AppGlobals.h"
#include "KLV/FetchFilter.h"

#include <cmath>
#include <cstdio>

bool IsZeroDate(const trv::OleDate& date)
{
    return date.IsValid() && std::fabs(date.GetValue()) < HalfSecondInDays;
}

std::string FetchDateText(const trv::OleDate& date)
{
    if (!date.IsValid())
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%04d", date.GetDay(), date.GetMonth(),
                  date.GetYear());
    return text;
}

int32_t DaysFrom(const trv::OleDate& reference, const trv::OleDate& date)
{
    double days = date - reference;
    days += days >= 0.0 ? HalfSecondInDays : -HalfSecondInDays;
    return static_cast<int32_t>(days);
}

std::string CompanyCondition()
{
    return "EMPRESA=" + QuoteFilterValue(trv::GetCompanyInUse());
}

std::string CompanyDateCondition(const trv::OleDate& planningDate)
{
    return CompanyCondition() + " AND FECHA_PLANIFICACION=" + QuoteFilterValue(planningDate);
}

std::string JoinConditions(const std::string& first, const std::string& second)
{
    if (first.empty())
        return second;
    if (second.empty())
        return first;
    auto grouped = [](const std::string& condition) {
        return condition.find('(') == std::string::npos ? "(" + condition + ")" : condition;
    };
    return grouped(first) + " AND " + grouped(second);
}
