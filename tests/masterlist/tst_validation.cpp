#include "masterlist/validation.h"
#include "net/netutils.h"

#include <QtTest>

class TestValidation : public QObject {
    Q_OBJECT
private slots:
    void knownAnswers_data();
    void knownAnswers();
    void stateNotCarriedOver();
    void differsFromPlainRc4();
    void shortChallenge();
};

void TestValidation::knownAnswers_data() {
    QTest::addColumn<QByteArray>("challenge");
    QTest::addColumn<QByteArray>("response");
    // Worked out by hand from the cipher's definition, independently of this code.
    QTest::newRow("ABCDEF") << QByteArray("ABCDEF") << QByteArray("wixlTFFB");
    QTest::newRow("xYz123") << QByteArray("xYz123") << QByteArray("ceNRV8RX");
    QTest::newRow("IHGZJE") << QByteArray("IHGZJE") << QByteArray("UtlGaBwC");
    QTest::newRow("high bytes") << QByteArray("\xff\xfe\x80\x7f\x01\x02") << QByteArray("Io43tLR8");
    QTest::newRow("longer challenge uses six bytes")
        << QByteArray("ABCDEFGHIJ") << QByteArray("wixlTFFB");
}

void TestValidation::knownAnswers() {
    QFETCH(QByteArray, challenge);
    QFETCH(QByteArray, response);
    const QByteArray Got = ComputeValidate(challenge);
    QCOMPARE(Got, response);
    QCOMPARE(Got.size(), 8);
    QVERIFY(!Got.contains('='));
}

void TestValidation::stateNotCarriedOver() {
    const QByteArray First = ComputeValidate("ABCDEF");
    ComputeValidate("xYz123");
    QCOMPARE(ComputeValidate("ABCDEF"), First);
}

void TestValidation::differsFromPlainRc4() {
    // Only zero bytes advance the index by one, as RC4 does; other challenges must differ.
    QCOMPARE(ComputeValidate(QByteArray(6, '\0')), QByteArray("ekZFhgRy"));
    QVERIFY(ComputeValidate("ABCDEF") != QByteArray("OwQGwkE0")); // RC4 with the same key
}

void TestValidation::shortChallenge() {
    // Missing bytes count as zero.
    QCOMPARE(ComputeValidate("AB"), QByteArray("wiwbJyCf"));
    QCOMPARE(ComputeValidate(""), ComputeValidate(QByteArray(6, '\0')));
}

QTEST_GUILESS_MAIN(TestValidation)
#include "tst_validation.moc"
