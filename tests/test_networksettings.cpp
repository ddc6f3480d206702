// Network Settings: pointing the counter, the sender list and the log at existing tables or
// at new ones, and storing the three folders only on OK.
#include "core/Settings.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Table.h"
#include "tests/support/TestSupport.h"
#include "widgets/Services.h"
#include "widgets/TF_NetworkSettings.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using Location = TF_NetworkSettings::Location;
Q_DECLARE_METATYPE(Location)

using testsupport::clickButton;

class TestNetworkSettings : public QObject {
    Q_OBJECT

    struct Fixture : testsupport::ProgramFixture {
        Fixture()
        {
            QDir().mkpath(home.path() + "/Addresses");
            QDir().mkpath(home.path() + "/Log");
            MessageService::setScripted(true);
            FileDialogService::setScripted(true);
        }
        QString mkdir(const QString& name) const
        {
            QDir().mkpath(home.file(name));
            return home.file(name);
        }
        static void touch(const QString& path)
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    };

    static QString lastMessage()
    {
        const auto shown = MessageService::shown();
        return shown.isEmpty() ? QString() : shown.last().text;
    }

private slots:
    void opensWithTheTablePathsOfTheSettings()
    {
        Fixture f;
        f.settings.logDB = f.mkdir("shared");
        TF_NetworkSettings dialog(f.settings);
        QCOMPARE(dialog.windowTitle(), QString("Network Settings"));
        QCOMPARE(dialog.findChild<QLabel*>("lblHeading")->text(),
                 QString("Please select/create where you would like each database to reside."));
        QCOMPARE(qobject_cast<QGroupBox*>(dialog.lblMailerNumber->parentWidget())->title(),
                 QString("Mailer Number Database Location"));
        QCOMPARE(qobject_cast<QGroupBox*>(dialog.lblYourAddressDB->parentWidget())->title(),
                 QString("Your Address (Return Address) Database Location"));
        QCOMPARE(qobject_cast<QGroupBox*>(dialog.lblLogDB->parentWidget())->title(), QString("Log Database Location"));
        QCOMPARE(dialog.lblMailerNumber->text(), f.home.path() + "/MailerNum.adt");
        QCOMPARE(dialog.lblYourAddressDB->text(), f.home.path() + "/Addresses/YourAddress.adt");
        QCOMPARE(dialog.lblLogDB->text(), f.home.file("shared") + "/Log37.adt");
    }

    void changeAcceptsOnlyTheTableFileSpelledExactly_data()
    {
        QTest::addColumn<Location>("location");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("message");
        const QString noSender = "A Your Address DB does not exist in this directory.";
        QTest::newRow("sender") << Location::YourAddress << "btnChangeYourAddress"
                                << "YourAddress.adt" << true << "Your Address DB|YourAddress.adt" << QString();
        QTest::newRow("sender, other letter case")
            << Location::YourAddress << "btnChangeYourAddress"
            << "youraddress.adt" << false << "Your Address DB|YourAddress.adt" << noSender;
        QTest::newRow("sender, name inside a longer name")
            << Location::YourAddress << "btnChangeYourAddress"
            << "OldYourAddress.adt" << false << "Your Address DB|YourAddress.adt" << noSender;
        QTest::newRow("counter, other letter case") << Location::MailerNum << "btnChangeMailerNumber"
                                                    << "MAILERNUM.ADT" << false << "Mailer Number DB|MailerNum.adt"
                                                    << "A Mailer Num DB does not exist in this directory.";
        QTest::newRow("log") << Location::Log << "btnChangeLog"
                             << "Log37.adt" << true << "Log DB|Log37.adt" << QString();
        QTest::newRow("log, other letter case") << Location::Log << "btnChangeLog"
                                                << "log37.adt" << false << "Log DB|Log37.adt"
                                                << "A Log DB does not exist in this directory.";
    }
    void changeAcceptsOnlyTheTableFileSpelledExactly()
    {
        QFETCH(Location, location);
        QFETCH(QString, button);
        QFETCH(QString, fileName);
        QFETCH(bool, accepted);
        QFETCH(QString, filter);
        QFETCH(QString, message);
        Fixture f;
        const QString picked = f.mkdir("shared") + "/" + fileName;
        Fixture::touch(picked);
        TF_NetworkSettings dialog(f.settings);
        const QString before = dialog.tablePath(location);
        FileDialogService::queueAnswer(picked);
        clickButton(&dialog, button);

        QCOMPARE(FileDialogService::requests().size(), 1);
        const auto request = FileDialogService::requests().first();
        QCOMPARE(request.filter, filter);
        QCOMPARE(request.dir, QFileInfo(before).path());
        QVERIFY(request.presetName.isEmpty());
        QCOMPARE(dialog.tablePath(location), accepted ? picked : before);
        QCOMPARE(lastMessage(), message);
    }

    void changeRefusesAFileThatIsGone()
    {
        Fixture f;
        TF_NetworkSettings dialog(f.settings);
        FileDialogService::queueAnswer(f.mkdir("shared") + "/YourAddress.adt");
        clickButton(&dialog, "btnChangeYourAddress");
        QCOMPARE(lastMessage(), QString("A Your Address DB does not exist in this directory."));
        QCOMPARE(dialog.lblYourAddressDB->text(), f.home.path() + "/Addresses/YourAddress.adt");
    }

    void createIsRefusedWhereTheTableExists_data()
    {
        QTest::addColumn<Location>("location");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("message");
        QTest::newRow("counter")
            << Location::MailerNum << "btnCreateMailerNumber"
            << "MailerNum"
            << "Mailer Number DB already exists in this folder.  Please select a folder to create a new Mailer Number "
               "DB.";
        QTest::newRow("sender") << Location::YourAddress << "btnCreateYourAddress"
                                << "YourAddress"
                                << "Your Address DB already exists in this folder.  Please select a folder to create a "
                                   "new Your Address DB.";
        QTest::newRow("log") << Location::Log << "btnCreateLog"
                             << "Log37"
                             << "Log DB already exists in this folder.  Please select a folder to create a new Log DB.";
    }
    void createIsRefusedWhereTheTableExists()
    {
        QFETCH(Location, location);
        QFETCH(QString, button);
        QFETCH(QString, table);
        QFETCH(QString, message);
        Fixture f;
        const QString shared = f.mkdir("shared");
        Fixture::touch(shared + "/" + table + ".adt");
        TF_NetworkSettings dialog(f.settings);
        const QString before = dialog.tablePath(location);
        FileDialogService::queueAnswer(shared + "/" + table + ".adt");
        clickButton(&dialog, button);

        const auto request = FileDialogService::requests().first();
        QCOMPARE(request.dir, f.home.path());
        QCOMPARE(request.presetName, table + ".adt");
        // The table's own file is picked without the question whether to replace it.
        QVERIFY(!request.asksToReplace);
        QCOMPARE(lastMessage(), message);
        QCOMPARE(dialog.tablePath(location), before);
    }

    void createLogMakesFiveTablesInAnEmptyFolder()
    {
        Fixture f;
        const QString shared = f.mkdir("shared");
        TF_NetworkSettings dialog(f.settings);
        FileDialogService::queueAnswer(shared + "/Log37.adt");
        clickButton(&dialog, "btnCreateLog");
        QVERIFY(MessageService::shown().isEmpty());
        QCOMPARE(dialog.lblLogDB->text(), shared + "/Log37.adt");
        QStringList made = QDir(shared).entryList(QDir::Files);
        made.sort();
        QCOMPARE(made, QStringList({"Log37.adt", "LogFilters.adt", "LogFiltersDetail.adt", "Report_Detail.adt",
                                    "Reports.adt"}));
    }

    // Pointed at a folder without the table while one is in use, Create offers to move it there:
    // the counter goes with its Mailer ID and serial, and the one left behind hands out nothing.
    void createWhileATableIsInUseOffersToMoveIt_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("moved") << "yes";
        QTest::newRow("blank one made instead") << "no";
        QTest::newRow("cancelled") << "cancel";
    }
    void createWhileATableIsInUseOffersToMoveIt()
    {
        QFETCH(QString, answer);
        Fixture f;
        f.dm.CreateTable(f.home.path(), "MailerNum", schema::MailerNum);
        f.dm.CreateTable(f.home.path() + "/Log", "Log37", schema::Log37);
        testsupport::writeRow(f.home.path(), {"123456789", "0000500", true, true});
        const QString shared = f.mkdir("shared");
        TF_NetworkSettings dialog(f.settings);
        MessageService::clearShown();
        MessageService::queueAnswer(answer == "yes" ? QMessageBox::Yes
                                    : answer == "no" ? QMessageBox::No
                                                     : QMessageBox::Cancel);
        FileDialogService::queueAnswer(shared + "/MailerNum.adt");
        clickButton(&dialog, "btnCreateMailerNumber");
        QCOMPARE(MessageService::shown().size(), 1);
        QVERIFY(lastMessage().contains("The Mailer Number counter in use, " + f.home.path() + "/MailerNum.adt"));
        QVERIFY(lastMessage().contains("No: create a blank counter there instead, with no Mailer ID"));
        if (answer == "cancel") {
            QVERIFY(!QFile::exists(shared + "/MailerNum.adt"));
            QCOMPARE(testsupport::readRow(f.home.path()).serialNum, QString("0000500"));
            return;
        }
        QCOMPARE(dialog.lblMailerNumber->text(), shared + "/MailerNum.adt");
        const testsupport::CounterRow moved = testsupport::readRow(shared);
        if (answer == "no") {
            QCOMPARE(moved.custId, QString("000000000"));
            QCOMPARE(testsupport::readRow(f.home.path()).serialNum, QString("0000500"));
            return;
        }
        QCOMPARE(moved.custId, QString("123456789"));
        QCOMPARE(moved.serialNum, QString("0000500"));
        // Moved for good, whatever way the dialog is left.
        QCOMPARE(f.settings.mailerNumDB, shared);
        dialog.reject();
        QCOMPARE(f.settings.mailerNumDB, shared);
        // What is left behind holds no Mailer ID, under another name; no new counter is made there.
        QVERIFY(!QFile::exists(f.home.path() + "/MailerNum.adt"));
        QVERIFY(QFile::exists(f.home.path() + "/MailerNum.adt.moved"));
        try {
            f.dm.EnsureTable(f.home.path(), "MailerNum", schema::MailerNum);
            QFAIL("a counter was made where one was moved away");
        } catch (const engine::EngineError& e) {
            QVERIFY2(QString(e.what()).contains("has been moved to another folder"), e.what());
        }
    }

    void createCounterSeedsItsRow()
    {
        Fixture f;
        const QString shared = f.mkdir("shared");
        TF_NetworkSettings dialog(f.settings);
        // The dialog may hand back any file name in the folder: only the folder counts.
        FileDialogService::queueAnswer(shared + "/anything.adt");
        clickButton(&dialog, "btnCreateMailerNumber");
        QCOMPARE(dialog.lblMailerNumber->text(), shared + "/MailerNum.adt");
        engine::Table t;
        t.setFolder(toStd(shared));
        t.setTableName("MailerNum");
        t.open();
        QCOMPARE(t.recordCount(), 1);
        QCOMPARE(t.asString("CustID"), std::string("000000000"));
        QCOMPARE(t.asString("SerialNum"), std::string("0000000"));
        t.close();
    }

    void createInAFolderThatCannotBeWrittenShowsTheEngineError()
    {
        Fixture f;
        TF_NetworkSettings dialog(f.settings);
        const QString before = dialog.tablePath(Location::YourAddress);
        FileDialogService::queueAnswer(f.home.file("missing/folder/YourAddress.adt"));
        clickButton(&dialog, "btnCreateYourAddress");
        QCOMPARE(MessageService::shown().size(), 1);
        QCOMPARE(MessageService::shown().first().kind, MessageKind::Error);
        QCOMPARE(dialog.tablePath(Location::YourAddress), before);
    }

    void createThenCancelKeepsTheTableAndTheSettings()
    {
        Fixture f;
        const QString shared = f.mkdir("shared");
        const Settings before = f.settings;
        {
            TF_NetworkSettings dialog(f.settings);
            FileDialogService::queueAnswer(shared + "/YourAddress.adt");
            clickButton(&dialog, "btnCreateYourAddress");
            clickButton(&dialog, "btnCancel");
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
        }
        QVERIFY(QFile::exists(shared + "/YourAddress.adt"));
        QCOMPARE(f.settings.yourAddressDB, before.yourAddressDB);
        QCOMPARE(f.settings.mailerNumDB, before.mailerNumDB);
        QCOMPARE(f.settings.logDB, before.logDB);
    }

    void okStoresTheThreeFolders()
    {
        Fixture f;
        const QString shared = f.mkdir("shared");
        const Settings before = f.settings;
        {
            TF_NetworkSettings dialog(f.settings);
            clickButton(&dialog, "btnOK");
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        QCOMPARE(f.settings.yourAddressDB, before.yourAddressDB);
        QCOMPARE(f.settings.mailerNumDB, before.mailerNumDB);
        QCOMPARE(f.settings.logDB, before.logDB);

        TF_NetworkSettings dialog(f.settings);
        FileDialogService::queueAnswer(shared + "/YourAddress.adt");
        clickButton(&dialog, "btnCreateYourAddress");
        FileDialogService::queueAnswer(shared + "/Log37.adt");
        clickButton(&dialog, "btnCreateLog");
        clickButton(&dialog, "btnOK");
        QCOMPARE(f.settings.yourAddressDB, shared);
        QCOMPARE(f.settings.logDB, shared);
        QCOMPARE(f.settings.mailerNumDB, before.mailerNumDB);
        QCOMPARE(f.settings.yourAddressID, before.yourAddressID);
    }
};

QTEST_MAIN(TestNetworkSettings)
#include "test_networksettings.moc"
