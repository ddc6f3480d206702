// The Mailer Number dialog on a real counter: what it shows, what OK stores, the lock it
// holds while open, its help, its link and its Change button; and how the main window opens it.
#include "app/TF_Main.h"
#include "core/Settings.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "printing/TF_ProMailer.h"
#include "tests/support/TestSupport.h"
#include "widgets/Services.h"
#include "widgets/TF_NetworkSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <memory>

namespace {

using testsupport::counterIsFree;
using testsupport::CounterRow;
using testsupport::readRow;
using testsupport::writeRow;

// On the box itself: the check box is wider than its caption.
void clickBox(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

} // namespace

class TestProMailer : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void openingShowsTheCounterAndLocksIt();
    void customerIdIsSetAndStored();
    void customerIdTypedAfterAClick_data();
    void customerIdTypedAfterAClick();
    void everyWayOfClosingReleases_data();
    void everyWayOfClosingReleases();
    void clearingBarCodesKeepsIdAndSerial();
    void typedPrePrintedNumberIsTaken();
    void badEntriesAreRefused_data();
    void badEntriesAreRefused();
    void serialIsFixedOnLeaving_data();
    void serialIsFixedOnLeaving();
    void panelsAndHelpFollowTheBox();
    void linkOpensTheDirectoryCompany();
    void longPathIsShortenedFromTheLeft();
    void counterLockedElsewhere();
    void changeReloadsFromTheNewFolder();
    void mainWindowOpensTheDialog();
    void serialsTheLogHoldsAreNotSetAgain_data();
    void serialsTheLogHoldsAreNotSetAgain();

private:
    QString folder() const { return program_->home.path(); }
    std::unique_ptr<testsupport::ProgramFixture> program_;
};

void TestProMailer::init()
{
    MessageService::setScripted(true);
    MessageService::clearShown();
    FileDialogService::setScripted(true);
    program_ = std::make_unique<testsupport::ProgramFixture>();
    program_->dm.CreateTable(folder(), "MailerNum", schema::MailerNum);
}

void TestProMailer::cleanup()
{
    program_.reset();
}

void TestProMailer::openingShowsTheCounterAndLocksIt()
{
    writeRow(folder(), {"12-345-67", "0000042", false, true});
    TF_ProMailer dialog(program_->settings);
    QCOMPARE(dialog.windowTitle(), QString("Mailer Number"));
    QCOMPARE(dialog.labelDatabaseName->toolTip(), folder() + "/MailerNum.adt");
    QVERIFY(dialog.labelDatabaseName->text().endsWith("/MailerNum.adt"));
    QCOMPARE(dialog.editCustID->text(), QString("1234567")); // older data's dashes dropped
    QCOMPARE(dialog.EditSerialNum->text(), QString("0000042"));
    QCOMPARE(dialog.EditMailerNum->text(), QString("9214700123456700000421"));
    QVERIFY(dialog.EditMailerNum->isHidden());
    QVERIFY(dialog.rbDecrement->isChecked());
    QVERIFY(dialog.cbPrintBarCodes->isChecked());
    QVERIFY(!dialog.panelPrintBarCodes->isHidden());
    QVERIFY(dialog.panelNoBarCodes->isHidden());
    QVERIFY(dialog.panelBarCode->isHidden() && dialog.panelMailerNum->isHidden());
    QVERIFY(!counterIsFree(folder()));
}

void TestProMailer::customerIdIsSetAndStored()
{
    TF_ProMailer dialog(program_->settings);
    dialog.show();
    dialog.editCustID->selectAll();
    QTest::keyClicks(dialog.editCustID, "123456789");
    dialog.EditSerialNum->setText("0000100");
    QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(counterIsFree(folder()));
    const CounterRow row = readRow(folder());
    QCOMPARE(row.custId, QString("123456789"));
    QCOMPARE(row.serialNum, QString("0000100"));
    QVERIFY(row.barCodes);
    QVERIFY(row.increment);
    // The stored ID is what the next print run reads.
    TNumberState state;
    QString refusal;
    QVERIFY(OpenNumberCounter(program_->settings, state, refusal));
    CloseNumberCounter();
}

// A click anywhere in the Mailer ID field, then the digits typed: the field holds what was
// typed, and OK stores it; fewer than nine digits are refused and nothing is stored.
void TestProMailer::customerIdTypedAfterAClick_data()
{
    QTest::addColumn<double>("clickAt"); // share of the field's width
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("click at the left") << 0.05 << "123456789"
                                       << "123456789";
    QTest::newRow("click in the middle") << 0.5 << "123456789"
                                         << "123456789";
    QTest::newRow("click at the right") << 0.95 << "987654321"
                                        << "987654321";
    QTest::newRow("four digits") << 0.5 << "1234"
                                 << "555555555";
    QTest::newRow("eight digits") << 0.95 << "12345678"
                                  << "555555555";
}

void TestProMailer::customerIdTypedAfterAClick()
{
    QFETCH(double, clickAt);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    writeRow(folder(), {"555555555", "0000001", true, true});
    TF_ProMailer dialog(program_->settings);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.EditSerialNum->setFocus();
    QLineEdit* field = dialog.editCustID;
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(int(field->width() * clickAt), field->height() / 2));
    QVERIFY(field->hasFocus());
    QTest::keyClicks(field, typed);
    const bool complete = typed.size() == 9;
    if (complete)
        QCOMPARE(field->text(), typed);
    QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    QCOMPARE(dialog.result(), complete ? int(QDialog::Accepted) : int(QDialog::Rejected));
    if (!complete) {
        QCOMPARE(MessageService::shown().size(), 1);
        QCOMPARE(MessageService::shown().first().text,
                 QString("Please enter all nine digits of the Mailer ID Number."));
        dialog.reject();
    }
    QCOMPARE(readRow(folder()).custId, stored);
}

void TestProMailer::everyWayOfClosingReleases_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("stored");
    QTest::newRow("OK") << "ok" << true;
    QTest::newRow("Cancel") << "cancel" << false;
    QTest::newRow("Escape") << "escape" << false;
    QTest::newRow("close box") << "close" << false;
}

void TestProMailer::everyWayOfClosingReleases()
{
    QFETCH(QString, way);
    QFETCH(bool, stored);
    writeRow(folder(), {"123456789", "0000007", true, true});
    TF_ProMailer dialog(program_->settings);
    dialog.show();
    dialog.EditSerialNum->setText("0000500");
    QVERIFY(!counterIsFree(folder()));
    if (way == "ok")
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    else if (way == "cancel")
        QTest::mouseClick(dialog.btnCancel, Qt::LeftButton);
    else if (way == "escape")
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else
        dialog.close();
    QVERIFY(!dialog.isVisible());
    QVERIFY(counterIsFree(folder()));
    QCOMPARE(readRow(folder()).serialNum, QString(stored ? "0000500" : "0000007"));
}

void TestProMailer::clearingBarCodesKeepsIdAndSerial()
{
    writeRow(folder(), {"123456789", "0000007", true, true});
    TF_ProMailer dialog(program_->settings);
    dialog.show();
    dialog.editCustID->setText("987654321");
    dialog.EditSerialNum->setText("0000999");
    clickBox(dialog.cbPrintBarCodes);
    QVERIFY(!dialog.cbPrintBarCodes->isChecked());
    // The hidden number follows what was typed before the box was cleared.
    QCOMPARE(dialog.EditMailerNum->text(), BuildMailerNumber("987654321", "0000999", "T"));
    QTest::mouseClick(dialog.rbDecrement, Qt::LeftButton);
    QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    const CounterRow row = readRow(folder());
    QVERIFY(!row.barCodes);
    QVERIFY(!row.increment);
    QCOMPARE(row.custId, QString("123456789"));
    QCOMPARE(row.serialNum, QString("0000007"));
}

void TestProMailer::typedPrePrintedNumberIsTaken()
{
    writeRow(folder(), {"123456789", "0000007", true, false});
    TF_ProMailer dialog(program_->settings);
    dialog.show();
    QVERIFY(dialog.panelPrintBarCodes->isHidden());
    QTest::keyClicks(dialog.editMailerNumOLD, "9214700000123400000012");
    QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    const CounterRow row = readRow(folder());
    QCOMPARE(row.custId, QString("000001234"));
    QCOMPARE(row.serialNum, QString("0000001"));
    QVERIFY(!row.barCodes);
}

void TestProMailer::badEntriesAreRefused_data()
{
    QTest::addColumn<bool>("barCodes");
    QTest::addColumn<QString>("custId");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("preprinted");
    QTest::addColumn<QString>("message");
    QTest::newRow("short customer id") << true << "1234"
                                       << "0000001"
                                       << ""
                                       << "Please enter all nine digits of the Mailer ID Number.";
    QTest::newRow("letters in serial") << true << "123456789"
                                       << "12a"
                                       << ""
                                       << "The Starting Identifier Serial Number may contain digits only.";
    QTest::newRow("blank in serial") << true << "123456789"
                                     << "1 2"
                                     << ""
                                     << "The Starting Identifier Serial Number may contain digits only.";
    QTest::newRow("wrong check digit") << false << ""
                                       << ""
                                       << "9214700000123400000013"
                                       << "Please enter the 22 digits of the Mailer Number printed on the next form, "
                                          "or leave the field empty.";
    QTest::newRow("twenty digits") << false << ""
                                   << ""
                                   << "92147000001234000000"
                                   << "Please enter the 22 digits of the Mailer Number printed on the next form, "
                                      "or leave the field empty.";
}

void TestProMailer::badEntriesAreRefused()
{
    QFETCH(bool, barCodes);
    QFETCH(QString, custId);
    QFETCH(QString, serial);
    QFETCH(QString, preprinted);
    QFETCH(QString, message);
    writeRow(folder(), {"123456789", "0000007", true, barCodes});
    TF_ProMailer dialog(program_->settings);
    dialog.show();
    if (barCodes) {
        dialog.editCustID->setText(custId);
        dialog.EditSerialNum->setText(serial);
    } else {
        dialog.editMailerNumOLD->setText(preprinted);
    }
    QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
    QCOMPARE(MessageService::shown().size(), 1);
    QCOMPARE(MessageService::shown().first().kind, MessageKind::Error);
    QCOMPARE(MessageService::shown().first().text, message);
    QVERIFY(dialog.isVisible());
    QVERIFY(!counterIsFree(folder()));
    dialog.reject();
    const CounterRow row = readRow(folder());
    QCOMPARE(row.custId, QString("123456789"));
    QCOMPARE(row.serialNum, QString("0000007"));
}

void TestProMailer::serialIsFixedOnLeaving_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("fixed");
    QTest::newRow("short") << "12"
                           << "0000012";
    QTest::newRow("long") << "123456789"
                          << "3456789";
    QTest::newRow("seven") << "7654321"
                           << "7654321";
    QTest::newRow("empty") << ""
                           << "0000000";
}

void TestProMailer::serialIsFixedOnLeaving()
{
    QFETCH(QString, typed);
    QFETCH(QString, fixed);
    TF_ProMailer dialog(program_->settings);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.EditSerialNum->setFocus();
    dialog.EditSerialNum->clear();
    QTest::keyClicks(dialog.EditSerialNum, typed);
    QCOMPARE(dialog.EditSerialNum->text(), typed);
    dialog.editCustID->setFocus();
    QTRY_COMPARE(dialog.EditSerialNum->text(), fixed);
    dialog.reject();
}

void TestProMailer::panelsAndHelpFollowTheBox()
{
    writeRow(folder(), {"123456789", "0000007", true, true});
    TF_ProMailer dialog(program_->settings);
    dialog.show();
    QTest::mouseClick(dialog.btnHelp, Qt::LeftButton);
    QVERIFY(!dialog.btnHelp->isEnabled());
    QCOMPARE(dialog.height(), 335);
    QVERIFY(dialog.panelBarCode->isVisible());
    QVERIFY(!dialog.panelMailerNum->isVisible());
    const auto helpText = [](QWidget* panel) {
        QStringList texts;
        for (QLabel* l : panel->findChildren<QLabel*>())
            texts << l->text();
        return texts.join('\n');
    };
    QVERIFY(helpText(dialog.panelBarCode).contains("Customer ID:"));
    QVERIFY(helpText(dialog.panelBarCode).contains("Identifier Serial Number:"));
    QVERIFY(helpText(dialog.panelBarCode)
                .contains("must remain unique for at least 2 years in order to ensure that it identifies only one "
                          "mailpiece."));

    // With the help open, the box switches both the entry panels and the help.
    clickBox(dialog.cbPrintBarCodes);
    QCOMPARE(dialog.height(), 383);
    QVERIFY(!dialog.panelBarCode->isVisible());
    QVERIFY(dialog.panelMailerNum->isVisible());
    QVERIFY(dialog.panelNoBarCodes->isVisible());
    QVERIFY(!dialog.panelPrintBarCodes->isVisible());
    QVERIFY(helpText(dialog.panelMailerNum).contains("22 Digit Mailer Number:"));
    QVERIFY(helpText(dialog.panelMailerNum).contains("Increment/Decrement:"));

    clickBox(dialog.cbPrintBarCodes);
    QCOMPARE(dialog.height(), 335);
    QVERIFY(dialog.panelBarCode->isVisible());
    QVERIFY(dialog.panelPrintBarCodes->isVisible());
    dialog.reject();
}

void TestProMailer::linkOpensTheDirectoryCompany()
{
    testsupport::UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    TF_ProMailer dialog(program_->settings);
    dialog.show();
    QTest::mouseClick(dialog.btnHelp, Qt::LeftButton);
    QCOMPARE(dialog.LabelDnB->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
    QTest::mouseClick(dialog.LabelDnB, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("https");
    QCOMPARE(catcher.opened, QList<QUrl>{QUrl(dialog.LabelDnB->text())});
    QCOMPARE(dialog.LabelDnB->text(), TF_ProMailer::DirectoryCompanyAddress);
    dialog.reject();
}

void TestProMailer::longPathIsShortenedFromTheLeft()
{
    const QString deep = folder() + "/a-rather-long-folder-name/another-long-folder-name/and-a-third-folder/shared";
    QVERIFY(QDir().mkpath(deep));
    program_->dm.CreateTable(deep, "MailerNum", schema::MailerNum);
    program_->settings.mailerNumDB = deep;
    TF_ProMailer dialog(program_->settings);
    const QString text = dialog.labelDatabaseName->text();
    QVERIFY2(text.startsWith(".../") && text.endsWith("/shared/MailerNum.adt"), qPrintable(text));
    QVERIFY((deep + "/MailerNum.adt").endsWith(text.mid(4)));
    QVERIFY(dialog.labelDatabaseName->fontMetrics().horizontalAdvance(text.mid(4)) <= 296);
    QVERIFY(!counterIsFree(deep));
}

void TestProMailer::counterLockedElsewhere()
{
    engine::Table other;
    testsupport::openCounter(other, folder(), true);
    const testsupport::LockWait shortWait(100);
    QVERIFY_THROWS_EXCEPTION(engine::EngineError, TF_ProMailer{program_->settings});
    QVERIFY(!program_->dm.adstMailerNum.active());
    other.close();
    QVERIFY(counterIsFree(folder()));
}

void TestProMailer::changeReloadsFromTheNewFolder()
{
    writeRow(folder(), {"123456789", "0000007", true, true});
    const QString shared = folder() + "/shared";
    QVERIFY(QDir().mkpath(shared));
    program_->dm.CreateTable(shared, "MailerNum", schema::MailerNum);
    writeRow(shared, {"555555555", "0000321", false, false});

    TF_ProMailer dialog(program_->settings);
    dialog.show();
    FileDialogService::queueAnswer(shared + "/MailerNum.adt");
    QTimer::singleShot(0, [] {
        auto network = qobject_cast<TF_NetworkSettings*>(QApplication::activeModalWidget());
        QVERIFY(network);
        QTest::mouseClick(network->findChild<QPushButton*>("btnChangeMailerNumber"), Qt::LeftButton);
        QTest::mouseClick(network->btnOK, Qt::LeftButton);
    });
    QTest::mouseClick(dialog.btnChangeYourDB, Qt::LeftButton);

    QCOMPARE(program_->settings.mailerNumDB, shared);
    QCOMPARE(dialog.labelDatabaseName->toolTip(), shared + "/MailerNum.adt");
    QVERIFY(dialog.labelDatabaseName->text().endsWith("/shared/MailerNum.adt")); // shortened when long
    QCOMPARE(dialog.editCustID->text(), QString("555555555"));
    QCOMPARE(dialog.EditSerialNum->text(), QString("0000321"));
    QVERIFY(!dialog.cbPrintBarCodes->isChecked());
    QVERIFY(dialog.rbDecrement->isChecked());
    QVERIFY(counterIsFree(folder()));
    QVERIFY(!counterIsFree(shared));
    QCOMPARE(dialog.focusWidget(), dialog.btnOK);
    dialog.reject();
    QVERIFY(counterIsFree(shared));
}

void TestProMailer::mainWindowOpensTheDialog()
{
    TF_Main window;
    bool lockedWhileOpen = false;
    const auto checkLockAndReject = [&](QWidget* dialog) {
        lockedWhileOpen = !counterIsFree(window.settings.mailerNumDB);
        static_cast<TF_ProMailer*>(dialog)->reject();
    };
    // Once for the first showing, once for the menu; any other window of the start-up is closed.
    testsupport::ModalDriver driver;
    driver.on("TF_ProMailer", checkLockAndReject);
    driver.on("TF_ProMailer", checkLockAndReject);
    // A fresh program folder has no Customer ID: the first showing asks for one.
    window.show();
    QTRY_COMPARE(driver.seen.count("TF_ProMailer"), 1);
    QTRY_VERIFY(!window.firstShowingPending());
    QVERIFY(lockedWhileOpen);
    QVERIFY(counterIsFree(window.settings.mailerNumDB));

    // Options -> Mailer Number opens it again.
    lockedWhileOpen = false;
    window.findChild<QAction*>("miMailerNumber")->trigger();
    QCOMPARE(driver.seen.count("TF_ProMailer"), 2);
    QVERIFY(lockedWhileOpen);
    QVERIFY(counterIsFree(window.settings.mailerNumDB));
    window.close();
}

// The log is the witness of the numbers used: the dialog never sets the counter back onto a
// serial the log holds for that Mailer ID, however the rows came there.
void TestProMailer::serialsTheLogHoldsAreNotSetAgain_data()
{
    QTest::addColumn<QString>("custId");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<bool>("barCodes");
    QTest::addColumn<bool>("increment");
    QTest::addColumn<QString>("answer");   // to the question, when one is put
    QTest::addColumn<QString>("proposed"); // empty: no question
    QTest::addColumn<QString>("stored");   // the counter's serial afterwards; empty: dialog stays open
    // The log holds serials 20-24 of 123456789 printed here and 40 imported (written 12-345-6789).
    QTest::newRow("set back, proposal taken") << "123456789" << "0000021" << true << true << "yes" << "0000041"
                                              << "0000041";
    QTest::newRow("set back, proposal refused") << "123456789" << "0000021" << true << true << "no" << "0000041"
                                                << "";
    QTest::newRow("onto the imported row") << "123456789" << "0000040" << true << true << "yes" << "0000041"
                                           << "0000041";
    QTest::newRow("past every row") << "123456789" << "0000041" << true << true << "" << "" << "0000041";
    QTest::newRow("another Mailer ID") << "987654321" << "0000001" << true << true << "" << "" << "0000001";
    // Counting down, the lowest serial bounds it: the mirror rule.
    QTest::newRow("counting down onto used serials") << "" << "" << false << false << "yes" << "0000019"
                                                     << "0000019";
}

void TestProMailer::serialsTheLogHoldsAreNotSetAgain()
{
    QFETCH(QString, custId);
    QFETCH(QString, serial);
    QFETCH(bool, barCodes);
    QFETCH(bool, increment);
    QFETCH(QString, answer);
    QFETCH(QString, proposed);
    QFETCH(QString, stored);
    const QString log = program_->settings.logDB;
    QDir().mkpath(log);
    program_->dm.CreateTable(log, "Log37", schema::Log37);
    engine::Query q;
    q.setFolder(toStd(log));
    for (int s = 20; s <= 24; ++s) {
        q.setSql("insert into Log37 (MailerNum, CustID, SerialNum, Batch) values ('" +
                 toStd(GroupMailerNumber(BuildMailerNumber("123456789", QString::number(s), "T"))) +
                 "', '123456789', " + std::to_string(s) + ", False)");
        q.execSql();
    }
    q.setSql("insert into Log37 (MailerNum, CustID, SerialNum, Batch) values ('9214 7123 4567 8900 0004 02', "
             "'12-345-6789', 40, False)");
    q.execSql();
    writeRow(folder(), {"123456789", "0000022", true, true});

    TF_ProMailer dialog(program_->settings);
    dialog.show();
    dialog.cbPrintBarCodes->setChecked(barCodes);
    if (barCodes) {
        dialog.editCustID->setText(custId);
        dialog.EditSerialNum->setText(serial);
    }
    (increment ? dialog.rbIncrement : dialog.rbDecrement)->setChecked(true);
    if (!answer.isEmpty())
        MessageService::queueAnswer(answer == "yes" ? QMessageBox::Yes : QMessageBox::No);
    QTest::mouseClick(dialog.btnOK, Qt::LeftButton);

    const auto shown = MessageService::shown();
    if (proposed.isEmpty()) {
        QVERIFY2(shown.isEmpty(), qPrintable(shown.value(0).text));
    } else {
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(proposed), qPrintable(shown[0].text));
    }
    QCOMPARE(dialog.result(), int(stored.isEmpty() ? QDialog::Rejected : QDialog::Accepted));
    QCOMPARE(dialog.isVisible(), stored.isEmpty());
    QCOMPARE(readRow(folder()).serialNum, stored.isEmpty() ? QString("0000022") : stored);
}

QTEST_MAIN(TestProMailer)
#include "test_promailer.moc"
