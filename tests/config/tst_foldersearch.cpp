#include "config/foldersearch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

// Below Base: "a/b/" is a folder, "a/b/f" an empty file, "a/l->target" a symlink.
void Plant(const QString& Base, const QStringList& Entries) {
    for (const QString& Entry : Entries) {
        const QString Path = Base + u'/' + Entry.section(QStringLiteral("->"), 0, 0);
        QDir().mkpath(Entry.endsWith(u'/') ? Path : QFileInfo(Path).path());
        if (Entry.contains(QStringLiteral("->")))
            QVERIFY(QFile::link(Entry.section(QStringLiteral("->"), 1), Path));
        else if (!Entry.endsWith(u'/'))
            QVERIFY(QFile(Path).open(QIODevice::WriteOnly));
    }
}

QStringList Below(const QString& Base, const QStringList& Relative) {
    QStringList Result;
    for (const QString& Path : Relative)
        Result << (Path == QStringLiteral(".") ? Base : Base + u'/' + Path);
    return Result;
}

// What the search reported, in order.
struct TLog {
    QStringList Events;
    explicit TLog(TGameFolderSearch& Search) {
        QObject::connect(&Search, &TGameFolderSearch::Found, [this](const QString& Folder) {
            Events << QStringLiteral("found ") + Folder;
        });
        QObject::connect(&Search, &TGameFolderSearch::Finished, [this](bool Found, bool Cancelled) {
            Events << QStringLiteral("finished %1 %2").arg(Found).arg(Cancelled);
        });
    }
    bool WaitFinished(int Count, int Ms) {
        return QTest::qWaitFor(
            [&] { return Events.filter(QStringLiteral("finished")).size() >= Count; }, Ms);
    }
};

} // namespace

class TestFolderSearch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void candidates_data();
    void candidates();
    void walk_data();
    void walk();
    void firstCandidateWins();
    void cancelStopsAtOnce();
    void restartCancelsRunningWalk();
    void fixedRoots_data();
    void fixedRoots();

private:
    QTemporaryDir Big;
};

void TestFolderSearch::initTestCase() {
    // 4500 folders with the executable in the one walked last.
    QVERIFY(Big.isValid());
    for (int A = 0; A < 30; ++A)
        for (int B = 0; B < 30; ++B)
            for (int C = 0; C < 5; ++C)
                QVERIFY(QDir().mkpath(QStringLiteral("%1/%2/%3/%4")
                                          .arg(Big.path())
                                          .arg(A, 2, 10, QChar(u'0'))
                                          .arg(B, 2, 10, QChar(u'0'))
                                          .arg(C)));
    Plant(Big.path(), {QStringLiteral("29/29/4/morrow.exe")});
}

void TestFolderSearch::candidates_data() {
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("roots");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("nothing there") << QStringList() << QStringList{"r1", "r2"}
                                   << QStringList{"r1/morrow/system",
                                                  "r1/games/morrow/system",
                                                  "r1/program files/morrow/system",
                                                  "r2/morrow/system",
                                                  "r2/games/morrow/system",
                                                  "r2/program files/morrow/system",
                                                  "r1",
                                                  "r2"};
    QTest::newRow("any case") << QStringList{"r1/Program Files/Morrow/System/", "r1/GAMES/morrow/",
                                             "r2/Morrow/system/"}
                              << QStringList{"r1", "r2"}
                              << QStringList{"r1/morrow/system",
                                             "r1/GAMES/morrow/system",
                                             "r1/Program Files/Morrow/System",
                                             "r2/Morrow/system",
                                             "r2/games/morrow/system",
                                             "r2/program files/morrow/system",
                                             "r1",
                                             "r2"};
    QTest::newRow("exact name first")
        << QStringList{"r1/Morrow/System/", "r1/morrow/system/"} << QStringList{"r1"}
        << QStringList{"r1/morrow/system", "r1/games/morrow/system",
                       "r1/program files/morrow/system", "r1"};
    QTest::newRow("same root twice") << QStringList() << QStringList{"r1", "r1/"}
                                     << QStringList{"r1/morrow/system", "r1/games/morrow/system",
                                                    "r1/program files/morrow/system", "r1"};
}

void TestFolderSearch::candidates() {
    QFETCH(QStringList, tree);
    QFETCH(QStringList, roots);
    QFETCH(QStringList, expected);
    QTemporaryDir Dir;
    Plant(Dir.path(), tree);
    QCOMPARE(TGameFolderSearch::Candidates(Below(Dir.path(), roots), "morrow/system"),
             Below(Dir.path(), expected));
}

void TestFolderSearch::walk_data() {
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("candidates");
    QTest::addColumn<QString>("expected"); // empty: nothing found

    QTest::newRow("deep, hidden, any case")
        << QStringList{"a/x/", ".wine/b/c/MORROW.EXE"} << QStringList{"."} << ".wine/b/c";
    QTest::newRow("shallowest in a folder")
        << QStringList{"a/morrow.exe", "Morrow.exe"} << QStringList{"."} << ".";
    QTest::newRow("candidates in order, missing skipped")
        << QStringList{"late/morrow.exe", "early/deep/er/morrow.exe"}
        << QStringList{"missing", "early", "late"} << "early/deep/er";
    QTest::newRow("names that are not the file")
        << QStringList{"a/morrow.exe/", "a/morrow.exe.bak", "a/b/morrow", "a/c/morrow.exe->gone"}
        << QStringList{"."} << "";
    QTest::newRow("symlinked folder not followed")
        << QStringList{"outside/morrow.exe", "in/link->../outside"} << QStringList{"in"} << "";
    QTest::newRow("symlink loops")
        << QStringList{"a/up->..", "a/self->.", "a/b/top->../..", "a/b/c/"} << QStringList{".", "a"}
        << "";
    QTest::newRow("reported under the name given")
        << QStringList{"real/sub/morrow.exe", "alias->real"} << QStringList{"alias"} << "alias/sub";
    QTest::newRow("candidate itself under the name given")
        << QStringList{"real/morrow.exe", "alias->real"} << QStringList{"alias"} << "alias";
}

void TestFolderSearch::walk() {
    QFETCH(QStringList, tree);
    QFETCH(QStringList, candidates);
    QFETCH(QString, expected);
    QTemporaryDir Dir;
    Plant(Dir.path(), tree);

    TGameFolderSearch Search;
    TLog Log(Search);
    Search.Start(Below(Dir.path(), candidates), "morrow.exe");
    QVERIFY(Search.Running());
    QVERIFY(Log.WaitFinished(1, 2000));
    QVERIFY(!Search.Running());
    QCoreApplication::processEvents();
    if (expected.isEmpty())
        QCOMPARE(Log.Events, QStringList{"finished 0 0"});
    else
        QCOMPARE(Log.Events,
                 (QStringList{"found " + Below(Dir.path(), {expected}).first(), "finished 1 0"}));
}

void TestFolderSearch::firstCandidateWins() {
    // r2's game folder comes before the roots, so r1's copy is never reached.
    QTemporaryDir Dir;
    Plant(Dir.path(), {"r1/morrow.exe", "r2/Program Files/Morrow/System/bin/MORROW.EXE"});
    TGameFolderSearch Search;
    TLog Log(Search);
    Search.Start(TGameFolderSearch::Candidates(Below(Dir.path(), {"r1", "r2"}), "morrow/system"),
                 "morrow.exe");
    QVERIFY(Log.WaitFinished(1, 2000));
    QCOMPARE(Log.Events, (QStringList{"found " + Dir.path() + "/r2/Program Files/Morrow/System/bin",
                                      "finished 1 0"}));
}

void TestFolderSearch::cancelStopsAtOnce() {
    auto Search = std::make_unique<TGameFolderSearch>();
    TLog Log(*Search);
    QElapsedTimer Clock;
    qint64 FullWalk = 0;
    connect(
        Search.get(), &TGameFolderSearch::Finished, this, [&] { FullWalk = Clock.elapsed(); },
        Qt::SingleShotConnection);
    Clock.start();
    Search->Start({Big.path()}, "morrow.exe");
    QVERIFY(Log.WaitFinished(1, 5000));
    QCOMPARE(Log.Events, (QStringList{"found " + Big.path() + "/29/29/4", "finished 1 0"}));

    Log.Events.clear();
    Search->Start({Big.path()}, "morrow.exe");
    // No events are handled while the worker gets under way, so the cancel lands mid-walk.
    QThread::msleep(FullWalk / 10);
    Clock.restart();
    Search->Cancel();
    QVERIFY(!Search->Running());
    QVERIFY(Log.WaitFinished(1, 100));
    // Destruction joins the worker: quick only if the walk heeds the cancel.
    Search.reset();
    const qint64 Stopped = Clock.elapsed();
    QCOMPARE(Log.Events, QStringList{"finished 0 1"});
    QVERIFY2(
        Stopped * 4 < FullWalk,
        qPrintable(
            QStringLiteral("stopped after %1 ms, full walk %2 ms").arg(Stopped).arg(FullWalk)));
}

void TestFolderSearch::restartCancelsRunningWalk() {
    QTemporaryDir Small;
    Plant(Small.path(), {"morrow.exe"});
    TGameFolderSearch Search;
    TLog Log(Search);
    Search.Start({Big.path()}, "morrow.exe");
    Search.Start({Small.path()}, "morrow.exe");
    QVERIFY(Log.WaitFinished(2, 2000));
    QCoreApplication::processEvents();
    QCOMPARE(Log.Events, (QStringList{"finished 0 1", "found " + Small.path(), "finished 1 0"}));
}

void TestFolderSearch::fixedRoots_data() {
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("tail"); // the roots after the mounts, below the home folder

    QTest::newRow("wine prefixes")
        << QStringList{".wine/drive_c/", ".local/share/wineprefixes/b/drive_c/",
                       ".local/share/wineprefixes/a/drive_c/",
                       ".local/share/wineprefixes/c/notdrive_c/", ".local/share/wineprefixes/file"}
        << QStringList{".", ".wine/drive_c", ".local/share/wineprefixes/a/drive_c",
                       ".local/share/wineprefixes/b/drive_c"};
    QTest::newRow("no wine") << QStringList{".wine/"} << QStringList{"."};
}

void TestFolderSearch::fixedRoots() {
    QFETCH(QStringList, tree);
    QFETCH(QStringList, tail);
    QTemporaryDir Home;
    Plant(Home.path(), tree);
    const QByteArray OldHome = qgetenv("HOME");
    qputenv("HOME", Home.path().toLocal8Bit());
    const QStringList Roots = TGameFolderSearch::FixedRoots();
    qputenv("HOME", OldHome);

    QVERIFY(Roots.size() >= tail.size());
    QCOMPARE(Roots.mid(Roots.size() - tail.size()), Below(Home.path(), tail));
    const QStringList Mounts = Roots.first(Roots.size() - tail.size());
    QStringList Sorted = Mounts;
    Sorted.sort();
    QCOMPARE(Mounts, Sorted);
    QCOMPARE(QSet<QString>(Roots.begin(), Roots.end()).size(), Roots.size());
    const QStringList Excluded = {"proc",    "sysfs", "tmpfs", "devtmpfs", "cgroup",
                                  "cgroup2", "nfs",   "nfs4",  "cifs",     "9p"};
    for (const QString& Root : Roots) {
        QVERIFY2(QDir::isAbsolutePath(Root) && QFileInfo(Root).isDir(), qPrintable(Root));
        for (const char* System : {"/proc", "/sys", "/dev", "/run"})
            QVERIFY2(Root != System && !Root.startsWith(QString(System) + '/'), qPrintable(Root));
    }
    for (const QString& Mount : Mounts) {
        const QStorageInfo Volume(Mount);
        QVERIFY2(!Volume.isReadOnly() && !Excluded.contains(QString(Volume.fileSystemType())),
                 qPrintable(Mount));
    }
}

QTEST_GUILESS_MAIN(TestFolderSearch)
#include "tst_foldersearch.moc"
