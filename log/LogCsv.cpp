#include "log/LogCsv.h"

#include "core/ReportColumns.h"
#include "engine/Query.h"

#include <QHash>
#include <QLocale>
#include <QSaveFile>
#include <vector>

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

    // The keys first, in the rows' order, then the rows a thousand at a time: the log is
    // never held by one long read, so other workstations print while a large file is written.
    std::vector<qint64> keys;
    engine::Query query;
    query.setFolder(rows.folder.toStdString());
    query.setSql(rows.sql("LID").toStdString());
    for (query.open(); !query.eof(); query.next())
        keys.push_back(query.asInteger(query.fieldName(0)));
    query.close();

    const QStringList& names = columns();
    const qsizetype lid = names.indexOf("LID");
    constexpr size_t Slice = 1000;
    qint64 written = 0;
    QHash<qint64, QStringList> slice;
    for (size_t from = 0; from < keys.size(); from += Slice) {
        const size_t to = std::min(keys.size(), from + Slice);
        QStringList wanted;
        for (size_t i = from; i < to; ++i)
            wanted << QString::number(keys[i]);
        slice.clear();
        query.setSql(
            ("select " + names.join(", ") + " from Log37 where LID in (" + wanted.join(", ") + ")").toStdString());
        for (query.open(); !query.eof(); query.next()) {
            QStringList values;
            values.reserve(names.size());
            for (int i = 0; i < names.size(); ++i) {
                const QString text = QString::fromStdString(query.asString(i));
                values << (kFees.contains(names[i]) ? feeNumber(text) : text);
            }
            slice.insert(values[lid].toLongLong(), values);
        }
        query.close();
        // A row deleted meanwhile is left out.
        for (size_t i = from; i < to; ++i) {
            const auto it = slice.constFind(keys[i]);
            if (it == slice.constEnd())
                continue;
            line(*it);
            ++written;
        }
        if (out.size() > (1 << 20)) {
            file.write(out);
            out.clear();
        }
        if (progress && !progress(written)) {
            file.cancelWriting();
            return -1;
        }
    }
    file.write(out);
    if (!file.commit())
        throw engine::EngineError("Cannot write " + path.toStdString() + ": " + file.errorString().toStdString());
    if (progress)
        progress(written);
    return written;
}

} // namespace logcsv
