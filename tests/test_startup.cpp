// Start-up and shutdown of the real main window in an empty program folder.
#include "app/TF_About.h"
#include "app/TF_Main.h"
#include "core/IniFile.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "tests/support/TestSupport.h"
#include "widgets/BusyCursor.h"
#include "widgets/ButtonDialog.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"

#include <QAction>
#include <QDirIterator>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Every file and folder under the program folder with its modification time.
QMap<QString, QDateTime> snapshot(const QString& root)
{
    QMap<QString, QDateTime> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        out.insert(it.filePath().mid(root.size() + 1), it.fileInfo().lastModified());
    }
    return out;
}

QString firstValue(const QString& folder, const QString& sql)
{
    engine::Query q;
    q.setFolder(folder.toStdString());
    q.setSql(sql.toStdString());
    q.open();
    return q.eof() ? QString("<none>") : QString::fromStdString(q.asString(0));
}

void writeIni(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// Overwrites the first page of the log's rows with garbage, as a failing disk would.
void damageLogPage(const QString& logFolder)
{
    const QString file = logFolder + "/Log37.adt";
    sqlite3* db = nullptr;
    sqlite3_open_v2(qPrintable(file), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "select rootpage from sqlite_master where name = 'Log37'", -1, &stmt, nullptr);
    const int page = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : 0;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    QVERIFY(page > 1);
    testsupport::damagePage(file, page);
}

void composeAndPrint(TF_Main& w, const QString& name)
{
    w.memoToAddress->setPlainText(name + "\n4 Elm St");
    w.editToCity->setText("Dover");
    w.editToState->setText("DE");
    w.editToZip->setText("19901-0001");
    w.btnPrintClick();
}

// A program folder that a second start finds ready, with the data module.
struct ReadyProgram {
    testsupport::TempProgramFolder home;
    TdmDovraPro dm;
    ReadyProgram() { testsupport::prepareReadyProgramFolder(home.path()); }
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        MessageService::setScripted(true);
        MessageService::clearShown();
        ButtonDialogService::setScripted(true);
    }

    // A change that a crash cut short is undone as the program starts, before any table is
    // judged: the start says nothing, and the next mailer prints.
    void changeCutShortByACrashIsUndoneAtStart_data()
    {
        QTest::addColumn<QString>("table");
        QTest::newRow("counter") << "MailerNum.adt";
        QTest::newRow("sender list") << "Addresses/YourAddress.adt";
        QTest::newRow("log") << "Log/Log37.adt";
    }
    void changeCutShortByACrashIsUndoneAtStart()
    {
        QFETCH(QString, table);
        ReadyProgram ready;
        const testsupport::EnvironmentValue pdf("DOVRA_PDF_DIR", ready.home.file("Printed"));
        {
            TF_Main w;
            composeAndPrint(w, "Jane Roe");
            w.close();
        }
        testsupport::leaveChangeCutShort(ready.home.file(table));
        MessageService::clearShown();
        {
            TF_Main w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QCoreApplication::processEvents(); // the first showing's steps
            QVERIFY2(MessageService::shown().isEmpty(), qPrintable(MessageService::shown().value(0).text));
            composeAndPrint(w, "John Doe");
            w.close();
        }
        QCOMPARE(firstValue(ready.home.file("Log"), "select count(*) from Log37"), QString("2"));
        QCOMPARE(firstValue(ready.home.path(), "select SerialNum from MailerNum"), QString("0000002"));
        QCOMPARE(QDir(ready.home.file("Printed")).entryList({"*.pdf"}).size(), 2);
        QCOMPARE(engine::checkTableFile(toStd(QFileInfo(ready.home.file(table)).path()),
                                        toStd(QFileInfo(table).baseName()), true)
                     .state,
                 engine::TableFileState::Present);
    }

    // What a program killed while it made a table left behind is swept away at a later start,
    // once it is too old to be a table another workstation is making right now.
    void unfinishedTablesLeftByAKillAreSweptAway()
    {
        ReadyProgram ready;
        QDir().mkpath(ready.home.file("Log"));
        const QString old = ready.home.file("Log/.Log37.adt.new-4242-1");
        const QString recent = ready.home.file("Log/.Log37.adt.new-4242-2");
        for (const QString& name : {old, recent}) {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("SQLite format 3");
        }
        QFile f(old);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        f.close();
        {
            TF_Main w;
            w.close();
        }
        QVERIFY(!QFile::exists(old));
        QVERIFY(QFile::exists(recent));
        QVERIFY(MessageService::shown().isEmpty());
    }

    // A log whose pages do not read is named at start, and no number is taken into it.
    void damagedLogIsNamedAndRefusesPrinting()
    {
        ReadyProgram ready;
        const testsupport::EnvironmentValue pdf("DOVRA_PDF_DIR", ready.home.file("Printed"));
        {
            TF_Main w;
            for (int i = 0; i < 40; ++i)
                composeAndPrint(w, QString("Recipient %1 with a name long enough to fill pages").arg(i));
            w.close();
        }
        damageLogPage(ready.home.file("Log"));
        MessageService::clearShown();
        TF_Main w;
        auto shown = testsupport::shownMessageTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains("Log37.adt is damaged"), qPrintable(shown[0]));
        QVERIFY2(shown[0].contains("rows it holds are still in that file"), qPrintable(shown[0]));
        MessageService::clearShown();
        composeAndPrint(w, "Jane Roe");
        shown = testsupport::shownMessageTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains("Log37.adt is damaged") && shown[0].contains("Nothing has been printed"),
                 qPrintable(shown[0]));
        QCOMPARE(QDir(ready.home.file("Printed")).entryList({"*.pdf"}).size(), 40);
        QCOMPARE(firstValue(ready.home.path(), "select SerialNum from MailerNum"), QString("0000040"));
        w.close();
    }

    // A counter made anew at start while the log holds numbers says so; it prints nothing until
    // its Mailer ID is set, and the serials the log holds are not handed out again.
    void counterMadeAnewBesideALogWithNumbersIsNamed()
    {
        ReadyProgram ready;
        const testsupport::EnvironmentValue pdf("DOVRA_PDF_DIR", ready.home.file("Printed"));
        {
            TF_Main w;
            composeAndPrint(w, "Jane Roe");
            w.close();
        }
        QFile counter(ready.home.file("MailerNum.adt"));
        QVERIFY(counter.open(QIODevice::WriteOnly | QIODevice::Truncate));
        counter.close();
        MessageService::clearShown();
        TF_Main w;
        const QStringList shown = testsupport::shownMessageTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains("MailerNum.adt was missing or empty and has been made anew"), qPrintable(shown[0]));
        w.close();
    }

    void firstStartMakesTheFoldersAndTablesThenASecondMakesNothing()
    {
        testsupport::TempProgramFolder home;
        {
            TdmDovraPro dm;
            TF_Main w;
            QCOMPARE(w.windowTitle(), QApplication::applicationDisplayName());
            QCOMPARE(w.width(), 569);
            w.close();
        }
        const QStringList expected = {"Addresses",
                                      "Addresses/YourAddress.adt",
                                      "Log",
                                      "Log/Log37.adt",
                                      "Log/LogFilters.adt",
                                      "Log/LogFiltersDetail.adt",
                                      "Log/Report_Detail.adt",
                                      "Log/Reports.adt",
                                      "MailerNum.adt",
                                      "dovra3.ini"};
        const auto first = snapshot(home.path());
        QCOMPARE(first.keys(), expected);
        QCOMPARE(firstValue(home.path(), "select CustID || '/' || SerialNum from MailerNum"),
                 QString("000000000/0000000"));
        QCOMPARE(IniFile(home.file("dovra3.ini")).readString("Type", "Company", ""), QString("Quelmar"));
        QVERIFY(MessageService::shown().isEmpty());

        {
            TdmDovraPro dm;
            TF_Main w;
            w.close();
        }
        auto second = snapshot(home.path());
        second.remove("dovra3.ini");
        auto firstTables = first;
        firstTables.remove("dovra3.ini");
        QCOMPARE(second, firstTables);
    }

    // What a crash while a table was made leaves behind is made whole at the next start; a
    // file that holds anything else is never touched.
    void tablesLeftByACrashAreRebuilt_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message"); // empty: repaired without a word
        QTest::newRow("zero-byte counter") << "MailerNum.adt" << "zero bytes" << "";
        QTest::newRow("zero-byte log") << "Log/Log37.adt" << "zero bytes" << "";
        QTest::newRow("zero-byte sender list") << "Addresses/YourAddress.adt" << "zero bytes" << "";
        QTest::newRow("log file without a table") << "Log/Log37.adt" << "no table" << "";
        QTest::newRow("counter without its row") << "MailerNum.adt" << "no row" << "";
        QTest::newRow("counter that is no table file")
            << "MailerNum.adt" << "garbage" << "MailerNum.adt is damaged or is not a table file";
    }
    void tablesLeftByACrashAreRebuilt()
    {
        QFETCH(QString, table);
        QFETCH(QString, damage);
        QFETCH(QString, message);
        testsupport::TempProgramFolder home;
        {
            TdmDovraPro dm;
            TF_Main w;
            w.close();
        }
        const QString file = home.file(table);
        QFile f(file);
        if (damage == "zero bytes" || damage == "garbage") {
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            if (damage == "garbage")
                f.write(QByteArray(3000, 'x'));
            f.close();
        } else if (damage == "no table") {
            engine::Query q;
            q.setFolder(toStd(home.file("Log")));
            q.setSql("drop table Log37");
            q.execSql();
        } else {
            engine::Query q;
            q.setFolder(toStd(home.path()));
            q.setSql("delete from MailerNum");
            q.execSql();
        }
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        const QDateTime filtersTime = QFileInfo(home.file("Log/LogFilters.adt")).lastModified();
        MessageService::clearShown();
        {
            TdmDovraPro dm;
            TF_Main w;
            w.close();
        }
        const auto shown = MessageService::shown();
        if (message.isEmpty()) {
            QVERIFY2(shown.isEmpty(), qPrintable(shown.value(0).text));
            QCOMPARE(engine::tableFileState(toStd(QFileInfo(file).path()), toStd(QFileInfo(file).baseName())),
                     engine::TableFileState::Present);
            QCOMPARE(firstValue(home.path(), "select count(*) || CustID || '/' || SerialNum from MailerNum"),
                     QString("1000000000/0000000"));
            // The companions of the log held their data and stayed as they were.
            QCOMPARE(QFileInfo(home.file("Log/LogFilters.adt")).lastModified(), filtersTime);
        } else {
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].text.contains(message), qPrintable(shown[0].text));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), before);
        }
        // Nothing of the building is left beside the tables.
        QDirIterator it(home.path(), {".*.new-*"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        QVERIFY(!it.hasNext());
    }

    // A crash or a killed session loses no setting: each change is on disk at once.
    void settingsAreWrittenWhenTheyChange()
    {
        ReadyProgram ready;
        const testsupport::TempProgramFolder& home = ready.home;
        TF_Main w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.miBatchOn->trigger();
        w.miZerosOff->trigger();
        QTRY_VERIFY(IniFile(home.file("dovra3.ini")).readBool("Printing", "Batch", false));
        QTRY_VERIFY(!IniFile(home.file("dovra3.ini")).readBool("Printing", "Zeros", true));
        // The lines written before the program came are still there.
        QCOMPARE(IniFile(home.file("dovra3.ini")).readString("YourAddress", "ID", ""), QString("1"));
        w.close();
    }

    void logFolderFromTheSettings()
    {
        testsupport::TempProgramFolder home;
        QDir().mkpath(home.file("shared"));
        writeIni(home.file("dovra3.ini"),
                 ("[System Path]\nLogDB=" + home.file("shared") + "\\\\\n").toUtf8()); // trailing separators too
        {
            TdmDovraPro dm;
            TF_Main w;
            w.close();
        }
        for (const char* t : {"Log37", "LogFilters", "LogFiltersDetail", "Reports", "Report_Detail"})
            QVERIFY2(QFile::exists(home.file(QString("shared/%1.adt").arg(t))), t);
        QVERIFY(!QFile::exists(home.file("Log/Log37.adt")));
        // Stored relative to the program folder, which it lies in.
        QCOMPARE(IniFile(home.file("dovra3.ini")).readString("System Path", "LogDB", ""), QString("shared"));
        QVERIFY(MessageService::shown().isEmpty());
    }

    void aLogFolderThatDoesNotExistIsReportedNotMade()
    {
        testsupport::TempProgramFolder home;
        writeIni(home.file("dovra3.ini"), ("[System Path]\nLogDB=" + home.file("nowhere") + "\n").toUtf8());
        TdmDovraPro dm;
        TF_Main w;
        QCOMPARE(MessageService::shown().size(), 1);
        QVERIFY2(MessageService::shown().first().text.contains("nowhere"),
                 qPrintable(MessageService::shown().first().text));
        QVERIFY(!QFileInfo::exists(home.file("nowhere")));
        // The steps after the failed one still ran: fees filled, counter made, batch mode applied.
        QVERIFY(!w.editPostage->text().trimmed().isEmpty());
        QVERIFY(QFile::exists(home.file("MailerNum.adt")));
        QCOMPARE(w.btnPrint->text(), QString("&Print"));
        w.close();
    }

    void senderIsLookedUpByKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("matching key") << "2" << "Pat O'Brien";
        QTest::newRow("key of no row") << "9" << "";
        QTest::newRow("key that is not a number") << "x" << "";
    }
    void senderIsLookedUpByKey()
    {
        QFETCH(QString, key);
        QFETCH(QString, firstLine);
        testsupport::TempProgramFolder home;
        QDir().mkpath(home.file("Addresses"));
        engine::createTable(home.file("Addresses").toStdString(), "YourAddress", schema::YourAddress);
        engine::Query q;
        q.setFolder(home.file("Addresses").toStdString());
        q.setSql("insert into YourAddress (Address1) values('Jane Roe'); insert into YourAddress (Address1, City, "
                 "State, Zip) values('Pat O''Brien', 'Boston', 'MA', '02108')");
        q.execSql();
        writeIni(home.file("dovra3.ini"), ("[YourAddress]\nID=" + key + "\n").toUtf8());
        TdmDovraPro dm;
        TF_Main w;
        QCOMPARE(w.lblYourAddress[0]->text(), firstLine);
        w.close();
        QCOMPARE(IniFile(home.file("dovra3.ini")).readString("YourAddress", "ID", ""), key); // never cleared
    }

    void commandLineFillsTheFirstMailer_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QString>("city");
        QTest::addColumn<QString>("re");
        QTest::newRow("three") << QStringList{"Jane Roe", "12 Elm St", "Apt 4"} << "Jane Roe\n12 Elm St\nApt 4" << ""
                               << "";
        QTest::newRow("twelve") << QStringList{"a1", "a2", "a3", "a4", "Springfield", "IL", "62704-1234", "Legal",
                                               "Kim", "urgent", "Case 7", "ignored"}
                                << "a1\na2\na3\na4" << "Springfield" << "Case 7";
        // Each field keeps the width of its log column.
        QTest::newRow("too long") << QStringList{QString(60, 'n'), "a2", "a3", "a4", QString(40, 'c'), "IL",
                                                 "62704",          "",   "",   "",   QString(30, 'r')}
                                  << QString(50, 'n') + "\na2\na3\na4" << QString(35, 'c') << QString(25, 'r');
    }
    void commandLineFillsTheFirstMailer()
    {
        QFETCH(QStringList, arguments);
        ReadyProgram ready;
        const testsupport::TempProgramFolder& home = ready.home;
        TF_Main w(arguments);
        w.show();
        QTEST(w.memoToAddress->toPlainText(), "memo");
        QTEST(w.editToCity->text(), "city");
        QTEST(w.editRe->text(), "re");
        for (QLineEdit* e : w.findChildren<QLineEdit*>())
            QVERIFY2(!e->text().contains("ignored"), qPrintable(e->objectName()));
        w.close();
    }

    void labelPositionIsShownFromOne()
    {
        testsupport::TempProgramFolder home;
        writeIni(home.file("dovra3.ini"), "[LabelPos]\nRow=2\nCol=0\n");
        TdmDovraPro dm;
        TF_Main w;
        QCOMPARE(w.EDPosRow->text(), QString("3"));
        QCOMPARE(w.EDPosCol->text(), QString("1"));
        w.close();
    }

    void escapeInAFieldEndsTheProgramAndSavesTheSettings()
    {
        ReadyProgram ready;
        const testsupport::TempProgramFolder& home = ready.home;
        TF_Main w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.editComment->setFocus();
        QTest::keyClick(w.editComment, Qt::Key_Escape);
        QTRY_VERIFY(!w.isVisible());
        QVERIFY(QFile::exists(home.file("dovra3.ini")));
        QVERIFY(!ready.dm.adstLog.active());
    }

    void firstShowingHidesTheDatabaseBoxAndLabelCaptions()
    {
        ReadyProgram ready;
        const testsupport::TempProgramFolder& home = ready.home;
        TF_About splash(TF_About::Mode::Splash);
        TF_Main w({}, &splash);
        QVERIFY(splash.splashTimerFired());
        QVERIFY(w.firstShowingPending());
        w.show();
        QTRY_VERIFY(!w.firstShowingPending() && w.gbToDB->isHidden());
        QVERIFY(w.LabelLabel->isHidden() && !w.LabelLabel->isEnabled());
        w.close();
    }

    void handlerErrorsReachTheErrorBoxAndTheLoopGoesOn()
    {
        QPushButton button("fail");
        QObject::connect(&button, &QPushButton::clicked, [] {
            BusyCursor busy;
            throw engine::EngineError("The table /x/MailerNum.adt is in use");
        });
        button.show();
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(MessageService::shown().size(), 1);
        QCOMPARE(MessageService::shown().first().kind, MessageKind::Error);
        QCOMPARE(MessageService::shown().first().text, QString("The table /x/MailerNum.adt is in use"));
        QVERIFY(!QGuiApplication::overrideCursor());
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(MessageService::shown().size(), 2);
        QVERIFY(!guarded([] { throw engine::ConversionError("'x' is not a valid integer value"); }));
        QCOMPARE(MessageService::shown().last().text, QString("'x' is not a valid integer value"));
    }

    void aboutVersionLine()
    {
        QCOMPARE(::aboutVersionLine("4.0.12.5"), QString("Version 4.0.12"));
        QCOMPARE(::aboutVersionLine(""), QString("Version 3.0"));
    }
};

int main(int argc, char** argv)
{
    DovraApplication app(argc, argv);
    QApplication::setApplicationDisplayName("Dovra Pro 4.0");
    TestStartup t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_startup.moc"
