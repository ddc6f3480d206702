// The mailer entry area of the real main window: fees and their total, Return Receipt and
// Restricted Delivery, the ZIP lookup, the recipient tools, the postage dialogs, the button
// dialog and the mailer-ID notice.
#include "app/TF_CalculatePostage.h"
#include "app/TF_Main.h"
#include "app/TF_PostageFees.h"
#include "core/IniFile.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "tests/support/TestSupport.h"
#include "widgets/ButtonDialog.h"
#include "widgets/ErrorBoundary.h"
#include "widgets/Services.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <functional>
#include <memory>

namespace {

// Whether a label's text is drawn in its green, rather than greyed as disabled.
bool drawnGreen(QWidget* label)
{
    const QImage image = label->grab().toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qGreen(pixel) > qRed(pixel) + 40 && qGreen(pixel) > qBlue(pixel) + 40)
                return true;
        }
    return false;
}

QString blanks(int n)
{
    return QString(n, ' ');
}

void writeIni(const QString& path, const QByteArray& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// Runs act on the modal dialog of type Dialog as soon as it is shown; the dialog is closed
// afterwards in any case.
template <typename Dialog> void whenModal(std::function<void(Dialog*)> act, int triesLeft = 200)
{
    QTimer::singleShot(triesLeft == 200 ? 0 : 10, [act, triesLeft] {
        if (auto d = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            act(d);
            if (d->isVisible()) // a failed check left it open
                d->reject();
        } else if (triesLeft > 0)
            whenModal<Dialog>(act, triesLeft - 1);
    });
}

// Leaving a field for the next one, as Tab does.
void leave(QWidget* field)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(field, &out);
}

// A program folder with settings, a data module and the main window on it.
struct Fixture {
    testsupport::TempProgramFolder home;
    std::unique_ptr<TdmDovraPro> dm;
    std::unique_ptr<TF_Main> w;

    explicit Fixture(const QByteArray& ini = QByteArray())
    {
        if (!ini.isEmpty())
            writeIni(home.file("dovra3.ini"), ini);
        dm = std::make_unique<TdmDovraPro>();
        w = std::make_unique<TF_Main>();
    }
    ~Fixture()
    {
        if (w)
            w->close();
    }
};

QStringList recipientOf(const TF_Main& w)
{
    const TAddressLines r = w.typedRecipient();
    return {r.address[0], r.address[1], r.address[2], r.address[3], r.city, r.state, r.zip};
}

} // namespace

class TestMainEntry : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        MessageService::setScripted(true);
        ButtonDialogService::setScripted(true);
    }

    // ---- fees ------------------------------------------------------------------------------

    void zerosOnShowValuesOffAtStart()
    {
        Fixture f("[Printing]\nZeros=1\n[Values]\nDefault=0\n");
        QCOMPARE(f.w->editPostage->text(), blanks(10) + "0.00");
        QCOMPARE(f.w->editCertFee->text(), QString());
        QCOMPARE(f.w->editReturn->text(), QString());
        QCOMPARE(f.w->editTotal->text(), blanks(10) + "0.00");
        QVERIFY(f.w->miShowFeesOff->isChecked() && !f.w->miShowFeesOn->isChecked());
    }

    void zerosOffBlankFeeEmptiesTheTotalUntilTheNextField()
    {
        Fixture f("[Printing]\nZeros=0\n");
        TF_Main& w = *f.w;
        QCOMPARE(w.editPostage->text(), blanks(10) + "0.39");
        QCOMPARE(w.editTotal->text(), blanks(10) + "4.64");
        w.editPostage->clear();
        leave(w.editPostage);
        QCOMPARE(w.editPostage->text(), QString(" "));
        QCOMPARE(w.editTotal->text(), QString());
        leave(w.editCertFee);
        QCOMPARE(w.editTotal->text(), blanks(10) + "4.25");
    }

    void leavingAFeeField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("total");
        QTest::newRow("12.5") << "12.5" << blanks(8) + "12.5" << blanks(8) + "16.75";
        QTest::newRow("letters") << "abc"
                                 << " " << blanks(10) + "4.25";
        QTest::newRow("negative, counted once") << "-1"
                                                << " " << blanks(10) + "3.25";
        QTest::newRow("huge") << "99999999999"
                              << " 99999999999.00"
                              << " 100000000003.25";
    }
    void leavingAFeeField()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, total);
        Fixture f;
        f.w->editPostage->setText(typed);
        leave(f.w->editPostage);
        QCOMPARE(f.w->editPostage->text(), shown);
        QCOMPARE(f.w->editTotal->text(), total);
        QVERIFY(MessageService::shown().isEmpty());
    }

    void aPopupMenuIsNoExit()
    {
        Fixture f;
        f.w->editPostage->setText("2");
        QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
        QApplication::sendEvent(f.w->editPostage, &popup);
        QCOMPARE(f.w->editPostage->text(), QString("2"));
    }

    void zerosItemsMoveOnlyTheCheckMark()
    {
        Fixture f;
        TF_Main& w = *f.w;
        QVERIFY(w.miZerosOn->isChecked());
        w.miZerosOff->trigger();
        QVERIFY(w.miZerosOff->isChecked() && !w.miZerosOn->isChecked());
        QCOMPARE(w.editPostage->text(), blanks(10) + "0.39");
        w.editReturn->clear();
        leave(w.editReturn);
        QCOMPARE(w.editReturn->text(), QString(" "));
        w.close();
        QCOMPARE(IniFile(f.home.file("dovra3.ini")).readString("Printing", "Zeros", ""), QString("0"));
    }

    void showValuesOnAndOff()
    {
        Fixture f;
        TF_Main& w = *f.w;
        w.cbRestricted->setChecked(true);
        QCOMPARE(w.editRestricted->text(), blanks(10) + "3.50");
        w.miShowFeesOff->trigger();
        QVERIFY(!w.cbRestricted->isChecked());
        QCOMPARE(w.editCertFee->text(), QString());
        QCOMPARE(w.editReturn->text(), QString());
        QCOMPARE(w.editRestricted->text(), blanks(10) + "0.00"); // emptied, then formatted with Zeros on
        QCOMPARE(w.editPostage->text(), blanks(10) + "0.00");
        w.miShowFeesOn->trigger();
        QCOMPARE(w.editPostage->text(), blanks(10) + "0.39");
        QCOMPARE(w.editCertFee->text(), blanks(10) + "2.40");
        QCOMPARE(w.editReturn->text(), blanks(10) + "1.85");
        QCOMPARE(w.editTotal->text(), blanks(10) + "4.64");
        w.close();
        QCOMPARE(IniFile(f.home.file("dovra3.ini")).readString("Values", "Default", ""), QString("1"));
    }

    void returnReceiptAndRestricted()
    {
        Fixture f;
        TF_Main& w = *f.w;
        w.CBReturn->click();
        QVERIFY(!w.returnReceiptMode);
        QVERIFY(!w.editReturn->isEnabled() && !w.lblReturn->isEnabled());
        QVERIFY(!drawnGreen(w.lblReturn));
        QCOMPARE(w.editReturn->text(), blanks(10) + "0.00");
        QCOMPARE(w.editTotal->text(), blanks(10) + "2.79");
        for (QWidget* shown : std::initializer_list<QWidget*>{w.CBLabel, w.CBEnvelope, w.LabelLabel, w.LabelEnvelope,
                                                              w.EDPosRow, w.EDPosCol})
            QVERIFY(!shown->isHidden() && shown->isEnabled());
        QVERIFY(w.CBLabel->isChecked() && !w.CBEnvelope->isChecked());
        w.CBEnvelope->click();
        QVERIFY(!w.CBLabel->isChecked() && w.CBEnvelope->isChecked());
        w.CBEnvelope->click();
        QVERIFY(w.CBLabel->isChecked() && !w.CBEnvelope->isChecked());

        // Reset Values fills the disabled return receipt fee too.
        w.miResetValues->trigger();
        QCOMPARE(w.editReturn->text(), blanks(10) + "1.85");
        QCOMPARE(w.editTotal->text(), blanks(10) + "4.64");

        w.CBReturn->click();
        QVERIFY(w.returnReceiptMode && w.editReturn->isEnabled());
        QVERIFY(drawnGreen(w.lblReturn));
        QVERIFY(w.CBLabel->isHidden() && w.EDPosRow->isHidden() && !w.EDPosRow->isEnabled());

        w.cbRestricted->click();
        QVERIFY(w.editRestricted->isEnabled() && w.lblRestricted->isEnabled());
        QVERIFY(drawnGreen(w.lblRestricted));
        QCOMPARE(w.editTotal->text(), blanks(10) + "8.14");
        w.cbRestricted->click();
        QVERIFY(!w.editRestricted->isEnabled() && !w.lblRestricted->isEnabled());
        QVERIFY(!drawnGreen(w.lblRestricted));
        QCOMPARE(w.editRestricted->text(), blanks(10) + "0.00");
        QCOMPARE(w.editTotal->text(), blanks(10) + "4.64");
    }

    void entryState()
    {
        Fixture f;
        TF_Main& w = *f.w;
        QVERIFY(w.btnPrint->isEnabled());
        w.MarkEntryPrinted();
        QVERIFY(!w.btnPrint->isEnabled());
        for (QWidget* e : std::initializer_list<QWidget*>{w.editTotal, w.memoToAddress, w.editToZip, w.editRe})
            QCOMPARE(e->palette().color(QPalette::Base), QColor(192, 192, 192));
        QTest::keyClicks(w.editComment, "x");
        QVERIFY(w.btnPrint->isEnabled() && !w.entryPrinted());
        QCOMPARE(w.editTotal->palette().color(QPalette::Base), QColor(Qt::white));
        w.MarkEntryPrinted();
        w.memoToAddress->setPlainText("Jane Roe");
        QVERIFY(w.btnPrint->isEnabled());
    }

    // ---- recipient -------------------------------------------------------------------------

    void zipLookup_data()
    {
        QTest::addColumn<QString>("city");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("zip");
        QTest::addColumn<QString>("expectedCity");
        QTest::addColumn<QString>("expectedState");
        QTest::newRow("both blank") << ""
                                    << " "
                                    << "62704"
                                    << "Springfield"
                                    << "IL";
        QTest::newRow("ZIP+4") << ""
                               << ""
                               << "62704-1234"
                               << "Springfield"
                               << "IL";
        QTest::newRow("city typed") << "Capital City"
                                    << ""
                                    << "62704"
                                    << "Capital City"
                                    << "IL";
        QTest::newRow("both typed") << "Here"
                                    << "XX"
                                    << "62704"
                                    << "Here"
                                    << "XX";
        QTest::newRow("four digits") << ""
                                     << ""
                                     << "6270"
                                     << ""
                                     << "";
        QTest::newRow("unknown ZIP") << ""
                                     << ""
                                     << "00000"
                                     << ""
                                     << "";
    }
    void zipLookup()
    {
        QFETCH(QString, city);
        QFETCH(QString, state);
        QFETCH(QString, zip);
        Fixture f;
        f.w->editToCity->setText(city);
        f.w->editToState->setText(state);
        f.w->editToZip->setText(zip);
        leave(f.w->editToZip);
        QTEST(f.w->editToCity->text(), "expectedCity");
        QTEST(f.w->editToState->text().trimmed(), "expectedState");
        QVERIFY(MessageService::shown().isEmpty());
    }

    void zipLookupWithoutTheTableShowsTheEngineError()
    {
        Fixture f;
        QTemporaryDir empty;
        f.dm->adsqZipCodes.disconnect();
        f.dm->adsqZipCodes.setFolder(empty.path().toStdString());
        f.w->editToZip->setText("62704");
        leave(f.w->editToZip);
        QCOMPARE(MessageService::shown().size(), 1);
        QCOMPARE(MessageService::shown().first().kind, MessageKind::Error);
        QVERIFY2(MessageService::shown().first().text.contains("ZIPCODES"),
                 qPrintable(MessageService::shown().first().text));
        QCOMPARE(f.w->editToCity->text(), QString());
    }

    void zipFieldText()
    {
        Fixture f;
        TF_Main& w = *f.w;
        QCOMPARE(w.zipText(), QString("     -    "));
        w.editToZip->setText("62704");
        QCOMPARE(w.zipText(), QString("62704-    "));
        w.editToZip->setText("abc");
        QCOMPARE(w.zipText(), QString("     -    "));
        w.editToZip->setText("62704-1234");
        w.btnToClear->click();
        QCOMPARE(w.zipText(), QString("     -    "));
    }

    void memoKeepsFourLines()
    {
        Fixture f;
        QPlainTextEdit* memo = f.w->memoToAddress;
        memo->setPlainText("1\n2\n3\n4\n5\n6");
        QCOMPARE(memo->toPlainText(), QString("1\n2\n3\n4"));
        memo->moveCursor(QTextCursor::End);
        QTest::keyClick(memo, Qt::Key_Return);
        QTest::keyClicks(memo, "x");
        QCOMPARE(memo->toPlainText(), QString("1\n2\n3\n4x"));
    }

    void restoringTheMinimizedWindowKeepsTheRecipient()
    {
        testsupport::TempProgramFolder home;
        testsupport::prepareReadyProgramFolder(home.path());
        TdmDovraPro dm;
        TF_Main w;
        w.show();
        QTRY_VERIFY(!w.firstShowingPending());
        w.memoToAddress->setPlainText("Jane Roe\n12 Elm St");
        w.setWindowState(Qt::WindowMinimized);
        w.setWindowState(Qt::WindowNoState);
        QCOMPARE(w.memoToAddress->toPlainText(), QString("Jane Roe\n12 Elm St"));
        w.close();
    }

    void copyThenPasteReturnsTheSameRecipient()
    {
        Fixture f;
        TF_Main& w = *f.w;
        w.memoToAddress->setPlainText("Jane Roe\n12 Elm St");
        w.editToCity->setText("Springfield");
        w.editToState->setText("IL");
        w.editToZip->setText("62704-1234");
        const QStringList before = recipientOf(w);
        w.btnCopy->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("Jane Roe\n\r12 Elm St\n\rSpringfield IL 62704-1234"));
        w.btnToClear->click();
        QCOMPARE(recipientOf(w), (QStringList{"", "", "", "", "", "", "     -    "}));
        w.btnToPaste->click();
        QCOMPARE(recipientOf(w), before);
    }

    void copyOf256CharactersCopiesNothing()
    {
        Fixture f;
        QGuiApplication::clipboard()->setText("before");
        // Four lines as wide as they go, and a City line of 52 characters: 258 in all.
        f.w->memoToAddress->setPlainText(QStringList(4, QString(50, 'a')).join('\n'));
        f.w->editToCity->setText(QString(35, 'c'));
        f.w->editToState->setText("IL");
        f.w->editToZip->setText("62704-1234");
        f.w->btnCopy->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));
    }

    void paste_data()
    {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QStringList>("cityStateZip");
        QTest::newRow("six lines") << "l1\r\nl2\r\nl3\r\nl4\r\nl5\r\nWilkes-Barre, PA 18701-1234\r\n"
                                   << "l1\nl2\nl3\nl4" << QStringList{"Wilkes-Barre", "PA", "18701-1234"};
        QTest::newRow("one line") << "Boston, MA 02108"
                                  << "\n\n"
                                  << QStringList{"Boston", "MA", "02108-    "};
        QTest::newRow("no text") << ""
                                 << "\n\n"
                                 << QStringList{"", "", "     -    "};
        QTest::newRow("10 kB on one line") << QString(10240, 'x') << "\n\n"
                                           << QStringList{QString(35, 'x'), "xx", "     -    "};
        // An address line keeps the width of the log's address columns.
        QTest::newRow("line of 60") << "Jane Roe\n\r" + QString(60, 'y') + "\n\rSpringfield IL 62704"
                                    << "Jane Roe\n" + QString(50, 'y') + "\n"
                                    << QStringList{"Springfield", "IL", "62704-    "};
    }

    void typedAddressLinesKeepTheLogWidth()
    {
        Fixture f;
        TF_Main& w = *f.w;
        w.memoToAddress->setFocus();
        QTest::keyClicks(w.memoToAddress, QString(60, 'a'));
        QTest::keyClick(w.memoToAddress, Qt::Key_Return);
        QTest::keyClicks(w.memoToAddress, "12 Elm St");
        QCOMPARE(w.memoToAddress->toPlainText(), QString(50, 'a') + "\n12 Elm St");
        QCOMPARE(w.typedRecipient().address[0].size(), 50);
    }
    void paste()
    {
        QFETCH(QString, clipboard);
        QFETCH(QString, memo);
        QFETCH(QStringList, cityStateZip);
        Fixture f;
        TF_Main& w = *f.w;
        w.memoToAddress->setPlainText("old");
        w.editToCity->setText("old");
        if (clipboard.isEmpty())
            QGuiApplication::clipboard()->clear();
        else
            QGuiApplication::clipboard()->setText(clipboard);
        w.btnToPaste->click();
        QCOMPARE(w.memoToAddress->toPlainText(), memo);
        QCOMPARE((QStringList{w.editToCity->text(), w.editToState->text(), w.zipText()}), cityStateZip);
    }

    // ---- postage values ----------------------------------------------------------------------

    void calculatePostage_data()
    {
        QTest::addColumn<QString>("ounces");
        QTest::addColumn<QString>("postage");
        QTest::addColumn<QString>("total");
        QTest::newRow("3 ounces") << "3" << blanks(10) + "0.87" << blanks(10) + "5.12";
        QTest::newRow("1 ounce") << "1" << blanks(10) + "0.39" << blanks(10) + "4.64";
        QTest::newRow("13 ounces") << "13" << blanks(10) + "3.27" << blanks(10) + "7.52";
        QTest::newRow("14 ounces: post office") << "14"
                                                << "2"
                                                << "";
    }
    void calculatePostage()
    {
        QFETCH(QString, ounces);
        QFETCH(QString, postage);
        QFETCH(QString, total);
        Fixture f;
        TF_Main& w = *f.w;
        w.editPostage->setText("2");
        w.editTotal->clear();
        QCOMPARE(w.editPostage->actions(), QList<QAction*>{w.miCalculate});
        QCOMPARE(w.miCalculate->text(), QString("Calculate Postage"));
        bool seen = false;
        whenModal<TF_CalculatePostage>([&](TF_CalculatePostage* d) {
            seen = d->windowTitle() == "Calculate Postage" && d->editOunces->text() == "1";
            d->editOunces->setText(ounces);
            d->btnOK->click();
        });
        w.miCalculate->trigger();
        QVERIFY(seen);
        QCOMPARE(w.editPostage->text(), postage);
        QCOMPARE(w.editTotal->text(), total);
        if (ounces == "14") {
            QCOMPARE(MessageService::shown().size(), 1);
            QCOMPARE(MessageService::shown().first().text,
                     QString("For weights over 13 ounces, please consult your local Post Office for the Postage Fee."));
        }
    }

    void ouncesFieldTakesDigitsAndRefillsWhenBlank()
    {
        Settings settings;
        TF_CalculatePostage d(settings);
        QTest::keyClicks(d.editOunces, "a2.");
        QCOMPARE(d.editOunces->text(), QString("12"));
        QCOMPARE(d.UpDownOunces->position(), 12);
        QTest::keyClick(d.editOunces, Qt::Key_Backspace);
        QTest::keyClick(d.editOunces, Qt::Key_Backspace);
        QCOMPARE(d.editOunces->text(), QString("1"));
        d.editOunces->clear();
        QCOMPARE(d.editOunces->text(), QString("1"));
        d.editOunces->setText("0"); // out of range: the arrows keep their position
        d.UpDownOunces->step(1);
        QCOMPARE(d.editOunces->text(), QString("2"));
        d.editOunces->setText("99");
        d.UpDownOunces->step(1);
        QCOMPARE(d.editOunces->text(), QString("99"));
        // Enter is dropped: it does not press the default OK button.
        d.show();
        QTest::keyClick(d.editOunces, Qt::Key_Return);
        QVERIFY(d.isVisible());
        QCOMPARE(d.result(), QString());
    }

    void defaultsDialog()
    {
        Fixture f;
        TF_Main& w = *f.w;
        w.cbRestricted->setChecked(true);
        whenModal<TF_PostageFees>([](TF_PostageFees* d) {
            QCOMPARE(d->windowTitle(), QString("Default Postage Fees"));
            QCOMPARE(d->editPostage->text(), blanks(10) + "0.39");
            QCOMPARE(d->editAddOunce->text(), blanks(10) + "0.24");
            QVERIFY(!d->cbRestricted->isChecked() && !d->editRestricted->isEnabled());
            d->editPostage->setText("0.5");
            leave(d->editPostage);
            QCOMPARE(d->editPostage->text(), blanks(10) + "0.50");
            d->editCertFee->setText(" 2,75");
            leave(d->editCertFee);
            QCOMPARE(d->editCertFee->text(), QString(" 2,75")); // kept as typed
            d->btnOK->click();
        });
        w.miSaveValues->trigger();
        QCOMPARE(w.settings.postage, blanks(10) + "0.50");
        QCOMPARE(w.settings.certFee, QString(" 2,75"));
        QCOMPARE(w.settings.restricted, QString("3.50"));
        QVERIFY(!w.settings.restrictedCB);
        // Reset Values followed: the fee that is not a number shows as a blank, no error.
        QCOMPARE(w.editPostage->text(), blanks(10) + "0.50");
        QCOMPARE(w.editCertFee->text(), QString(" "));
        QVERIFY(!w.cbRestricted->isChecked());
        QVERIFY(MessageService::shown().isEmpty());

        // The next opening reports the stored text that is not a number.
        whenModal<TF_PostageFees>([](TF_PostageFees* d) {
            QCOMPARE(d->editCertFee->text(), QString(" 2,75"));
            d->cbRestricted->click();
            QCOMPARE(d->editRestricted->text(), blanks(10) + "3.50");
            d->editReturn->setText("9");
            d->reject();
        });
        w.miSaveValues->trigger();
        QCOMPARE(MessageService::shown().size(), 1);
        QCOMPARE(MessageService::shown().first().text, QString("' 2,75' is not a valid floating point value"));
        QCOMPARE(w.settings.returnFee, blanks(10) + "1.85"); // as the first OK stored it
        QVERIFY(!w.settings.restrictedCB);

        whenModal<TF_PostageFees>([](TF_PostageFees* d) {
            d->cbRestricted->click();
            d->editRestricted->setText("4");
            leave(d->editRestricted);
            d->btnOK->click();
        });
        w.miSaveValues->trigger();
        QVERIFY(w.settings.restrictedCB);
        QCOMPARE(w.settings.restricted, blanks(10) + "4.00");
        QVERIFY(w.cbRestricted->isChecked());
        QCOMPARE(w.editRestricted->text(), blanks(10) + "4.00");
    }

    void calculationWithADefaultThatIsNotANumber()
    {
        Fixture f("[Values]\nAddOunce=ten cents\n");
        f.w->editPostage->setText("2");
        whenModal<TF_CalculatePostage>([](TF_CalculatePostage* d) { d->btnOK->click(); });
        f.w->miCalculate->trigger();
        QCOMPARE(f.w->editPostage->text(), QString("2"));
        QCOMPARE(MessageService::shown().size(), 1);
        QCOMPARE(MessageService::shown().first().text, QString("'ten cents' is not a valid floating point value"));
    }

    // ---- button dialog and the mailer-ID notice ------------------------------------------------

    void buttonDialog_data()
    {
        QTest::addColumn<int>("press"); // 0: Escape
        QTest::addColumn<int>("result");
        QTest::newRow("first caption") << 1 << 1;
        QTest::newRow("last caption") << 3 << 3;
        QTest::newRow("closed by Escape") << 0 << 2;
    }
    void buttonDialog()
    {
        QFETCH(int, press);
        ButtonDialogService::setScripted(false);
        MessageService::setScripted(false);
        bool checked = false;
        whenModal<TButtonDialog>([&](TButtonDialog* d) {
            checked = d->windowTitle() == "Printing" && d->buttons.size() == 3 &&
                      d->buttons[0]->x() > d->buttons[1]->x() && d->buttons[1]->x() > d->buttons[2]->x() &&
                      d->focusWidget() == d->buttons[2] && d->lblMessage->wordWrap() &&
                      !d->windowFlags().testFlag(Qt::WindowCloseButtonHint);
            if (press == 0)
                QTest::keyClick(d, Qt::Key_Escape);
            else
                d->buttons[press - 1]->click();
        });
        QCOMPARE(ButtonDialog("Printing", "Mailer has been sent to printer.", {"&Do not show", "&OK", "&Third"}),
                 press == 0 ? 2 : press);
        QVERIFY(checked);
    }

    void mailerIdNotice_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("saved");
        QTest::newRow("Never Print again") << 1 << "0";
        QTest::newRow("closed otherwise") << 2 << "1";
    }
    void mailerIdNotice()
    {
        QFETCH(int, answer);
        QFETCH(QString, saved);
        testsupport::TempProgramFolder home;
        {
            TdmDovraPro dm;
            TF_Main w;
            // A sender and a Customer ID, so that the first showing asks for nothing else.
            engine::Query q;
            q.setFolder(home.file("Addresses").toStdString());
            q.setSql("insert into YourAddress (Address1) values('Jane Roe')");
            q.execSql();
            q.disconnect();
            q.setFolder(home.path().toStdString());
            q.setSql("update MailerNum set CustID = '123456789'");
            q.execSql();
            q.disconnect();
            w.settings.yourAddressID = "1";

            ButtonDialogService::queueAnswer(answer);
            w.show();
            QTRY_VERIFY(!w.firstShowingPending() && !ButtonDialogService::shown().isEmpty());
            const auto notice = ButtonDialogService::shown().first();
            QCOMPARE(notice.title, QString("Bar Code Printing Registration"));
            QCOMPARE(notice.message,
                     QString("This software prints the newly required Bar Code on the your Certified Mailer. Thus "
                             "the U.S. Postal Service Requires that you register with them.  The DUNS numbers are no "
                             "longer used. You must have a mailer ID issued by the U.S. Postal Server.  If you do not "
                             "have a USPS mailer ID contact them at 800 522 9085 option 3 then option 6. "));
            QCOMPARE(notice.captions, QStringList{"&Never Print again"});
            w.close();
        }
        QCOMPARE(IniFile(home.file("dovra3.ini")).readString("Type", "BarCodeApp", ""), saved);
    }
};

int main(int argc, char** argv)
{
    DovraApplication app(argc, argv);
    TestMainEntry t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_mainentry.moc"
