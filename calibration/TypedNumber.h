#pragma once
// How the meter dialogs read a typed number: the leading decimal number of the text (0 when
// there is none), rounded halves-to-even for whole-number fields.
#include <QString>
#include <cstdint>
#include <optional>

namespace calibration {

double TypedNumber(const QString& text);
// Rounded and clamped into the field's type; a value that passed its range test always fits.
int16_t RoundToInt16(double value);
int32_t RoundToInt32(double value);
// Text without leading and trailing blanks.
QString TrimBlanks(const QString& text);

// The numeric fields of the meter dialogs, each with the range that Ok accepts.
enum class MeterField { Center, RefCenter, Intensity, RefDutyCycle, Distortion, BlackLevel, DutyCycle };
// The typed number when it lies inside the field's range; nothing when Ok keeps the old value.
std::optional<double> AcceptedValue(MeterField field, const QString& text);

}  // namespace calibration
