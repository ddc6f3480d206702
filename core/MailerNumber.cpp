#include "core/MailerNumber.h"

#include "engine/Engine.h"

#include <QStringList>
#include <algorithm>

namespace {

constexpr int CustomerIdLength = 9;
constexpr int SerialLength = 7;
constexpr int SerialCount = 10000000; // "0000000" to "9999999"

// Zeros for anything that is not a plain number (a sign or a blank, which a looser
// whole-number reading accepts, would otherwise end up among the 22 digits); padded on
// the left, cut on the right.
QString fittedDigits(const QString& text, int length)
{
    const QString digits = IsPlainNumber(text) ? text : QString(length, '0');
    return digits.rightJustified(length, '0').left(length);
}

QChar gs1CheckDigit(const QString& body)
{
    // Weight 3 on the rightmost digit, then alternately 1 and 3 towards the left.
    int total = 0;
    for (int i = 0; i < body.size(); ++i) {
        const int digit = body[i].digitValue();
        total += (body.size() - 1 - i) % 2 == 0 ? 3 * digit : digit;
    }
    return QChar('0' + (10 - total % 10) % 10);
}

} // namespace

bool IsPlainNumber(const QString& text)
{
    return engine::tryInt32(text.toStdString()).has_value() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= '0' && c <= '9'; });
}

QString CustomerIdWithoutDashes(const QString& customerId)
{
    return QString(customerId).remove('-');
}

QString MailerCustomerId(const QString& customerId)
{
    return fittedDigits(CustomerIdWithoutDashes(customerId), CustomerIdLength);
}

QString BuildMailerNumber(const QString& customerId, const QString& serial, const QString& kind)
{
    const QString prefix = kind == "F" ? "92909" : "92147";
    const QString body = prefix + MailerCustomerId(customerId) + fittedDigits(serial, SerialLength);
    return body + gs1CheckDigit(body);
}

QString AdvanceSerial(const QString& serial, SerialDirection direction)
{
    const int value = engine::toInt32(serial.toStdString());
    const int step = direction == SerialDirection::Up ? 1 : -1;
    // Both ends wrap: "9999999" up is "0000000", "0000000" down is "9999999". Taking the
    // step modulo the serial range also keeps an odd text ("0", "-5") within seven digits.
    const long long next = ((static_cast<long long>(value) + step) % SerialCount + SerialCount) % SerialCount;
    return QString::number(next).rightJustified(SerialLength, '0');
}

SerialDirection CountingDirection(bool barCodes, bool increment)
{
    return barCodes || increment ? SerialDirection::Up : SerialDirection::Down;
}

QString GroupMailerNumber(const QString& number)
{
    QStringList groups;
    for (int i = 0; i < number.size(); i += 4)
        groups << number.mid(i, 4);
    return groups.join(' ');
}

bool SplitMailerNumber(const QString& number, QString& customerId, QString& serial)
{
    const QString id = number.mid(5, CustomerIdLength);
    const QString serialDigits = number.mid(5 + CustomerIdLength, SerialLength);
    if (number.size() != 22 || BuildMailerNumber(id, serialDigits, "T") != number)
        return false;
    customerId = id;
    serial = serialDigits;
    return true;
}
