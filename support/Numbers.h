#pragma once
// Number and date helpers shared by every subsystem.
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace support {

// The leading decimal number of a text: leading blanks skipped, an optional sign,
// digits with an optional decimal point, an optional exponent. 0 when there is none. A number
// too large to hold is an infinity of its sign, outside every range; one too small to hold is 0.
double LeadingNumber(const QString& text);

// A stored number: the whole text (blanks around it aside) must be a decimal number as the
// program writes one ("12", "-3.5", "1e3"); any other text, "12pt" included, is 0.
double StoredNumber(const QString& text);

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double value);

// Clamps a rounded value into a whole-number type without undefined behaviour.
int64_t ToInt64Saturated(double value);

// The "##0." ... "##0.000" formats: at least one digit before the point, no thousands
// separator, rounding halves away from zero, with 0 digits the text ends in the point.
QString FormatValue(double value, int digits);

// The number format text for a count of decimals: "##0.", "##0.0", "##0.00", "##0.000".
QString NumberFormatText(int digits);
// The decimals of a number format text (the inverse of NumberFormatText); 2 for any other text.
int DigitsOfFormat(const QString& format);

// "mm/dd/yyyy Hh:Mm:Ss": 07/04/2002 14:05:09.
QString FormatDateTime(const QDateTime& when);

// A double the way a print-to-file statement writes it: a blank for the sign place when not
// negative, at most 15 significant digits in general form, then one trailing blank.
QString FormatPrintedDouble(double value);

}  // namespace support
