// The store, the link table, the installation code and the proxy settings, without windows.
#include "config/favorites.h"
#include "config/links.h"
#include "config/playerclasses.h"
#include "config/settings.h"
#include "config/settingsstore.h"
#include "net/proxysettings.h"

#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {
const QString Key = "Software\\Scoutly\\tarnwick\\morrow";
using TValues = QList<QPair<QString, QString>>;
} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void init();
    void storeFile();
    void readMissing();
    void homeFolderRights();
    void earlierStoreReadBack();
    void links_data();
    void links();
    void linksThatOpen_data();
    void linksThatOpen();
    void installCodeMadeOnce();
    void socksProxy_data();
    void socksProxy();
    void httpProxy_data();
    void httpProxy();
    void playerClasses();

private:
    std::unique_ptr<QTemporaryDir> Home;
};

void TestSettings::init() {
    Home = std::make_unique<QTemporaryDir>();
    qputenv("SCOUTLY_HOME", Home->path().toUtf8());
}

void TestSettings::storeFile() {
    {
        TRegistry Registry;
        QCOMPARE(Registry.FileName(), Home->path() + "/registry.ini");
        Registry.WriteString(Key, "showtips", "X");
        Registry.WriteString(Key + "\\config", "nick_Text", "Bob Smith");
        Registry.WriteString(Key, "odd/name\\here", "v");
        Registry.WriteString(Key, "empty", "");
        // A name stored in another case is the same value: it keeps its first spelling.
        Registry.WriteString(Key, "ShowTips", "Y");
    }
    // Only its owner may read it: it holds proxy passwords.
    struct stat Info;
    QCOMPARE(stat(QFile::encodeName(Home->path() + "/registry.ini").constData(), &Info), 0);
    QCOMPARE(Info.st_mode & 0777, 0600u);

    // The names and keys as another reader of the file sees them.
    QSettings Raw(Home->path() + "/registry.ini", QSettings::IniFormat);
    QCOMPARE(Raw.value("Software/Scoutly/tarnwick/morrow/showtips").toString(), QString("Y"));
    QVERIFY(!Raw.contains("Software/Scoutly/tarnwick/morrow/ShowTips"));
    QCOMPARE(Raw.value("Software/Scoutly/tarnwick/morrow/config/nick_Text").toString(),
             QString("Bob Smith"));
    QVERIFY(!Raw.contains("Software/Scoutly/tarnwick/morrow/config/showtips"));

    TRegistry Again;
    QCOMPARE(Again.ReadString(Key, "SHOWTIPS"), QString("Y"));
    QCOMPARE(Again.ReadString(Key, "odd/name\\here"), QString("v"));
    QVERIFY(Again.ValueExists(Key, "empty"));
    QCOMPARE(Again.ReadString(Key, "empty"), QString());
}

void TestSettings::readMissing() {
    TRegistry Registry;
    QCOMPARE(Registry.ReadString("No\\Such\\Key", "x"), QString());
    QVERIFY(!Registry.ValueExists(Key, "x"));
    // A store that cannot be written is skipped without a word.
    TRegistry Unwritable("/proc/scoutly-cannot-write/registry.ini");
    Unwritable.WriteString(Key, "x", "y");
    Unwritable.Flush();
}

// A home given by the user may be shared: only what the program makes becomes its own.
void TestSettings::homeFolderRights() {
    QVERIFY(QFile::setPermissions(
        Home->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                          QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    const QString Sub = Home->path() + "/made/here";
    TRegistry(Home->path() + "/registry.ini").WriteString(Key, "x", "y");
    TRegistry(Sub + "/registry.ini").WriteString(Key, "x", "y");
    QVERIFY(WriteFavorites(Home->path() + "/tarnwickfavors.txt", {"1.2.3.4:1400"}));
    const auto Mode = [](const QString& Path) {
        struct stat Info;
        return stat(QFile::encodeName(Path).constData(), &Info) == 0 ? Info.st_mode & 07777 : 0u;
    };
    QCOMPARE(Mode(Home->path()), 0755u);
    QCOMPARE(Mode(Home->path() + "/made"), 0700u);
    QCOMPARE(Mode(Sub), 0700u);
    QCOMPARE(Mode(Sub + "/registry.ini"), 0600u);
    QCOMPARE(Mode(Home->path() + "/registry.ini"), 0600u);
    QCOMPARE(Mode(Home->path() + "/tarnwickfavors.txt"), 0600u);
}

// A store as the program has always written it: every field away from its default.
void TestSettings::earlierStoreReadBack() {
    const QString File = Home->path() + "/registry.ini";
    const QString Earlier = QStringLiteral(QT_TESTCASE_SOURCEDIR "/config/data/registry-3.1.4.ini");
    QVERIFY(QFile::copy(Earlier, File));
    QFile::setPermissions(File, QFile::ReadOwner | QFile::WriteOwner);
    QSettings Raw(Earlier, QSettings::IniFormat);
    Raw.beginGroup("Software/Scoutly/tarnwick/morrow/config");
    {
        TSettings Settings(TEdition::Morrow());
        for (const TFieldSchema& F : FieldSchema()) {
            // Fields added since that store read as their defaults.
            if (F.Field > TField::FormTop) {
                QVERIFY2(!Raw.contains(F.Name), F.Name);
                QCOMPARE(Settings.Value(F.Field), QString::fromLatin1(F.Default));
                continue;
            }
            QVERIFY2(Raw.contains(F.Name), F.Name);
            QCOMPARE(Settings.Value(F.Field), Raw.value(F.Name).toString());
        }
        QCOMPARE(Settings.InstallCode, QString("AB12-CD34-EF56-GH78"));
        QCOMPARE(Settings.BannerInterval, 120000);
        QCOMPARE(Settings.MasterPort(), QByteArray("28911"));
        QCOMPARE(Settings.ChatServerHost(), QByteArray("irc.example"));
        QCOMPARE(Settings.QueriesAtOnce(), 64);
        QVERIFY(Settings.ProxyChoice().UseSocks && !Settings.ProxyChoice().Socks5);
        QCOMPARE(Settings.Stored("showtips"), QString("False"));
        // Written back unchanged, byte for byte.
        Settings.Save();
    }
    QFile A(Earlier), B(File);
    QVERIFY(A.open(QIODevice::ReadOnly) && B.open(QIODevice::ReadOnly));
    // Besides the fields added since, which are written with their defaults.
    QByteArray Written = B.readAll();
    Written.replace("Scoutly\\tarnwick\\morrow\\config\\queryrate_Value=200\n", "");
    QCOMPARE(Written, A.readAll());
}

void TestSettings::links_data() {
    QTest::addColumn<TValues>("stored");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("link"); // text, address, hint
    QTest::addColumn<int>("bannerInterval");
    const TLink Banner = LinkDefaults()[0].Default;
    const QStringList BannerDefault{Banner.Text, Banner.Address, Banner.Hint};
    QTest::newRow("nothing stored") << TValues{} << "banner" << BannerDefault << 300000;
    // Without its text an entry keeps all three defaults, even when its address is stored.
    QTest::newRow("empty text keeps defaults")
        << TValues{{"bannertext", ""}, {"bannerurl", "http://x.example/"}} << "banner"
        << BannerDefault << 300000;
    QTest::newRow("text replaces all three")
        << TValues{{"lb2text", "New Site"}, {"lb2url", "http://new.example/"}} << "lb2"
        << QStringList{"New Site", "http://new.example/", ""} << 300000;
    QTest::newRow("banner interval")
        << TValues{{"bannerinterval", "120000"}} << "banner" << BannerDefault << 120000;
    QTest::newRow("names in any case")
        << TValues{{"BannerInterval", "12000"}, {"LB2Text", "New"}, {"lb2URL", "http://n/"}}
        << "lb2" << QStringList{"New", "http://n/", ""} << 12000;
    QTest::newRow("banner interval not a number")
        << TValues{{"bannerinterval", "abc"}} << "banner" << BannerDefault << 300000;
}

void TestSettings::links() {
    QFETCH(TValues, stored);
    QFETCH(QString, name);
    QFETCH(QStringList, link);
    QFETCH(int, bannerInterval);
    TRegistry Registry;
    for (const auto& [Name, Value] : stored)
        Registry.WriteString(Key, Name, Value);
    TLinks Links;
    int Interval = 300000;
    LoadLinks(Registry, Key, Links, Interval);
    QCOMPARE(Interval, bannerInterval);
    for (const TLinkDefault& Entry : LinkDefaults())
        if (Entry.Name == name)
            QCOMPARE((QStringList{Links[Entry.Index].Text, Links[Entry.Index].Address,
                                  Links[Entry.Index].Hint}),
                     link);
    QCOMPARE(Links[lkScoutly].Hint, QString("Powered by Scoutly"));
    QVERIFY(!Links[lkScroller].Address.isEmpty());
}

// Only web and mail addresses reach the desktop's opener; the refusal names the link and why.
void TestSettings::linksThatOpen_data() {
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QString>("why"); // empty: opened
    for (const char* A :
         {"http://example.com/a?b=c d", "HTTPS://Example.com/", "mailto:a@b.example"})
        QTest::newRow(A) << QByteArray(A) << QString();
    QTest::newRow(".desktop") << QByteArray("file:///home/me/Downloads/GAME.DESKTOP")
                              << "Link not opened: file:///home/me/Downloads/GAME.DESKTOP (file "
                                 "links are not opened, only http, https and mailto)";
    for (const char* A : {"telnet://h", "gopher://h", "news:a.b", "nntp://h/a", "ftp://h/f",
                          "javascript:alert(1)", "data:text/html,x", "e-mail:x"})
        QTest::newRow(A) << QByteArray(A) << "links are not opened";
    QTest::newRow("no scheme") << QByteArray("/etc/passwd") << "it has no scheme";
    QTest::newRow("no host") << QByteArray("http:///etc/passwd") << "it names no host";
    QTest::newRow("empty mailto") << QByteArray("mailto:") << "it names no mail address";
    QTest::newRow("empty") << QByteArray() << "it is not a valid address";
    QTest::newRow("long") << "ftp://" + QByteArray(500, 'x') << QString(154, 'x') + "... (";
}

void TestSettings::linksThatOpen() {
    QFETCH(QByteArray, address);
    QFETCH(QString, why);
    const QString Said = LinkRefusal(address);
    QVERIFY2(why.isEmpty() ? Said.isEmpty()
                           : Said.startsWith("Link not opened: ") && Said.contains(why),
             qPrintable(Said));
}

void TestSettings::installCodeMadeOnce() {
    QString First;
    {
        TRegistry Registry;
        First = LoadInstallCode(Registry, Key);
    }
    QVERIFY2(QRegularExpression("^[A-Za-z0-9]{4}(-[A-Za-z0-9]{4}){3}$").match(First).hasMatch(),
             qPrintable(First));
    TRegistry Registry;
    QCOMPARE(Registry.ReadString(Key, "code"), First);
    QCOMPARE(LoadInstallCode(Registry, Key), First);
    // Another home is another installation.
    QTemporaryDir Other;
    TRegistry Elsewhere(Other.path() + "/registry.ini");
    QVERIFY(LoadInstallCode(Elsewhere, Key) != First);
}

void TestSettings::socksProxy_data() {
    QTest::addColumn<bool>("use");
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<bool>("socks5");
    QTest::addColumn<QByteArrayList>("expected"); // server, port, level, user, password, auth
    QTest::newRow("off empties") << false << QByteArray("u") << true
                                 << QByteArrayList{"", "", "4", "", "", "keep"};
    QTest::newRow("on without user") << true << QByteArray() << true
                                     << QByteArrayList{"socks.example", "1080", "5", "", "pw", "0"};
    QTest::newRow("on with user, version 4")
        << true << QByteArray("bob") << false
        << QByteArrayList{"socks.example", "1080", "4", "bob", "pw", "1"};
}

void TestSettings::socksProxy() {
    QFETCH(bool, use);
    QFETCH(QByteArray, user);
    QFETCH(bool, socks5);
    QFETCH(QByteArrayList, expected);
    TProxyChoice Choice;
    Choice.UseSocks = use;
    Choice.SocksAddress = "socks.example";
    Choice.SocksUser = user;
    Choice.SocksPassword = "pw";
    Choice.Socks5 = socks5;
    TSocksSettings Socket{"old", "9", "4", "olduser", "oldpass", true};
    ApplySocksProxy(Choice, Socket);
    QCOMPARE((QByteArrayList{Socket.SocksServer, Socket.SocksPort, Socket.SocksLevel,
                             Socket.SocksUsercode, Socket.SocksPassword}),
             expected.mid(0, 5));
    // Switched off, the level and the authentication flag stay as they were.
    if (expected[5] != "keep")
        QCOMPARE(Socket.SocksAuthentication, expected[5] == "1");
    else
        QCOMPARE(Socket.SocksAuthentication, true);
}

void TestSettings::httpProxy_data() {
    QTest::addColumn<bool>("http");
    QTest::addColumn<bool>("socks");
    QTest::addColumn<QByteArrayList>("expected"); // proxy, port, user, password, socks server
    QTest::newRow("http proxy") << true << true
                                << QByteArrayList{"proxy.example", "80", "u", "p", ""};
    QTest::newRow("socks instead")
        << false << true << QByteArrayList{"", "", "", "", "socks.example"};
    QTest::newRow("direct") << false << false << QByteArrayList{"", "", "", "", ""};
}

void TestSettings::httpProxy() {
    QFETCH(bool, http);
    QFETCH(bool, socks);
    QFETCH(QByteArrayList, expected);
    TProxyChoice Choice;
    Choice.UseHttp = http;
    Choice.HttpAddress = "proxy.example";
    Choice.HttpPort = "80";
    Choice.HttpUser = "u";
    Choice.HttpPassword = "p";
    Choice.UseSocks = socks;
    Choice.SocksAddress = "socks.example";
    THttpProxySettings Client;
    Client.Proxy = "stale";
    ApplyHttpProxy(Choice, Client);
    QCOMPARE((QByteArrayList{Client.Proxy, Client.ProxyPort, Client.ProxyUsername,
                             Client.ProxyPassword, Client.Socks.SocksServer}),
             expected);
    if (!http && socks) QCOMPARE(Client.Socks.SocksPort, QByteArray("1080"));
}

void TestSettings::playerClasses() {
    QCOMPARE(MorrowModels().size(), ModelCount);
    QList<int> Counts;
    for (int I = 0; I < ModelCount; ++I)
        Counts << MorrowModelSkins(I).size();
    QCOMPARE(Counts, (QList<int>{10, 8, 7, 8, 9, 1, 0}));
    QVERIFY(MorrowModelSkins(-1).isEmpty() && MorrowModelSkins(ModelCount).isEmpty());
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
