// Saved log filters as the tables may hold them (field code, operator and value, each any
// text): each line either is refused as a conversion error, or its condition is SQL that
// the engine runs on the log. A stored value never changes the statement.
#include "core/datamodule/Schemas.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "fuzz/FuzzSupport.h"
#include "log/LogFilter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string folder = [] {
        const std::string f = fuzz::workFolder().toStdString();
        engine::createTable(f, "Log37", schema::Log37);
        engine::createTable(f, "LogFiltersDetail", schema::LogFiltersDetail);
        return f;
    }();
    // Lines separated by a newline; the three texts of a line by a tab; the combination first.
    const QList<QByteArray> lines =
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split('\n');
    const QString combination = QString::fromUtf8(lines.value(0)).left(3);
    QList<logfilter::TFilterLineRec> recs;
    for (qsizetype i = 1; i < lines.size() && i < 8; ++i) {
        const QList<QByteArray> parts =
            fuzz::pieces(reinterpret_cast<const uint8_t*>(lines[i].constData()), lines[i].size(), '\t', 3);
        recs.push_back({QString::fromUtf8(parts[0]), QString::fromUtf8(parts[1]), QString::fromUtf8(parts[2])});
    }
    engine::Query q;
    q.setFolder(folder);
    for (const auto& line : recs) {
        (void)logfilter::lineCaption(line);
        // The statements that keep the line run as written.
        q.close();
        q.setSql(logfilter::insertLineSql("Fuzz", line).toStdString());
        q.execSql();
        q.close();
        q.setSql(logfilter::deleteLineSql("Fuzz", line).toStdString());
        q.execSql();
    }
    QString where;
    try {
        where = logfilter::whereClause(recs, combination == "OR" ? "OR" : "AND", QLocale::c());
    } catch (const engine::ConversionError&) {
        return 0;
    }
    q.close();
    q.setSql(logfilter::logSelectSql(where).toStdString());
    q.open(); // an engine error here is a statement the value has changed: a finding
    q.close();
    return 0;
}
