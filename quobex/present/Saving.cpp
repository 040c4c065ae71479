#include "quobex/present/Saving.h"

#include "platform/CodePage.h"

#include <charconv>
#include <cmath>

namespace quobex {

namespace {

// A finite number as its decimal digits: value = 0.d1d2d3... x 10^exponent.
// Rounding works on these digits, half away from zero, so a figure that
// reads as an exact tie in decimal (0.125) rounds up as a user expects.
struct Decimal {
    bool negative = false;
    QByteArray digits; // no leading zeros; empty for zero
    int exponent = 0;

    bool isZero() const { return digits.isEmpty(); }
};

Decimal toDecimal(double value)
{
    Decimal d;
    if (value == 0 || !std::isfinite(value))
        return d;
    d.negative = value < 0;
    // 17 significant digits hold every double exactly enough for rounding
    // to 15 or fewer.
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 16);
    const QByteArray text(buf, result.ptr - buf);
    const qsizetype e = text.indexOf('e');
    d.digits = text.left(e);
    d.digits.remove(1, 1); // the point after the first digit
    d.exponent = text.mid(e + 1).toInt() + 1;
    while (d.digits.endsWith('0'))
        d.digits.chop(1);
    return d;
}

// Keeps `count` significant digits (none or fewer: only a carry can remain).
Decimal rounded(Decimal d, int count)
{
    if (d.isZero() || d.digits.size() <= count)
        return d;
    if (count < 0) {
        d.digits.clear();
        return d;
    }
    const bool up = d.digits.at(count) >= '5';
    d.digits.truncate(count);
    if (up) {
        int i = count - 1;
        while (i >= 0 && d.digits.at(i) == '9')
            d.digits[i--] = '0';
        if (i >= 0) {
            d.digits[i] = char(d.digits.at(i) + 1);
        } else {
            d.digits.prepend('1');
            ++d.exponent;
        }
    }
    while (d.digits.endsWith('0'))
        d.digits.chop(1);
    return d;
}

QString sign(const Decimal& d)
{
    return d.negative && !d.isZero() ? QStringLiteral("-") : QString();
}

QString digitsFrom(const Decimal& d, int first, int count)
{
    QString out;
    for (int i = first; i < first + count; ++i)
        out += i >= 0 && i < d.digits.size() ? QChar::fromLatin1(d.digits.at(i)) : QLatin1Char('0');
    return out;
}

QString generalText(const Decimal& d, int precision, const QString& separator)
{
    if (d.isZero())
        return QStringLiteral("0");
    const int count = int(d.digits.size());
    QString out = sign(d);
    if (d.exponent > precision || d.exponent < -4) {
        out += QChar::fromLatin1(d.digits.at(0));
        if (count > 1)
            out += separator + digitsFrom(d, 1, count - 1);
        const int exponent = d.exponent - 1;
        out += QLatin1Char('E');
        if (exponent < 0)
            out += QLatin1Char('-');
        out += QString::number(std::abs(exponent));
    } else if (d.exponent > 0) {
        out += digitsFrom(d, 0, d.exponent);
        if (count > d.exponent)
            out += separator + digitsFrom(d, d.exponent, count - d.exponent);
    } else {
        out += QLatin1Char('0') + separator + digitsFrom(d, d.exponent, count - d.exponent);
    }
    return out;
}

QByteArray stripCurrency(const QString& price)
{
    QByteArray text = platform::CodePage::fromUnicode(price);
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (static_cast<unsigned char>(c)) {
        case ' ':
        case '$':
        case 'C':
        case 'D':
        case 'E':
        case 'N':
        case 'R':
        case 'U':
        case 0xA3: // the pound sign
            break;
        case ',':
            out.append('.');
            break;
        default:
            out.append(c);
        }
    }
    return out;
}

} // namespace

bool ParsePlainNumber(const QByteArray& text, double* value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto digitsAt = [&](qsizetype from) {
        qsizetype j = from;
        while (j < n && text.at(j) >= '0' && text.at(j) <= '9')
            ++j;
        return j - from;
    };
    qsizetype start = 0;
    if (i < n && (text.at(i) == '+' || text.at(i) == '-')) {
        if (text.at(i) == '+')
            start = 1; // from_chars takes no plus sign
        ++i;
    }
    qsizetype whole = digitsAt(i);
    i += whole;
    qsizetype fraction = 0;
    if (i < n && text.at(i) == '.') {
        ++i;
        fraction = digitsAt(i);
        i += fraction;
    }
    if (whole + fraction == 0)
        return false;
    if (i < n && (text.at(i) == 'e' || text.at(i) == 'E')) {
        ++i;
        if (i < n && (text.at(i) == '+' || text.at(i) == '-'))
            ++i;
        const qsizetype exponent = digitsAt(i);
        if (exponent == 0)
            return false;
        i += exponent;
    }
    if (i != n)
        return false;
    double parsed = 0;
    const char* first = text.constData() + start;
    const char* last = text.constData() + n;
    const auto result = std::from_chars(first, last, parsed, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != last || !std::isfinite(parsed))
        return false;
    *value = parsed;
    return true;
}

QString FormatGeneral(double value, int precision, const QString& decimalSeparator)
{
    return generalText(rounded(toDecimal(value), precision), precision, decimalSeparator);
}

QString FormatPercent(double value, const QString& decimalSeparator)
{
    constexpr int kPrecision = 7;
    constexpr int kDecimals = 2;
    const Decimal exact = toDecimal(value);
    const Decimal d = rounded(exact, std::min(kPrecision, exact.exponent + kDecimals));
    if (d.exponent > kPrecision)
        return FormatGeneral(value, kPrecision, decimalSeparator);
    const QString whole = d.exponent > 0 ? digitsFrom(d, 0, d.exponent) : QStringLiteral("0");
    return sign(d) + whole + decimalSeparator + digitsFrom(d, d.exponent, kDecimals);
}

Saving ComputeSaving(const QString& listPrice, const QString& price, const QLocale& locale)
{
    double list = 0;
    double sale = 0;
    const bool listOk = ParsePlainNumber(stripCurrency(listPrice), &list);
    const bool saleOk = ParsePlainNumber(stripCurrency(price), &sale);

    double saving = listOk && saleOk ? list - sale : 0;
    if (!std::isfinite(saving))
        saving = 0;
    double percent = listOk && list != 0 ? saving * 100 / list : 0;
    if (!std::isfinite(percent))
        percent = 0;

    const QString separator = locale.decimalPoint();
    return {FormatGeneral(saving, 15, separator), FormatPercent(percent, separator)};
}

} // namespace quobex
