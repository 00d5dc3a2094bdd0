// The program's windows in a throwaway home, the browser pointed at a lab master and its
// farm, built as the program builds them at start.
#pragma once

#include "config/settingsstore.h"
#include "labgameserver.h"
#include "labmaster.h"
#include "masterlist/browser.h"
#include "ui/app/program.h"
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
    std::unique_ptr<TProgramWindows> Windows;
    Tscmorrow_form* Main = nullptr;

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
        Windows = std::make_unique<TProgramWindows>();
        Main = Windows->Main.get();
        Main->show();
    }

    // Closes the main window as the user would, then ends the program's windows.
    void Close() {
        Main->close();
        Main = nullptr;
        Windows.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Closes the window, then opens a new one on the same home.
    void Restart() {
        Close();
        Open();
    }

    TServerListModel* Model() const { return Main->serverview->ListModel(); }
    TBrowser& Browser() const { return *Main->Browser; }
    Tinfo_form* Info() const { return Windows->Info; }

    bool Refresh(int TimeoutMs = 15000) {
        Main->refresh_butt->click();
        return QTest::qWaitFor([this] { return !Browser().Updating; }, TimeoutMs);
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
