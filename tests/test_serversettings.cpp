// The database server's part of the settings: what dovra3.ini says, as the location the shared
// tables are opened at, and what is wrong with a server before a connection is tried.
#include "core/ServerSettings.h"
#include "core/Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestServerSettings : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString ini() const { return dir_.filePath("dovra3.ini"); }
    void writeIni(const QString& server) const
    {
        QFile f(ini());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(("[System Path]\r\nMailerNumDB=/office/shared\r\nLogDB=/office/shared\r\n" + server).toUtf8());
    }

private slots:
    void theSettingsNameWhereTheTablesLive_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("onServer");
        QTest::addColumn<QString>("location");
        const QString folder = "/office/shared";
        QTest::newRow("no server part: the folder") << QString() << false << folder;
        QTest::newRow("folder, a server named for later") << "[Server]\r\nTables=Folder\r\nHost=db.office\r\n"
                                                          << false << folder;
        QTest::newRow("server") << "[Server]\r\nTables=Server\r\nHost=db.office\r\nPort=5432\r\nDatabase=dovra\r\n"
                                   "User=clerk\r\n"
                                << true << "postgresql://clerk@db.office:5432/dovra?sslmode=prefer";
        QTest::newRow("letter case and blanks written by hand")
            << "[server]\r\ntables= SERVER \r\nhost= db.office \r\ndatabase=dovra\r\nsslmode=Require\r\n"
            << true << "postgresql://db.office:5432/dovra?sslmode=require";
        QTest::newRow("an unknown mode is the folder") << "[Server]\r\nTables=Cloud\r\nHost=db.office\r\n"
                                                       << false << folder;
        QTest::newRow("an unknown TLS word: prefer")
            << "[Server]\r\nTables=Server\r\nHost=db\r\nDatabase=d\r\nSSLMode=disable\r\n"
            << true << "postgresql://db:5432/d?sslmode=prefer";
        QTest::newRow("a port out of range: 5432")
            << "[Server]\r\nTables=Server\r\nHost=db\r\nPort=70000\r\nDatabase=d\r\n"
            << true << "postgresql://db:5432/d?sslmode=prefer";
        QTest::newRow("another port") << "[Server]\r\nTables=Server\r\nHost=10.0.0.7\r\nPort=6543\r\nDatabase=d\r\n"
                                      << true << "postgresql://10.0.0.7:6543/d?sslmode=prefer";
        QTest::newRow("IPv6 address") << "[Server]\r\nTables=Server\r\nHost=fd00::7\r\nDatabase=d\r\nUser=u\r\n"
                                      << true << "postgresql://u@[fd00::7]:5432/d?sslmode=prefer";
        QTest::newRow("names that a URI must encode")
            << "[Server]\r\nTables=Server\r\nHost=db\r\nDatabase=office data\r\nUser=j.roe@office\r\n"
            << true << "postgresql://j.roe%40office@db:5432/office%20data?sslmode=prefer";
    }
    void theSettingsNameWhereTheTablesLive()
    {
        QFETCH(QString, server);
        QFETCH(bool, onServer);
        QFETCH(QString, location);
        writeIni(server);
        const Settings s = Settings::load(ini(), dir_.path());
        QCOMPARE(s.onServer(), onServer);
        QCOMPARE(s.mailerNumLocation(), location);
        QCOMPARE(s.logLocation(), location);
        // The senders' folder was not written: in Folder mode its default, else the server.
        QCOMPARE(s.yourAddressLocation(), onServer ? location : dir_.path() + "/Addresses");

        // What was read is written back as read, in the program's own words, and no password.
        QVERIFY(s.save(ini()).isEmpty());
        QCOMPARE(Settings::load(ini(), dir_.path()), s);
        QFile f(ini());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        // (a key keeps the letter case it was written in)
        QVERIFY(text.contains(onServer ? "Tables=Server" : "Tables=Folder", Qt::CaseInsensitive));
        QVERIFY(!text.contains("password", Qt::CaseInsensitive));
    }

    void theFieldsOfAServerAreChecked_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("sslmode");
        QTest::addColumn<QString>("problem");
        QTest::newRow("complete") << "db.office" << 5432 << "dovra"
                                  << "prefer" << QString();
        QTest::newRow("require") << "db.office" << 5432 << "dovra"
                                 << "require" << QString();
        QTest::newRow("no host") << " " << 5432 << "dovra"
                                 << "prefer"
                                 << "Please enter the name or address of the database server.";
        QTest::newRow("two hosts") << "db1,db2" << 5432 << "dovra"
                                   << "prefer"
                                   << "The server's name \"db1,db2\" cannot hold blanks or commas.";
        QTest::newRow("port 0 (not a number typed)") << "db" << 0 << "dovra"
                                                     << "prefer"
                                                     << "The port of the database server is a number from 1 to 65535.";
        QTest::newRow("port too high") << "db" << 65536 << "dovra"
                                       << "prefer"
                                       << "The port of the database server is a number from 1 to 65535.";
        QTest::newRow("no database") << "db" << 5432 << ""
                                     << "prefer"
                                     << "Please enter the name of the database on the server.";
        QTest::newRow("TLS off is not offered") << "db" << 5432 << "dovra"
                                                << "disable"
                                                << "The encryption setting \"disable\" is not known.";
    }
    void theFieldsOfAServerAreChecked()
    {
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, database);
        QFETCH(QString, sslmode);
        QFETCH(QString, problem);
        engine::ServerParams params;
        params.host = host.toStdString();
        params.port = port;
        params.database = database.toStdString();
        params.sslmode = sslmode.toStdString();
        QCOMPARE(serverParamsProblem(params), problem);
    }

    // Back Up and Import Log File copy or fill folders: on a server office they refuse and
    // name the server, so that nobody keeps a backup without the log.
    void folderOnlyCommandsAreRefusedOnAServer()
    {
        Settings s = Settings::defaults(QDir::tempPath());
        QVERIFY(folderOnlyRefusal(s, "Back Up").isEmpty());
        s.sharedTables = "Server";
        s.serverHost = "db.office";
        s.serverPort = 5433;
        s.serverDatabase = "dovra";
        const QString refusal = folderOnlyRefusal(s, "Back Up");
        QVERIFY2(refusal.contains("db.office:5433, database dovra"), qPrintable(refusal));
        QVERIFY2(refusal.contains("Back Up works on tables kept in folders only"), qPrintable(refusal));
    }
};

QTEST_GUILESS_MAIN(TestServerSettings)
#include "test_serversettings.moc"
