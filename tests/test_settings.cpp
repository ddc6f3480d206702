// The settings file: defaults, value rules, folders, branding.
#include "core/IniFile.h"
#include "core/Settings.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QString readAll(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}
QByteArray readBytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}
void writeAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(data);
}
} // namespace

class TestSettings : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString ini() const { return dir_.filePath("dovra3.ini"); }

private slots:
    void init() { QFile::remove(ini()); }

    void firstRunWritesEveryKeyWithItsDefault()
    {
        Settings s = Settings::load(ini(), "/prog");
        s.settleBranding(false);
        QCOMPARE(s.company, QString("Quelmar"));
        QCOMPARE(s.save(ini()), QString());
        const QString expected[][3] = {{"Type", "Company", "Quelmar"},
                                       {"YourAddress", "DB", "/prog/Addresses"},
                                       {"YourAddress", "ID", ""},
                                       {"Values", "Default", "1"},
                                       {"Values", "Postage", "0.39"},
                                       {"Values", "CertFee", "2.40"},
                                       {"Values", "Return", "1.85"},
                                       {"Values", "Restricted", "3.50"},
                                       {"Values", "AddOunce", "0.24"},
                                       {"Values", "RestrictedCB", "0"},
                                       {"Values", "PrintBarCode", "1"},
                                       {"Printing", "PrintExtraLabel", "Yes"},
                                       {"Printing", "ExtraLabel", "Addressed To"},
                                       {"Print Align", "LeftRight", "0"},
                                       {"Print Align", "TopBottom", "0"},
                                       {"LabelPos", "Row", "0"},
                                       {"LabelPos", "Col", "0"},
                                       {"type", "BarCodeApp", "1"},
                                       {"System Path", "MailerNumDB", "/prog"},
                                       {"System Path", "DatabaseON", "0"},
                                       {"System Path", "AddressDB", "/prog/Addresses"},
                                       {"Printing", "Zeros", "1"},
                                       {"System Path", "LogDB", "/prog/Log"},
                                       {"Printing", "Batch", "0"},
                                       {"Type", "FindMailerType", "1"},
                                       {"Printer", "PTray", "0"},
                                       {"Printer", "Printer", ""},
                                       {"Printing", "CheckAddresses", "1"}};
        const IniFile file(ini());
        const QString text = readAll(ini());
        for (const auto& e : expected) {
            QCOMPARE(file.readString(e[0], e[1], "<missing>"), e[2]);
            QVERIFY2(text.contains(QRegularExpression("(?mi)^" + e[1] + "=")), qPrintable(e[1]));
        }
        // Reading it back gives the same record.
        const Settings again = Settings::load(ini(), "/prog");
        QCOMPARE(again.logDB, s.logDB);
        QCOMPARE(again.zeros, true);
        QCOMPARE(again.company, QString("Quelmar"));
    }

    void valueRules_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("zeros");
        QTest::addColumn<int>("leftRight");
        QTest::addColumn<bool>("batch");
        QTest::addColumn<int>("labelRow");
        QTest::addColumn<int>("labelCol");
        QTest::addColumn<int>("topBottom");
        QTest::newRow("Yes for a boolean is the default")
            << QByteArray("[Printing]\nZeros=Yes\nBatch=Yes\n") << true << 0 << false << 0 << 0 << 0;
        QTest::newRow("label position on the sheet")
            << QByteArray("[LabelPos]\nRow=2\nCol=1\n") << true << 0 << false << 2 << 1 << 0;
        QTest::newRow("label position off the sheet")
            << QByteArray("[LabelPos]\nRow=3\nCol=-1\n") << true << 0 << false << 0 << 0 << 0;
        QTest::newRow("any whole number but 0 is true")
            << QByteArray("[printing]\r\n  zeros = 0 \r\nBATCH=-3\r\n") << false << 0 << true << 0 << 0 << 0;
        QTest::newRow("integer that is not one")
            << QByteArray("[Print Align]\nLeftRight=4.5\n") << true << 0 << false << 0 << 0 << 0;
        QTest::newRow("negative integer")
            << QByteArray("[Print Align]\nLeftRight= -7\n") << true << -7 << false << 0 << 0 << 0;
        QTest::newRow("offset at the dialog's limit")
            << QByteArray("[Print Align]\nLeftRight=-999\n") << true << -999 << false << 0 << 0 << 0;
        QTest::newRow("offset beyond the dialog's range")
            << QByteArray("[Print Align]\nLeftRight=1000\n") << true << 999 << false << 0 << 0 << 0;
        QTest::newRow("offset that overflows the layout")
            << QByteArray("[Print Align]\nLeftRight=2147483647\n") << true << 999 << false << 0 << 0 << 0;
        QTest::newRow("offset below the dialog's range")
            << QByteArray("[Print Align]\nLeftRight=-2147483648\nTopBottom=1000000\n") << true << -999 << false << 0
            << 0 << 999;
        QTest::newRow("garbage lines") << QByteArray("\x01\x02garbage\n=\n[\nLeftRight=9\n[Print Align\nLeftRight=x\n")
                                       << true << 0 << false << 0 << 0 << 0;
    }
    void valueRules()
    {
        QFETCH(QByteArray, file);
        writeAll(ini(), file);
        const Settings s = Settings::load(ini(), "/prog");
        QTEST(s.zeros, "zeros");
        QTEST(s.leftRight, "leftRight");
        QTEST(s.batch, "batch");
        QTEST(s.labelRow, "labelRow");
        QTEST(s.labelCol, "labelCol");
        QTEST(s.topBottom, "topBottom");
        QCOMPARE(s.postage, QString("0.39"));
    }

    void foldersLoseTrailingSeparators()
    {
        writeAll(ini(), "[System Path]\nLogDB=/shared/log//\nMailerNumDB=C:\\data\\\\\n[YourAddress]\nDB=/s/\n");
        Settings s = Settings::load(ini(), "/prog");
        s.settleBranding(false);
        QCOMPARE(s.save(ini()), QString());
        const IniFile f(ini());
        QCOMPARE(f.readString("System Path", "LogDB", ""), QString("/shared/log"));
        // The line itself, as other programs read it: no separator left after the folder.
        QVERIFY2(readAll(ini()).contains(QRegularExpression("(^|\\n)LogDB=/shared/log\\r\\n")),
                 qPrintable(readAll(ini())));
        QCOMPARE(f.readString("System Path", "MailerNumDB", ""), QString("C:\\data"));
        QCOMPARE(f.readString("YourAddress", "DB", ""), QString("/s"));
    }

    void savingKeepsLinesItDoesNotKnow()
    {
        writeAll(ini(), "; comment\n[Other]\nKey=kept\n");
        Settings s = Settings::load(ini(), "/prog");
        QCOMPARE(s.save(ini()), QString());
        QCOMPARE(IniFile(ini()).readString("other", "key", ""), QString("kept"));
        QVERIFY(readAll(ini()).startsWith("; comment"));
    }

    // Files of the earlier editions are in the Windows code page.
    void codePageOfEarlierEditions_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("extraLabel"); // written by the program
        QTest::addColumn<QString>("company");    // read back
        QTest::addColumn<QByteArray>("expected");
        const QByteArray latin = "[Type]\r\nCompany=M\xfcller & S\xf6hne\r\n[Notes]\r\nStra\xdf"
                                 "e=Caf\xe9 \x80 5\r\n";
        QTest::newRow("Windows-1252 stays so, unknown lines byte for byte")
            << latin << QString("Adressiert an Jos\u00e9 \u20ac") << QString("M\u00fcller & S\u00f6hne")
            << QByteArray("Company=M\xfcller & S\xf6hne\r\n|[Notes]\r\nStra\xdf"
                          "e=Caf\xe9 \x80 5\r\n") +
                   "|ExtraLabel=Adressiert an Jos\xe9 \x80\r\n";
        // A value the code page cannot hold turns the whole file into UTF-8, every letter kept.
        QTest::newRow("a value beyond the code page")
            << latin << QString("\u5c71\u7530") << QString("M\u00fcller & S\u00f6hne")
            << QByteArray("Company=M\xc3\xbcller & S\xc3\xb6hne\r\n|[Notes]\r\nStra\xc3\x9f"
                          "e=Caf\xc3\xa9 \xe2\x82\xac 5\r\n") +
                   "|ExtraLabel=\xe5\xb1\xb1\xe7\x94\xb0\r\n";
        QTest::newRow("UTF-8 with a byte-order mark")
            << QByteArray("\xef\xbb\xbf[Type]\r\nCompany=M\xc3\xbcller\r\n") << QString("\u00e9")
            << QString("M\u00fcller")
            << QByteArray("\xef\xbb\xbf[Type]\r\nCompany=M\xc3\xbcller\r\n") + "|ExtraLabel=\xc3\xa9\r\n";
    }
    void codePageOfEarlierEditions()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, extraLabel);
        QFETCH(QByteArray, expected);
        writeAll(ini(), file);
        Settings s = Settings::load(ini(), "/prog");
        QTEST(s.company, "company");
        s.extraLabel = extraLabel;
        QCOMPARE(s.save(ini()), QString());
        QFile f(ini());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray written = f.readAll();
        for (const QByteArray& part : expected.split('|'))
            QVERIFY2(written.contains(part), written.constData());
        QCOMPARE(Settings::load(ini(), "/prog").extraLabel, extraLabel);
    }

    // Each encoding and line end an editor may leave: read right, written back byte for byte
    // where unchanged, and a line written in the file's own encoding and line end.
    void encodingsAndLineEnds_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<QByteArray>("lineEnd");
        QTest::addColumn<QString>("logDB");
        const QString accented = QString("/srv/Caf\u00e9");
        const auto make = [](const char* codec, const QByteArray& bom, const QString& text) {
            QStringEncoder encoder(codec);
            return bom + QByteArray(encoder(text));
        };
        QTest::newRow("Windows-1252, accented letter at the end, no line break")
            << QByteArray("[Type]\r\nCompany=Quelmar\r\n[System Path]\r\nLogDB=C:\\Dovra\\Caf\xe9")
            << QByteArray("windows-1252") << QByteArray("\r\n") << QString("C:\\Dovra\\Caf\u00e9");
        QTest::newRow("UTF-16 little endian with its byte-order mark")
            << make("UTF-16LE", "\xFF\xFE", "[Type]\r\nCompany=Quelmar\r\n[System Path]\r\nLogDB=" + accented + "\r\n")
            << QByteArray("UTF-16LE") << QByteArray("\r\n") << accented;
        QTest::newRow("UTF-16 big endian with its byte-order mark")
            << make("UTF-16BE", "\xFE\xFF", "[Type]\r\nCompany=Quelmar\r\n[System Path]\r\nLogDB=" + accented + "\r\n")
            << QByteArray("UTF-16BE") << QByteArray("\r\n") << accented;
        QTest::newRow("UTF-8, lines ending in CR alone")
            << make("UTF-8", "", "[Type]\rCompany=Quelmar\r[System Path]\rLogDB=" + accented + "\r")
            << QByteArray("UTF-8") << QByteArray("\r") << accented;
    }
    void encodingsAndLineEnds()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, codec);
        QFETCH(QByteArray, lineEnd);
        QFETCH(QString, logDB);
        writeAll(ini(), file);
        QCOMPARE(Settings::load(ini(), "/prog").logDB, logDB);
        QCOMPARE(Settings::load(ini(), "/prog").company, QString("Quelmar"));

        // Saved unchanged: the same bytes.
        QCOMPARE(IniFile(ini()).save(), QString());
        QCOMPARE(readBytes(ini()), file);

        // A key added: the lines before it as they were, the new one in the file's encoding and
        // line end, the last line ended.
        {
            IniFile f(ini());
            f.writeString("System Path", "MailerNumDB", "/srv/Z\u00fcrich");
            QCOMPARE(f.save(), QString());
        }
        QStringEncoder encoder(codec.constData());
        QByteArray expected = file;
        const QByteArray encodedEnd = encoder(QString::fromLatin1(lineEnd));
        if (!expected.endsWith(encodedEnd))
            expected += encodedEnd;
        expected += QByteArray(encoder(QString("MailerNumDB=/srv/Z\u00fcrich"))) + encodedEnd;
        QCOMPARE(readBytes(ini()), expected);
        const IniFile again(ini());
        QCOMPARE(again.readString("system path", "mailernumdb", ""), QString("/srv/Z\u00fcrich"));
        QCOMPARE(again.readString("System Path", "LogDB", ""), logDB);
    }

    // Folders inside the program folder are stored relative to it, so that a copied program
    // folder works where it lands; others stay absolute. Old absolute values keep working.
    void foldersInsideTheProgramFolderAreRelative_data()
    {
        QTest::addColumn<QString>("stored"); // %1: the program folder
        QTest::addColumn<QString>("used");
        QTest::addColumn<QString>("written");
        QTest::addColumn<bool>("movesWithACopy");
        QTest::newRow("absolute, inside") << "%1/Log"
                                          << "%1/Log"
                                          << "Log" << true;
        QTest::newRow("relative") << "Log"
                                  << "%1/Log"
                                  << "Log" << true;
        QTest::newRow("relative, deeper") << "Data/Log/"
                                          << "%1/Data/Log"
                                          << "Data/Log" << true;
        QTest::newRow("the program folder itself") << "%1"
                                                   << "%1"
                                                   << "." << true;
        QTest::newRow("relative, the program folder") << "."
                                                      << "%1"
                                                      << "." << true;
        QTest::newRow("elsewhere") << "/srv/office/log"
                                   << "/srv/office/log"
                                   << "/srv/office/log" << false;
        QTest::newRow("beside, with the same beginning") << "%1-share"
                                                         << "%1-share"
                                                         << "%1-share" << false;
        QTest::newRow("Windows path of an earlier edition") << "C:\\Dovra\\Log"
                                                            << "C:\\Dovra\\Log"
                                                            << "C:\\Dovra\\Log" << false;
    }
    void foldersInsideTheProgramFolderAreRelative()
    {
        QFETCH(QString, stored);
        QFETCH(QString, used);
        QFETCH(QString, written);
        QFETCH(bool, movesWithACopy);
        const QString program = dir_.path();
        const auto in = [](QString text, const QString& folder) { return text.replace("%1", folder); };
        writeAll(ini(), ("[System Path]\r\nLogDB=" + in(stored, program) + "\r\n").toUtf8());
        Settings s = Settings::load(ini(), program);
        QCOMPARE(s.logDB, in(used, program));
        QCOMPARE(s.save(ini()), QString());
        QCOMPARE(IniFile(ini()).readString("System Path", "LogDB", ""), in(written, program));
        QCOMPARE(Settings::load(ini(), program).logDB, in(used, program));

        // The settings file copied into another program folder names that folder's places.
        QTemporaryDir copy;
        QVERIFY(QFile::copy(ini(), copy.filePath("dovra3.ini")));
        const QString moved = in(used, movesWithACopy ? copy.path() : program);
        QCOMPARE(Settings::load(copy.filePath("dovra3.ini"), copy.path()).logDB, moved);
    }

    void brandingIsSettledOnce()
    {
        Settings first = Settings::load(ini(), "/prog");
        first.settleBranding(true);
        QCOMPARE(first.company, QString("Ostrel"));
        first.save(ini());
        Settings later = Settings::load(ini(), "/prog");
        later.settleBranding(false); // the picture has gone since; the branding stays
        QCOMPARE(later.company, QString("Ostrel"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
