#include "ui/shell/sc_main.h"

#include "config/favorites.h"
#include "config/paths.h"
#include "config/settingsstore.h"
#include "net/http.h"
#include "net/netutils.h"
#include "ui/config/config_main.h"
#include "ui/news/motd_main.h"
#include "ui/shell/info_main.h"
#include "ui/shell/newsticker.h"
#include "ui/shell/serverview.h"
#include "ui/widgets/dockarea.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

Tsc_form* sc_form = nullptr;

namespace {
void LaunchGame(QWidget* Window, const TSettings& Settings, const TCustomServer& Server) {
    const TEdition& Ed = Settings.Edition();
    const QString Folder = Settings.GameFolder();
    const QString Executable = QDir(Folder).filePath(Ed.GameExecutable);
    if (!QFileInfo(Executable).isFile()) {
        QMessageBox::critical(Window, "Error",
                              "The file to launch (" + Folder + Ed.GameExecutable +
                                  ") does not exist, check your configuration");
        return;
    }
    QString Arguments;
    if (Ed.PlayerLook) {
        Arguments = DisplayText(Server.Address + ':' + Server.GamePort);
        const QString Model = Settings.Value(TField::PlayerModel);
        const QString Skin = Settings.Value(TField::PlayerSkin);
        if (!Settings.Nick().isEmpty()) Arguments += "?name=" + Settings.Nick();
        if (!Model.isEmpty()) Arguments += "?class=Morrowi." + Model;
        if (!Skin.isEmpty()) Arguments += "?skin=" + Skin;
    } else {
        Arguments = "+connect " + DisplayText(Server.Address + ':' + Server.GamePort);
    }
    QString Program = Executable;
    QStringList List{Arguments};
    if (Ed.GameExecutable.endsWith(".exe", Qt::CaseInsensitive)) {
        const QString Wine = QStandardPaths::findExecutable("wine");
        if (Wine.isEmpty()) {
            QMessageBox::critical(Window, "Error",
                                  "Wine is needed to start " + Ed.GameExecutable +
                                      ": install the wine package and try again.");
            return;
        }
        Program = Wine;
        List.prepend(Executable);
    }
    const TRunResult Result = RunProgram(Program, List, Folder);
    if (!Result.Ok) QMessageBox::critical(Window, "Error", Result.Error);
}

// Where the list view keeps its column widths and sort, as it always has.
const QString ListLayoutKey = "Software\\Scoutly\\ScoutlyLite\\config";

QStringList Decoded(const QList<QByteArray>& Texts) {
    QStringList Result;
    for (const QByteArray& T : Texts)
        Result << DisplayText(T);
    return Result;
}
} // namespace

Tsc_form::Tsc_form(QWidget* Parent) : QMainWindow(Parent) {
    setObjectName("sc_form");
    setWindowTitle("Scoutly Lite");
    resize(920, 660);

    auto* Central = new QWidget;
    auto* Column = new QVBoxLayout(Central);
    Column->setContentsMargins(0, 0, 0, 0);
    Column->setSpacing(0);
    BuildTopPanel();
    Column->addWidget(toppanel);
    auto* Row = new QHBoxLayout;
    Row->setContentsMargins(0, 0, 0, 0);
    Row->setSpacing(0);
    BuildMainPanel();
    Row->addWidget(mainpanel);
    pages = new TDockArea;
    serverview = new TServerView;
    serverview->setObjectName("serverview");
    serverview->setContextMenuPolicy(Qt::CustomContextMenu);
    serverview->AutoSizeLastColumn = false;
    pages->setCentralWidget(serverview);
    Row->addWidget(pages, 1);
    Column->addLayout(Row, 1);
    setCentralWidget(Central);
    BuildStatusBar();
    BuildActions();
    BuildPortal();

    RxTrayIcon1 = new QSystemTrayIcon(this);
    RxTrayIcon1->setObjectName("RxTrayIcon1");
    RxTrayIcon1->setToolTip("Scoutly Lite");
    connect(RxTrayIcon1, &QSystemTrayIcon::activated, this, [this] {
        showNormal();
        activateWindow();
    });

    connect(serverview, &QTreeView::doubleClicked, Launch, &QAction::trigger);
    connect(serverview, &QWidget::customContextMenuRequested, this, [this](const QPoint& At) {
        UpdateActionStates();
        ServerListPopup->popup(serverview->viewport()->mapToGlobal(At));
    });
    connect(serverview->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& Selected) {
                if (Selected.isEmpty())
                    UpdateActionStates();
                else
                    serverviewSelectItem(Selected.indexes().last().row());
            });
    serverview->installEventFilter(this);
    serverview->ListModel()->IsFavorite = [this](const TCustomServer& S) { return IsFavorite(S); };
}

Tsc_form::~Tsc_form() {
    FormDestroy();
}

QToolButton* Tsc_form::GlyphButton(const char* Name, const QString& Tip) {
    auto* B = new QToolButton(mainpanel);
    B->setObjectName(Name);
    B->setToolTip(Tip);
    B->setAutoRaise(true);
    B->setIconSize(QSize(32, 32));
    B->resize(56, 40);
    return B;
}

void Tsc_form::BuildTopPanel() {
    toppanel = new QWidget;
    toppanel->setObjectName("toppanel");
    toppanel->setFixedHeight(81);
    toppanel->setAutoFillBackground(true);
    topimage = new QLabel(toppanel);
    topimage->setObjectName("topimage");
    topimage->setGeometry(0, 0, 632, 81);
    bannerimg = new QLabel(toppanel);
    bannerimg->setObjectName("bannerimg");
    bannerimg->setGeometry(152, 8, 468, 60);
    bannerimg->setScaledContents(true);
    bannerimg->setCursor(Qt::PointingHandCursor);
    bannerimg->hide();
    company_butt = new QToolButton(toppanel);
    company_butt->setObjectName("company_butt");
    company_butt->setAutoRaise(true);
    company_butt->setGeometry(8, 8, 121, 52);
    company_butt->setIconSize(QSize(113, 44));
    connect(company_butt, &QToolButton::clicked, this, [this] { lb1Click(company_butt); });
}

void Tsc_form::BuildMainPanel() {
    mainpanel = new QWidget;
    mainpanel->setObjectName("mainpanel");
    mainpanel->setFixedWidth(129);
    mainpanel->setAutoFillBackground(true);
    mainpanel->installEventFilter(this);
    leftimage = new QLabel(mainpanel);
    leftimage->setObjectName("leftimage");
    leftimage->setGeometry(0, 0, 129, 343);
    refresh_butt = GlyphButton("refresh_butt", "Refresh the server list");
    refresh_butt->setCheckable(true);
    refresh_butt->move(8, 8);
    fav_butt = GlyphButton("fav_butt", "Show only your favorite servers");
    fav_butt->setCheckable(true);
    fav_butt->move(65, 8);
    configure_butt = GlyphButton("configure_butt", "Configuration");
    configure_butt->move(8, 50);
    help_butt = GlyphButton("help_butt", "Tips");
    help_butt->move(65, 50);
    connect(refresh_butt, &QToolButton::clicked, this, &Tsc_form::refresh_buttClick);
    connect(fav_butt, &QToolButton::clicked, this, &Tsc_form::fav_buttClick);
    connect(configure_butt, &QToolButton::clicked, this, &Tsc_form::configure_buttClick);
    connect(help_butt, &QToolButton::clicked, this, &Tsc_form::help_buttClick);
    for (int I = 0; I < 5; ++I) {
        auto* B = new QToolButton(mainpanel);
        B->setObjectName(QString("lb%1").arg(I + 1));
        B->setAutoRaise(true);
        B->setToolButtonStyle(Qt::ToolButtonTextOnly);
        B->setGeometry(8, 96 + 24 * I, 113, 24);
        B->setCursor(Qt::PointingHandCursor);
        connect(B, &QToolButton::clicked, this, [this, B] { lb1Click(B); });
        LinkButtons << B;
    }
    scly_butt = new QToolButton(mainpanel);
    scly_butt->setObjectName("scly_butt");
    scly_butt->setAutoRaise(true);
    scly_butt->resize(113, 113);
    scly_butt->setIconSize(QSize(113, 44));
    connect(scly_butt, &QToolButton::clicked, this, [this] { lb1Click(scly_butt); });
}

void Tsc_form::BuildStatusBar() {
    QStatusBar* Bar = statusBar();
    Bar->setObjectName("statusbar");
    gauge = new QProgressBar;
    gauge->setObjectName("gauge");
    gauge->setFixedWidth(75);
    gauge->setRange(0, 100);
    gauge->setValue(0);
    gauge->setTextVisible(false);
    gauge->setMaximumHeight(14);
    statuslabel = new QLabel(" Status");
    statuslabel->setObjectName("statuslabel");
    statuslabel->setMinimumWidth(100);
    newsticker = new TNewsTicker;
    newsticker->setMinimumWidth(350);
    statuspanel3 = new QLabel;
    statuspanel3->setFixedWidth(50);
    Bar->addWidget(gauge);
    Bar->addWidget(statuslabel, 1);
    Bar->addWidget(newsticker, 3);
    Bar->addWidget(statuspanel3);
}

void Tsc_form::BuildActions() {
    const auto Make = [this](const char* Name, const QString& Caption, const QKeySequence& Key,
                             QStyle::StandardPixmap Icon, void (Tsc_form::*Slot)()) {
        auto* A = new QAction(style()->standardIcon(Icon), Caption, this);
        A->setObjectName(Name);
        A->setShortcut(Key);
        A->setShortcutContext(Qt::WindowShortcut);
        A->setEnabled(false);
        connect(A, &QAction::triggered, this, Slot);
        addAction(A);
        return A;
    };
    Launch = Make("Launch", "&Launch", {}, QStyle::SP_MediaPlay, &Tsc_form::LaunchExecute);
    AddtoFavorites = Make("AddtoFavorites", "&Add to Favorites", QKeySequence("Ctrl+A"),
                          QStyle::SP_DialogYesButton, &Tsc_form::AddtoFavoritesExecute);
    RemoveFromFavorites =
        Make("RemoveFromFavorites", "Remove &from Favorites", QKeySequence("Ctrl+D"),
             QStyle::SP_DialogNoButton, &Tsc_form::RemoveFromFavoritesExecute);
    RefreshSelected = Make("RefreshSelected", "&Refresh Selected", QKeySequence("Ctrl+R"),
                           QStyle::SP_BrowserReload, &Tsc_form::RefreshSelectedExecute);
    CopytoClipboard = Make("CopytoClipboard", "&Copy to Clipboard", QKeySequence("Ctrl+C"),
                           QStyle::SP_FileDialogDetailedView, &Tsc_form::CopytoClipboardExecute);
    Find = Make("Find", "&Find", QKeySequence("Ctrl+F"), QStyle::SP_FileDialogContentsView,
                &Tsc_form::FindExecute);
    QFont Bold = Launch->font();
    Bold.setBold(true);
    Launch->setFont(Bold);
    AutosizeColumns1 = new QAction("Autosize Columns", this);
    AutosizeColumns1->setVisible(false);
    connect(AutosizeColumns1, &QAction::triggered, this, [this] {
        for (int C = 0; C < serverview->model()->columnCount(); ++C)
            serverview->resizeColumnToContents(C);
    });
    ServerListPopup = new QMenu(this);
    ServerListPopup->setObjectName("ServerListPopup");
    ServerListPopup->addAction(Launch);
    ServerListPopup->setDefaultAction(Launch);
    ServerListPopup->addSeparator();
    ServerListPopup->addActions({AddtoFavorites, RemoveFromFavorites, RefreshSelected,
                                 CopytoClipboard, AutosizeColumns1, Find});
}

std::unique_ptr<Tconfig_form> Tsc_form::CreateConfigForm() {
    return Tconfig_form::Create(*Settings);
}

TEdition Tsc_form::SettingsEdition() const {
    return TEdition::Generic();
}

void Tsc_form::FormCreate() {
    sc_form = this;
    Settings = std::make_unique<TSettings>(SettingsEdition());
    config = CreateConfigForm();
    config->CheckGameFolder();
    Settings->OnLinksLoaded = [this] { ApplyLinkButtons(); };
    config->OnTaskbarChanged = [this](bool) { ApplyTray(); };
    config->OnBannersDisabled = [this](bool Off) {
        if (Off) HideBanner();
    };
    config->OnSkinChanged = [this] { ApplySkin(true); };
    ApplyLinkButtons();
    ApplySkin(false);
    FindPosition = -1;
    StartTick = TickCount();
    ActiveTime = 0;
    RestoreTick = StartTick;
    BannerBusy = false;
    ServerList = Settings->Edition().ListClass->Create();
    if (auto* Generic = qobject_cast<TSQPGenericList*>(ServerList.get()))
        Generic->SetGameName("morrow");
    ServerList->OnComplete = [this](TCustomServerList* L) { ListUpdatesComplete(L); };
    ServerList->OnStatus = [this](TCustomServerList* L, int P, const QString& T) {
        ListStatus(L, P, T);
    };
    ServerList->OnServerDone = [this](TCustomServerList* L, const TServerRef& S) {
        ServerUpdated(L, S);
    };
    UpdateExisting = false;
    Updating = false;
    serverview->RestoreLayout(Settings->Registry(), ListLayoutKey);
    FavoritesFile =
        QDir(UserDataDir())
            .filePath(QString::fromLatin1(Settings->Edition().ProductCode) + "favors.txt");
    LoadFavorites();
}

void Tsc_form::showEvent(QShowEvent* Event) {
    QMainWindow::showEvent(Event);
    if (!Shown) {
        Shown = true;
        FormShow();
    }
}

void Tsc_form::FormShow() {
    if (OnDockWindows) OnDockWindows(pages);
    if (info_form) pages->Dock(info_form);
    if (motd_form) pages->Dock(motd_form);
    const QList<TDockWindow*> Docks = pages->Docks();
    pages->resizeDocks(QList<QDockWidget*>(Docks.begin(), Docks.end()),
                       QList<int>(Docks.size(), 175), Qt::Vertical);
    bannertimer->start(5000);
    scrollertimer->start(5000);
    SetupColumns();
    ApplyTray();
    if (OnStarted) OnStarted();
}

void Tsc_form::SetupColumns() {
    const TServerClass Class = ServerList->ServerClass();
    serverview->ListModel()->SetColumns(Class->ColumnCaptions());
    serverview->FitLastColumn();
    if (info_form) {
        QStringList Captions;
        for (const TColumnCaption& C : Class->PlayerClass()->ColumnCaptions())
            Captions << C.Caption;
        info_form->SetPlayerCaptions(Captions);
    }
}

void Tsc_form::ApplySkin(bool All) {
    const TSkinColors& Colors = Settings->Colors;
    setPalette(SkinPalette(Colors, style()->standardPalette()));
    QPalette Top = toppanel->palette();
    Top.setColor(QPalette::Window, ColorOfBGR(Colors.SecondaryColor));
    toppanel->setPalette(Top);
    QPalette Gauge = gauge->palette();
    Gauge.setColor(QPalette::Highlight, ColorOfBGR(Colors.HighlightColor));
    gauge->setPalette(Gauge);
    newsticker->HighlightColor = ColorOfBGR(Colors.HighlightColor);
    newsticker->update();
    // The list keeps the classic look: dark text on white.
    serverview->setPalette(style()->standardPalette());

    const QString Fallback = ProgramDataDir() + "/skins/default/";
    const auto Load = [&](const QString& File) {
        QPixmap Picture;
        if (!LoadSkinBitmap(Picture, Settings->SkinDirectory, File))
            LoadSkinBitmap(Picture, Fallback, File);
        return Picture;
    };
    topimage->setPixmap(Load("top.bmp"));
    leftimage->setPixmap(Load("left.bmp"));
    company_butt->setIcon(Load("topleft.bmp"));
    scly_butt->setIcon(Load("bottomleft.bmp"));
    refresh_butt->setIcon(Load("refresh.bmp"));
    fav_butt->setIcon(Load("favorites.bmp"));
    configure_butt->setIcon(Load("configure.bmp"));
    help_butt->setIcon(Load("help.bmp"));
    serverview->viewport()->update();
    if (!All) return;
    config->ApplyColors();
    if (info_form) info_form->ApplyColors(Colors);
    if (motd_form) motd_form->ApplyColors(Colors);
    if (OnSkinApplied) OnSkinApplied();
}

void Tsc_form::ApplyLinkButtons() {
    const auto Apply = [this](QToolButton* B, const TLink& L) {
        B->setText(L.Text);
        B->setToolTip(L.Hint + "\r\n" + L.Address);
    };
    for (int I = 0; I < LinkButtons.size(); ++I)
        Apply(LinkButtons[I], Settings->Links[lkLb1 + I]);
    Apply(company_butt, Settings->Links[lkCompany]);
    company_butt->setText({});
    Apply(scly_butt, Settings->Links[lkScoutly]);
    scly_butt->setText({});
}

void Tsc_form::lb1Click(QToolButton* Sender) {
    const QString Hint = Sender->toolTip();
    const qsizetype LineFeed = Hint.indexOf('\n');
    OpenURL(LineFeed < 0 ? QByteArray() : Hint.mid(LineFeed + 1).toUtf8());
}

void Tsc_form::mainpanelResize() {
    scly_butt->move(8, qMax(Settings ? Settings->Edition().LogoMinTop : 224,
                            mainpanel->height() - scly_butt->height() - 4));
}

bool Tsc_form::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == mainpanel && Event->type() == QEvent::Resize) mainpanelResize();
    if (Watched == bannerimg && Event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
        bannerimgClick();
        return true;
    }
    if (Watched == serverview && Event->type() == QEvent::KeyPress) {
        const int Key = static_cast<QKeyEvent*>(Event)->key();
        if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
            Launch->trigger();
            return true;
        }
    }
    return QMainWindow::eventFilter(Watched, Event);
}

// ---- refresh --------------------------------------------------------------------------------

void Tsc_form::refresh_buttClick() {
    refresh_butt->setChecked(true);
    if (Updating) {
        ServerList->Abort();
        return;
    }
    ClearServerView();
    if (fav_butt->isChecked() && !Favorites.isEmpty()) {
        RefreshFavorites();
        return;
    }
    fav_butt->setChecked(false);
    Updating = true;
    UpdateExisting = false;
    // The settings are read at each refresh, so a change in the dialog takes effect at once.
    ServerList->MasterHost = Settings->MasterHost();
    ServerList->MasterPort = Settings->MasterPort();
    ServerList->SetMaxOutstanding(Settings->QueriesAtOnce());
    ServerList->Refresh();
}

void Tsc_form::ClearServerView() {
    serverview->ListModel()->Clear();
}

void Tsc_form::ServerUpdated(TCustomServerList*, const TServerRef& Server) {
    MarkNotResponding(*Server);
    TServerListModel* Model = serverview->ListModel();
    const int Row = UpdateExisting ? Model->RowOf(Server.get()) : -1;
    if (Row < 0)
        Model->Append(Server);
    else
        Model->Refresh(Row);
}

void Tsc_form::ListStatus(TCustomServerList*, int Percent, const QString& Text) {
    if (Percent < 0) {
        gauge->setRange(0, 0);
    } else {
        gauge->setRange(0, 100);
        gauge->setValue(qMin(Percent, 100));
    }
    statuslabel->setText(Text);
}

void Tsc_form::ListUpdatesComplete(TCustomServerList*) {
    Updating = false;
    refresh_butt->setChecked(false);
    if (UpdateExisting) return;
    serverview->SortNow();
    const QModelIndex Current = serverview->currentIndex();
    if (Current.isValid() && serverview->selectionModel()->isSelected(Current))
        serverview->scrollTo(Current);
}

// ---- selection and actions ------------------------------------------------------------------

QList<TServerRef> Tsc_form::SelectedServers() const {
    QList<TServerRef> Result;
    QModelIndexList Rows = serverview->selectionModel()->selectedRows();
    std::sort(Rows.begin(), Rows.end(),
              [](const QModelIndex& A, const QModelIndex& B) { return A.row() < B.row(); });
    for (const QModelIndex& Index : Rows)
        if (TServerRef S = serverview->ListModel()->Server(Index.row())) Result << S;
    return Result;
}

QByteArray Tsc_form::KeyOf(const TCustomServer& Server) {
    return TServerListModel::FavoriteKey(Server);
}

void Tsc_form::serverviewSelectItem(int Row) {
    UpdateActionStates();
    if (!info_form) return;
    const TServerRef Server = serverview->ListModel()->Server(Row);
    const auto* Game = dynamic_cast<const TGameServer*>(Server.get());
    if (!Game) return;
    const auto Fill = [](QTreeWidget* View, const QList<QStringList>& Rows) {
        View->setUpdatesEnabled(false);
        View->setSortingEnabled(false);
        View->clear();
        QList<QTreeWidgetItem*> Items;
        for (const QStringList& R : Rows)
            Items << new QTreeWidgetItem(R);
        View->addTopLevelItems(Items);
        View->setSortingEnabled(true);
        View->setUpdatesEnabled(true);
    };
    QList<QStringList> Players;
    for (const auto& P : Game->Players) {
        QList<QByteArray> Texts;
        P->GetColumnTexts(Texts);
        Players << Decoded(Texts);
    }
    Fill(info_form->playerview, Players);
    QList<QStringList> Rules;
    for (const TRule& R : Game->Rules)
        Rules << QStringList{DisplayText(R.Key), DisplayText(R.Value)};
    Fill(info_form->ruleview, Rules);
}

void Tsc_form::UpdateActionStates() {
    const QList<TServerRef> Selected = SelectedServers();
    const bool Any = serverview->selectionModel()->hasSelection();
    for (QAction* A :
         {Launch, AddtoFavorites, RemoveFromFavorites, RefreshSelected, CopytoClipboard, Find})
        A->setEnabled(Any);
    AddtoFavorites->setEnabled(false);
    RemoveFromFavorites->setEnabled(false);
    for (const TServerRef& S : Selected) {
        if (IsFavorite(*S))
            RemoveFromFavorites->setEnabled(true);
        else
            AddtoFavorites->setEnabled(true);
    }
}

void Tsc_form::LaunchExecute() {
    const QList<TServerRef> Selected = SelectedServers();
    if (Selected.isEmpty()) {
        QMessageBox::information(this, windowTitle(), "You must select a server to launch");
        return;
    }
    LaunchGame(this, *Settings, *Selected.first());
}

void Tsc_form::RefreshSelectedExecute() {
    if (Updating) return;
    RefreshTargets = SelectedServers();
    if (RefreshTargets.isEmpty()) return;
    Updating = true;
    refresh_butt->setChecked(true);
    UpdateExisting = true;
    ServerList->SetMaxOutstanding(Settings->QueriesAtOnce());
    ServerList->RefreshServers(RefreshTargets);
}

void Tsc_form::CopytoClipboardExecute() {
    QStringList Lines;
    for (const TServerRef& S : SelectedServers())
        Lines << DisplayText(S->Address + ':' + S->GamePort);
    QApplication::clipboard()->setText(Lines.join("\r\n"));
}

void Tsc_form::FindExecute() {
    if (!FindDialog1) {
        FindDialog1 = new QDialog(this);
        FindDialog1->setObjectName("FindDialog1");
        FindDialog1->setWindowTitle("Find");
        FindText = new QLineEdit;
        FindText->setObjectName("FindText");
        auto* Up = new QRadioButton("&Up");
        FindDown = new QRadioButton("&Down");
        auto* Direction = new QGroupBox("Direction");
        auto* DirectionLayout = new QHBoxLayout(Direction);
        DirectionLayout->addWidget(Up);
        DirectionLayout->addWidget(FindDown);
        auto* Buttons = new QDialogButtonBox;
        QPushButton* Next = Buttons->addButton("&Find Next", QDialogButtonBox::AcceptRole);
        Next->setObjectName("FindNext");
        Buttons->addButton(QDialogButtonBox::Cancel);
        connect(Next, &QPushButton::clicked, this, &Tsc_form::FindDialog1Find);
        connect(Buttons, &QDialogButtonBox::rejected, FindDialog1, &QDialog::hide);
        auto* Layout = new QVBoxLayout(FindDialog1);
        auto* Row = new QHBoxLayout;
        Row->addWidget(new QLabel("Fi&nd what:"));
        Row->addWidget(FindText, 1);
        Layout->addLayout(Row);
        Layout->addWidget(Direction);
        Layout->addWidget(Buttons);
    }
    // Each search steps before it compares: starting before the first row finds the first.
    FindPosition = -1;
    FindDown->setChecked(true);
    FindDialog1->show();
    FindDialog1->raise();
    FindText->setFocus();
}

void Tsc_form::FindDialog1Find() {
    TServerListModel* Model = serverview->ListModel();
    const QString Wanted = FindText->text().toLower();
    serverview->clearSelection();
    const bool Down = FindDown->isChecked();
    while (true) {
        if (Down) {
            if (FindPosition >= Model->rowCount() - 1) break;
            ++FindPosition;
        } else {
            if (--FindPosition < 0) break;
        }
        if (Model->Text(FindPosition, 0).toLower().contains(Wanted)) {
            const QModelIndex Index = Model->index(FindPosition, 0);
            serverview->setCurrentIndex(Index);
            serverview->selectionModel()->select(Index, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
            serverview->scrollTo(Index, QAbstractItemView::EnsureVisible);
            return;
        }
    }
    QMessageBox::information(FindDialog1, "Find", "No more found");
    FindDialog1->hide();
}

// ---- favourites -----------------------------------------------------------------------------

bool Tsc_form::IsFavorite(const TCustomServer& Server) const {
    const QString Key = QString::fromLatin1(KeyOf(Server));
    const auto It = std::lower_bound(
        Favorites.begin(), Favorites.end(), Key,
        [](const QString& A, const QString& B) { return A.compare(B, Qt::CaseInsensitive) < 0; });
    return It != Favorites.end() && It->compare(Key, Qt::CaseInsensitive) == 0;
}

void Tsc_form::LoadFavorites() {
    Favorites = ReadFavorites(FavoritesFile);
}

void Tsc_form::SaveFavorites() {
    WriteFavorites(FavoritesFile, Favorites);
}

void Tsc_form::AddtoFavoritesExecute() {
    for (const TServerRef& S : SelectedServers()) {
        if (IsFavorite(*S)) continue;
        const QString Key = QString::fromLatin1(KeyOf(*S));
        const auto It = std::lower_bound(Favorites.begin(), Favorites.end(), Key,
                                         [](const QString& A, const QString& B) {
                                             return A.compare(B, Qt::CaseInsensitive) < 0;
                                         });
        Favorites.insert(It, Key);
    }
    serverview->viewport()->update();
    UpdateActionStates();
}

void Tsc_form::RemoveFromFavoritesExecute() {
    for (const TServerRef& S : SelectedServers()) {
        const QString Key = QString::fromLatin1(KeyOf(*S));
        Favorites.removeIf(
            [&](const QString& F) { return F.compare(Key, Qt::CaseInsensitive) == 0; });
    }
    serverview->viewport()->update();
    UpdateActionStates();
    if (fav_butt->isChecked()) refresh_butt->click();
}

void Tsc_form::RefreshFavorites() {
    RefreshTargets.clear();
    const TServerClass Class = ServerList->ServerClass();
    for (const QString& Key : std::as_const(Favorites)) {
        const QByteArray Text = Key.toLatin1();
        RefreshTargets << TServerRef(Class->Create(HostOf(Text), PortOf(Text, "1400")));
    }
    Updating = true;
    refresh_butt->setChecked(true);
    UpdateExisting = false;
    ServerList->SetMaxOutstanding(Settings->QueriesAtOnce());
    ServerList->RefreshServers(RefreshTargets);
}

void Tsc_form::fav_buttClick() {
    const bool Down = fav_butt->isChecked();
    if (Updating) {
        fav_butt->setChecked(!Down);
        return;
    }
    if (Down) {
        if (Favorites.isEmpty()) {
            QMessageBox::information(
                this, windowTitle(),
                "You do not have any servers on your favorites list.\nTo add a server to your "
                "favorites list, right click it and select 'Add to Favorites'");
            fav_butt->setChecked(false);
            return;
        }
        SavedServers = serverview->ListModel()->TakeAll();
        RefreshFavorites();
        return;
    }
    if (!SavedServers) return;
    ClearServerView();
    const QList<TServerRef> Saved = *std::exchange(SavedServers, std::nullopt);
    if (Saved.isEmpty()) {
        refresh_butt->click();
        return;
    }
    for (const TServerRef& S : Saved)
        ServerUpdated(ServerList.get(), S);
}

// ---- windows and lifecycle ------------------------------------------------------------------

void Tsc_form::configure_buttClick() {
    config->exec();
}

void Tsc_form::help_buttClick() {
    FireEvent(OnHelp);
}

void Tsc_form::ApplyTray() {
    const bool Tray =
        Settings->Flag(TField::UseTaskbar) && QSystemTrayIcon::isSystemTrayAvailable();
    if (RxTrayIcon1->icon().isNull()) RxTrayIcon1->setIcon(windowIcon());
    RxTrayIcon1->setVisible(Tray);
}

void Tsc_form::changeEvent(QEvent* Event) {
    if (Event->type() == QEvent::WindowStateChange) {
        const qint64 Now = TickCount();
        if (isMinimized()) {
            if (RestoreTick) ActiveTime += Now - RestoreTick;
            RestoreTick = 0;
            // With the tray icon on, a minimised window lives in the tray only.
            if (RxTrayIcon1->isVisible())
                QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
        } else if (!RestoreTick) {
            RestoreTick = Now;
        }
    }
    QMainWindow::changeEvent(Event);
}

void Tsc_form::closeEvent(QCloseEvent* Event) {
    if (Updating) ServerList->Abort();
    QMainWindow::closeEvent(Event);
}

void Tsc_form::FormDestroy() {
    if (Destroyed) return;
    Destroyed = true;
    // The portal's requests end quietly: their handlers read the dialog freed below.
    bannertimer->stop();
    scrollertimer->stop();
    for (THttpClient* Client : {bannerclient, scrollerclient}) {
        Client->OnDocBegin = nullptr;
        Client->OnDocEnd = nullptr;
        Client->Abort();
    }
    // The news window reports the minutes of use while the counters and settings are here.
    if (motd_form && isAncestorOf(motd_form)) delete motd_form;
    if (Settings) serverview->SaveLayout(Settings->Registry(), ListLayoutKey);
    if (Settings && !Settings->SavedSinceLoad()) Settings->Save();
    config.reset();
    ClearServerView();
    ServerList.reset();
    SaveFavorites();
    if (sc_form == this) sc_form = nullptr;
}
