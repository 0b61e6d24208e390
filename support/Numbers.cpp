#include "support/Numbers.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <algorithm>
#include <limits>
#include <optional>
#include <string>

namespace support {

namespace {
// Of a number out of the range of a double, whether it is too large rather than too small: its
// first significant digit stands at a positive power of ten.
bool TooLarge(const char* first, const char* last)
{
    const char* e = std::find_if(first, last, [](char c) { return c == 'e' || c == 'E'; });
    long power = 0;
    if (e != last) std::from_chars(e + 1 + (e[1] == '+'), last, power);
    const char* point = std::find(first, e, '.');
    const char* digit = std::find_if(first, e, [](char c) { return c >= '1' && c <= '9'; });
    if (digit == e) return false;
    return power + (digit < point ? point - digit - 1 : point - digit) > 0;
}

// Reads a plain decimal number ("-12.5e3") with the point as the decimal separator whatever the
// C library's locale says (Qt sets it from the environment at start). A number too large to hold
// ("1e999", four hundred nines) is an infinity, one too small to hold ("1e-999") is 0; text that
// is no such number gives nothing.
std::optional<double> ParseDecimal(const std::string& text)
{
    double v = 0.0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first < last && *first == '+') {  // from_chars takes no plus sign
        ++first;
        if (first < last && *first == '-') return std::nullopt;
    }
    const auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
    if (ec == std::errc::result_out_of_range && ptr == last)
        return std::copysign(TooLarge(first, last) ? std::numeric_limits<double>::infinity() : 0.0,
                             text.front() == '-' ? -1.0 : 1.0);
    if (ec != std::errc() || ptr != last || !std::isfinite(v)) return std::nullopt;
    return v;
}
}  // namespace

double LeadingNumber(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    const char* s = bytes.constData();
    const char* end = s + bytes.size();
    while (s < end && (*s == ' ' || *s == '\t')) ++s;

    std::string num;
    if (s < end && (*s == '+' || *s == '-')) num.push_back(*s++);
    bool digits = false;
    while (s < end && *s >= '0' && *s <= '9') {
        num.push_back(*s++);
        digits = true;
    }
    if (s < end && *s == '.') {
        num.push_back(*s++);
        while (s < end && *s >= '0' && *s <= '9') {
            num.push_back(*s++);
            digits = true;
        }
    }
    if (!digits) return 0.0;
    if (s < end && (*s == 'e' || *s == 'E')) {
        const char* e = s + 1;
        std::string expo = "e";
        if (e < end && (*e == '+' || *e == '-')) expo.push_back(*e++);
        bool expDigits = false;
        while (e < end && *e >= '0' && *e <= '9' && expo.size() < 8) {
            expo.push_back(*e++);
            expDigits = true;
        }
        if (expDigits) {
            if (const auto withExponent = ParseDecimal(num + expo)) return *withExponent;
        }
    }
    return ParseDecimal(num).value_or(0.0);
}

double StoredNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    const std::string bytes = trimmed.toStdString();
    // Only the forms a number is written in: sign, digits, point, exponent.
    for (char c : bytes)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E')) return 0.0;
    const double v = ParseDecimal(bytes).value_or(0.0);
    return std::isfinite(v) ? v : 0.0;
}

double RoundHalfEven(double value)
{
    if (!std::isfinite(value)) return 0.0;
    return std::nearbyint(value);  // the default rounding mode rounds halves to even
}

int64_t ToInt64Saturated(double value)
{
    if (!std::isfinite(value)) return 0;
    if (value >= 9.2e18) return std::numeric_limits<int64_t>::max();
    if (value <= -9.2e18) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value);
}

QString FormatValue(double value, int digits)
{
    if (digits < 0) digits = 0;
    if (!std::isfinite(value)) value = 0.0;
    const bool negative = value < 0;
    // Fifteen significant digits first, then decimal rounding, so that 2.675 rounds as typed.
    // "d.dddddddddddddde+XX", with the point whatever the C library's locale says.
    char buf[64];
    const auto written = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    std::string mant;
    mant.push_back(buf[0]);
    mant.append(buf + 2, 14);
    int exponent = 0;
    const char* e = std::find(buf, written.ptr, 'e') + 1;
    std::from_chars(e + (*e == '+'), written.ptr, exponent);

    const int keep = exponent + 1 + digits;  // significant digits that stay
    std::string kept;
    bool roundUp = false;
    if (keep >= 0) {
        for (int i = 0; i < keep; ++i) kept.push_back(i < 15 ? mant[i] : '0');
        if (keep < 15) roundUp = mant[keep] >= '5';
    }
    if (roundUp) {
        int i = static_cast<int>(kept.size()) - 1;
        while (i >= 0 && kept[i] == '9') kept[i--] = '0';
        if (i >= 0) ++kept[i];
        else kept.insert(kept.begin(), '1');
    }
    // kept is now the whole number N with value = N * 10^-digits
    if (static_cast<int>(kept.size()) < digits + 1) kept.insert(0, digits + 1 - kept.size(), '0');
    std::string intPart = kept.substr(0, kept.size() - digits);
    std::string frac = kept.substr(kept.size() - digits);
    std::size_t nz = intPart.find_first_not_of('0');
    intPart = nz == std::string::npos ? "0" : intPart.substr(nz);
    const bool zero = intPart == "0" && frac.find_first_not_of('0') == std::string::npos;
    std::string out;
    if (negative && !zero) out.push_back('-');
    out += intPart;
    out.push_back('.');
    out += frac;
    return QString::fromLatin1(out.c_str());
}

QString NumberFormatText(int digits)
{
    switch (digits) {
    case 0: return QStringLiteral("##0.");
    case 1: return QStringLiteral("##0.0");
    case 3: return QStringLiteral("##0.000");
    default: return QStringLiteral("##0.00");
    }
}

int DigitsOfFormat(const QString& format)
{
    for (int d = 0; d <= 3; ++d)
        if (format == NumberFormatText(d)) return d;
    return 2;
}

QString FormatDateTime(const QDateTime& when)
{
    return when.toString(QStringLiteral("MM/dd/yyyy HH:mm:ss"));
}

QString FormatPrintedDouble(double value)
{
    QString text = QString::number(value, 'g', 15);
    const QChar point = QLocale::system().decimalPoint().at(0);
    if (point != QLatin1Char('.')) text.replace(QLatin1Char('.'), point);
    if (!(value < 0)) text.prepend(QLatin1Char(' '));
    text.append(QLatin1Char(' '));
    return text;
}

}  // namespace support
