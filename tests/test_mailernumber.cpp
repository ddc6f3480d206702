// Mailer Numbers: building, check digit, grouping and the serial's steps.
#include "core/MailerNumber.h"
#include "engine/Engine.h"

#include <QtTest>

class TestMailerNumber : public QObject {
    Q_OBJECT
private slots:
    void build_data();
    void build();
    void buildIsAlwaysTwentyTwoDigits_data();
    void buildIsAlwaysTwentyTwoDigits();
    void group();
    void advance_data();
    void advance();
    void advanceRefusesText_data();
    void advanceRefusesText();
    void countingDirection();
    void split_data();
    void split();
};

void TestMailerNumber::build_data()
{
    QTest::addColumn<QString>("customerId");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("number");

    // Check digits worked by hand with the GS1 modulo-10 rule (weight 3 on the rightmost
    // digit of the body).
    QTest::newRow("own number") << "123456789"
                                << "0000001"
                                << "T"
                                << "9214712345678900000015";
    QTest::newRow("return receipt") << "123456789"
                                    << "0000001"
                                    << "F"
                                    << "9290912345678900000019";
    QTest::newRow("empty kind is T") << "123456789"
                                     << "0000001"
                                     << ""
                                     << "9214712345678900000015";
    QTest::newRow("other kind is T") << "123456789"
                                     << "0000001"
                                     << "x"
                                     << "9214712345678900000015";
    QTest::newRow("all zeros") << "000000000"
                               << "0000000"
                               << "T"
                               << "9214700000000000000003";
    QTest::newRow("short serial padded") << "123456789"
                                         << "12"
                                         << "T"
                                         << "9214712345678900000121";
    QTest::newRow("short id padded") << "1234"
                                     << "0000001"
                                     << "T"
                                     << "9214700000123400000012";
    QTest::newRow("dashed id") << "12-345-6789"
                               << "0000001"
                               << "T"
                               << "9214712345678900000015";
    QTest::newRow("old zero id") << "00-000-0000"
                                 << "0000000"
                                 << "T"
                                 << "9214700000000000000003";
    // Ten digits within 32 bits: the first nine stay.
    QTest::newRow("ten digit id") << "1234567890"
                                  << "0000001"
                                  << "T"
                                  << "9214712345678900000015";
    // Eleven digits do not fit 32 bits, nor does 2147483648: nine zeros.
    QTest::newRow("eleven digit id") << "12345678901"
                                     << "0000000"
                                     << "T"
                                     << "9214700000000000000003";
    QTest::newRow("id beyond 32 bits") << "2147483648"
                                       << "0000000"
                                       << "T"
                                       << "9214700000000000000003";
    QTest::newRow("eight digit serial") << "000000000"
                                        << "12345678"
                                        << "T"
                                        << "9214700000000012345673";
    QTest::newRow("serial beyond 32 bits") << "000000000"
                                           << "99999999999"
                                           << "T"
                                           << "9214700000000000000003";
    QTest::newRow("letters in id") << "12345678A"
                                   << "0000000"
                                   << "T"
                                   << "9214700000000000000003";
    QTest::newRow("letters in serial") << "000000000"
                                       << "12a"
                                       << "T"
                                       << "9214700000000000000003";
    QTest::newRow("empty id and serial") << ""
                                         << ""
                                         << "T"
                                         << "9214700000000000000003";
    QTest::newRow("blank in id") << " 12345678"
                                 << "0000000"
                                 << "T"
                                 << "9214700000000000000003";
    QTest::newRow("plus sign in id") << "+12345678"
                                     << "0000000"
                                     << "T"
                                     << "9214700000000000000003";
    QTest::newRow("sign in serial") << "000000000"
                                    << "+000012"
                                    << "T"
                                    << "9214700000000000000003";
    QTest::newRow("blank serial") << "000000000"
                                  << "       "
                                  << "T"
                                  << "9214700000000000000003";
}

void TestMailerNumber::build()
{
    QFETCH(QString, customerId);
    QFETCH(QString, serial);
    QFETCH(QString, kind);
    QFETCH(QString, number);
    QCOMPARE(BuildMailerNumber(customerId, serial, kind), number);
}

void TestMailerNumber::buildIsAlwaysTwentyTwoDigits_data()
{
    QTest::addColumn<QString>("customerId");
    QTest::addColumn<QString>("serial");
    QTest::newRow("negative id") << "-12345678"
                                 << "0000001";
    QTest::newRow("negative serial") << "123456789"
                                     << "-000001";
    QTest::newRow("blanks") << "  1 2 3  "
                            << " 1 ";
    QTest::newRow("long junk") << "99999999999999999999"
                               << "x9999999999999999999";
}

void TestMailerNumber::buildIsAlwaysTwentyTwoDigits()
{
    QFETCH(QString, customerId);
    QFETCH(QString, serial);
    for (const QString kind : {"T", "F"}) {
        const QString number = BuildMailerNumber(customerId, serial, kind);
        QVERIFY2(QRegularExpression("^\\d{22}$").match(number).hasMatch(), qPrintable(number));
    }
}

void TestMailerNumber::group()
{
    QCOMPARE(GroupMailerNumber("9214712345678900000015"), QString("9214 7123 4567 8900 0000 15"));
    QCOMPARE(GroupMailerNumber("9214712345678900000015").size(), 27);
}

void TestMailerNumber::advance_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("next");
    QTest::newRow("up") << "0000001" << true << "0000002";
    QTest::newRow("up carries") << "0000099" << true << "0000100";
    QTest::newRow("up wraps") << "9999999" << true << "0000000";
    QTest::newRow("down") << "0000100" << false << "0000099";
    QTest::newRow("down wraps") << "0000000" << false << "9999999";
    QTest::newRow("short text padded") << "12" << true << "0000013";
    // Texts that read as zero but are not "0000000" still wrap into seven digits.
    QTest::newRow("short zero down wraps") << "0" << false << "9999999";
    QTest::newRow("negative stays in range") << "-5" << true << "9999996";
}

void TestMailerNumber::advance()
{
    QFETCH(QString, serial);
    QFETCH(bool, up);
    QFETCH(QString, next);
    QCOMPARE(AdvanceSerial(serial, up ? SerialDirection::Up : SerialDirection::Down), next);
}

void TestMailerNumber::advanceRefusesText_data()
{
    QTest::addColumn<QString>("serial");
    QTest::newRow("letters") << "00000A1";
    QTest::newRow("empty") << "";
    QTest::newRow("beyond 32 bits") << "99999999999";
}

void TestMailerNumber::advanceRefusesText()
{
    QFETCH(QString, serial);
    try {
        AdvanceSerial(serial, SerialDirection::Up);
        QFAIL("no conversion error");
    } catch (const engine::ConversionError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), "'" + serial + "' is not a valid integer value");
    }
}

void TestMailerNumber::countingDirection()
{
    // With bar codes on the serial counts up whatever the stored direction says.
    QCOMPARE(CountingDirection(true, false), SerialDirection::Up);
    QCOMPARE(CountingDirection(true, true), SerialDirection::Up);
    QCOMPARE(CountingDirection(false, true), SerialDirection::Up);
    QCOMPARE(CountingDirection(false, false), SerialDirection::Down);
}

void TestMailerNumber::split_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("customerId");
    QTest::addColumn<QString>("serial");
    QTest::newRow("own number") << "9214712345678900000015" << true << "123456789"
                                << "0000001";
    QTest::newRow("return-receipt number") << "9290912345678900000019" << false << ""
                                           << "";
    QTest::newRow("wrong check digit") << "9214712345678900000016" << false << ""
                                       << "";
    QTest::newRow("twenty digits") << "92147123456789000000" << false << ""
                                   << "";
    QTest::newRow("grouped") << "9214 7123 4567 8900 0000 15" << false << ""
                             << "";
    QTest::newRow("empty") << "" << false << ""
                           << "";
}

void TestMailerNumber::split()
{
    QFETCH(QString, number);
    QFETCH(bool, valid);
    QFETCH(QString, customerId);
    QFETCH(QString, serial);
    QString id, s;
    QCOMPARE(SplitMailerNumber(number, id, s), valid);
    QCOMPARE(id, customerId);
    QCOMPARE(s, serial);
}

QTEST_MAIN(TestMailerNumber)
#include "test_mailernumber.moc"
