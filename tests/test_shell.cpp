// The main window's frame: the whole menu tree with its captions and radio pairs, the Help
// commands and the about box with its links and branding.
#include "app/TF_About.h"
#include "app/TF_Main.h"
#include "tests/support/TestSupport.h"
#include "widgets/Services.h"

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

namespace {

// "Menu/Item" for every item of a menu, "-" for a separator, submenus walked in place.
void walk(const QMenu* menu, const QString& path, QStringList& out)
{
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            out << path + "/-";
        } else if (a->menu()) {
            out << path + "/" + a->text() + " >";
            walk(a->menu(), path + "/" + a->text(), out);
        } else {
            out << path + "/" + a->text();
        }
    }
}

struct ShellFixture {
    ShellFixture()
    {
        MessageService::setScripted(true);
        testsupport::prepareReadyProgramFolder(home.path());
    }
    testsupport::TempProgramFolder home;
    TdmDovraPro dm;
};

QLabel* labelContaining(QWidget* parent, const QString& text)
{
    for (QLabel* l : parent->findChildren<QLabel*>())
        if (l->text().contains(text))
            return l;
    return nullptr;
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void menuTreeHasEveryCaption();
    void radioPairsCarryOneMark();
    void helpCommandsOpenTheAboutBox();
    void aboutBoxLinks();
    void aboutBoxBranding();
};

void TestShell::menuTreeHasEveryCaption()
{
    ShellFixture f;
    TF_Main w;
    QStringList tree;
    for (QAction* top : w.menuBar()->actions()) {
        tree << top->text();
        walk(top->menu(), top->text(), tree);
    }
    const QStringList expected{
        "&File",
        "&File/&Open 'To Address' Database",
        "&File/&Close 'To Address' Database",
        "&File/-",
        "&File/&Print",
        "&File/Print &Bar Codes",
        "&File/Print &Multiple forms with same Address",
        "&File/-",
        "&File/&Exit",
        "&Options",
        "&Options/&Postage Values >",
        "&Options/&Postage Values/&Reset Values",
        "&Options/&Postage Values/-",
        "&Options/&Postage Values/&Edit Default Values",
        "&Options/&Postage Values/-",
        "&Options/&Postage Values/&Show Values >",
        "&Options/&Postage Values/&Show Values/&On",
        "&Options/&Postage Values/&Show Values/&Off",
        "&Options/&Mailer Number",
        "&Options/&Select Your Name && Address",
        "&Options/&Network Settings",
        "&Options/&Log File",
        "&Options/&Reports",
        "&Options/&Track Incoming Mailers",
        "&Options/&Keep Proof Copies",               // this program's own addition
        "&Options/&Check Addresses Before Printing", // this program's own addition
        "&Printing",
        "&Printing/Print &Alignment",
        "&Printing/Printer &Setup",
        "&Printing/&Extra Label",
        "&Printing/-",
        "&Printing/&Zeros >",
        "&Printing/&Zeros/&On",
        "&Printing/&Zeros/&Off",
        "&Printing/-",
        "&Printing/&Batch Mode >",
        "&Printing/&Batch Mode/&On",
        "&Printing/&Batch Mode/O&ff",
        "&Printing/&Batch Mode/-",
        "&Printing/&Batch Mode/&Print Batch Entries",
        "&Printing/&Batch Mode/&Clear Batch Entries",
        "&Utilities",
        "&Utilities/&Text Files >",
        "&Utilities/&Text Files/&To Address >",
        "&Utilities/&Text Files/&To Address/&Import",
        "&Utilities/&Text Files/&To Address/&Export",
        "&Utilities/&Text Files/&Your Name && Address Text Files >",
        "&Utilities/&Text Files/&Your Name && Address Text Files/&Import",
        "&Utilities/&Text Files/&Your Name && Address Text Files/&Export",
        "&Utilities/&Text Files/&Log File >",
        "&Utilities/&Text Files/&Log File/&Export",
        "&Utilities/&Import Log File >",
        "&Utilities/&Import Log File/&Dovra Pro 2.5 ",
        "&Utilities/&Import Log File/D&ovra 3 or Dovra 3 lite",
        "&Utilities/&Import Log File/Dovra 3 &Pro",
        "&Utilities/Track Item",
        "&Utilities/-",
        "&Utilities/&Back Up\u2026",
        "&Utilities/&Restore\u2026",
        "&Help",
        "&Help/&Order Supplies",
        "&Help/&Technical Support",
        "&Help/-",
        "&Help/&About",
    };
    QCOMPARE(tree, expected);
    // Until an address database is open its commands are hidden or disabled.
    QVERIFY(!w.miCloseToDB->isVisible());
    QVERIFY(!w.miToTextFiles->isEnabled());
    for (const char* name : {"miPrintBarCodes", "miPrintAlignment", "miPrinterSetup", "miExtraLabel", "miImportPro25",
                             "miImport3", "miImportPro3", "Track", "miOrderSupplies", "miTechSupport", "miAbout"})
        QVERIFY2(w.findChild<QAction*>(name)->isEnabled(), name);
}

void TestShell::radioPairsCarryOneMark()
{
    ShellFixture f;
    TF_Main w;
    const QList<QPair<QAction*, QAction*>> pairs{
        {w.miShowFeesOn, w.miShowFeesOff}, {w.miZerosOn, w.miZerosOff}, {w.miBatchOn, w.miBatchOff}};
    for (const auto& [on, off] : pairs) {
        QVERIFY(on->isCheckable() && off->isCheckable());
        off->trigger();
        QVERIFY(!on->isChecked() && off->isChecked());
        on->trigger();
        QVERIFY(on->isChecked() && !off->isChecked());
    }
}

void TestShell::helpCommandsOpenTheAboutBox()
{
    ShellFixture f;
    TF_Main w;
    for (QAction* a : {w.miOrderSupplies, w.miTechSupport, w.miAbout}) {
        bool okShown = false;
        testsupport::ModalDriver driver;
        driver.on("TF_About", [&](QWidget* box) {
            auto ok = box->findChild<QPushButton*>("btnOK");
            okShown = ok && !ok->isHidden();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        a->trigger();
        QCOMPARE(driver.seen, QStringList{"TF_About"});
        QVERIFY(okShown);
    }
}

void TestShell::aboutBoxLinks()
{
    ShellFixture f;
    TF_About about(TF_About::Mode::About, "Quelmar");
    QLabel* web = labelContaining(&about, "href='http://www.quelmar.example'");
    QLabel* mail = labelContaining(&about, "mailto:");
    QVERIFY(web && mail);
    QCOMPARE(web->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(mail->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(labelContaining(&about, "Version "));

    testsupport::UrlCatcher catcher;
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    emit mail->linkActivated("mailto:support@quelmar.example?Subject=" + QApplication::applicationDisplayName());
    emit web->linkActivated("http://www.quelmar.example");
    QDesktopServices::unsetUrlHandler("mailto");
    QDesktopServices::unsetUrlHandler("http");
    QCOMPARE(catcher.opened.size(), 2);
    QCOMPARE(catcher.opened[0].scheme(), QString("mailto"));
    QVERIFY(catcher.opened[0].toString().contains("?Subject="));
    QVERIFY(mail->text().contains(
        "href='mailto:support@quelmar.example?Subject=" + QApplication::applicationDisplayName() + "'"));

    // The splash shows the banner alone, without OK.
    TF_About splash(TF_About::Mode::Splash);
    QCOMPARE(splash.height(), 80);
    QVERIFY(!splash.findChild<QPushButton*>("btnOK"));
}

// The distributor's picture makes the box 56 pixels taller; one that does not load is ignored.
void TestShell::aboutBoxBranding()
{
    ShellFixture f;
    const int plain = TF_About(TF_About::Mode::About, "Quelmar").height();
    QCOMPARE(TF_About(TF_About::Mode::About, "Ostrel").height(), plain);
    QImage logo(120, 60, QImage::Format_RGB32);
    logo.fill(Qt::red);
    QVERIFY(logo.save(f.home.file("Scr_logo.bmp"), "BMP"));
    TF_About ostrel(TF_About::Mode::About, "Ostrel");
    QCOMPARE(ostrel.height(), plain + 56);
    QVERIFY(labelContaining(&ostrel, "www.ostrel.example"));
    QVERIFY(labelContaining(&ostrel, "support@quelmar.example"));
}

QTEST_MAIN(TestShell)
#include "test_shell.moc"
