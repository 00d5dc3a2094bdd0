// The main window's part in buddies, the favourites watch and joining when a slot frees: the
// controllers decide, the window shows their texts and asks the user.
#include "config/settings.h"
#include "masterlist/browser.h"
#include "masterlist/buddies.h"
#include "masterlist/favoriteswatch.h"
#include "masterlist/slotwatch.h"
#include "net/netutils.h"
#include "ui/shell/sc_main.h"
#include "ui/shell/serverview.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QToolButton>

void Tsc_form::BuildBuddies() {
    Buddies = std::make_unique<TBuddies>();
    Buddies->OnAppeared = [this](TBuddies*, const TServerRef& Server, const QStringList& Names) {
        Notify("Buddies", Names.join(", ") + " joined " + DisplayText(Server->ServerName));
    };
    serverview->ListModel()->BuddiesOn = [this](const TCustomServer& Server) {
        return Buddies->On(Server);
    };
    FavoritesWatch = std::make_unique<TFavoritesWatch>(Settings, Browser->Favorites);
    FavoritesWatch->OnServerDone = [this](TFavoritesWatch*, const TServerRef& Server) {
        WatchedFavorite(Server);
    };
    FavoritesWatch->OnRoundDone = [this](TFavoritesWatch*) { Buddies->RoundDone(); };

    SlotWatch = std::make_unique<TSlotWatch>(Launcher);
    slotcancel = new QToolButton;
    slotcancel->setObjectName("slotcancel");
    slotcancel->setText("Cancel");
    slotcancel->setToolTip("Stop waiting for a slot");
    slotcancel->hide();
    statusBar()->addWidget(slotcancel);
    connect(slotcancel, &QToolButton::clicked, this, [this] { SlotWatch->Cancel(); });
    SlotWatch->OnTick = [this](TSlotWatch* Watch, int Seconds) {
        ShowStatus(Watch->StatusText(Seconds));
    };
    SlotWatch->OnEnd = [this](TSlotWatch*, TSlotWatchEnd How, const QString& Text) {
        slotcancel->hide();
        ShowStatus(Text);
        if (How == TSlotWatchEnd::Launched) Notify("Join when a slot frees", Text);
        if (How == TSlotWatchEnd::LaunchFailed) QMessageBox::critical(this, "Error", Text);
    };
    JoinWhenFree = new QAction("&Join when a slot frees", this);
    JoinWhenFree->setObjectName("JoinWhenFree");
    connect(JoinWhenFree, &QAction::triggered, this, &Tsc_form::JoinWhenFreeExecute);
    ServerListPopup->insertAction(AddtoFavorites, JoinWhenFree);
    ApplyBuddies();
}

void Tsc_form::ApplyBuddies() {
    Buddies->SetNames(Settings.BuddyList());
    serverview->ListModel()->RereadAll();
    FavoritesWatch->Apply();
}

void Tsc_form::ShowBuddiesFound() {
    const TServerListModel* Model = serverview->ListModel();
    QList<TServerRef> Listed;
    for (int Row = 0; Row < Model->rowCount(); ++Row)
        Listed << Model->Server(Row);
    Buddies->RoundDone();
    const QString Found = BuddiesFoundText(Buddies->FoundOn(Listed));
    if (!Found.isEmpty()) ShowStatus(statuslabel->text() + " - " + Found);
}

void Tsc_form::WatchedFavorite(const TServerRef& Server) {
    Buddies->Report(Server);
    // The fresh counts go into a listed row of the same server; rows of a refresh under way
    // are the refresh's, and the row keeps its place and selection.
    if (Browser->Updating || !Server->Responded) return;
    TServerListModel* Model = serverview->ListModel();
    const QByteArray Key = TFavorites::KeyOf(*Server).toLower();
    for (int Row = 0; Row < Model->rowCount(); ++Row) {
        const TCustomServer* Listed = Model->ServerAt(Row);
        if (Listed && TFavorites::KeyOf(*Listed).toLower() == Key) Model->Replace(Row, Server);
    }
}

bool Tsc_form::OfferJoinWhenFree(const TServerRef& Server) {
    if (!TSlotWatch::IsFull(*Server)) return false;
    QMessageBox Box(QMessageBox::Question, windowTitle(),
                    DisplayText(Server->ServerName) + " is full.", QMessageBox::NoButton, this);
    QPushButton* Wait = Box.addButton("Join when a slot frees", QMessageBox::AcceptRole);
    Box.addButton("Launch now", QMessageBox::DestructiveRole);
    QPushButton* Cancel = Box.addButton(QMessageBox::Cancel);
    Box.setDefaultButton(Wait);
    Box.exec();
    if (Box.clickedButton() == Wait) {
        SlotWatch->Start(*Server);
        slotcancel->show();
    }
    return Box.clickedButton() == Wait || Box.clickedButton() == Cancel;
}

void Tsc_form::JoinWhenFreeExecute() {
    const QList<TServerRef> Selected = SelectedServers();
    if (Selected.isEmpty()) return;
    SlotWatch->Start(*Selected.first());
    slotcancel->show();
}

void Tsc_form::Notify(const QString& Title, const QString& Text) {
    if (RxTrayIcon1->isVisible()) RxTrayIcon1->showMessage(Title, Text);
}
