#include "log/LogCsv.h"

#include "engine/Query.h"
#include "log/ReportColumns.h"

#include <QLocale>
#include <QSaveFile>

namespace logcsv {

namespace {

const QStringList kFees{"Postage", "Certified", "Return", "Restricted", "Total"};

// Headings of the columns the log's field table does not name.
QString extraHeading(const QString& column)
{
    if (column == "WishRest")
        return "Restricted Delivery Requested";
    if (column == "LID")
        return "Log ID";
    return column;
}

} // namespace

const QStringList& columns()
{
    // The log's field table in its order, with the restricted-delivery wish beside the fee
    // and the row key last.
    static const QStringList list = [] {
        QStringList out;
        for (const ReportColumnEntry& e : reportColumnTable()) {
            out << QLatin1String(e.logColumn);
            if (out.last() == "Restricted")
                out << "WishRest";
        }
        out << "LID";
        return out;
    }();
    return list;
}

QStringList headings()
{
    QStringList out;
    for (const QString& column : columns()) {
        const ReportColumnEntry* entry = reportColumnOfField(column);
        out << (entry ? reportHeading(QLatin1String(entry->entryText)) : extraHeading(column));
    }
    return out;
}

QString field(const QString& value)
{
    const bool quote = value.contains(',') || value.contains('"') || value.contains('\n') || value.contains('\r') ||
                       value.startsWith(' ') || value.endsWith(' ');
    if (!quote)
        return value;
    QString doubled = value;
    doubled.replace("\"", "\"\"");
    return "\"" + doubled + "\"";
}

QString feeNumber(const QString& text)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    if (t.startsWith('$'))
        t = t.mid(1).trimmed();
    bool ok = false;
    const double amount = QLocale::c().toDouble(t, &ok);
    return ok ? QString::number(amount, 'f', 2) : text;
}

qint64 exportRows(const LogRowSelection& rows, const QString& path, const std::function<bool(qint64)>& progress)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw engine::EngineError("Cannot write " + path.toStdString() + ": " + file.errorString().toStdString());
    QByteArray out("\xEF\xBB\xBF");
    auto line = [&out](const QStringList& fields) {
        QStringList quoted;
        quoted.reserve(fields.size());
        for (const QString& f : fields)
            quoted << field(f);
        out += quoted.join(',').toUtf8();
        out += "\r\n";
    };
    line(headings());

    const QStringList& names = columns();
    QStringList select;
    for (const QString& name : names)
        select << name;
    engine::Query query;
    query.setFolder(rows.folder.toStdString());
    query.setSql(rows.sql(select.join(", ")).toStdString());
    qint64 written = 0;
    QStringList values;
    values.reserve(names.size());
    for (query.open(); !query.eof(); query.next()) {
        values.clear();
        for (int i = 0; i < names.size(); ++i) {
            const QString text = QString::fromStdString(query.asString(i));
            values << (kFees.contains(names[i]) ? feeNumber(text) : text);
        }
        line(values);
        ++written;
        if (out.size() > (1 << 20)) {
            if (file.write(out) != out.size())
                break;
            out.clear();
        }
        if (progress && written % 500 == 0 && !progress(written)) {
            query.close();
            file.cancelWriting();
            return -1;
        }
    }
    query.close();
    file.write(out);
    if (!file.commit())
        throw engine::EngineError("Cannot write " + path.toStdString() + ": " + file.errorString().toStdString());
    if (progress)
        progress(written);
    return written;
}

} // namespace logcsv
