// Windows that grow and come back where they stood: the address book and the log's grid take
// the room of a larger window while the rest keeps its place; the places of the main window
// and the log window survive a restart of the real program; a place that no screen shows
// any more is not used.
#include "addressbook/AddressBook.h"
#include "addressbook/AddressBookPanel.h"
#include "app/TF_Main.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "core/WindowPlacement.h"
#include "core/datamodule/Schemas.h"
#include "engine/Query.h"
#include "log/TF_Log.h"
#include "tests/support/TestSupport.h"
#include "widgets/ButtonDialog.h"
#include "widgets/Services.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>

namespace {

// The main window of a program folder that asks nothing at start; with an address database
// of a few addresses and a group, remembered open, when asked.
struct MainFixture {
    testsupport::TempProgramFolder home;
    std::unique_ptr<TdmDovraPro> dm;
    std::unique_ptr<TF_Main> w;
    QString database;

    explicit MainFixture(bool withDatabase)
    {
        MessageService::setScripted(true);
        MessageService::clearShown();
        ButtonDialogService::setScripted(true);
        prepareProgramFolder(home.path(), withDatabase);
        if (withDatabase)
            database = home.path() + "/Addresses/Clients";
        dm = std::make_unique<TdmDovraPro>();
        w = std::make_unique<TF_Main>();
        w->show();
    }
    ~MainFixture()
    {
        if (w)
            w->close();
    }
    bool started() { return testsupport::waitForFirstShowing(*w); }

    static void prepareProgramFolder(const QString& programFolder, bool withDatabase)
    {
        testsupport::prepareReadyProgramFolder(programFolder);
        if (!withDatabase)
            return;
        const QString folder = programFolder + "/Addresses/Clients";
        QDir().mkpath(folder);
        createAddressDatabaseTables(folder);
        engine::Query q;
        q.setFolder(folder.toStdString());
        for (const char* name : {"Ann Lee", "Bob Ray", "Cy Dunn"}) {
            q.setSql(std::string("insert into Address (Address1, City, State, Zip) values('") + name +
                     "', 'Erie', 'PA', '16501')");
            q.execSql();
        }
        q.setSql("insert into Groups (Parent_ID, Group_Name) values(-1, 'Courts')");
        q.execSql();
        QFile ini(programFolder + "/dovra3.ini");
        QVERIFY(ini.open(QIODevice::Append));
        ini.write(("[System Path]\r\nDatabaseON=1\r\nAddressDB=" + folder + "\r\n").toUtf8());
    }
};

// Where each shown widget of the window outside the address book stands, in the window's
// coordinates.
QMap<QString, QRect> placesOutsideAddressBook(TF_Main& w)
{
    QMap<QString, QRect> places;
    int unnamed = 0;
    for (QWidget* c : w.central->findChildren<QWidget*>()) {
        if (c == w.panelDB || w.panelDB->isAncestorOf(c) || !c->isVisibleTo(&w))
            continue;
        const QString name = c->objectName().isEmpty()
                                 ? QString(c->metaObject()->className()) + QString::number(++unnamed)
                                 : c->objectName();
        places[name] = QRect(c->mapTo(&w, QPoint(0, 0)), c->size());
    }
    return places;
}

// Resizes a shown window and waits until it has its new size.
bool resized(QWidget& window, const QSize& size)
{
    window.resize(size);
    return QTest::qWaitFor([&] { return window.size() == size; }, 5000);
}

QString placementText(const WindowPlacement& p)
{
    const QRect& r = p.rect;
    return QString("%1,%2 %3x%4%5")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .arg(p.maximized ? " maximized" : "");
}

// A platform configuration of screens for the offscreen platform of a started program.
QString screensConfig(const QString& folder, const QList<QRect>& screens)
{
    QJsonArray list;
    int n = 0;
    for (const QRect& r : screens)
        list.append(QJsonObject{{"name", QString("Screen%1").arg(++n)},
                                {"x", r.x()},
                                {"y", r.y()},
                                {"width", r.width()},
                                {"height", r.height()},
                                {"logicalDpi", 96},
                                {"logicalBaseDpi", 96},
                                {"dpr", 1}});
    const QString path = folder + QString("/screens%1.json").arg(screens.size());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(QJsonDocument(QJsonObject{{"screens", list}}).toJson());
    return path;
}

// Starts the real program through its own start-up on the given screens; the lines it prints
// say where its windows stand ("main ..." and "log ...").
QStringList runProgram(const QString& home, const QList<QRect>& screens, const QStringList& arguments)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + screensConfig(home, screens));
    p.setProcessEnvironment(env);
    p.start(testsupport::binDir() + "/window_workstation", QStringList{home} + arguments);
    if (!p.waitForFinished(60000))
        p.kill();
    // What the program says about itself; the platform's own warnings are not its.
    QStringList said;
    for (const QString& line : QString::fromUtf8(p.readAllStandardError()).split('\n'))
        if (line.startsWith("start:") || line.startsWith("the log window"))
            said << line;
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0 || !said.isEmpty())
        return {QString("the program ended with %1: %2").arg(p.exitCode()).arg(said.join('\n'))};
    return QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

// The normal place in a line the program printed: "<window> x,y,width,height <state> ...".
QRect rectOf(const QString& line)
{
    const QStringList n = line.split(' ').value(1).split(',');
    return n.size() == 4 ? QRect(n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt()) : QRect();
}

const QRect kScreenA(0, 0, 1280, 1024);
const QRect kScreenB(1280, 0, 1920, 1080);

} // namespace

class TestWindowSize : public QObject {
    Q_OBJECT

private slots:
    // ---- the place a remembered window comes back to ----------------------------------------

    void restoredRectOnScreens_data()
    {
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<QRect>("remembered");
        QTest::addColumn<QRect>("expected"); // a null rectangle: the place is not used

        const QList<QRect> one{QRect(0, 0, 1280, 984)};
        const QList<QRect> two{QRect(0, 0, 1280, 984), QRect(1280, 0, 1920, 1050)};
        // A tall screen beside a shorter one whose top is lower: a gap above the shorter.
        const QList<QRect> stepped{QRect(0, 0, 1920, 1050), QRect(1920, 300, 1280, 700)};
        const QRect none;

        QTest::newRow("whole on the screen") << one << QRect(100, 120, 800, 600) << QRect(100, 120, 800, 600);
        QTest::newRow("partly off the right edge, moved on")
            << one << QRect(1000, 100, 800, 600) << QRect(480, 100, 800, 600);
        QTest::newRow("partly below the bottom, moved up")
            << one << QRect(100, 700, 800, 600) << QRect(100, 384, 800, 600);
        QTest::newRow("enough of the top edge on the screen")
            << one << QRect(1170, 100, 800, 600) << QRect(480, 100, 800, 600);
        QTest::newRow("only a sliver of the top edge on the screen") << one << QRect(1230, 100, 800, 600) << none;
        QTest::newRow("top edge above the screen") << one << QRect(100, -40, 800, 600) << none;
        QTest::newRow("left of every screen") << one << QRect(-900, 100, 800, 600) << none;
        QTest::newRow("below every screen") << one << QRect(100, 2000, 800, 600) << none;
        QTest::newRow("on the second screen") << two << QRect(1500, 200, 1000, 700) << QRect(1500, 200, 1000, 700);
        QTest::newRow("the second screen gone") << one << QRect(1500, 200, 1000, 700) << none;
        QTest::newRow("across two screens, onto the one with the most")
            << two << QRect(1100, 100, 800, 600) << QRect(1280, 100, 800, 600);
        QTest::newRow("in the gap above a shorter screen") << stepped << QRect(2000, 50, 800, 600) << none;
        QTest::newRow("on the shorter screen below the gap")
            << stepped << QRect(2000, 350, 800, 600) << QRect(2000, 350, 800, 600);
        QTest::newRow("larger than its screen, shrunk") << one << QRect(0, 0, 2500, 1500) << QRect(0, 0, 1280, 984);
        QTest::newRow("smaller than the window can be, grown")
            << one << QRect(100, 100, 300, 200) << QRect(100, 100, 769, 410);
        QTest::newRow("the smallest window larger than the screen")
            << QList<QRect>{QRect(0, 0, 640, 400)} << QRect(10, 10, 700, 500) << QRect(0, 0, 769, 410);
        QTest::newRow("nothing remembered") << one << QRect() << none;
    }
    void restoredRectOnScreens()
    {
        QFETCH(QList<QRect>, screens);
        QFETCH(QRect, remembered);
        QFETCH(QRect, expected);
        const std::optional<QRect> got = restoredRect(remembered, QSize(769, 410), screens);
        QCOMPARE(got.value_or(QRect()), expected);
        QCOMPARE(got.has_value(), !expected.isNull());
    }

    // The places are keys of their own in the settings file; a place edited by hand into
    // something no window can have counts as none.
    void placementKeys_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("mainWindow");
        QTest::addColumn<QString>("logWindow");
        const QString none = "0,0 0x0";
        QTest::newRow("main window") << "MainLeft=40\r\nMainTop=30\r\nMainWidth=1000\r\nMainHeight=800\r\n"
                                     << "40,30 1000x800" << none;
        QTest::newRow("maximised log window")
            << "LogLeft=-1200\r\nLogTop=5\r\nLogWidth=900\r\nLogHeight=640\r\nLogMaximized=1\r\n"
            << none << "-1200,5 900x640 maximized";
        QTest::newRow("no size") << "MainLeft=40\r\nMainTop=30\r\nMainMaximized=1\r\n" << none << none;
        QTest::newRow("a width that is not a number")
            << "MainLeft=40\r\nMainTop=30\r\nMainWidth=wide\r\nMainHeight=800\r\n"
            << none << none;
        QTest::newRow("a negative height") << "MainLeft=40\r\nMainTop=30\r\nMainWidth=1000\r\nMainHeight=-8\r\n"
                                           << none << none;
        QTest::newRow("a place no screen reaches")
            << "MainLeft=2000000000\r\nMainTop=30\r\nMainWidth=1000\r\nMainHeight=800\r\n"
            << none << none;
    }
    void placementKeys()
    {
        QFETCH(QString, keys);
        QFETCH(QString, mainWindow);
        QFETCH(QString, logWindow);
        testsupport::TempProgramFolder home;
        const QString ini = settingsFilePath(home.path());
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(("[Window]\r\n" + keys).toUtf8());
        file.close();
        const Settings s = Settings::load(ini, home.path());
        QCOMPARE(placementText(s.mainWindow), mainWindow);
        QCOMPARE(placementText(s.logWindow), logWindow);

        // Written back, each reads as it was written.
        QVERIFY(s.save(ini).isEmpty());
        const Settings again = Settings::load(ini, home.path());
        QCOMPARE(placementText(again.mainWindow), mainWindow);
        QCOMPARE(placementText(again.logWindow), logWindow);
    }

    // A window never placed leaves the settings file without keys for it.
    void unplacedWindowsWriteNoKeys()
    {
        testsupport::TempProgramFolder home;
        const QString ini = settingsFilePath(home.path());
        QVERIFY(Settings::defaults(home.path()).save(ini).isEmpty());
        QFile file(ini);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("[Window]"));
    }

    // ---- the main window ------------------------------------------------------------------

    // Enlarged with a database open, the window gives the added room to the address list and
    // the group tree; everything else stays where the layout puts it.
    void enlargedMainWindowGivesRoomToAddressBook()
    {
        MainFixture f(true);
        QVERIFY(f.started());
        TF_Main& w = *f.w;
        QVERIFY(f.w->panelDB->isVisible());
        QCOMPARE(w.width(), TF_Main::kOpenWidth);
        const QMap<QString, QRect> before = placesOutsideAddressBook(w);
        const QSize list = w.panelDB->lvAddress->size();
        const QSize tree = w.panelDB->tvGroups->size();
        const QSize window = w.size();

        QVERIFY(resized(w, QSize(1000, 800)));
        QCOMPARE(placesOutsideAddressBook(w), before);
        QCOMPARE(w.panelDB->geometry(), QRect(560, 0, 1000 - 574, w.central->height()));
        QCOMPARE(w.panelDB->lvAddress->width(), list.width() + 1000 - window.width());
        QCOMPARE(w.panelDB->tvGroups->width(), tree.width() + 1000 - window.width());
        QVERIFY(w.panelDB->lvAddress->height() > list.height());
        QVERIFY(w.panelDB->tvGroups->height() > tree.height());
        QCOMPARE(w.panelDB->lvAddress->height() + w.panelDB->tvGroups->height(),
                 list.height() + tree.height() + 800 - window.height());

        // It cannot be made smaller than its layout.
        w.resize(300, 200);
        QTRY_COMPARE(w.size(), window);
        QCOMPARE(placesOutsideAddressBook(w), before);
        QCOMPARE(w.panelDB->lvAddress->size(), list);
    }

    // Closing the database gives the layout's width and a centred window again; opening it
    // brings back the width the window had with it.
    void closingAndReopeningKeepTheLargerWidth()
    {
        MainFixture f(true);
        QVERIFY(f.started());
        TF_Main& w = *f.w;
        QVERIFY(resized(w, QSize(1000, 700)));
        w.miCloseToDB->trigger();
        QTRY_COMPARE(w.width(), TF_Main::kClosedWidth);
        QCOMPARE(w.height(), 700);
        QVERIFY(w.gbTo->isVisible() && !w.panelDB->isVisible());
        // Room for a window of the closed layout only.
        w.resize(TF_Main::kClosedWidth, 700);
        QTRY_COMPARE(w.width(), TF_Main::kClosedWidth);

        testsupport::ModalDriver driver; // an empty database would ask for an address
        w.OpenAddressDatabase();
        QTRY_COMPARE(w.width(), 1000);
        QCOMPARE(w.panelDB->geometry().width(), 1000 - 574);
    }

    // ---- the log window -------------------------------------------------------------------

    void logWindowGridTakesTheRoom()
    {
        testsupport::ProgramFixture f;
        QDir().mkpath(f.settings.logDB);
        f.dm.CreateTable(f.settings.logDB, "Log37", schema::Log37);
        MessageService::setScripted(true);
        TF_Log w(f.settings);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QSize window = w.size();
        const QRect grid = w.gridLog->geometry();
        const QRect details = w.panelDBdetails->geometry();
        const QRect close = w.btnClose->geometry();
        const QRect filters = w.lvFilters->geometry();

        QVERIFY(resized(w, window + QSize(300, 200)));
        QCOMPARE(w.gridLog->size(), grid.size() + QSize(300, 200));
        QCOMPARE(w.gridLog->pos(), grid.topLeft());
        QCOMPARE(w.panelDBdetails->size(), details.size());
        QCOMPARE(w.btnClose->geometry(), close.translated(300, 200));
        QCOMPARE(w.lvFilters->height(), filters.height());

        // Closing remembers where it stood.
        w.reject();
        QCOMPARE(f.settings.logWindow.rect.size(), window + QSize(300, 200));
        QVERIFY(!f.settings.logWindow.maximized);
    }

    // ---- through a restart of the program -------------------------------------------------

    void placesComeBackAfterRestart_data()
    {
        QTest::addColumn<bool>("withDatabase");
        QTest::addColumn<QString>("mainPlace");
        QTest::addColumn<QString>("logPlace");
        QTest::addColumn<QList<QRect>>("screensAtRestart");

        const QList<QRect> both{kScreenA, kScreenB};
        QTest::newRow("both on the second screen, database open") << true << "1400,100,1000,800"
                                                                  << "1500,150,900,640" << both;
        QTest::newRow("main window maximised, log window on the first screen") << true << "maximized"
                                                                               << "50,60,900,640" << both;
        QTest::newRow("enlarged without a database") << false << "100,80,700,500"
                                                     << "60,40,1000,700" << both;
        QTest::newRow("the second screen gone") << true << "1400,100,1000,800"
                                                << "1500,150,900,640" << QList<QRect>{kScreenA};
    }
    void placesComeBackAfterRestart()
    {
        QFETCH(bool, withDatabase);
        QFETCH(QString, mainPlace);
        QFETCH(QString, logPlace);
        QFETCH(QList<QRect>, screensAtRestart);
        testsupport::TempProgramFolder home;
        MainFixture::prepareProgramFolder(home.path(), withDatabase);

        const QStringList placed = runProgram(home.path(), {kScreenA, kScreenB}, {"place", mainPlace, logPlace});
        QCOMPARE(placed.size(), 2);
        const QStringList restarted = runProgram(home.path(), screensAtRestart, {"report"});
        QCOMPARE(restarted.size(), 2);

        if (screensAtRestart.size() == 2) {
            QCOMPARE(restarted, placed);
        } else {
            // Off every screen now: the sizes come back, the main window centred on the screen
            // that is left and the log window over it.
            QCOMPARE(rectOf(restarted[0]).size(), rectOf(placed[0]).size());
            // (Centred before it shows, by a frame not known until then.)
            QVERIFY2((rectOf(restarted[0]).center() - kScreenA.center()).manhattanLength() <= 8,
                     qPrintable(restarted[0]));
            QCOMPARE(restarted[0].split(' ').mid(2), placed[0].split(' ').mid(2)); // state, address book
            QCOMPARE(rectOf(restarted[1]).size(), rectOf(placed[1]).size());
            QVERIFY2(kScreenA.contains(rectOf(restarted[1])), qPrintable(restarted[1]));
        }
        if (withDatabase && mainPlace != "maximized") {
            // The address book fills the larger window.
            const QStringList list = restarted[0].split(' ')[3].split('x');
            QVERIFY2(list[0].toInt() > 350 && list[1].toInt() > 154, qPrintable(restarted[0]));
        }
        if (mainPlace == "maximized")
            QVERIFY2(restarted[0].contains(" maximized "), qPrintable(restarted[0]));
        const QString ini = QString::fromUtf8([&] {
            QFile f(settingsFilePath(home.path()));
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }());
        QVERIFY2(ini.contains("[Window]\r\n") && ini.contains("\r\nMainLeft=") && ini.contains("\r\nLogLeft="),
                 qPrintable(ini));
    }
};

QTEST_MAIN(TestWindowSize)
#include "test_windowsize.moc"
