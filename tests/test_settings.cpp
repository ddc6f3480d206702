// The settings file: defaults, value rules, folders, branding.
#include "app/IniFile.h"
#include "app/Settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QString readAll(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
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
                                       {"Printer", "Printer", ""}};
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
        QTest::newRow("Yes for a boolean is the default")
            << QByteArray("[Printing]\nZeros=Yes\nBatch=Yes\n") << true << 0 << false << 0 << 0;
        QTest::newRow("label position on the sheet")
            << QByteArray("[LabelPos]\nRow=2\nCol=1\n") << true << 0 << false << 2 << 1;
        QTest::newRow("label position off the sheet")
            << QByteArray("[LabelPos]\nRow=3\nCol=-1\n") << true << 0 << false << 0 << 0;
        QTest::newRow("any whole number but 0 is true")
            << QByteArray("[printing]\r\n  zeros = 0 \r\nBATCH=-3\r\n") << false << 0 << true << 0 << 0;
        QTest::newRow("integer that is not one")
            << QByteArray("[Print Align]\nLeftRight=4.5\n") << true << 0 << false << 0 << 0;
        QTest::newRow("negative integer")
            << QByteArray("[Print Align]\nLeftRight= -7\n") << true << -7 << false << 0 << 0;
        QTest::newRow("garbage lines") << QByteArray("\x01\x02garbage\n=\n[\nLeftRight=9\n[Print Align\nLeftRight=x\n")
                                       << true << 0 << false << 0 << 0;
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
