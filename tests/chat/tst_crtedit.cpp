// The chat input line driven by real key presses: what Up, Down and Enter do to the history.
#include "ui/widgets/CRTEdit.h"

#include <QtTest>

class TestCRTEdit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void recall_data();
    void recall();
    void enterKey_data();
    void enterKey();
    void historyLimit();

private:
    void Enter(const QString& Line, Qt::Key Key = Qt::Key_Return);
    std::unique_ptr<TCRTEdit> Edit;
    int Beeps = 0;
};

void TestCRTEdit::init() {
    Edit = std::make_unique<TCRTEdit>();
    Beeps = 0;
    Edit->OnBeep = [this](TCRTEdit* Sender) {
        QCOMPARE(Sender, Edit.get());
        ++Beeps;
    };
    Edit->show();
}

void TestCRTEdit::Enter(const QString& Line, Qt::Key Key) {
    QTest::keyClicks(Edit.get(), Line);
    QTest::keyClick(Edit.get(), Key);
}

void TestCRTEdit::recall_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("draft"); // typed but not entered
    QTest::addColumn<QString>("keys");  // U = Up, D = Down
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("beeps");
    QTest::newRow("fresh line") << QStringList{} << "draft"
                                << "U" << QStringList{"draft"} << 1;
    QTest::newRow("back and forth")
        << QStringList{"first", "second"} << ""
        << "UUUDD" << QStringList{"second", "first", "first", "second", ""} << 1;
    QTest::newRow("down at the bottom") << QStringList{"one"} << "draft"
                                        << "DUD" << QStringList{"", "one", ""} << 0;
    QTest::newRow("empty and repeated lines kept") << QStringList{"a", "", "a"} << ""
                                                   << "UUUU" << QStringList{"a", "", "a", "a"} << 1;
}

void TestCRTEdit::recall() {
    QFETCH(QStringList, lines);
    QFETCH(QString, draft);
    QFETCH(QString, keys);
    QFETCH(QStringList, shown);
    QFETCH(int, beeps);
    for (const QString& Line : lines)
        Enter(Line);
    QTest::keyClicks(Edit.get(), draft);
    for (int I = 0; I < keys.size(); ++I) {
        QTest::keyClick(Edit.get(), Qt::Key_Home);
        QTest::keyClick(Edit.get(), keys[I] == 'U' ? Qt::Key_Up : Qt::Key_Down);
        QCOMPARE(Edit->text(), shown[I]);
        QCOMPARE(Edit->cursorPosition(), Edit->text().size());
    }
    QCOMPARE(Beeps, beeps);
}

void TestCRTEdit::enterKey_data() {
    QTest::addColumn<Qt::Key>("key");
    QTest::newRow("Return") << Qt::Key_Return;
    QTest::newRow("keypad Enter") << Qt::Key_Enter;
}

void TestCRTEdit::enterKey() {
    QFETCH(Qt::Key, key);
    QStringList Seen;
    Edit->OnEnterKey = [&](TCRTEdit* Sender) { Seen << Sender->text(); };
    Enter("hello world", key);
    QCOMPARE(Seen, QStringList{"hello world"});
    QCOMPARE(Edit->text(), QString());
    // A recalled line entered again is stored again, and the walk starts over from the bottom.
    QTest::keyClick(Edit.get(), Qt::Key_Up);
    QTest::keyClick(Edit.get(), key);
    QCOMPARE(Edit->HistoryIndex, 0);
    QCOMPARE(Edit->Histroy, (QStringList{"", "hello world", "hello world"}));
    QCOMPARE(Seen.size(), 2);
    QCOMPARE(Beeps, 0);
}

void TestCRTEdit::historyLimit() {
    for (int I = 0; I < 250; ++I)
        Enter(QString("line %1").arg(I));
    QStringList Recalled;
    while (Beeps == 0) {
        QTest::keyClick(Edit.get(), Qt::Key_Up);
        if (Beeps == 0) Recalled << Edit->text();
    }
    QCOMPARE(Recalled.size(), TCRTEdit::MaxHistory);
    QCOMPARE(Recalled.first(), QString("line 249"));
    QCOMPARE(Recalled.last(), QString("line 50"));
}

QTEST_MAIN(TestCRTEdit)
#include "tst_crtedit.moc"
