#include "labchatbot.h"

#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <array>

namespace {

// Some lines carry UTF-8 and a colour code so a client's decoding and cleaning show.
const std::array TalkLines{
    "anyone up for ctf on Frosthold?",
    "gg all, that last round was close",
    "Café crawl tonight? the Keep server is empty anyway",
    "¡Vamos! one more round on Dragon's Lair",
    "who keeps camping the bridge on ctf_bridge...",
    "\x03"
    "04red\x03 team needs one more, who's in?",
    "lag on the EU box again or is it just me",
    "{who}: nice shot earlier, I never saw it coming",
    "the new map rotation on Dragon's Lair is great",
    "brb, grabbing food",
    "patch notes say the mage got nerfed again :(",
    "Grüße aus Köln, anyone on the DE servers?",
    "{who}, you coming to the clan match on Saturday?",
    "that server with 200 ping is somehow full again",
    "duel anyone? first to 10",
    "just got a triple with the crossbow, finally",
    "is the Ember Isles server down? it times out for me",
    "{who} stop stealing my flag caps :P",
    "anyone know a good config for the bow? mouse feels floaty",
    "Nightfall has the best map vote, fight me",
    "three-way tie on Keep of Ash, never seen that before",
    "brb 5",
    "who's hosting tonight's scrim?",
    "new player here, which server is friendly to noobs?",
    "{who}: that rocket jump was unreal",
    "mapping contest entries close on Friday btw",
    "Ping 30 on the Old Bridge box, finally a decent route",
    "just rage-quit the Duel Pit, I'm fine, totally fine",
};
const std::array TalkActions{
    "stretches and reloads",
    "waves at {who}",
    "is queueing for a duel",
    "sharpens a sword",
    "wanders off to find a server with fewer campers",
};
const std::array ServerNames{
    "[EU] Dragon's Lair", "Frosthold CTF",  "[US] Morrow Arena", "Keep of Ash",
    "[EU] Duel Pit",      "Nightfall 24/7", "[AU] Ember Isles",  "Old Bridge Clan Server",
};
const std::array Greetings{
    "Hi {from}! Good to see you. Type !help for what I can do.",
    "Hello {from}! Looking for a game? Try !servers.",
    "Hey {from}, welcome back!",
};

struct TIrcLine {
    QByteArray Nick, Command;
    QList<QByteArray> Params;
};

TIrcLine Parse(QByteArray Line) {
    TIrcLine L;
    const qsizetype Colon = Line.indexOf(" :");
    const QByteArray Trailing = Colon < 0 ? QByteArray() : Line.mid(Colon + 2);
    if (Colon >= 0) Line.truncate(Colon);
    QList<QByteArray> Words = Line.split(' ');
    Words.removeAll(QByteArray());
    if (!Words.isEmpty() && Words.front().startsWith('@')) Words.removeFirst(); // tags
    if (!Words.isEmpty() && Words.front().startsWith(':'))
        L.Nick = Words.takeFirst().mid(1).split('!').front();
    if (!Words.isEmpty()) L.Command = Words.takeFirst().toUpper();
    L.Params = Words;
    if (Colon >= 0) L.Params.append(Trailing);
    return L;
}

bool SameNick(const QByteArray& A, const QByteArray& B) {
    return A.compare(B, Qt::CaseInsensitive) == 0;
}

bool IsChannel(const QByteArray& Target) {
    return Target.startsWith('#') || Target.startsWith('&');
}

} // namespace

TLabChatBot::TLabChatBot(const TLabChatBotConfig& Config, QObject* Parent)
    : QObject(Parent), Config(Config), FSocket(new QTcpSocket(this)), FTalk(new QTimer(this)),
      FReconnect(new QTimer(this)), FRandom(Config.Seed) {
    FSocket->setProxy(QNetworkProxy::NoProxy);
    FTalk->setSingleShot(true);
    FReconnect->setSingleShot(true);
    connect(FTalk, &QTimer::timeout, this, &TLabChatBot::Talk);
    connect(FReconnect, &QTimer::timeout, this, &TLabChatBot::Connect);
    connect(FSocket, &QTcpSocket::connected, this, [this] {
        Send("NICK " + FNick);
        Send("USER " + this->Config.Nick.toLower() + " 0 * :Scoutly lab bot");
    });
    connect(FSocket, &QTcpSocket::readyRead, this, &TLabChatBot::Read);
    connect(FSocket, &QTcpSocket::disconnected, this, &TLabChatBot::Lost);
    connect(FSocket, &QTcpSocket::errorOccurred, this, [this] {
        FLastError = FSocket->errorString();
        Lost();
        emit Failed();
    });
}

TLabChatBot::~TLabChatBot() {
    Stop();
}

void TLabChatBot::Start(const QString& Host, quint16 Port) {
    FHost = Host;
    FPort = Port;
    FStopped = false;
    Connect();
}

void TLabChatBot::Stop() {
    FStopped = true;
    FReconnect->stop();
    FTalk->stop();
    if (FSocket->state() == QAbstractSocket::ConnectedState) {
        Send("QUIT :see you on the servers");
        FSocket->flush();
    }
    FSocket->abort();
}

void TLabChatBot::Connect() {
    FSocket->abort();
    FBuffer.clear();
    FNick = Config.Nick;
    FNickTries = 0;
    FRegistered = FInChannel = false;
    FSocket->connectToHost(FHost, FPort);
}

void TLabChatBot::Lost() {
    FRegistered = FInChannel = false;
    FTalk->stop();
    if (!FStopped && FSocket->state() != QAbstractSocket::ConnectedState)
        FReconnect->start(Config.ReconnectMs);
}

void TLabChatBot::Read() {
    FBuffer += FSocket->readAll();
    qsizetype End;
    while ((End = FBuffer.indexOf('\n')) >= 0) {
        QByteArray Line = FBuffer.left(End);
        FBuffer.remove(0, End + 1);
        if (Line.endsWith('\r')) Line.chop(1);
        if (!Line.isEmpty()) Handle(Line);
    }
    if (FBuffer.size() > 64 * 1024) FBuffer.clear(); // no server sends lines like that
}

void TLabChatBot::Handle(const QByteArray& Line) {
    const TIrcLine L = Parse(Line);
    const auto Param = [&](int I) { return I < L.Params.size() ? L.Params[I] : QByteArray(); };
    const bool OurChannel = SameNick(Param(0), Config.Channel);
    if (L.Command == "PING") {
        Send("PONG :" + Param(0));
    } else if (L.Command == "001") {
        FRegistered = true;
        FNick = Param(0);
        Send("JOIN " + Config.Channel);
    } else if (L.Command == "433" && !FRegistered) {
        FNick = Config.Nick + QByteArray::number(++FNickTries);
        Send("NICK " + FNick);
    } else if (L.Command == "NICK" && SameNick(L.Nick, FNick)) {
        FNick = Param(0);
    } else if (L.Command == "JOIN" && OurChannel) {
        if (SameNick(L.Nick, FNick)) {
            FOperator = FHasTopic = false;
        } else if (Config.Helper) {
            Say(Config.Channel,
                "Welcome to " + Config.Channel + ", " + L.Nick + "! Type !help for what I can do.");
        }
    } else if (L.Command == "332" && SameNick(Param(1), Config.Channel)) {
        FHasTopic = true;
    } else if (L.Command == "353" && SameNick(Param(2), Config.Channel)) {
        for (const QByteArray& Name : Param(3).split(' '))
            if (Name.startsWith('@') && SameNick(Name.mid(1), FNick)) FOperator = true;
    } else if (L.Command == "366" && SameNick(Param(1), Config.Channel) && !FInChannel) {
        // Whoever opens the channel is its operator, and only then is the topic ours to set.
        if (FOperator && !FHasTopic && !Config.Topic.isEmpty())
            Send("TOPIC " + Config.Channel + " :" + Config.Topic);
        FInChannel = true;
        if (Config.Talker) ScheduleTalk();
        emit Joined();
    } else if (L.Command == "KICK" && OurChannel && SameNick(Param(1), FNick)) {
        FInChannel = false;
        FTalk->stop();
        Send("JOIN " + Config.Channel);
    } else if (L.Command == "PRIVMSG" && L.Params.size() >= 2) {
        Message(L.Nick, Param(0), Param(1));
    }
}

void TLabChatBot::Message(const QByteArray& From, const QByteArray& Target,
                          const QByteArray& Text) {
    const bool Private = !IsChannel(Target);
    if (Text.startsWith('\x01')) {
        const QByteArray Ctcp = Text.mid(1).chopped(Text.endsWith('\x01') ? 1 : 0);
        const QByteArray Word = Ctcp.split(' ').front().toUpper();
        if (!Private) return;
        if (Word == "VERSION")
            Send("NOTICE " + From + " :\x01VERSION scoutly-lab chat bot\x01");
        else if (Word == "PING")
            Send("NOTICE " + From + " :\x01" + Ctcp + "\x01");
        return;
    }
    if (!Config.Helper || (!Private && !SameNick(Target, Config.Channel))) return;
    const QByteArray Reply = Answer(From, Text, Private);
    if (!Reply.isEmpty()) Say(Private ? From : Target, Reply);
}

QByteArray TLabChatBot::Answer(const QByteArray& From, QByteArray Text, bool Private) {
    Text = Text.trimmed();
    bool Addressed = Private;
    if (Text.size() > FNick.size() && SameNick(Text.left(FNick.size()), FNick) &&
        (Text[FNick.size()] == ':' || Text[FNick.size()] == ',')) {
        Text = Text.mid(FNick.size() + 1).trimmed();
        Addressed = true;
    }
    QList<QByteArray> Words = Text.toLower().split(' ');
    Words.removeAll(QByteArray());
    for (QByteArray& W : Words)
        while (W.size() > 1 && QByteArray(",.!?").contains(W.back()))
            W.chop(1);
    if (Words.isEmpty()) return {};
    const QByteArray& First = Words.first();

    if (First == "!help")
        return "I know !help and !servers (busy servers right now). Say hi, or message me "
               "privately; the server list has the rest.";
    if (First == "!servers") return ServersLine();
    // Someone else's bot commands are not ours to complain about.
    if (First.startsWith('!')) return Addressed ? "I don't know " + First + ", try !help." : "";
    static const QList<QByteArray> Hello{"hi", "hello", "hey", "hiya", "howdy", "hallo"};
    const bool ToUs =
        Addressed || Words.size() == 1 || (Words.size() == 2 && SameNick(Words[1], FNick));
    if (Hello.contains(First) && ToUs) {
        QByteArray Line = Greetings[FRandom.bounded(int(Greetings.size()))];
        return Line.replace("{from}", From);
    }
    if (Addressed)
        return "I'm only a bot, " + From + ". Try !help, or ask the folks in " + Config.Channel +
               '.';
    return {};
}

QByteArray TLabChatBot::ServersLine() {
    QList<QByteArray> Names(ServerNames.begin(), ServerNames.end());
    const int Count = 2 + FRandom.bounded(3);
    QByteArray Line = QByteArray::number(Count) + " servers with players right now:";
    for (int I = 0; I < Count; ++I) {
        const int Slots = std::array{8, 12, 16, 24, 32}[FRandom.bounded(5)];
        Line += (I ? ", " : " ") + Names.takeAt(FRandom.bounded(int(Names.size()))) + ' ' +
                QByteArray::number(1 + FRandom.bounded(Slots)) + '/' + QByteArray::number(Slots);
    }
    return Line;
}

void TLabChatBot::ScheduleTalk() {
    const int Min = std::max(0, Config.MinIntervalMs);
    FTalk->start(Min + FRandom.bounded(std::max(Min, Config.MaxIntervalMs) - Min + 1));
}

void TLabChatBot::Talk() {
    if (!FInChannel) return;
    QList<QByteArray> Friends = Config.Friends;
    Friends.removeIf(
        [this](const QByteArray& N) { return SameNick(N, FNick) || SameNick(N, Config.Nick); });
    // Lines naming someone need someone to name.
    const auto Usable = [&](const char* Line) {
        return !Friends.isEmpty() || !QByteArray(Line).contains("{who}");
    };
    const auto Fill = [&](QByteArray Line) {
        if (!Friends.isEmpty())
            Line.replace("{who}", Friends[FRandom.bounded(int(Friends.size()))]);
        return Line;
    };
    if (FRandom.bounded(6) == 0) {
        const char* Action;
        do
            Action = TalkActions[FRandom.bounded(int(TalkActions.size()))];
        while (!Usable(Action));
        Say(Config.Channel, "\x01"
                            "ACTION " +
                                Fill(Action) + "\x01");
    } else {
        // Every line once before any twice, so a talker does not sound like a loop.
        if (FDeck.isEmpty()) {
            for (int I = 0; I < int(TalkLines.size()); ++I)
                if (Usable(TalkLines[I])) FDeck.append(I);
            std::shuffle(FDeck.begin(), FDeck.end(), FRandom);
        }
        Say(Config.Channel, Fill(TalkLines[FDeck.takeLast()]));
    }
    ++FPosted;
    ScheduleTalk();
}

void TLabChatBot::Say(const QByteArray& Target, const QByteArray& Text) {
    Send("PRIVMSG " + Target + " :" + Text);
}

void TLabChatBot::Send(const QByteArray& Line) {
    FSocket->write(Line + "\r\n");
}
