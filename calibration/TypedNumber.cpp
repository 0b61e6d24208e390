#include "calibration/TypedNumber.h"

#include <algorithm>
#include <limits>

#include "support/Numbers.h"

namespace calibration {

double TypedNumber(const QString& text)
{
    return support::LeadingNumber(text);
}

int16_t RoundToInt16(double value)
{
    const int64_t whole = support::ToInt64Saturated(support::RoundHalfEven(value));
    return static_cast<int16_t>(std::clamp<int64_t>(whole, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

int32_t RoundToInt32(double value)
{
    const int64_t whole = support::ToInt64Saturated(support::RoundHalfEven(value));
    return static_cast<int32_t>(std::clamp<int64_t>(whole, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

QString TrimBlanks(const QString& text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' ')) ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' ')) --end;
    return text.mid(begin, end - begin);
}

}  // namespace calibration
