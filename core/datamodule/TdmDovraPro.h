// The data module: the one owner of the long-lived table and query handles.
#pragma once

#include "engine/Query.h"
#include "engine/Table.h"

#include <QString>

struct Settings;

class TdmDovraPro {
public:
    static constexpr qint64 WholeCheckBytes = qint64(32) << 20;
    // Whether the start reads every page of a table (else TablePageScan does, after the start).
    static bool PagesReadAtStart(const QString& folder, const QString& tableName);

    TdmDovraPro();
    ~TdmDovraPro();

    struct EngineSettings {
        QString dateFormat = "MM/DD/YY";
        int decimals = 2;
    };
    // Every query of the program runs against the tables of one folder; the connection
    // records the program folder the engine was connected to.
    struct Connection {
        QString path;
        bool connected = false;
        void connect() { connected = true; }
        void disconnect() { connected = false; }
    };

    EngineSettings AdsSettings1;
    Connection AdsConnection1;
    engine::Query adsqZipCodes;
    engine::Table adstToAddress;
    engine::Query adsqToAddress;
    engine::Query adsqYourAddress;
    engine::Table adstMailerNum;
    engine::Table adstLog;
    engine::Query adsqLog;
    engine::Query adsqLog2;
    QString reportProjectFile; // the report layouts' project file beside the program

    // Creates the table from its definition string, then whatever the table's name calls
    // for: the counter's seed row, the group and member indexes, the log's companions.
    void CreateTable(const QString& folder, const QString& tableName, const QString& definition);
    // The indexes CreateTable makes with a table of that name (the group and member indexes,
    // the log's number index); none for other tables.
    static std::vector<engine::IndexDef> TableIndexes(const QString& tableName);
    // Creates the table when its file is missing, or empty as a crash while it was made
    // leaves it; returns whether it did. A file holding anything else is never touched:
    // one that is not the table throws an error that names it. A change that a crash cut short
    // is undone first; a file up to WholeCheckBytes has every page read (a larger one is read
    // in slices after the start, see TablePageScan).
    // On a server location the program's shared tables are made together on an empty database
    // (see CreateServerTables); true when they were made now and the table is the counter or
    // the senders, the ones whose new rows the start looks at.
    bool EnsureTable(const QString& folder, const QString& tableName, const QString& definition);
    // Moves a table in use (with the log's filters and reports) to another folder: each file is
    // copied whole there, and only then is anything else changed. A counter's row goes with it,
    // and the counter left behind is emptied of its Customer ID and renamed "MailerNum.adt.moved",
    // so that no workstation still pointed at the old folder hands out the numbers the moved one
    // hands out.
    void MoveTable(const QString& fromFolder, const QString& toFolder, const QString& tableName);
    void CloseTables();
};

// The one instance, alive from start to exit.
extern TdmDovraPro* dmDovraPro;

// The log table (dmDovraPro->adstLog) open in the log folder ("System Path" / "LogDB") for
// one command, with an optional filter; closed again, filter off, when the scope ends.
// A missing or write-protected table throws engine::EngineError before anything is done.
class LogTableSession {
public:
    explicit LogTableSession(const Settings& settings, const QString& filter = QString());
    ~LogTableSession();
    LogTableSession(const LogTableSession&) = delete;
    LogTableSession& operator=(const LogTableSession&) = delete;

    engine::Table& table() { return table_; }

private:
    engine::Table& table_;
};

// QString <-> engine text.
inline std::string toStd(const QString& s) { return s.toStdString(); }
inline QString fromStd(const std::string& s) { return QString::fromStdString(s); }
