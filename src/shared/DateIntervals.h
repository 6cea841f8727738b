#pragma once

#include "platform/foundation/Date.h"

// date moved by seconds; date itself is unchanged.
inline lq::Date addTimeIntervalToDate(lq::Date date, double seconds)
{
    return date.addingTimeInterval(seconds);
}
