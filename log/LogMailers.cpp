#include "log/LogMailers.h"

#include "core/MailerNumber.h"
#include "log/LogFilter.h"

#include <QRegularExpression>
#include <QStringList>

namespace logmailers {

using logfilter::q;

namespace {

const char* const kToColumns[] = {"ToAddress1", "ToAddress2", "ToAddress3", "ToAddress4", "ToCity", "ToState", "ToZip"};

} // namespace

std::optional<QString> mailerNumberDigits(const QString& typed)
{
    static const QRegularExpression digits("^(\\d{20}|\\d{22})$");
    QString text = typed;
    text.remove(' ');
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text;
}

QString numberCondition(const QString& digits)
{
    // The log holds a number grouped (single prints, earlier editions' imports) or as bare
    // digits (batch rows printed later, some imports); blanks removed, every form compares
    // equal to the typed digits, and a 22-digit number never to a 20-digit one.
    return "(replace(MailerNum, ' ', '') = " + q(digits) + ")";
}

QString nameCondition(const QString& text)
{
    QStringList tests;
    for (const char* column : kToColumns)
        tests << QString("(instr(%1, %2) > 0)").arg(column, q(text));
    return "(" + tests.join(" or ") + ")";
}

QString trackByNumberSql(const QString& digits)
{
    return "select LID, ToAddress1 from Log37 where " + numberCondition(digits) + " and Result = " + q("None");
}

QString trackByNameSql(const QString& text)
{
    const QString t = q("%" + text + "%");
    QStringList tests;
    for (const char* column : kToColumns)
        tests << QString("(%1 like %2)").arg(column, t);
    return "select LID, MailerNum, ToAddress1, ToAddress2, ToAddress3, ToAddress4, ToCity, ToState, ToZip from Log37 "
           "where (" +
           tests.join(" or ") + ")" + " and Result = " + q("None");
}

QString setResultSql(const QString& result, qint64 lid)
{
    return "update Log37 set RESULT = " + q(result) + " where LID = " + QString::number(lid);
}

QString feeTotalText(const MailerEdit& edit)
{
    return MoneyText(feeSum({edit.postage, edit.certified, edit.returnFee, edit.restricted})).trimmed();
}

QString editMailerSql(const MailerEdit& edit, qint64 lid)
{
    return "update Log37 set POSTAGE = " + q(edit.postage) + ", " + "CERTIFIED = " + q(edit.certified) + ", " +
           "RETURN = " + q(edit.returnFee) + ", " + "RESTRICTED = " + q(edit.restricted) + ", " +
           (edit.wishRest ? "WISHREST = True" : "WISHREST = False") + ", " + "COMMENT = " + q(edit.comment) + ", " +
           "RESULT = " + q(edit.result) + ", " + "TOTAL = " + q(feeTotalText(edit)) +
           " where LID = " + QString::number(lid);
}

FormattedFee FormatEditFee(const QString& fieldText, const std::array<QString, 4>& feeTexts)
{
    FormattedFee out;
    out.total = MoneyText(feeSum(feeTexts));
    const auto value = tryFeeNumber(fieldText);
    out.field = value && *value >= 0 ? MoneyText(*value) : QString(" ");
    return out;
}

} // namespace logmailers
