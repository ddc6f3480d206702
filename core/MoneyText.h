// The program's money text and the fee arithmetic behind the fee fields.
#pragma once

#include <QString>
#include <array>
#include <optional>

// The shortest general decimal text of a value, at most 15 significant digits, "." as the
// decimal point, no thousands separator, no trailing zeros: 2.4, 2, 0.39.
QString numberText(double value);

// The fee text of an amount: leading blanks by size (so the fee fields line up), the number
// text, and ".00" or "0" so that cents show: 2.4 -> ten blanks and "2.40".
QString MoneyText(double amount);

// A number as the user types it: blanks around it allowed, "." as the decimal point, an
// optional sign and exponent. Empty when the text is not a finite number.
std::optional<double> tryFeeNumber(const QString& text);
// The same, for stored values: throws engine::ConversionError
// ("'abc' is not a valid floating point value") when the text is not a number.
double toFeeNumber(const QString& text);

// The sum of the fee texts that read as numbers; the others count as nothing.
double feeSum(const std::array<QString, 4>& feeTexts);

// What leaving a fee field shows: the field's new text and the total's.
struct FormattedFee {
    QString field;
    QString total;
};
// fieldText: the text of the field being left, as typed. feeTexts: the four fee fields
// (postage, certified fee, restricted delivery, return receipt) as they stand, the field
// being left among them with its typed text. zerosOn: the Printing -> Zeros setting.
FormattedFee formatFeeTexts(const QString& fieldText, const std::array<QString, 4>& feeTexts, bool zerosOn);

// The postage for a weight in whole ounces: the first ounce at the postage rate, each
// further one at the additional-ounce rate, as number text (0.39, 0.24, 3 -> "0.87").
QString postageForWeight(double postage, double addOunce, int ounces);
