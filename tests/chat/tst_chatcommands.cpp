// Lines typed into a chat window: what each one sends and what the window shows for it.
#include "chat/chatcommands.h"

#include <QtTest>

Q_DECLARE_METATYPE(TChatCommand::TKind)
Q_DECLARE_METATYPE(TChatColor)

class TestChatCommands : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
};

void TestChatCommands::parse_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("channel");
    QTest::addColumn<bool>("engine");
    QTest::addColumn<TChatCommand::TKind>("kind");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("echo");
    QTest::addColumn<TChatColor>("color");
    using C = TChatCommand;
    using K = TChatColor;
    const QByteArray Morrow = "#morrow";
    QTest::newRow("said") << "hello pal" << Morrow << true << C::Say << Morrow
                          << QByteArray("hello pal") << "<tester> hello pal" << K::Black;
    QTest::newRow("said, no engine") << "hello" << Morrow << false << C::Nothing << QByteArray()
                                     << QByteArray() << "<tester> hello" << K::Black;
    QTest::newRow("said, no channel")
        << "hello" << QByteArray() << true << C::Nothing << QByteArray() << QByteArray()
        << "*** You are not on a chat channel" << K::Red;
    // The channel's bytes go back as they came, valid UTF-8 or not.
    QTest::newRow("said in a Windows-1252 channel")
        << "hi" << QByteArray("#caf\xe9") << true << C::Say << QByteArray("#caf\xe9")
        << QByteArray("hi") << "<tester> hi" << K::Black;
    QTest::newRow("action") << "/me waves" << Morrow << true << C::Action << Morrow
                            << QByteArray(" waves") << "* tester waves" << K::Purple;
    QTest::newRow("action, no channel") << "/me waves" << QByteArray() << true << C::Nothing
                                        << QByteArray() << QByteArray() << QString() << K::Black;
    QTest::newRow("message, trimmed")
        << "/msg pal   hi there  " << Morrow << true << C::PrivMsg << QByteArray("pal")
        << QByteArray("hi there") << "*tester* hi there" << K::Blue;
    QTest::newRow("message, any case")
        << "/MsG pal x" << QByteArray() << true << C::PrivMsg << QByteArray("pal")
        << QByteArray("x") << "*tester* x" << K::Blue;
    QTest::newRow("message, no engine") << "/msg pal hi" << Morrow << false << C::Nothing
                                        << QByteArray() << QByteArray() << QString() << K::Black;
    QTest::newRow("notice keeps the blank")
        << "/notice pal hey" << Morrow << true << C::Notice << QByteArray("pal")
        << QByteArray(" hey") << "-tester-  hey" << K::Green;
    QTest::newRow("topic of this channel")
        << "/topic fresh topic" << Morrow << true << C::Topic << Morrow << QByteArray("fresh topic")
        << QString() << K::Black;
    QTest::newRow("topic of another channel")
        << "/topic #other new words" << Morrow << true << C::Topic << QByteArray("#other")
        << QByteArray(" new words") << QString() << K::Black;
    QTest::newRow("topic, no channel")
        << "/topic fresh topic" << QByteArray() << true << C::Topic << QByteArray("fresh")
        << QByteArray("fresh topic") << QString() << K::Black;
    QTest::newRow("leave this channel")
        << "/leave" << Morrow << true << C::Part << Morrow << QByteArray() << QString() << K::Black;
    QTest::newRow("leave another") << "/leave #x" << Morrow << true << C::Part << QByteArray(" #x")
                                   << QByteArray() << QString() << K::Black;
    QTest::newRow("channel list") << "/LIST" << QByteArray() << true << C::ChannelList
                                  << QByteArray() << QByteArray() << QString() << K::Black;
    QTest::newRow("anything else as typed")
        << "/kick #morrow pal :behave" << Morrow << true << C::Raw << QByteArray()
        << QByteArray(" kick #morrow pal :behave") << QString() << K::Black;
    QTest::newRow("slash alone") << "/" << Morrow << true << C::Raw << QByteArray()
                                 << QByteArray(" ") << QString() << K::Black;
    QTest::newRow("typed text leaves as UTF-8")
        << QString::fromUtf8("/msg pal \u00a1Vamos!") << Morrow << true << C::PrivMsg
        << QByteArray("pal") << QByteArray("\xc2\xa1Vamos!")
        << QString::fromUtf8("*tester* \u00a1Vamos!") << K::Blue;
}

void TestChatCommands::parse() {
    QFETCH(QString, line);
    QFETCH(QByteArray, channel);
    QFETCH(bool, engine);
    TChatContext Context{channel, "tester", engine};
    const TChatCommand C = ParseChatLine(line, Context);
    QTEST(C.Kind, "kind");
    if (C.Kind != TChatCommand::Nothing) {
        QTEST(C.Target, "target");
        QTEST(C.Text, "text");
    }
    QTEST(C.Echo, "echo");
    if (!C.Echo.isEmpty()) QTEST(C.EchoColor, "color");
}

QTEST_APPLESS_MAIN(TestChatCommands)
#include "tst_chatcommands.moc"
