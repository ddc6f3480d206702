// The log as a spreadsheet file: one header row, then one row per mailer with every log
// column; UTF-8 with a byte-order mark, dates and times in ISO form, fees as plain numbers,
// fields quoted as RFC 4180 has it. No widgets, so the file is tested directly.
#pragma once

#include "log/LogReport.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace logcsv {

// The Log37 columns in the file's order, and the heading of each.
const QStringList& columns();
QStringList headings();

// One field as RFC 4180 writes it: in double quotes, inner quotes doubled, when it holds a
// comma, a quote, a line break or blanks at either end; else as it is.
QString field(const QString& value);

// A fee as a number with two decimals ("4.85"); blank stays blank; text that is no number is
// kept as it is, so nothing is lost.
QString feeNumber(const QString& text);

// Writes the rows to path through a temporary file renamed into place, so a file of that
// name is whole or left as it was. progress is told the rows written so far every thousand
// rows and may return false to stop: nothing is written then. Returns the rows written, or
// -1 when stopped. Throws engine::EngineError when the file cannot be written.
qint64 exportRows(const LogRowSelection& rows, const QString& path, const std::function<bool(qint64)>& progress = {});

} // namespace logcsv
