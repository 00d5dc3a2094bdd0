#include "ui/shell/sc_main.h"

#include "config/paths.h"
#include "config/settings.h"
#include "masterlist/browser.h"
#include "masterlist/buddies.h"
#include "masterlist/favoriteswatch.h"
#include "masterlist/slotwatch.h"
#include "net/http.h"
#include "net/netutils.h"
#include "portal/portalfetcher.h"
#include "ui/shell/filterbar.h"
#include "ui/shell/newsticker.h"
#include "ui/shell/serverview.h"
#include "ui/widgets/dockarea.h"
#include "ui/widgets/linkopener.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
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
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// Where the list view keeps its column widths and sort, as it always has.
const QString ListLayoutKey = "Software\\Scoutly\\ScoutlyLite\\config";
} // namespace

Tsc_form::Tsc_form(TSettings& Settings, QWidget* Parent)
    : QMainWindow(Parent), Settings(Settings), Launcher(Settings) {
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
    filterbar = new TFilterBar;
    auto* ListArea = new QWidget;
    auto* ListColumn = new QVBoxLayout(ListArea);
    ListColumn->setContentsMargins(0, 0, 0, 0);
    ListColumn->setSpacing(0);
    ListColumn->addWidget(filterbar);
    ListColumn->addWidget(serverview, 1);
    pages->setCentralWidget(ListArea);
    Row->addWidget(pages, 1);
    Column->addLayout(Row, 1);
    setCentralWidget(Central);
    BuildStatusBar();
    BuildActions();
    BuildFilter();
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
    serverview->ListModel()->IsFavorite = [this](const TCustomServer& S) {
        return Browser && Browser->Favorites.IsFavorite(S);
    };
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
    Bar->addWidget(statuslabel, 2);
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
    ShowFilter =
        new QAction(style()->standardIcon(QStyle::SP_FileDialogContentsView), "&Show Filter", this);
    ShowFilter->setObjectName("ShowFilter");
    ShowFilter->setIconText("Filter");
    ShowFilter->setCheckable(true);
    ShowFilter->setShortcut(QKeySequence("Ctrl+Shift+F"));
    ShowFilter->setShortcutContext(Qt::WindowShortcut);
    connect(ShowFilter, &QAction::triggered, this, &Tsc_form::ShowFilterExecute);
    addAction(ShowFilter);
    ServerListPopup->addAction(ShowFilter);
}

void Tsc_form::BuildFilter() {
    filterbar->hide();
    filterbar->OnChange = [this](const TServerFilterState&) { filterbarChange(); };
    filtercount = new QLabel;
    filtercount->setObjectName("filtercount");
    filtercount->hide();
    filter_butt = new QToolButton;
    filter_butt->setObjectName("filter_butt");
    filter_butt->setAutoRaise(true);
    filter_butt->setToolButtonStyle(Qt::ToolButtonTextOnly);
    filter_butt->setDefaultAction(ShowFilter);
    filter_butt->setToolTip("Show or hide the filter bar (Ctrl+Shift+F)");
    statusBar()->insertWidget(0, filter_butt);
    statusBar()->insertWidget(3, filtercount);
    TServerListModel* Model = serverview->ListModel();
    const auto Count = [this] { UpdateFilterCount(); };
    connect(Model, &QAbstractItemModel::rowsInserted, this, Count);
    connect(Model, &QAbstractItemModel::rowsRemoved, this, Count);
    connect(Model, &QAbstractItemModel::modelReset, this, Count);
    connect(Model, &QAbstractItemModel::layoutChanged, this, Count);
}

void Tsc_form::FormCreate() {
    BuildPortalFetchers();
    Settings.OnLinksLoaded = [this] { ApplyLinkButtons(); };
    ApplyLinkButtons();
    ApplySkin(false);
    FindPosition = -1;
    StartTick = TickCount();
    ActiveTime = 0;
    RestoreTick = StartTick;
    Browser = std::make_unique<TBrowser>(Settings);
    ConnectBrowser();
    BuildBuddies();
    serverview->RestoreLayout(Settings.Registry(), ListLayoutKey);
    filterbar->SetState(Settings.ListFilter());
    ShowFilter->setChecked(Settings.FilterBarShown());
    filterbar->setVisible(ShowFilter->isChecked());
    filterbarChange();
}

void Tsc_form::ConnectBrowser() {
    Browser->OnClear = [this](TBrowser*) { ClearServerView(); };
    Browser->OnServerDone = [this](TBrowser*, const TServerRef& S) { ServerUpdated(S); };
    Browser->OnStatus = [this](TBrowser*, int Percent, const QString& Text) {
        ListStatus(Percent, Text);
    };
    Browser->OnComplete = [this](TBrowser*) { ListUpdatesComplete(); };
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
    const QList<TDockWindow*> Docks = pages->Docks();
    pages->resizeDocks(QList<QDockWidget*>(Docks.begin(), Docks.end()),
                       QList<int>(Docks.size(), 175), Qt::Vertical);
    BannerFetcher->Start(5000);
    TickerFetcher->Start(5000);
    SetupColumns();
    ApplyTray();
    if (OnStarted) OnStarted();
}

void Tsc_form::SetupColumns() {
    const TServerClass Class = Browser->ServerClass();
    serverview->ListModel()->SetColumns(Class->ColumnCaptions());
    serverview->FitLastColumn();
    if (!OnPlayerCaptions) return;
    QStringList Captions;
    for (const TColumnCaption& C : Class->PlayerClass()->ColumnCaptions())
        Captions << C.Caption;
    OnPlayerCaptions(Captions);
}

void Tsc_form::ApplySkin(bool All) {
    const TSkinColors& Colors = Settings.Colors;
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
        if (!LoadSkinBitmap(Picture, Settings.SkinDirectory, File))
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
    if (All && OnSkinApplied) OnSkinApplied();
}

void Tsc_form::ApplyLinkButtons() {
    const auto Apply = [this](QToolButton* B, const TLink& L) {
        B->setText(L.Text);
        B->setToolTip(L.Hint + "\r\n" + L.Address);
    };
    for (int I = 0; I < LinkButtons.size(); ++I)
        Apply(LinkButtons[I], Settings.Links[lkLb1 + I]);
    Apply(company_butt, Settings.Links[lkCompany]);
    company_butt->setText({});
    Apply(scly_butt, Settings.Links[lkScoutly]);
    scly_butt->setText({});
}

void Tsc_form::lb1Click(QToolButton* Sender) {
    const QString Hint = Sender->toolTip();
    const qsizetype LineFeed = Hint.indexOf('\n');
    OpenLink(LineFeed < 0 ? QByteArray() : Hint.mid(LineFeed + 1).toUtf8(), StatusBarReport(this));
}

void Tsc_form::mainpanelResize() {
    scly_butt->move(
        8, qMax(Settings.Edition().LogoMinTop, mainpanel->height() - scly_butt->height() - 4));
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
    Browser->Refresh();
    UpdateButtons();
}

void Tsc_form::UpdateButtons() {
    refresh_butt->setChecked(Browser->Updating);
    fav_butt->setChecked(Browser->FavoritesView);
}

void Tsc_form::ClearServerView() {
    serverview->ListModel()->Clear();
}

void Tsc_form::ServerUpdated(const TServerRef& Server) {
    TServerListModel* Model = serverview->ListModel();
    const int Row = Browser->UpdateExisting ? Model->RowOf(Server.get()) : -1;
    // Rows shown again from the kept list are old news for the buddies.
    if (Browser->Updating) Buddies->Report(Server);
    if (Row < 0)
        Model->Append(Server);
    else
        Model->Refresh(Row);
}

void Tsc_form::ListStatus(int Percent, const QString& Text) {
    if (Percent < 0) {
        gauge->setRange(0, 0);
    } else {
        gauge->setRange(0, 100);
        gauge->setValue(qMin(Percent, 100));
    }
    ShowStatus(Text);
}

void Tsc_form::ShowStatus(const QString& Text) {
    statuslabel->setText(Text);
    // The panel may be narrower than a long text; the whole of it is a hover away.
    statuslabel->setToolTip(Text);
}

void Tsc_form::ListUpdatesComplete() {
    refresh_butt->setChecked(false);
    ShowBuddiesFound();
    if (Browser->UpdateExisting) return;
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

void Tsc_form::serverviewSelectItem(int Row) {
    UpdateActionStates();
    if (const TServerRef Server = serverview->ListModel()->Server(Row); Server && OnServerSelected)
        OnServerSelected(Server);
}

void Tsc_form::UpdateActionStates() {
    const QList<TServerRef> Selected = SelectedServers();
    const bool Any = serverview->selectionModel()->hasSelection();
    for (QAction* A :
         {Launch, AddtoFavorites, RemoveFromFavorites, RefreshSelected, CopytoClipboard, Find})
        A->setEnabled(Any);
    JoinWhenFree->setEnabled(Selected.size() == 1 && TSlotWatch::IsFull(*Selected.first()));
    AddtoFavorites->setEnabled(false);
    RemoveFromFavorites->setEnabled(false);
    for (const TServerRef& S : Selected) {
        if (Browser->Favorites.IsFavorite(*S))
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
    if (OfferJoinWhenFree(Selected.first())) return;
    const QString Error = Launcher.Launch(*Selected.first());
    if (!Error.isEmpty()) QMessageBox::critical(this, "Error", Error);
}

void Tsc_form::RefreshSelectedExecute() {
    if (Browser->RefreshSelected(SelectedServers())) UpdateButtons();
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

// ---- filter ---------------------------------------------------------------------------------

void Tsc_form::ShowFilterExecute() {
    const bool Shown = ShowFilter->isChecked();
    filterbar->setVisible(Shown);
    if (Shown) {
        filterbar->filtertext->setFocus();
        filterbar->filtertext->selectAll();
    } else {
        serverview->setFocus();
    }
    Settings.SetFilterBarShown(Shown);
    filterbarChange();
}

void Tsc_form::filterbarChange() {
    const TServerFilterState State =
        ShowFilter->isChecked() ? filterbar->State() : TServerFilterState{};
    serverview->ListModel()->SetFilter(TServerFilter(State));
    UpdateFilterCount();
    UpdateActionStates();
    // The players pane follows the text: the players it names come first.
    const QModelIndex Current = serverview->currentIndex();
    if (Current.isValid() && serverview->selectionModel()->isSelected(Current))
        serverviewSelectItem(Current.row());
}

void Tsc_form::UpdateFilterCount() {
    const TServerListModel* Model = serverview->ListModel();
    const int Shown = Model->rowCount(), Total = Model->TotalCount();
    if (Shown < Total)
        filtercount->setText(QString("Showing %1 of %2 servers").arg(Shown).arg(Total));
    filtercount->setVisible(Shown < Total);
}

// ---- favourites -----------------------------------------------------------------------------

void Tsc_form::SaveFavorites() {
    Browser->Favorites.Save();
}

void Tsc_form::AddtoFavoritesExecute() {
    Browser->AddFavorites(SelectedServers());
    serverview->viewport()->update();
    UpdateActionStates();
}

void Tsc_form::RemoveFromFavoritesExecute() {
    Browser->RemoveFavorites(SelectedServers());
    serverview->viewport()->update();
    UpdateActionStates();
    UpdateButtons();
}

void Tsc_form::fav_buttClick() {
    // While an update runs the view stays as it is.
    if (!Browser->Updating) {
        if (!fav_butt->isChecked())
            Browser->ShowAll();
        else if (Browser->Favorites.IsEmpty())
            QMessageBox::information(
                this, windowTitle(),
                "You do not have any servers on your favorites list.\nTo add a server to your "
                "favorites list, right click it and select 'Add to Favorites'");
        else
            Browser->ShowFavorites(serverview->ListModel()->TakeAll());
    }
    UpdateButtons();
}

// ---- windows and lifecycle ------------------------------------------------------------------

void Tsc_form::configure_buttClick() {
    if (OnConfigure) OnConfigure();
    ApplyBuddies();
}

void Tsc_form::help_buttClick() {
    if (OnHelp) OnHelp();
}

void Tsc_form::BannersDisabled(bool Off) {
    if (Off) HideBanner();
}

void Tsc_form::ApplyTray() {
    const bool Tray = Settings.Flag(TField::UseTaskbar) && QSystemTrayIcon::isSystemTrayAvailable();
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
    Browser->Abort();
    QMainWindow::closeEvent(Event);
}

void Tsc_form::FormDestroy() {
    if (Destroyed) return;
    Destroyed = true;
    // The portal's requests end quietly: nothing of them reaches the window from here on.
    if (BannerFetcher) BannerFetcher->Stop();
    if (TickerFetcher) TickerFetcher->Stop();
    // The news window reports the minutes of use while the counters are here.
    if (OnClosing) OnClosing();
    serverview->SaveLayout(Settings.Registry(), ListLayoutKey);
    Settings.SetListFilter(filterbar->State());
    if (!Settings.SavedSinceLoad()) Settings.Save();
    ClearServerView();
    Browser->Favorites.Save();
    Browser.reset();
    Settings.OnLinksLoaded = nullptr;
}
