// A main window in a throwaway home, pointed at a lab master and its farm, as the program
// builds it at start (dialog first, then the docked windows).
#pragma once

#include "config/settingsstore.h"
#include "labgameserver.h"
#include "labmaster.h"
#include "ui/app/program.h"
#include "ui/chat/chat_main.h"
#include "ui/chat/chatmod_main.h"
#include "ui/config/config_main.h"
#include "ui/shell/info_main.h"
#include "ui/shell/scmorrow_main.h"
#include "ui/shell/serverview.h"

#include "boxanswer.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

inline const QString FieldsKey = "Software\\Scoutly\\tarnwick\\morrow\\config";

struct TMainWindowFixture {
    QTemporaryDir Home;
    TLabFarm Farm;
    TLabMasterServer Master;
    std::unique_ptr<Tscmorrow_form> Main;

    bool Start(const QList<TLabServerConfig>& Configs) {
        qputenv("SCOUTLY_HOME", Home.path().toUtf8());
        if (!Farm.Start(Configs)) return false;
        QList<QByteArray> Entries;
        for (int I = 0; I < Farm.Count(); ++I)
            Entries << "127.0.0.1:" + QByteArray::number(Farm.Port(I));
        Master.Config.Lists["morrow"] = Entries;
        if (!Master.Listen()) return false;
        const QString Game = Home.path() + "/game/";
        QDir().mkpath(Game);
        QFile(Game + "morrow.exe").open(QIODevice::WriteOnly);
        {
            TRegistry Registry;
            Registry.WriteString(FieldsKey, "program_dir_Text", Game);
            Registry.WriteString(FieldsKey, "masterserver_Text",
                                 QString("127.0.0.1:%1").arg(Master.Port()));
            Registry.WriteString(FieldsKey, "chatconnect_Checked", "False");
        }
        Open();
        return true;
    }

    void Open() {
        Main = Tsc_form::Create<Tscmorrow_form>();
        new TChatModule(Main.get());
        for (QWidget* W : std::initializer_list<QWidget*>{new Tchat_form(Main.get()),
                                                          new Tinfo_form(Main.get())})
            W->hide();
        TProgramWindows::MakeNews(*Main);
        Main->show();
    }

    // Closes the window as the user would.
    void Close() {
        Main->close();
        Main.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Closes the window, then opens a new one on the same home.
    void Restart() {
        Close();
        Open();
    }

    TServerListModel* Model() const { return Main->serverview->ListModel(); }

    bool Refresh(int TimeoutMs = 15000) {
        Main->refresh_butt->click();
        return QTest::qWaitFor([this] { return !Main->Updating; }, TimeoutMs);
    }

    void SelectRows(const QList<int>& Rows) {
        Main->serverview->clearSelection();
        for (int Row : Rows) {
            const QModelIndex Index = Model()->index(Row, 0);
            Main->serverview->selectionModel()->setCurrentIndex(
                Index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    int RowNamed(const QByteArray& Name) const {
        for (int R = 0; R < Model()->rowCount(); ++R)
            if (Model()->ServerAt(R)->ServerName == Name) return R;
        return -1;
    }

    int LabQueries() const {
        int Total = 0;
        for (int I = 0; I < Farm.Count(); ++I)
            Total += Farm.Server(I)->Queries();
        return Total;
    }
};
