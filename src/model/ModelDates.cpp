#include "model/ModelDates.h"

#include <cmath>

bool IsZeroDate(const trv::OleDate& date)
{
    return date.IsValid() && std::fabs(date.GetValue()) < HalfSecondInDays;
}

int32_t DaysFrom(const trv::OleDate& reference, const trv::OleDate& date)
{
    double days = date - reference;
    days += days >= 0.0 ? HalfSecondInDays : -HalfSecondInDays;
    return static_cast<int32_t>(days);
}
