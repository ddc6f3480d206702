// Forms, labels and bar-code labels are US postal forms, printed on US Letter whatever paper
// the printer takes by default; reports follow the printer's own paper. Checked through a
// print server of the test's own (cupsd on a private socket) with the PDF printer of
// cups-pdf as the default printer, once with Letter and once with A4 as its default paper.
// The printer is stopped, so each job stays in the queue and its document is read there.
#include "app/TF_Main.h"
#include "core/datamodule/TdmDovraPro.h"
#include "log/TF_Report.h"
#include "printing/TF_PrintBarCode.h"
#include "tests/support/TestSupport.h"
#include "widgets/ButtonDialog.h"
#include "widgets/Services.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {

const QString kPdfDriver = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";

// cupsd with its own configuration, spool and socket, serving this process alone.
class PrintServer {
public:
    ~PrintServer()
    {
        if (cupsd_.state() != QProcess::NotRunning) {
            cupsd_.terminate();
            cupsd_.waitForFinished(10000);
        }
    }
    QString socket() const { return dir_.filePath("cups.sock"); }
    QString spool() const { return dir_.filePath("spool"); }

    // An empty text when the server runs, else what went wrong.
    QString start()
    {
        for (const char* sub : {"spool", "spool/tmp", "cache", "state", "log", "ppd"})
            QDir().mkpath(dir_.filePath(sub));
        write("cupsd.conf", "Listen " + socket() +
                                "\nLogLevel warn\nBrowsing No\nDefaultAuthType None\n"
                                "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");
        write("cups-files.conf", "ServerRoot " + dir_.path() + "\nRequestRoot " + spool() + "\nTempDir " + spool() +
                                     "/tmp\nCacheDir " + dir_.filePath("cache") + "\nStateDir " +
                                     dir_.filePath("state") +
                                     "\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\n"
                                     "AccessLog " +
                                     dir_.filePath("log/access_log") + "\nErrorLog " + dir_.filePath("log/error_log") +
                                     "\nPageLog " + dir_.filePath("log/page_log") + "\nSystemGroup root\n");
        cupsd_.setProcessChannelMode(QProcess::MergedChannels);
        cupsd_.start("/usr/sbin/cupsd",
                     {"-f", "-c", dir_.filePath("cupsd.conf"), "-s", dir_.filePath("cups-files.conf")});
        if (!cupsd_.waitForStarted())
            return "cupsd did not start";
        if (!QTest::qWaitFor([this] { return QFile::exists(socket()) || cupsd_.state() == QProcess::NotRunning; },
                             20000) ||
            cupsd_.state() == QProcess::NotRunning)
            return "cupsd ended: " + QString::fromLocal8Bit(cupsd_.readAll()) + errorLog();
        return QString();
    }
    // A stopped PDF printer with the given default paper.
    QString addPrinter(const QString& name, const QString& paper)
    {
        const QString added =
            run("lpadmin", {"-p", name, "-E", "-v", "cups-pdf:/", "-P", kPdfDriver, "-o", "PageSize=" + paper});
        return added.isEmpty() ? run("cupsdisable", {name}) : added;
    }
    QString makeDefault(const QString& name) { return run("lpadmin", {"-d", name}); }
    // The documents of the queued jobs, oldest first.
    QStringList documents() const
    {
        QStringList files;
        for (const QString& name : QDir(spool()).entryList({"d*"}, QDir::Files, QDir::Name))
            files << spool() + "/" + name;
        return files;
    }
    QString errorLog() const
    {
        QFile log(dir_.filePath("log/error_log"));
        return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : QString();
    }

private:
    void write(const QString& name, const QString& text)
    {
        QFile file(dir_.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(text.toLocal8Bit());
    }
    QString run(const QString& tool, const QStringList& arguments)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(tool, arguments);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return tool + " " + arguments.join(' ') + ": " + QString::fromLocal8Bit(p.readAll());
        return QString();
    }

    QTemporaryDir dir_;
    QProcess cupsd_;
};

// "612 x 792" for a Letter sheet, upright or turned, from the document as the print server
// received it.
QString pageSize(const QString& document)
{
    const QString info = testsupport::runTool("pdfinfo", {document});
    const QRegularExpressionMatch m = QRegularExpression("Page size:\\s+([0-9.]+) x ([0-9.]+) pts").match(info);
    if (!m.hasMatch())
        return info;
    const int a = qRound(m.captured(1).toDouble()), b = qRound(m.captured(2).toDouble());
    return QString("%1 x %2").arg(std::min(a, b)).arg(std::max(a, b));
}

} // namespace

class TestPaperThroughCups : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("A print server of the test's own needs the administrator's rights.");
        // The print system's client library reads where its server is once, at its first use.
        qputenv("CUPS_SERVER", server_.socket().toLocal8Bit());
        const QString failure = server_.start();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        for (const QString paper : {"Letter", "A4"}) {
            const QString added = server_.addPrinter("Office" + paper, paper);
            QVERIFY2(added.isEmpty(), qPrintable(added + server_.errorLog()));
        }
    }

    void formsOnLetterReportsOnThePrintersPaper_data()
    {
        QTest::addColumn<QString>("paper");
        QTest::addColumn<QString>("reportPage");
        QTest::newRow("Letter by default") << "Letter"
                                           << "612 x 792";
        QTest::newRow("A4 by default") << "A4"
                                       << "595 x 842";
    }
    void formsOnLetterReportsOnThePrintersPaper()
    {
        QFETCH(QString, paper);
        QFETCH(QString, reportPage);
        const QString printer = "Office" + paper;
        const QString made = server_.makeDefault(printer);
        QVERIFY2(made.isEmpty(), qPrintable(made));
        const int before = server_.documents().size();
        testsupport::EnvironmentValue noPdfFolder("DOVRA_PDF_DIR");

        testsupport::TempProgramFolder home;
        testsupport::EnvironmentValue homeFolder("DOVRA_HOME", home.path());
        testsupport::prepareReadyProgramFolder(home.path());
        MessageService::setScripted(true);
        ButtonDialogService::setScripted(true);
        TdmDovraPro dm;
        TF_Main w;
        w.show();
        QVERIFY(QTest::qWaitFor([&] { return !w.firstShowingPending(); }, 5000));
        w.memoToAddress->setPlainText("Jane Roe\n4 Elm St");
        w.editToCity->setText("Dover");
        w.editToState->setText("DE");
        w.editToZip->setText("19901-0001");

        // Printer Setup chooses the printer and confirms with OK.
        QString confirm;
        {
            testsupport::ModalDriver driver;
            driver.on("QPrintDialog", [&](QWidget* d) {
                auto buttons = d->findChild<QDialogButtonBox*>();
                QPushButton* ok = buttons ? buttons->button(QDialogButtonBox::Ok) : nullptr;
                confirm = ok ? ok->text() : QString("no button");
                static_cast<QDialog*>(d)->accept();
            });
            w.miPrinterSetup->trigger();
        }
        QCOMPARE(confirm, QString("OK"));
        QCOMPARE(w.settings.printer, printer);

        QVERIFY(w.btnPrintClick()); // the form
        w.CBReturn->setChecked(false);
        QVERIFY(w.btnPrintClick()); // a label
        {
            testsupport::ModalDriver driver;
            driver.on("TF_PrintBarCode", [](QWidget* d) { static_cast<TF_PrintBarCode*>(d)->btnOK->click(); });
            w.miPrintBarCodes->trigger();
        }
        {
            TF_Report reports(w.settings, QString());
            reports.lvReports->setCurrentItem(
                reports.lvReports->findItems("Certified Mail Log", Qt::MatchExactly).value(0));
            testsupport::ModalDriver driver;
            driver.on("QPrintDialog", [](QWidget* d) { static_cast<QDialog*>(d)->accept(); });
            reports.btnPrint->click();
        }
        const QStringList documents = server_.documents().mid(before);
        QCOMPARE(documents.size(), 4);
        QStringList pages;
        for (const QString& document : documents)
            pages << pageSize(document);
        QCOMPARE(pages, (QStringList{"612 x 792", "612 x 792", "612 x 792", reportPage}));
    }

private:
    PrintServer server_;
};

QTEST_MAIN(TestPaperThroughCups)
#include "test_paperthroughcups.moc"
