// Number parsing, rounding and formatting with arbitrary texts and doubles.
// Input: 8 bytes of a double, one byte of decimals, then a text (UTF-8 and Latin-1 views).
#include <QLocale>
#include <QString>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "fuzz/FuzzSupport.h"
#include "support/Numbers.h"

namespace {

double ParseC(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return std::strtod(bytes.constData(), nullptr);
}

bool HasAsciiDigit(const QString& text)
{
    for (QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) return true;
    return false;
}

void CheckLeadingNumber(const QString& text)
{
    const double v = support::LeadingNumber(text);
    FUZZ_CHECK(std::isfinite(v));
    if (!HasAsciiDigit(text)) FUZZ_CHECK(v == 0.0);
    // Leading blanks are passed over.
    const double padded = support::LeadingNumber(QStringLiteral(" \t ") + text);
    FUZZ_CHECK(padded == v);
    // What follows the text cannot extend a number that has ended, nor start one.
    FUZZ_CHECK(support::LeadingNumber(text + QStringLiteral("x9")) == v);
}

void CheckRounding(double v)
{
    const double r = support::RoundHalfEven(v);
    if (!std::isfinite(v)) {
        FUZZ_CHECK(r == 0.0);
    } else {
        FUZZ_CHECK(std::isfinite(r));
        FUZZ_CHECK(r == std::floor(r));
        const double gap = std::fabs(r - v);
        FUZZ_CHECK(gap <= 0.5);
        if (gap == 0.5) FUZZ_CHECK(std::fmod(r, 2.0) == 0.0);
    }
    const int64_t whole = support::ToInt64Saturated(v);
    if (std::isfinite(v) && std::fabs(v) < 9e18) FUZZ_CHECK(std::fabs(double(whole) - std::trunc(v)) <= 1024.0);
    if (std::isfinite(v) && v >= 9.3e18) FUZZ_CHECK(whole == std::numeric_limits<int64_t>::max());
    if (std::isfinite(v) && v <= -9.3e18) FUZZ_CHECK(whole == std::numeric_limits<int64_t>::min());
}

void CheckFormatValue(double v, int digits)
{
    const QString text = support::FormatValue(v, digits);
    FUZZ_CHECK(text.count(QLatin1Char('.')) == 1);
    const int shown = digits < 0 ? 0 : digits;
    FUZZ_CHECK(text.size() - text.indexOf(QLatin1Char('.')) - 1 == shown);
    FUZZ_CHECK(text.indexOf(QLatin1Char('.')) >= 1);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        FUZZ_CHECK((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') ||
                   (i == 0 && c == QLatin1Char('-')));
    }
    const double back = ParseC(text);
    // The program reads its own output back the same way as the C library does (a text
    // beyond the range of a double, which the C library reads as infinite, reads as 0).
    FUZZ_CHECK(support::LeadingNumber(text) == (std::isfinite(back) ? back : 0.0));
    const double expected = std::isfinite(v) ? v : 0.0;
    if (std::fabs(expected) < 1e15 && shown <= 15) {
        const double tolerance = 0.5 * std::pow(10.0, -shown) + 1e-12 * std::fabs(expected);
        FUZZ_CHECK(std::fabs(back - expected) <= tolerance);
    }
}

void CheckPrintedDouble(double v)
{
    QString text = support::FormatPrintedDouble(v);
    FUZZ_CHECK(text.size() >= 3);
    FUZZ_CHECK(text.endsWith(QLatin1Char(' ')));
    FUZZ_CHECK(text.at(0) == QLatin1Char(' ') || text.at(0) == QLatin1Char('-'));
    FUZZ_CHECK(text.at(1) != QLatin1Char('-') && text.at(1) != QLatin1Char(' '));
    if (!std::isfinite(v)) return;
    FUZZ_CHECK((text.at(0) == QLatin1Char('-')) == (v < 0));
    const QString point = QLocale::system().decimalPoint();
    if (point != QLatin1String(".")) text.replace(point, QStringLiteral("."));
    const double back = ParseC(text.trimmed());
    if (std::isfinite(back))
        FUZZ_CHECK(std::fabs(back - v) <= 1e-14 * std::fabs(v));
    else  // fifteen digits round the very largest doubles up beyond the range
        FUZZ_CHECK(std::fabs(v) > 1.79769313486231e308);
    // At most fifteen significant digits.
    int significant = 0;
    const QString mantissa = text.trimmed().section(QLatin1Char('e'), 0, 0);
    bool leading = true;
    for (QChar c : mantissa) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) continue;
        if (leading && c == QLatin1Char('0')) continue;
        leading = false;
        ++significant;
    }
    FUZZ_CHECK(significant <= 15);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    double value = 0.0;
    int digits = 2;
    size_t used = 0;
    if (size >= sizeof(double) + 1) {
        std::memcpy(&value, data, sizeof(double));
        digits = static_cast<int8_t>(data[sizeof(double)]);
        used = sizeof(double) + 1;
    }
    const QByteArray rest = fuzzing::Bytes(data + used, size - used);

    CheckLeadingNumber(QString::fromUtf8(rest));
    CheckLeadingNumber(QString::fromLatin1(rest));

    const double parsed = support::LeadingNumber(QString::fromLatin1(rest));
    CheckRounding(value);
    CheckRounding(parsed);

    // A number written with all its digits is read back exactly.
    if (std::isfinite(value)) {
        const double back = support::LeadingNumber(QString::number(value, 'g', 17));
        FUZZ_CHECK(back == value);
    }

    for (int d = 0; d <= 3; ++d) {
        CheckFormatValue(value, d);
        CheckFormatValue(parsed, d);
    }
    if (digits < -1 || digits > 3) CheckFormatValue(value, digits % 20);

    CheckPrintedDouble(value);
    CheckPrintedDouble(parsed);
    return 0;
}
