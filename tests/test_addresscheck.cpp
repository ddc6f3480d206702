// The checks before a mailer takes its number: the rules on their own against a small ZIP
// table, then through the real main window with the shipped ZIPCODES table, where a refused
// or declined mailer must leave the counter, the log and the printer alone.
#include "addressbook/AddressBook.h"
#include "addressbook/AddressBookPanel.h"
#include "addressbook/AddressListModel.h"
#include "addressbook/TF_MassPrint.h"
#include "app/TF_Main.h"
#include "core/AddressCheck.h"
#include "core/IniFile.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "printing/TF_NumLabels.h"
#include "tests/support/TestSupport.h"
#include "widgets/ButtonDialog.h"
#include "widgets/Services.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <map>

Q_DECLARE_METATYPE(TAddressLines)

namespace {

using Kind = AddressProblem::Kind;
using testsupport::clickButton;
using testsupport::ModalDriver;

TAddressLines address(const QString& line1, const QString& city, const QString& state, const QString& zip)
{
    TAddressLines a;
    a.address[0] = line1;
    a.address[1] = "4 Elm St";
    a.city = city;
    a.state = state;
    a.zip = zip;
    return a;
}

// A ZIP table of two ZIPs.
std::optional<ZipPlace> smallTable(const QString& zip5)
{
    static const std::map<QString, ZipPlace> places = {{"19901", {"Dover", "DE"}}, {"63101", {"Saint Louis", "MO"}}};
    const auto found = places.find(zip5);
    return found == places.end() ? std::nullopt : std::optional<ZipPlace>(found->second);
}

QString kinds(const AddressCheck& check)
{
    QString text;
    for (const AddressProblem& p : check.problems)
        text += p.kind == Kind::Refusal ? 'R' : 'Q';
    return text;
}

// The main window of a program folder that asks nothing at start (sender "Law Office of Ann
// Lee", Springfield, IL), printing PDF files into its Printed folder.
struct Fixture {
    testsupport::TempProgramFolder home;
    testsupport::EnvironmentValue pdfDir{"DOVRA_PDF_DIR", home.path() + "/Printed"};
    std::unique_ptr<TdmDovraPro> dm;
    std::unique_ptr<TF_Main> w;

    Fixture()
    {
        MessageService::setScripted(true);
        MessageService::clearShown();
        ButtonDialogService::setScripted(true);
        testsupport::prepareReadyProgramFolder(home.path());
        dm = std::make_unique<TdmDovraPro>();
        w = std::make_unique<TF_Main>();
        w->show();
    }
    ~Fixture()
    {
        if (w)
            w->close();
    }
    bool started() { return testsupport::waitForFirstShowing(*w); }

    void compose(const TAddressLines& a)
    {
        w->memoToAddress->setPlainText(QStringList(std::begin(a.address), std::end(a.address)).join('\n'));
        w->editToCity->setText(a.city);
        w->editToState->setText(a.state);
        w->editToZip->setText(a.zip);
    }
    void clickPrint() { QTest::mouseClick(w->btnPrint, Qt::LeftButton); }

    QString serial() const { return testsupport::readRow(w->settings.mailerNumDB).serialNum; }
    int logCount() const { return testsupport::logRows(home.path() + "/Log").size(); }
    int pdfCount() const { return QDir(home.path() + "/Printed").entryList({"*.pdf"}).size(); }
    // What the counter, the log and the printer show: unchanged when no number was taken.
    QString taken() const { return QString("%1 / %2 rows / %3 pdf").arg(serial()).arg(logCount()).arg(pdfCount()); }
    QStringList loggedRecipients() const
    {
        engine::Query q;
        q.setFolder((home.path() + "/Log").toStdString());
        q.setSql("select ToAddress1 || '|' || ToCity || '|' || ToState from Log37 order by LID");
        q.open();
        QStringList rows;
        for (; !q.eof(); q.next())
            rows << QString::fromStdString(q.asString(0));
        return rows;
    }
    QStringList errors() const
    {
        QStringList texts;
        for (const MessageService::Shown& s : MessageService::shown())
            if (s.kind == MessageKind::Error)
                texts << s.text;
        return texts;
    }
};

const TAddressLines kDover = address("Jane Roe", "Dover", "DE", "19901");

} // namespace

class TestAddressCheck : public QObject {
    Q_OBJECT

private slots:
    // ---- the rules ---------------------------------------------------------------------------

    void rules_data()
    {
        QTest::addColumn<TAddressLines>("recipient");
        QTest::addColumn<bool>("sender");
        QTest::addColumn<QString>("kinds"); // R refusal, Q question, in order
        QTest::addColumn<bool>("offers");   // the table's city and state are offered

        QTest::newRow("complete") << kDover << true << "" << false;
        QTest::newRow("ZIP+4 as the field shows it")
            << address("Jane Roe", "Dover", "DE", "19901-0001") << true << "" << false;
        QTest::newRow("ZIP+4 without its dash")
            << address("Jane Roe", "Dover", "DE", "199010001") << true << "" << false;
        QTest::newRow("ZIP field without the ZIP+4")
            << address("Jane Roe", "Dover", "DE", "19901-    ") << true << "" << false;
        QTest::newRow("letter case and blanks") << address("Jane Roe", " DOVER ", "de", "19901") << true << "" << false;
        QTest::newRow("St. for Saint") << address("Jane Roe", "St. Louis", "MO", "63101") << true << "" << false;
        QTest::newRow("accents and dashes") << address("Jane Roe", "Saint-Loüis", "MO", "63101") << true << "" << false;
        QTest::newRow("nothing at all") << TAddressLines{} << false << "RRRRR" << false;
        QTest::newRow("empty ZIP field") << address("Jane Roe", "Dover", "DE", "     -    ") << true << "R" << false;
        QTest::newRow("first line blank, name below") << [] {
            TAddressLines a = kDover;
            a.address[0] = "  ";
            return a;
        }() << true << "R" << false;
        QTest::newRow("ZIP with a letter") << address("Jane Roe", "Dover", "DE", "1990O") << true << "R" << false;
        QTest::newRow("unknown ZIP") << address("Jane Roe", "Dover", "DE", "19999") << true << "Q" << false;
        QTest::newRow("wrong city") << address("Jane Roe", "Dovr", "DE", "19901") << true << "Q" << true;
        QTest::newRow("wrong state") << address("Jane Roe", "Dover", "MD", "19901") << true << "Q" << true;
        // A blank city is refused, and the state still compared.
        QTest::newRow("blank city, wrong state") << address("Jane Roe", "", "MD", "19901") << true << "RQ" << true;
        QTest::newRow("no sender, unknown ZIP")
            << address("Jane Roe", "Dover", "DE", "19999") << false << "RQ" << false;
    }
    void rules()
    {
        QFETCH(TAddressLines, recipient);
        QFETCH(bool, sender);
        QFETCH(bool, offers);
        const AddressCheck check = checkAddressBeforeNumber(recipient, sender, smallTable);
        QTEST(kinds(check), "kinds");
        QCOMPARE(check.tablePlace.has_value(), offers);
        if (offers)
            QCOMPARE(*check.tablePlace, (ZipPlace{"Dover", "DE"}));
        // Without a table only the refusals are left.
        QString refusals;
        QFETCH(QString, kinds);
        for (QChar k : kinds)
            if (k == 'R')
                refusals += k;
        QCOMPARE(::kinds(checkAddressBeforeNumber(recipient, sender, ZipTable())), refusals);
    }

    void messages()
    {
        const AddressCheck refused = checkAddressBeforeNumber(address("Jane Roe", "", "DE", "1990"), true, smallTable);
        QCOMPARE(addressRefusalMessage(refused),
                 QString("This mailer cannot be printed yet:\n\n"
                         "The recipient's city is blank.\n"
                         "The recipient's ZIP code \"1990\" is not 5 digits, or 9 digits with the ZIP+4 (as in 19901 "
                         "or 19901-0001).\n\n"
                         "No Mailer Number has been used."));
        const AddressCheck wrongCity =
            checkAddressBeforeNumber(address("Jane Roe", "Dovr", "DE", "19901"), true, smallTable);
        QCOMPARE(printAnywayQuestion(wrongCity, true),
                 QString("The list of ZIP codes has 19901 in Dover, DE, but the address says Dovr, DE.\n\n"
                         "Print anyway?"));
        QCOMPARE(printAnywayQuestion(wrongCity, false),
                 QString("The list of ZIP codes has 19901 in Dover, DE, but the address says Dovr, DE. Change it in "
                         "the address book.\n\nPrint anyway?"));
        QCOMPARE(offerCaption({"Dover", "DE"}), QString("&Use Dover, DE"));
        QCOMPARE(offerCaption({"Bee & Hive", "XX"}), QString("&Use Bee && Hive, XX"));
        QCOMPARE(massPrintRefusal(wrongCity), QString("The list of ZIP codes has 19901 in Dover, DE, but the address "
                                                      "says Dovr, DE."));
    }

    // ---- the main window -----------------------------------------------------------------------

    // Each mailer is refused, or asked about and declined: no number is taken.
    void noNumberForAMailerThatFails_data()
    {
        QTest::addColumn<TAddressLines>("recipient");
        QTest::addColumn<bool>("sender");
        QTest::addColumn<bool>("asked"); // a question, else an error
        QTest::addColumn<QString>("says");

        const auto without = [](QString TAddressLines::*field) {
            TAddressLines a = kDover;
            a.*field = QString();
            return a;
        };
        TAddressLines noFirstLine = kDover;
        noFirstLine.address[0].clear();
        QTest::newRow("no first line") << noFirstLine << true << false << "first line of the recipient's address";
        QTest::newRow("no city") << without(&TAddressLines::city) << true << false << "city is blank";
        QTest::newRow("no state") << without(&TAddressLines::state) << true << false << "state is blank";
        QTest::newRow("no ZIP") << without(&TAddressLines::zip) << true << false << "ZIP code is blank";
        QTest::newRow("4-digit ZIP") << address("Jane Roe", "Dover", "DE", "1990") << true << false
                                     << "\"1990\" is not 5 digits";
        QTest::newRow("6-digit ZIP") << address("Jane Roe", "Dover", "DE", "199010") << true << false
                                     << "\"19901-0\" is not 5 digits";
        QTest::newRow("7-digit ZIP") << address("Jane Roe", "Dover", "DE", "1990100") << true << false
                                     << "\"19901-00\" is not 5 digits";
        QTest::newRow("no sender") << kDover << false << false << "No sender is chosen";
        QTest::newRow("unknown ZIP") << address("Jane Roe", "Dover", "DE", "00000") << true << true
                                     << "The ZIP code 00000 is not in the program's list of ZIP codes.";
        QTest::newRow("wrong state") << address("Jane Roe", "Dover", "MD", "19901") << true << true
                                     << "has 19901 in Dover, DE, but the address says Dover, MD.";
        QTest::newRow("wrong city") << address("Jane Roe", "Springfield", "DE", "19901") << true << true
                                    << "has 19901 in Dover, DE, but the address says Springfield, DE.";
    }
    void noNumberForAMailerThatFails()
    {
        QFETCH(TAddressLines, recipient);
        QFETCH(bool, sender);
        QFETCH(bool, asked);
        QFETCH(QString, says);
        Fixture f;
        QVERIFY(f.started());
        if (!sender) {
            f.w->currentSender = {};
            f.w->showCurrentSender();
        }
        f.compose(recipient);
        const QString before = f.taken();
        const int questionsBefore = ButtonDialogService::shown().size();
        MessageService::clearShown();
        f.clickPrint(); // a question is answered No: no answer is queued

        QCOMPARE(f.taken(), before);
        const QList<ButtonDialogService::Shown> questions = ButtonDialogService::shown().mid(questionsBefore);
        if (asked) {
            QCOMPARE(questions.size(), 1);
            QVERIFY2(questions[0].message.contains(says) && questions[0].message.endsWith("Print anyway?"),
                     qPrintable(questions[0].message));
            QCOMPARE(f.errors(), QStringList());
        } else {
            QCOMPARE(questions.size(), 0);
            QCOMPARE(f.errors().size(), 1);
            QVERIFY2(f.errors()[0].contains(says), qPrintable(f.errors()[0]));
        }

        // The same in batch mode, and for Print Multiple Forms (refused before it asks how many).
        f.w->miBatchOn->trigger();
        f.clickPrint();
        QCOMPARE(f.taken(), before);
        f.w->miBatchOff->trigger();
        ModalDriver driver; // any count dialog would be cancelled and recorded
        f.w->miPrintMultipleForms->trigger();
        QCOMPARE(f.taken(), before);
        QVERIFY2(!driver.seen.contains("TF_NumLabels"), qPrintable(driver.seen.join(',')));

        // With the check switched off the mailer prints as before.
        f.w->miCheckAddresses->trigger();
        QVERIFY(!f.w->settings.checkAddresses);
        const int shownBefore = ButtonDialogService::shown().size();
        f.clickPrint();
        QCOMPARE(f.logCount(), 1);
        QCOMPARE(f.pdfCount(), 1);
        QVERIFY(f.serial() != before.section(' ', 0, 0));
        for (const ButtonDialogService::Shown& s : ButtonDialogService::shown().mid(shownBefore))
            QVERIFY2(!s.message.contains("Print anyway?"), qPrintable(s.message));
    }

    void aCompleteAddressPrintsWithoutAQuestion()
    {
        Fixture f;
        QVERIFY(f.started());
        f.compose(address("Jane Roe", "Dover", "DE", "19901-0001"));
        f.clickPrint();
        QCOMPARE(f.pdfCount(), 1);
        QCOMPARE(f.loggedRecipients(), QStringList{"Jane Roe|Dover|DE"});
        QCOMPARE(f.errors(), QStringList());
        QCOMPARE(ButtonDialogService::shown().size(), 1); // the sent-to-printer notice alone
        QCOMPARE(ButtonDialogService::shown()[0].title, QString("Printing"));
    }

    void printAnywayAndTheOffer()
    {
        Fixture f;
        QVERIFY(f.started());
        // Yes prints the address as typed.
        f.compose(address("Jane Roe", "Dovr", "DE", "19901"));
        ButtonDialogService::queueAnswer(1);
        f.clickPrint();
        QCOMPARE(ButtonDialogService::shown()[0].captions, (QStringList{"&Yes", "&No", "&Use Dover, DE"}));
        QCOMPARE(f.loggedRecipients(), QStringList{"Jane Roe|Dovr|DE"});
        QCOMPARE(f.pdfCount(), 1);

        // The offer puts the table's city and state into the fields and prints nothing; the
        // next Print goes through without a question.
        f.compose(address("John Doe", "dover", "MD", "19901"));
        const QString before = f.taken();
        ButtonDialogService::queueAnswer(3);
        f.clickPrint();
        QCOMPARE(f.taken(), before);
        QCOMPARE(f.w->editToCity->text(), QString("Dover"));
        QCOMPARE(f.w->editToState->text(), QString("DE"));
        const int shown = ButtonDialogService::shown().size();
        f.clickPrint();
        QCOMPARE(f.loggedRecipients(), (QStringList{"Jane Roe|Dovr|DE", "John Doe|Dover|DE"}));
        QCOMPARE(ButtonDialogService::shown().size(), shown + 1);
        QCOMPARE(ButtonDialogService::shown().last().title, QString("Printing"));

        // An unknown ZIP has nothing to offer.
        f.compose(address("Ann Poe", "Dover", "DE", "00000"));
        f.clickPrint();
        QCOMPARE(ButtonDialogService::shown().last().captions, (QStringList{"&Yes", "&No"}));
        QCOMPARE(f.loggedRecipients().size(), 2);
    }

    // The switch is on by default and kept in dovra3.ini for the next start.
    void theSwitchIsRemembered()
    {
        Fixture f;
        QVERIFY(f.started());
        QVERIFY(f.w->miCheckAddresses->isCheckable() && f.w->miCheckAddresses->isChecked());
        f.w->miCheckAddresses->trigger();
        f.w->close();
        QCOMPARE(IniFile(f.home.file("dovra3.ini")).readString("Printing", "CheckAddresses", "<missing>"),
                 QString("0"));
        f.w = std::make_unique<TF_Main>();
        QVERIFY(!f.w->miCheckAddresses->isChecked() && !f.w->settings.checkAddresses);
    }

    // An address of the open address book is asked about without the offer: the book holds it.
    // A mass print asks nothing: it leaves out what fails, and says so once at the end.
    void addressBookAndMassPrint()
    {
        Fixture f;
        QVERIFY(f.started());
        const QString db = f.home.path() + "/Addresses/Clients";
        QDir().mkpath(db);
        createAddressDatabaseTables(db);
        engine::Query q;
        q.setFolder(db.toStdString());
        q.setSql("insert into Address (Address1, City, State, Zip) values('Ann', 'Erie', 'PA', '16501'), "
                 "('Bob', 'Eire', 'PA', '16501'), ('Cy', '', 'PA', '16501'), ('Dee', 'Erie', 'PA', '16501-1234')");
        q.execSql();
        f.w->settings.addressDB = db;
        {
            ModalDriver driver;
            f.w->OpenAddressDatabase();
        }
        f.w->panelDB->selectOnlyAddress(1);
        f.clickPrint();
        QCOMPARE(ButtonDialogService::shown().last().captions, (QStringList{"&Yes", "&No"}));
        QVERIFY(ButtonDialogService::shown().last().message.contains("Change it in the address book."));
        QCOMPARE(f.logCount(), 0);

        f.w->panelDB->lvAddress->clearSelection();
        const int questions = ButtonDialogService::shown().size();
        MessageService::clearShown();
        ModalDriver driver;
        driver.on("TF_MassPrint", [](QWidget* w) { clickButton(w, "btnOK"); });
        f.w->panelDB->tbtnMassPrintAddress->trigger();
        QCOMPARE(f.loggedRecipients(), (QStringList{"Ann|Erie|PA", "Dee|Erie|PA"}));
        QCOMPARE(f.pdfCount(), 2);
        for (const ButtonDialogService::Shown& s : ButtonDialogService::shown().mid(questions))
            QCOMPARE(s.title, QString("Printing"));
        const QStringList texts = testsupport::shownMessageTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts[0].startsWith("2 mailers have been sent to the printer"), qPrintable(texts[0]));
        QVERIFY2(texts[0].endsWith("2 mailers were refused:\n"
                                   "Bob: The list of ZIP codes has 16501 in Erie, PA, but the address says Eire, PA.\n"
                                   "Cy: The recipient's city is blank."),
                 qPrintable(texts[0]));
    }
};

QTEST_MAIN(TestAddressCheck)
#include "test_addresscheck.moc"
