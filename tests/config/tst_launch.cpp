// The command lines the dialogs build for joining a server.
#include "ui/config/morrowconfig_main.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestLaunch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void editionArguments_data();
    void editionArguments();
    void baseArguments();
    void windowsGameNeedsWine();

private:
    QTemporaryDir Home;
};

void TestLaunch::initTestCase() {
    qputenv("SCOUTLY_HOME", Home.path().toUtf8());
}

void TestLaunch::editionArguments_data() {
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("skin");
    QTest::addColumn<QString>("arguments");
    QTest::newRow("nothing set") << ""
                                 << ""
                                 << ""
                                 << "10.0.0.5:7777";
    QTest::newRow("all three") << "Bob"
                               << "Mage"
                               << "Ember"
                               << "10.0.0.5:7777?name=Bob?class=Morrowi.Mage?skin=Ember";
    QTest::newRow("blank in the nick, typed model")
        << "Bob Smith"
        << "Dragon"
        << ""
        << "10.0.0.5:7777?name=Bob Smith?class=Morrowi.Dragon";
    QTest::newRow("skin alone") << ""
                                << ""
                                << "Ember"
                                << "10.0.0.5:7777?skin=Ember";
}

void TestLaunch::editionArguments() {
    QFETCH(QString, nick);
    QFETCH(QString, model);
    QFETCH(QString, skin);
    QFETCH(QString, arguments);
    auto F = Tconfig_form::Create<Tmorrowconfig_form>();
    F->nick->setText(nick);
    F->modelbox->setEditText(model);
    F->skinbox->setEditText(skin);
    // The game port, not the query port the favourites use.
    TMorrowServer Server("10.0.0.5", "27900");
    Server.GamePort = "7777";
    QVERIFY(F->BuildLaunchArguments(Server));
    QCOMPARE(F->LaunchArguments, arguments);
}

void TestLaunch::baseArguments() {
    auto F = Tconfig_form::Create<Tconfig_form>();
    F->nick->setText("Bob");
    TSQPServer Server("10.0.0.5", "27900");
    QVERIFY(F->BuildLaunchArguments(Server));
    QCOMPARE(F->LaunchArguments, QString("+connect 10.0.0.5:27900"));
}

void TestLaunch::windowsGameNeedsWine() {
    if (!QStandardPaths::findExecutable("wine").isEmpty()) QSKIP("wine is installed here");
    auto F = Tconfig_form::Create<Tmorrowconfig_form>();
    const QString Game = Home.path() + "/game/";
    QDir().mkpath(Game);
    QFile(Game + "morrow.exe").open(QIODevice::WriteOnly);
    F->program_dir->setText(Game);
    QString Text;
    QTimer::singleShot(50, [&] {
        if (auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            Text = Box->text();
            Box->button(QMessageBox::Ok)->click();
        }
    });
    F->LaunchGame(TMorrowServer("10.0.0.5", "27900"));
    QCOMPARE(
        Text,
        QString("Wine is needed to start morrow.exe: install the wine package and try again."));
    QCOMPARE(F->LaunchedProcessId, 0);
}

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
