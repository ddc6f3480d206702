// The sender list, the address dialog and the one-line input, on real sender tables in a
// temporary program folder, and the sender box of the real main window.
#include "app/TF_Main.h"
#include "app/TF_YourAddress.h"
#include "core/IniFile.h"
#include "core/SearchText.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "tests/support/TestSupport.h"
#include "widgets/ButtonDialog.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"
#include "widgets/TF_Address.h"
#include "widgets/TF_NetworkSettings.h"
#include "widgets/TF_SingleEdit.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

TAddressLines addressOf(const QStringList& lines, const QString& city = {}, const QString& state = {},
                        const QString& zip = {})
{
    TAddressLines a;
    for (int i = 0; i < 4 && i < lines.size(); ++i)
        a.address[i] = lines[i];
    a.city = city;
    a.state = state;
    a.zip = zip;
    return a;
}

// The rows of a sender table as "A_ID|Address1|...|Zip", in key order.
QStringList senderRows(const QString& folder)
{
    engine::Query q;
    q.setFolder(folder.toStdString());
    q.setSql("select * from YourAddress order by A_ID");
    q.open();
    QStringList rows;
    for (; !q.eof(); q.next()) {
        QStringList fields;
        for (int i = 0; i < q.fieldCount(); ++i)
            fields << QString::fromStdString(q.asString(i));
        rows << fields.join('|');
    }
    return rows;
}

void insertSender(const QString& folder, const TAddressLines& a)
{
    engine::Query q;
    q.setFolder(folder.toStdString());
    q.setSql("insert into YourAddress (Address1, Address2, Address3, Address4, City, State, Zip) values(" +
             engine::quoted(a.address[0].toStdString()) + ", " + engine::quoted(a.address[1].toStdString()) + ", " +
             engine::quoted(a.address[2].toStdString()) + ", " + engine::quoted(a.address[3].toStdString()) + ", " +
             engine::quoted(a.city.toStdString()) + ", " + engine::quoted(a.state.toStdString()) + ", " +
             engine::quoted(a.zip.toStdString()) + ")");
    q.execSql();
}

QStringList captions(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

int selectedRow(const QListWidget* list)
{
    const auto selected = list->selectedItems();
    return selected.size() == 1 ? list->row(selected.first()) : -1;
}

QStringList labelTexts(QLabel* const (&labels)[5])
{
    QStringList out;
    for (QLabel* l : labels)
        out << l->text();
    return out;
}

using testsupport::clickButton;
using testsupport::ModalDriver;

// Fills the address dialog and presses OK; records the caption of its box.
ModalDriver::Handler fillAddress(const TAddressLines& a, QString* boxCaption = nullptr)
{
    return [a, boxCaption](QWidget* w) {
        auto d = static_cast<TF_Address*>(w);
        if (boxCaption)
            *boxCaption = d->gbAddress->title();
        QStringList lines(std::begin(a.address), std::end(a.address));
        while (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        d->memoAddress->setPlainText(lines.join('\n'));
        d->editCity->setText(a.city);
        d->editState->setText(a.state);
        d->editZip->setText(a.zip);
        clickButton(d, "btnOK");
    };
}

} // namespace

class TestSenders : public QObject {
    Q_OBJECT

    // A program folder with its sender table, and a sender list's settings.
    struct Fixture : testsupport::ProgramFixture {
        Fixture()
        {
            QDir().mkpath(settings.yourAddressDB);
            dm.CreateTable(settings.yourAddressDB, "YourAddress", schema::YourAddress);
            dm.adsqZipCodes.setFolder(testsupport::binDir().toStdString());
            MessageService::setScripted(true);
            FileDialogService::setScripted(true);
            ButtonDialogService::setScripted(true);
            rememberedSearchText.clear();
        }
        void add(const TAddressLines& a) { insertSender(settings.yourAddressDB, a); }
        void addNames(const QStringList& names)
        {
            for (const QString& n : names)
                add(addressOf({n}));
        }
        QStringList rows() const { return senderRows(settings.yourAddressDB); }
    };

private slots:
    // ---- loading ----------------------------------------------------------------------------

    void loadsInKeyOrderWithTheStoredKeySelected_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("selected");
        QTest::newRow("key of the second row") << "2" << 1;
        QTest::newRow("no key") << "" << -1;
        QTest::newRow("key of no row") << "9" << -1;
        QTest::newRow("key that is not a number") << "x" << -1;
    }
    void loadsInKeyOrderWithTheStoredKeySelected()
    {
        QFETCH(QString, key);
        QFETCH(int, selected);
        Fixture f;
        f.add(addressOf({"Jane Roe", "12 Elm St"}, "Springfield", "IL", "62704-1234"));
        f.add(addressOf({"  Pat O'Brien  "}, "Boston", "MA", "02108"));
        f.add(addressOf({}, "Chicago", "IL", "60601"));
        f.settings.yourAddressID = key;
        TF_YourAddress d(f.settings);
        QCOMPARE(d.windowTitle(), QString("Your Address"));
        QCOMPARE(captions(d.lvYourAddress), QStringList({"Jane Roe", "Pat O'Brien", "Chicago IL 60601"}));
        QCOMPARE(selectedRow(d.lvYourAddress), selected);
        QCOMPARE(d.btnOK->isEnabled(), selected >= 0);
        QCOMPARE(d.btnEdit->isEnabled(), selected >= 0);
        QCOMPARE(d.miDelete->isVisible(), selected >= 0);
        const QStringList preview = selected >= 0 ? QStringList{"  Pat O'Brien", "Boston MA 02108", "", "", ""}
                                                  : QStringList{"", "", "", "", ""};
        QCOMPARE(labelTexts(d.lblYourAddress), preview);
        QCOMPARE(d.lvYourAddress->item(0)->toolTip(), QString("Jane Roe\n12 Elm St\nSpringfield IL 62704-1234"));
        QCOMPARE(f.settings.yourAddressID, key); // loading never changes the key
    }

    void pathLabelIsShortenedFromTheLeft()
    {
        Fixture f;
        f.settings.yourAddressDB = "/srv";
        TF_YourAddress near(f.settings); // the table is missing there: only the label counts here
        QCOMPARE(near.labelDatabaseName->text(), QString("/srv/YourAddress.adt"));

        const QString deep = f.home.file("a-rather-long-folder-name/another-long-folder-name/shared senders");
        QDir().mkpath(deep);
        f.dm.CreateTable(deep, "YourAddress", schema::YourAddress);
        f.settings.yourAddressDB = deep;
        TF_YourAddress far(f.settings);
        const QString shown = far.labelDatabaseName->text();
        QVERIFY2(shown.startsWith(".../") && shown.endsWith("/shared senders/YourAddress.adt"), qPrintable(shown));
        QVERIFY(far.labelDatabaseName->fontMetrics().horizontalAdvance(shown.mid(4)) <= 224);
    }

    void aMissingTableIsReportedAndNothingIsAsked()
    {
        Fixture f;
        f.settings.yourAddressDB = f.home.file("nowhere");
        ModalDriver driver;
        TF_YourAddress d(f.settings);
        QCOMPARE(MessageService::shown().size(), 1);
        QVERIFY(MessageService::shown().first().text.contains("nowhere"));
        d.show();
        QTest::qWait(50);
        QVERIFY(driver.seen.isEmpty()); // no address dialog for a list that could not be read
        QCOMPARE(d.lvYourAddress->count(), 0);
        QVERIFY(!d.btnOK->isEnabled());
    }

    // ---- new, edit, delete ----------------------------------------------------------------------

    void newStoresTheAddressAndSelectsIt()
    {
        Fixture f;
        f.addNames({"Jane Roe"});
        f.settings.yourAddressID = "1";
        TF_YourAddress d(f.settings);
        const TAddressLines a = addressOf({"Pat O'Brien", "1 Main St; drop table YourAddress; --", "", "Suite 'B'"},
                                          "Boston", "MA", "02108-1234");
        QString boxCaption;
        ModalDriver driver;
        driver.on("TF_Address", fillAddress(a, &boxCaption));
        d.btnNew->trigger();
        QCOMPARE(boxCaption, QString("Your Name and Address"));
        QCOMPARE(f.rows().last(),
                 QString("2|Pat O'Brien|1 Main St; drop table YourAddress; --||Suite 'B'|Boston|MA|02108-1234"));
        QCOMPARE(selectedRow(d.lvYourAddress), 1);
        QCOMPARE(f.settings.yourAddressID, QString("1")); // until OK
        clickButton(&d, "btnOK");
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(f.settings.yourAddressID, QString("2"));
        QCOMPARE(d.chosenAddress(), addressOf({"Pat O'Brien", "1 Main St; drop table YourAddress; --", "", "Suite 'B'"},
                                              "Boston", "MA", "02108-1234"));
    }

    void anEmptyListAsksForANewAddressAtOnce()
    {
        Fixture f;
        TF_YourAddress d(f.settings);
        ModalDriver driver;
        driver.on("TF_Address", fillAddress(addressOf({}, "", "", "12345")));
        d.show();
        QTRY_COMPARE(d.lvYourAddress->count(), 1);
        QCOMPARE(f.rows(), QStringList({"1|||||||12345"})); // the dangling "-" dropped
        QCOMPARE(d.lvYourAddress->item(0)->text(), QString("12345"));
    }

    void editStoresTheChangedAddress()
    {
        Fixture f;
        f.add(addressOf({"Jane Roe"}, "Springfield", "IL", "62704"));
        f.addNames({"Other"});
        f.settings.yourAddressID = "1";
        TF_YourAddress d(f.settings);
        QString boxCaption;
        ModalDriver driver;
        driver.on("TF_Address", [&](QWidget* w) {
            auto a = static_cast<TF_Address*>(w);
            boxCaption = a->gbAddress->title();
            QCOMPARE(a->memoAddress->toPlainText(), QString("Jane Roe"));
            QCOMPARE(a->editCity->text(), QString("Springfield"));
            a->memoAddress->setPlainText("Pat O'Brien\n'; delete from YourAddress; --");
            clickButton(a, "btnOK");
        });
        d.btnEdit->trigger();
        QCOMPARE(boxCaption, QString("Edit Name and Address"));
        QCOMPARE(f.rows(),
                 QStringList({"1|Pat O'Brien|'; delete from YourAddress; --|||Springfield|IL|62704", "2|Other||||||"}));
        QCOMPARE(d.lvYourAddress->item(0)->text(), QString("Pat O'Brien"));
        QCOMPARE(d.lblYourAddress[0]->text(), QString("Pat O'Brien"));
        QCOMPARE(d.lblYourAddress[2]->text(), QString("Springfield IL 62704"));

        // Read back through a fresh list: the quote survives the round trip.
        TF_YourAddress again(f.settings);
        QCOMPARE(TF_YourAddress::recordOf(again.lvYourAddress->item(0)).address.address[0], QString("Pat O'Brien"));
    }

    // The table is held by another workstation when OK is pressed: the error is shown and the
    // dialog comes back with what was typed, to be stored once the table is free.
    void anAddressThatCannotBeStoredIsOfferedAgain_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::newRow("new") << false;
        QTest::newRow("edit") << true;
    }
    void anAddressThatCannotBeStoredIsOfferedAgain()
    {
        QFETCH(bool, editing);
        Fixture f;
        f.addNames({"Jane Roe"});
        f.settings.yourAddressID = "1";
        TF_YourAddress d(f.settings);
        const testsupport::LockWait shortWait(100);
        engine::Table otherWorkstation;
        otherWorkstation.setFolder(toStd(f.settings.yourAddressDB));
        otherWorkstation.setTableName("YourAddress");
        otherWorkstation.open();
        otherWorkstation.startTransaction();
        otherWorkstation.edit();
        otherWorkstation.setText("City", "Held");
        otherWorkstation.post(); // holds the file's write lock until the commit

        const TAddressLines typed = addressOf({"Pat O'Brien", "9 Elm St"}, "Boston", "MA", "02108");
        QString offeredAgain;
        ModalDriver driver;
        driver.on("TF_Address", fillAddress(typed));
        driver.on("TF_Address", [&](QWidget* w) {
            auto a = static_cast<TF_Address*>(w);
            offeredAgain = a->memoAddress->toPlainText() + "|" + a->editCity->text();
            otherWorkstation.commit();
            clickButton(a, "btnOK");
        });
        (editing ? d.btnEdit : d.btnNew)->trigger();

        QCOMPARE(MessageService::shown().size(), 1);
        QVERIFY2(MessageService::shown().first().text.contains("lock"),
                 qPrintable(MessageService::shown().first().text));
        QCOMPARE(offeredAgain, QString("Pat O'Brien\n9 Elm St|Boston"));
        QCOMPARE(f.rows().last(), QString("%1|Pat O'Brien|9 Elm St|||Boston|MA|02108").arg(editing ? 1 : 2));
        QCOMPARE(driver.seen, QStringList({"TF_Address", "TF_Address"}));
    }

    void cancelledDialogsChangeNothing()
    {
        Fixture f;
        f.addNames({"Jane Roe"});
        f.settings.yourAddressID = "1";
        TF_YourAddress d(f.settings);
        ModalDriver driver; // rejects every dialog
        d.btnNew->trigger();
        d.btnEdit->trigger();
        QCOMPARE(f.rows(), QStringList({"1|Jane Roe||||||"}));
        QCOMPARE(driver.seen, QStringList({"TF_Address", "TF_Address"}));
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("yes") << int(QMessageBox::Yes) << QStringList{"1|Jane Roe||||||", "3|Kim||||||"};
        QTest::newRow("no") << int(QMessageBox::No) << QStringList{"1|Jane Roe||||||", "2|Pat||||||", "3|Kim||||||"};
        QTest::newRow("cancel") << int(QMessageBox::Cancel)
                                << QStringList{"1|Jane Roe||||||", "2|Pat||||||", "3|Kim||||||"};
    }
    void deleteAsksFirst()
    {
        QFETCH(int, answer);
        QFETCH(QStringList, rows);
        Fixture f;
        f.addNames({"Jane Roe", "Pat", "Kim"});
        f.settings.yourAddressID = "2";
        TF_YourAddress d(f.settings);
        MessageService::queueAnswer(QMessageBox::StandardButton(answer));
        d.btnDelete->trigger();
        QCOMPARE(MessageService::shown().first().text, QString("Are you sure you want to delete this address?"));
        QCOMPARE(MessageService::shown().first().buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(f.rows(), rows);
        QCOMPARE(d.lvYourAddress->count(), rows.size());
        QCOMPARE(selectedRow(d.lvYourAddress), answer == QMessageBox::Yes ? 0 : 1);
        QCOMPARE(f.settings.yourAddressID, QString("2")); // other rows remain: the key stays
    }

    void deletingTheLastSenderClearsTheKey()
    {
        Fixture f;
        f.addNames({"Jane Roe"});
        f.settings.yourAddressID = "1";
        TF_YourAddress d(f.settings);
        MessageService::queueAnswer(QMessageBox::Yes);
        d.btnDelete->trigger();
        QVERIFY(f.rows().isEmpty());
        QVERIFY(f.settings.yourAddressID.isEmpty());
        QVERIFY(!d.btnOK->isEnabled() && !d.btnEdit->isEnabled() && !d.btnDelete->isEnabled());
        QVERIFY(!d.miEdit->isVisible() && !d.miDelete->isVisible());
        QCOMPARE(labelTexts(d.lblYourAddress), QStringList({"", "", "", "", ""}));
    }

    // ---- find -------------------------------------------------------------------------------

    void findSearchesAfterTheSelectedItemAndWraps_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("found");
        QTest::newRow("none selected: first match") << -1 << "elm" << 0;
        QTest::newRow("after the selected item") << 0 << "elm" << 2;
        QTest::newRow("wraps to the first") << 2 << "elm" << 0;
        QTest::newRow("the selected item comes last") << 1 << "kim" << 1;
        QTest::newRow("city, state and zip count") << 0 << "60601" << 3;
        QTest::newRow("no match keeps the selection") << 1 << "zzz" << 1;
    }
    void findSearchesAfterTheSelectedItemAndWraps()
    {
        QFETCH(int, selected);
        QFETCH(QString, text);
        QFETCH(int, found);
        Fixture f;
        f.add(addressOf({"Jane Roe", "12 ELM ST"}));
        f.add(addressOf({"Kim"}));
        f.add(addressOf({"Elmhurst Corp"}));
        f.add(addressOf({"Lee"}, "Chicago", "IL", "60601"));
        f.settings.yourAddressID = selected >= 0 ? QString::number(selected + 1) : QString();
        TF_YourAddress d(f.settings);
        rememberedSearchText = text;
        d.findNext();
        QCOMPARE(selectedRow(d.lvYourAddress), found);
        if (text == "zzz")
            QCOMPARE(MessageService::shown().last().text, QString("Search string \"zzz\" not found."));
        else
            QVERIFY(MessageService::shown().isEmpty());
    }

    void findAsksForTheTextAndF3RepeatsIt()
    {
        Fixture f;
        f.addNames({"Elm One", "Oak", "Elm Two"});
        TF_YourAddress d(f.settings);
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        rememberedSearchText = "previous";
        QString caption, prompt, offered;
        ModalDriver driver;
        driver.on("TF_SingleEdit", [&](QWidget* w) {
            auto e = static_cast<TF_SingleEdit*>(w);
            caption = e->windowTitle();
            prompt = e->TheGroupBox->title();
            offered = e->TheEdit->text();
            e->TheEdit->setText("elm");
            clickButton(e, "btnOK");
        });
        d.lvYourAddress->setFocus();
        QTest::keyClick(d.lvYourAddress, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(caption, QString("Find"));
        QCOMPARE(prompt, QString("Text to find"));
        QCOMPARE(offered, QString("previous"));
        QCOMPARE(rememberedSearchText, QString("elm"));
        QCOMPARE(selectedRow(d.lvYourAddress), 0);
        d.activateWindow(); // the find dialog has gone; the list's window takes the keys again
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QTest::keyClick(d.lvYourAddress, Qt::Key_F3);
        QCOMPARE(selectedRow(d.lvYourAddress), 2);
        QTest::keyClick(d.lvYourAddress, Qt::Key_F3);
        QCOMPARE(selectedRow(d.lvYourAddress), 0);

        rememberedSearchText = "  ";
        QTest::keyClick(d.lvYourAddress, Qt::Key_F3); // a blank text is not searched for
        QVERIFY(MessageService::shown().isEmpty());
    }

    // ---- change --------------------------------------------------------------------------------

    void changeReloadsFromTheNewFolder()
    {
        Fixture f;
        f.addNames({"Here"});
        const QString shared = f.home.file("shared");
        QDir().mkpath(shared);
        f.dm.CreateTable(shared, "YourAddress", schema::YourAddress);
        insertSender(shared, addressOf({"There"}));
        insertSender(shared, addressOf({"Over there"}));
        TF_YourAddress d(f.settings);
        FileDialogService::queueAnswer(shared + "/YourAddress.adt");
        ModalDriver driver;
        driver.on("TF_NetworkSettings", [](QWidget* w) {
            clickButton(w, "btnChangeYourAddress");
            clickButton(w, "btnOK");
        });
        clickButton(&d, "btnChange");
        QCOMPARE(f.settings.yourAddressDB, shared);
        QCOMPARE(captions(d.lvYourAddress), QStringList({"There", "Over there"}));
        QCOMPARE(d.labelDatabaseName->toolTip(), shared + "/YourAddress.adt");

        driver.on("TF_NetworkSettings", [](QWidget* w) { clickButton(w, "btnCancel"); });
        clickButton(&d, "btnChange");
        QCOMPARE(captions(d.lvYourAddress), QStringList({"There", "Over there"}));
    }

    // ---- the address dialog and the one-line input -------------------------------------------------

    void addressDialogSkipsEmptyInputLines()
    {
        Fixture f;
        TF_Address d(addressOf({"Jane Roe", "", "Apt 4", ""}, "Springfield", "IL", "62704-1234"));
        QCOMPARE(d.windowTitle(), QString("Name and Address"));
        QCOMPARE(d.memoAddress->toPlainText(), QString("Jane Roe\nApt 4"));
        QCOMPARE(d.editZip->displayText(), QString("62704-1234"));
        QCOMPARE(d.address(), addressOf({"Jane Roe", "Apt 4"}, "Springfield", "IL", "62704-1234"));
    }

    void addressDialogOk_data()
    {
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QString>("city");
        QTest::addColumn<QString>("zip");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("handedZip");
        QTest::newRow("nothing typed") << ""
                                       << ""
                                       << "" << false << "";
        QTest::newRow("blanks only") << "   \nsecond line only"
                                     << "  "
                                     << "" << false << "";
        QTest::newRow("only a ZIP") << ""
                                    << ""
                                    << "12345" << true << "12345";
        QTest::newRow("full ZIP") << "Jane"
                                  << ""
                                  << "12345-6789" << true << "12345-6789";
        QTest::newRow("only a name") << "Jane"
                                     << ""
                                     << "" << true << "";
    }
    void addressDialogOk()
    {
        QFETCH(QString, memo);
        QFETCH(QString, city);
        QFETCH(QString, zip);
        QFETCH(bool, accepted);
        QFETCH(QString, handedZip);
        Fixture f;
        TF_Address d(TAddressLines{});
        QCOMPARE(d.editZip->displayText().replace('_', ' '), QString("     -    "));
        d.memoAddress->setPlainText(memo);
        d.editCity->setText(city);
        d.editZip->setText(zip);
        clickButton(&d, "btnOK");
        QCOMPARE(d.result() == QDialog::Accepted, accepted);
        QCOMPARE(MessageService::shown().size(), accepted ? 0 : 1);
        if (accepted)
            QCOMPARE(d.address().zip, handedZip);
        else
            QCOMPARE(MessageService::shown().first().text, QString("Address can not be empty."));
    }

    void addressDialogLimitsTheFieldsToTheColumnWidths()
    {
        Fixture f;
        const QString longLine = QString("O'Brien ").repeated(10); // 80 characters
        TF_Address d(TAddressLines{});
        d.memoAddress->setPlainText(longLine + "\nline 2\nline 3\nline 4\nline 5");
        // Four lines kept, each as wide as the table's column.
        QCOMPARE(d.memoAddress->toPlainText(), longLine.left(50) + "\nline 2\nline 3\nline 4");
        d.editCity->setText(QString(60, 'c'));
        d.editState->setText("Massachusetts");
        QCOMPARE(d.editCity->text().size(), 35);
        QCOMPARE(d.editState->text(), QString("Mass"));
        QCOMPARE(d.address().address[0], longLine.left(50));

        // What reaches the table without the dialog is cut by the table itself.
        f.add(addressOf({longLine}, QString(60, 'c'), "Massachusetts", "12345-67890123"));
        QCOMPARE(f.rows(),
                 QStringList({"1|" + longLine.left(50).trimmed() + "||||" + QString(35, 'c') + "|Mass|12345-6789"}));
    }

    void addressDialogLooksUpTheZipOnLeavingAField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("city");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("zip");
        QTest::addColumn<QString>("cityAfter");
        QTest::addColumn<QString>("stateAfter");
        QTest::newRow("leaving ZIP fills both") << "editZip"
                                                << ""
                                                << ""
                                                << "62704"
                                                << "Springfield"
                                                << "IL";
        QTest::newRow("leaving City keeps a typed City") << "editCity"
                                                         << "Capital"
                                                         << ""
                                                         << "62704"
                                                         << "Capital"
                                                         << "IL";
        QTest::newRow("leaving State") << "editState"
                                       << ""
                                       << ""
                                       << "62704-1234"
                                       << "Springfield"
                                       << "IL";
        QTest::newRow("four digits do nothing") << "editZip"
                                                << ""
                                                << ""
                                                << "6270"
                                                << ""
                                                << "";
        QTest::newRow("unknown ZIP") << "editZip"
                                     << ""
                                     << ""
                                     << "00000"
                                     << ""
                                     << "";
    }
    void addressDialogLooksUpTheZipOnLeavingAField()
    {
        QFETCH(QString, field);
        QFETCH(QString, city);
        QFETCH(QString, state);
        QFETCH(QString, zip);
        Fixture f;
        TF_Address d(TAddressLines{});
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        d.editCity->setText(city);
        d.editState->setText(state);
        d.editZip->setText(zip);
        auto edit = d.findChild<QLineEdit*>(field);
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        d.memoAddress->setFocus();
        QTRY_VERIFY(d.memoAddress->hasFocus());
        QTEST(d.editCity->text(), "cityAfter");
        QTEST(d.editState->text(), "stateAfter");
    }

    void addressDialogCopyThenPasteGivesTheSameAddress()
    {
        Fixture f;
        TF_Address from(addressOf({"Jane Roe", "12 Elm St"}, "Springfield", "IL", "62704-1234"));
        clickButton(&from, "btnCopy");
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("Jane Roe\n\r12 Elm St\n\rSpringfield IL 62704-1234"));
        TF_Address to(addressOf({"Someone else", "", "", "x"}, "Elsewhere", "ZZ", "99999"));
        clickButton(&to, "btnPaste");
        QCOMPARE(to.address(), addressOf({"Jane Roe", "12 Elm St"}, "Springfield", "IL", "62704-1234"));
        clickButton(&to, "btnClear");
        QCOMPARE(to.memoAddress->toPlainText(), QString());
        QCOMPARE(to.editZip->displayText().replace('_', ' '), QString("     -    "));
    }

    void singleEditHandsBackTheTextUntrimmed()
    {
        Fixture f;
        TF_SingleEdit d("Find", "Text to find", "old");
        QCOMPARE(d.windowTitle(), QString("Find"));
        QCOMPARE(d.TheGroupBox->title(), QString("Text to find"));
        QCOMPARE(d.TheEdit->text(), QString("old"));
        d.TheEdit->setText("   ");
        clickButton(&d, "btnOK");
        QCOMPARE(MessageService::shown().last().text, QString("Field cannot be blank."));
        QVERIFY(d.result() != QDialog::Accepted);
        d.TheEdit->setText("  two words ");
        clickButton(&d, "btnOK");
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.text(), QString("  two words "));
    }

    // ---- the main window -------------------------------------------------------------------------

    void firstStartAsksForASenderAndShowsIt()
    {
        testsupport::TempProgramFolder home;
        MessageService::setScripted(true);
        ButtonDialogService::setScripted(true);
        TdmDovraPro dm;
        TF_Main w;
        ModalDriver driver;
        QString boxCaption;
        driver.on("TF_Address",
                  fillAddress(addressOf({"Jane Roe", "12 Elm St"}, "Springfield", "IL", "62704-"), &boxCaption));
        driver.on("TF_YourAddress", [](QWidget* list) {
            QTRY_COMPARE(static_cast<TF_YourAddress*>(list)->lvYourAddress->count(), 1);
            clickButton(list, "btnOK");
        });
        w.show();
        QTRY_VERIFY(!w.firstShowingPending());
        QTRY_VERIFY(driver.seen.contains("TF_YourAddress") && driver.seen.contains("TF_Address"));
        QCOMPARE(boxCaption, QString("Your Name and Address"));
        QTRY_COMPARE(w.lblYourAddress[0]->text(), QString("Jane Roe"));
        QCOMPARE(labelTexts(w.lblYourAddress), QStringList({"Jane Roe", "12 Elm St", "Springfield IL 62704", "", ""}));
        QCOMPARE(w.settings.yourAddressID, QString("1"));
        QTRY_VERIFY(!QApplication::activeModalWidget());
        w.close();
    }

    void selectChoosesTheSenderAndRenewsTheEntry()
    {
        testsupport::TempProgramFolder home;
        MessageService::setScripted(true);
        ButtonDialogService::setScripted(true);
        TdmDovraPro dm;
        TF_Main w;
        insertSender(w.settings.yourAddressDB, addressOf({"Jane Roe"}, "Springfield", "IL", "62704-"));
        insertSender(w.settings.yourAddressDB, addressOf({"Pat O'Brien"}, "Boston", "MA", "02108"));
        w.settings.yourAddressID = "1";
        w.MarkEntryPrinted();
        ModalDriver driver;
        driver.on("TF_YourAddress", [](QWidget* list) {
            auto d = static_cast<TF_YourAddress*>(list);
            d->lvYourAddress->setCurrentRow(1);
            clickButton(d, "btnOK");
        });
        w.miSelectYourAddress->trigger();
        QCOMPARE(labelTexts(w.lblYourAddress), QStringList({"Pat O'Brien", "Boston MA 02108", "", "", ""}));
        QCOMPARE(w.currentSender, addressOf({"Pat O'Brien"}, "Boston", "MA", "02108"));
        QCOMPARE(w.settings.yourAddressID, QString("2"));
        QVERIFY(!w.entryPrinted());

        // Cancel keeps everything as it was.
        w.MarkEntryPrinted();
        clickButton(&w, "btnSelectYourAddress"); // the driver rejects the list
        QCOMPARE(w.settings.yourAddressID, QString("2"));
        QCOMPARE(w.lblYourAddress[0]->text(), QString("Pat O'Brien"));
        QVERIFY(w.entryPrinted());
        QCOMPARE(driver.seen, QStringList({"TF_YourAddress", "TF_YourAddress"}));
        w.close();
    }

    void twoProgramFoldersShareOneSenderList()
    {
        testsupport::TempProgramFolder shared; // stands for the network folder
        const QString senders = shared.path();
        MessageService::setScripted(true);
        ButtonDialogService::setScripted(true);
        QString key;
        {
            testsupport::TempProgramFolder first;
            IniFile ini(first.file("dovra3.ini"));
            ini.writeString("YourAddress", "DB", senders);
            QVERIFY(ini.save().isEmpty());
            TdmDovraPro dm;
            TF_Main w; // makes the sender table in the shared folder
            QVERIFY(QFile::exists(senders + "/YourAddress.adt"));
            ModalDriver driver;
            driver.on("TF_YourAddress", [](QWidget* list) {
                // The empty list asks for the first sender at once.
                QTRY_COMPARE(static_cast<TF_YourAddress*>(list)->lvYourAddress->count(), 1);
                clickButton(list, "btnOK");
            });
            driver.on("TF_Address", fillAddress(addressOf({"Shared Sender Inc"}, "Boston", "MA", "02108")));
            w.btnSelectYourAddress->click();
            key = w.settings.yourAddressID;
            w.close();
        }
        testsupport::TempProgramFolder second;
        IniFile ini(second.file("dovra3.ini"));
        ini.writeString("YourAddress", "DB", senders);
        ini.writeString("YourAddress", "ID", key);
        QVERIFY(ini.save().isEmpty());
        TdmDovraPro dm;
        TF_Main w;
        QCOMPARE(w.lblYourAddress[0]->text(), QString("Shared Sender Inc"));
        QVERIFY(!QFile::exists(second.file("Addresses/YourAddress.adt")));
        TF_YourAddress list(w.settings);
        QCOMPARE(captions(list.lvYourAddress), QStringList({"Shared Sender Inc"}));
        QCOMPARE(selectedRow(list.lvYourAddress), 0);
        w.close();
    }

    void networkSettingsFromTheOptionsMenu()
    {
        testsupport::TempProgramFolder home;
        MessageService::setScripted(true);
        TdmDovraPro dm;
        TF_Main w;
        QVERIFY(w.miNetworkSettings->isEnabled());
        ModalDriver driver;
        driver.on("TF_NetworkSettings", [](QWidget* d) {
            QCOMPARE(d->windowTitle(), QString("Network Settings"));
            clickButton(d, "btnOK");
        });
        const Settings before = w.settings;
        w.miNetworkSettings->trigger();
        QCOMPARE(driver.seen, QStringList({"TF_NetworkSettings"}));
        QCOMPARE(w.settings.logDB, before.logDB);
        w.close();
    }
};

QTEST_MAIN(TestSenders)
#include "test_senders.moc"
