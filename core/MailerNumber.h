// The 22-digit Mailer Number: service prefix, nine-digit Customer ID, seven-digit serial
// and a GS1 modulo-10 check digit. Pure text functions; nothing here touches a table.
#pragma once

#include <QString>

enum class SerialDirection { Up, Down };

// Digits only, and a whole number within 32 bits: no sign, no blanks.
bool IsPlainNumber(const QString& text);

// Older data wrote Customer IDs as "00-000-0000"; every use drops the dashes.
QString CustomerIdWithoutDashes(const QString& customerId);

// The nine digits a Customer ID takes in a Mailer Number: dashes dropped, zeros for anything
// that is not a plain whole number within 32 bits, padded on the left, cut on the right.
QString MailerCustomerId(const QString& customerId);

// kind "F" gives the return-receipt number (prefix "92909"); any other kind, empty
// included, the mailer's own number (prefix "92147"). A Customer ID or serial that is not
// a plain whole number within 32 bits counts as zeros; longer texts keep their leading
// digits.
QString BuildMailerNumber(const QString& customerId, const QString& serial, const QString& kind);

// The next seven-digit serial: "9999999" up gives "0000000", "0000000" down "9999999".
// Throws engine::ConversionError when the serial is not a whole number.
QString AdvanceSerial(const QString& serial, SerialDirection direction);

// With bar codes on the serial always counts up; with them off, as the counter says.
SerialDirection CountingDirection(bool barCodes, bool increment);

// Groups of four digits joined by blanks: "9214712345678900000015" -> "9214 7123 4567 8900 0000 15";
// the 20-digit numbers of earlier editions give five groups.
QString GroupMailerNumber(const QString& number);

// The Customer ID and serial of a mailer's own 22-digit number (prefix "92147", check
// digit right), as typed from a pre-printed form; false for anything else.
bool SplitMailerNumber(const QString& number, QString& customerId, QString& serial);
