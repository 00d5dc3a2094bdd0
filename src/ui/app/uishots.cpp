// scoutly-shots DIR [--demo | --master HOST:PORT [--chat HOST:PORT] [--motd HOST:PORT]
// [--web URL]]:
// pictures of the program's windows, drawn offscreen, for reviewing how they look without a
// desktop. Runs in a throwaway home so no real settings are touched. With a master server, the
// main window is shown after a full refresh; with a chat server, also its chat tab once others
// have talked, and the channel list. --motd and --web point the News page, banner and ticker at
// other servers, as for scoutly-lite. --demo starts the lab scoutly-lite --demo runs against and
// uses all of its servers.
#include "config/paths.h"
#include "config/settings.h"
#include "config/settingsstore.h"
#include "demo/demolab.h"
#include "masterlist/browser.h"
#include "masterlist/buddies.h"
#include "net/netutils.h"
#include "portal/portaloptions.h"
#include "ui/app/program.h"
#include "ui/chat/channellist_main.h"
#include "ui/chat/chat_main.h"
#include "ui/chat/chatmod_main.h"
#include "ui/config/morrowconfig_main.h"
#include "ui/news/motd_main.h"
#include "ui/shell/filterbar.h"
#include "ui/shell/info_main.h"
#include "ui/shell/scmorrow_main.h"
#include "ui/shell/serverview.h"
#include "ui/shell/splash_main.h"
#include "ui/shell/tip_main.h"
#include "ui/widgets/dockarea.h"
#include "ui/widgets/uihooks.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextStream>
#include <QToolButton>
#include <tuple>

namespace {
const QString FieldsKey = "Software\\Scoutly\\tarnwick\\morrow\\config";

bool Save(QWidget* Window, const QString& Folder, const QString& Name) {
    QApplication::processEvents();
    const QString File = QDir(Folder).filePath(Name + ".png");
    if (!Window->grab().save(File)) return false;
    QTextStream(stdout) << File << Qt::endl;
    return true;
}

int ShootDialog(Tconfig_form& Form, const QString& Folder, const QString& Prefix) {
    int Written = 0;
    Form.show();
    for (int Tab = 0; Tab < Form.configpages->count(); ++Tab) {
        if (!Form.configpages->isTabVisible(Tab)) continue;
        Form.configpages->setCurrentIndex(Tab);
        QString Name = Form.configpages->tabText(Tab).toLower();
        Name.replace(QRegularExpression("[^a-z0-9]+"), "-");
        Written += Save(&Form, Folder, Prefix + Name);
    }
    Form.hide();
    return Written;
}

void Wait(int Ms, const std::function<bool()>& Done) {
    QElapsedTimer Clock;
    Clock.start();
    while (!Done() && Clock.elapsed() < Ms)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

// The list narrowed by the filter bar to the servers of the selected server's last player, who
// comes first in the players pane; the bar is put away again afterwards.
int ShootFilter(TProgramWindows& Windows, const QString& Folder) {
    Tsc_form& Main = *Windows.Main;
    TServerListModel* Model = Main.serverview->ListModel();
    const auto* Game =
        dynamic_cast<const TGameServer*>(Model->ServerAt(Main.serverview->currentIndex().row()));
    QString Name = Game && !Game->Players.empty() ? DisplayText(Game->Players.back()->Name) : "";
    // A buddy's servers, where there is one, so the picture shows the buddy marks too.
    for (int Row = 0; Row < Model->rowCount(); ++Row)
        if (const QStringList Found = Main.Buddies->On(*Model->ServerAt(Row)); !Found.isEmpty()) {
            Game = dynamic_cast<const TGameServer*>(Model->ServerAt(Row));
            Name = Found.first();
            break;
        }
    if (!Game || Name.isEmpty()) return 0;
    Main.ShowFilter->trigger();
    Main.filterbar->hidenotresponding->setChecked(true);
    Main.filterbar->filtertext->setText(Name);
    const int Row = Model->RowOf(Game);
    if (Row >= 0) {
        Main.serverview->clearSelection();
        Main.serverview->setCurrentIndex(Model->index(Row, 0));
    }
    Main.pages->Activate(Windows.Info);
    const int Written = Save(&Main, Folder, "main-filter");
    Main.filterbar->SetState({});
    Main.ShowFilter->trigger();
    return Written;
}

// The chat tab once the channel has seen some talk, then the server's channel list.
int ShootChat(TProgramWindows& Windows, const QString& Folder) {
    const auto Channel = [&Windows] {
        for (Tchat_form* Window : Windows.ChatModule->ChatWindows())
            if (Window->Channel) return Window;
        return static_cast<Tchat_form*>(nullptr);
    };
    Wait(20000, [&] {
        const Tchat_form* Window = Channel();
        return Window && Window->mainchat->document()->blockCount() >= 12;
    });
    if (!Channel()) {
        QTextStream(stderr) << "scoutly-shots: the chat never joined a channel\n";
        return 0;
    }
    Tsc_form& Main = *Windows.Main;
    Main.pages->Activate(Channel());
    int Written = Save(&Main, Folder, "chat");
    Channel()->chanlist_butt->click();
    Tchannellist_form* List = Windows.ChannelList;
    Wait(5000, [List] { return List->channelview->model()->rowCount() > 0; });
    Wait(500, [] { return false; });
    Written += Save(List, Folder, "channels");
    List->hide();
    return Written;
}

int ShootProgram(const QString& Folder, const QString& Master, const QString& Chat) {
    {
        const QString Game = UserConfigDir() + "/game/";
        QDir().mkpath(Game);
        QFile(Game + "morrow.exe").open(QIODevice::WriteOnly);
        TRegistry Registry;
        Registry.WriteString(FieldsKey, FieldName(TField::ProgramDir), Game);
        Registry.WriteString(FieldsKey, FieldName(TField::MasterServer), Master);
        Registry.WriteString(FieldsKey, FieldName(TField::ChatConnect),
                             Chat.isEmpty() ? "False" : "True");
        Registry.WriteString(FieldsKey, FieldName(TField::ChatServer), Chat);
        Registry.WriteString(FieldsKey, FieldName(TField::Nick), "Shutter");
    }
    TProgramWindows Windows;
    int Written = Save(Windows.Splash.get(), Folder, "splash");
    Written += Save(Windows.Tips.get(), Folder, "tips");
    Windows.Tips->hide();
    Tsc_form& Main = *Windows.Main;
    Main.resize(1000, 700);
    Main.show();
    Main.refresh_butt->click();
    Wait(60000, [&] { return !Main.Browser->Updating; });
    // A server with players shows the players pane filled.
    TServerListModel* Model = Main.serverview->ListModel();
    for (int Row = 0; Row < Model->rowCount(); ++Row)
        if (Model->ServerAt(Row)->NumPlayers > 3 && Model->ServerAt(Row)->Responded) {
            Main.serverview->setCurrentIndex(Model->index(Row, 0));
            break;
        }
    Written += Save(&Main, Folder, "main");
    Written += ShootFilter(Windows, Folder);
    // The News page, once the message service has answered.
    if (Windows.News && !Windows.News->motd_text->document()->isEmpty()) {
        Main.pages->Activate(Windows.News);
        Written += Save(&Main, Folder, "news");
    }
    if (!Chat.isEmpty()) Written += ShootChat(Windows, Folder);
    return Written;
}
} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    QApplication::setApplicationDisplayName("Scoutly Lite");
    InstallUIHooks();
    QStringList Arguments = App.arguments().mid(1);
    const auto Take = [&](const QString& Option) {
        QString Value;
        if (const qsizetype At = Arguments.indexOf(Option); At >= 0 && At + 1 < Arguments.size()) {
            Value = Arguments[At + 1];
            Arguments.remove(At, 2);
        }
        return Value;
    };
    QString Master = Take("--master"), Chat = Take("--chat"), Motd = Take("--motd"),
            Web = Take("--web");
    const bool Demo = Arguments.removeAll("--demo") > 0;
    if (Arguments.size() != 1 || Arguments[0].startsWith('-')) {
        QTextStream(stderr) << "usage: scoutly-shots DIR [--demo | --master HOST:PORT [--chat "
                               "HOST:PORT] [--motd HOST:PORT] [--web URL]]   (writes PNG pictures "
                               "of the windows)\n";
        return 1;
    }
    std::unique_ptr<TDemoLab> Lab;
    if (Demo) {
        if (!(Lab = TDemoLab::Launch())) return 1;
        const TDemoAddresses& At = Lab->Addresses();
        std::tie(Master, Chat, Motd, Web) = std::tie(At.Master, At.Chat, At.Motd, At.Web);
    }
    const QString Folder = Arguments[0];
    QDir().mkpath(Folder);
    QTemporaryDir Home;
    SetScoutlyHome(Home.path());
    {
        const auto Given = [](const QString& Value) {
            return Value.isEmpty() ? std::nullopt : std::optional(Value);
        };
        TRegistry Registry;
        QString Error;
        // The demo's own settings too, so the pictures show its buddies.
        if (!(Lab ? Lab->Store(Registry, Error)
                  : StorePortalOverrides(Registry, Given(Motd), Given(Web), Error))) {
            QTextStream(stderr) << "scoutly-shots: " << Error << '\n';
            return 1;
        }
    }

    int Written = 0;
    {
        TSettings Settings(TEdition::Morrow());
        auto Edition = Tconfig_form::Create<Tmorrowconfig_form>(Settings);
        Written += ShootDialog(*Edition, Folder, "config-");
    }
    {
        // The base dialog shows the tabs the edition hides.
        TSettings Settings(TEdition::Generic());
        auto Base = Tconfig_form::Create<Tconfig_form>(Settings);
        Written += ShootDialog(*Base, Folder, "config-base-");
    }
    if (!Master.isEmpty()) Written += ShootProgram(Folder, Master, Chat);
    return Written > 0 ? 0 : 2;
}
