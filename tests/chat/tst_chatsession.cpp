// The chat session without windows, against a real ngircd: which window each channel gets,
// auto-away, the nick policy and which file offers reach the user.
#include "chat/chatsession.h"
#include "chat/ircpal.h"
#include "config/settings.h"
#include "config/settingsstore.h"
#include "peers/ngircd.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

// Everything the session tells its windows, one line of text per event.
struct TRecorder {
    QStringList Events;
    void Attach(TChatSession& S) {
        const auto Add = [this](const QString& Text) { Events << Text; };
        const auto Channel = [](const TChannel* C) { return QString::fromUtf8(C->Name); };
        S.OnLine = [Add](int W, const QString& T, TChatColor) {
            Add(QString("line %1 %2").arg(W).arg(T));
        };
        S.OnWindowOpened = [Add](int W) { Add(QString("open %1").arg(W)); };
        S.OnChannelShown = [Add, Channel](int W, TChannel* C) {
            Add(QString("show %1 %2").arg(W).arg(Channel(C)));
        };
        S.OnWindowCleared = [Add](int W, const QString& Caption) {
            Add(QString("clear %1 %2").arg(W).arg(Caption));
        };
        S.OnWindowClosed = [Add](int W) { Add(QString("close %1").arg(W)); };
        S.OnWindowRaised = [Add](int W) { Add(QString("raise %1").arg(W)); };
        S.OnConnectedChanged = [Add](int W, bool On) {
            Add(QString("connected %1 %2").arg(W).arg(On));
        };
        S.OnDccOffer = [Add](const QByteArray& Nick, const TDccOffer& O) {
            Add(QString("offer %1 %2 %3 %4 %5")
                    .arg(Nick, O.FileName, O.Address, O.Port)
                    .arg(O.Size));
        };
    }
    // Waits for Event among those from From on; its position, or -1.
    int Wait(const QString& Event, int From = 0) {
        int At = -1;
        const auto Found = [&] { return (At = int(Events.indexOf(Event, From))) >= 0; };
        return QTest::qWaitFor(Found, 10000) ? At : -1;
    }
};

} // namespace

class TestChatSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void windows_data();
    void windows();
    void autoAway_data();
    void autoAway();
    void nickInUse();
    void nickRetries();
    void generatedNickIsKept();
    void fileOffers_data();
    void fileOffers();

private:
    // A session as "nick" in #morrow, its first window added; null when it never gets there.
    std::unique_ptr<TChatSession> Join(const QByteArray& Nick, TRecorder& Log,
                                       bool NoAutoAway = false);
    TPeer Server;
    std::unique_ptr<QTemporaryDir> Home;
    std::unique_ptr<TSettings> Settings;
};

void TestChatSession::initTestCase() {
    QVERIFY2(StartNgircd(Server), qPrintable(Server.Why));
}

void TestChatSession::init() {
    Home = std::make_unique<QTemporaryDir>();
    qputenv("SCOUTLY_HOME", Home->path().toUtf8());
    Settings = std::make_unique<TSettings>(TEdition::Morrow());
    Settings->Load();
    Settings->SetValue(TField::ChatServer, QString("127.0.0.1:%1").arg(Server.Port));
}

std::unique_ptr<TChatSession> TestChatSession::Join(const QByteArray& Nick, TRecorder& Log,
                                                    bool NoAutoAway) {
    Settings->SetValue(TField::Nick, QString::fromUtf8(Nick));
    Settings->SetFlag(TField::NoAutoAway, NoAutoAway);
    auto S = std::make_unique<TChatSession>(*Settings);
    Log.Attach(*S);
    S->AddWindow("Chat (No Channel)");
    S->ConnectChat();
    if (Log.Wait("line 1 *** You are now chatting in #morrow") < 0) return {};
    return S;
}

QString Layout(const TChatSession& S) {
    QStringList Windows;
    for (int W : S.Windows()) {
        const TChannel* C = S.ChannelOf(W);
        Windows << QString("%1:%2").arg(W).arg(C ? QString::fromUtf8(C->Name) : "-");
    }
    return Windows.join(' ');
}

void TestChatSession::windows_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("current");
    QTest::addColumn<QStringList>("events"); // in this order, among others
    QTest::newRow("the home channel takes the first window")
        << QStringList() << "1:#morrow" << 1 << QStringList{"connected 1 1"};
    QTest::newRow("another channel opens a window")
        << QStringList{"join #b"} << "1:#morrow 2:#b" << 2
        << QStringList{"open 2", "show 2 #b", "line 2 *** You are now chatting in #b"};
    QTest::newRow("leaving it closes it and brings the first forward")
        << QStringList{"join #b", "part #b"} << "1:#morrow" << 1
        << QStringList{"close 2", "raise 1", "line 1 *** You have left #b"};
    QTest::newRow("the last window stays")
        << QStringList{"part #morrow"} << "1:-" << 1
        << QStringList{"clear 1 Chat (No Channel)", "line 1 *** You have left #morrow"};
    QTest::newRow("and takes the next channel")
        << QStringList{"part #morrow", "join #c"} << "1:#c" << 1
        << QStringList{"show 1 #c", "line 1 *** You are now chatting in #c"};
    QTest::newRow("leaving the first window's channel closes it")
        << QStringList{"join #b", "part #morrow"} << "2:#b" << 2
        << QStringList{"close 1", "raise 2", "line 2 *** You have left #morrow"};
    QTest::newRow("a disconnect leaves one window")
        << QStringList{"join #b", "join #c", "quit"} << "1:-" << 1
        << QStringList{"close 3", "close 2", "clear 1 Chat (No Channel)", "connected 1 0"};
}

void TestChatSession::windows() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, events);
    TRecorder Log;
    static int Run = 0;
    auto S = Join("w" + QByteArray::number(++Run), Log);
    QVERIFY(S);
    for (const QString& Step : steps) {
        const QByteArray Channel = Step.section(' ', 1).toUtf8();
        const int From = int(Log.Events.size());
        if (Step.startsWith("join")) S->IRCClient1->Join(Channel, {});
        if (Step.startsWith("part")) S->IRCClient1->Part(Channel, {});
        if (Step == "quit") S->QuitChat(false);
        const QRegularExpression Done(Step == "quit" ? "^connected \\d 0$"
                                      : Step.startsWith("join")
                                          ? "You are now chatting in " + Channel + "$"
                                          : "You have left " + Channel + "$");
        QTRY_VERIFY(!Log.Events.mid(From).filter(Done).isEmpty());
    }
    QTEST(Layout(*S), "layout");
    QTEST(S->CurrentWindow(), "current");
    qsizetype At = 0;
    for (const QString& Event : events) {
        At = Log.Events.indexOf(Event, At);
        QVERIFY2(At >= 0,
                 qPrintable(Event + " missing, or out of order, in:\n" + Log.Events.join('\n')));
    }
}

void TestChatSession::autoAway_data() {
    QTest::addColumn<QByteArray>("nick");
    QTest::addColumn<bool>("noAutoAway");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("never looked at")
        << QByteArray("a1") << false << QStringList() << QByteArray("[AWAY]a1");
    QTest::newRow("looked at") << QByteArray("a2") << false << QStringList{"active"}
                               << QByteArray("a2");
    QTest::newRow("away and back")
        << QByteArray("a3") << false << QStringList{"wait", "active"} << QByteArray("a3");
    QTest::newRow("mind changed within the interval")
        << QByteArray("a4") << false << QStringList{"active", "wait", "inactive", "active"}
        << QByteArray("a4");
    QTest::newRow("auto-away off") << QByteArray("a5") << true << QStringList() << QByteArray("a5");
    // A nick tagged by hand is not tagged again.
    QTest::newRow("tagged once") << QByteArray("a6") << false
                                 << QStringList{"active", "nick [AWAY]a6", "inactive", "wait"}
                                 << QByteArray("[AWAY]a6");
}

void TestChatSession::autoAway() {
    QFETCH(QByteArray, nick);
    QFETCH(bool, noAutoAway);
    QFETCH(QStringList, steps);
    TRecorder Log;
    auto S = Join(nick, Log, noAutoAway);
    QVERIFY(S);
    S->activetimer.setInterval(200); // restarts it: the chat is not being looked at
    for (const QString& Step : steps) {
        if (Step == "wait") {
            QTest::qWait(500);
        } else if (Step.startsWith("nick ")) {
            S->IRCClient1->SetNick(Step.mid(5).toUtf8());
            QTRY_COMPARE(S->IRCClient1->Nick(), Step.mid(5).toUtf8());
        } else {
            S->SetChatActive(Step == "active");
        }
    }
    QTest::qWait(500);
    QTEST(S->IRCClient1->Nick(), "after");
}

void TestChatSession::nickInUse() {
    TPal Holder, AltHolder;
    QVERIFY(Holder.Open(Server.Port, "taken"));
    QVERIFY(AltHolder.Open(Server.Port, "taken_"));
    TRecorder Log;
    auto S = Join("taken", Log);
    QVERIFY(S);
    const QByteArray Nick = S->IRCClient1->Nick();
    QVERIFY2(QRegularExpression("^taken_\\d{1,3}$").match(QString(Nick)).hasMatch(),
             Nick.constData());
    QCOMPARE(Settings->Nick(), QString("taken")); // the stored nick stays
}

// Every nick refused: the stored one, the second choice, then that with a fresh number for
// each of the engine's tries; never a number on a number.
void TestChatSession::nickRetries() {
    TScriptServer Irc;
    Irc.RefuseNicks = true;
    QVERIFY(Irc.Listen());
    Settings->SetValue(TField::ChatServer, QString("127.0.0.1:%1").arg(Irc.Listener.serverPort()));
    Settings->SetValue(TField::Nick, "taken");
    TChatSession S(*Settings);
    S.AddWindow("Chat (No Channel)");
    S.ConnectChat();
    QTRY_VERIFY(!S.IRCClient1->Connected());
    QStringList Tried;
    for (const QByteArray& Line : std::as_const(Irc.Received))
        if (Line.startsWith("NICK ")) Tried << QString(Line.mid(5));
    QCOMPARE(Tried.mid(0, 2), (QStringList{"taken", "taken_"}));
    const QStringList Numbered = Tried.mid(2);
    QCOMPARE(Numbered.size(), TIRCClient::MaxNickRetries);
    QCOMPARE(QSet<QString>(Numbered.begin(), Numbered.end()).size(), Numbered.size());
    for (const QString& Nick : Numbered)
        QVERIFY2(QRegularExpression("^taken_\\d{1,3}$").match(Nick).hasMatch(), qPrintable(Nick));
    // Each try goes through a fresh copy of the handler, as events fire; no number comes twice.
    QByteArray Nick = S.IRCClient1->AltNick; // refused again: the tries start over
    QSet<QByteArray> Seen;
    for (int I = 0; I < 1000; ++I) {
        auto Copy = S.IRCClient1->OnNicksInUse;
        Copy(S.IRCClient1.get(), Nick);
        Seen.insert(Nick);
    }
    QCOMPARE(Seen.size(), 1000);
}

void TestChatSession::generatedNickIsKept() {
    Settings->SetValue(TField::Nick, QString());
    TChatSession S(*Settings);
    const QString Nick = Settings->Nick();
    QVERIFY2(QRegularExpression("^Anon\\d{1,4}$").match(Nick).hasMatch(), qPrintable(Nick));
    QCOMPARE(S.IRCClient1->Nick(), Nick.toUtf8());
    QCOMPARE(S.IRCClient1->AltNick, Nick.toUtf8() + '_');
    TSettings Later(TEdition::Morrow());
    Later.Load();
    QCOMPARE(Later.Nick(), Nick);
}

void TestChatSession::fileOffers_data() {
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QString>("event"); // empty: nothing reaches the user
    QTest::newRow("offer") << QByteArray("DCC SEND notes.txt 3405803785 2000 10")
                           << "offer pal NOTES.TXT 203.0.113.9 2000 10";
    // The server is on loopback here: a private network address may be meant.
    QTest::newRow("private, server on loopback")
        << QByteArray("DCC SEND notes.txt 167838211 2000 10")
        << "offer pal NOTES.TXT 10.1.2.3 2000 10";
    QTest::newRow("bad address") << QByteArray("DCC SEND x.txt nowhere 2000 10")
                                 << "line 1 *** 'NOWHERE' is not a valid integer value";
    QTest::newRow("reverse connection")
        << QByteArray("DCC SEND x.txt 2130706433 0 10") << QString();
    QTest::newRow("empty file") << QByteArray("DCC SEND x.txt 2130706433 2000 0") << QString();
    QTest::newRow("chat offer") << QByteArray("DCC CHAT chat 2130706433 2000") << QString();
    QTest::newRow("other query") << QByteArray("TIME") << QString();
}

void TestChatSession::fileOffers() {
    QFETCH(QByteArray, query);
    QFETCH(QString, event);
    TRecorder Log;
    static int Run = 0;
    const QByteArray Nick = "f" + QByteArray::number(++Run);
    auto S = Join(Nick, Log);
    QVERIFY(S);
    TPal Pal;
    QVERIFY(Pal.Open(Server.Port, "pal"));
    const int From = int(Log.Events.size());
    Pal.Send("PRIVMSG " + Nick + " :\x01" + query + "\x01");
    Pal.Send("PRIVMSG " + Nick + " :over");
    QVERIFY(Log.Wait("line 1 *pal* over", From) >= 0);
    const QStringList Said =
        Log.Events.mid(From).filter(QRegularExpression("^offer |^line 1 \\*\\*\\* "));
    QCOMPARE(Said, event.isEmpty() ? QStringList() : QStringList{event});
}

QTEST_GUILESS_MAIN(TestChatSession)
#include "tst_chatsession.moc"
