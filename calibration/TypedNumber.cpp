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
    return static_cast<int16_t>(
        std::clamp<int64_t>(whole, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

int32_t RoundToInt32(double value)
{
    const int64_t whole = support::ToInt64Saturated(support::RoundHalfEven(value));
    return static_cast<int32_t>(
        std::clamp<int64_t>(whole, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

QString TrimBlanks(const QString& text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' ')) ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' ')) --end;
    return text.mid(begin, end - begin);
}

std::optional<double> AcceptedValue(MeterField field, const QString& text)
{
    const double v = TypedNumber(text);
    bool inside = false;
    switch (field) {
    case MeterField::Center: inside = v > 80 && v < 140; break;
    case MeterField::RefCenter: inside = v > 130 && v < 155; break;
    case MeterField::Intensity: inside = v > 0 && v <= 255; break;
    case MeterField::RefDutyCycle: inside = v > 0 && v <= 300; break;
    case MeterField::Distortion: inside = v > 0.5 && v < 1.5; break;
    case MeterField::BlackLevel: inside = v > 0 && v <= 65535; break;
    case MeterField::DutyCycle: inside = v >= 0 && v <= 300; break;
    }
    if (!inside) return std::nullopt;
    return v;
}

}  // namespace calibration
