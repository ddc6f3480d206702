#include "tests/support/TestSupport.h"
#include "app/TF_Main.h"
#include "core/datamodule/Schemas.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "widgets/Services.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>
#include <csignal>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

EnvironmentValue::EnvironmentValue(const char* name, const QString& value) : name_(name), previous_(qgetenv(name))
{
    qputenv(name, value.toUtf8());
}

EnvironmentValue::EnvironmentValue(const char* name) : name_(name), previous_(qgetenv(name))
{
    qunsetenv(name);
}

EnvironmentValue::~EnvironmentValue()
{
    if (previous_.isEmpty())
        qunsetenv(name_);
    else
        qputenv(name_, previous_);
}

void prepareReadyProgramFolder(const QString& programFolder, const QString& customerId)
{
    const std::string root = programFolder.toStdString();
    const std::string addresses = root + "/Addresses";
    QDir().mkpath(QString::fromStdString(addresses));
    if (!engine::tableExists(addresses, "YourAddress"))
        engine::createTable(addresses, "YourAddress", schema::YourAddress);
    engine::Query q;
    q.setFolder(addresses);
    q.setSql("insert into YourAddress (Address1, Address2, City, State, Zip) values('Law Office of Ann Lee', "
             "'100 Main St', 'Springfield', 'IL', '62701')");
    q.execSql();
    if (!engine::tableExists(root, "MailerNum")) {
        engine::createTable(root, "MailerNum", schema::MailerNum);
        q.setFolder(root);
        q.setSql("insert into MailerNum (CustID, SerialNum, Increment, BarCodes) values('000000000', '0000000', "
                 "True, True)");
        q.execSql();
    }
    q.setFolder(root);
    q.setSql("update MailerNum set CustID = " + engine::quoted(customerId.toStdString()));
    q.execSql();
    QFile ini(programFolder + "/dovra3.ini");
    ini.open(QIODevice::WriteOnly | QIODevice::Append);
    ini.write("[YourAddress]\r\nID=1\r\n[Type]\r\nBarCodeApp=0\r\n");
}

bool waitForFirstShowing(TF_Main& w)
{
    return QTest::qWaitFor([&w] { return !w.firstShowingPending(); }, 5000) &&
           QTest::qWaitFor([] { return QTest::qWait(30), !QApplication::activeModalWidget(); }, 5000);
}

void leaveChangeCutShort(const QString& file)
{
    const pid_t child = ::fork();
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(qPrintable(file), &db, SQLITE_OPEN_READWRITE, nullptr);
        // A cache of one page spills the change into the file before any commit.
        sqlite3_exec(db,
                     "PRAGMA cache_size=1; BEGIN; CREATE TABLE Spill(x); "
                     "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 200) "
                     "INSERT INTO Spill SELECT randomblob(500) FROM c;",
                     nullptr, nullptr, nullptr);
        ::_exit(0); // killed: no commit, no rollback
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    QVERIFY(QFileInfo(file + "-journal").size() > 0);
}

void damagePage(const QString& file, int pageNumber)
{
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek(qint64(pageNumber - 1) * 4096 + 8));
    f.write(QByteArray(4000, '\x5a'));
}

LockWait::LockWait(int ms) : previous_(engine::lockWaitMs())
{
    engine::setLockWaitMs(ms);
}

LockWait::~LockWait()
{
    engine::setLockWaitMs(previous_);
}

CounterRow readRow(const QString& folder)
{
    engine::Table t;
    openCounter(t, folder);
    return {QString::fromStdString(t.asString("CustID")), QString::fromStdString(t.asString("SerialNum")),
            t.asBoolean("Increment"), t.asBoolean("BarCodes")};
}

void writeRow(const QString& folder, const CounterRow& row)
{
    engine::Table t;
    openCounter(t, folder);
    t.edit();
    t.setText("CustID", row.custId.toStdString());
    t.setText("SerialNum", row.serialNum.toStdString());
    t.setBoolean("Increment", row.increment);
    t.setBoolean("BarCodes", row.barCodes);
    t.post();
}

void openCounter(engine::Table& counter, const QString& folder, bool exclusive)
{
    counter.setFolder(folder.toStdString());
    counter.setTableName("MailerNum");
    counter.setExclusive(exclusive);
    counter.open();
}

bool counterIsFree(const QString& folder)
{
    const LockWait noWait(0);
    engine::Table t;
    try {
        openCounter(t, folder, true);
    } catch (const engine::EngineError&) {
        return false;
    }
    return true;
}

MailerPrintData sampleMailerPrintData()
{
    MailerPrintData data;
    data.senderLines = {"Acme Supply", "12 Mill Rd", "", "", "Springfield, IL 62701-1234"};
    data.senderZip = "62701-1234";
    data.recipientLines = {"Jane Roe", "Roe & Sons", "4 Elm St", "Apt 2", "Dover, DE 19901"};
    data.recipientZip = "19901";
    data.re = "Lease 7";
    data.comment = "Second notice";
    data.department = "Legal";
    data.processedBy = "kb";
    data.postage = "  0.39";
    data.certifiedFee = "  2.40";
    data.returnFee = "  1.85";
    data.restrictedFee = "  3.50";
    data.total = "  8.14";
    data.barCodes = true;
    data.customerId = "123456789";
    data.serial = "0000001";
    data.extraLabel = "Yes";
    data.extraLabelAddress = "Addressed To";
    return data;
}

QString runTool(const QString& program, const QStringList& arguments, const QList<int>& successCodes)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        !successCodes.contains(process.exitCode()))
        return QString("%1 %2 failed: %3 %4")
            .arg(program, arguments.join(' '), process.errorString(),
                 QString::fromUtf8(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

QImage rasterisePdf(const QString& pdf, int dpi, int page)
{
    const QString stem = pdf + QString("-%1-page%2").arg(dpi).arg(page);
    const QString number = QString::number(page);
    runTool("pdftoppm", {"-r", QString::number(dpi), "-f", number, "-l", number, "-png", "-singlefile", pdf, stem});
    return QImage(stem + ".png");
}

namespace {

QStringList decodedSymbolsOfFile(const QString& png)
{
    // zbarimg ends with 4 when the page holds no symbol.
    QStringList symbols = runTool("zbarimg", {"-q", png}, {0, 4}).split('\n', Qt::SkipEmptyParts);
    symbols.removeDuplicates();
    symbols.sort();
    return symbols;
}

} // namespace

QStringList decodedSymbols(const QString& pdf)
{
    const QString png = pdf + ".png";
    rasterisePdf(pdf, 300).save(png);
    return decodedSymbolsOfFile(png);
}

QStringList decodedSymbols(const QImage& image)
{
    QTemporaryDir dir;
    const QString png = dir.filePath("image.png");
    image.save(png);
    return decodedSymbolsOfFile(png);
}

QRect inkBox(const QImage& page)
{
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

void clickButton(QWidget* parent, const QString& name)
{
    auto button = parent->findChild<QPushButton*>(name);
    QVERIFY2(button, qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton);
}

ModalDriver::ModalDriver()
{
    connect(&timer_, &QTimer::timeout, this, &ModalDriver::tick);
    timer_.start(10);
}

void ModalDriver::tick()
{
    QWidget* w = QApplication::activeModalWidget();
    if (!w || w == last_)
        return;
    last_ = w;
    seen << w->metaObject()->className();
    for (int i = 0; i < handlers_.size(); ++i)
        if (w->inherits(handlers_[i].first)) {
            Handler h = handlers_.takeAt(i).second;
            h(w);
            return;
        }
    if (auto dialog = qobject_cast<QDialog*>(w))
        dialog->reject();
    else
        w->close();
}

QStringList shownMessageTexts()
{
    QStringList texts;
    for (const auto& m : MessageService::shown())
        texts << m.text;
    return texts;
}

QList<LogRow> logRows(const QString& logFolder)
{
    engine::Query q;
    q.setFolder(logFolder.toStdString());
    q.setSql("select * from Log37 order by LID");
    q.open();
    QList<LogRow> rows;
    for (; !q.eof(); q.next()) {
        LogRow row;
        for (int i = 0; i < q.fieldCount(); ++i)
            row.insert(QString::fromStdString(q.fieldName(i)),
                       q.isNull(q.fieldName(i)) ? "<null>" : QString::fromStdString(q.asString(i)));
        rows << row;
    }
    return rows;
}

QString binDir()
{
    return QStringLiteral(DOVRA_TEST_BIN_DIR);
}
QString sourceDir()
{
    return QStringLiteral(DOVRA_TEST_SOURCE_DIR);
}

Run runWorkstation(const QString& home, const QStringList& mode, int killAfterMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(binDir() + "/crash_workstation", QStringList{home} + mode);
    if (!p.waitForStarted())
        qFatal("crash_workstation did not start");
    if (killAfterMs >= 0) {
        p.waitForReadyRead(60000); // standard output: "printing"
        p.waitForFinished(killAfterMs);
        if (p.state() != QProcess::NotRunning)
            ::kill(p.processId(), SIGKILL);
    }
    // A run of hundreds of mailers on a busy machine takes minutes.
    p.waitForFinished(600000);
    return {p.exitStatus() == QProcess::CrashExit, p.exitCode(), p.readAllStandardError()};
}

QStringList numbersOnPaper(const QString& folder)
{
    QStringList numbers;
    static const QRegularExpression grouped("9214\\s+7\\d{3}\\s+\\d{4}\\s+\\d{4}\\s+\\d{4}\\s+\\d\\d");
    for (const QString& name : QDir(folder).entryList({"*.pdf"}, QDir::Files, QDir::Name)) {
        QFile file(folder + "/" + name);
        if (!file.open(QIODevice::ReadOnly) || !file.readAll().endsWith("%%EOF\n"))
            continue;
        const QString text = runTool("pdftotext", {"-raw", file.fileName(), "-"});
        QSet<QString> inJob;
        for (const auto& match : grouped.globalMatch(text)) {
            QString number = match.captured();
            number.remove(QRegularExpression("\\s"));
            if (!inJob.contains(number))
                numbers << number;
            inJob.insert(number);
        }
    }
    return numbers;
}

} // namespace testsupport
