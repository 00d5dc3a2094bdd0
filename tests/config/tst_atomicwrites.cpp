// Favourites and settings survive a crash in the middle of their write: a writer process is
// killed at random moments and the file it leaves must hold one whole generation.
#include "config/favorites.h"
#include "config/settingsstore.h"

#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QtTest>

#include <cstdio>

namespace {
const QString Key = "Software\\Scoutly\\tarnwick\\morrow\\config";
constexpr int FavoriteCount = 3000, SettingCount = 400;

QString FavoriteOf(int Generation, int I) {
    return QString("10.%1.%2.%3:%4").arg(I / 256).arg(I % 256).arg(Generation % 250).arg(27900);
}
QString SettingOf(int Generation) {
    return QString("g%1-").arg(Generation) + QString(200, 'x');
}

// The child: rewrites its file over and over, each generation different, until killed.
int RunWriter(const QString& What, const QString& FileName) {
    for (int Generation = 0;; ++Generation) {
        if (What == "favorites") {
            QStringList Keys;
            for (int I = 0; I < FavoriteCount; ++I)
                Keys << FavoriteOf(Generation, I);
            if (!WriteFavorites(FileName, Keys)) return 2;
        } else {
            TRegistry Registry(FileName);
            for (int I = 0; I < SettingCount; ++I)
                Registry.WriteString(Key, QString("field%1_Text").arg(I), SettingOf(Generation));
            Registry.Flush();
        }
        if (Generation == 0) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
}
} // namespace

class TestAtomicWrites : public QObject {
    Q_OBJECT
private slots:
    void killedWhileWriting_data();
    void killedWhileWriting();
    void leftoverLock_data();
    void leftoverLock();
};

void TestAtomicWrites::killedWhileWriting_data() {
    QTest::addColumn<QString>("what");
    QTest::newRow("favourites") << "favorites";
    QTest::newRow("settings") << "settings";
}

void TestAtomicWrites::killedWhileWriting() {
    QFETCH(QString, what);
    QTemporaryDir Dir;
    const QString FileName = Dir.filePath(what == "favorites" ? "tarnwickfavors.txt" : "reg.ini");
    for (int Round = 0; Round < 15; ++Round) {
        QProcess Writer;
        Writer.start(QCoreApplication::applicationFilePath(), {"--writer", what, FileName});
        QVERIFY(Writer.waitForReadyRead(20000));
        QTest::qWait(int(QRandomGenerator::global()->bounded(40)));
        Writer.kill();
        QVERIFY(Writer.waitForFinished(5000));
        QCOMPARE(Writer.exitStatus(), QProcess::CrashExit);

        if (what == "favorites") {
            const QStringList Keys = ReadFavorites(FileName);
            QCOMPARE(Keys.size(), FavoriteCount);
            const QString Generation = Keys.first().section(':', 0, 0).section('.', 3);
            for (const QString& K : Keys)
                QCOMPARE(K.section(':', 0, 0).section('.', 3), Generation);
        } else {
            QSettings Raw(FileName, QSettings::IniFormat);
            QCOMPARE(Raw.status(), QSettings::NoError);
            const QStringList Names = Raw.allKeys();
            QCOMPARE(Names.size(), SettingCount);
            const QString First = Raw.value(Names.first()).toString();
            QVERIFY(First.endsWith(QString(200, 'x')));
            for (const QString& Name : Names)
                QCOMPARE(Raw.value(Name).toString(), First);
        }
    }
}

void TestAtomicWrites::leftoverLock_data() {
    QTest::addColumn<int>("ageMs"); // -1: a live writer holds it
    QTest::newRow("empty, just left") << 0;
    QTest::newRow("empty, left seconds ago") << 5000;
    QTest::newRow("held by a live writer") << -1;
}

// A writer killed between making the settings lock and naming itself in it leaves the lock
// empty: the next save must not sit out the 30 s QSettings grants such a lock, nor take a
// live writer's lock away.
void TestAtomicWrites::leftoverLock() {
    QFETCH(int, ageMs);
    QTemporaryDir Dir;
    const QString FileName = Dir.filePath("reg.ini"), LockName = FileName + ".lock";
    if (ageMs < 0) {
        QLockFile Held(LockName);
        QVERIFY(Held.tryLock());
        TRegistry Registry(FileName);
        QVERIFY(QFile::exists(LockName));
        return;
    }
    QFile Lock(LockName);
    QVERIFY(Lock.open(QIODevice::WriteOnly));
    QVERIFY(Lock.setFileTime(QDateTime::currentDateTime().addMSecs(-ageMs),
                             QFileDevice::FileModificationTime));
    Lock.close();
    QElapsedTimer Clock;
    Clock.start();
    {
        TRegistry Registry(FileName);
        Registry.WriteString(Key, "field1_Text", "saved");
        Registry.Flush();
    }
    QVERIFY2(Clock.elapsed() < 10000, qPrintable(QString::number(Clock.elapsed()) + " ms"));
    QCOMPARE(TRegistry(FileName).ReadString(Key, "field1_Text"), QString("saved"));
}

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]) == "--writer") {
        QCoreApplication App(argc, argv);
        return RunWriter(argv[2], argv[3]);
    }
    QCoreApplication App(argc, argv);
    TestAtomicWrites Test;
    return QTest::qExec(&Test, argc, argv);
}

#include "tst_atomicwrites.moc"
