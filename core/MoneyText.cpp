#include "core/MoneyText.h"

#include "engine/Engine.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>

QString numberText(double value)
{
    if (value == 0)
        value = 0; // no "-0"
    return QString::number(value, 'g', 15);
}

QString MoneyText(double amount)
{
    int blanks = 1;
    if (amount < 10)
        blanks = 10;
    else if (amount < 100)
        blanks = 8;
    else if (amount < 1000)
        blanks = 6;
    else if (amount < 10000)
        blanks = 5;
    else if (amount < 100000)
        blanks = 3;
    const QString number = numberText(amount);
    QString suffix;
    if (!number.contains('.'))
        suffix = ".00";
    else if (number.size() == 3)
        suffix = "0";
    return QString(blanks, ' ') + number + suffix;
}

std::optional<double> tryFeeNumber(const QString& text)
{
    static const QRegularExpression numberForm(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)");
    QString s = text.trimmed();
    if (!numberForm.match(s).hasMatch())
        return std::nullopt;
    if (s.startsWith('+'))
        s.remove(0, 1);
    // from_chars reads "." whatever the user's locale says.
    const QByteArray bytes = s.toLatin1();
    double value = 0;
    const auto [end, error] = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    if (error != std::errc() || end != bytes.constData() + bytes.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double toFeeNumber(const QString& text)
{
    if (auto value = tryFeeNumber(text))
        return *value;
    throw engine::ConversionError("'" + text.toStdString() + "' is not a valid floating point value");
}

double feeSum(const std::array<QString, 4>& feeTexts)
{
    double total = 0;
    for (const QString& fee : feeTexts)
        if (auto number = tryFeeNumber(fee))
            total += *number;
    return total;
}

FormattedFee formatFeeTexts(const QString& fieldText, const std::array<QString, 4>& feeTexts, bool zerosOn)
{
    double value = 0;
    bool invalid = false;
    if (fieldText.trimmed().isEmpty())
        invalid = !zerosOn;
    else if (auto number = tryFeeNumber(fieldText))
        value = *number;
    else
        invalid = true;

    const double total = feeSum(feeTexts);
    FormattedFee out;
    out.total = (!zerosOn && value == 0) ? QString() : MoneyText(total);
    out.field = (value >= 0 && !invalid) ? MoneyText(value) : QString(" ");
    return out;
}

QString postageForWeight(double postage, double addOunce, int ounces)
{
    return numberText(postage + (ounces - 1) * addOunce);
}
