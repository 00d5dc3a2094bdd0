// The chat as the program runs it (main window, chat module, docked chat windows, channel
// list) against a real ngircd, with a raw IRC client as the other person.
#include "boxanswer.h"
#include "chat/ircpal.h"
#include "config/settings.h"
#include "config/settingsstore.h"
#include "peers/ngircd.h"
#include "stallwatch.h"
#include "ui/app/program.h"
#include "ui/chat/channellist_main.h"
#include "ui/chat/chat_main.h"
#include "ui/chat/chatmod_main.h"
#include "ui/chat/dcc_main.h"
#include "ui/shell/scmorrow_main.h"
#include "ui/widgets/CRTEdit.h"
#include "ui/widgets/dockarea.h"

#include <QCheckBox>
#include <QLabel>
#include <QListView>
#include <QNetworkInterface>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

namespace {

const QString FieldsKey = "Software\\Scoutly\\tarnwick\\morrow\\config";

// The text and colour of a window's lines.
QStringList LinesOf(const Tchat_form* W) {
    QStringList Result;
    for (QTextBlock B = W->mainchat->document()->begin(); B.isValid(); B = B.next())
        if (!B.text().isEmpty()) Result << B.text();
    return Result;
}

QColor ColorOf(const Tchat_form* W, const QString& Text) {
    for (QTextBlock B = W->mainchat->document()->begin(); B.isValid(); B = B.next())
        if (B.text() == Text) return B.begin().fragment().charFormat().foreground().color();
    return {};
}

bool HasLine(const Tchat_form* W, const QString& Text) {
    return LinesOf(W).contains(Text);
}

// The names a window lists, top to bottom.
QStringList Listed(const Tchat_form* W) {
    QStringList Result;
    const QAbstractItemModel* Model = W->name_box->model();
    for (int Row = 0; Row < Model->rowCount(); ++Row)
        Result << Model->index(Row, 0).data().toString();
    return Result;
}

void Select(Tchat_form* W, const QString& Name) {
    W->name_box->setCurrentIndex(W->name_box->model()->index(int(Listed(W).indexOf(Name)), 0));
}

// A local address other than loopback, where a sender stands in for a stranger's computer.
QString OtherLocalAddress() {
    for (const QHostAddress& A : QNetworkInterface::allAddresses())
        if (A.protocol() == QAbstractSocket::IPv4Protocol && !A.isLoopback()) return A.toString();
    return {};
}

template <class T> int Windows(bool VisibleOnly) {
    int Count = 0;
    for (QWidget* W : QApplication::topLevelWidgets())
        Count += qobject_cast<T*>(W) && (W->isVisible() || !VisibleOnly);
    return Count;
}

qint64 ResidentKb() {
    QFile Status("/proc/self/status");
    if (!Status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& L : Status.readAll().split('\n'))
        if (L.startsWith("VmRSS:")) return L.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

void Type(Tchat_form* W, const QString& Text) {
    W->mainline->setText(Text);
    QTest::keyClick(W->mainline, Qt::Key_Return);
}

} // namespace

class TestChat : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void connectsAndJoinsDefaultChannel();
    void messagesBothWays();
    void joinsPartsAndHiding();
    void commands();
    void secondChannelAndKicked();
    void disconnectKeepsOneWindow();
    void autoAway();
    void nickCollision();
    void channelList();
    void foreignText();
    void fileOffered();
    void offerFlood();
    void fileSent();
    void closeLeavesChannel();
    void bigChannel();

private:
    std::unique_ptr<TProgramWindows> Open(const QByteArray& Nick, const QString& Home = {},
                                          quint16 Port = 0);
    // As "tester", once the home channel's window is up; null when it never comes.
    std::unique_ptr<TProgramWindows> OpenInChannel();
    // "pal" joins #morrow and the window lists him.
    bool PalJoins(TPal& Pal, const TProgramWindows& P);
    TPeer Server;
    std::unique_ptr<QTemporaryDir> HomeDir;
};

void TestChat::initTestCase() {
    QVERIFY2(StartNgircd(Server), qPrintable(Server.Why));
}

void TestChat::cleanup() {
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QTest::qWait(100); // the server lets the nicks go
}

std::unique_ptr<TProgramWindows> TestChat::OpenInChannel() {
    auto P = Open("tester");
    if (!QTest::qWaitFor([&P] { return P->Chat->windowTitle() == "#morrow"; }, 10000)) return {};
    return P;
}

bool TestChat::PalJoins(TPal& Pal, const TProgramWindows& P) {
    if (!Pal.Open(Server.Port, "pal")) return false;
    Pal.Send("JOIN #morrow");
    return QTest::qWaitFor([&P] { return Listed(P.Chat).size() == 2; }, 5000);
}

std::unique_ptr<TProgramWindows> TestChat::Open(const QByteArray& Nick, const QString& Home,
                                                quint16 Port) {
    HomeDir = std::make_unique<QTemporaryDir>();
    qputenv("SCOUTLY_HOME", (Home.isEmpty() ? HomeDir->path() : Home).toUtf8());
    const QString Game = HomeDir->path() + "/game/";
    QDir().mkpath(Game);
    QFile(Game + "morrow.exe").open(QIODevice::WriteOnly);
    {
        TRegistry Registry;
        Registry.WriteString(FieldsKey, "program_dir_Text", Game);
        Registry.WriteString(FieldsKey, "nick_Text", QString::fromUtf8(Nick));
        Registry.WriteString(FieldsKey, "chatserver_Text",
                             QString("127.0.0.1:%1").arg(Port ? Port : Server.Port));
        Registry.WriteString("Software\\Scoutly\\tarnwick\\morrow", "showtips", "X");
    }
    auto Windows = std::make_unique<TProgramWindows>();
    Windows->Main->show();
    return Windows;
}

void TestChat::connectsAndJoinsDefaultChannel() {
    auto P = OpenInChannel();
    QVERIFY(P);
    QVERIFY(HasLine(P->Chat, "*** You are now chatting in #morrow"));
    QCOMPARE(ColorOf(P->Chat, "*** You are now chatting in #morrow"), QColor(0xFF, 0x80, 0));
    QVERIFY(LinesOf(P->Chat).filter(QRegularExpression("^\\*\\*\\* .*[Ww]elcome")).size() > 0);
    QVERIFY(P->Chat->connect_butt->isChecked());
    QCOMPARE(Listed(P->Chat), QStringList{"@tester"});
    QCOMPARE(P->ChatModule->CurrentChatWindow(), P->Chat);
}

void TestChat::messagesBothWays() {
    auto P = OpenInChannel();
    QVERIFY(P);
    TPal Pal;
    QVERIFY(Pal.Open(Server.Port, "pal"));
    Pal.Send("JOIN #morrow");
    QTRY_VERIFY(HasLine(P->Chat, "*** pal has joined #morrow"));
    QTRY_COMPARE(Listed(P->Chat).size(), 2);
    Pal.Send("PRIVMSG #morrow :hi all");
    QTRY_VERIFY(HasLine(P->Chat, "<pal> hi all"));
    QCOMPARE(ColorOf(P->Chat, "<pal> hi all"), QColor(0, 0, 0));
    Type(P->Chat, "hello pal");
    QVERIFY(HasLine(P->Chat, "<tester> hello pal"));
    QVERIFY(Pal.Wait("PRIVMSG #morrow :hello pal"));
    Pal.Send("PRIVMSG tester :psst");
    Pal.Send("NOTICE tester :note");
    Pal.Send("PRIVMSG #morrow :\x01"
             "ACTION waves\x01");
    QTRY_VERIFY(HasLine(P->Chat, "* pal waves"));
    QCOMPARE(ColorOf(P->Chat, "*pal* psst"), QColor(0, 0, 0xFF));
    QCOMPARE(ColorOf(P->Chat, "-pal- note"), QColor(0, 0x80, 0));
    QCOMPARE(ColorOf(P->Chat, "* pal waves"), QColor(0x80, 0, 0x80));
    // A topic set by someone else: a line and the label.
    Pal.Send("TOPIC #morrow :pals only");
    Type(P->Chat, "/mode #morrow -t");
    Pal.Send("TOPIC #morrow :pals only");
    QTRY_VERIFY(HasLine(P->Chat, "*** pal has changed to topic to: pals only"));
    QCOMPARE(P->Chat->topiclabel->text(), QString(" Topic: pals only"));
}

void TestChat::joinsPartsAndHiding() {
    auto P = OpenInChannel();
    QVERIFY(P);
    TPal Pal;
    QVERIFY(Pal.Open(Server.Port, "pal"));
    Pal.Send("JOIN #morrow");
    QTRY_VERIFY(HasLine(P->Chat, "*** pal has joined #morrow"));
    Pal.Send("PART #morrow :later");
    QTRY_VERIFY(HasLine(P->Chat, "*** pal has left #morrow"));
    // Hidden joins and parts print nothing; kicks still do.
    P->Settings->SetFlag(TField::HideJoins, true);
    const int Before = LinesOf(P->Chat).size();
    Pal.Send("JOIN #morrow");
    QTRY_COMPARE(Listed(P->Chat).size(), 2);
    QCOMPARE(LinesOf(P->Chat).size(), Before);
    P->Chat->ExecuteCommand("/kick #morrow pal :behave");
    QTRY_VERIFY(HasLine(P->Chat, "*** pal was kicked by tester (behave)"));
    QCOMPARE(Listed(P->Chat).size(), 1);
}

void TestChat::commands() {
    auto P = OpenInChannel();
    QVERIFY(P);
    TPal Pal;
    QVERIFY(PalJoins(Pal, *P));
    Type(P->Chat, "/me waves");
    QVERIFY(HasLine(P->Chat, "* tester waves"));
    QVERIFY(Pal.Wait("PRIVMSG #morrow :\x01"
                     "ACTION  waves\x01"));
    Type(P->Chat, "/msg pal   hi there  ");
    QVERIFY(HasLine(P->Chat, "*tester* hi there"));
    QVERIFY(Pal.Wait("PRIVMSG pal :hi there"));
    Type(P->Chat, "/notice pal hey");
    QVERIFY(HasLine(P->Chat, "-tester-  hey"));
    QVERIFY(Pal.Wait("NOTICE pal : hey"));
    Type(P->Chat, "/topic fresh topic");
    QTRY_VERIFY(HasLine(P->Chat, "*** tester has changed to topic to: fresh topic"));
    QVERIFY(Pal.Wait("TOPIC #morrow :fresh topic"));
    Type(P->Chat, "/whois pal"); // not a command of ours: sent as it is
    QTRY_VERIFY(!LinesOf(P->Chat).filter("*** pal is ").isEmpty());
    // Someone must be selected for the buttons that act on a person.
    {
        P->Chat->name_box->clearSelection();
        TBoxAnswer Box(QMessageBox::Ok);
        P->Chat->sendmsg_butt->click();
        QCOMPARE(Box.Text, QString("You must select a name first"));
    }
    Select(P->Chat, "pal");
    P->Chat->sendmsg_butt->click();
    QCOMPARE(P->Chat->mainline->text(), QString("/msg pal "));
    P->Chat->mainline->clear();
    Type(P->Chat, "/leave");
    QTRY_COMPARE(P->Chat->windowTitle(), QString("Chat (No Channel)"));
    QVERIFY(HasLine(P->Chat, "*** You have left #morrow"));
    Type(P->Chat, "talking to nobody");
    QCOMPARE(LinesOf(P->Chat).last(), QString("*** You are not on a chat channel"));
    QCOMPARE(ColorOf(P->Chat, "*** You are not on a chat channel"), QColor(0xFF, 0, 0));
}

void TestChat::secondChannelAndKicked() {
    auto P = OpenInChannel();
    QVERIFY(P);
    TPal Pal;
    QVERIFY(Pal.Open(Server.Port, "pal"));
    Pal.Send("JOIN #pals");
    QVERIFY(Pal.Wait("JOIN"));
    Type(P->Chat, "/join #pals");
    QTRY_COMPARE(P->ChatModule->ChatWindows().size(), 2);
    Tchat_form* Second = P->ChatModule->ChatWindows()[1];
    QCOMPARE(Second->windowTitle(), QString("#pals"));
    QCOMPARE(P->Main->pages->Docks().size(), 4); // chat, #pals, players/rules, news
    // Kicked: the window goes, both lines land in the window left.
    Pal.Send("KICK #pals tester :out");
    QTRY_COMPARE(P->ChatModule->ChatWindows().size(), 1);
    QCOMPARE(P->ChatModule->CurrentChatWindow(), P->Chat);
    const QStringList Lines = LinesOf(P->Chat);
    QCOMPARE(
        Lines.mid(Lines.size() - 2),
        (QStringList{"*** You have left #pals", "*** You were kicked from #pals by pal (out)"}));
    QTRY_COMPARE(P->Main->pages->Docks().size(), 3);
}

void TestChat::disconnectKeepsOneWindow() {
    auto P = OpenInChannel();
    QVERIFY(P);
    Type(P->Chat, "/join #two");
    Type(P->Chat, "/join #three");
    QTRY_COMPARE(P->ChatModule->ChatWindows().size(), 3);
    P->Chat->connect_butt->click(); // up: leave the chat 100 ms later
    QTRY_COMPARE(P->ChatModule->ChatWindows().size(), 1);
    QVERIFY(!P->ChatModule->Session->IRCClient1->Connected());
    const QStringList Left =
        LinesOf(P->ChatModule->CurrentChatWindow()).filter("*** You have left");
    QCOMPARE(Left.size(), 3);
    QCOMPARE(P->ChatModule->CurrentChatWindow()->windowTitle(), QString("Chat (No Channel)"));
    QVERIFY(!P->ChatModule->CurrentChatWindow()->connect_butt->isChecked());
}

void TestChat::autoAway() {
    auto P = OpenInChannel();
    QVERIFY(P);
    TIRCClient* E = P->ChatModule->Session->IRCClient1.get();
    P->ChatModule->Session->activetimer.setInterval(300); // the test need not wait ten seconds
    // Another docked window in front: the chat is not being looked at.
    for (TDockWindow* Dock : P->Main->pages->Docks())
        if (!qobject_cast<Tchat_form*>(Dock->Window())) P->Main->pages->Activate(Dock->Window());
    P->ChatModule->SetChatActive(false);
    QTRY_COMPARE(E->Nick(), QByteArray("[AWAY]tester"));
    P->ChatModule->SetChatActive(true);
    QTRY_COMPARE(E->Nick(), QByteArray("tester"));
    // Changing one's mind within the interval changes nothing.
    P->ChatModule->SetChatActive(false);
    P->ChatModule->SetChatActive(true);
    QTest::qWait(500);
    QCOMPARE(E->Nick(), QByteArray("tester"));
}

void TestChat::nickCollision() {
    TPal Holder, AltHolder;
    QVERIFY(Holder.Open(Server.Port, "taken"));
    QVERIFY(AltHolder.Open(Server.Port, "taken_"));
    auto P = Open("taken");
    QTRY_COMPARE_WITH_TIMEOUT(P->ChatModule->Session->IRCClient1->State, csRegistered, 10000);
    const QByteArray Nick = P->ChatModule->Session->IRCClient1->Nick();
    QVERIFY2(QRegularExpression("^taken_\\d{1,3}$").match(QString(Nick)).hasMatch(),
             Nick.constData());
}

void TestChat::channelList() {
    auto P = OpenInChannel();
    QVERIFY(P);
    TPal Pal;
    QVERIFY(Pal.Open(Server.Port, "pal"));
    Pal.Send("JOIN #lobby");
    Pal.Send("JOIN #morrow");
    QVERIFY(Pal.Wait("#morrow"));
    P->Chat->chanlist_butt->click();
    QVERIFY(P->ChannelList->isVisible());
    // The server may list channels of its own beside ours.
    QAbstractItemModel* Model = P->ChannelList->channelview->model();
    QTRY_VERIFY(Model->rowCount() >= 2 && !P->ChannelList->gauge->isVisible());
    QMap<QString, int> Counts;
    int Users = 0;
    for (int Row = 0; Row < Model->rowCount(); ++Row) {
        Counts[Model->index(Row, 0).data().toString()] = Model->index(Row, 1).data().toInt();
        Users += Model->index(Row, 1).data().toInt();
    }
    QCOMPARE(Counts.value("#lobby"), 1);
    QCOMPARE(Counts.value("#morrow"), 2);
    QCOMPARE(P->ChannelList->statuslabel->text(),
             QString("%1 users on %2 channels").arg(Users).arg(Model->rowCount()));
    for (int Row = 0; Row < Model->rowCount(); ++Row)
        if (Model->index(Row, 0).data().toString() == "#lobby")
            P->ChannelList->channelview->setCurrentIndex(Model->index(Row, 0));
    P->ChannelList->join_butt->click();
    QVERIFY(!P->ChannelList->isVisible());
    QTRY_COMPARE(P->ChatModule->ChatWindows().size(), 2);
    QCOMPARE(P->ChatModule->ChatWindows()[1]->windowTitle(), QString("#lobby"));
}

void TestChat::foreignText() {
    auto P = OpenInChannel();
    QVERIFY(P);
    TPal Pal;
    QVERIFY(Pal.Open(Server.Port, "pal"));
    Pal.Send("JOIN #morrow");
    Pal.Send("PRIVMSG #morrow :Caf\xc3\xa9 in UTF-8");
    Pal.Send("PRIVMSG #morrow :Caf\xe9 in Windows-1252 \x93quoted\x94");
    Pal.Send("PRIVMSG #morrow :\x03"
             "04,12red\x03 and \x02"
             "bold\x02 plain");
    QTRY_VERIFY(HasLine(P->Chat, "<pal> red and bold plain"));
    QVERIFY(HasLine(P->Chat, QString::fromUtf8("<pal> Café in UTF-8")));
    QVERIFY(HasLine(P->Chat, QString::fromUtf8("<pal> Café in Windows-1252 “quoted”")));
    // A link that may not open says so here.
    emit P->Chat->mainchat->anchorClicked(QUrl("file:///home/me/Downloads/GAME.DESKTOP"));
    QVERIFY(HasLine(P->Chat, "*** Link not opened: file:///home/me/Downloads/GAME.DESKTOP (file "
                             "links are not opened, only http, https and mailto)"));
    // Typed text leaves as UTF-8.
    Type(P->Chat, QString::fromUtf8("¡Vamos!"));
    QVERIFY(Pal.Wait("PRIVMSG #morrow :\xc2\xa1Vamos!"));
}

// An offer from the other person: a bad one is said in the window, a good one asks, saves
// where the user says and arrives whole.
void TestChat::fileOffered() {
    auto P = OpenInChannel();
    QVERIFY(P);
    TPal Pal;
    QVERIFY(Pal.Open(Server.Port, "pal"));
    Pal.Send("PRIVMSG tester :\x01"
             "DCC SEND x.txt nowhere 2000 10\x01");
    QTRY_VERIFY(HasLine(P->Chat, "*** 'NOWHERE' is not a valid integer value"));
    Pal.Send("PRIVMSG tester :\x01"
             "DCC SEND x.txt 2130706433 2000 10\x01");
    QTRY_VERIFY(HasLine(P->Chat, "*** File offer X.TXT from pal refused: 127.0.0.1:2000 is this "
                                 "computer's own address"));

    const QString Stranger = OtherLocalAddress();
    if (Stranger.isEmpty()) QSKIP("no address but loopback to offer from");
    QTemporaryDir Files;
    QFile Source(Files.filePath("source"));
    QVERIFY(Source.open(QIODevice::WriteOnly));
    const QByteArray Data = QByteArray(1300, 'z') + "end";
    Source.write(Data);
    Source.close();
    TDccTransfer Sender;
    QString Error;
    QVERIFY(Sender.StartSending(Source.fileName(), Stranger.toLatin1(), Error));
    TBoxAnswer Accept(QMessageBox::Yes);
    TFileAnswer SaveAs(Files.filePath("saved.txt"));
    Pal.Send("PRIVMSG tester :\x01"
             "DCC SEND Notes.txt " +
             Sender.OfferArgs().split(' ').mid(1).join(' ') + "\x01");
    QTRY_VERIFY(Sender.Done);
    QCOMPARE(Accept.Text, QString("pal wants to send you NOTES.TXT (1.3 KB)\nfrom %1:%2\nDo you "
                                  "want to accept it?")
                              .arg(Stranger, QString::fromLatin1(Sender.PeerPort)));
    Tdcc_form* Window = nullptr;
    for (auto* W : QApplication::topLevelWidgets())
        if (auto* D = qobject_cast<Tdcc_form*>(W); D && D->isVisible()) Window = D;
    QVERIFY(Window);
    QTRY_COMPARE(Window->status->text(), QString("Done Receiving"));
    QCOMPARE(Window->speed->text(), QString("1303 of 1303 (100%) "));
    QCOMPARE(Window->close_butt->text(), QString("Close"));
    QCOMPARE(Window->filelabel->text(), "File: " + Files.filePath("saved.txt") + " (pal)");
    QFile Saved(Files.filePath("saved.txt"));
    QVERIFY(Saved.open(QIODevice::ReadOnly));
    QCOMPARE(Saved.readAll(), Data);
    QPointer<Tdcc_form> Guard(Window);
    Window->close_butt->click(); // done: no question, and the window is freed
    QTRY_VERIFY(!Guard);
}

// 200 offers in a burst: one question at a time, three from the nick in all, the rest refused
// at once; the chat and timers go on while a question is open, and memory stays put.
void TestChat::offerFlood() {
    auto P = OpenInChannel();
    QVERIFY(P);
    TPal Pal;
    QVERIFY(Pal.Open(Server.Port, "pal"));
    const qint64 Before = ResidentKb();
    QStringList Asked;
    int MostOpen = 0, TicksAsking = 0;
    QTimer Tick;
    connect(&Tick, &QTimer::timeout, [&] {
        MostOpen = qMax(MostOpen, Windows<QMessageBox>(true));
        auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        // Declined once the burst is through, the timer having run on under the question.
        if (Box && ++TicksAsking > 5 && HasLine(P->Chat, "*pal* over")) {
            Asked << Box->text();
            TicksAsking = 0;
            Box->button(QMessageBox::No)->click();
        }
    });
    Tick.start(10);
    for (int I = 0; I < 200; ++I)
        Pal.Send("PRIVMSG tester :\x01"
                 "DCC SEND f" +
                 QByteArray::number(I) + " 3405803785 2000 10\x01");
    Pal.Send("PRIVMSG tester :over");
    QTRY_COMPARE_WITH_TIMEOUT(Asked.size(), 3, 20000);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(MostOpen, 1);
    QCOMPARE(Asked[2], QString("pal wants to send you F2 (10 bytes)\nfrom 203.0.113.9:2000\nDo "
                               "you want to accept it?"));
    QCOMPARE(LinesOf(P->Chat).filter(" refused: too many offers are waiting").size(), 197);
    QTRY_COMPARE(Windows<Tdcc_form>(false), 0); // freed, not just hidden
    QVERIFY2(ResidentKb() - Before < 50000, qPrintable(QString::number(ResidentKb() - Before)));
}

// Send File offers the chosen file to the selected nick from the address the server sees;
// the transfer window goes with its chat window.
void TestChat::fileSent() {
    auto P = OpenInChannel();
    QVERIFY(P);
    TPal Pal;
    QVERIFY(PalJoins(Pal, *P));
    Select(P->Chat, "pal");
    QTemporaryDir Files;
    QFile Source(Files.filePath("my file.bin"));
    QVERIFY(Source.open(QIODevice::WriteOnly));
    Source.write(QByteArray(5000, 'q'));
    Source.close();
    TFileAnswer Pick(Source.fileName());
    P->Chat->sendfile_butt->click();
    QTRY_VERIFY(Pal.Got("DCC SEND"));
    QByteArray Offer;
    for (const QByteArray& L : Pal.Lines)
        if (L.contains("DCC SEND")) Offer = L.mid(L.indexOf("DCC SEND")).chopped(1);
    QVERIFY2(Offer.startsWith("DCC SEND my_file.bin 2130706433 "), Offer);
    auto* Window = P->Chat->findChild<Tdcc_form*>();
    QVERIFY(Window);
    QCOMPARE(Window->status->text(), QString(" Waiting for Connection"));
    TDccOffer Parsed;
    QCOMPARE(ParseDccOffer(Offer, Parsed), TDccParse::Valid);
    TDccTransfer Receiver;
    QString Error;
    QVERIFY(Receiver.StartReceiving(Parsed, Files.filePath("got"), Error));
    QTRY_COMPARE(Window->status->text(), QString("Done Sending"));
    QCOMPARE(QFileInfo(Files.filePath("got")).size(), 5000);
    QPointer<Tdcc_form> Guard(Window);
    P->Chat->deleteLater();
    QTRY_VERIFY(!Guard);
}

// Closing the docked chat window, even torn out, leaves the channel and docks it back; the
// start released the channel lock.
void TestChat::closeLeavesChannel() {
    auto P = OpenInChannel();
    QVERIFY(P);
    QVERIFY(!P->Chat->chanlock_butt->isChecked());
    TDockWindow* Dock = P->Main->pages->DockOf(P->Chat);
    QVERIFY(Dock);
    Dock->setFloating(true);
    QVERIFY(!Dock->close());
    QTRY_COMPARE(P->Chat->windowTitle(), QString("Chat (No Channel)"));
    QVERIFY(!Dock->isFloating());
    QCOMPARE(P->Main->pages->DockOf(P->Chat), Dock);
}

// A channel of 10,000 from a scripted server, then a burst of 2,000 joins with a rename and
// flag changes: the list matches the engine's member table, in order, and the window never
// stops for long.
void TestChat::bigChannel() {
    TScriptServer Irc;
    QVERIFY(Irc.Listen());
    auto P = Open("tester", {}, Irc.Listener.serverPort());
    QTRY_COMPARE_WITH_TIMEOUT(P->Chat->windowTitle(), QString("#morrow"), 10000);
    const auto Member = [](int I) { return QByteArray(I % 3 ? "u" : "U") + QByteArray::number(I); };
    QByteArray Names;
    for (int I = 0; I < 10000; ++I)
        Names += (I % 40 ? " " : "\r\n:lab 353 tester = #morrow :@tester ") +
                 QByteArray(I < 10   ? "@"
                            : I < 30 ? "+"
                                     : "") +
                 Member(I);
    Irc.Send(Names.mid(2) + "\r\n:lab 366 tester #morrow :End\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(Listed(P->Chat).size(), 10001, 10000);
    TStallWatch Watch;
    Watch.Start();
    QByteArray Burst;
    for (int I = 0; I < 2000; ++I)
        Burst +=
            ":" + QByteArray(I % 2 ? "j" : "J") + QByteArray::number(I) + "!u@h JOIN #morrow\r\n";
    Burst += ":u100!u@h NICK :aRenamed\r\n:tester!u@h MODE #morrow +o u2\r\n"
             ":tester!u@h MODE #morrow -v U15\r\n:tester!u@h MODE #morrow -o+v u4 u4\r\n";
    Irc.Send(Burst + "PING :done\r\n");
    QTRY_VERIFY_WITH_TIMEOUT(Irc.Received.contains("PONG :done"), 10000);
    QTest::qWait(50);
    QVERIFY2(Watch.LongestMs() < 250, qPrintable(QString::number(Watch.LongestMs())));
    const TChannel* Channel = P->ChatModule->Session->IRCClient1->Channels->Find("#morrow");
    QStringList Table;
    for (int I = 0; I < Channel->Members.Count(); ++I) {
        const int F = Channel->Members.Flags(I);
        Table << (F & mfOperator ? "@"
                  : F & mfVoice  ? "+"
                                 : "") +
                     QString::fromUtf8(Channel->Members.Nick(I));
    }
    const QStringList Shown = Listed(P->Chat);
    QCOMPARE(Shown.size(), 12001);
    QCOMPARE(QSet<QString>(Shown.begin(), Shown.end()), QSet<QString>(Table.begin(), Table.end()));
    const auto Rank = [](const QString& T) { return T[0] == '@' ? 0 : T[0] == '+' ? 1 : 2; };
    for (qsizetype I = 1; I < Shown.size(); ++I) {
        const QString &A = Shown[I - 1], &B = Shown[I];
        const int Order =
            Rank(A) != Rank(B) ? Rank(A) - Rank(B) : A.compare(B, Qt::CaseInsensitive);
        QVERIFY2(Order < 0, qPrintable(A + " before " + B));
    }
    for (const char* Name : {"aRenamed", "@u2", "U15", "+u4"})
        QVERIFY2(Shown.contains(Name), Name);
    QCOMPARE(Shown.indexOf("aRenamed"), Shown.indexOf("+u4") + 1); // first of the others
}

QTEST_MAIN(TestChat)
#include "tst_chat.moc"
