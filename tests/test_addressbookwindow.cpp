// The address book in the real main window, on real address databases in a temporary
// program folder: the chooser, opening and closing with the two layouts, the group tree
// and address list commands, membership with its summary, drag and drop, and printing to
// the selected address. Run with DOVRA_TEST_BACKEND=server, the office keeps its shared tables
// and its address databases on a throwaway PostgreSQL server, and every test runs there.
#include "addressbook/AddressBook.h"
#include "addressbook/AddressBookPanel.h"
#include "addressbook/AddressListModel.h"
#include "addressbook/MassPrint.h"
#include "addressbook/TF_Database.h"
#include "addressbook/TF_GroupSummary.h"
#include "addressbook/TF_MassPrint.h"
#include "addressbook/TF_TextFiles.h"
#include "addressbook/TextFiles.h"
#include "app/TF_Main.h"
#include "core/SearchText.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/ServerTables.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Query.h"
#include "engine/Server.h"
#include "tests/support/PgCluster.h"
#include "tests/support/TestSupport.h"
#include "widgets/ButtonDialog.h"
#include "widgets/Services.h"
#include "widgets/TF_Address.h"
#include "widgets/TF_SingleEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTreeWidget>
#include <QWindow>
#include <QtTest>

namespace {

using testsupport::clickButton;
using testsupport::ModalDriver;

// Types the text into the one-line input and presses OK.
ModalDriver::Handler typeText(const QString& text, QString* caption = nullptr)
{
    return [text, caption](QWidget* w) {
        auto d = static_cast<TF_SingleEdit*>(w);
        if (caption)
            *caption = d->windowTitle() + " / " + d->TheGroupBox->title();
        d->TheEdit->setText(text);
        clickButton(d, "btnOK");
    };
}

ModalDriver::Handler fillAddress(const QString& line1, const QString& city = "Erie")
{
    return [line1, city](QWidget* w) {
        auto d = static_cast<TF_Address*>(w);
        d->memoAddress->setPlainText(line1);
        d->editCity->setText(city);
        d->editState->setText("PA");
        d->editZip->setText("16501");
        clickButton(d, "btnOK");
    };
}

QStringList shownTexts()
{
    QStringList texts;
    for (const MessageService::Shown& s : MessageService::shown())
        texts << s.text;
    return texts;
}

// The test server, when the tests run against one.
testsupport::PgCluster* g_cluster = nullptr;

// A server database of an office ready to print: the program's tables, a sender (A_ID 1) and
// the Customer ID set; the settings that point a workstation at it.
QByteArray readyServerOffice(QString& location)
{
    location = g_cluster->newDatabase();
    if (!CreateServerTables(location))
        qFatal("the tables were not made");
    engine::runOnServer(location.toStdString(),
                        "UPDATE mailernum SET custid = '123456789'; INSERT INTO youraddress (address1, address2, "
                        "city, state, zip) VALUES ('Law Office of Ann Lee', '100 Main St', 'Springfield', 'IL', "
                        "'62701')");
    const engine::ServerParams server = engine::serverParamsOf(location.toStdString());
    return QString("[Server]\r\nTables=Server\r\nHost=%1\r\nPort=%2\r\nDatabase=%3\r\nUser=%4\r\n")
        .arg(QString::fromStdString(server.host))
        .arg(server.port)
        .arg(QString::fromStdString(server.database), QString::fromStdString(server.user))
        .toUtf8();
}

// The main window of a program folder that asks nothing at start, with address databases
// made as the chooser makes them: in folders, or on the office's server.
struct Fixture {
    testsupport::TempProgramFolder home;
    std::unique_ptr<TdmDovraPro> dm;
    std::unique_ptr<TF_Main> w;
    TAddressBookPanel* panel = nullptr;
    QString office; // the office's server database; empty with folders

    explicit Fixture(const QByteArray& ini = {})
    {
        MessageService::setScripted(true);
        MessageService::clearShown();
        ButtonDialogService::setScripted(true);
        testsupport::prepareReadyProgramFolder(home.path());
        if (g_cluster) {
            QFile file(home.file("dovra3.ini"));
            file.open(QIODevice::Append);
            file.write(readyServerOffice(office));
        }
        if (!ini.isEmpty()) {
            QFile file(home.file("dovra3.ini"));
            file.open(QIODevice::Append);
            file.write(ini);
        }
        dm = std::make_unique<TdmDovraPro>();
        w = std::make_unique<TF_Main>();
        panel = w->panelDB;
        w->show();
    }
    ~Fixture()
    {
        if (w)
            w->close();
        w.reset();
        dm.reset();
        engine::disconnectServers(); // each office is a database of its own
    }
    bool started() { return testsupport::waitForFirstShowing(*w); }

    bool onServer() const { return !office.isEmpty(); }
    // Where the log is: its folder, or the office's server database.
    QString logLocation() const { return onServer() ? office : home.path() + "/Log"; }
    QString makeDatabase(const QString& name, const QStringList& addresses = {})
    {
        QString folder = home.path() + "/Addresses/" + name;
        if (onServer()) {
            folder = createServerAddressDatabase(office, name);
        } else {
            QDir().mkpath(folder);
            createAddressDatabaseTables(folder);
        }
        for (const QString& a : addresses)
            run(folder, "insert into Address (Address1, City, State, Zip) values(" + engine::quoted(a.toStdString()) +
                            ", 'Erie', 'PA', '16501')");
        return folder;
    }
    static int run(const QString& folder, const std::string& sql)
    {
        engine::Query q;
        q.setFolder(folder.toStdString());
        q.setSql(sql);
        return q.execSql();
    }
    static QStringList column(const QString& folder, const std::string& sql)
    {
        engine::Query q;
        q.setFolder(folder.toStdString());
        q.setSql(sql);
        q.open();
        QStringList values;
        for (; !q.eof(); q.next())
            values << QString::fromStdString(q.asString(0));
        return values;
    }
    // Opens the database as the chooser's OK does (an empty one asks for a first address,
    // which the driver declines unless told otherwise).
    void open(const QString& folder)
    {
        ModalDriver driver;
        w->settings.addressDB = folder;
        w->OpenAddressDatabase();
    }

    QStringList listed() const
    {
        QStringList names;
        for (const TAddressRec& rec : panel->addressModel()->addresses())
            names << addressCaption(rec.address);
        return names;
    }
    QStringList selectedNames() const
    {
        QStringList names;
        for (int row : panel->selectedAddressRows())
            names << addressCaption(panel->addressModel()->record(row).address);
        return names;
    }
    QStringList recipientLabels() const
    {
        QStringList texts;
        for (QLabel* l : w->lblToAddress)
            texts << l->text();
        return texts;
    }
    // Every node in tree order, indented by two blanks per level.
    QStringList treeOutline() const
    {
        QStringList lines;
        for (QTreeWidgetItemIterator it(panel->tvGroups); *it; ++it) {
            int depth = 0;
            for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent())
                ++depth;
            lines << QString(depth * 2, ' ') + (*it)->text(0);
        }
        return lines;
    }
    QTreeWidgetItem* node(const QString& caption) const
    {
        const auto found = panel->tvGroups->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
    qint32 groupId(const QString& caption) const
    {
        return panel->groupTree().node(node(caption)->data(0, Qt::UserRole).toInt()).rec.ID;
    }
    void clickNode(const QString& caption, Qt::KeyboardModifiers modifiers = {})
    {
        QTreeWidgetItem* item = node(caption);
        QVERIFY2(item, qPrintable(caption));
        QTest::mouseClick(panel->tvGroups->viewport(), Qt::LeftButton, modifiers,
                          panel->tvGroups->visualItemRect(item).center());
    }
    void clickAddress(int row, Qt::KeyboardModifiers modifiers = {})
    {
        const QRect r = panel->lvAddress->visualRect(panel->addressModel()->index(row));
        QTest::mouseClick(panel->lvAddress->viewport(), Qt::LeftButton, modifiers, r.center());
    }
    // A key pressed in the widget while it has the keyboard.
    static void pressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QApplication::setActiveWindow(widget->window());
        widget->setFocus();
        QVERIFY(QTest::qWaitFor([widget] { return widget->hasFocus(); }));
        QTest::keyClick(widget, key, modifiers);
    }
    void newGroup(const QString& name)
    {
        ModalDriver driver;
        driver.on("TF_SingleEdit", typeText(name));
        panel->tbtnNewGroupClick();
    }
    // Runs a mass print command; the dialog's check marks are recorded in order ("x" checked,
    // "-" not, then "/all" when Check All is ticked) and OK pressed unless told otherwise.
    QString massPrint(QAction* command, bool ok = true, const std::function<void(TF_MassPrint*)>& change = {})
    {
        QString marks = "no dialog";
        ModalDriver driver;
        driver.on("TF_MassPrint", [&](QWidget* w) {
            auto d = static_cast<TF_MassPrint*>(w);
            marks.clear();
            for (const MassPrintModel::Entry& e : d->entries())
                marks += addressCaption(e.rec.address) + (e.checked ? "x " : "- ");
            if (d->cbAll->isChecked())
                marks += "/all";
            if (change)
                change(d);
            clickButton(d, ok ? "btnOK" : "btnCancel");
        });
        command->trigger();
        return marks.trimmed();
    }
    QStringList loggedRecipients(const QString& batch = "False") const
    {
        return column(logLocation(),
                      "select ToAddress1 from Log37 where Batch = " + batch.toStdString() + " order by LID");
    }
    int printedPdfs() const { return QDir(home.path() + "/Printed").entryList({"*.pdf"}).size(); }
    QString printedPdf(int i) const
    {
        return home.path() + "/Printed/" +
               QDir(home.path() + "/Printed").entryList({"*.pdf"}, QDir::Files, QDir::Name)[i];
    }
    // The Mailer Numbers of the log, in key order, without blanks.
    QStringList loggedNumbers() const
    {
        return column(logLocation(), "select replace(MailerNum, ' ', '') from Log37 where Batch = False order by LID");
    }
    static QStringList names(const QString& stem, int count)
    {
        QStringList list;
        for (int i = 1; i <= count; ++i)
            list << QString("%1 %2").arg(stem).arg(i, 3, 10, QChar('0'));
        return list;
    }
};

// What each place of a printed label sheet holds, column by column within a row: the number
// its bar code reads, "-" when the place is blank, "?" when it holds ink that reads as no one
// number. A label at row r, column c lies within 2.75 inches left of 8.25 - 2.75 r and 3.7
// inches below 3.7 c.
QStringList labelPlaces(const QString& pdf, int page)
{
    constexpr int dpi = 200;
    const QImage sheet = testsupport::rasterisePdf(pdf, dpi, page);
    QStringList places;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            const QRect place(int((8.25 - 2.75 * (row + 1)) * dpi), int(3.7 * col * dpi), int(2.75 * dpi),
                              int(3.7 * dpi));
            const QImage label = sheet.copy(place & sheet.rect());
            if (testsupport::inkBox(label).isEmpty()) {
                places << "-";
                continue;
            }
            const QStringList symbols = testsupport::decodedSymbols(label);
            places << (symbols.size() == 1 ? symbols[0].section(':', 1) : "?");
        }
    return places;
}

} // namespace

namespace {

// Types the text as a keyboard would: keyClicks for ASCII, and for a letter beyond it (which
// keyClicks cannot send) a key event carrying the letter, as a keyboard layout sends it.
void typeInto(QWidget* widget, const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClicks(widget, QString(c));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
    }
}

// A database for the search: names, companies and streets, some with accents.
QString searchDatabase(Fixture& f)
{
    const QString db = f.makeDatabase("Search");
    const char* rows[] = {
        "'José García', 'Acme Supply', '12 Main St', 'Erie', 'PA', '16501'",
        "'Ann Smith', '', '40 Oak Ave', 'Dover', 'DE', '19901'",
        "'Bob Jones', 'Smith & Sons', '7 Elm St', 'Erie', 'PA', '16505'",
        "'Zoë Ångström', 'Nordic Imports', '9 Pier St', 'Duluth', 'MN', '55802'",
        "'Cy Smithers', '', '3 Main St', 'Dover', 'DE', '19904'",
    };
    for (const char* row : rows)
        Fixture::run(db, std::string("insert into Address (Address1, Address2, Address3, City, State, Zip) values(") +
                             row + ")");
    return db;
}

} // namespace

class TestAddressBookWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<testsupport::PgCluster> cluster_;

private slots:
    void initTestCase()
    {
        if (testsupport::serverBackend()) {
            cluster_ = std::make_unique<testsupport::PgCluster>();
            g_cluster = cluster_.get();
        }
    }
    void cleanupTestCase()
    {
        g_cluster = nullptr;
        engine::disconnectServers();
        cluster_.reset();
    }

    // ---- the chooser ----------------------------------------------------------------------------

    void chooserCreatesAndDeletes()
    {
        Fixture f;
        QVERIFY(f.started());
        if (f.onServer()) {
            chooserOnTheServer(f);
            return;
        }
        const QString addresses = f.home.path() + "/Addresses";
        TF_Database d(addresses + "/");
        QCOMPARE(d.folder(), addresses);
        QCOMPARE(d.lblDirectory->text(), addresses);
        QVERIFY(d.btnAdd->isEnabled() && !d.btnDelete->isEnabled() && !d.btnOK->isEnabled());

        // A bad name is refused with a word why and asked again; the good one is made.
        QDir(addresses).mkdir("Taken");
        {
            ModalDriver driver;
            QString caption;
            driver.on("TF_SingleEdit", typeText("a/b", &caption));
            driver.on("TF_SingleEdit", typeText("Taken"));
            driver.on("TF_SingleEdit", typeText("Clients"));
            d.btnAddClick();
            QCOMPARE(caption, QString("New Database / Enter Name for New Database"));
        }
        const QStringList errors = shownTexts();
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors[0].startsWith("\"a/b\" is not a valid name for a database."));
        QVERIFY(errors[1].startsWith("A folder named \"Taken\" already exists"));
        const QString clients = addresses + "/Clients";
        QCOMPARE(d.folder(), clients);
        QVERIFY(IsAddressDatabase(clients));
        QVERIFY(!QFileInfo::exists(addresses + "/a"));
        QVERIFY(!d.btnAdd->isEnabled() && d.btnDelete->isEnabled() && d.btnOK->isEnabled());
        QVERIFY(d.dirlbDB->findItems("..", Qt::MatchExactly).size() == 1);

        // A folder with two of the three tables is no database.
        QFile::remove(clients + "/Members.adt");
        d.setFolder(clients);
        QVERIFY(d.btnAdd->isEnabled() && !d.btnOK->isEnabled());
        f.dm->CreateTable(clients, "Members", schema::Members);
        d.setFolder(clients);

        // Delete: No and Cancel change nothing; Yes removes the tables and the empty folder.
        MessageService::clearShown();
        for (auto answer : {QMessageBox::No, QMessageBox::Cancel}) {
            MessageService::queueAnswer(answer);
            d.btnDeleteClick();
            QVERIFY(IsAddressDatabase(clients));
        }
        QCOMPARE(shownTexts().first(), QString("Are you sure you want to delete this database?\n\n" + clients +
                                               " will be deleted, with every address, group and membership in it."));
        // Enter alone deletes nothing.
        QCOMPARE(MessageService::shown().first().defaultButton, QMessageBox::No);
        MessageService::queueAnswer(QMessageBox::Yes);
        d.btnDeleteClick();
        QVERIFY(!QFileInfo::exists(clients));
        QCOMPARE(d.folder(), addresses);
        QVERIFY(d.dirlbDB->findItems("Clients", Qt::MatchExactly).isEmpty());

        // A folder holding something else stays, without its tables.
        const QString kept = f.makeDatabase("Kept");
        QFile other(kept + "/notes.txt");
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        d.setFolder(kept);
        MessageService::queueAnswer(QMessageBox::Yes);
        d.btnDeleteClick();
        QCOMPARE(QDir(kept).entryList(QDir::Files), QStringList{"notes.txt"});
        QCOMPARE(d.folder(), addresses);

        // A folder that cannot be written to (here: gone meanwhile) gets no tables elsewhere.
        const QString gone = addresses + "/Gone";
        QVERIFY(QDir().mkdir(gone));
        d.setFolder(gone);
        QVERIFY(QDir().rmdir(gone));
        MessageService::clearShown();
        {
            ModalDriver driver;
            driver.on("TF_SingleEdit", typeText("Inside"));
            d.btnAddClick();
        }
        QCOMPARE(shownTexts().size(), 1);
        QVERIFY2(shownTexts().first().startsWith("The folder " + gone + "/Inside could not be created."),
                 qPrintable(shownTexts().first()));
        QVERIFY(!IsAddressDatabase(addresses) && !QFileInfo::exists(gone));
    }

private:
    // The office's server beside the drives: its address databases listed by name, made and
    // deleted there, one chosen with OK.
    void chooserOnTheServer(Fixture& f)
    {
        const QString doctors = f.makeDatabase("Ärzte");
        TF_Database d(f.w->settings.addressDB, nullptr, f.w->settings.sharedLocation({}));
        QVERIFY(!d.onServer());
        QCOMPARE(d.dcbDB->itemData(0).toString(), f.office);
        QVERIFY(d.dcbDB->itemText(0).startsWith("Database server 127.0.0.1:"));
        emit d.dcbDB->activated(0);
        QVERIFY(d.onServer());
        QVERIFY2(d.lblDirectory->text().startsWith("Address databases on the database server 127.0.0.1:"),
                 qPrintable(d.lblDirectory->text()));
        const auto listedNames = [&d] {
            QStringList names;
            for (int i = 0; i < d.dirlbDB->count(); ++i)
                names << d.dirlbDB->item(i)->text();
            return names;
        };
        QCOMPARE(listedNames(), QStringList{"Ärzte"});
        QVERIFY(d.btnAdd->isEnabled() && !d.btnDelete->isEnabled() && !d.btnOK->isEnabled());

        // A name taken regardless of case, and one that is no folder name, are refused and asked again.
        MessageService::clearShown();
        {
            ModalDriver driver;
            driver.on("TF_SingleEdit", typeText("ärzte"));
            driver.on("TF_SingleEdit", typeText("a/b"));
            driver.on("TF_SingleEdit", typeText("Clients"));
            d.btnAddClick();
        }
        const QStringList errors = shownTexts();
        QCOMPARE(errors.size(), 2);
        QVERIFY2(errors[0].startsWith("An address database named \"Ärzte\" already exists on the database server."),
                 qPrintable(errors[0]));
        QVERIFY(errors[1].startsWith("\"a/b\" is not a valid name for a database."));
        const QString clients = d.folder();
        QVERIFY(isServerAddressDatabase(clients) && IsAddressDatabase(clients));
        QCOMPARE(serverAddressDatabaseName(clients), QString("Clients"));
        QCOMPARE(listedNames(), (QStringList{"Clients", "Ärzte"})); // ordered as the folders are
        QCOMPARE(d.dirlbDB->currentItem()->text(), QString("Clients"));
        QVERIFY(d.btnAdd->isEnabled() && d.btnDelete->isEnabled() && d.btnOK->isEnabled());

        // Delete: No and Cancel change nothing; Yes removes the database with its tables.
        MessageService::clearShown();
        for (auto answer : {QMessageBox::No, QMessageBox::Cancel}) {
            MessageService::queueAnswer(answer);
            d.btnDeleteClick();
            QVERIFY(IsAddressDatabase(clients));
        }
        QCOMPARE(shownTexts().first(),
                 "Are you sure you want to delete this database?\n\nClients on the database server " +
                     QString::fromStdString(engine::describeServer(f.office.toStdString())) +
                     " will be deleted, with every address, group and membership in it.");
        QCOMPARE(MessageService::shown().first().defaultButton, QMessageBox::No);
        MessageService::queueAnswer(QMessageBox::Yes);
        d.btnDeleteClick();
        QVERIFY(!IsAddressDatabase(clients));
        QCOMPARE(listedNames(), QStringList{"Ärzte"});
        QCOMPARE(d.folder(), f.office);
        QVERIFY(!d.btnOK->isEnabled());

        // Chosen in the list, a database is the one OK opens; the drives lead back to the folders.
        d.dirlbDB->setCurrentRow(0);
        QCOMPARE(d.folder(), doctors);
        QVERIFY(d.btnOK->isEnabled() && d.btnDelete->isEnabled());
        const int root = d.dcbDB->findText("/");
        QVERIFY(root > 0);
        emit d.dcbDB->activated(root);
        QVERIFY(!d.onServer());
        QCOMPARE(d.folder(), QString("/"));
    }

private slots:
    void openAndCloseSwitchLayouts()
    {
        Fixture f;
        QVERIFY(f.started());
        const QString clients = f.makeDatabase("Clients");
        QVERIFY(f.w->miPrint->isEnabled() && f.w->btnPrint->isEnabled()); // the closed panel leaves Print alone
        ModalDriver driver;
        driver.on("TF_Database", [&](QWidget* w) {
            auto d = static_cast<TF_Database*>(w);
            d->setFolder(clients);
            clickButton(d, "btnOK");
        });
        f.w->miOpenToDB->trigger();
        QTRY_VERIFY(driver.seen.contains("TF_Address")); // an empty database asks for its first address
        QTRY_VERIFY(!QApplication::activeModalWidget());

        TF_Main& w = *f.w;
        QCOMPARE(w.width(), 769);
        QVERIFY(f.panel->isVisible() && w.gbToDB->isVisible() && !w.gbTo->isVisible());
        QCOMPARE(f.panel->geometry().left(), 560);
        QCOMPARE(f.panel->width(), 195);
        QCOMPARE(w.editDepartment->y(), 110);
        QCOMPARE(w.labelDepartment->y(), 116);
        QVERIFY(w.editRe->geometry().bottom() < w.editPostage->y());
        QVERIFY(w.miCloseToDB->isVisible() && w.miToTextFiles->isEnabled());
        QVERIFY(w.settings.databaseOn);
        QCOMPARE(w.settings.addressDB, clients);
        QCOMPARE(f.treeOutline(), QStringList{"All"});
        QVERIFY(f.listed().isEmpty());
        QCOMPARE(f.recipientLabels(), QStringList(5, QString()));
        QVERIFY(!w.btnPrint->isEnabled());
        QVERIFY(!f.panel->miGroup->menuAction()->isVisible());
        QVERIFY(f.onServer() ? f.panel->labelDatabaseName->text() == "Clients"
                             : f.panel->labelDatabaseName->text().endsWith("/Clients"));
        QVERIFY(f.panel->labelDatabaseName->fontMetrics().horizontalAdvance(f.panel->labelDatabaseName->text()) <=
                f.panel->labelDatabaseName->width());

        w.miCloseToDB->trigger();
        QCOMPARE(w.width(), 569);
        QVERIFY(!f.panel->isVisible() && !w.gbToDB->isVisible() && w.gbTo->isVisible());
        QCOMPARE(w.editRe->y(), 178);
        QCOMPARE(w.labelRE->y(), 184);
        QVERIFY(!w.miCloseToDB->isVisible() && !w.miToTextFiles->isEnabled());
        QVERIFY(!w.settings.databaseOn && w.btnPrint->isEnabled());

        // The chooser starts where the database just closed was; Cancel changes nothing.
        QString startedIn;
        driver.on("TF_Database", [&](QWidget* d) {
            startedIn = static_cast<TF_Database*>(d)->folder();
            clickButton(d, "btnCancel");
        });
        w.miOpenToDB->trigger();
        QCOMPARE(startedIn, clients);
        QVERIFY(!w.settings.databaseOn && !f.panel->isVisible());
    }

    void reopensAtStart()
    {
        const QString ini = "[System Path]\r\nDatabaseON=1\r\nAddressDB=%1\r\n";
        QString folder;
        {
            Fixture first;
            folder = first.makeDatabase("Clients");
            Fixture f(ini.arg(folder).toUtf8());
            ModalDriver driver;
            QVERIFY(f.started());
            QVERIFY(!driver.seen.contains("TF_Address")); // empty, but not asked during the first showing
            QVERIFY(f.panel->isVisible() && f.w->gbToDB->isVisible() && f.w->width() == 769);
            QVERIFY(MessageService::shown().isEmpty());
            QCOMPARE(f.w->settings.addressDB, folder);
            if (f.onServer())
                deleteServerAddressDatabase(folder);
        }
        // Its tables gone: the program starts closed and says why.
        Fixture f(ini.arg(folder).toUtf8());
        QVERIFY(f.started());
        QVERIFY(!f.panel->isVisible() && f.w->gbTo->isVisible());
        QVERIFY(!f.w->settings.databaseOn);
        QCOMPARE(shownTexts().size(), 1);
        if (f.onServer())
            QVERIFY2(shownTexts().first().startsWith("The address database addressbook_") &&
                         shownTexts().first().contains("could not be opened: it is no longer on the server."),
                     qPrintable(shownTexts().first()));
        else
            QVERIFY(shownTexts().first().startsWith("The address database in " + folder + " could not be opened"));
    }

    void deletingTheOpenDatabaseClosesIt()
    {
        Fixture f;
        QVERIFY(f.started());
        const QString clients = f.makeDatabase("Clients", {"Ann"});
        f.open(clients);
        QVERIFY(f.panel->isVisible());
        ModalDriver driver;
        driver.on("TF_Database", [&](QWidget* d) {
            MessageService::queueAnswer(QMessageBox::Yes);
            static_cast<TF_Database*>(d)->btnDeleteClick();
            clickButton(d, "btnCancel");
        });
        f.w->miOpenToDB->trigger();
        QVERIFY(f.onServer() ? !IsAddressDatabase(clients) : !QFileInfo::exists(clients));
        QVERIFY(!f.panel->isVisible() && !f.w->settings.databaseOn && f.w->gbTo->isVisible());
    }

    // Two workstations on one address database (on the office's server, or in a shared folder):
    // one adds an address and makes it a member of a new group; the other sees both once it
    // reads the database again (chosen again in the chooser).
    void twoWorkstationsShareTheDatabase()
    {
        Fixture f;
        QVERIFY(f.started());
        const QString shared = f.makeDatabase("Shared", {"Ann"});
        f.open(shared);
        QCOMPARE(f.listed(), QStringList{"Ann"});

        // The other workstation: a program folder of its own, its settings naming the same office
        // and database, started through the program's own start-up.
        testsupport::TempProgramFolder other;
        testsupport::prepareReadyProgramFolder(other.path());
        {
            QFile ini(other.file("dovra3.ini"));
            QVERIFY(ini.open(QIODevice::Append));
            QFile own(f.home.file("dovra3.ini"));
            QVERIFY(own.open(QIODevice::ReadOnly));
            const QByteArray settings = own.readAll();
            if (f.onServer())
                ini.write(settings.mid(settings.indexOf("[Server]")).split('[').value(1).prepend('['));
            ini.write("[System Path]\r\nDatabaseON=1\r\nAddressDB=" + shared.toUtf8() + "\r\n");
        }
        QProcess station;
        station.start(testsupport::binDir() + "/addressbook_workstation",
                      {other.path(), "add", "Bob Baker", "Friends"});
        QVERIFY(station.waitForFinished(120000));
        QVERIFY2(station.exitCode() == 0, station.readAllStandardError().constData());

        // Not read yet: the window shows what it read.
        QCOMPARE(f.listed(), QStringList{"Ann"});
        QCOMPARE(f.treeOutline(), QStringList{"All"});
        // Chosen again, the database shows the other workstation's address, group and member.
        ModalDriver driver;
        driver.on("TF_Database", [](QWidget* d) { clickButton(d, "btnOK"); });
        f.w->miOpenToDB->trigger();
        QCOMPARE(f.w->settings.addressDB, shared);
        QCOMPARE(f.treeOutline(), (QStringList{"All", "Friends"}));
        QCOMPARE(f.listed(), (QStringList{"Ann", "Bob Baker"}));
        f.clickNode("Friends");
        QCOMPARE(f.listed(), QStringList{"Bob Baker"});
        f.clickAddress(0);
        QCOMPARE(f.panel->queries().assignedGroups(f.panel->addressModel()->record(0).ID), QStringList{"Friends"});
    }

    // ---- the group tree --------------------------------------------------------------------------

    void groupTreeCommands()
    {
        Fixture f;
        QVERIFY(f.started());
        const QString db = f.makeDatabase("Clients", {"Ann", "Bob"});
        f.open(db);
        f.newGroup("North"); // "All" selected after every load: a top-level group
        f.clickNode("North");
        f.newGroup("East");
        f.newGroup("South");
        f.clickNode("East");
        f.newGroup("West");
        QCOMPARE(f.treeOutline(), (QStringList{"All", "North", "  East", "    West", "South"}));
        QCOMPARE(f.panel->tvGroups->topLevelItemCount(), 3);
        QCOMPARE(f.panel->tvGroups->selectedItems(), QList<QTreeWidgetItem*>{f.node("All")});
        QVERIFY(!f.panel->tbtnEditGroup->isEnabled() && !f.panel->tbtnDeleteGroup->isEnabled());
        QStringList menuItems;
        for (QAction* a : f.panel->miAddToGroup->actions())
            menuItems << a->text();
        QCOMPARE(menuItems, (QStringList{"North", "East", "South", "West"})); // G_ID order

        // Names: the case of a duplicate does not matter; "All" is reserved, "all" is not.
        MessageService::clearShown();
        f.newGroup("Sales");
        f.newGroup("sales");
        f.newGroup("All");
        f.newGroup("all");
        QCOMPARE(shownTexts(),
                 (QStringList{"A Group name of \"sales\" already exists.", "You can not add a Group named \"All\""}));
        QVERIFY(f.node("all") && f.node("Sales"));

        // Rename: a click on one group enables it; the sub-menus follow.
        f.clickNode("South");
        QVERIFY(f.panel->tbtnEditGroup->isEnabled() && f.panel->tbtnDeleteGroup->isEnabled());
        {
            ModalDriver driver;
            QString caption;
            driver.on("TF_SingleEdit", [&](QWidget* w) {
                auto d = static_cast<TF_SingleEdit*>(w);
                caption = d->TheEdit->text();
                QCOMPARE(d->TheEdit->maxLength(), 40);
                d->TheEdit->setText("Southwest");
                clickButton(d, "btnOK");
            });
            f.panel->tbtnEditGroupClick();
            QCOMPARE(caption, QString("South"));
        }
        QVERIFY(f.node("Southwest") && !f.node("South"));
        QCOMPARE(f.panel->miDeleteFromGroup->actions().at(2)->text(), QString("Southwest"));
        MessageService::clearShown();
        for (const QString& name : {"north", "All"}) {
            ModalDriver driver;
            driver.on("TF_SingleEdit", typeText(name));
            f.panel->tbtnEditGroupClick();
        }
        QCOMPARE(shownTexts(),
                 (QStringList{"A Group name of \"north\" already exists.", "Can't change Group name to \"All\""}));
        QCOMPARE(Fixture::column(db, "select Group_Name from Groups where G_ID = 3"), QStringList{"Southwest"});

        // Deleting East takes West along, with their memberships; addresses stay.
        Fixture::run(db, "insert into Members (A_ID, G_ID) values(1, 2)");
        Fixture::run(db, "insert into Members (A_ID, G_ID) values(2, 4)");
        Fixture::run(db, "insert into Members (A_ID, G_ID) values(2, 1)");
        MessageService::clearShown();
        f.clickNode("East");
        MessageService::queueAnswer(QMessageBox::Yes);
        f.panel->tbtnDeleteGroupClick();
        QCOMPARE(shownTexts(), QStringList{"Are you sure you want to delete this Group and all Groups underneath it?"});
        QCOMPARE(f.treeOutline(), (QStringList{"All", "North", "Southwest", "Sales", "all"}));
        QCOMPARE(Fixture::column(db, "select A_ID from Members"), QStringList{"2"});
        QCOMPARE(f.listed(), (QStringList{"Ann", "Bob"}));

        // Several selected: one question, "All" never deleted.
        f.clickNode("Sales");
        f.clickNode("all", Qt::ControlModifier);
        QVERIFY(!f.panel->tbtnEditGroup->isEnabled() && f.panel->tbtnDeleteGroup->isEnabled());
        MessageService::clearShown();
        MessageService::queueAnswer(QMessageBox::Yes);
        f.panel->tbtnDeleteGroupClick();
        QCOMPARE(shownTexts(), QStringList{"Are you sure you want to delete all the selected Groups?"});
        QCOMPARE(f.treeOutline(), (QStringList{"All", "North", "Southwest"}));

        // Select All takes every group but "All" and leaves no recipient.
        f.panel->tbtnSelectAllGroupClick();
        QCOMPARE(f.panel->tvGroups->selectedItems().size(), 2);
        QVERIFY(!f.node("All")->isSelected());
        QVERIFY(!f.w->btnPrint->isEnabled());
        QCOMPARE(f.recipientLabels(), QStringList(5, QString()));
    }

    void groupClickListsMembersAndFindGroup()
    {
        Fixture f;
        QVERIFY(f.started());
        const QString db = f.makeDatabase("Clients", {"Ann", "Bob", "Cy"});
        f.open(db);
        for (const char* g : {"North", "South"})
            f.newGroup(g);
        Fixture::run(db, "insert into Members (A_ID, G_ID) values(3, 2)");
        Fixture::run(db, "insert into Members (A_ID, G_ID) values(1, 2)");
        f.clickNode("South");
        QCOMPARE(f.listed(), (QStringList{"Ann", "Cy"}));
        QCOMPARE(f.selectedNames(), QStringList{"Ann"});
        f.clickNode("North"); // an empty group: no recipient, no Print
        QVERIFY(f.listed().isEmpty());
        QVERIFY(!f.w->btnPrint->isEnabled());
        QCOMPARE(f.recipientLabels(), QStringList(5, QString()));

        // Find "th" over All, North, South from North: South, then North again with F3.
        {
            ModalDriver driver;
            QString caption;
            driver.on("TF_SingleEdit", typeText("th", &caption));
            f.panel->tbtnFindGroupClick();
            QCOMPARE(caption, QString("Find / Text to find"));
        }
        QCOMPARE(f.panel->tvGroups->selectedItems(), QList<QTreeWidgetItem*>{f.node("South")});
        QCOMPARE(f.listed(), (QStringList{"Ann", "Cy"}));
        Fixture::pressKey(f.panel->tvGroups, Qt::Key_F3);
        QCOMPARE(f.panel->tvGroups->selectedItems(), QList<QTreeWidgetItem*>{f.node("North")});
        MessageService::clearShown();
        rememberedSearchText = "zzz";
        f.panel->FindNextGroup();
        QCOMPARE(shownTexts(), QStringList{"Search string \"zzz\" not found."});
        QCOMPARE(f.panel->tvGroups->selectedItems(), QList<QTreeWidgetItem*>{f.node("North")});
    }

    // ---- the address list -------------------------------------------------------------------------

    void selectionRule()
    {
        Fixture f;
        QVERIFY(f.started());
        const QString db = f.makeDatabase("Clients", {"Ann", "Bob"});
        Fixture::run(db, "insert into Address (Address1, Address2, Address3, Address4, City, State, Zip) "
                         "values('Cy', 'Suite 5', 'Bldg 2', 'Floor 3', 'Dover', 'DE', '19901-')");
        Fixture::run(db, "insert into Address (Address1, City, State, Zip) values('', 'Erie', 'PA', '16501')");
        f.open(db);
        QCOMPARE(f.listed(), (QStringList{"Ann", "Bob", "Cy", "Erie PA 16501"}));
        QCOMPARE(f.selectedNames(), QStringList{"Ann"});
        QCOMPARE(f.recipientLabels(), (QStringList{"Ann", "Erie PA 16501", "", "", ""}));
        QVERIFY(f.w->btnPrint->isEnabled());

        f.clickAddress(2);
        QCOMPARE(f.recipientLabels(), (QStringList{"Cy", "Suite 5", "Bldg 2", "Floor 3", "Dover DE 19901"}));
        QCOMPARE(f.w->currentRecipient.zip, QString("19901-"));
        QCOMPARE(f.panel->lvAddress->model()->data(f.panel->addressModel()->index(0), Qt::ToolTipRole).toString(),
                 QString("Ann\nErie PA 16501"));
        QVERIFY(f.panel->tbtnEditAddress->isEnabled() && f.panel->miAssigned->isVisible());

        // Two selected: no recipient, no Print, only Delete and Group.
        f.clickAddress(3, Qt::ControlModifier);
        QCOMPARE(f.recipientLabels(), QStringList(5, QString()));
        QVERIFY(!f.w->btnPrint->isEnabled() && !f.w->miPrint->isEnabled());
        QVERIFY(!f.panel->tbtnNewAddress->isEnabled() && !f.panel->tbtnEditAddress->isEnabled() &&
                f.panel->tbtnDeleteAddress->isEnabled());
        QVERIFY(!f.panel->miAddressNew->isVisible() && f.panel->miAddressDelete->isVisible());
        QVERIFY(f.panel->miGroup->menuAction()->isVisible() && !f.panel->miAssigned->isVisible());

        // One of them unselected: the other is the recipient.
        f.clickAddress(2, Qt::ControlModifier);
        QCOMPARE(f.recipientLabels(), (QStringList{"Erie PA 16501", "", "", "", ""}));
        QVERIFY(f.w->btnPrint->isEnabled());

        // None: New only.
        f.clickAddress(3, Qt::ControlModifier);
        QVERIFY(f.panel->selectedAddressRows().empty());
        QVERIFY(f.panel->tbtnNewAddress->isEnabled() && !f.panel->tbtnDeleteAddress->isEnabled());
        QVERIFY(!f.panel->miGroup->menuAction()->isVisible() && !f.w->btnPrint->isEnabled());

        f.panel->tbtnSelectAllAddressClick();
        QCOMPARE(f.panel->selectedAddressRows().size(), size_t(4));
        QVERIFY(!f.w->btnPrint->isEnabled());
    }

    void newEditAndDeleteAddresses()
    {
        Fixture f;
        QVERIFY(f.started());
        const QString db = f.makeDatabase("Clients", {"Ann", "Bob"});
        f.open(db);
        f.newGroup("G");
        Fixture::run(db, "insert into Members (A_ID, G_ID) values(1, 1)");
        f.clickNode("G");

        // Into group G answered No: stored, not in G, not listed; the last member is selected.
        {
            ModalDriver driver;
            driver.on("TF_Address", fillAddress("Zed O'Neil"));
            MessageService::clearShown();
            MessageService::queueAnswer(QMessageBox::No);
            f.panel->tbtnNewAddressClick();
        }
        QCOMPARE(shownTexts(), QStringList{"Add new address to Group \"G\"?"});
        QCOMPARE(Fixture::column(db, "select Address1 from Address where A_ID = 3"), QStringList{"Zed O'Neil"});
        QCOMPARE(f.listed(), QStringList{"Ann"});
        QCOMPARE(f.selectedNames(), QStringList{"Ann"});
        // Answered Yes: a member, listed last and selected.
        {
            ModalDriver driver;
            driver.on("TF_Address", fillAddress("Yul"));
            MessageService::queueAnswer(QMessageBox::Yes);
            f.panel->tbtnNewAddressClick();
        }
        QCOMPARE(f.listed(), (QStringList{"Ann", "Yul"}));
        QCOMPARE(f.selectedNames(), QStringList{"Yul"});
        QCOMPARE(f.recipientLabels().first(), QString("Yul"));

        // Edit keeps place and groups; the recipient shows the new text.
        {
            ModalDriver driver;
            QString boxCaption;
            driver.on("TF_Address", [&](QWidget* w) {
                auto d = static_cast<TF_Address*>(w);
                boxCaption = d->gbAddress->title();
                d->memoAddress->setPlainText("Yul Brynner");
                clickButton(d, "btnOK");
            });
            f.panel->tbtnEditAddressClick();
            QCOMPARE(boxCaption, QString("Edit Name and Address"));
        }
        QCOMPARE(f.listed(), (QStringList{"Ann", "Yul Brynner"}));
        QCOMPARE(f.recipientLabels().first(), QString("Yul Brynner"));
        QCOMPARE(f.w->currentRecipient.address[0], QString("Yul Brynner"));

        // Deleting while the group is listed removes it from every group and the database.
        MessageService::clearShown();
        MessageService::queueAnswer(QMessageBox::Yes);
        f.panel->tbtnDeleteAddressClick();
        QCOMPARE(shownTexts(), QStringList{"Are you sure you want to delete this address?"});
        QCOMPARE(f.listed(), QStringList{"Ann"});
        QCOMPARE(Fixture::column(db, "select A_ID from Members"), QStringList{"1"});
        QCOMPARE(Fixture::column(db, "select Address1 from Address order by A_ID"),
                 (QStringList{"Ann", "Bob", "Zed O'Neil"}));

        f.clickNode("All");
        f.panel->tbtnSelectAllAddressClick();
        MessageService::clearShown();
        MessageService::queueAnswer(QMessageBox::Yes);
        f.panel->tbtnDeleteAddressClick();
        QCOMPARE(shownTexts(), QStringList{"Are you sure you want to delete all the selected addresses?"});
        QVERIFY(f.listed().isEmpty());
        QVERIFY(Fixture::column(db, "select A_ID from Members").isEmpty());
    }

    void findAddress()
    {
        Fixture f;
        QVERIFY(f.started());
        const QString db = f.makeDatabase("Clients", {"Ann Smith", "Bob", "Cy Smith", "Dee", "Eve"});
        f.open(db);
        rememberedSearchText.clear();
        MessageService::clearShown();
        Fixture::pressKey(f.panel->lvAddress, Qt::Key_F3); // nothing remembered: nothing happens
        QVERIFY(MessageService::shown().isEmpty());

        f.clickAddress(2);
        {
            ModalDriver driver;
            driver.on("TF_SingleEdit", typeText("smith"));
            Fixture::pressKey(f.panel->lvAddress, Qt::Key_F, Qt::ControlModifier);
            QVERIFY(driver.seen.contains("TF_SingleEdit"));
        }
        QCOMPARE(f.selectedNames(), QStringList{"Ann Smith"}); // 4 and 5 looked at first
        Fixture::pressKey(f.panel->lvAddress, Qt::Key_F3);
        QCOMPARE(f.selectedNames(), QStringList{"Cy Smith"});
        rememberedSearchText = "16501"; // the ZIP field counts too; the selected comes last
        f.panel->FindNextAddress();
        QCOMPARE(f.selectedNames(), QStringList{"Dee"});
        rememberedSearchText = "nobody";
        f.panel->FindNextAddress();
        QCOMPARE(shownTexts(), QStringList{"Search string \"nobody\" not found."});
        QCOMPARE(f.selectedNames(), QStringList{"Dee"});
    }

    // ---- membership ---------------------------------------------------------------------------------

    void membership()
    {
        Fixture f;
        QVERIFY(f.started());
        const QString db = f.makeDatabase("Clients", {"Ann", "Bob", "Cy"});
        f.open(db);
        f.newGroup("Sales");
        f.newGroup("Staff");
        const qint32 sales = f.groupId("Sales"), staff = f.groupId("Staff");

        MessageService::clearShown();
        f.clickAddress(0);
        f.panel->AddToGroupClick(sales);
        f.panel->AddToGroupClick(sales);
        f.panel->DeleteFromGroupClick(staff);
        f.panel->miAssignedClick();
        f.panel->AddToGroupClick(staff);
        f.panel->miAssignedClick();
        const auto shown = MessageService::shown();
        QCOMPARE(shown.size(), 6);
        QCOMPARE(shown[0].text, QString("Address added to Group \"Sales\""));
        QCOMPARE(shown[0].kind, MessageKind::Information);
        QCOMPARE(shown[1].text, QString("Already a member of \"Sales\"."));
        QCOMPARE(shown[1].kind, MessageKind::Error);
        QCOMPARE(shown[2].text, QString("Not a member of \"Staff\"."));
        QCOMPARE(shown[3].text, QString("Address found in Groups:\n\r\n\rSales"));
        QCOMPARE(shown[5].text, QString("Address found in Groups:\n\r\n\rSales\n\rStaff"));
        QCOMPARE(Fixture::column(db, "select count(*) from Members where A_ID = 1 and G_ID = " + std::to_string(sales)),
                 QStringList{"1"});

        // Three selected, one already a member: a summary in list order.
        f.panel->tbtnSelectAllAddressClick();
        struct Row {
            QString number, address, result;
        };
        QList<Row> rows;
        QString status, label;
        auto readSummary = [&](QWidget* w) {
            auto s = static_cast<TF_GroupSummary*>(w);
            rows.clear();
            for (int i = 0; i < s->lvSummary->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* item = s->lvSummary->topLevelItem(i);
                rows << Row{item->text(1), item->text(2), item->text(3)};
            }
            status = s->StatusBar->currentMessage();
            label = s->LabelActionSummary->text();
            QCOMPARE(s->windowTitle(), QString("Group Action Summary"));
            clickButton(s, "ButtonOK");
        };
        {
            ModalDriver driver;
            driver.on("TF_GroupSummary", readSummary);
            f.panel->AddToGroupClick(sales);
            QVERIFY(driver.seen.contains("TF_GroupSummary"));
        }
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].number + rows[0].address + rows[0].result, QString("1AnnAlready a member of \"Sales\"."));
        QCOMPARE(rows[1].number + rows[1].address + rows[1].result, QString("2BobAdded to Group \"Sales\""));
        QCOMPARE(rows[2].number, QString("3"));
        QCOMPARE(status, QString("3 item(s) processed; 1 error(s)"));
        QCOMPARE(label, QString("Action completed with errors. See details below for more information."));
        {
            ModalDriver driver;
            driver.on("TF_GroupSummary", readSummary);
            f.panel->DeleteFromGroupClick(sales);
        }
        QCOMPARE(rows[2].result, QString("Deleted from Group \"Sales\""));
        QCOMPARE(label, QString("Action completed sucessfully."));
        QCOMPARE(status, QString("3 item(s) processed; 0 error(s)"));

        // Dragging addresses: no drop on "All"; a drop on a group adds them as Add to Group does.
        f.clickAddress(1);
        f.clickAddress(2, Qt::ShiftModifier);
        std::unique_ptr<QMimeData> mime(
            f.panel->addressModel()->mimeData(f.panel->lvAddress->selectionModel()->selectedIndexes()));
        QWidget* viewport = f.panel->tvGroups->viewport();
        auto dragTo = [&](const QString& caption) {
            const QPoint at = f.panel->tvGroups->visualItemRect(f.node(caption)).center();
            QDragEnterEvent enter(at, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
            QApplication::sendEvent(viewport, &enter);
            QDragMoveEvent move(at, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
            QApplication::sendEvent(viewport, &move);
            return std::pair{enter.isAccepted() && move.isAccepted(), at};
        };
        QVERIFY(!dragTo("All").first);
        QMimeData foreign;
        foreign.setText("Bob");
        QVERIFY(!f.panel->tvGroupsDragOver(f.panel->tvGroups->visualItemRect(f.node("Staff")).center(), &foreign));
        const auto [accepted, at] = dragTo("Staff");
        QVERIFY(accepted);
        {
            ModalDriver driver;
            driver.on("TF_GroupSummary", readSummary);
            QDropEvent drop(at, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
            QApplication::sendEvent(viewport, &drop);
        }
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].address + rows[0].result, QString("BobAdded to Group \"Staff\""));
        QCOMPARE(
            Fixture::column(db, "select A_ID from Members where G_ID = " + std::to_string(staff) + " order by A_ID"),
            (QStringList{"1", "2", "3"}));
        f.clickNode("Staff");
        QCOMPARE(f.listed(), (QStringList{"Ann", "Bob", "Cy"}));
    }

    // A user's drag, delivered through the main window as the window system delivers it: it
    // starts on an address, goes straight down, enters the tree over "All" (which takes no
    // addresses) and ends on a group. Each move carries the answer to the one before it.
    void dragStraightDownOntoAGroup()
    {
        Fixture f;
        QVERIFY(f.started());
        const QString db = f.makeDatabase("Clients", {"Ann", "Bob"});
        f.open(db);
        f.newGroup("Staff");
        const qint32 staff = f.groupId("Staff");
        f.clickAddress(1);
        std::unique_ptr<QMimeData> mime(
            f.panel->addressModel()->mimeData(f.panel->lvAddress->selectionModel()->selectedIndexes()));
        QWindow* window = f.w->windowHandle();
        QVERIFY(window);
        QWidget* list = f.panel->lvAddress->viewport();
        QWidget* tree = f.panel->tvGroups->viewport();
        const auto inWindow = [&](QWidget* widget, QPoint at) { return widget->mapTo(f.w.get(), at); };
        const QPoint start = inWindow(list, f.panel->lvAddress->visualRect(f.panel->addressModel()->index(1)).center());
        const QPoint all = inWindow(tree, f.panel->tvGroups->visualItemRect(f.node("All")).center());
        const QPoint group = inWindow(tree, f.panel->tvGroups->visualItemRect(f.node("Staff")).center());
        QVERIFY(all.y() > start.y() && group.y() > all.y());
        QList<QPoint> path;
        for (int y = start.y(); y < all.y(); y += 4)
            path << QPoint(all.x(), y);
        path << all << group;

        Qt::DropAction answer = Qt::IgnoreAction;
        QStringList answers;
        for (const QPoint& at : path) {
            if (at == path.first()) {
                QDragEnterEvent enter(at, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
                QApplication::sendEvent(window, &enter);
                if (enter.isAccepted())
                    answer = enter.dropAction();
            }
            QDragMoveEvent move(at, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
            move.ignore();
            if (answer != Qt::IgnoreAction) {
                move.setDropAction(answer);
                move.accept();
            }
            QApplication::sendEvent(window, &move);
            answer = move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
            if (at == all || at == group)
                answers << (answer == Qt::CopyAction ? "takes" : "refuses");
        }
        QCOMPARE(answers, (QStringList{"refuses", "takes"}));
        MessageService::clearShown();
        QDropEvent drop(group, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
        drop.setDropAction(answer);
        QApplication::sendEvent(window, &drop);
        QCOMPARE(shownTexts(), QStringList{"Address added to Group \"Staff\""});
        QCOMPARE(Fixture::column(db, "select A_ID from Members where G_ID = " + std::to_string(staff)),
                 QStringList{"2"});
    }

    // Each export adds to the end of a file that exists; its dialog says so and asks nothing.
    void exportsAppendWithoutAsking_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("linesOnce");
        QTest::newRow("addresses") << "miToExport" << 2;
        QTest::newRow("senders") << "miYourExport" << 1;
        QTest::newRow("log") << "miLogExport" << 2 * 31;
    }
    void exportsAppendWithoutAsking()
    {
        QFETCH(QString, command);
        QFETCH(int, linesOnce);
        Fixture f;
        FileDialogService::setScripted(true);
        QVERIFY(f.started());
        f.open(f.makeDatabase("Clients", {"Ann", "Bob"}));
        for (const char* name : {"Ann", "Bob"})
            Fixture::run(f.logLocation(), std::string("insert into Log37 (DateTime, ToAddress1, Batch, Result) "
                                                      "values('2026-03-01 08:00:00', '") +
                                              name + "', False, 'None')");
        auto action = f.w->findChild<QAction*>(command);
        QVERIFY(action);
        const QString chosen = f.home.file("out.txt");
        for (int i = 0; i < 2; ++i) {
            FileDialogService::queueAnswer(chosen);
            action->trigger();
        }
        const auto requests = FileDialogService::requests();
        QCOMPARE(requests.size(), 2);
        for (const auto& request : requests) {
            QVERIFY(!request.asksToReplace);
            QCOMPARE(request.caption, QString("Save As (an existing file is appended to)"));
        }
        QFile file(chosen);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(shownTexts().join("\n")));
        QCOMPARE(file.readAll().count("\r\n"), 2 * linesOnce);
    }

    // A Members table gone while the database is open: the messages name the error.
    void membersTableMissing()
    {
        Fixture f;
        QVERIFY(f.started());
        const QString db = f.makeDatabase("Clients", {"Ann"});
        f.open(db);
        f.newGroup("G");
        dmDovraPro->adsqToAddress.disconnect();
        if (f.onServer())
            engine::runOnServer(db.toStdString(), "DROP TABLE members");
        else
            QVERIFY(QFile::remove(db + "/Members.adt"));
        MessageService::clearShown();
        f.panel->AddToGroupClick(f.groupId("G"));
        f.clickNode("G");
        const QStringList texts = shownTexts();
        QCOMPARE(texts.size(), 2);
        for (const QString& t : texts)
            QVERIFY2(t.contains("Members") && !t.startsWith("Already"), qPrintable(t));
        QCOMPARE(f.listed(), QStringList{"Ann"}); // the list keeps what it showed
    }

    // ---- printing ----------------------------------------------------------------------------------

    void printsToTheSelectedAddress()
    {
        Fixture f;
        testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", f.home.path() + "/Printed");
        QVERIFY(f.started());
        const QString db = f.makeDatabase("Clients", {"Ann", "Bob"});
        f.w->memoToAddress->setPlainText("Typed Recipient");
        f.open(db);
        f.clickAddress(1);
        QVERIFY(f.w->btnPrintClick());
        const QStringList logged =
            Fixture::column(f.logLocation(), "select ToAddress1 || '|' || ToCity || '|' || ToZip from Log37");
        QCOMPARE(logged, QStringList{"Bob|Erie|16501"});
        QCOMPARE(QDir(f.home.path() + "/Printed").entryList({"*.pdf"}).size(), 1);
    }

    // ---- mass printing -------------------------------------------------------------------------

    void massPrintGroupQuery_data()
    {
        QTest::addColumn<bool>("all");
        QTest::addColumn<QList<qint32>>("groups");
        QTest::addColumn<QString>("sql");
        QTest::newRow("two groups") << false << QList<qint32>{5, 7}
                                    << "select a.* from Address a, Members m where ((M.G_ID = 5)or (M.G_ID = 7)) "
                                       "and m.A_ID = a.A_ID order by a.A_ID";
        QTest::newRow("one group") << false << QList<qint32>{12}
                                   << "select a.* from Address a, Members m where ((M.G_ID = 12)) and m.A_ID = "
                                      "a.A_ID order by a.A_ID";
        QTest::newRow("All among them") << true << QList<qint32>{5} << "select * from Address order by A_ID";
        QTest::newRow("nothing selected") << false << QList<qint32>{} << "";
    }
    void massPrintGroupQuery()
    {
        QFETCH(bool, all);
        QFETCH(QList<qint32>, groups);
        QFETCH(QString, sql);
        QCOMPARE(QString::fromStdString(massPrintGroupSql(all, {groups.begin(), groups.end()})), sql);
    }

    void massPrintFromTheList()
    {
        Fixture f;
        testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", f.home.path() + "/Printed");
        QVERIFY(f.started());
        f.open(f.makeDatabase("Clients", {"Ann", "Bob", "Cy", "Dee"}));

        // Cancel prints nothing and keeps the selection.
        f.clickAddress(1);
        QCOMPARE(f.massPrint(f.panel->tbtnMassPrintAddress, false), QString("Ann- Bobx Cy- Dee-"));
        QCOMPARE(f.printedPdfs(), 0);
        QCOMPARE(f.selectedNames(), QStringList{"Bob"});

        // Two selected: those two are checked and printed, then the first of them is selected again.
        f.clickAddress(2, Qt::ControlModifier);
        QCOMPARE(f.massPrint(f.panel->miAddressMassPrint), QString("Ann- Bobx Cyx Dee-"));
        QCOMPARE(f.loggedRecipients(), (QStringList{"Bob", "Cy"}));
        QCOMPARE(f.selectedNames(), QStringList{"Bob"});
        QCOMPARE(f.recipientLabels().first(), QString("Bob"));

        // None selected: every listed address, all checked; the last printed stays selected.
        f.panel->lvAddress->clearSelection();
        QCOMPARE(f.massPrint(f.panel->tbtnMassPrintAddress), QString("Annx Bobx Cyx Deex /all"));
        QCOMPARE(f.loggedRecipients(), (QStringList{"Bob", "Cy", "Ann", "Bob", "Cy", "Dee"}));
        QCOMPARE(f.selectedNames(), QStringList{"Dee"});
        QCOMPARE(f.printedPdfs(), 6);
        const QStringList numbers = Fixture::column(f.logLocation(), "select distinct MailerNum from Log37");
        QCOMPARE(numbers.size(), 6);

        // Unticking Check All leaves nothing to print.
        f.panel->lvAddress->clearSelection();
        f.massPrint(f.panel->tbtnMassPrintAddress, true, [](TF_MassPrint* d) { d->cbAll->click(); });
        QCOMPARE(f.printedPdfs(), 6);
    }

    // Labels fill the sheet from the current place on, in one print job whose pages are the
    // sheets; each label has its own number and log row; no notice per mailer, one summary.
    void massPrintFillsLabelSheetsInOneJob()
    {
        Fixture f;
        testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", f.home.path() + "/Printed");
        QVERIFY(f.started());
        f.open(f.makeDatabase("Clients", Fixture::names("Client", 12)));
        f.w->CBReturn->click();
        QVERIFY(!f.w->returnReceiptMode);
        // The third place of the sheet: row 1, column 3.
        f.w->EDPosRow->setText("1");
        f.w->EDPosCol->setText("3");
        const int notices = ButtonDialogService::shown().size();
        MessageService::clearShown();
        f.panel->lvAddress->clearSelection();
        f.massPrint(f.panel->tbtnMassPrintAddress);

        QCOMPARE(f.printedPdfs(), 1);
        const QString pdf = f.printedPdf(0);
        QVERIFY(testsupport::runTool("pdfinfo", {pdf}).contains(QRegularExpression("Pages: +2\n")));
        const QStringList numbers = f.loggedNumbers();
        QCOMPARE(numbers.size(), 12);
        QCOMPARE(QSet<QString>(numbers.begin(), numbers.end()).size(), 12);
        QCOMPARE(f.loggedRecipients(), Fixture::names("Client", 12));
        QCOMPARE(labelPlaces(pdf, 1), QStringList({"-", "-"}) + numbers.mid(0, 7));
        QCOMPARE(labelPlaces(pdf, 2), numbers.mid(7, 5) + QStringList({"-", "-", "-", "-"}));
        QCOMPARE(f.w->EDPosRow->text() + "," + f.w->EDPosCol->text(), QString("2,3"));
        QCOMPARE(ButtonDialogService::shown().size(), notices);
        const QList<MessageService::Shown> shown = MessageService::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, MessageKind::Information);
        QCOMPARE(shown[0].text, "12 mailers have been sent to the printer.\n\nFirst Mailer Number: " + numbers.first() +
                                    "\nLast Mailer Number: " + numbers.last());
        QCOMPARE(f.selectedNames(), QStringList{"Client 012"});
    }

    // A run of 200 forms asks nothing per mailer: its progress shows from the start, and one
    // summary ends it.
    void massPrintOf200FormsAsksNothing()
    {
        Fixture f;
        testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", f.home.path() + "/Printed");
        QVERIFY(f.started());
        f.open(f.makeDatabase("Clients", Fixture::names("Client", 200)));
        f.panel->lvAddress->clearSelection();
        const int notices = ButtonDialogService::shown().size();
        MessageService::clearShown();
        ModalDriver driver;
        driver.on("TF_MassPrint", [](QWidget* w) { clickButton(w, "btnOK"); });
        QString progress;
        driver.on("QProgressDialog", [&](QWidget* w) { progress = w->objectName(); });
        f.panel->tbtnMassPrintAddress->trigger();
        QCOMPARE(progress, QString("progressMassPrint"));
        QCOMPARE(driver.seen, QStringList({"TF_MassPrint", "QProgressDialog"}));
        QCOMPARE(ButtonDialogService::shown().size(), notices);
        const QStringList numbers = f.loggedNumbers();
        QCOMPARE(numbers.size(), 200);
        QCOMPARE(QSet<QString>(numbers.begin(), numbers.end()).size(), 200);
        QCOMPARE(f.printedPdfs(), 200);
        QCOMPARE(testsupport::shownMessageTexts(),
                 QStringList{"200 mailers have been sent to the printer.\n\nFirst Mailer Number: " + numbers.first() +
                             "\nLast Mailer Number: " + numbers.last()});
    }

    void massPrintCancelledBetweenMailers_data()
    {
        QTest::addColumn<bool>("labels");
        QTest::newRow("forms") << false;
        QTest::newRow("labels") << true;
    }
    void massPrintCancelledBetweenMailers()
    {
        QFETCH(bool, labels);
        Fixture f;
        testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", f.home.path() + "/Printed");
        QVERIFY(f.started());
        // Cancel is seen when the progress shows (a few times a second): the run must last that
        // long, and a server's labels go faster than a folder's.
        const int count = f.onServer() ? 1000 : 200;
        const QStringList names = Fixture::names("Client", count);
        f.open(f.makeDatabase("Clients", names));
        if (labels)
            f.w->CBReturn->click();
        f.panel->lvAddress->clearSelection();
        MessageService::clearShown();
        ModalDriver driver;
        driver.on("TF_MassPrint", [](QWidget* w) { clickButton(w, "btnOK"); });
        // Cancel is pressed once the progress shows a few mailers done.
        bool progressShown = false;
        driver.on("QProgressDialog", [&](QWidget* w) {
            progressShown = true;
            auto bar = w->findChild<QProgressBar*>();
            const auto buttons = w->findChildren<QPushButton*>();
            QVERIFY(bar && !buttons.isEmpty());
            QPushButton* cancel = buttons.first();
            connect(bar, &QProgressBar::valueChanged, cancel, [cancel](int done) {
                if (done >= 3)
                    cancel->click();
            });
        });
        f.panel->tbtnMassPrintAddress->trigger();
        QVERIFY(progressShown);
        // The mailers printed before the stop are whole: each logged, printed and numbered once.
        const QStringList logged = f.loggedRecipients();
        QVERIFY2(logged.size() >= 3 && logged.size() < count, qPrintable(logged.join(',')));
        QCOMPARE(logged, names.mid(0, logged.size()));
        const QStringList numbers = f.loggedNumbers();
        QCOMPARE(QSet<QString>(numbers.begin(), numbers.end()).size(), logged.size());
        if (labels) {
            // One job, its last page holding the last label printed.
            QCOMPARE(f.printedPdfs(), 1);
            const int pages = (logged.size() + 8) / 9;
            QVERIFY(testsupport::runTool("pdfinfo", {f.printedPdf(0)})
                        .contains(QRegularExpression(QString("Pages: +%1\n").arg(pages))));
            QVERIFY(labelPlaces(f.printedPdf(0), pages).contains(numbers.last()));
        } else {
            QCOMPARE(f.printedPdfs(), logged.size());
        }
        const QStringList shown = testsupport::shownMessageTexts();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].endsWith(QString("Last Mailer Number: %1\n\nThe mass print was cancelled: %2 mailers were "
                                           "not printed.")
                                       .arg(numbers.last())
                                       .arg(count - logged.size())),
                 qPrintable(shown[0]));
        // The last printed address stays the current recipient.
        QCOMPARE(f.selectedNames(), QStringList{logged.last()});
    }

    // A mailer refused by the checks before its number takes none; the run goes on and the
    // summary names it and why.
    void massPrintRefusalsGoIntoTheSummary()
    {
        if (!testsupport::runTool("fc-list", {":lang=hi"}).trimmed().isEmpty())
            QSKIP("A Devanagari face is installed here.");
        Fixture f;
        testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", f.home.path() + "/Printed");
        QVERIFY(f.started());
        f.open(f.makeDatabase("Clients", {"Ann", "राम शर्मा", "Cy"}));
        f.panel->lvAddress->clearSelection();
        MessageService::clearShown();
        const int serial = testsupport::readRow(f.w->settings.mailerNumLocation()).serialNum.toInt();
        MessageService::queueAnswer(QMessageBox::No); // "Print anyway?"
        f.massPrint(f.panel->tbtnMassPrintAddress);
        QCOMPARE(f.loggedRecipients(), QStringList({"Ann", "Cy"}));
        QCOMPARE(f.printedPdfs(), 2);
        QCOMPARE(testsupport::readRow(f.w->settings.mailerNumLocation()).serialNum.toInt(), serial + 2);
        const QList<MessageService::Shown> shown = MessageService::shown();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown[0].text.endsWith("Print anyway?"), qPrintable(shown[0].text));
        QCOMPARE(shown[1].kind, MessageKind::Warning);
        const QStringList numbers = f.loggedNumbers();
        QCOMPARE(shown[1].text, "2 mailers have been sent to the printer.\n\nFirst Mailer Number: " + numbers.first() +
                                    "\nLast Mailer Number: " + numbers.last() +
                                    "\n\n1 mailer was refused:\nराम शर्मा: it holds characters that cannot be printed "
                                    "with the fonts installed on this computer");
    }

    void massPrintFromTheTree()
    {
        Fixture f;
        testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", f.home.path() + "/Printed");
        QVERIFY(f.started());
        const QString db = f.makeDatabase("Clients", {"Ann", "Bob", "Cy", "Dee"});
        // North holds Ann and Bob, South Bob and Dee; Sub, under North, holds Cy.
        Fixture::run(db, "insert into Groups (Parent_ID, Group_Name) values(-1, 'North')");
        Fixture::run(db, "insert into Groups (Parent_ID, Group_Name) values(-1, 'South')");
        Fixture::run(db, "insert into Groups (Parent_ID, Group_Name) values(1, 'Sub')");
        for (const char* m : {"(1, 1)", "(2, 1)", "(2, 2)", "(4, 2)", "(3, 3)"})
            Fixture::run(db, std::string("insert into Members (A_ID, G_ID) values") + m);
        f.open(db);

        f.clickNode("North");
        f.clickNode("South", Qt::ControlModifier);
        QCOMPARE(f.massPrint(f.panel->tbtnMassPrintGroup), QString("Annx Bobx Deex /all"));
        QCOMPARE(f.loggedRecipients(), (QStringList{"Ann", "Bob", "Dee"}));
        QCOMPARE(f.printedPdfs(), 3);

        f.clickNode("All");
        f.clickNode("Sub", Qt::ControlModifier);
        QCOMPARE(f.massPrint(f.panel->miGroupMassPrint, false), QString("Annx Bobx Cyx Deex /all"));

        f.panel->tvGroups->clearSelection();
        MessageService::clearShown();
        QCOMPARE(f.massPrint(f.panel->tbtnMassPrintGroup), QString("no dialog"));
        QCOMPARE(shownTexts(), QStringList{kNoMassPrintAddressesMessage});
    }

    void massPrintInBatchMode()
    {
        Fixture f;
        testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", f.home.path() + "/Printed");
        QVERIFY(f.started());
        f.open(f.makeDatabase("Clients", {"Ann", "Bob"}));
        f.w->miBatchOnClick();
        f.panel->lvAddress->clearSelection();
        f.massPrint(f.panel->tbtnMassPrintAddress);
        QCOMPARE(f.loggedRecipients("True"), (QStringList{"Ann", "Bob"}));
        QCOMPARE(f.printedPdfs(), 0);
    }

    void massPrintOfAnEmptyList()
    {
        Fixture f;
        QVERIFY(f.started());
        f.open(f.makeDatabase("Empty"));
        MessageService::clearShown();
        QCOMPARE(f.massPrint(f.panel->tbtnMassPrintAddress), QString("no dialog"));
        QCOMPARE(shownTexts(), QStringList{kNoMassPrintAddressesMessage});
    }

    // ---- text files ----------------------------------------------------------------------------

    // The search box above the list, typed into as a user types: every word somewhere in the
    // address's lines, in any order, letter case and accents aside, within the group listed.
    void searchAsYouType_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        const QString jose = QString::fromUtf8("José García");
        const QString zoe = QString::fromUtf8("Zoë Ångström");
        QTest::newRow("one word, any case") << "All"
                                            << "SMITH" << QStringList{"Ann Smith", "Bob Jones", "Cy Smithers"};
        QTest::newRow("words in any order, across lines") << "All"
                                                          << "main erie" << QStringList{jose};
        QTest::newRow("accents stored, typed plain") << "All"
                                                     << "garcia JOSE" << QStringList{jose};
        QTest::newRow("accents typed, stored plain")
            << "All" << QString::fromUtf8("smíth ÄNN") << QStringList{"Ann Smith"};
        QTest::newRow("letters with rings and dots") << "All"
                                                     << "angstrom zoe" << QStringList{zoe};
        QTest::newRow("state and ZIP") << "All"
                                       << "pa 1650" << QStringList{jose, "Bob Jones"};
        QTest::newRow("within a group") << "Clients"
                                        << "smith" << QStringList{"Ann Smith"};
        QTest::newRow("within a group, not there") << "Clients"
                                                   << "jones" << QStringList{};
        QTest::newRow("blanks keep every address") << "Clients"
                                                   << "   " << QStringList{jose, "Ann Smith", zoe};
    }
    void searchAsYouType()
    {
        QFETCH(QString, group);
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        Fixture f;
        QVERIFY(f.started());
        const QString db = searchDatabase(f);
        f.open(db);
        f.newGroup("Clients");
        Fixture::run(db, "insert into Members (A_ID, G_ID) select A_ID, 1 from Address where A_ID in (1, 2, 4)");
        f.clickNode(group);
        const QStringList inGroup = f.listed();

        auto box = f.w->findChild<QLineEdit*>("editSearchAddress");
        QVERIFY(box && box->isVisible());
        Fixture::pressKey(box, Qt::Key_End); // the box has the keyboard
        typeInto(box, typed);
        QCOMPARE(f.listed(), shown);
        // The first address shown is the recipient; none shown leaves no recipient and no Print.
        QCOMPARE(f.selectedNames(), shown.mid(0, 1));
        QCOMPARE(f.recipientLabels().first(), shown.value(0));
        QCOMPARE(f.w->btnPrint->isEnabled(), !shown.isEmpty());

        // Esc clears the search and lists the group again; the address found stays selected.
        Fixture::pressKey(box, Qt::Key_Escape);
        QCOMPARE(box->text(), QString());
        QCOMPARE(f.listed(), inGroup);
        QCOMPARE(f.selectedNames(), shown.isEmpty() ? inGroup.mid(0, 1) : shown.mid(0, 1));
        QVERIFY(f.w->isVisible());
        // In the empty box Esc is the main window's: the program ends.
        Fixture::pressKey(box, Qt::Key_Escape);
        QTRY_VERIFY(!f.w->isVisible());
    }

    // A search stands while another group is clicked and addresses are deleted, and ends when
    // the database is closed.
    void searchFollowsTheList()
    {
        Fixture f;
        QVERIFY(f.started());
        const QString db = searchDatabase(f);
        f.open(db);
        f.newGroup("Clients");
        Fixture::run(db, "insert into Members (A_ID, G_ID) select A_ID, 1 from Address where A_ID in (1, 2, 4)");
        auto box = f.panel->editSearchAddress;
        Fixture::pressKey(box, Qt::Key_End);
        QTest::keyClicks(box, "smith");
        f.clickNode("Clients");
        QCOMPARE(f.listed(), QStringList{"Ann Smith"});
        f.clickNode("All");
        QCOMPARE(f.listed(), (QStringList{"Ann Smith", "Bob Jones", "Cy Smithers"}));
        f.clickAddress(1);
        MessageService::queueAnswer(QMessageBox::Yes);
        f.panel->tbtnDeleteAddressClick();
        QCOMPARE(f.listed(), (QStringList{"Ann Smith", "Cy Smithers"}));
        QCOMPARE(Fixture::column(db, "select count(*) from Address"), QStringList{"4"});
        f.w->CloseAddressDatabase();
        QCOMPARE(box->text(), QString());
        f.open(db);
        QCOMPARE(f.listed().size(), 4);
    }

    // Files whose first line names the columns, imported through the real preview: the
    // columns matched from the names, the header line not added; a file without one keeps
    // the seven fields.
    void importsSpreadsheetLayouts_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("columns"); // each field's choice as shown, "-" when the box is hidden
        QTest::addColumn<QStringList>("added");   // Address1|...|Zip per address
        QTest::newRow("LibreOffice CSV export")
            << QByteArray("Name,Company,Street,City,State,Zip Code\n"
                          "Ann Smith,\"Smith, Jones & Co\",12 Main St,Erie,PA,16501\n"
                          "Bob Roe,,\"4 \"\"B\"\" St\",Dover,DE,1990\n")
            << QStringList{"Name", "Company", "Street", "(none)", "City", "State", "Zip Code"}
            << QStringList{"Ann Smith|Smith, Jones & Co|12 Main St||Erie|PA|16501",
                           "Bob Roe||4 \"B\" St||Dover|DE|01990"};
        QTest::newRow("tab-separated, first and last names")
            << QByteArray("First Name\tLast Name\tAddress\tAddress 2\tCity\tST\tZIP\tPhone\r\n"
                          "Cy\tBrown\t9 Elm Rd\tApt 4\tYork\tPA\t17401\t555-0101\r\n")
            << QStringList{"First Name + Last Name", "Address", "Address 2", "(none)", "City", "ST", "ZIP"}
            << QStringList{"Cy Brown|9 Elm Rd|Apt 4||York|PA|17401"};
        QTest::newRow("another order, extra columns, semicolons")
            << QByteArray("\xEF\xBB\xBFzip code;E-mail;city;state;Street Address;Contact Name;Notes\n"
                          "43612;d@x.com;Toledo;OH;2250 Industrial Pkwy;Di Ulrich;call first\n")
            << QStringList{"Contact Name", "Street Address", "(none)", "(none)", "city", "state", "zip code"}
            << QStringList{"Di Ulrich|2250 Industrial Pkwy|||Toledo|OH|43612"};
        QTest::newRow("no header: the seven fields")
            << QByteArray("Ed Fox,Fox Pub,302 Queen St,Rear,Alexandria,VA,22314\n") << QStringList{"-"}
            << QStringList{"Ed Fox|Fox Pub|302 Queen St|Rear|Alexandria|VA|22314"};
    }
    void importsSpreadsheetLayouts()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, columns);
        QFETCH(QStringList, added);
        Fixture f;
        FileDialogService::setScripted(true);
        QVERIFY(f.started());
        const QString db = f.makeDatabase("Clients", {"Old"});
        f.open(db);
        QFile sheet(f.home.file("sheet.csv"));
        QVERIFY(sheet.open(QIODevice::WriteOnly));
        sheet.write(file);
        sheet.close();
        QStringList seen;
        FileDialogService::queueAnswer(sheet.fileName());
        {
            ModalDriver driver;
            driver.on("TF_TextFiles", [&](QWidget* w) {
                auto d = static_cast<TF_TextFiles*>(w);
                auto box = d->findChild<QGroupBox*>("gbColumns");
                if (!box->isVisible())
                    seen << "-";
                else
                    for (const char* name : {"cbColumnAddress1", "cbColumnAddress2", "cbColumnAddress3",
                                             "cbColumnAddress4", "cbColumnCity", "cbColumnState", "cbColumnZip"})
                        seen << d->findChild<QComboBox*>(name)->currentText();
                QCOMPARE(d->rowCount(), added.size());
                clickButton(d, "btnAddtoDB");
            });
            f.w->miToImport->trigger();
        }
        QCOMPARE(seen, columns);
        QCOMPARE(Fixture::column(db, "select Address1 || '|' || Address2 || '|' || Address3 || '|' || Address4 || "
                                     "'|' || City || '|' || State || '|' || Zip from Address where A_ID > 1"),
                 added);
    }

    // The mapping is the user's to change, the header line can be taken as an address after
    // all, and Cancel adds nothing.
    void importPreviewChoicesAndCancel()
    {
        Fixture f;
        FileDialogService::setScripted(true);
        QVERIFY(f.started());
        const QString db = f.makeDatabase("Clients", {"Old"});
        f.open(db);
        QFile sheet(f.home.file("sheet.csv"));
        QVERIFY(sheet.open(QIODevice::WriteOnly));
        sheet.write("Name,Company,Street,City,State,Zip\nAnn,Acme,1 Main St,Erie,PA,16501\n");
        sheet.close();
        const auto importSheet = [&](const std::function<void(TF_TextFiles*)>& use) {
            FileDialogService::queueAnswer(sheet.fileName());
            ModalDriver driver;
            driver.on("TF_TextFiles", [&](QWidget* w) { use(static_cast<TF_TextFiles*>(w)); });
            f.w->miToImport->trigger();
        };
        importSheet([](TF_TextFiles* d) { clickButton(d, "btnCancel"); });
        QCOMPARE(Fixture::column(db, "select count(*) from Address"), QStringList{"1"});
        QCOMPARE(f.listed(), QStringList{"Old"});

        // Company chosen for the first line, nothing for the second.
        importSheet([](TF_TextFiles* d) {
            auto first = d->findChild<QComboBox*>("cbColumnAddress1");
            first->setCurrentIndex(first->findText("Company"));
            auto second = d->findChild<QComboBox*>("cbColumnAddress2");
            second->setCurrentIndex(second->findText("(none)"));
            QCOMPARE(d->sgAddress->model()->index(0, 1).data().toString(), QString("Acme"));
            clickButton(d, "btnAddtoDB");
        });
        QCOMPARE(
            Fixture::column(db, "select Address1 || '|' || Address2 || '|' || Address3 from Address where A_ID = 2"),
            QStringList{"Acme||1 Main St"});

        // The first line taken as an address: both lines in the seven fields.
        importSheet([](TF_TextFiles* d) {
            QTest::mouseClick(d->findChild<QCheckBox*>("cbHeaderLine"), Qt::LeftButton, {}, QPoint(5, 5));
            QVERIFY(!d->headerLineUsed());
            QCOMPARE(d->rowCount(), 2);
            QVERIFY(d->headerChecked() && d->rowChecked(1) && d->rowChecked(2));
            clickButton(d, "btnAddtoDB");
        });
        QCOMPARE(Fixture::column(db, "select Address1 from Address where A_ID > 2 order by A_ID"),
                 (QStringList{"Name", "Ann"}));
    }

    void importsAndExportsAddressFiles()
    {
        Fixture f;
        FileDialogService::setScripted(true);
        QVERIFY(f.started());
        f.open(f.makeDatabase("Clients", {"Ann"}));
        const auto writeFile = [&](const QString& name, const QByteArray& bytes) {
            QFile file(f.home.file(name));
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
            return file.fileName();
        };
        // As a spreadsheet saves it: UTF-8 with a byte-order mark.
        const QString sheet = writeFile("sheet.csv", "\xEF\xBB\xBF"
                                                     "Bob,,,,Erie,PA,16501\r\n"
                                                     "\"Acme, Inc.\",12 Main St,,,Springfield,IL,62701\r\n"
                                                     "Skip me\r\n");
        QString seen;
        const auto preview = [&](std::function<void(TF_TextFiles*)> change) {
            return [&seen, change](QWidget* w) {
                auto d = static_cast<TF_TextFiles*>(w);
                seen = QString("%1 rows, header %2").arg(d->rowCount()).arg(d->headerChecked() ? "on" : "off");
                if (change)
                    change(d);
                clickButton(d, "btnAddtoDB");
            };
        };
        MessageService::clearShown();
        FileDialogService::queueAnswer(sheet);
        {
            ModalDriver driver;
            driver.on("TF_TextFiles", preview([](TF_TextFiles* d) {
                          d->ToggleImportCheck(3);
                          QVERIFY(!d->headerChecked() && d->rowChecked(1) && !d->rowChecked(3));
                      }));
            f.w->miToImport->trigger();
        }
        QCOMPARE(seen, QString("3 rows, header on"));
        QCOMPARE(shownTexts(), QStringList{"2 addresses have been added to the database."});
        QCOMPARE(f.listed(), (QStringList{"Ann", "Bob", "Acme, Inc."}));
        QCOMPARE(f.selectedNames(), QStringList{"Acme, Inc."});

        // Export: the name gets ".txt", and a second export appends.
        MessageService::clearShown();
        for (int i = 0; i < 2; ++i) {
            FileDialogService::queueAnswer(f.home.file("list.TXT"));
            f.w->miToExport->trigger();
        }
        const QString exported = f.home.file("list.TXT.txt");
        QCOMPARE(shownTexts().last(), "Export completed fo file \"" + exported + "\".");
        QFile file(exported);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = textFileLines(decodeTextFile(file.readAll()));
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines[2], QString("\"Acme, Inc.\",12 Main St,,,Springfield,IL,62701"));

        // Bad files: a clear message, nothing added.
        const QStringList badFiles = {writeFile("picture.csv", QByteArray("GIF89a\0\0\x01", 9)),
                                      f.home.file("missing.csv")};
        for (const QString& bad : badFiles) {
            MessageService::clearShown();
            FileDialogService::queueAnswer(bad);
            f.w->miToImport->trigger();
            QCOMPARE(shownTexts().size(), 1);
            QVERIFY2(shownTexts().first().contains(bad), qPrintable(shownTexts().first()));
        }
        // An empty file: an empty grid, nothing added.
        MessageService::clearShown();
        FileDialogService::queueAnswer(writeFile("empty.csv", {}));
        {
            ModalDriver driver;
            driver.on("TF_TextFiles", preview({}));
            f.w->miToImport->trigger();
        }
        QCOMPARE(seen, QString("0 rows, header on"));
        QCOMPARE(shownTexts(), QStringList{"0 addresses have been added to the database."});
        QCOMPARE(f.listed().size(), 3);
    }
};

QTEST_MAIN(TestAddressBookWindow)
#include "test_addressbookwindow.moc"
