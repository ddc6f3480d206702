// Money text, fee arithmetic, address lines, clipboard text and button dialog layout.
#include "core/AddressLines.h"
#include "core/MoneyText.h"
#include "engine/Engine.h"
#include "widgets/ButtonDialogLayout.h"

#include <QtTest>

using Fees = QStringList; // postage, certified fee, restricted delivery, return receipt

namespace {
QString blanks(int n)
{
    return QString(n, ' ');
}

std::array<QString, 4> feeArray(const Fees& fees)
{
    return {fees[0], fees[1], fees[2], fees[3]};
}
} // namespace

class TestEntryLogic : public QObject {
    Q_OBJECT

private slots:
    void moneyText_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("expected");
        QTest::newRow("2.4") << 2.4 << blanks(10) + "2.40";
        QTest::newRow("0.39") << 0.39 << blanks(10) + "0.39";
        QTest::newRow("3") << 3.0 << blanks(10) + "3.00";
        QTest::newRow("12.5 keeps one decimal") << 12.5 << blanks(8) + "12.5";
        QTest::newRow("0.395 drops no digit") << 0.395 << blanks(10) + "0.395";
        QTest::newRow("150") << 150.0 << blanks(6) + "150.00";
        // The band edges: each step of blanks begins at its power of ten.
        QTest::newRow("10") << 10.0 << blanks(8) + "10.00";
        QTest::newRow("100") << 100.0 << blanks(6) + "100.00";
        QTest::newRow("1000") << 1000.0 << blanks(5) + "1000.00";
        QTest::newRow("0") << 0.0 << blanks(10) + "0.00";
        QTest::newRow("99.99") << 99.99 << blanks(8) + "99.99";
        QTest::newRow("thousands get five blanks") << 1234.5 << blanks(5) + "1234.5";
        QTest::newRow("10000") << 10000.0 << blanks(3) + "10000.00";
        QTest::newRow("100000") << 100000.0 << blanks(1) + "100000.00";
        QTest::newRow("negative") << -5.0 << blanks(10) + "-5.00";
    }
    void moneyText()
    {
        QFETCH(double, amount);
        QFETCH(QString, expected);
        QCOMPARE(MoneyText(amount), expected);
    }

    void feeNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("converts");
        QTest::addColumn<double>("value");
        QTest::newRow("blanks around") << "  2.4 " << true << 2.4;
        QTest::newRow("sign") << "+3" << true << 3.0;
        QTest::newRow("leading point") << ".5" << true << 0.5;
        QTest::newRow("exponent") << "1e2" << true << 100.0;
        QTest::newRow("blank") << "   " << false << 0.0;
        QTest::newRow("letters") << "abc" << false << 0.0;
        QTest::newRow("thousands separator") << "1,000" << false << 0.0;
        QTest::newRow("comma decimal") << "2,40" << false << 0.0;
        QTest::newRow("infinity") << "inf" << false << 0.0;
        QTest::newRow("overflow") << "1e999" << false << 0.0;
        QTest::newRow("blank inside") << "2 .4" << false << 0.0;
    }
    void feeNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, converts);
        QFETCH(double, value);
        const auto number = tryFeeNumber(text);
        QCOMPARE(number.has_value(), converts);
        if (converts)
            QCOMPARE(*number, value);
    }

    void storedValueThatIsNotANumberRaisesTheConversionError()
    {
        QCOMPARE(toFeeNumber(" 0.39"), 0.39);
        try {
            toFeeNumber("abc");
            QFAIL("no error");
        } catch (const engine::ConversionError& e) {
            QCOMPARE(QString(e.what()), QString("'abc' is not a valid floating point value"));
        }
    }

    void formatFee_data()
    {
        QTest::addColumn<bool>("zerosOn");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Fees>("fees");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("total");
        const Fees others{"", "2.40", "", "1.85"};
        QTest::newRow("on: blank is 0.00") << true << "" << others << blanks(10) + "0.00" << blanks(10) + "4.25";
        QTest::newRow("off: blank is a blank, total emptied") << false << "" << others << " "
                                                              << "";
        QTest::newRow("off: next field renews the total")
            << false << "2.40" << Fees{" ", "2.40", "", "1.85"} << blanks(10) + "2.40" << blanks(10) + "4.25";
        QTest::newRow("on: invalid") << true << "abc" << Fees{"abc", "2.40", "", "1.85"} << " " << blanks(10) + "4.25";
        QTest::newRow("off: invalid empties the total") << false << "abc" << Fees{"abc", "2.40", "", "1.85"} << " "
                                                        << "";
        QTest::newRow("on: explicit 0") << true << "0" << Fees{"0", "2.40", "", "1.85"} << blanks(10) + "0.00"
                                        << blanks(10) + "4.25";
        QTest::newRow("off: explicit 0 shows 0.00, empties the total")
            << false << "0" << Fees{"0", "2.40", "", "1.85"} << blanks(10) + "0.00"
            << "";
        QTest::newRow("negative is a blank, counted this once")
            << false << "-1" << Fees{"-1", "2.40", "", "1.85"} << " " << blanks(10) + "3.25";
        QTest::newRow("12.5") << true << "12.5" << Fees{"12.5", "", "", ""} << blanks(8) + "12.5" << blanks(8) + "12.5";
        QTest::newRow("typed with blanks")
            << true << " 2.4 " << Fees{"", " 2.4 ", "", ""} << blanks(10) + "2.40" << blanks(10) + "2.40";
        QTest::newRow("all four summed") << false << "3.50" << Fees{"0.39", "2.40", "3.50", "1.85"}
                                         << blanks(10) + "3.50" << blanks(10) + "8.14";
        QTest::newRow("huge") << true << "1e20" << Fees{"1e20", "", "", ""} << " 1e+20.00"
                              << " 1e+20.00";
    }
    void formatFee()
    {
        QFETCH(bool, zerosOn);
        QFETCH(QString, text);
        QFETCH(Fees, fees);
        QFETCH(QString, field);
        QFETCH(QString, total);
        const FormattedFee out = formatFeeTexts(text, feeArray(fees), zerosOn);
        QCOMPARE(out.field, field);
        QCOMPARE(out.total, total);
    }

    void postageForWeight_data()
    {
        QTest::addColumn<int>("ounces");
        QTest::addColumn<QString>("postage");
        QTest::newRow("1 ounce is the postage") << 1 << "0.39";
        QTest::newRow("3 ounces") << 3 << "0.87";
        QTest::newRow("13 ounces") << 13 << "3.27";
    }
    void postageForWeight()
    {
        QFETCH(int, ounces);
        QFETCH(QString, postage);
        QCOMPARE(::postageForWeight(0.39, 0.24, ounces), postage);
    }

    void tidyZip_data()
    {
        QTest::addColumn<QString>("zip");
        QTest::addColumn<QString>("expected");
        QTest::newRow("dangling dash") << "62704-"
                                       << "62704";
        QTest::newRow("empty mask") << "     -    "
                                    << "";
        QTest::newRow("five digits of the mask") << "62704-    "
                                                 << "62704";
        QTest::newRow("lone dash") << "-"
                                   << "";
        QTest::newRow("ZIP+4") << "62704-1234"
                               << "62704-1234";
        QTest::newRow("leading dash") << "     -1234"
                                      << "1234";
        QTest::newRow("no dash") << " 62704 "
                                 << "62704";
        QTest::newRow("empty") << ""
                               << "";
    }
    void tidyZip()
    {
        QFETCH(QString, zip);
        QFETCH(QString, expected);
        QCOMPARE(TidyZip(zip), expected);
    }

    void placeCityLine_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("city");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("zip");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("first blank line")
            << QStringList{"Jane Roe", "12 Elm St", "", "", ""} << "Springfield"
            << "IL"
            << "62704-    " << QStringList{"Jane Roe", "12 Elm St", "Springfield IL 62704", "", ""};
        QTest::newRow("no state") << QStringList{"Jane Roe", "", "", "", ""} << "Springfield"
                                  << " "
                                  << "62704" << QStringList{"Jane Roe", "Springfield 62704", "", "", ""};
        QTest::newRow("blank line between")
            << QStringList{"Jane Roe", "  ", "Apt 4", "", ""} << "Boston"
            << "MA"
            << "02108-1234" << QStringList{"Jane Roe", "Boston MA 02108-1234", "Apt 4", "", ""};
        QTest::newRow("four lines full") << QStringList{"a", "b", "c", "d", ""} << "Boston"
                                         << "MA"
                                         << "02108" << QStringList{"a", "b", "c", "d", "Boston MA 02108"};
        QTest::newRow("nothing but blanks") << QStringList{"a", "", "", "", ""} << ""
                                            << ""
                                            << "     -    " << QStringList{"a", "", "", "", ""};
    }
    void placeCityLine()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, city);
        QFETCH(QString, state);
        QFETCH(QString, zip);
        QFETCH(QStringList, expected);
        std::array<QString, 5> five = {lines[0], lines[1], lines[2], lines[3], lines[4]};
        PlaceCityLine(five, city, state, zip);
        QCOMPARE(QStringList(five.begin(), five.end()), expected);
    }

    void parseClipboardText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected"); // line1..line4, city, state, zip
        QTest::newRow("CR LF lines") << "Jane Roe\r\n12 Elm St\r\nSpringfield, IL 62704-1234\r\n"
                                     << QStringList{"Jane Roe", "12 Elm St", "", "", "Springfield", "IL", "62704-1234"};
        QTest::newRow("LF CR as Copy writes it, no final break")
            << "Jane Roe\n\r12 Elm St\n\rSpringfield IL 62704-1234"
            << QStringList{"Jane Roe", "12 Elm St", "", "", "Springfield", "IL", "62704-1234"};
        QTest::newRow("lone LF of other programs")
            << "Jane Roe\n12 Elm St\nSpringfield, IL 62704\n"
            << QStringList{"Jane Roe", "12 Elm St", "", "", "Springfield", "IL", "62704"};
        QTest::newRow("dash in the city name")
            << "Ann Lee\r\nWilkes-Barre, PA 18701" << QStringList{"Ann Lee", "", "", "", "Wilkes-Barre", "PA", "18701"};
        QTest::newRow("dash in city and ZIP")
            << "Wilkes-Barre, PA 18701-1234" << QStringList{"", "", "", "", "Wilkes-Barre", "PA", "18701-1234"};
        QTest::newRow("six lines: fifth ignored") << "l1\r\nl2\r\nl3\r\nl4\r\nl5\r\nBoston, MA 02108\r\n"
                                                  << QStringList{"l1", "l2", "l3", "l4", "Boston", "MA", "02108"};
        QTest::newRow("one line") << "Boston, MA 02108" << QStringList{"", "", "", "", "Boston", "MA", "02108"};
        QTest::newRow("trailing blanks") << "Boston, MA 02108  \r\n"
                                         << QStringList{"", "", "", "", "Boston", "MA", "02108"};
        QTest::newRow("short city line") << "NY" << QStringList{"", "", "", "", "", "", "NY"};
        QTest::newRow("no text") << "" << QStringList{"", "", "", "", "", "", ""};
        QTest::newRow("lone CR ends no line") << "Jane Roe\rBoston\r" << QStringList{"", "", "", "", "", "", ""};
        QTest::newRow("10 kB") << QString("Line\r\n").repeated(2000) + "Springfield, IL 62704"
                               << QStringList{"Line", "Line", "Line", "Line", "Springfield", "IL", "62704"};
    }
    void parseClipboardText()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        const TAddressLines a = ParseClipboardText(text);
        QCOMPARE((QStringList{a.address[0], a.address[1], a.address[2], a.address[3], a.city, a.state, a.zip}),
                 expected);
    }

    void copyText()
    {
        TAddressLines jane{{"Jane Roe", "12 Elm St", "", ""}, "Springfield", "IL", "62704-1234"};
        QCOMPARE(addressCopyText(jane).value_or("<none>"),
                 QString("Jane Roe\n\r12 Elm St\n\rSpringfield IL 62704-1234"));
        QCOMPARE(ParseClipboardText(*addressCopyText(jane)), jane);

        // Line 1 + LF CR + line 2 + LF CR + "Springfield IL 62704-1234" (25 characters).
        TAddressLines longest{{"", "", "", ""}, "Springfield", "IL", "62704-1234"};
        longest.address[0] = QString(100, 'a');
        longest.address[1] = QString(255 - 100 - 25 - 4, 'b');
        QCOMPARE(addressCopyText(longest).value_or("").size(), 255);
        longest.address[1] += 'b';
        QVERIFY(!addressCopyText(longest).has_value());
    }

    void buttonDialogLayout()
    {
        // One short button, a message wider than the window: 1000 / 325 + 3 = 6 lines.
        ButtonDialogLayout one = layoutButtonDialog(100, 1, 1000, 16);
        QCOMPARE(one.window, QSize(325, 6 * 16 + 4 * 16 + 22));
        QCOMPARE(one.message, QRect(10, 10, 305, 96));
        QCOMPARE(one.buttons, QList<QRect>{QRect(325 - 120, one.window.height() - 35, 110, 25)});

        // Three wide buttons widen the window; the first caption is the rightmost.
        ButtonDialogLayout three = layoutButtonDialog(120, 3, 200, 16);
        QCOMPARE(three.window, QSize(3 * 130 + 4 * 10, 3 * 16 + 4 * 16 + 22));
        QCOMPARE(three.buttons[0].left(), 430 - 140);
        QCOMPARE(three.buttons[2].left(), 10);
        QCOMPARE(three.buttons[2].size(), QSize(130, 25));
    }
};

QTEST_MAIN(TestEntryLogic)
#include "test_entrylogic.moc"
