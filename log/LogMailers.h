// Finding, editing and tracking logged mailers: the Mailer Numbers a user may type or scan,
// the conditions and statements on Log37, and the fee arithmetic of the Edit Mailer dialog.
#pragma once

#include "core/MoneyText.h"

#include <QString>
#include <array>
#include <optional>

namespace logmailers {

// A typed or scanned Mailer Number with its blanks removed: 20 digits (earlier editions) or
// 22 digits (this program). Nothing for anything else.
std::optional<QString> mailerNumberDigits(const QString& typed);

// The search of the log window, kept for the run of the program; the text is emptied
// whenever a log window opens, the mode survives.
struct SearchState {
    enum class Mode { None, ByNumber, ByName };
    Mode mode = Mode::None;
    QString text;
};
inline SearchState logSearch;

// The row's Mailer Number, in whatever form the log stores it (grouped or not), is the digits.
QString numberCondition(const QString& digits);
// The text occurs, letter case counting, in one of the recipient's seven columns.
QString nameCondition(const QString& text);

// Rows still waiting for their receipt, by Mailer Number digits and by addressee text.
QString trackByNumberSql(const QString& digits);
QString trackByNameSql(const QString& text);
QString setResultSql(const QString& result, qint64 lid);

// The seven values the Edit Mailer dialog receives and returns.
struct MailerEdit {
    QString postage, certified, returnFee, restricted;
    bool wishRest = false;
    QString comment, result;
    bool operator==(const MailerEdit&) const = default;
};
// Writes the edit into the row, with the total recomputed from the four fees.
QString editMailerSql(const MailerEdit& edit, qint64 lid);
// The total the log keeps for four fees: money text of their sum, without leading blanks.
QString feeTotalText(const MailerEdit& edit);

// Leaving a fee edit of the Edit Mailer dialog: the edit's new text (money text of its value,
// or a single blank for a blank, unreadable or negative value) and the total, money text of
// the sum of the four fee texts that read as numbers.
FormattedFee FormatEditFee(const QString& fieldText, const std::array<QString, 4>& feeTexts);

} // namespace logmailers
