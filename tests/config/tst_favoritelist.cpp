// The favourites without a window: their order, the rules for adding and removing, the file.
#include "config/favorites.h"
#include "net/netutils.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
TServerRef Server(const QByteArray& Key) {
    return TServerRef(TMorrowServer::Class.Create(HostOf(Key), PortOf(Key, "1400")));
}
} // namespace

class TestFavoriteList : public QObject {
    Q_OBJECT
private slots:
    void init();
    void rules_data();
    void rules();
    void fileRoundTrip();

private:
    std::unique_ptr<QTemporaryDir> Home;
};

void TestFavoriteList::init() {
    Home = std::make_unique<QTemporaryDir>();
    qputenv("SCOUTLY_HOME", Home->path().toUtf8());
}

void TestFavoriteList::rules_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("hand-edited file read sorted")
        << QByteArray("z.host:1\nA.host:1\n\n  m.host:1  \r\n") << "" << QByteArray() << false
        << QStringList{"A.host:1", "m.host:1", "z.host:1"};
    QTest::newRow("add goes in order") << QByteArray("b:1\r\nD:1\r\n") << "add" << QByteArray("c:1")
                                       << true << QStringList{"b:1", "c:1", "D:1"};
    QTest::newRow("add of a key there in other case")
        << QByteArray("Host.A:1\r\n") << "add" << QByteArray("host.a:1") << false
        << QStringList{"Host.A:1"};
    QTest::newRow("same host, other port")
        << QByteArray("h:1\r\n") << "add" << QByteArray("h:2") << true << QStringList{"h:1", "h:2"};
    QTest::newRow("remove takes every case")
        << QByteArray("HOST:1\nother:1\nhost:1\n") << "remove" << QByteArray("Host:1") << true
        << QStringList{"other:1"};
    QTest::newRow("remove of a stranger")
        << QByteArray("a:1\r\n") << "remove" << QByteArray("a:2") << false << QStringList{"a:1"};
}

void TestFavoriteList::rules() {
    QFETCH(QByteArray, file);
    QFETCH(QString, operation);
    QFETCH(QByteArray, key);
    QFETCH(bool, changed);
    QFETCH(QStringList, keys);
    TFavorites Favorites(TFavorites::FileFor("tarnwick"));
    {
        QDir().mkpath(Home->path());
        QFile Out(Favorites.FileName());
        QVERIFY(Out.open(QIODevice::WriteOnly));
        Out.write(file);
    }
    Favorites.Load();
    if (operation == "add") QCOMPARE(Favorites.Add(*Server(key)), changed);
    if (operation == "remove") QCOMPARE(Favorites.Remove(*Server(key)), changed);
    QCOMPARE(Favorites.Keys(), keys);
    for (const QString& K : keys) {
        QVERIFY(Favorites.IsFavorite(*Server(K.toUpper().toLatin1())));
        QVERIFY(Favorites.IsFavorite(*Server(K.toLower().toLatin1())));
    }
    if (operation == "remove") QVERIFY(!Favorites.IsFavorite(*Server(key)));
}

void TestFavoriteList::fileRoundTrip() {
    TFavorites Favorites(TFavorites::FileFor("tarnwick"));
    QCOMPARE(Favorites.FileName(), Home->path() + "/tarnwickfavors.txt");
    Favorites.Load();
    QVERIFY(Favorites.IsEmpty());
    for (const QByteArray Key : {"10.0.0.9:27900", "10.0.0.10:27901", "b.example:7"})
        QVERIFY(Favorites.Add(*Server(Key)));
    QVERIFY(Favorites.Save());
    QFile File(Favorites.FileName());
    QVERIFY(File.open(QIODevice::ReadOnly));
    QCOMPARE(File.readAll(), QByteArray("10.0.0.10:27901\r\n10.0.0.9:27900\r\nb.example:7\r\n"));
    File.close();

    TFavorites Again(Favorites.FileName());
    Again.Load();
    QCOMPARE(Again.Keys(), Favorites.Keys());
    // A key written by hand without a port asks the default query port.
    QVERIFY(File.open(QIODevice::Append));
    File.write("A.example\n");
    File.close();
    Again.Load();
    const QList<TServerRef> Servers = Again.Servers(&TMorrowServer::Class);
    QCOMPARE(Servers.size(), 4);
    QCOMPARE(Servers[2]->Address + ':' + Servers[2]->QueryPort, QByteArray("A.example:1400"));
    QCOMPARE(Servers[3]->Address + ':' + Servers[3]->QueryPort, QByteArray("b.example:7"));
}

QTEST_GUILESS_MAIN(TestFavoriteList)
#include "tst_favoritelist.moc"
