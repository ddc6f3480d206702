// The keyboard of the main window and the log window as a clerk uses it: Ctrl+P prints,
// Ctrl+F and F3 find, the keyboard is back at the recipient after Clear and Print, and no
// two captions of a window share an access key unless their fixed captions force it.
#include "addressbook/AddressBook.h"
#include "addressbook/AddressBookPanel.h"
#include "addressbook/AddressListModel.h"
#include "app/TF_Main.h"
#include "core/SearchText.h"
#include "core/datamodule/Schemas.h"
#include "engine/Query.h"
#include "log/LogMailers.h"
#include "log/TF_FindMailer.h"
#include "log/TF_Log.h"
#include "tests/support/AccessKeys.h"
#include "tests/support/TestSupport.h"
#include "widgets/ButtonDialog.h"
#include "widgets/Services.h"
#include "widgets/TF_SingleEdit.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTextCursor>
#include <QtTest>

using testsupport::clickButton;
using testsupport::ModalDriver;

namespace {

// The main window of a program folder that asks nothing at start and prints into a folder;
// with an address database of three addresses remembered open, when asked.
struct MainFixture {
    testsupport::TempProgramFolder home;
    testsupport::EnvironmentValue pdfDir{"DOVRA_PDF_DIR", home.path() + "/Printed"};
    std::unique_ptr<TdmDovraPro> dm;
    std::unique_ptr<TF_Main> w;

    explicit MainFixture(bool withDatabase = false)
    {
        MessageService::setScripted(true);
        MessageService::clearShown();
        ButtonDialogService::setScripted(true);
        rememberedSearchText.clear();
        testsupport::prepareReadyProgramFolder(home.path());
        if (withDatabase)
            makeDatabase();
        dm = std::make_unique<TdmDovraPro>();
        w = std::make_unique<TF_Main>();
        w->show();
    }
    ~MainFixture()
    {
        if (w)
            w->close();
    }
    bool started()
    {
        if (!testsupport::waitForFirstShowing(*w))
            return false;
        QApplication::setActiveWindow(w.get());
        return QTest::qWaitForWindowActive(w.get());
    }
    void makeDatabase()
    {
        const QString folder = home.path() + "/Addresses/Clients";
        QDir().mkpath(folder);
        createAddressDatabaseTables(folder);
        engine::Query q;
        q.setFolder(folder.toStdString());
        for (const char* name : {"Ann Lee", "Bob Ray", "Annex Supply"}) {
            q.setSql(std::string("insert into Address (Address1, City, State, Zip) values('") + name +
                     "', 'Dover', 'DE', '19901')");
            q.execSql();
        }
        QFile ini(home.file("dovra3.ini"));
        QVERIFY(ini.open(QIODevice::Append));
        ini.write(("[System Path]\r\nDatabaseON=1\r\nAddressDB=" + folder + "\r\n").toUtf8());
    }
    void compose(const QString& name)
    {
        w->memoToAddress->setPlainText(name + "\n4 Elm St");
        w->editToCity->setText("Dover");
        w->editToState->setText("DE");
        w->editToZip->setText("19901-0001");
    }
    int printedMailers() const { return testsupport::logRows(home.path() + "/Log").size(); }
    QString selectedAddress() const
    {
        const std::vector<int> rows = w->panelDB->selectedAddressRows();
        return rows.size() == 1 ? addressCaption(w->panelDB->addressModel()->record(rows[0]).address) : QString();
    }
};

// Types the text into the one-line input and presses OK.
ModalDriver::Handler typeText(const QString& text)
{
    return [text](QWidget* w) {
        auto d = static_cast<TF_SingleEdit*>(w);
        d->TheEdit->setText(text);
        clickButton(d, "btnOK");
    };
}

QString selectedText(const QPlainTextEdit* memo)
{
    return memo->textCursor().selectedText().replace(QChar::ParagraphSeparator, '\n');
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT

private slots:
    // Ctrl+P is the Print button: wherever the keyboard is in the window, and, as the button,
    // not while the entry shows a mailer printed (until the entry changes).
    void ctrlPPrints()
    {
        MainFixture f;
        QVERIFY(f.started());
        TF_Main& w = *f.w;
        f.compose("Ann Lee");
        w.editRe->setFocus();
        ButtonDialogService::queueAnswer(1); // "&Do not show this screen again"
        QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(f.printedMailers(), 1);
        QCOMPARE(QDir(f.home.path() + "/Printed").entryList({"*.pdf"}).size(), 1);
        QCOMPARE(ButtonDialogService::shown().size(), 1);

        QTest::keyClick(w.editComment, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(f.printedMailers(), 2);
        QVERIFY(w.entryPrinted() && !w.btnPrint->isEnabled());
        QTest::keyClick(w.editComment, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(f.printedMailers(), 2); // pressed again on a printed mailer: no number taken

        w.editComment->setText("Second notice");
        QTest::keyClick(w.memoToAddress, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(f.printedMailers(), 3);
        QCOMPARE(w.memoToAddress->toPlainText(), QString("Ann Lee\n4 Elm St")); // the key typed nothing
        QCOMPARE(w.btnPrint->toolTip(), QString("Ctrl+P"));
    }

    // After Clear and after Print the keyboard is where the next recipient is chosen: the
    // typed recipient with its lines selected (typing replaces them), or, with a database
    // open, the address list (the arrow keys step to the next address).
    void keyboardBackAtRecipient_data()
    {
        QTest::addColumn<bool>("withDatabase");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("selected");
        QTest::newRow("typed, Clear") << false << "btnToClear"
                                      << "memoToAddress"
                                      << "";
        QTest::newRow("typed, Print") << false << "btnPrint"
                                      << "memoToAddress"
                                      << "Ann Lee\n4 Elm St";
        QTest::newRow("typed, Ctrl+P") << false << "Ctrl+P"
                                       << "memoToAddress"
                                       << "Ann Lee\n4 Elm St";
        QTest::newRow("database, Print") << true << "btnPrint"
                                         << "lvAddress"
                                         << "";
    }
    void keyboardBackAtRecipient()
    {
        QFETCH(bool, withDatabase);
        QFETCH(QString, action);
        QFETCH(QString, focus);
        QFETCH(QString, selected);
        MainFixture f(withDatabase);
        QVERIFY(f.started());
        TF_Main& w = *f.w;
        if (!withDatabase)
            f.compose("Ann Lee");
        w.editDepartment->setFocus();
        QTRY_VERIFY(w.editDepartment->hasFocus());
        if (action == "Ctrl+P")
            QTest::keyClick(w.editDepartment, Qt::Key_P, Qt::ControlModifier);
        else
            QTest::mouseClick(w.findChild<QPushButton*>(action), Qt::LeftButton);
        QTRY_COMPARE(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString(), focus);
        if (!withDatabase) {
            QCOMPARE(selectedText(w.memoToAddress), selected);
            QCOMPARE(w.memoToAddress->textCursor().position(), 0); // at the start of the first line
            QTest::keyClicks(w.memoToAddress, "Bob");
            QCOMPARE(w.memoToAddress->toPlainText(), QString("Bob"));
        } else {
            QCOMPARE(f.printedMailers(), 1);
            QCOMPARE(f.selectedAddress(), QString("Ann Lee"));
            QTest::keyClick(w.panelDB->lvAddress, Qt::Key_Down);
            QCOMPARE(f.selectedAddress(), QString("Bob Ray"));
            QVERIFY(w.btnPrint->isEnabled());
        }
    }

    // Ctrl+F anywhere in the main window is Find Address; F3 finds the next.
    void ctrlFAndF3FindAddresses()
    {
        MainFixture f(true);
        QVERIFY(f.started());
        TF_Main& w = *f.w;
        QCOMPARE(f.selectedAddress(), QString("Ann Lee"));
        ModalDriver driver;
        driver.on("TF_SingleEdit", typeText("ann"));
        w.editComment->setFocus();
        QTest::keyClick(w.editComment, Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(driver.seen.contains("TF_SingleEdit"));
        QCOMPARE(f.selectedAddress(), QString("Annex Supply"));
        QCOMPARE(w.editComment->text(), QString()); // the key typed nothing

        QTest::keyClick(w.editRe, Qt::Key_F3);
        QCOMPARE(f.selectedAddress(), QString("Ann Lee"));
        // In the list the list's own keys answer, with the same remembered text.
        QTest::keyClick(w.panelDB->lvAddress, Qt::Key_F3);
        QCOMPARE(f.selectedAddress(), QString("Annex Supply"));
        QCOMPARE(driver.seen, QStringList{"TF_SingleEdit"});
    }

    // Without a database there is nothing to find: the keys do nothing.
    void findKeysWithoutDatabaseDoNothing()
    {
        MainFixture f;
        QVERIFY(f.started());
        ModalDriver driver;
        rememberedSearchText = "Ann";
        QTest::keyClick(f.w->memoToAddress, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClick(f.w->memoToAddress, Qt::Key_F3);
        QTest::qWait(50);
        QVERIFY(driver.seen.isEmpty());
        QCOMPARE(f.w->memoToAddress->toPlainText(), QString());
    }

    // Ctrl+F in the log window is Find Mailer, from any of its controls; F3 repeats the last
    // search by name from any of them.
    void logWindowFindKeys()
    {
        testsupport::ProgramFixture f;
        QDir().mkpath(f.settings.logDB);
        f.dm.CreateTable(f.settings.logDB, "Log37", schema::Log37);
        engine::Query q;
        q.setFolder(f.settings.logDB.toStdString());
        int minute = 0;
        for (const char* name : {"Ann Lee", "Bob Ray", "Ann Oak"}) {
            q.setSql("insert into Log37 (DateTime, ToAddress1, Result, Batch) values('2026-03-01 08:0" +
                     std::to_string(++minute) + ":00', '" + name + "', 'None', False)");
            q.execSql();
        }
        MessageService::setScripted(true);
        MessageService::clearShown();
        logmailers::logSearch = {};
        TF_Log w(f.settings);
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        ModalDriver driver;
        driver.on("TF_FindMailer", [](QWidget* d) {
            auto find = static_cast<TF_FindMailer*>(d);
            find->rbAddresseeName->setChecked(true);
            find->editEnter->setText("Ann");
            find->btnOK->click();
        });
        w.lvFilters->setFocus();
        QTest::keyClick(w.lvFilters, Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(driver.seen.contains("TF_FindMailer"));
        QCOMPARE(w.currentRow(), 2); // after the current first row
        w.btnClose->setFocus();
        QTest::keyClick(w.btnClose, Qt::Key_F3);
        QCOMPARE(w.currentRow(), 0);
        QTest::keyClick(w.lvFilterDetails, Qt::Key_F3);
        QCOMPARE(w.currentRow(), 2);
        QVERIFY(w.isVisible());
        QCOMPARE(driver.seen, QStringList{"TF_FindMailer"});
    }

    // No two captions of a window share an access key, but where the fixed captions force it:
    // "&Clear" and "&Copy" side by side, "&Paste" and "&Print" beside the "&Printing" menu,
    // the "&On" / "&Off" pairs, and "&Add to Group" with "&Assigned Groups".
    void accessKeysDoNotCollide()
    {
        const QStringList forcedInMenus{
            "F_Main/&Group: Alt+A: &Add to Group, &Assigned Groups",
            "F_Main/&Show Values: Alt+O: &On, &Off",
            "F_Main/&Zeros: Alt+O: &On, &Off",
        };
        MainFixture f(true);
        QVERIFY(f.started());
        TF_Main& w = *f.w;
        QStringList expected = forcedInMenus;
        expected << "F_Main: Alt+P: &Printing, &Print";
        expected.sort();
        QCOMPARE(accessKeyCollisions(&w), expected);

        w.miCloseToDB->trigger();
        expected = forcedInMenus;
        expected << "F_Main: Alt+C: &Clear, &Copy"
                 << "F_Main: Alt+P: &Printing, &Paste, &Print";
        expected.sort();
        QCOMPARE(accessKeyCollisions(&w), expected);

        w.miBatchOnClick(); // Print becomes "&Batch", beside the "&Batch Mode" of another menu
        expected.replace(expected.indexOf("F_Main: Alt+P: &Printing, &Paste, &Print"),
                         "F_Main: Alt+P: &Printing, &Paste");
        expected.sort();
        QCOMPARE(accessKeyCollisions(&w), expected);

        TF_Log log(w.settings);
        log.show();
        QCOMPARE(accessKeyCollisions(&log), QStringList());
    }
};

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
