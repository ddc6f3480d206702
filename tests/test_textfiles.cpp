// Address and log text files: the comma-separated fields as read and written, the 8-bit
// files, export names, appending, a full disk, and the labelled log export, on real tables
// in a temporary program folder.
#include "addressbook/AddressBook.h"
#include "addressbook/AddressFileColumns.h"
#include "addressbook/TextFiles.h"
#include "app/TF_Main.h"
#include "core/datamodule/Schemas.h"
#include "engine/Query.h"
#include "tests/support/TestSupport.h"
#include "widgets/Services.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QtTest>
#include <ctime>

namespace {

QString fieldsOf(const TAddressLines& a)
{
    QStringList fields;
    for (int i = 0; i < 7; ++i)
        fields << addressField(a, i);
    return fields.join('|');
}

TAddressLines addressOf(const QStringList& fields)
{
    TAddressLines a;
    for (int i = 0; i < 7 && i < fields.size(); ++i)
        addressField(a, i) = fields[i];
    return a;
}

QByteArray contents(const QString& fileName)
{
    QFile f(fileName);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeLines(const QString& fileName, const std::vector<TAddressLines>& addresses)
{
    TextFileWriter out(fileName);
    for (const TAddressLines& a : addresses)
        out.writeLine(addressTextLine(a));
    out.close();
}

} // namespace

class TestTextFiles : public QObject {
    Q_OBJECT

private slots:
    void readsTheSevenFields_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("fields");
        QTest::newRow("written form") << "\"Acme, Inc.\",12 Main St,,,Springfield,IL,62701"
                                      << "Acme, Inc.|12 Main St|||Springfield|IL|62701";
        QTest::newRow("quoted first field, then four commas") << "\"Acme, Inc.\",,,,Springfield,IL,62701"
                                                              << "Acme, Inc.||||Springfield|IL|62701";
        QTest::newRow("blank after the closing quote shifts the rest")
            << "\"Acme, Inc.\" ,12 Main St,,,Springfield,IL,62701"
            << "Acme, Inc.||12 Main St|||Spri|IL";
        QTest::newRow("three fields") << "a,b,c"
                                      << "a|b|c||||";
        QTest::newRow("nine fields") << "1,2,3,4,5,6,7,8,9"
                                     << "1|2|3|4|5|6|7";
        QTest::newRow("empty line") << ""
                                    << "||||||";
        QTest::newRow("blanks and tabs round fields") << "  a ,\tb\t, c"
                                                      << "a|b|c||||";
        QTest::newRow("quote inside an unquoted field") << "O\"Brien,x"
                                                        << "O\"Brien|x|||||";
        QTest::newRow("quoted field without its closing quote") << "\"open, end"
                                                                << "open, end||||||";
        QTest::newRow("cut to the column widths")
            << QString(60, 'a') + ",,,," + QString(40, 'c') + ",Illinois,62701-12345678"
            << QString(50, 'a') + "||||" + QString(35, 'c') + "|Illi|62701-1234";
        QTest::newRow("a quote and a comma in one value do not survive") << "\"Say \"hi\", Bob\",x"
                                                                         << "Say|i\"|Bob\"|x|||";
    }
    void readsTheSevenFields()
    {
        QFETCH(QString, line);
        QFETCH(QString, fields);
        QCOMPARE(fieldsOf(readAddressLine(line)), fields);
    }

    // A first line is a header when two of its cells at least are known column names and no
    // other cell holds a digit; the delimiter is the one that makes the most names.
    void detectsHeaderLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("found"); // delimiter as text and the mapping, or "none"
        QTest::newRow("LibreOffice CSV") << "Name,Company,Street,City,State,Zip Code"
                                         << ", 0|1|2||3|4|5";
        QTest::newRow("quoted names") << "\"Name\",\"Address\",\"City\",\"State\",\"ZIP\""
                                      << ", 0|1|||2|3|4";
        QTest::newRow("tabs, first and last name") << "First Name\tLast Name\tAddress\tAddress 2\tCity\tST\tZIP\tPhone"
                                                   << "tab 0+1|2|3||4|5|6";
        QTest::newRow("semicolons, mixed order") << "zip code;E-mail;city;state;Street Address;Contact Name"
                                                 << "; 5|4|||2|3|0";
        QTest::newRow("the program's own seven fields") << "Address 1,Address 2,Address 3,Address 4,City,State,Zip"
                                                        << ", 0|1|2|3|4|5|6";
        QTest::newRow("postal code and province") << "Organization,Mailing Address,Town,Province,Postal Code"
                                                  << ", 0|1|||2|3|4";
        QTest::newRow("an address line") << "Ann Smith,12 Main St,,,Erie,PA,16501"
                                         << "none";
        QTest::newRow("data that looks like names") << "City Hall,,,,City,State,16501"
                                                    << "none";
        QTest::newRow("one known name") << "Name,Notes"
                                        << "none";
        QTest::newRow("empty") << ""
                               << "none";
    }
    void detectsHeaderLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, found);
        const std::optional<HeaderLine> header = detectHeaderLine(line);
        QString seen = "none";
        if (header) {
            const ColumnMapping mapping = matchColumns(header->columns);
            QStringList fields;
            for (const std::vector<int>& sources : mapping.sources) {
                QStringList columns;
                for (int c : sources)
                    columns << QString::number(c);
                fields << columns.join('+');
            }
            seen = (header->delimiter == u'\t' ? QString("tab") : QString(header->delimiter)) + ' ' + fields.join('|');
        }
        QCOMPARE(seen, found);
    }

    void splitsSpreadsheetLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("plain") << " a , b ,,c"
                               << "," << QStringList{"a", "b", "", "c"};
        QTest::newRow("quoted delimiter and quotes") << "\"Smith, Jones\",\"4 \"\"B\"\" St\",x"
                                                     << "," << QStringList{"Smith, Jones", "4 \"B\" St", "x"};
        QTest::newRow("tabs keep commas") << "Acme, Inc.\t12 Main\t"
                                          << "\t" << QStringList{"Acme, Inc.", "12 Main", ""};
        QTest::newRow("quote inside a cell") << "5\" pipe,x"
                                             << "," << QStringList{"5\" pipe", "x"};
    }
    void splitsSpreadsheetLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, delimiter);
        QFETCH(QStringList, cells);
        QCOMPARE(splitDelimitedLine(line, delimiter.at(0)), cells);
    }

    void readCsvFieldMovesThePosition()
    {
        const QString line = "\"a\" ,b";
        int position = 1;
        QCOMPARE(ReadCsvField(line, position), QString("a"));
        QCOMPARE(position, 5); // past the closing quote and the blank taken as separator
        QCOMPARE(ReadCsvField(line, position), QString());
        QCOMPARE(position, 6);
        QCOMPARE(ReadCsvField(line, position), QString("b"));
        QCOMPARE(ReadCsvField(line, position), QString()); // past the end
    }

    void writesTheWrittenForm()
    {
        const TAddressLines acme = addressOf({" Acme, Inc. ", "12 Main St", "", "", "Springfield", "IL", "62701"});
        QCOMPARE(addressTextLine(acme), QString("\"Acme, Inc.\",12 Main St,,,Springfield,IL,62701"));
        QCOMPARE(QuoteCsvField("Say \"hi\""), QString("Say \"hi\""));
        QCOMPARE(QuoteCsvField("a,b"), QString("\"a,b\""));
    }

    void roundTripThroughAFile()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath("list.txt");
        const std::vector<TAddressLines> addresses = {
            addressOf({"Acme, Inc.", "12 Main St", "", "", "Springfield", "IL", "62701"}),
            addressOf({"Café Müller", "", "", "", "Zürich", "", ""}),
            addressOf({"O\"Brien", "", "", "", "", "", ""}),
        };
        writeLines(name, addresses);
        const QByteArray bytes = contents(name);
        QVERIFY(bytes.contains("Caf\xE9 M\xFCller,,,,Z\xFCrich,,\r\n")); // Windows-1252, CR LF
        const QStringList lines = textFileLines(decodeTextFile(bytes));
        QCOMPARE(lines.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(fieldsOf(readAddressLine(lines[i])), fieldsOf(addresses[i]));

        // Exporting again appends.
        writeLines(name, addresses);
        QCOMPARE(textFileLines(decodeTextFile(contents(name))).size(), 6);
    }

    void decodesUtf8WithAByteOrderMark()
    {
        QCOMPARE(textFileLines(decodeTextFile("\xEF\xBB\xBF"
                                              "Caf\xC3\xA9,x\r\nb")),
                 (QStringList{"Café,x", "b"}));
        QCOMPARE(textFileLines(decodeTextFile("Caf\xE9\n\nx\r")), (QStringList{"Café", "", "x"}));
        QCOMPARE(textFileLines(decodeTextFile("")), QStringList{});
        // One mark only: a second is a character of the text.
        QCOMPARE(textFileLines(decodeTextFile("\xEF\xBB\xBF\xEF\xBB\xBF")), QStringList{QString(QChar(0xFEFF))});
    }

    // How the bytes of an import file are read: as UTF-8 whenever they are valid UTF-8,
    // with or without a byte-order mark, else as Windows-1252; never a replacement
    // character. The whole-file reading and the preview's index agree.
    void encodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("utf8");
        const QByteArray bom = "\xEF\xBB\xBF";
        QTest::newRow("UTF-8 without a mark (a spreadsheet on Linux)")
            << QByteArray("Ren\xC3\xA9\x65") << "Renée" << true;
        QTest::newRow("UTF-8 with a mark") << bom + "Ren\xC3\xA9\x65"
                                           << "Renée" << true;
        QTest::newRow("UTF-8 beyond the code page")
            << QByteArray("\xC5\x81ukasz \xC5\xBB\xC3\xB3\xC5\x82\xC4\x87") << "Łukasz Żółć" << true;
        QTest::newRow("UTF-8 four bytes") << QByteArray("\xF0\x9F\x93\xAE") << "📮" << true;
        QTest::newRow("plain ASCII") << QByteArray("Main St") << "Main St" << true;
        QTest::newRow("Windows-1252") << QByteArray("Ren\xE9\x65") << "Renée" << false;
        QTest::newRow("Windows-1252 after a UTF-8 mark") << bom + "Ren\xE9\x65"
                                                         << "Renée" << false;
        QTest::newRow("Windows-1252 0x80-0x9F") << QByteArray("\x80 \x93x\x94 \x8A") << "€ “x” Š" << false;
        QTest::newRow("bytes the code page leaves open")
            << QByteArray("\x81\x8D\x8F\x90\x9D") << "\u0081\u008D\u008F\u0090\u009D" << false;
        QTest::newRow("overlong UTF-8 is not UTF-8") << QByteArray("\xC0\xAF") << "À¯" << false;
        QTest::newRow("an encoded surrogate is not UTF-8") << QByteArray("\xED\xA0\x80") << "í\u00A0€" << false;
        QTest::newRow("past U+10FFFF is not UTF-8") << QByteArray("\xF4\x90\x80\x80") << "ô\u0090€€" << false;
        QTest::newRow("a character cut short at the end") << QByteArray("abc\xC3") << "abcÃ" << false;
    }
    void encodings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(bool, utf8);
        QCOMPARE(decodeTextFile(bytes), text);
        QVERIFY(!decodeTextFile(bytes).contains(QChar::ReplacementCharacter));

        QTemporaryDir dir;
        const QString name = dir.filePath("import.csv");
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
        file.write(bytes + ",Erie\r\n" + body + "\n");
        file.close();
        const AddressFileIndex index(name);
        QCOMPARE(index.encoding() == TextEncoding::Utf8, utf8);
        QCOMPARE(index.lineCount(), 2);
        QCOMPARE(index.address(0).address[0], text.trimmed().left(50));
        QCOMPARE(index.address(0).address[1], QString("Erie"));
        QCOMPARE(index.address(1).address[0], text.trimmed().left(50));
    }

    // The preview's index finds the same lines as reading the whole file, whatever ends them.
    void indexesLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("only a mark") << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("CR LF") << QByteArray("a,b\r\nc,d\r\n");
        QTest::newRow("no end on the last line") << QByteArray("a\r\nb");
        QTest::newRow("LF, CR and CR LF mixed") << QByteArray("a\nb\rc\r\n\r\n\nd");
        QTest::newRow("empty lines") << QByteArray("\n\n\r\r");
    }
    void indexesLines()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString name = dir.filePath("import.csv");
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        const QStringList lines = textFileLines(decodeTextFile(bytes));
        const AddressFileIndex index(name);
        QCOMPARE(index.lineCount(), lines.size());
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(fieldsOf(index.address(i)), fieldsOf(readAddressLine(lines[i])));
    }

    // Files joined one after the other: the byte-order mark that opens a later line is
    // dropped, once.
    void dropsAMarkOpeningALaterLine()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath("joined.csv");
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("a\r\n\xEF\xBB\xBFz,Erie\n\xEF\xBB\xBF\xEF\xBB\xBFq\n");
        file.close();
        const AddressFileIndex index(name);
        QCOMPARE(index.lineCount(), 3);
        QCOMPARE(fieldsOf(index.address(1)), QString("z|Erie|||||"));
        QCOMPARE(index.address(2).address[0], QString(QChar(0xFEFF)) + "q");
    }

    // A UTF-8 character across the index's reading steps, and a file changed after it was
    // indexed.
    void indexesALargeFileAndNoticesAChange()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath("import.csv");
        QByteArray bytes;
        const QByteArray line = "Ren\xC3\xA9\x65,Erie\r\n"; // 13 bytes: some line crosses 4 MiB in its "é"
        while (bytes.size() < (5 << 20))
            bytes += line;
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        const AddressFileIndex index(name);
        QCOMPARE(index.encoding(), TextEncoding::Utf8);
        QCOMPARE(index.lineCount(), bytes.size() / line.size());
        QCOMPARE(index.address(index.lineCount() - 1).address[0], QString("Renée"));
        index.checkUnchanged();
        QVERIFY(file.open(QIODevice::Append));
        file.write("Bob\r\n");
        file.close();
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, index.checkUnchanged());
    }

    void refusesFilesItCannotPreview()
    {
        QTemporaryDir dir;
        const QString binary = dir.filePath("picture.csv");
        QFile file(binary);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("GIF89a\0\0\x01", 9));
        file.close();
        for (const QString& name : {binary, dir.filePath("missing.csv")}) {
            try {
                AddressFileIndex index(name);
                QFAIL("read");
            } catch (const std::runtime_error& e) {
                QVERIFY2(QString::fromUtf8(e.what()).contains(name), e.what());
            }
        }
        // A file past the limit is refused by its size, before any of it is read: a sparse
        // file, so that the test writes nothing.
        const QString huge = dir.filePath("huge.csv");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        file.setFileName(huge);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(AddressFileIndex::kMaxBytes + 1));
        file.close();
        try {
            AddressFileIndex index(huge);
            QFAIL("read");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains("too large to preview"), e.what());
        }
    }

    // What the writer does with each character in each encoding: copied, or refused with
    // the character named; never replaced.
    void writerEncodings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("utf8");
        QTest::addColumn<QByteArray>("bytes"); // empty: refused
        QTest::newRow("Latin-1 in the code page") << "Café" << false << QByteArray("Caf\xE9\r\n");
        QTest::newRow("euro and quotes in the code page") << "€ “x”" << false << QByteArray("\x80 \x93x\x94\r\n");
        QTest::newRow("Polish refused by the code page") << "Łukasz Żółć" << false << QByteArray();
        QTest::newRow("Hindi refused by the code page") << "राम" << false << QByteArray();
        QTest::newRow("Polish in UTF-8, with a mark")
            << "Łukasz" << true << QByteArray("\xEF\xBB\xBF\xC5\x81ukasz\r\n");
        QTest::newRow("ASCII in UTF-8") << "Bob" << true
                                        << QByteArray("\xEF\xBB\xBF"
                                                      "Bob\r\n");
    }
    void writerEncodings()
    {
        QFETCH(QString, text);
        QFETCH(bool, utf8);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString name = dir.filePath("out.txt");
        TextFileWriter out(name, utf8 ? TextEncoding::Utf8 : TextEncoding::Windows1252);
        if (bytes.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, out.writeLine(text));
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, out.writeUtf8(text.toStdString()));
            QCOMPARE(windows1252Carries(text), false);
            return;
        }
        out.writeLine(text);
        out.close();
        QCOMPARE(contents(name), bytes);
        QCOMPARE(decodeTextFile(contents(name)), text + "\r\n");
        // An export appending to this file keeps its encoding.
        QCOMPARE(exportEncodingOf(name) == TextEncoding::Utf8, utf8);
    }

    // Before an export: the rows that hold characters the code page lacks, told by key and
    // first line; then the file in UTF-8 keeps them.
    void findsRowsTheCodePageCannotCarry()
    {
        testsupport::ProgramFixture f;
        const QString folder = f.home.path() + "/Addresses/Clients";
        QDir().mkpath(folder);
        createAddressDatabaseTables(folder);
        engine::Query q;
        q.setFolder(folder.toStdString());
        insertAddresses(q, "Address",
                        {addressOf({"Renée Café", "", "", "", "Erie", "PA", "16501"}),
                         addressOf({"Łukasz Żółć", "", "", "", "Kraków", "", ""}),
                         addressOf({"Bob", "", "", "", "Łódź", "", ""})});
        RowsOutsideEncoding rows = addressesOutsideWindows1252(q, "Address");
        QCOMPARE(rows.count, 2);
        QCOMPARE(rows.shown, (QStringList{"address 2: Łukasz Żółć", "address 3: Bob"}));
        rows = addressesOutsideWindows1252(q, "Address", 1);
        QCOMPARE(rows.count, 2);
        const QString question = encodingQuestion(rows, "/tmp/out.txt");
        QVERIFY2(question.startsWith("2 records hold characters that the Windows code page (Windows-1252) cannot "
                                     "carry:\n\naddress 2: Łukasz Żółć\n... and 1 more"),
                 qPrintable(question));
        QVERIFY(question.contains("as UTF-8"));

        const QString name = f.home.file("out.txt");
        {
            TextFileWriter out(name, TextEncoding::Utf8);
            QCOMPARE(exportAddresses(q, "Address", out), 3);
            out.close();
        }
        const QStringList lines = textFileLines(decodeTextFile(contents(name)));
        QCOMPARE(lines, (QStringList{"Renée Café,,,,Erie,PA,16501", "Łukasz Żółć,,,,Kraków,,", "Bob,,,,Łódź,,"}));
        // In the code page the export stops at the first such row instead of replacing.
        TextFileWriter out(f.home.file("cp.txt"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, exportAddresses(q, "Address", out));
    }

    void exportFileNames_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("used");
        QTest::newRow("no extension") << "/tmp/list"
                                      << "/tmp/list.txt";
        QTest::newRow("upper case does not count") << "/tmp/list.TXT"
                                                   << "/tmp/list.TXT.txt";
        QTest::newRow(".txt inside the name") << "/tmp/my.txt.backup"
                                              << "/tmp/my.txt.backup";
        QTest::newRow("already .txt") << "/tmp/list.txt"
                                      << "/tmp/list.txt";
    }
    void exportFileNames()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, used);
        QCOMPARE(exportFileName(chosen), used);
    }

    void aFullDiskIsAnError()
    {
        if (!QFile::exists("/dev/full"))
            QSKIP("no /dev/full here");
        TextFileWriter out("/dev/full");
        out.writeLine("a line");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, out.close());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, TextFileWriter("/nonexistent/folder/x.txt"));
    }

    void exportsAndAddsAddresses()
    {
        testsupport::ProgramFixture f;
        const QString folder = f.home.path() + "/Addresses/Clients";
        QDir().mkpath(folder);
        createAddressDatabaseTables(folder);
        engine::Query q;
        q.setFolder(folder.toStdString());
        std::vector<TAddressLines> many(1201, addressOf({"Ann's", "", "", "", "Erie", "PA", "16501"}));
        many.back() = addressOf({"Acme, Inc.", "12 Main St", "", "", "Springfield", "IL", "62701"});
        insertAddresses(q, "Address", many);
        const QString name = f.home.file("out.txt");
        {
            TextFileWriter out(name);
            QCOMPARE(exportAddresses(q, "Address", out), 1201);
            out.close();
        }
        const QStringList lines = textFileLines(decodeTextFile(contents(name)));
        QCOMPARE(lines.size(), 1201);
        QCOMPARE(lines.first(), QString("Ann's,,,,Erie,PA,16501"));
        QCOMPARE(lines.last(), QString("\"Acme, Inc.\",12 Main St,,,Springfield,IL,62701"));
    }

    // The Date and Time lines are the workstation's short date and long time of the stored
    // local times, with the zone's name, as local time gives them row after row, also
    // through the hour that a change of the clock skips or repeats.
    void exportsDatesInTheLocalTimeZone_data()
    {
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QStringList>("zoneNames");
        QTest::newRow("no clock changes") << "UTC"
                                          << "2026-03-01 20:00:00" << QStringList{"UTC"};
        QTest::newRow("summer time begins") << "Europe/Berlin"
                                            << "2026-03-28 20:00:00" << QStringList{"CET", "CEST"};
        QTest::newRow("summer time ends") << "Europe/Berlin"
                                          << "2026-10-24 20:00:00" << QStringList{"CEST", "CET"};
        QTest::newRow("daylight time ends") << "America/New_York"
                                            << "2026-10-31 20:00:00" << QStringList{"EDT", "EST"};
    }
    void exportsDatesInTheLocalTimeZone()
    {
        QFETCH(QString, zone);
        QFETCH(QString, first);
        QFETCH(QStringList, zoneNames);
        testsupport::EnvironmentValue tz("TZ", zone);
        tzset();
        const auto resetZone = qScopeGuard([] { tzset(); });
        testsupport::ProgramFixture f;
        QDir().mkpath(f.settings.logDB);
        f.dm.CreateTable(f.settings.logDB, "Log37", schema::Log37);
        engine::Query q;
        q.setFolder(f.settings.logDB.toStdString());
        // Every 20 minutes and 7 seconds for ten hours.
        constexpr int kRows = 30;
        q.setSql("insert into Log37 (DateTime, MailerNum, Batch, Result) with recursive n(i) as (select 0 union all "
                 "select i + 1 from n where i < " +
                 std::to_string(kRows - 1) + ") select datetime(" + engine::quoted(first.toStdString()) +
                 ", '+' || (i * 1207) || ' seconds'), '9214', False, 'None' from n");
        q.execSql();
        const QString name = f.home.file("log.txt");
        {
            TextFileWriter out(name);
            QCOMPARE(exportLog(q, out), kRows);
            out.close();
        }
        const QStringList lines = textFileLines(decodeTextFile(contents(name)));
        const QLocale locale = QLocale::system();
        const QString format = locale.dateFormat(QLocale::ShortFormat) + ' ' + locale.timeFormat(QLocale::LongFormat);
        // Stepped as the stored text is, by the clock on the wall.
        QDateTime stored = QDateTime::fromString(first, "yyyy-MM-dd HH:mm:ss");
        stored.setTimeZone(QTimeZone::utc());
        QStringList names;
        for (int row = 0; row < kRows; ++row, stored = stored.addSecs(1207)) {
            const QString line = lines.value(row * 31);
            QCOMPARE(line, "Date and Time = " + locale.toString(QDateTime(stored.date(), stored.time()), format));
            const QString zoneName = line.section(' ', -1); // none for a time the clock skips
            if (!zoneName.isEmpty() && !names.contains(zoneName))
                names << zoneName;
        }
        QCOMPARE(names, zoneNames);
    }

    void exportsTheLog()
    {
        testsupport::ProgramFixture f;
        QDir().mkpath(f.settings.logDB);
        f.dm.CreateTable(f.settings.logDB, "Log37", schema::Log37);
        engine::Query q;
        q.setFolder(f.settings.logDB.toStdString());
        q.setSql("insert into Log37 (DateTime, MailerNum, SerialNum, ToAddress1, Batch, Result) values "
                 "('2026-03-02 14:05:09', '9214 7123', 42, 'Second', True, 'None'), "
                 "('2026-03-01 08:00:00', '9214 7124', 7, 'First', False, 'Received - Signed')");
        q.execSql();
        const QString name = f.home.file("log.txt");
        {
            TextFileWriter out(name);
            QList<QPair<int, int>> heard;
            QCOMPARE(exportLog(q, out, [&heard](int written, int total) { heard.append({written, total}); }), 2);
            QCOMPARE(heard, (QList<QPair<int, int>>{{2, 2}}));
            out.close();
        }
        const QStringList lines = textFileLines(decodeTextFile(contents(name)));
        QCOMPARE(lines.size(), 62);
        QVERIFY(lines[0].startsWith("Date and Time = "));
        QVERIFY2(lines[0].contains("8") && lines[0].contains("00"), qPrintable(lines[0]));
        QCOMPARE(lines[3], QString("Serial Number = 7"));
        QCOMPARE(lines[4], QString("To Address Line 1 = First"));
        QCOMPARE(lines[27], QString("Batch = False"));
        QCOMPARE(lines[28], QString("Result = Received - Signed"));
        QCOMPARE(lines[29], QString());
        QCOMPARE(lines[30], QString());
        QCOMPARE(lines[31 + 4], QString("To Address Line 1 = Second"));
        QCOMPARE(lines[31 + 27], QString("Batch = True"));
        QStringList labels;
        for (int i = 0; i < 29; ++i)
            labels << lines[i].section(" = ", 0, 0);
        QCOMPARE(labels.mid(18, 5), (QStringList{"Postage Fee", "Certified Fee", "Return Receipt Fee",
                                                 "Restricted Delivery", "Total Fee"}));
    }
    // A log export that fails part-way lets go of the log: this window's next Print, and a
    // second process writing the log as another workstation does, go ahead at once.
    void failedLogExportLeavesTheLogFree_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::newRow("disk full") << "disk full";
        QTest::newRow("a date that does not read") << "bad date";
    }
    void failedLogExportLeavesTheLogFree()
    {
        QFETCH(QString, cause);
        if (cause == "disk full" && !QFile::exists("/dev/full"))
            QSKIP("no /dev/full here");
        testsupport::TempProgramFolder home;
        testsupport::EnvironmentValue pdfDir("DOVRA_PDF_DIR", home.path() + "/Printed");
        testsupport::prepareReadyProgramFolder(home.path());
        MessageService::setScripted(true);
        MessageService::clearShown();
        FileDialogService::setScripted(true);
        TdmDovraPro dm;
        TF_Main w;
        const QString log = w.settings.logDB;
        engine::Query q;
        q.setFolder(log.toStdString());
        // More rows than one step of the export reads, so the failure comes mid-way.
        q.setSql("with recursive n(i) as (select 1 union all select i + 1 from n where i < 5000) "
                 "insert into Log37 (DateTime, MailerNum, ToAddress1, Batch, Result) "
                 "select '2026-03-01 08:00:00', 'm' || i, 'Recipient ' || i, False, 'None' from n");
        q.execSql();
        if (cause == "bad date") {
            q.setSql("insert into Log37 (DateTime, MailerNum, Batch, Result) values ('2026-03-02 someday', 'x', "
                     "False, 'None')");
            q.execSql();
        }
        q.disconnect();
        const QString target = home.file("export.txt");
        if (cause == "disk full")
            QVERIFY(QFile::link("/dev/full", target));
        FileDialogService::queueAnswer(target);
        w.miLogExport->trigger();
        const QStringList shown = testsupport::shownMessageTexts();
        QVERIFY(!shown.isEmpty());
        QVERIFY2(!shown.last().startsWith("Export completed"), qPrintable(shown.last()));

        // Another workstation logs a mailer: no waiting for a lock.
        QProcess other;
        other.start("sqlite3", {"-bail", log + "/Log37.adt",
                                "insert into Log37 (DateTime, MailerNum, Batch, Result) values "
                                "('2026-03-03 09:00:00', 'other', False, 'None')"});
        QVERIFY(other.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(other.readAllStandardError()), QString());
        QCOMPARE(other.exitCode(), 0);

        // And this window prints.
        testsupport::LockWait wait(200);
        MessageService::clearShown();
        w.memoToAddress->setPlainText("Jane Roe\n4 Elm St");
        w.editToCity->setText("Dover");
        w.editToState->setText("DE");
        w.editToZip->setText("19901-0001");
        QVERIFY2(w.btnPrintClick(), qPrintable(testsupport::shownMessageTexts().join(" | ")));
        for (const QString& text : testsupport::shownMessageTexts())
            QVERIFY2(!text.contains("locked"), qPrintable(text));
        q.setFolder(log.toStdString());
        q.setSql("select count(*) from Log37 where MailerNum like '9214 %'");
        q.open();
        QCOMPARE(q.asInteger(q.fieldName(0)), std::int64_t(1));
    }
};

QTEST_MAIN(TestTextFiles)
#include "test_textfiles.moc"
