// The log window and its dialogs driven as a user drives them, on real tables in a program
// folder of its own: saved filters, deleting rows, finding, editing and tracking mailers.
#include "app/TF_Main.h"
#include "core/datamodule/Schemas.h"
#include "core/datamodule/TdmDovraPro.h"
#include "engine/Engine.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "log/LogMailers.h"
#include "log/LogModel.h"
#include "log/LogReport.h"
#include "log/TF_EditMailer.h"
#include "log/TF_Filter.h"
#include "log/TF_FindMailer.h"
#include "log/TF_IncomingMailers.h"
#include "log/TF_Log.h"
#include "tests/support/TestSupport.h"
#include "widgets/Services.h"
#include "widgets/TF_SingleEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTimeEdit>
#include <QtTest>
#include <sqlite3.h>

using testsupport::clickButton;
using testsupport::ModalDriver;

Q_DECLARE_METATYPE(logfilter::TFilterLineRec)

namespace {

const QString k20 = "9214 7123 4567 8900 0001";
const QString k22 = "9214 7123 4567 8900 0004 15";

struct LogFixture : testsupport::ProgramFixture {
    QString folder = home.path() + "/Log";
    LogFixture()
    {
        QDir().mkpath(folder);
        dm.CreateTable(folder, "Log37", schema::Log37);
        MessageService::setScripted(true);
        MessageService::clearShown();
        logmailers::logSearch = {};
    }
    void add(const QMap<QString, QString>& fields)
    {
        engine::Table t;
        t.setFolder(folder.toStdString());
        t.setTableName("Log37");
        t.open();
        t.append();
        t.setText("DateTime", QString("2026-03-01 08:%1:00").arg(++rows_, 2, 10, QChar('0')).toStdString());
        t.setText("Result", "None");
        t.setBoolean("Batch", false);
        for (auto it = fields.begin(); it != fields.end(); ++it) {
            if (it.key() == "Batch" || it.key() == "WishRest")
                t.setBoolean(it.key().toStdString(), it.value() == "True");
            else
                t.setText(it.key().toStdString(), it.value().toStdString());
        }
        t.post();
        t.close();
    }
    QStringList column(const QString& sql, int index = 0)
    {
        engine::Query q;
        q.setFolder(folder.toStdString());
        q.setSql(sql.toStdString());
        QStringList out;
        for (q.open(); !q.eof(); q.next())
            out << QString::fromStdString(q.asString(index));
        return out;
    }
    QString value(const QString& field, int lid)
    {
        return column("select " + field + " from Log37 where LID = " + QString::number(lid)).value(0);
    }
    void addFilter(const QString& name, const QString& combination, const QList<logfilter::TFilterLineRec>& lines)
    {
        engine::Query q;
        q.setFolder(folder.toStdString());
        q.setSql(logfilter::insertFilterSql(name).toStdString());
        q.execSql();
        q.setSql(logfilter::updateCombinationSql(name, combination).toStdString());
        q.execSql();
        for (const auto& line : lines) {
            q.setSql(logfilter::insertLineSql(name, line).toStdString());
            q.execSql();
        }
    }
    static QString lastMessage()
    {
        const auto shown = MessageService::shown();
        return shown.isEmpty() ? QString() : shown.last().text;
    }
    int rows_ = 0;
};

void selectFilter(TF_Log& w, const QString& name)
{
    const auto items = w.lvFilters->findItems(name, Qt::MatchExactly);
    QVERIFY(items.size() == 1);
    w.lvFilters->setCurrentItem(items.first());
}

ModalDriver::Handler typeName(const QString& name)
{
    return [name](QWidget* w) {
        auto d = static_cast<TF_SingleEdit*>(w);
        d->TheEdit->setText(name);
        d->btnOKClick();
    };
}

ModalDriver::Handler textLine(int code, const QString& value, const QString& op = QString())
{
    return [=](QWidget* w) {
        auto d = static_cast<TF_Filter*>(w);
        if (d->cbFieldName->isEnabled())
            d->cbFieldName->setCurrentIndex(code);
        if (!op.isEmpty())
            d->cbOperator->setCurrentText(op);
        d->editValue->setText(value);
        d->btnOKClick();
    };
}

// The rows the window shows, by LID, in the grid's order.
QStringList gridLids(TF_Log& w)
{
    QStringList out;
    for (int row = 0; row < w.model()->rowCount(); ++row)
        out << QString::number(w.model()->lid(row));
    return out;
}

void clickHeading(TF_Log& w, int column)
{
    QHeaderView* header = w.gridLog->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// A spreadsheet file as Python's csv module reads it: whether it starts with the UTF-8
// byte-order mark, and its rows.
struct CsvFile {
    bool bom = false;
    QList<QStringList> rows;
    // The values of one column under its heading.
    QStringList column(const QString& heading) const
    {
        QStringList out;
        const qsizetype at = rows.value(0).indexOf(heading);
        for (qsizetype i = 1; at >= 0 && i < rows.size(); ++i)
            out << rows[i].value(at);
        return out;
    }
    // One row by the value of its Log ID, as heading -> value.
    QMap<QString, QString> row(const QString& lid) const
    {
        const qsizetype key = rows.value(0).indexOf("Log ID");
        QMap<QString, QString> out;
        for (qsizetype i = 1; i < rows.size(); ++i)
            if (rows[i].value(key) == lid)
                for (qsizetype c = 0; c < rows[0].size(); ++c)
                    out.insert(rows[0][c], rows[i].value(c));
        return out;
    }
};

CsvFile readCsv(const QString& path)
{
    QProcess python;
    python.start("python3", {"-c",
                             "import csv, json, sys\n"
                             "raw = open(sys.argv[1], 'rb').read()\n"
                             "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                             "    rows = list(csv.reader(f, strict=True))\n"
                             "print(json.dumps({'bom': raw.startswith(b'\\xef\\xbb\\xbf'), 'rows': rows}))\n",
                             path});
    CsvFile file;
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning() << "python3 could not read" << path << python.readAllStandardError();
        return file;
    }
    const QJsonObject read = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    file.bom = read["bom"].toBool();
    for (const QJsonValue& row : read["rows"].toArray()) {
        QStringList values;
        for (const QJsonValue& v : row.toArray())
            values << v.toString();
        file.rows << values;
    }
    return file;
}

// Six mailers whose fields the search, the dates and the sorts tell apart; LID 1 to 6.
void addSearchRows(LogFixture& f)
{
    f.add({{"DateTime", "2026-03-02 09:00:00"},
           {"ToAddress1", "Acme, Inc."},
           {"MailerNum", "9214 7123 4567 8900 0001 15"},
           {"RE", "Lease"},
           {"Comment", "He said \"hi\""},
           {"Postage", "4.85"},
           {"Total", "8.1"}});
    f.add({{"DateTime", "2026-03-01 10:00:00"},
           {"ToAddress1", "Zed Smith"},
           {"ToAddress2", "Acme Tower"},
           {"Department", "Billing"},
           {"Result", "Received - Signed"},
           {"Batch", "True"}});
    f.add({{"DateTime", "2026-03-05 08:00:00"},
           {"ToAddress1", "Bob Jones"},
           {"RE", "acme matter"},
           {"ProcessedBy", "Kim"}});
    f.add({{"DateTime", "2026-03-03 12:00:00"},
           {"ToAddress1", QString::fromUtf8("Carla Díaz")},
           {"Comment", "line1\nline2, more"},
           {"Result", "Received - Not Signed"}});
    f.add({{"DateTime", "2026-02-27 07:00:00"},
           {"ToAddress1", "Dan Brown"},
           {"ProcessedBy", "ACMEbot"},
           {"Batch", "True"}});
    f.add({{"DateTime", "2026-03-04 11:00:00"}, {"ToAddress1", "Eve 50% Off"}, {"Department", "Sales"}});
}

} // namespace

class TestLogWindow : public QObject {
    Q_OBJECT

private slots:
    void emptyLogDisablesTheRecordCommands()
    {
        LogFixture f;
        TF_Log w(f.settings);
        QCOMPARE(w.windowTitle(), QString("Log File"));
        QCOMPARE(w.labelLogDBName->text(), f.folder + "/Log37.adt");
        QVERIFY(!w.gridLog->isEnabled());
        QVERIFY(w.panelDBdetails->isHidden());
        for (auto b : {w.btnFindMailer, w.btnEditMailer, w.btnDeleteRecord, w.btnDeleteAllRecords})
            QVERIFY(!b->isEnabled());
        QVERIFY(w.btnNewFilter->isEnabled());
        QVERIFY(!w.btnSetFilter->isEnabled());
        w.btnReport->click();
        QCOMPARE(f.lastMessage(), QString("No records available for report."));
    }

    void showsTheOldestRowWithItsDetails()
    {
        LogFixture f;
        f.add({{"ToAddress1", "Ann Lee"}, {"MailerNum", k22}, {"Postage", "0.39"}, {"Batch", "True"}});
        f.add({{"ToAddress1", "Bob"}});
        TF_Log w(f.settings);
        QVERIFY(w.gridLog->isEnabled());
        QCOMPARE(w.model()->rowCount(), 2);
        QCOMPARE(w.currentRow(), 0);
        QCOMPARE(w.currentMailerNum(), k22);
        QCOMPARE(w.findChild<QLabel*>("dbtToAddress1")->text(), QString("Ann Lee"));
        QCOMPARE(w.findChild<QLabel*>("dbtBatch")->text(), QString("True"));
        QCOMPARE(w.model()->headerData(0, Qt::Horizontal).toString(), QString("Date/Time"));
        QCOMPARE(w.gridLog->columnWidth(2), 150);
        QCOMPARE(w.currentSql(), QString("select * from Log37 order by DATETIME"));
        bool reported = false;
        TF_Log::openReports = [&](TF_Log& log) { reported = log.currentWhere().isEmpty(); };
        w.btnReport->click();
        TF_Log::openReports = nullptr;
        QVERIFY(reported);
    }

    void newFilterStoresItsFirstLineAndRefusesATakenName()
    {
        LogFixture f;
        f.add({{"ToCity", "Boston"}});
        TF_Log w(f.settings);
        {
            ModalDriver driver;
            driver.on("TF_SingleEdit", typeName("Boston"));
            driver.on("TF_Filter", textLine(5, "Boston"));
            w.btnNewFilter->click();
        }
        QCOMPARE(f.column("select FilterName, FilterCombination from LogFilters", 1), QStringList({"AND"}));
        QCOMPARE(f.column("select FieldName || '|' || Operator || '|' || Value from LogFiltersDetail"),
                 QStringList({"5|=|Boston"}));
        QCOMPARE(w.lvFilters->currentItem()->text(), QString("Boston"));
        QCOMPARE(w.lvFilterDetails->item(0)->text(), QString("To City = 'Boston'"));
        QVERIFY(w.btnSetFilter->isEnabled());
        {
            ModalDriver driver;
            driver.on("TF_SingleEdit", typeName("Boston"));
            driver.on("TF_Filter", textLine(12, "Sales"));
            w.btnNewFilter->click();
        }
        QCOMPARE(f.lastMessage(), QString("A Filter name of \"Boston\" already exists."));
        QCOMPARE(f.column("select Value from LogFiltersDetail"), QStringList({"Boston"}));
    }

    // Lines join in list order (by caption), with the filter's word; Undo brings the whole
    // log back; Delete All Records under a filter deletes exactly the filtered rows.
    void setFilterUndoAndDeleteAllUnderAFilter()
    {
        LogFixture f;
        f.add({{"ToAddress1", "Boston Ltd"}});
        f.add({{"Batch", "True"}});
        f.add({{"ToCity", "Boston"}, {"Batch", "True"}});
        f.add({{"ToCity", "Chicago"}, {"Batch", "True"}});
        f.addFilter("mix", "OR", {{"4", "=", "Boston"}, {"16", "=", "False"}});
        TF_Log w(f.settings);
        selectFilter(w, "mix");
        QCOMPARE(w.cbCombination->currentText(), QString("OR"));
        QCOMPARE(w.lvFilterDetails->item(0)->text(), QString("Batch = 'False'"));
        w.btnSetFilter->click();
        QCOMPARE(w.btnSetFilter->text(), QString("Undo Filter"));
        QCOMPARE(w.miSetFilter->text(), QString("&Undo Filter"));
        QVERIFY(w.currentSql().startsWith("select * from Log37 where (Batch = False) OR ((ToAddress1 like"));
        QCOMPARE(w.model()->rowCount(), 2);
        QVERIFY(!w.btnNewFilter->isEnabled() && !w.cbCombination->isEnabled() && !w.lvFilterDetails->isEnabled());
        w.btnSetFilter->click();
        QCOMPARE(w.model()->rowCount(), 4);
        QCOMPARE(w.btnSetFilter->text(), QString("Set Filter"));

        w.cbCombination->setCurrentText("AND");
        emit w.cbCombination->activated(w.cbCombination->currentIndex());
        QCOMPARE(f.column("select FilterCombination from LogFilters"), QStringList({"AND"}));
        w.btnSetFilter->click();
        QCOMPARE(w.model()->rowCount(), 1);
        MessageService::queueAnswer(QMessageBox::Yes);
        w.btnDeleteAllRecords->click();
        const auto question = MessageService::shown().at(MessageService::shown().size() - 2);
        QCOMPARE(question.text, QString("Are you sure you want to remove all records from current filter from the Log "
                                        "file?\n\n1 record will be deleted."));
        // Enter alone deletes nothing.
        QCOMPARE(question.defaultButton, QMessageBox::No);
        QCOMPARE(f.lastMessage(), QString("Records deleted."));
        QCOMPARE(f.column("select LID from Log37"), QStringList({"2", "3", "4"}));
        QCOMPARE(w.btnSetFilter->text(), QString("Set Filter"));
        QCOMPARE(w.model()->rowCount(), 3);
    }

    void setFilterRefusals()
    {
        LogFixture f;
        f.add({});
        f.addFilter("none", "AND", {});
        f.addFilter("when", "AND", {{"0", ">", "someday"}});
        TF_Log w(f.settings);
        selectFilter(w, "none");
        w.btnSetFilter->click();
        QCOMPARE(f.lastMessage(), QString("No filter lines are defined for this filter."));
        selectFilter(w, "when");
        w.btnSetFilter->click();
        QCOMPARE(f.lastMessage(), QString("'someday' is not a valid date and time"));
        QCOMPARE(w.btnSetFilter->text(), QString("Set Filter"));
        QCOMPARE(w.model()->rowCount(), 1);
        QVERIFY(w.btnNewFilter->isEnabled());
    }

    void editingALineKeepsItsField()
    {
        LogFixture f;
        f.addFilter("f", "AND", {{"18", ">", "5.00"}, {"5", "=", "Boston"}});
        TF_Log w(f.settings);
        selectFilter(w, "f");
        w.lvFilterDetails->setCurrentRow(0); // "Postage Fee > '5.00'" sorts first
        QVERIFY(w.btnEditFilterLine->isEnabled());
        bool fieldLocked = false;
        {
            ModalDriver driver;
            driver.on("TF_Filter", [&](QWidget* d) {
                auto filter = static_cast<TF_Filter*>(d);
                fieldLocked = !filter->cbFieldName->isEnabled() && filter->cbFieldName->currentIndex() == 18 &&
                              filter->cbOperator->currentText() == ">" && filter->editValue->text() == "5.00";
                textLine(7, "6.50", "<=")(d);
            });
            w.btnEditFilterLine->click();
        }
        QVERIFY(fieldLocked);
        QCOMPARE(f.column("select FieldName || Operator || Value from LogFiltersDetail order by FieldName"),
                 QStringList({"18<=6.50", "5=Boston"}));
        MessageService::queueAnswer(QMessageBox::Yes);
        w.lvFilterDetails->setCurrentRow(1);
        w.btnDeleteFilterLine->click();
        QCOMPARE(MessageService::shown().first().text,
                 QString("Are you sure you want to delete Filter line \"To City = 'Boston'\"?"));
        QCOMPARE(f.column("select Value from LogFiltersDetail"), QStringList({"6.50"}));
        MessageService::queueAnswer(QMessageBox::Yes);
        w.btnDeleteFilter->click();
        QCOMPARE(f.column("select FilterName from LogFilters") + f.column("select Value from LogFiltersDetail"),
                 QStringList());
        QCOMPARE(w.lvFilters->count(), 0);
    }

    void filterDialogChecks_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("value");
        QTest::newRow("no field") << -1 << ""
                                  << "Your must select a field name."
                                  << "";
        QTest::newRow("blank text") << 12 << "  "
                                    << "You must enter a value."
                                    << "";
        QTest::newRow("fee not a number") << 18 << "abc"
                                          << "Your must enter a numeric value."
                                          << "";
        QTest::newRow("fee -1") << 19 << "-1"
                                << "Your must enter a numeric value."
                                << "";
        QTest::newRow("fee") << 19 << "2.40"
                             << ""
                             << "2.40";
        QTest::newRow("short mailer number") << 1 << "9214712345"
                                             << "Your must enter a full Mailer Number."
                                             << "";
        QTest::newRow("20-digit mailer number") << 1 << "92147123456789000001"
                                                << "" << k20;
        QTest::newRow("22-digit mailer number") << 1 << "9214712345678900000415"
                                                << "" << k22;
        QTest::newRow("short customer id") << 2 << "12345"
                                           << "Your must enter a full Customer ID."
                                           << "";
        QTest::newRow("customer id") << 2 << "123456789"
                                     << ""
                                     << "12-345-6789";
        QTest::newRow("blank serial") << 3 << ""
                                      << "Your must enter a Serial Number."
                                      << "";
        QTest::newRow("serial") << 3 << "00000041"
                                << ""
                                << "00000041";
        QTest::newRow("quotes kept") << 15 << "it's 50%_"
                                     << ""
                                     << "it's 50%_";
    }
    void filterDialogChecks()
    {
        QFETCH(int, code);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, value);
        LogFixture f;
        TF_Filter d({});
        d.cbFieldName->setCurrentIndex(code);
        QLineEdit* edits[] = {d.editValue, d.maskeditMailerNum, d.editCustID, d.editSerialNum};
        for (QLineEdit* e : edits)
            if (e->isVisibleTo(&d)) {
                e->setFocus();
                QTest::keyClicks(e, typed);
            }
        d.btnOKClick();
        QCOMPARE(f.lastMessage(), message);
        QCOMPARE(d.result().value, value);
        if (!message.isEmpty())
            QCOMPARE(d.result(), logfilter::TFilterLineRec());
        else
            QCOMPARE(d.result().fieldName, QString::number(code));
    }

    void filterDialogEntriesPerField()
    {
        LogFixture f;
        TF_Filter d({"0", "<=", logfilter::dateTimeValue(QDateTime(QDate(2026, 2, 3), QTime(9, 8, 7)))});
        QVERIFY(!d.cbFieldName->isEnabled());
        QVERIFY(d.pickerDate->isVisibleTo(&d) && !d.editValue->isVisibleTo(&d));
        QCOMPARE(d.cbOperator->currentText(), QString("<="));
        QCOMPARE(d.pickerDate->date(), QDate(2026, 2, 3));
        QCOMPARE(d.pickerTime->time(), QTime(9, 8, 7));
        TF_Filter result({"17", "=", "Received"});
        QVERIFY(result.cbResult->isVisibleTo(&result));
        QCOMPARE(result.cbResult->currentText(), QString("Received"));
        TF_Filter batch({});
        batch.cbFieldName->setCurrentIndex(16);
        QCOMPARE(batch.cbOperator->count(), 1);
        batch.cbTrueFalse->setCurrentText("False");
        batch.btnOKClick();
        QCOMPARE(batch.result(), logfilter::TFilterLineRec({"16", "=", "False"}));
    }

    void editMailerWritesOnlyWhatChanged()
    {
        LogFixture f;
        f.add({{"Postage", "0.39"}, {"Certified", "2.40"}, {"Total", "9.99"}, {"Result", "None"}});
        TF_Log w(f.settings);
        {
            ModalDriver driver;
            driver.on("TF_EditMailer", [](QWidget* d) { clickButton(d, "btnOK"); });
            w.btnEditMailer->click();
        }
        QCOMPARE(f.value("Total", 1), QString("9.99")); // nothing written
        {
            ModalDriver driver;
            driver.on("TF_EditMailer", [](QWidget* d) {
                static_cast<TF_EditMailer*>(d)->cbResult->setCurrentText("Received - Signed");
                clickButton(d, "btnOK");
            });
            w.btnEditMailer->click();
        }
        QCOMPARE(f.value("Result", 1), QString("Received - Signed"));
        QCOMPARE(f.value("Total", 1), QString("2.79"));
        QCOMPARE(w.findChild<QLabel*>("dbtResult")->text(), QString("Received - Signed"));
    }

    void editMailerDialog()
    {
        LogFixture f;
        TF_EditMailer d({"0.39", "2.40", "1.85", "3.50", false, "note", "Received"}, "4.00");
        QCOMPARE(d.editPostage->text(), MoneyText(0.39));
        QVERIFY(!d.editRestricted->isEnabled());
        QCOMPARE(d.editRestricted->text(), MoneyText(3.5));
        QCOMPARE(d.cbResult->currentText(), QString()); // not one of the list's values
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        d.editReturn->setFocus();
        d.editReturn->setText("abc");
        d.editComment->setFocus();
        QTRY_COMPARE(d.editReturn->text(), QString(" "));
        QCOMPARE(d.editTotal->text(), MoneyText(0.39 + 2.40 + 3.50));
        d.cbRestricted->click();
        QCOMPARE(d.editRestricted->text(), MoneyText(4.0));
        QVERIFY(d.editRestricted->isEnabled());
        d.cbRestricted->click();
        QCOMPARE(d.editRestricted->text(), QString(" "));
        d.btnOKClick();
        const auto v = d.values();
        QCOMPARE(v, logmailers::MailerEdit({"0.39", "2.40", "", "", false, "note", ""}));
    }

    void findByNumberOpensEditMailer_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("row");
        QTest::newRow("20 digits") << "92147123456789000001" << 1;
        QTest::newRow("22 digits in groups") << k22 << 2;
        QTest::newRow("not in the log") << "92147123456789000009" << -1;
        QTest::newRow("22 digits stored bare by a batch") << "9214712345678900000499" << 3;
        QTest::newRow("20 digits stored bare") << "9214 7123 4567 8900 0005" << 4;
        QTest::newRow("22 digits, the first 20 a logged number") << "9214712345678900000177" << -1;
        QTest::newRow("the first 20 digits of a logged 22") << "92147123456789000004" << -1;
    }
    void findByNumberOpensEditMailer()
    {
        QFETCH(QString, typed);
        QFETCH(int, row);
        LogFixture f;
        f.add({{"MailerNum", "9214 7123 4567 8900 0002"}});
        f.add({{"MailerNum", k20}});
        f.add({{"MailerNum", k22}});
        f.add({{"MailerNum", "9214712345678900000499"}});
        f.add({{"MailerNum", "92147123456789000005"}});
        TF_Log w(f.settings);
        ModalDriver driver;
        driver.on("TF_FindMailer", [&](QWidget* d) {
            auto find = static_cast<TF_FindMailer*>(d);
            find->rbMailer->setChecked(true);
            find->editEnter->setText(typed);
            find->btnOKClick();
        });
        w.btnFindMailer->click();
        if (row < 0) {
            QCOMPARE(f.lastMessage(), QString("Mailer not found."));
            QCOMPARE(w.currentRow(), 0);
        } else {
            QCOMPARE(w.currentRow(), row);
            QVERIFY(driver.seen.contains("TF_EditMailer"));
        }
    }

    void findDialogRefusals()
    {
        LogFixture f;
        logmailers::logSearch = {logmailers::SearchState::Mode::ByName, "Ann"};
        TF_FindMailer d;
        QVERIFY(d.rbAddresseeName->isChecked());
        QCOMPARE(d.editEnter->text(), QString("Ann"));
        d.editEnter->setText("  ");
        d.btnOKClick();
        QCOMPARE(f.lastMessage(), QString("Addressee name can not be empty."));
        d.rbMailer->setChecked(true);
        d.editEnter->setText("9214 7123");
        d.btnOKClick();
        QCOMPARE(f.lastMessage(), QString("Mailer Number must contain 20 digits."));
        QCOMPARE(d.result(), 0);
    }

    // By name the search starts after the current row, wraps, and F3 steps on.
    void findByNameWrapsAndF3StepsOn()
    {
        LogFixture f;
        f.add({{"ToAddress1", "Ann"}});
        f.add({{"ToAddress1", "Bob"}});
        f.add({{"ToCity", "Annapolis"}});
        TF_Log w(f.settings);
        logmailers::logSearch = {logmailers::SearchState::Mode::ByName, "Ann"};
        w.gridLog->setFocus();
        QTest::keyClick(w.gridLog, Qt::Key_F3);
        QCOMPARE(w.currentRow(), 2);
        QTest::keyClick(w.gridLog, Qt::Key_F3);
        QCOMPARE(w.currentRow(), 0);
        logmailers::logSearch.text = "Bob";
        QTest::keyClick(w.gridLog, Qt::Key_F3);
        QCOMPARE(w.currentRow(), 1);
        QTest::keyClick(w.gridLog, Qt::Key_F3);
        QCOMPARE(f.lastMessage(), QString("Mailer not found."));
        QCOMPARE(w.currentRow(), 1);
    }

    // Delete All Records under a filter deletes the rows the filter shows and no other,
    // whatever the values hold: SQL words, quotes, the wildcards of like.
    void deleteAllDeletesWhatTheFilterShows_data()
    {
        QTest::addColumn<QList<logfilter::TFilterLineRec>>("lines");
        QTest::addColumn<QString>("combination");
        QTest::addColumn<QStringList>("shown");
        using Lines = QList<logfilter::TFilterLineRec>;
        QTest::newRow("order by in a comment") << Lines{{"15", "=", "order by DATETIME"}} << "AND" << QStringList{"1"};
        QTest::newRow("select in a department") << Lines{{"12", "=", "select * from"}} << "AND" << QStringList{"2"};
        QTest::newRow("delete statement as value") << Lines{{"12", "=", "delete from"}} << "AND" << QStringList{"5"};
        QTest::newRow("quotes") << Lines{{"12", "=", "O'Brien's"}} << "AND" << QStringList{"3"};
        QTest::newRow("quote that would end the text") << Lines{{"15", "=", "') or ('1'='1"}} << "AND" << QStringList{};
        QTest::newRow("percent inside") << Lines{{"15", "=", "50% off"}} << "AND" << QStringList{"3"};
        QTest::newRow("percent alone matches every comment")
            << Lines{{"15", "=", "%"}} << "AND" << QStringList{"1", "2", "3", "4", "5"};
        QTest::newRow("underscore matches one character")
            << Lines{{"12", "=", "x_y"}} << "AND" << QStringList{"4", "5"};
        QTest::newRow("two SQL words joined by OR")
            << Lines{{"15", "=", "order by DATETIME"}, {"12", "=", "select * from"}} << "OR" << QStringList{"1", "2"};
        QTest::newRow("two SQL words joined by AND")
            << Lines{{"15", "=", "order by DATETIME"}, {"12", "=", "select * from"}} << "AND" << QStringList{};
        QTest::newRow("seven columns with a statement")
            << Lines{{"4", "=", "select * from Log37 order by DATETIME"}} << "AND" << QStringList{"4"};
    }
    void deleteAllDeletesWhatTheFilterShows()
    {
        QFETCH(QList<logfilter::TFilterLineRec>, lines);
        QFETCH(QString, combination);
        QFETCH(QStringList, shown);
        LogFixture f;
        f.add({{"Comment", "order by DATETIME"}, {"Department", "Sales"}});
        f.add({{"Comment", "plain"}, {"Department", "select * from"}});
        f.add({{"Comment", "it's 50% off"}, {"Department", "O'Brien's"}});
        f.add({{"Comment", "100%"}, {"Department", "x_y"}, {"ToAddress1", "select * from Log37 order by DATETIME"}});
        f.add({{"Comment", "none"}, {"Department", "delete from xAy"}});
        const QStringList all = f.column("select LID from Log37 order by LID");
        f.addFilter("case", combination, lines);
        TF_Log w(f.settings);
        selectFilter(w, "case");
        w.btnSetFilter->click();
        QCOMPARE(w.btnSetFilter->text(), QString("Undo Filter"));
        QStringList inView;
        for (int row = 0; row < w.model()->rowCount(); ++row)
            inView << QString::number(w.model()->lid(row));
        inView.sort();
        QCOMPARE(inView, shown);
        MessageService::queueAnswer(QMessageBox::Yes);
        w.btnDeleteAllRecords->click();
        QCOMPARE(f.lastMessage(), QString("Records deleted."));
        QStringList left = all;
        for (const QString& lid : inView)
            left.removeOne(lid);
        QCOMPARE(f.column("select LID from Log37 order by LID"), left);
        QCOMPARE(w.model()->rowCount(), int(left.size()));
    }

    // A mailer another workstation logs while the window is open is not among the rows the
    // window shows, so Delete All Records leaves it, with or without a filter.
    void deleteAllLeavesRowsLoggedSinceTheView()
    {
        LogFixture f;
        f.add({{"Department", "Sales"}});
        f.add({{"Department", "Legal"}});
        f.addFilter("sales", "AND", {{"12", "=", "Sales"}});
        TF_Log w(f.settings);
        selectFilter(w, "sales");
        w.btnSetFilter->click();
        QCOMPARE(w.model()->rowCount(), 1);
        f.add({{"Department", "Sales"}});
        MessageService::queueAnswer(QMessageBox::Yes);
        w.btnDeleteAllRecords->click();
        QCOMPARE(f.column("select LID from Log37 order by LID"), QStringList({"2", "3"}));
        QCOMPARE(w.model()->rowCount(), 2);
        f.add({{"Department", "Legal"}});
        MessageService::queueAnswer(QMessageBox::Yes);
        w.btnDeleteAllRecords->click();
        QCOMPARE(f.column("select LID from Log37 order by LID"), QStringList({"4"}));
        QCOMPARE(w.model()->rowCount(), 1);
    }

    void deleteRecordAndALockedLog()
    {
        LogFixture f;
        f.add({{"ToAddress1", "Ann"}});
        f.add({{"ToAddress1", "Bob"}});
        TF_Log w(f.settings);
        // Another workstation writes to the log and holds it.
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open((f.folder + "/Log37.adt").toUtf8().constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
        testsupport::LockWait wait(50);
        MessageService::queueAnswer(QMessageBox::Yes);
        w.btnDeleteRecord->click();
        QVERIFY(f.lastMessage().contains("locked"));
        sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QCOMPARE(f.column("select LID from Log37"), QStringList({"1", "2"}));
        MessageService::queueAnswer(QMessageBox::Yes);
        w.btnDeleteRecord->click();
        QCOMPARE(f.lastMessage(), QString("Record deleted."));
        QCOMPARE(f.column("select LID from Log37"), QStringList({"2"}));
        QCOMPARE(w.model()->rowCount(), 1);
        MessageService::queueAnswer(QMessageBox::No);
        w.btnDeleteAllRecords->click();
        QCOMPARE(f.column("select LID from Log37"), QStringList({"2"}));
        MessageService::queueAnswer(QMessageBox::Yes);
        w.btnDeleteAllRecords->click();
        QCOMPARE(f.column("select LID from Log37"), QStringList());
        QVERIFY(!w.gridLog->isEnabled());
    }

    void incomingScanTwiceAndWriteResults()
    {
        LogFixture f;
        f.add({{"MailerNum", k20}, {"ToAddress1", "Ann"}});
        f.add({{"MailerNum", k22}, {"ToAddress1", "Bob"}});
        f.add({{"MailerNum", "9214 7123 4567 8900 0005 99"}, {"ToAddress1", "Cy"}, {"Result", "Received - Signed"}});
        TF_IncomingMailers d(f.folder);
        QVERIFY(!d.sgMailers->isEnabled());
        QCOMPARE(d.sgMailers->rowCount(), 1);
        // A scanner types the digits and no key after them.
        QTest::keyClicks(d.maskeditMailerNum, "92147123456789000001");
        QTRY_COMPARE(d.listedLids(), QList<qint64>({1}));
        QCOMPARE(d.maskeditMailerNum->text(), QString());
        QTest::keyClicks(d.maskeditMailerNum, "9214712345678900000415");
        QCOMPARE(d.listedLids(), QList<qint64>({1, 2}));
        QTest::keyClicks(d.maskeditMailerNum, "9214712345678900000415");
        QCOMPARE(f.lastMessage(), QString("Mailer for Mailer # \"" + k22 + "\" is already in the list."));
        QCOMPARE(d.sgMailers->rowCount(), 2);
        QCOMPARE(d.sgMailers->item(1, 0)->text(), k22);
        QCOMPARE(d.sgMailers->item(1, 1)->text(), QString("Bob"));
        // Marked already: no longer found.
        QTest::keyClicks(d.maskeditMailerNum, "9214712345678900000599");
        QCOMPARE(f.lastMessage(), QString("Mailer Number not found."));
        d.maskeditMailerNum->setText("9214");
        d.btnTrackClick();
        QCOMPARE(f.lastMessage(), QString("Mailer Number must be 20 digits."));

        // The chooser over the second row's Result cell.
        d.sgMailersSelectCell(1, 2);
        QVERIFY(d.cbResult->isVisible() || d.cbResult->isVisibleTo(d.sgMailers));
        QCOMPARE(d.cbResult->geometry(), d.sgMailers->visualItemRect(d.sgMailers->item(1, 2)));
        d.cbResultChoose(1);
        QCOMPARE(d.sgMailers->item(1, 2)->text(), QString("Received - Not Signed"));
        d.btnOKClick();
        QCOMPARE(f.column("select Result from Log37 order by LID"),
                 QStringList({"Received - Signed", "Received - Not Signed", "Received - Signed"}));
    }

    // Typed or scanned numbers against a log holding every form a number is stored in. The
    // entry takes a number as soon as it holds 22 digits, or 20 digits once no further digit
    // has followed for a moment.
    void incomingFindsEveryStoredForm_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<qint64>>("listed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("left");
        const QString none = "Mailer Number not found.";
        using L = QList<qint64>;
        QTest::newRow("20 digits, stored grouped") << "92147123456789000001" << L{1} << ""
                                                   << "";
        QTest::newRow("20 digits, stored bare") << "92147123456789000002" << L{2} << ""
                                                << "";
        QTest::newRow("22 digits, stored grouped") << "9214712345678900000315" << L{3} << ""
                                                   << "";
        QTest::newRow("22 digits, stored bare by a batch") << "9214712345678900000499" << L{4} << ""
                                                           << "";
        QTest::newRow("22 digits typed in groups") << "9214 7123 4567 8900 0003 15" << L{3} << ""
                                                   << "";
        QTest::newRow("22 digits, the first 20 a logged number") << "9214712345678900000123" << L{5} << ""
                                                                 << "";
        QTest::newRow("22 digits not logged, the first 20 a logged number")
            << "9214712345678900000177" << L{} << none << "9214712345678900000177";
        QTest::newRow("20 digits not logged") << "92147123456789000009" << L{} << none << "92147123456789000009";
        QTest::newRow("the first 20 digits of a logged 22")
            << "92147123456789000003" << L{} << none << "92147123456789000003";
    }
    void incomingFindsEveryStoredForm()
    {
        QFETCH(QString, typed);
        QFETCH(QList<qint64>, listed);
        QFETCH(QString, message);
        QFETCH(QString, left);
        LogFixture f;
        f.add({{"MailerNum", "9214 7123 4567 8900 0001"}, {"ToAddress1", "Ann"}}); // an earlier edition's
        f.add({{"MailerNum", "92147123456789000002"}, {"ToAddress1", "Bo"}});
        f.add({{"MailerNum", "9214 7123 4567 8900 0003 15"}, {"ToAddress1", "Cy"}});
        f.add({{"MailerNum", "9214712345678900000499"}, {"ToAddress1", "Di"}, {"Batch", "False"}});
        f.add({{"MailerNum", "9214712345678900000123"}, {"ToAddress1", "Ed"}});
        TF_IncomingMailers d(f.folder);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QTest::keyClicks(d.maskeditMailerNum, typed);
        const auto outcome = [&] {
            QStringList lids;
            for (qint64 lid : d.listedLids())
                lids << QString::number(lid);
            return lids.join(',') + " | " + f.lastMessage() + " | " + d.maskeditMailerNum->text().remove(' ');
        };
        QStringList expectedLids;
        for (qint64 lid : listed)
            expectedLids << QString::number(lid);
        const QString expected = expectedLids.join(',') + " | " + message + " | " + left;
        QTRY_COMPARE(outcome(), expected);
        // And nothing more once the entry has stopped waiting.
        auto pause = d.findChild<QTimer*>("scanPause");
        QVERIFY(pause);
        QTRY_VERIFY(!pause->isActive());
        QCOMPARE(outcome(), expected);
        const QStringList names{"Ann", "Bo", "Cy", "Di", "Ed"};
        if (!listed.isEmpty())
            QCOMPARE(d.sgMailers->item(0, 1)->text(), names[listed[0] - 1]);
    }

    // A number typed by hand waits while the digits keep coming; the Track button and Enter
    // take it at once.
    void incomingTypedNumberWaitsForThePause()
    {
        LogFixture f;
        f.add({{"MailerNum", "9214 7123 4567 8900 0001"}, {"ToAddress1", "Ann"}});
        f.add({{"MailerNum", "9214712345678900000123"}, {"ToAddress1", "Ed"}});
        TF_IncomingMailers d(f.folder);
        auto pause = d.findChild<QTimer*>("scanPause");
        QTest::keyClicks(d.maskeditMailerNum, "92147123456789000001");
        QVERIFY(pause->isActive());
        QCOMPARE(d.listedLids(), QList<qint64>());
        QTest::keyClicks(d.maskeditMailerNum, "2");
        QVERIFY(!pause->isActive());
        QTest::keyClicks(d.maskeditMailerNum, "3");
        QCOMPARE(d.listedLids(), QList<qint64>({2}));
        QTest::keyClicks(d.maskeditMailerNum, "92147123456789000001");
        QTest::keyClick(d.maskeditMailerNum, Qt::Key_Return);
        QCOMPARE(d.listedLids(), QList<qint64>({2, 1}));
        QVERIFY(!pause->isActive());
        QVERIFY(MessageService::shown().isEmpty());
    }

    void incomingByNameOffersOnlyUnlisted()
    {
        LogFixture f;
        f.add({{"MailerNum", k20}, {"ToAddress1", "Ann Lee"}, {"ToCity", "Boston"}, {"ToState", "MA"}});
        f.add({{"MailerNum", k22}, {"ToAddress2", "c/o Ann"}});
        f.add({{"MailerNum", "9214 7123 4567 8900 0006 22"}, {"ToCity", "Annapolis"}});
        TF_IncomingMailers d(f.folder);
        d.rbAddresseeName->click();
        QVERIFY(d.editData->isVisibleTo(&d) && !d.maskeditMailerNum->isVisibleTo(&d));
        d.btnTrackClick();
        QCOMPARE(f.lastMessage(), QString("Please enter a value."));
        d.editData->setText("Zed");
        d.btnTrackClick();
        QCOMPARE(f.lastMessage(), QString("Addressee name not found."));
        d.editData->setText("Lee");
        d.btnTrackClick();
        QCOMPARE(d.listedLids(), QList<qint64>({1}));

        d.editData->setText("Ann");
        QString label, tip;
        int entries = 0;
        ModalDriver driver;
        driver.on("TF_MultiMailers", [&](QWidget* w) {
            auto m = static_cast<TF_MultiMailers*>(w);
            label = m->lblMain->text();
            entries = m->lvMailers->count();
            tip = m->lvMailers->item(1)->toolTip();
            m->lvMailers->item(1)->setSelected(true);
            m->btnAddToListClick();
        });
        d.btnTrackClick();
        QCOMPARE(entries, 2);
        QCOMPARE(label, QString("We found 2 log records containing Addressee name \"Ann\".  Please select the Mailers "
                                "you'd like to add to the list."));
        QCOMPARE(tip, QString("9214 7123 4567 8900 0006 22\n\nAnnapolis"));
        QCOMPARE(d.listedLids(), QList<qint64>({1, 3}));
    }

    // Options -> Log File and Options -> Track Incoming Mailers open their windows on the
    // log folder of the settings.
    void optionsMenuOpensTheLogWindows()
    {
        testsupport::TempProgramFolder home;
        testsupport::prepareReadyProgramFolder(home.path());
        MessageService::setScripted(true);
        TdmDovraPro dm;
        TF_Main w;
        w.show();
        QTRY_VERIFY(!w.firstShowingPending());
        QVERIFY(w.miLogFile->isEnabled());
        QVERIFY(w.miTrackIncoming->isEnabled());
        QString shownPath;
        ModalDriver driver;
        driver.on("TF_Log", [&](QWidget* log) {
            shownPath = static_cast<TF_Log*>(log)->labelLogDBName->toolTip();
            clickButton(log, "btnClose");
        });
        driver.on("TF_IncomingMailers", [](QWidget* d) { clickButton(d, "btnCancel"); });
        w.miLogFile->trigger();
        w.miTrackIncoming->trigger();
        QCOMPARE(driver.seen, QStringList({"TF_Log", "TF_IncomingMailers"}));
        QCOMPARE(shownPath, w.settings.logDB + "/Log37.adt");
        w.close();
    }

    // The search box, the date fields and the column headings narrow and order the grid
    // within the saved filter; the report and the spreadsheet file take exactly those rows
    // in that order.
    void searchDatesAndSortShowTheRowsExpected_data()
    {
        QTest::addColumn<bool>("filter"); // the filter "Not batch" (Batch = False) applied
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QList<int>>("headings"); // column headings clicked, in turn
        QTest::addColumn<QStringList>("shown");
        using L = QList<int>;
        QTest::newRow("whole log, oldest first") << false << ""
                                                 << ""
                                                 << "" << L{} << QStringList{"5", "2", "1", "4", "6", "3"};
        QTest::newRow("text in any searched column, case ignored") << false << "acme"
                                                                   << ""
                                                                   << "" << L{} << QStringList{"5", "2", "1", "3"};
        QTest::newRow("search within the filter") << true << "ACME"
                                                  << ""
                                                  << "" << L{} << QStringList{"1", "3"};
        QTest::newRow("percent is a plain character") << false << "50%"
                                                      << ""
                                                      << "" << L{} << QStringList{"6"};
        QTest::newRow("number without its blanks") << false << "000115"
                                                   << ""
                                                   << "" << L{} << QStringList{"1"};
        QTest::newRow("nothing found") << false << "nobody"
                                       << ""
                                       << "" << L{} << QStringList{};
        QTest::newRow("days from and to, both included") << false << ""
                                                         << "2026-03-01"
                                                         << "2026-03-03" << L{} << QStringList{"2", "1", "4"};
        QTest::newRow("open start") << false << ""
                                    << ""
                                    << "2026-03-01" << L{} << QStringList{"5", "2"};
        QTest::newRow("dates within the filter and a search") << true << "e"
                                                              << "2026-03-02"
                                                              << "" << L{} << QStringList{"1", "4", "6", "3"};
        QTest::newRow("by recipient") << false << ""
                                      << ""
                                      << "" << L{2} << QStringList{"1", "3", "4", "5", "6", "2"};
        QTest::newRow("by recipient, clicked again: descending")
            << false << ""
            << ""
            << "" << L{2, 2} << QStringList{"2", "6", "5", "4", "3", "1"};
        QTest::newRow("newest first") << false << ""
                                      << ""
                                      << "" << L{0} << QStringList{"3", "6", "4", "1", "2", "5"};
        QTest::newRow("by result under filter and dates") << true << ""
                                                          << "2026-03-02"
                                                          << "" << L{4} << QStringList{"1", "3", "6", "4"};
        QTest::newRow("by number, searched") << false << "acme"
                                             << ""
                                             << "" << L{1} << QStringList{"2", "3", "5", "1"};
    }
    void searchDatesAndSortShowTheRowsExpected()
    {
        QFETCH(bool, filter);
        QFETCH(QString, search);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QList<int>, headings);
        QFETCH(QStringList, shown);
        LogFixture f;
        addSearchRows(f);
        f.addFilter("Not batch", "AND", {{"16", "=", "False"}});
        TF_Log w(f.settings);
        w.resize(1200, 800);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        if (filter) {
            selectFilter(w, "Not batch");
            w.btnSetFilter->click();
        }
        QTest::keyClicks(w.editSearch, search);
        QTRY_VERIFY(!w.searchPending());
        QTest::keyClicks(w.editDateFrom, from);
        QTest::keyClicks(w.editDateTo, to);
        for (int column : headings)
            clickHeading(w, column);
        QCOMPARE(gridLids(w), shown);
        QCOMPARE(w.gridLog->isEnabled(), !shown.isEmpty());

        // The report runs over the same rows in the same order.
        QStringList reported;
        TF_Log::openReports = [&](TF_Log& log) {
            LogRowSelection rows{f.folder, log.currentWhere(), log.currentOrderBy()};
            reported = f.column(rows.sql("LID"));
        };
        w.btnReport->click();
        TF_Log::openReports = nullptr;
        if (shown.isEmpty()) {
            QCOMPARE(f.lastMessage(), QString("No records available for report."));
            return;
        }
        QCOMPARE(reported, shown);

        // And so does the spreadsheet file.
        FileDialogService::setScripted(true);
        const QString file = f.home.path() + "/week.csv";
        FileDialogService::queueAnswer(file);
        w.btnExportCSV->click();
        QCOMPARE(f.lastMessage(), QString("%1 %2 exported to \"%3\".")
                                      .arg(shown.size())
                                      .arg(shown.size() == 1 ? "mailer" : "mailers")
                                      .arg(file));
        QCOMPARE(readCsv(file).column("Log ID"), shown);
    }

    // The spreadsheet file reads back, through Python's csv module, with the values of the log:
    // a byte-order mark, one header row, ISO dates, fees as numbers, and names holding commas,
    // quotes, line breaks and accents whole.
    void spreadsheetFileReadsBackWithTheLogsValues()
    {
        LogFixture f;
        addSearchRows(f);
        TF_Log w(f.settings);
        FileDialogService::setScripted(true);
        const QString chosen = f.home.path() + "/for the bookkeeper";
        FileDialogService::queueAnswer(chosen);
        w.btnExportCSV->click();
        const QString file = chosen + ".csv";
        QCOMPARE(f.lastMessage(), QString("6 mailers exported to \"%1\".").arg(file));
        const auto request = FileDialogService::requests().last();
        QCOMPARE(request.caption, QString("Export to spreadsheet (CSV)"));
        const CsvFile csv = readCsv(file);
        QVERIFY(csv.bom);
        QCOMPARE(csv.rows.size(), 7);
        QCOMPARE(csv.rows[0].size(), 31);
        QCOMPARE(csv.rows[0].mid(0, 5),
                 QStringList({"Date and Time", "Mailer Number", "Customer ID", "Serial Number", "To Address Line 1"}));
        const auto acme = csv.row("1");
        QCOMPARE(acme["Date and Time"], QString("2026-03-02 09:00:00"));
        QCOMPARE(acme["To Address Line 1"], QString("Acme, Inc."));
        QCOMPARE(acme["Comment"], QString("He said \"hi\""));
        QCOMPARE(acme["Postage Fee"], QString("4.85"));
        QCOMPARE(acme["Total Fee"], QString("8.10"));
        QCOMPARE(acme["Certified Fee"], QString());
        QCOMPARE(acme["Batch"], QString("False"));
        QCOMPARE(acme["Result"], QString("None"));
        const auto carla = csv.row("4");
        QCOMPARE(carla["To Address Line 1"], QString::fromUtf8("Carla Díaz"));
        QCOMPARE(carla["Comment"], QString("line1\nline2, more"));
        QCOMPARE(carla["Result"], QString("Received - Not Signed"));
        // Nothing is left beside the file.
        QCOMPARE(QDir(f.home.path()).entryList({"*.csv*", "*for the bookkeeper*"}, QDir::Files),
                 QStringList{"for the bookkeeper.csv"});
    }

    // Escape in the search box clears it and brings every row back; in the empty box it
    // closes the window. A date that does not read is told and changes nothing.
    void escapeClearsTheSearchAndBadDatesAreTold()
    {
        LogFixture f;
        addSearchRows(f);
        TF_Log w(f.settings);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.editSearch->setFocus();
        QTest::keyClicks(w.editSearch, "smith");
        QTRY_VERIFY(!w.searchPending());
        QCOMPARE(gridLids(w), QStringList{"2"});
        QTest::keyClick(w.editSearch, Qt::Key_Escape);
        QCOMPARE(w.editSearch->text(), QString());
        QTRY_VERIFY(!w.searchPending());
        QCOMPARE(gridLids(w).size(), 6);
        QVERIFY(w.isVisible());

        w.editDateFrom->setFocus();
        QTest::keyClicks(w.editDateFrom, "2026-13-01");
        QCOMPARE(gridLids(w).size(), 6);
        QTest::keyClick(w.editDateFrom, Qt::Key_Return);
        QVERIFY(f.lastMessage().startsWith("\"2026-13-01\" is not a date."));
        w.editDateFrom->clear();
        QTest::keyClicks(w.editDateFrom, "2026-03-04");
        QCOMPARE(gridLids(w), QStringList({"6", "3"}));

        // Delete All Records names and deletes the rows shown, no others, the search typed
        // just before it included.
        QTest::keyClicks(w.editSearch, "Eve");
        MessageService::queueAnswer(QMessageBox::Yes);
        w.btnDeleteAllRecords->click();
        QVERIFY(
            MessageService::shown().at(MessageService::shown().size() - 2).text.endsWith("1 record will be deleted."));
        QCOMPARE(f.column("select LID from Log37 order by LID"), QStringList({"1", "2", "3", "4", "5"}));

        w.editSearch->clear();
        w.editSearch->setFocus();
        QTest::keyClick(w.editSearch, Qt::Key_Escape);
        QVERIFY(!w.isVisible());
    }

    // On a log too large to search at once, a search few rows meet shows its rows as they are
    // read and says it is still searching. A key typed meanwhile starts it again for the new
    // text; Delete All Records, the spreadsheet file and the report, asked for meanwhile,
    // take every row the search finds, not those read so far.
    void searchReadInSlicesAndActionsMeanwhile_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("another key") << "key";
        QTest::newRow("Delete All Records") << "delete";
        QTest::newRow("Export to spreadsheet") << "export";
        QTest::newRow("Report") << "report";
    }
    void searchReadInSlicesAndActionsMeanwhile()
    {
        QFETCH(QString, action);
        LogFixture f;
        const int n = 6000;
        engine::Query fill;
        fill.setFolder(f.folder.toStdString());
        fill.setSql(QString("insert into Log37 (DateTime, ToAddress1, Result, Batch) with recursive c(i) as (select 0 "
                            "union all select i + 1 from c where i < %1) select datetime('2026-01-01', '+' || ((i * "
                            "7919) %% %2) || ' minutes'), 'Name ' || (i %% 613), 'None', 0 from c")
                        .arg(n - 1)
                        .arg(n * 3)
                        .replace("%%", "%")
                        .toStdString());
        fill.execSql();
        fill.disconnect();
        auto rowsOf = [&f](const QString& text) {
            return f.column("select LID from Log37 where ToAddress1 like '%" + text + "%' order by DateTime, LID");
        };
        const QStringList name17 = rowsOf("Name 17"), name171 = rowsOf("Name 171");
        TF_Log w(f.settings);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.model()->setSliceRows(50);
        FileDialogService::setScripted(true);
        const QString file = f.home.path() + "/found.csv";
        QStringList reported;
        TF_Log::openReports = [&](TF_Log& log) {
            reported = f.column(LogRowSelection{f.folder, log.currentWhere(), log.currentOrderBy()}.sql("LID"));
        };
        const auto noReports = qScopeGuard([] { TF_Log::openReports = nullptr; });
        // Acted on as the fifth slice has been read.
        int slices = 0;
        bool scanningThen = false;
        int shownThen = -1;
        QString stateThen;
        connect(w.model(), &LogModel::scanProgressed, &w, [&] {
            if (++slices != 5)
                return;
            scanningThen = w.model()->scanning();
            shownThen = w.model()->rowCount();
            stateThen = w.labelSearchState->text();
            if (action == "key") {
                QTest::keyClick(w.editSearch, '1');
            } else if (action == "delete") {
                MessageService::queueAnswer(QMessageBox::Yes);
                w.btnDeleteAllRecords->click();
            } else if (action == "export") {
                FileDialogService::queueAnswer(file);
                w.btnExportCSV->click();
            } else {
                w.btnReport->click();
            }
        });
        w.editSearch->setFocus();
        QTest::keyClicks(w.editSearch, "Name 17");
        QTRY_VERIFY(!w.searchPending());
        QVERIFY(scanningThen);
        QVERIFY(shownThen < name17.size());
        QVERIFY2(stateThen.startsWith(QString::fromUtf8("Searching\u2026 ")), qPrintable(stateThen));
        QVERIFY(name17.size() > 50);
        if (action == "key") {
            QCOMPARE(w.editSearch->text(), QString("Name 171"));
            QCOMPARE(gridLids(w), name171);
            QCOMPARE(w.labelSearchState->text(), QString("%1 mailers").arg(name171.size()));
        } else if (action == "delete") {
            QVERIFY(MessageService::shown()
                        .at(MessageService::shown().size() - 2)
                        .text.endsWith(QString("%1 records will be deleted.").arg(name17.size())));
            QCOMPARE(f.lastMessage(), QString("Records deleted."));
            QCOMPARE(f.column("select count(*) from Log37"), QStringList{QString::number(n - name17.size())});
            QCOMPARE(rowsOf("Name 17"), QStringList());
            QCOMPARE(gridLids(w), QStringList());
            QCOMPARE(w.labelSearchState->text(), QString("0 mailers"));
        } else if (action == "export") {
            QCOMPARE(f.lastMessage(), QString("%1 mailers exported to \"%2\".").arg(name17.size()).arg(file));
            QCOMPARE(readCsv(file).column("Log ID"), name17);
        } else {
            QCOMPARE(reported, name17);
        }
        if (action != "key" && action != "delete") {
            QCOMPARE(gridLids(w), name17);
            QCOMPARE(w.labelSearchState->text(), QString("%1 mailers").arg(name17.size()));
        }
    }

    void incomingOkWithAnEmptyListWritesNothing()
    {
        LogFixture f;
        f.add({{"MailerNum", k20}});
        TF_IncomingMailers d(f.folder);
        d.btnOKClick();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(f.value("Result", 1), QString("None"));
    }
};

QTEST_MAIN(TestLogWindow)
#include "test_logwindow.moc"
