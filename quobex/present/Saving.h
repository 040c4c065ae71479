#pragma once

#include <QLocale>
#include <QString>

namespace quobex {

// The "You Save" figures of a product: list price minus price, and that
// difference as a percentage of the list price.
struct Saving {
    QString amount;  // general format, at most 15 significant digits: "5", "8.48", "-2.5"
    QString percent; // two decimals: "25.01", "0.00"
};

// Both prices are the store's formatted texts ("$19.99", "EUR 12,99",
// "CDN$ 5.00", "£7.50"). The currency marks are stripped and a decimal comma
// read as a point; a price that still does not read as a plain number, or a
// list price of 0, gives 0 and 0.00. The results use the decimal separator of
// `locale`.
Saving ComputeSaving(const QString& listPrice, const QString& price, const QLocale& locale);

// A decimal number with "." as its point whatever the user's regional
// settings: an optional sign, digits with an optional fraction, an optional
// exponent; nothing else (no thousands separators, no spaces).
bool ParsePlainNumber(const QByteArray& text, double* value);

// `value` the way the program has always shown a number: up to `precision`
// significant digits, no trailing zeros, exponent form only below 0.00001 or
// beyond `precision` integer digits.
QString FormatGeneral(double value, int precision, const QString& decimalSeparator);

// `value` rounded to two decimals (at most seven significant digits; from ten
// million on it falls back to the general form).
QString FormatPercent(double value, const QString& decimalSeparator);

} // namespace quobex
