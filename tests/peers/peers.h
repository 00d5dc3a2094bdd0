// Real servers for the tests, each started in a throwaway folder on a free loopback port and
// stopped by its own process id when the test is done.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

inline quint16 FreeTcpPort() {
    QTcpServer Probe;
    Probe.listen(QHostAddress::LocalHost);
    return Probe.serverPort();
}

class TPeer {
public:
    ~TPeer() { Stop(); }

    // Writes Config (if any) to "peer.conf" in the folder, replacing DIR and PORT in it and in
    // the arguments, starts Program and waits until Port answers.
    bool Start(const QString& Program, QStringList Arguments, QString Config = {}) {
        const QString Path =
            QStandardPaths::findExecutable(Program, {"/usr/sbin", "/usr/bin", "/sbin"});
        if (Path.isEmpty() || !Folder.isValid()) {
            Why = Program + " is not installed";
            return false;
        }
        Port = FreeTcpPort();
        const auto Fill = [this](QString Text) {
            return Text.replace("DIR", Folder.path()).replace("PORT", QString::number(Port));
        };
        if (!Config.isEmpty()) {
            QFile File(Folder.filePath("peer.conf"));
            if (!File.open(QIODevice::WriteOnly)) return false;
            File.write(Fill(Config).toUtf8());
        }
        for (QString& A : Arguments)
            A = Fill(A);
        QDir(Folder.path()).mkpath("pid");
        Process.setProcessChannelMode(QProcess::MergedChannels);
        Process.start(Path, Arguments);
        if (!Process.waitForStarted(5000)) {
            Why = Program + " did not start";
            return false;
        }
        QElapsedTimer Clock;
        Clock.start();
        while (Clock.elapsed() < 10000) {
            QTcpSocket Probe;
            Probe.connectToHost(QHostAddress::LocalHost, Port);
            if (Probe.waitForConnected(200)) return true;
            if (Process.state() == QProcess::NotRunning) break;
            QTest::qWait(30);
        }
        Why = Program + " did not listen: " + QString::fromLocal8Bit(Process.readAll());
        return false;
    }

    void Stop() {
        if (Process.state() == QProcess::NotRunning) return;
        ::kill(pid_t(Process.processId()), SIGTERM);
        if (!Process.waitForFinished(3000)) Process.kill();
        Process.waitForFinished(1000);
    }

    QTemporaryDir Folder;
    QProcess Process;
    quint16 Port = 0;
    QString Why;
};
