// Records without the network: reply parsing, players, rules, columns and class references.
#include "servers/customserver.h"
#include "servers/serverfilter.h"

#include <QtTest>

#include <cstring>

namespace {

// Opens the protocol steps of a record class to the tests.
template <class Base> class TProbe : public Base {
public:
    TProbe() : Base("10.0.0.1", "27900") {}
    void Parse(const QByteArray& Reply) {
        this->ReplyText = Reply;
        this->ParseReply();
    }
    bool Add(const QByteArray& Datagram) { return this->AddPacket(Datagram); }
    void ParseRulesOf(const QByteArray& Text) { this->ParseRules(Text); }
};
using TMorrowProbe = TProbe<TMorrowServer>;
using TSQPProbe = TProbe<TSQPServer>;
using THLProbe = TProbe<THLServer>;

// Half-Life reply datagrams, built byte by byte.
QByteArray Cs(const QByteArray& Text) {
    return Text + '\0';
}
QByteArray Le(quint32 Value, int Bytes) {
    QByteArray Result;
    for (int I = 0; I < Bytes; ++I)
        Result += char((Value >> (8 * I)) & 0xff);
    return Result;
}
QByteArray LeFloat(float Value) {
    quint32 Bits;
    std::memcpy(&Bits, &Value, 4);
    return Le(Bits, 4);
}
QByteArray HLHeader(char Type) {
    return QByteArray(4, '\xff') + Type;
}
QByteArray HLInfo(const QByteArray& Dir, int Current = 2, const QByteArray& Tail = "\x10\x2f") {
    return HLHeader('C') + Cs("10.0.0.1:27015") + Cs("HL One") + Cs("de_dust") + Cs(Dir) +
           Cs("Counter-Strike") + char(Current) + Tail;
}
QByteArray HLPlayer(int Index, const QByteArray& Name, qint32 Frags, float Time) {
    return char(Index) + Cs(Name) + Le(quint32(Frags), 4) + LeFloat(Time);
}
QByteArray HLPlayers(int Count, const QByteArray& Body) {
    return HLHeader('D') + char(Count) + Body;
}
QByteArray HLRules(int Count, const QByteArray& Body) {
    return HLHeader('E') + Le(quint32(Count), 2) + Body;
}
const QByteArray TwoPlayers = HLPlayer(0, "Bob", 5, 59.7f) + HLPlayer(1, "Ann", -3, 0.4f);
const QByteArray TwoRules = Cs("mp_timelimit") + Cs("30") + Cs("sv_gravity") + Cs("800");

// A literal with its NUL bytes.
template <size_t N> QByteArray Bytes(const char (&Text)[N]) {
    return QByteArray(Text, N - 1);
}

QByteArrayList RuleTexts(const TCustomServer& S) {
    QByteArrayList Result;
    for (const TRule& R : S.Rules)
        Result << R.Key + '=' + R.Value;
    return Result;
}

QByteArrayList Columns(const TCustomPlayer& P) {
    QList<QByteArray> Strings;
    P.GetColumnTexts(Strings);
    return Strings;
}

} // namespace

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    void classReferences();
    void rules_data();
    void rules();
    void fullReply();
    void playerKeysByProtocol();
    void playersWithoutKeys();
    void gamePort_data();
    void gamePort();
    void playerColumns_data();
    void playerColumns();
    void replyAssembly();
    void hostileReplies_data();
    void hostileReplies();
    void notRespondingMark();
    void halfLifeReplies_data();
    void halfLifeReplies();
    void filterRules_data();
    void filterRules();
};

void TestRecords::classReferences() {
    TServerClass Morrow = &TMorrowServer::Class;
    QCOMPARE(Morrow->PlayerClass(), &TMorrowPlayer::Class);
    QCOMPARE(TSQPServer::Class.PlayerClass(), &TSQPPlayer::Class);
    QCOMPARE(Morrow->ColumnCount(), 5);
    const TColumnCaptions Expected{{"Server Name", ckText},
                                   {"Ping", ckNumber},
                                   {"Players", ckFraction},
                                   {"Map", ckText},
                                   {"Game Type", ckText}};
    QCOMPARE(Morrow->ColumnCaptions(), Expected);
    QCOMPARE(TSQPServer::Class.ColumnCaptions(), Expected);

    // The virtual constructor makes a record of the class it was called on.
    auto Record = Morrow->Create("10.0.0.5", "7778");
    QCOMPARE(Record->ClassType(), Morrow);
    QCOMPARE(Record->Address, QByteArray("10.0.0.5"));
    QCOMPARE(Record->QueryPort, QByteArray("7778"));
    QCOMPARE(Record->GamePort, QByteArray("7778"));
    QCOMPARE(Record->Ping, 9999);
    QCOMPARE(Record->Timeout, 2000);
    QCOMPARE(Record->MaxRetries, 1);
    QVERIFY(!Record->Busy);

    auto Player = TMorrowPlayer::Class.Create("\\player\\Bob\\mesh\\Human\\skin\\Knight");
    QCOMPARE(Player->ClassType(), &TMorrowPlayer::Class);
    QCOMPARE(Columns(*Player).last(), QByteArray("Human\\Knight"));

    QCOMPARE(TCustomPlayer::Class.ColumnCount(), 3);
    QCOMPARE(TSQPPlayer::Class.ColumnCount(), 5);
    QCOMPARE(TMorrowPlayer::Class.ColumnCount(), 5);
    QCOMPARE(THLPlayer::Class.ColumnCount(), 3);
    QCOMPARE(TSQPPlayer::Class.ColumnCaptions().at(2), (TColumnCaption{"Deaths", ckText}));
    QCOMPARE(TSQPPlayer::Class.ColumnCaptions().at(3), (TColumnCaption{"Ping", ckNumber}));
    QCOMPARE(TMorrowPlayer::Class.ColumnCaptions().at(4), (TColumnCaption{"Skin", ckText}));
    QCOMPARE(THLPlayer::Class.ColumnCaptions().at(2), (TColumnCaption{"Time", ckText}));
}

void TestRecords::rules_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("rules");
    QTest::newRow("bookkeeping dropped")
        << QByteArray("\\final\\\\queryid\\1.1\\gamename\\x\\mode\\ctf")
        << QByteArrayList{"mode=ctf"};
    QTest::newRow("high bytes dropped")
        << QByteArray("\\m\xe9ssage\\caf\xe9") << QByteArrayList{"mssage=caf"};
    QTest::newRow("control bytes dropped, value joined")
        << QByteArray("\\a\\x\ty\\b\\2") << QByteArrayList{"a=xy", "b=2"};
    QTest::newRow("empty key skipped") << QByteArray("\\\\v\\k\\w") << QByteArrayList{"k=w"};
    QTest::newRow("key without value")
        << QByteArray("\\a\\1\\lonely") << QByteArrayList{"a=1", "lonely="};
    QTest::newRow("case matters") << QByteArray("\\Final\\1\\QUERYID\\2")
                                  << QByteArrayList{"Final=1", "QUERYID=2"};
    QTest::newRow("duplicates kept in order")
        << QByteArray("\\a\\1\\a\\2") << QByteArrayList{"a=1", "a=2"};
    QTest::newRow("nothing") << QByteArray("no backslash") << QByteArrayList{};
}

void TestRecords::rules() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, rules);
    TSQPProbe S;
    S.AddRule("old", "rule");
    S.ParseRulesOf(text);
    QCOMPARE(RuleTexts(S), rules);
}

void TestRecords::fullReply() {
    TMorrowProbe S;
    S.Parse("\\hostname\\Alpha\\hostport\\7777\\maxplayers\\16\\numplayers\\2\\mapname\\dm1"
            "\\gametype\\ctf\\gamemode\\openplaying\\location\\3\\gamever\\1.2"
            "\\player_0\\Bob\\frags_0\\5\\deaths_0\\2\\ping_0\\40\\team_0\\red\\id_0\\7"
            "\\mesh_0\\Human\\skin_0\\Knight\\player_1\\Eve\\frags_1\\-1\\ping_1\\x"
            "\\player_2\\Ghost\\frags_2\\9\\timelimit\\20\\final\\\\queryid\\1.1");
    QCOMPARE(S.ServerName, QByteArray("Alpha"));
    QCOMPARE(S.GamePort, QByteArray("7777"));
    QCOMPARE(S.QueryPort, QByteArray("27900"));
    QCOMPARE(S.MaxPlayers, 16);
    QCOMPARE(S.NumPlayers, 2);
    QCOMPARE(S.MapName, QByteArray("dm1"));
    QCOMPARE(S.GameType, QByteArray("ctf"));
    QCOMPARE(S.GameMode, QByteArray("openplaying"));
    QCOMPARE(S.Location, 3);
    QCOMPARE(S.GameVersion, QByteArray("1.2"));

    QCOMPARE(S.Players.size(), size_t(2));
    const auto& Bob = static_cast<const TMorrowPlayer&>(*S.Players[0]);
    QCOMPARE(Bob.Name, QByteArray("Bob"));
    QCOMPARE(Bob.Frags, 5);
    QCOMPARE(Bob.Deaths, 2);
    QCOMPARE(Bob.Ping, 40);
    QCOMPARE(Bob.Team, QByteArray("red"));
    QCOMPARE(Bob.Id, QByteArray("7"));
    QCOMPARE(Columns(Bob), (QByteArrayList{"Bob", "5", "40", "red", "Human\\Knight"}));
    const auto& Eve = static_cast<const TMorrowPlayer&>(*S.Players[1]);
    QCOMPARE(Eve.Frags, -1);
    QCOMPARE(Eve.Ping, 0); // not a number
    QCOMPARE(Columns(Eve), (QByteArrayList{"Eve", "-1", "0", "", "\\"}));

    // Player keys beyond the count stay behind as rules; server keys never do.
    QCOMPARE(RuleTexts(S), (QByteArrayList{"player_2=Ghost", "frags_2=9", "timelimit=20"}));

    QList<QByteArray> Row;
    S.GetColumnTexts(Row);
    QCOMPARE(Row.size(), 5);
    QCOMPARE(Row, (QByteArrayList{"Alpha", QByteArray::number(S.Ping), "2/16", "dm1", "ctf"}));
}

void TestRecords::playerKeysByProtocol() {
    const QByteArray Reply = "\\numplayers\\1\\player_0\\Bob\\deaths_0\\4\\mesh_0\\M\\skin_0\\S";
    TSQPProbe Plain;
    Plain.Parse(Reply);
    QCOMPARE(Columns(*Plain.Players[0]), (QByteArrayList{"Bob", "0", "4", "0", ""}));
    // A plain key/value server does not know mesh and skin: they are rules there.
    QCOMPARE(RuleTexts(Plain), (QByteArrayList{"mesh_0=M", "skin_0=S"}));
    TMorrowProbe Morrow;
    Morrow.Parse(Reply);
    QCOMPARE(Columns(*Morrow.Players[0]).last(), QByteArray("M\\S"));
    QVERIFY(Morrow.Rules.isEmpty());
}

void TestRecords::playersWithoutKeys() {
    TMorrowProbe S;
    S.Parse("\\numplayers\\3\\final\\");
    QCOMPARE(S.Players.size(), size_t(3));
    for (const auto& P : S.Players) {
        QCOMPARE(P->Name, QByteArray());
        QCOMPARE(P->Frags, 0);
        QCOMPARE(P->Ping, 0);
    }
    // A second parse replaces the players instead of adding to them.
    S.Parse("\\numplayers\\1\\player_0\\Solo");
    QCOMPARE(S.Players.size(), size_t(1));
    QCOMPARE(S.Players[0]->Name, QByteArray("Solo"));
}

void TestRecords::gamePort_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("gamePort");
    QTest::newRow("given") << QByteArray("\\hostport\\7777") << QByteArray("7777");
    QTest::newRow("absent") << QByteArray("\\hostname\\x") << QByteArray("27900");
    QTest::newRow("empty") << QByteArray("\\hostport\\\\x\\y") << QByteArray("27900");
    // The game port lands on the game's command line: nothing but a port is accepted.
    QTest::newRow("extra arguments")
        << QByteArray("\\hostport\\7777 +exec evil.cfg") << QByteArray("27900");
    QTest::newRow("option") << QByteArray("\\hostport\\-log") << QByteArray("27900");
    QTest::newRow("zero") << QByteArray("\\hostport\\0") << QByteArray("27900");
    QTest::newRow("too large") << QByteArray("\\hostport\\65536") << QByteArray("27900");
}

void TestRecords::gamePort() {
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, gamePort);
    TMorrowProbe S;
    S.Parse(reply);
    QCOMPARE(S.GamePort, gamePort);
    QCOMPARE(S.QueryPort, QByteArray("27900"));
}

void TestRecords::playerColumns_data() {
    QTest::addColumn<QByteArray>("playerClass");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("columns");
    QTest::newRow("custom") << QByteArray("TCustomPlayer")
                            << QByteArray("\\player\\A\\frags\\2\\ping\\9")
                            << QByteArrayList{"A", "2", "9"};
    QTest::newRow("key/value") << QByteArray("TSQPPlayer")
                               << QByteArray("\\player\\A\\frags\\2\\deaths\\1\\ping\\9\\team\\b")
                               << QByteArrayList{"A", "2", "1", "9", "b"};
    QTest::newRow("half-life 125 s")
        << QByteArray("THLPlayer") << QByteArray("\\player\\A\\time\\125")
        << QByteArrayList{"A", "0", "2m 5s"};
    QTest::newRow("half-life 60 s")
        << QByteArray("THLPlayer") << QByteArray("\\time\\60") << QByteArrayList{"", "0", "1m 0s"};
    QTest::newRow("half-life 0 s")
        << QByteArray("THLPlayer") << QByteArray("\\time\\0") << QByteArrayList{"", "0", "0m 0s"};
}

void TestRecords::playerColumns() {
    QFETCH(QByteArray, playerClass);
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, columns);
    for (TPlayerClass Class :
         {&TCustomPlayer::Class, &TSQPPlayer::Class, &TMorrowPlayer::Class, &THLPlayer::Class}) {
        if (playerClass != Class->ClassName) continue;
        auto Player = Class->Create(text);
        QCOMPARE(Columns(*Player), columns);
        QCOMPARE(int(Columns(*Player).size()), Class->ColumnCount());
        return;
    }
    QFAIL("unknown class");
}

void TestRecords::replyAssembly() {
    TMorrowProbe S;
    QVERIFY(!S.Add("\\hostname\\Al"));
    QVERIFY(S.Add("pha\\numplayers\\0\\final\\\\queryid\\1.2"));
    QCOMPARE(S.ReplyText, QByteArray("\\hostname\\Alpha\\numplayers\\0\\final\\\\queryid\\1.2"));
    // "\final" counts anywhere in a datagram, even without its closing backslash.
    QVERIFY(S.Add("xx\\final"));

    // A flood of datagrams never grows the reply past its cap.
    TMorrowProbe Flooded;
    for (int I = 0; I < 10; ++I)
        QVERIFY(!Flooded.Add(QByteArray(60000, 'x')));
    QCOMPARE(Flooded.ReplyText.size(), TSQPServer::MaxReplyBytes);
    QVERIFY(Flooded.Add("\\final\\"));
}

void TestRecords::hostileReplies_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("players");
    QTest::addColumn<int>("numPlayers");

    QTest::newRow("empty") << QByteArray() << 0 << 0;
    QTest::newRow("64 KB of backslashes") << QByteArray(65536, '\\') << 0 << 0;
    QTest::newRow("64 KB of pairs") << QByteArray("\\k\\v").repeated(16384) << 0 << 0;
    QTest::newRow("NUL bytes") << Bytes("\\hostname\\A\0B\\numplayers\\1\0\0\0") << 1 << 1;
    QTest::newRow("all NUL") << QByteArray(4096, '\0') << 0 << 0;
    QTest::newRow("keys without values")
        << QByteArray("\\hostname\\\\numplayers\\\\maxplayers\\\\player_0\\") << 0 << 0;
    QTest::newRow("overflowing numbers")
        << QByteArray("\\numplayers\\99999999999999999999\\maxplayers\\-99999999999999") << 0 << 0;
    QTest::newRow("negative count") << QByteArray("\\numplayers\\-5") << 0 << -5;
    // A claimed million players with no keys: the count is shown, the records are capped.
    QTest::newRow("million players")
        << QByteArray("\\numplayers\\1000000") << TSQPServer::MaxPlayerRecords << 1000000;
    QTest::newRow("many players, large text")
        << QByteArray("\\numplayers\\5000") + QByteArray("\\x\\y").repeated(10000)
        << TSQPServer::MaxPlayerRecords << 5000;
}

void TestRecords::hostileReplies() {
    QFETCH(QByteArray, reply);
    QFETCH(int, players);
    QFETCH(int, numPlayers);
    TMorrowProbe S;
    S.Parse(reply);
    QCOMPARE(int(S.Players.size()), players);
    QCOMPARE(S.NumPlayers, numPlayers);
    QVERIFY(S.Rules.size() <= reply.size() / 2 + 1);
    for (const TRule& R : S.Rules) {
        QVERIFY(!R.Key.contains('\0'));
        QVERIFY(!R.Value.contains('\\'));
    }
}

void TestRecords::notRespondingMark() {
    TMorrowProbe S;
    S.ServerName = "Alpha";
    S.Responded = true;
    S.Ping = 12;
    MarkNotResponding(S);
    QCOMPARE(S.ServerName, QByteArray("Alpha"));
    QCOMPARE(S.Ping, 12);
    S.Responded = false;
    MarkNotResponding(S);
    MarkNotResponding(S);
    QCOMPARE(S.ServerName, QByteArray("NOT RESPONDING Alpha"));
    QCOMPARE(S.Ping, 9999);
}

void TestRecords::halfLifeReplies_data() {
    QTest::addColumn<QList<QByteArray>>("datagrams");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QByteArray>("gameType");
    QTest::addColumn<int>("numPlayers");
    QTest::addColumn<QByteArrayList>("players"); // column texts joined by "|"
    QTest::addColumn<QByteArrayList>("rules");

    const QByteArrayList Both{"Bob|5|1m 0s", "Ann|-3|0m 0s"};
    const QByteArrayList Rules{"mp_timelimit=30", "sv_gravity=800"};
    QTest::newRow("all three") << QList<QByteArray>{HLInfo("cstrike"), HLPlayers(2, TwoPlayers),
                                                    HLRules(2, TwoRules)}
                               << true << QByteArray("cstrike") << 2 << Both << Rules;
    QTest::newRow("any order, game dir with path")
        << QList<QByteArray>{HLRules(2, TwoRules), HLPlayers(2, TwoPlayers), HLInfo("valve/x")}
        << true << QByteArray("x") << 2 << Both << Rules;
    QTest::newRow("drive in game dir")
        << QList<QByteArray>{HLInfo("c:\\games/tfc"), HLPlayers(0, {}), HLRules(0, {})} << true
        << QByteArray("tfc") << 0 << QByteArrayList{} << QByteArrayList{};
    // The players reply's count wins over the info reply's.
    QTest::newRow("players count replaces info count")
        << QList<QByteArray>{HLInfo("cstrike", 9), HLPlayers(2, TwoPlayers), HLRules(2, TwoRules)}
        << true << QByteArray("cstrike") << 2 << Both << Rules;
    QTest::newRow("truncated second player")
        << QList<QByteArray>{HLInfo("cstrike"),
                             HLPlayers(2, TwoPlayers.left(TwoPlayers.size() - 2)),
                             HLRules(2, TwoRules)}
        << true << QByteArray("cstrike") << 2 << QByteArrayList{"Bob|5|1m 0s"} << Rules;
    QTest::newRow("count beyond the data")
        << QList<QByteArray>{HLInfo("cstrike"), HLPlayers(200, TwoPlayers),
                             HLRules(30000, TwoRules)}
        << true << QByteArray("cstrike") << 200 << Both << Rules;
    QTest::newRow("rule count zero")
        << QList<QByteArray>{HLInfo("cstrike"), HLPlayers(2, TwoPlayers), HLRules(0, TwoRules)}
        << true << QByteArray("cstrike") << 2 << Both << QByteArrayList{};
    QTest::newRow("rule count negative")
        << QList<QByteArray>{HLInfo("cstrike"), HLPlayers(2, TwoPlayers), HLRules(-2, TwoRules)}
        << true << QByteArray("cstrike") << 2 << Both << QByteArrayList{};
    // Short, empty and unknown datagrams are not replies.
    QTest::newRow("noise only") << QList<QByteArray>{QByteArray(), QByteArray("\xff\xff\xff\xff"),
                                                     HLHeader('Z') + "x"}
                                << false << QByteArray() << 0 << QByteArrayList{}
                                << QByteArrayList{};
    QTest::newRow("info only") << QList<QByteArray>{HLInfo("cstrike", 3)} << false
                               << QByteArray("cstrike") << 3 << QByteArrayList{}
                               << QByteArrayList{};
    QTest::newRow("info without its last bytes")
        << QList<QByteArray>{HLInfo("cstrike", 3, {}), HLPlayers(0, {}), HLRules(0, {})} << true
        << QByteArray("cstrike") << 0 << QByteArrayList{} << QByteArrayList{};
}

void TestRecords::halfLifeReplies() {
    QFETCH(QList<QByteArray>, datagrams);
    QFETCH(bool, complete);
    QFETCH(QByteArray, gameType);
    QFETCH(int, numPlayers);
    QFETCH(QByteArrayList, players);
    QFETCH(QByteArrayList, rules);
    THLProbe S;
    bool Done = false;
    for (const QByteArray& D : datagrams)
        Done = S.Add(D);
    QCOMPARE(Done, complete);
    S.Parse(S.ReplyText);
    QCOMPARE(S.GameType, gameType);
    QCOMPARE(S.NumPlayers, numPlayers);
    QCOMPARE(S.GameMode, QByteArray("openplaying"));
    QCOMPARE(S.GamePort, S.QueryPort);
    QByteArrayList Players;
    for (const auto& P : S.Players)
        Players << Columns(*P).join('|');
    QCOMPARE(Players, players);
    QCOMPARE(RuleTexts(S), rules);
    if (!S.InfoReply.isEmpty()) {
        QCOMPARE(S.ServerName, QByteArray("HL One"));
        QCOMPARE(S.MapName, QByteArray("de_dust"));
    }
}

namespace {
struct TFilterCase {
    const char* Label;
    QByteArray Name, Map, Type;
    int NumPlayers, MaxPlayers, Ping;
    QList<QByteArray> Players;
};

// Alpha has a plain player, Gamma is full and its player hides behind control codes, Delta
// never answered, Echo has a 500-character name and one in Windows-1252.
const QList<TFilterCase>& FilterCases() {
    static const QList<TFilterCase> Cases{
        {"alpha", "Alpha Arena", "DM-Deck16", "DeathMatch", 1, 8, 40, {"Bob"}},
        {"beta", "Beta [CTF]", "CTF-Face", "CTF", 0, 8, 120, {}},
        {"gamma", "G\xc3\xa4mma.*", "dm2", "dm", 2, 2, 300, {"\x03\x1b[31mZed\x01", "Ann"}},
        {"delta", "NOT RESPONDING Delta", "", "", 0, 0, 9999, {}},
        {"echo", "Echo", "dm3", "dm", 2, 16, 60, {QByteArray(494, 'x') + "Needle", "Ren\xe9"}},
    };
    return Cases;
}
} // namespace

Q_DECLARE_METATYPE(TServerFilterState)

void TestRecords::filterRules_data() {
    QTest::addColumn<TServerFilterState>("state");
    QTest::addColumn<QStringList>("passing");
    const QStringList All{"alpha", "beta", "gamma", "delta", "echo"};
    const auto Text = [](const char* T) { return TServerFilterState{T}; };
    QTest::newRow("none") << TServerFilterState{} << All;
    QTest::newRow("blank text") << Text("   ") << All;
    QTest::newRow("name") << Text("arena") << QStringList{"alpha"};
    QTest::newRow("map") << Text("ctf-FACE") << QStringList{"beta"};
    QTest::newRow("game type") << Text("deathmatch") << QStringList{"alpha"};
    QTest::newRow("player") << Text("BOB") << QStringList{"alpha"};
    QTest::newRow("player behind control codes") << Text("zed") << QStringList{"gamma"};
    QTest::newRow("regex characters literal") << Text("a.*") << QStringList{"gamma"};
    QTest::newRow("decoded utf-8") << Text("G\u00c4MMA") << QStringList{"gamma"};
    QTest::newRow("decoded windows-1252") << Text("ren\u00e9") << QStringList{"echo"};
    QTest::newRow("end of a long name") << Text("needle") << QStringList{"echo"};
    QTest::newRow("no match") << Text("zzz") << QStringList{};
    QTest::newRow("hide empty") << TServerFilterState{{}, true}
                                << QStringList{"alpha", "gamma", "echo"};
    QTest::newRow("hide full") << TServerFilterState{{}, false, true}
                               << QStringList{"alpha", "beta", "delta", "echo"};
    QTest::newRow("hide not responding") << TServerFilterState{{}, false, false, true}
                                         << QStringList{"alpha", "beta", "gamma", "echo"};
    QTest::newRow("max ping") << TServerFilterState{{}, false, false, false, 100}
                              << QStringList{"alpha", "echo"};
    QTest::newRow("max ping at the bound")
        << TServerFilterState{{}, false, false, false, 120} << QStringList{"alpha", "beta", "echo"};
    QTest::newRow("switches together")
        << TServerFilterState{{}, true, true, true, 0} << QStringList{"alpha", "echo"};
    QTest::newRow("text and switches")
        << TServerFilterState{"dm", true, false, false, 100} << QStringList{"alpha", "echo"};
}

void TestRecords::filterRules() {
    QFETCH(TServerFilterState, state);
    QFETCH(QStringList, passing);
    const TServerFilter Filter(state);
    QStringList Passed;
    for (const TFilterCase& C : FilterCases()) {
        TMorrowServer Server("10.0.0.1", "7778");
        Server.ServerName = C.Name;
        Server.MapName = C.Map;
        Server.GameType = C.Type;
        Server.NumPlayers = C.NumPlayers;
        Server.MaxPlayers = C.MaxPlayers;
        Server.Ping = C.Ping;
        Server.Responded = C.Ping < 9999;
        for (const QByteArray& Name : C.Players) {
            Server.Players.push_back(Server.PlayerClass()->Create({}));
            Server.Players.back()->Name = Name;
        }
        if (Filter.Passes(Server)) Passed << C.Label;
    }
    QCOMPARE(Passed, passing);
    QCOMPARE(Filter.Active(), passing.size() < FilterCases().size());
}

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
