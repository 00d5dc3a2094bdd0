#include "ui/config/config_main.h"

#include "config/foldersearch.h"
#include "config/paths.h"
#include "net/netutils.h"
#include "ui/widgets/linkopener.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

void TDropDownComboBox::showPopup() {
    FireEvent(OnDropDown);
    QComboBox::showPopup();
}

namespace {
template <class T> T* Named(T* Widget, const char* Name) {
    Widget->setObjectName(QString::fromLatin1(Name));
    return Widget;
}

QLineEdit* Edit(const char* Name, int MaxLength = 0) {
    auto* E = Named(new QLineEdit, Name);
    if (MaxLength > 0) E->setMaxLength(MaxLength);
    return E;
}

QWidget* Row(std::initializer_list<QWidget*> Widgets) {
    auto* W = new QWidget;
    auto* L = new QHBoxLayout(W);
    L->setContentsMargins(0, 0, 0, 0);
    for (QWidget* Item : Widgets)
        L->addWidget(Item);
    L->addStretch();
    return W;
}
} // namespace

Tconfig_form::Tconfig_form(TSettings& Settings, QWidget* Parent)
    : QDialog(Parent), Settings(Settings), Storage(this),
      TreeScanner1(std::make_unique<TGameFolderSearch>()) {
    setObjectName("config_form");
    setWindowTitle("Configuration");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);

    configpages = Named(new QTabWidget, "configpages");
    configpages->setUsesScrollButtons(false);
    BuildGeneralTab();
    BuildChatTab();
    BuildBuddiesTab();
    BuildProxyTab();
    gametab = Named(new QWidget, "gametab");
    configpages->addTab(gametab, "Game Config");
    BuildSkinsTab();
    BuildButtonColumn();

    auto* Layout = new QHBoxLayout(this);
    Layout->setContentsMargins(8, 8, 0, 8);
    Layout->addWidget(configpages, 1);
    Layout->addWidget(buttoncolumn);
    setMinimumSize(418, 316);

    connect(TreeScanner1.get(), &TGameFolderSearch::Found, this,
            &Tconfig_form::TreeScanner1FileFound);
    connect(TreeScanner1.get(), &TGameFolderSearch::Finished, this,
            &Tconfig_form::TreeScanner1Finished);
    connect(TreeScanner1.get(), &TGameFolderSearch::Progress, this, [this](const QString& Folder) {
        program_dir->setPlaceholderText("Looking in " + QDir::toNativeSeparators(Folder));
    });
    RegisterStoredFields();
}

Tconfig_form::~Tconfig_form() {
    TreeScanner1->Cancel();
}

void Tconfig_form::BuildGeneralTab() {
    generaltab = Named(new QWidget, "generaltab");
    program_dir = Edit("program_dir");
    program_dir_browse = Named(new QToolButton, "program_dir_browse");
    program_dir_browse->setText("...");
    program_dir_browse->setToolTip("Browse for the game folder");
    connect(program_dir_browse, &QToolButton::clicked, this, &Tconfig_form::program_dirButtonClick);
    dirfind_butt = Named(new QToolButton, "dirfind_butt");
    dirfind_butt->setText("Find");
    dirfind_butt->setToolTip("Auto-Find Game Directory");
    connect(dirfind_butt, &QToolButton::clicked, this, &Tconfig_form::dirfind_buttClick);
    auto* Folder = new QWidget;
    auto* FolderLayout = new QHBoxLayout(Folder);
    FolderLayout->setContentsMargins(0, 0, 0, 0);
    FolderLayout->setSpacing(4);
    FolderLayout->addWidget(program_dir, 1);
    FolderLayout->addWidget(program_dir_browse);
    FolderLayout->addWidget(dirfind_butt);

    nick = Edit("nick");
    masterserver = Edit("masterserver");
    masterserver->setPlaceholderText("host or host:port");
    masterserver->setToolTip("The master server that lists the game's servers");
    queryparallel = Named(new QSpinBox, "queryparallel");
    queryparallel->setRange(TCustomServerList::MinOutstanding,
                            TCustomServerList::MaxOutstandingLimit);
    queryparallel->setToolTip("More servers at once refresh a large list faster on a fast link");
    queryrate = Named(new QSpinBox, "queryrate");
    queryrate->setRange(TCustomServerList::MinQueryRate, TCustomServerList::MaxQueryRate);
    queryrate->setToolTip("Queries sent each second while refreshing; lower it on a slow link");
    disablebanners = Named(new QCheckBox("Disable Banners"), "disablebanners");
    connect(disablebanners, &QCheckBox::clicked, this,
            [this](bool On) { FireEvent(OnBannersDisabled, On); });
    use_taskbar = Named(new QCheckBox("Show Scoutly Lite in System Tray"), "use_taskbar");
    connect(use_taskbar, &QCheckBox::clicked, this,
            [this](bool On) { FireEvent(OnTaskbarChanged, On); });
    speedbox = Named(new QComboBox, "speedbox");
    speedbox->addItems({"28.8k Modem", "33.6k Modem", "56k Modem ", "64k ISDN", "128k ISDN",
                        "256k+ ADSL", "Cable", "T1 or greater"});
    realname = Edit("realname", 50);
    speedlabel = new QLabel("Connection Type:");
    realnamelabel = new QLabel("Real Name");

    zip = Edit("zip", 10);
    age = Edit("age", 2);
    email = Edit("email");
    notify_box = Named(new QCheckBox("Notify me when a new version comes out"), "notify_box");
    demogroup = Named(new QGroupBox(" Demographic Information "), "demogroup");
    auto* Demo = new QFormLayout(demogroup);
    Demo->addRow("Zip Code", zip);
    Demo->addRow("Age", age);
    Demo->addRow("E-Mail Address", email);
    Demo->addRow(notify_box);
    age->setMaximumWidth(age->fontMetrics().horizontalAdvance("0000") + 16);
    zip->setMaximumWidth(zip->fontMetrics().horizontalAdvance("00000-00000") + 16);

    auto* Form = new QFormLayout;
    Form->addRow("Directory:", Folder);
    Form->addRow("Nickname:", nick);
    Form->addRow("Master server:", masterserver);
    Form->addRow("Servers queried at once:", Row({queryparallel}));
    Form->addRow("Queries per second:", Row({queryrate}));
    Form->addRow(speedlabel, speedbox);
    Form->addRow(realnamelabel, realname);
    auto* Layout = new QVBoxLayout(generaltab);
    Layout->addLayout(Form);
    Layout->addWidget(disablebanners);
    Layout->addWidget(use_taskbar);
    Layout->addWidget(demogroup);
    Layout->addStretch();
    configpages->addTab(generaltab, "General");
}

void Tconfig_form::BuildChatTab() {
    chattab = Named(new QWidget, "chattab");
    chatconnect = Named(new QCheckBox("Connect to chat on startup"), "chatconnect");
    hidejoins = Named(new QCheckBox("Hide Join/Parts in Chat"), "hidejoins");
    noautoaway = Named(new QCheckBox("Don't set auto-away"), "noautoaway");
    homechanneledit = Edit("homechanneledit");
    chatserver = Edit("chatserver");
    chatserver->setPlaceholderText("host or host:port (empty: no chat)");
    chatserver->setToolTip("The IRC server the chat connects to");
    auto* Form = new QFormLayout;
    Form->addRow("Chat server:", chatserver);
    Form->addRow("Home Channel:", homechanneledit);
    auto* Layout = new QVBoxLayout(chattab);
    Layout->addWidget(chatconnect);
    Layout->addWidget(hidejoins);
    Layout->addWidget(noautoaway);
    Layout->addLayout(Form);
    Layout->addStretch();
    configpages->addTab(chattab, "Chat");
}

void Tconfig_form::BuildBuddiesTab() {
    buddiestab = Named(new QWidget, "buddiestab");
    buddylist = Named(new QPlainTextEdit, "buddylist");
    buddylist->setToolTip("Player names, one a line; case does not matter");
    buddylist->setLineWrapMode(QPlainTextEdit::NoWrap);
    watchfavorites = Named(new QCheckBox("Watch favourites every"), "watchfavorites");
    watchfavorites->setToolTip("Ask the favourite servers again in the background, to tell when "
                               "a buddy joins one");
    watchminutes = Named(new QSpinBox, "watchminutes");
    watchminutes->setRange(1, 1440);
    watchminutes->setSuffix(" min");
    auto* Watch = new QHBoxLayout;
    Watch->addWidget(watchfavorites);
    Watch->addWidget(watchminutes);
    Watch->addStretch();
    auto* Layout = new QVBoxLayout(buddiestab);
    Layout->addWidget(new QLabel("Buddies (one name a line):"));
    Layout->addWidget(buddylist, 1);
    Layout->addLayout(Watch);
    configpages->addTab(buddiestab, "Buddies");
}

void Tconfig_form::BuildProxyTab() {
    proxytab = Named(new QWidget, "proxytab");
    useproxies = Named(new QCheckBox("Use an HTTP Proxy for server lists"), "useproxies");
    useproxies->setToolTip("If you are behind a firewall, or require a proxy to access web "
                           "sites, you can configure the proxy here");
    proxyaddr = Edit("proxyaddr");
    proxyport = Edit("proxyport", 5);
    proxyport->setMaximumWidth(proxyport->fontMetrics().horizontalAdvance("000000") + 16);
    proxyuser = Edit("proxyuser");
    proxypass = Edit("proxypass");
    proxypass->setEchoMode(QLineEdit::Password);
    proxygroup = Named(new QGroupBox(" HTTP Proxy Settings "), "proxygroup");
    auto* Http = new QFormLayout(proxygroup);
    Http->addRow("Address", proxyaddr);
    Http->addRow("Port", proxyport);
    Http->addRow("Username (if needed)", proxyuser);
    Http->addRow("Password", proxypass);

    // Each pair of radio buttons is its own group.
    const auto Pair = [](const QString& Caption, QRadioButton* A, QRadioButton* B,
                         const QString& Tip) {
        auto* W = new QWidget;
        auto* L = new QHBoxLayout(W);
        L->setContentsMargins(0, 0, 0, 0);
        L->addWidget(new QLabel(Caption));
        L->addWidget(A);
        L->addWidget(B);
        L->addStretch();
        A->setToolTip(Tip);
        B->setToolTip(Tip);
        return W;
    };
    udpmotdbutt = Named(new QRadioButton("UDP"), "udpmotdbutt");
    httpmotdbutt = Named(new QRadioButton("HTTP"), "httpmotdbutt");
    icmppingbutt = Named(new QRadioButton("ICMP"), "icmppingbutt");
    tcppingbutt = Named(new QRadioButton("TCP"), "tcppingbutt");
    QWidget* Motd = Pair("Retrieve Message of the Day via ", udpmotdbutt, httpmotdbutt,
                         "UDP is faster, but HTTP is required behind some proxies and firewalls.\n"
                         "If you are not seeing a message of the day on startup, select HTTP.");
    QWidget* Ping = Pair("Ping servers with ", icmppingbutt, tcppingbutt,
                         "ICMP is faster, but does not work behind some firewalls/ISPs");

    usesocksproxies = Named(new QCheckBox("Use a SOCKS Proxy for chat"), "usesocksproxies");
    usesocksproxies->setToolTip("If you are behind a firewall and use a SOCKS proxy, configure "
                                "it here");
    socksproxyaddr = Edit("socksproxyaddr");
    socksproxyuser = Edit("socksproxyuser");
    socksproxypass = Edit("socksproxypass");
    socksproxypass->setEchoMode(QLineEdit::Password);
    socks4butt = Named(new QRadioButton("Socks 4"), "socks4butt");
    socks5butt = Named(new QRadioButton("Socks 5"), "socks5butt");
    socksgroup = Named(new QGroupBox(" SOCKS Proxy Settings "), "socksgroup");
    auto* Socks = new QFormLayout(socksgroup);
    Socks->addRow("Address", socksproxyaddr);
    Socks->addRow("Username (if needed)", socksproxyuser);
    Socks->addRow("Password", socksproxypass);
    Socks->addRow(Row({socks4butt, socks5butt}));

    connect(useproxies, &QCheckBox::toggled, proxygroup, &QWidget::setEnabled);
    connect(usesocksproxies, &QCheckBox::toggled, socksgroup, &QWidget::setEnabled);
    connect(useproxies, &QCheckBox::clicked, this, &Tconfig_form::useproxiesClick);
    connect(usesocksproxies, &QCheckBox::clicked, this, &Tconfig_form::usesocksproxiesClick);
    proxygroup->setEnabled(false);
    socksgroup->setEnabled(false);

    auto* Layout = new QVBoxLayout(proxytab);
    Layout->addWidget(useproxies);
    Layout->addWidget(proxygroup);
    Layout->addWidget(Motd);
    Layout->addWidget(Ping);
    Layout->addWidget(usesocksproxies);
    Layout->addWidget(socksgroup);
    Layout->addStretch();
    configpages->addTab(proxytab, "Firewall / Proxy");
}

void Tconfig_form::BuildSkinsTab() {
    skinstab = Named(new QWidget, "skinstab");
    skinpathbox = Named(new TDropDownComboBox, "skinpathbox");
    skinpathbox->setEditable(true);
    skinpathbox->setInsertPolicy(QComboBox::NoInsert);
    skinpathbox->OnDropDown = [this] { skinpathboxDropDown(); };
    connect(skinpathbox, &QComboBox::textActivated, this, &Tconfig_form::skinpathboxChange);
    getskinshere = Named(new QLabel("<a href=\"skins\">Get Skins Here</a>"), "getskinshere");
    getskinshere->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                          Qt::LinksAccessibleByKeyboard);
    connect(getskinshere, &QLabel::linkActivated, this, &Tconfig_form::getskinshereClick);
    auto* Form = new QFormLayout;
    Form->addRow("Skin Name:", skinpathbox);
    auto* Layout = new QVBoxLayout(skinstab);
    Layout->addLayout(Form);
    Layout->addWidget(getskinshere);
    Layout->addStretch();
    configpages->addTab(skinstab, "Skins");
}

void Tconfig_form::BuildButtonColumn() {
    buttoncolumn = Named(new QWidget, "buttoncolumn");
    buttoncolumn->setAutoFillBackground(true);
    ok_butt = Named(new QPushButton("OK"), "ok_butt");
    cancel_butt = Named(new QPushButton("Cancel"), "cancel_butt");
    about_butt = Named(new QPushButton("About"), "about_butt");
    for (QPushButton* B : {ok_butt, cancel_butt, about_butt}) {
        B->setFlat(true);
        B->setAutoDefault(false);
        B->setMinimumWidth(80);
    }
    ok_butt->setDefault(true);
    findanim = Named(new QProgressBar, "findanim");
    findanim->setRange(0, 0); // a busy indicator
    findanim->setTextVisible(false);
    findanim->setMaximumWidth(80);
    findanim->setMaximumHeight(12);
    findanim->hide();
    connect(ok_butt, &QPushButton::clicked, this, &Tconfig_form::ok_buttClick);
    connect(cancel_butt, &QPushButton::clicked, this, &Tconfig_form::cancel_buttClick);
    connect(about_butt, &QPushButton::clicked, this, &Tconfig_form::about_buttClick);
    auto* Layout = new QVBoxLayout(buttoncolumn);
    Layout->setContentsMargins(8, 20, 8, 0);
    Layout->addWidget(ok_butt);
    Layout->addWidget(cancel_butt);
    Layout->addSpacing(12);
    Layout->addWidget(findanim, 0, Qt::AlignHCenter);
    Layout->addStretch();
    Layout->addWidget(about_butt);
}

void Tconfig_form::RegisterStoredFields() {
    const std::pair<QWidget*, TField> Fields[] = {
        {disablebanners, TField::DisableBanners},
        {nick, TField::Nick},
        {program_dir, TField::ProgramDir},
        {masterserver, TField::MasterServer},
        {queryparallel, TField::QueryParallel},
        {queryrate, TField::QueryRate},
        {chatconnect, TField::ChatConnect},
        {hidejoins, TField::HideJoins},
        {useproxies, TField::UseProxies},
        {proxyaddr, TField::ProxyAddr},
        {proxypass, TField::ProxyPass},
        {proxyport, TField::ProxyPort},
        {proxyuser, TField::ProxyUser},
        {httpmotdbutt, TField::HttpMotd},
        {udpmotdbutt, TField::UdpMotd},
        {homechanneledit, TField::HomeChannel},
        {chatserver, TField::ChatServer},
        {use_taskbar, TField::UseTaskbar},
        {socksproxyaddr, TField::SocksProxyAddr},
        {socksproxypass, TField::SocksProxyPass},
        {socksproxyuser, TField::SocksProxyUser},
        {usesocksproxies, TField::UseSocksProxies},
        {socks4butt, TField::Socks4},
        {socks5butt, TField::Socks5},
        {realname, TField::RealName},
        {age, TField::Age},
        {email, TField::Email},
        {zip, TField::Zip},
        {notify_box, TField::Notify},
        {speedbox, TField::Speed},
        {noautoaway, TField::NoAutoAway},
        {skinpathbox, TField::SkinPath},
        {tcppingbutt, TField::TcpPing},
        {icmppingbutt, TField::IcmpPing},
    };
    for (const auto& [Control, Field] : Fields)
        Storage.Add(Control, Field);
}

void Tconfig_form::FormCreate() {
    RestoreSettings();
    ApplyColors();
    Searching = false;
    adjustSize();
}

bool Tconfig_form::CheckGameFolder() {
    if (!Settings.GameFolder().isEmpty() && Settings.GameExecutableExists()) return true;
    return exec() == QDialog::Accepted;
}

void Tconfig_form::RestoreSettings() {
    Storage.Restore(Settings);
    buddylist->setPlainText(Settings.BuddyList());
    watchfavorites->setChecked(Settings.WatchFavorites());
    watchminutes->setValue(Settings.WatchMinutes());
}

void Tconfig_form::SaveSettings() {
    Storage.Save(Settings);
    Settings.SetBuddies(buddylist->toPlainText(), watchfavorites->isChecked(),
                        watchminutes->value());
    Settings.Save();
}

void Tconfig_form::ApplyColors() {
    const TSkinColors& Colors = Settings.Colors;
    setPalette(SkinPalette(Colors, style()->standardPalette()));
    QPalette Column = buttoncolumn->palette();
    Column.setColor(QPalette::Window, ColorOfBGR(Colors.SecondaryColor));
    Column.setColor(QPalette::WindowText, ColorOfBGR(Colors.SecondaryFontColor));
    Column.setColor(QPalette::ButtonText, ColorOfBGR(Colors.SecondaryFontColor));
    buttoncolumn->setPalette(Column);
    getskinshere->setText(QString("<a href=\"skins\" style=\"color:%1\">Get Skins Here</a>")
                              .arg(ColorOfBGR(Colors.HighlightColor).name()));
}

bool Tconfig_form::GameExecutableExists() const {
    return QFileInfo(QDir(program_dir->text()).filePath(Settings.Edition().GameExecutable))
        .isFile();
}

void Tconfig_form::showEvent(QShowEvent* Event) {
    // What the dialog shows is what is stored, whatever was typed and not kept last time.
    if (!Event->spontaneous()) RestoreSettings();
    QDialog::showEvent(Event);
}

void Tconfig_form::done(int Result) {
    if (Searching) dirfind_buttClick();
    SaveSettings();
    QDialog::done(Result);
}

void Tconfig_form::ok_buttClick() {
    QString Folder = program_dir->text();
    if (!Folder.isEmpty() && !Folder.endsWith(QDir::separator()))
        program_dir->setText(Folder + QDir::separator());
    if (!GameExecutableExists()) {
        const auto Answer = QMessageBox::question(this, windowTitle(),
                                                  Settings.Edition().GameExecutable +
                                                      " not found in " + program_dir->text() +
                                                      "\nDo you want to change the directory?",
                                                  QMessageBox::Yes | QMessageBox::No);
        if (Answer == QMessageBox::Yes) return;
    }
    accept();
}

void Tconfig_form::cancel_buttClick() {
    RestoreSettings();
    reject();
}

void Tconfig_form::dirfind_buttClick() {
    if (Searching) {
        Searching = false;
        TreeScanner1->Cancel();
        return;
    }
    Searching = true;
    program_dir->clear();
    dirfind_butt->setText("Stop");
    findanim->show();
    ++PendingSearches;
    const QStringList Roots = SearchRoots.isEmpty() ? TGameFolderSearch::FixedRoots() : SearchRoots;
    TreeScanner1->Start(TGameFolderSearch::Candidates(Roots, Settings.Edition().GameSubdirectory),
                        Settings.Edition().GameExecutable);
}

void Tconfig_form::TreeScanner1FileFound(const QString& Folder) {
    program_dir->setText(QDir::toNativeSeparators(Folder));
}

void Tconfig_form::TreeScanner1Finished() {
    if (--PendingSearches > 0) return;
    findanim->hide();
    dirfind_butt->setText("Find");
    program_dir->setPlaceholderText({});
    Searching = false;
    if (program_dir->text().isEmpty())
        ShowMessage(Settings.Edition().GameExecutable + " was not found");
}

void Tconfig_form::ShowMessage(const QString& Text) {
    QMessageBox::information(this, windowTitle(), Text);
}

void Tconfig_form::program_dirButtonClick() {
    const QString Folder = QFileDialog::getExistingDirectory(
        this, "Select directory containing " + Settings.Edition().GameExecutable,
        program_dir->text());
    if (!Folder.isEmpty()) program_dir->setText(QDir::toNativeSeparators(Folder));
}

void Tconfig_form::about_buttClick() {
    QMessageBox::information(this, "About Scoutly Lite",
                             "Scoutly Lite\nVersion " +
                                 Settings.Edition().VersionParts.join(QString()) + "\n" +
                                 Settings.Links[lkScoutly].Address);
}

void Tconfig_form::useproxiesClick() {
    if (useproxies->isChecked()) httpmotdbutt->setChecked(true);
}

void Tconfig_form::usesocksproxiesClick() {
    if (usesocksproxies->isChecked()) httpmotdbutt->setChecked(true);
}

void Tconfig_form::skinpathboxDropDown() {
    const QString Current = skinpathbox->currentText();
    skinpathbox->clear();
    skinpathbox->addItems(SkinNames());
    skinpathbox->setCurrentIndex(-1);
    skinpathbox->setEditText(Current);
}

void Tconfig_form::skinpathboxChange() {
    Settings.LoadSkin(skinpathbox->currentText());
    ApplyColors();
    FireEvent(OnSkinChanged);
}

void Tconfig_form::getskinshereClick() {
    OpenLink(Settings.Links[lkSkins].Address.toUtf8(), StatusBarReport(getskinshere));
}
