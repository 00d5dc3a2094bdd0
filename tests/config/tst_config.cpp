// The configuration dialog driven through its real widgets, offscreen, in a throwaway home.
#include "config/settings.h"
#include "config/settingsstore.h"
#include "ui/config/morrowconfig_main.h"

#include "boxanswer.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {

void Plant(const QString& Folder) {
    QDir().mkpath(Folder);
    QFile Exe(Folder + "/morrow.exe");
    QVERIFY(Exe.open(QIODevice::WriteOnly));
}

// Brings the control's tab forward and clicks it where a user would.
void Click(Tconfig_form& F, QWidget* Control) {
    for (QWidget* W = Control; W; W = W->parentWidget())
        if (const int Tab = F.configpages->indexOf(W); Tab >= 0)
            F.configpages->setCurrentIndex(Tab);
    QTest::mouseClick(Control, Qt::LeftButton, {}, QPoint(8, Control->height() / 2));
}

// The dialog over settings of its own, read from the test's home.
struct TDialog {
    std::unique_ptr<TSettings> Settings = std::make_unique<TSettings>(TEdition::Morrow());
    std::unique_ptr<Tmorrowconfig_form> Form = Tconfig_form::Create<Tmorrowconfig_form>(*Settings);
    Tmorrowconfig_form* operator->() const { return Form.get(); }
    Tmorrowconfig_form& operator*() const { return *Form; }
    Tmorrowconfig_form* get() const { return Form.get(); }
};

TDialog NewDialog() {
    return {};
}

} // namespace

class TestConfig : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void freshHomeDefaults();
    void storedByOneReadByNext();
    void okAddsSeparatorAndAsks_data();
    void okAddsSeparatorAndAsks();
    void cancelDiscardsEdits();
    void proxyBoxes();
    void firstStartOpensModally();
    void modelAndSkinLists();
    void skinFallsBack();
    void folderSearch();
    void aboutBox();

private:
    std::unique_ptr<QTemporaryDir> Home;
};

void TestConfig::init() {
    Home = std::make_unique<QTemporaryDir>();
    qputenv("SCOUTLY_HOME", Home->path().toUtf8());
}

void TestConfig::cleanup() {
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void TestConfig::freshHomeDefaults() {
    auto F = NewDialog();
    QCOMPARE(F->Settings.Edition().VersionParts, (QStringList{"03", "01", "04"}));
    QCOMPARE(F->Settings.Edition().ProductCode, QByteArray("tarnwick"));
    QCOMPARE(F->Settings.Edition().GameExecutable, QString("morrow.exe"));
    QCOMPARE(F->Settings.Edition().DefaultChannel, QByteArray("#morrow"));
    QCOMPARE(F->Settings.Edition().ListClass, &TSQPMorrowServerList::Class);
    QCOMPARE(F->Settings.BannerInterval, 300000);
    QVERIFY(F->chatconnect->isChecked() && F->udpmotdbutt->isChecked() &&
            F->socks5butt->isChecked() && F->icmppingbutt->isChecked() &&
            F->notify_box->isChecked());
    QVERIFY(!F->useproxies->isChecked() && !F->proxygroup->isEnabled() &&
            !F->socksgroup->isEnabled() && !F->disablebanners->isChecked());
    QCOMPARE(F->proxyport->text(), QString("80"));
    QCOMPARE(F->skinpathbox->currentText(), QString("Default"));
    QCOMPARE(F->speedbox->currentIndex(), 2);
    QCOMPARE(F->queryparallel->value(), 256);
    QCOMPARE(F->queryrate->value(), 200);
    QCOMPARE(F->nick->text(), QString());
    QCOMPARE(F->Settings.MasterHost(), QByteArray());
    // The edition hides what it does not use.
    QVERIFY(F->speedbox->isHidden() && F->realname->isHidden());
    QVERIFY(!F->configpages->isTabVisible(F->configpages->indexOf(F->skinstab)));
    QVERIFY(F->Settings.SkinDirectory.endsWith("/skins/default/"));
    QCOMPARE(F->Settings.InstallCode.size(), 19);
}

void TestConfig::storedByOneReadByNext() {
    const QString Game = Home->path() + "/game";
    Plant(Game);
    {
        auto F = NewDialog();
        F->show();
        F->program_dir->setText(Game);
        QTest::keyClicks(F->nick, "Bob");
        F->masterserver->setText("master.example:28911");
        F->queryparallel->setValue(64);
        Click(*F, F->hidejoins);
        Click(*F, F->chatconnect);
        Click(*F, F->tcppingbutt);
        F->modelbox->setEditText("Mage");
        F->Settings.Store("showtips", "X");
        Click(*F, F->ok_butt);
        QVERIFY(!F->isVisible());
    }
    QSettings Raw(Home->path() + "/registry.ini", QSettings::IniFormat);
    Raw.beginGroup("Software/Scoutly/tarnwick/morrow");
    QCOMPARE(Raw.value("showtips").toString(), QString("X"));
    QCOMPARE(Raw.value("config/nick_Text").toString(), QString("Bob"));
    QCOMPARE(Raw.value("config/chatconnect_Checked").toString(), QString("False"));
    QCOMPARE(Raw.value("config/hidejoins_Checked").toString(), QString("True"));
    QCOMPARE(Raw.value("config/speedbox_ItemIndex").toString(), QString("2"));
    QCOMPARE(Raw.value("config/program_dir_Text").toString(), Game + "/");
    QVERIFY(Raw.contains("config/config_form_Left"));

    auto G = NewDialog();
    QCOMPARE(G->nick->text(), QString("Bob"));
    QCOMPARE(G->program_dir->text(), Game + "/");
    QVERIFY(G->GameExecutableExists());
    QVERIFY(G->hidejoins->isChecked() && !G->chatconnect->isChecked());
    QVERIFY(G->tcppingbutt->isChecked() && !G->icmppingbutt->isChecked());
    QCOMPARE(G->modelbox->currentText(), QString("Mage"));
    QCOMPARE(G->Settings.MasterHost(), QByteArray("master.example"));
    QCOMPARE(G->Settings.MasterPort(), QByteArray("28911"));
    QCOMPARE(G->Settings.QueriesAtOnce(), 64);
    QCOMPARE(G->Settings.Stored("showtips"), QString("X"));
    QCOMPARE(G->Settings.InstallCode, G->Settings.Stored("code"));
}

void TestConfig::okAddsSeparatorAndAsks_data() {
    QTest::addColumn<bool>("planted");
    QTest::addColumn<int>("answer"); // to "Do you want to change the directory?"
    QTest::addColumn<bool>("stillOpen");
    QTest::newRow("found") << true << int(QMessageBox::NoButton) << false;
    QTest::newRow("missing, change it") << false << int(QMessageBox::Yes) << true;
    QTest::newRow("missing, keep it") << false << int(QMessageBox::No) << false;
}

void TestConfig::okAddsSeparatorAndAsks() {
    QFETCH(bool, planted);
    QFETCH(int, answer);
    QFETCH(bool, stillOpen);
    const QString Game = Home->path() + "/game";
    if (planted) Plant(Game);
    auto F = NewDialog();
    F->show();
    F->program_dir->setText(Game);
    std::unique_ptr<TBoxAnswer> Box;
    if (answer != QMessageBox::NoButton)
        Box = std::make_unique<TBoxAnswer>(QMessageBox::StandardButton(answer));
    Click(*F, F->ok_butt);
    QCOMPARE(F->program_dir->text(), Game + "/");
    QCOMPARE(F->isVisible(), stillOpen);
    if (Box) {
        QCOMPARE(Box->Seen, 1);
        QCOMPARE(Box->Text,
                 "morrow.exe not found in " + Game + "/\nDo you want to change the directory?");
    }
    F->hide();
}

void TestConfig::cancelDiscardsEdits() {
    {
        auto F = NewDialog();
        F->nick->setText("Stored");
        F->SaveSettings();
    }
    auto F = NewDialog();
    F->show();
    F->nick->setText("Typed");
    Click(*F, F->useproxies);
    Click(*F, F->cancel_butt);
    QVERIFY(!F->isVisible());
    QCOMPARE(F->nick->text(), QString("Stored"));
    QVERIFY(!F->useproxies->isChecked() && !F->proxygroup->isEnabled());
    QVERIFY(F->udpmotdbutt->isChecked());
    // Shown again, it shows what is stored.
    F->nick->setText("Typed again");
    F->show();
    QCOMPARE(F->nick->text(), QString("Stored"));
    F->hide();
}

void TestConfig::proxyBoxes() {
    auto F = NewDialog();
    F->show();
    Click(*F, F->useproxies);
    QVERIFY(F->proxygroup->isEnabled() && F->httpmotdbutt->isChecked());
    Click(*F, F->useproxies);
    QVERIFY(!F->proxygroup->isEnabled() && F->httpmotdbutt->isChecked());
    Click(*F, F->udpmotdbutt);
    Click(*F, F->usesocksproxies);
    QVERIFY(F->socksgroup->isEnabled() && F->httpmotdbutt->isChecked());

    // Typed values count once the dialog is closed, not before.
    F->socksproxyaddr->setText("socks.example");
    F->socksproxyuser->setText("bob");
    Click(*F, F->socks4butt);
    QVERIFY(!F->Settings.ProxyChoice().UseSocks);
    F->SaveSettings();
    TSocksSettings Socket;
    F->Settings.ApplySocksProxy(Socket);
    QCOMPARE(Socket.SocksServer, QByteArray("socks.example"));
    QCOMPARE(Socket.SocksLevel, QByteArray("4"));
    QVERIFY(Socket.SocksAuthentication);
    THttpProxySettings Client;
    F->Settings.ApplyHttpProxy(Client);
    QCOMPARE(Client.Proxy, QByteArray());
    QCOMPARE(Client.Socks.SocksPort, QByteArray("1080"));
    F->hide();
}

void TestConfig::firstStartOpensModally() {
    {
        auto F = NewDialog();
        // No game folder yet: the dialog comes up before anything else, and can be left.
        QTimer::singleShot(50, [&] {
            QVERIFY(F->isVisible() && F->isModal());
            Click(*F, F->cancel_butt);
        });
        QVERIFY(!F->CheckGameFolder());
        const QString Game = Home->path() + "/game/";
        Plant(Game);
        F->program_dir->setText(Game);
        F->SaveSettings();
    }
    auto F = NewDialog();
    QVERIFY(F->CheckGameFolder()); // found: no dialog at all
    QVERIFY(!F->isVisible());
}

void TestConfig::modelAndSkinLists() {
    auto F = NewDialog();
    F->show();
    F->modelbox->setEditText("Golem");
    F->skinbox->setEditText("Knight");
    // Before the model list has been opened and an entry picked, there are no skins.
    F->skinbox->showPopup();
    F->skinbox->hidePopup();
    QCOMPARE(F->skinbox->count(), 0);
    QCOMPARE(F->skinbox->currentText(), QString("Knight"));

    // Opening the model list clears the skin; the typed model stays.
    F->modelbox->showPopup();
    F->modelbox->hidePopup();
    QCOMPARE(F->modelbox->count(), 7);
    QCOMPARE(F->modelbox->currentText(), QString("Golem"));
    QCOMPARE(F->skinbox->currentText(), QString());

    F->modelbox->setCurrentIndex(2);
    F->skinbox->showPopup();
    F->skinbox->hidePopup();
    QStringList Skins;
    for (int I = 0; I < F->skinbox->count(); ++I)
        Skins << F->skinbox->itemText(I);
    QCOMPARE(Skins.size(), 7);
    QStringList Sorted = Skins;
    Sorted.sort(Qt::CaseInsensitive);
    QCOMPARE(Skins, Sorted);

    // Reopening the model list with a model picked selects that model's first skin.
    F->modelbox->showPopup();
    F->modelbox->hidePopup();
    QCOMPARE(F->skinbox->currentText(), Sorted.first());

    // The last model has no skins of its own.
    F->modelbox->setCurrentIndex(6);
    F->skinbox->showPopup();
    F->skinbox->hidePopup();
    QCOMPARE(F->skinbox->count(), 0);
    F->hide();
}

void TestConfig::skinFallsBack() {
    {
        auto F = NewDialog();
        F->skinpathbox->setEditText("no-such-skin");
        F->SaveSettings();
    }
    auto F = NewDialog();
    QCOMPARE(F->skinpathbox->currentText(), QString("no-such-skin"));
    QVERIFY(F->Settings.SkinDirectory.endsWith("/skins/default/"));
    QCOMPARE(F->palette().color(QPalette::Window), ColorOfBGR(F->Settings.Colors.PrimaryColor));
}

void TestConfig::folderSearch() {
    const QString Root = Home->path() + "/drive";
    Plant(Root + "/Games/Morrow/System");
    auto F = NewDialog();
    F->show();
    F->SearchRoots = {Root};
    Click(*F, F->dirfind_butt);
    QVERIFY(F->Searching && F->findanim->isVisible());
    QTRY_VERIFY(!F->Searching);
    QCOMPARE(F->program_dir->text(), Root + "/Games/Morrow/System");
    QVERIFY(F->findanim->isHidden());

    // A second click stops a search at once and says nothing was found.
    QDir().mkpath(Root + "/deep");
    for (int I = 0; I < 3000; ++I)
        QDir().mkpath(QString("%1/deep/%2/x").arg(Root).arg(I));
    QFile::remove(Root + "/Games/Morrow/System/morrow.exe");
    TBoxAnswer Box(QMessageBox::Ok);
    Click(*F, F->dirfind_butt);
    Click(*F, F->dirfind_butt);
    QVERIFY(!F->Searching);
    QTRY_COMPARE(Box.Seen, 1);
    QCOMPARE(Box.Text, QString("morrow.exe was not found"));
    QCOMPARE(F->program_dir->text(), QString());
    F->hide();
}

void TestConfig::aboutBox() {
    auto F = NewDialog();
    TBoxAnswer Box(QMessageBox::Ok);
    Click(*F, F->about_butt);
    QCOMPARE(Box.Seen, 1);
    QVERIFY2(Box.Text.startsWith("Scoutly Lite\nVersion 030104\nhttp"), qPrintable(Box.Text));
}

QTEST_MAIN(TestConfig)
#include "tst_config.moc"
