// scoutly-shots DIR: pictures of the program's windows, drawn offscreen, for reviewing how they
// look without a desktop. Runs in a throwaway home so no real settings are touched.
#include "config/morrowconfig_main.h"
#include "shell/uihooks.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>

namespace {
int Shoot(Tconfig_form& Form, const QString& Folder, const QString& Prefix) {
    int Written = 0;
    Form.show();
    for (int Tab = 0; Tab < Form.configpages->count(); ++Tab) {
        if (!Form.configpages->isTabVisible(Tab)) continue;
        Form.configpages->setCurrentIndex(Tab);
        QApplication::processEvents();
        QString Name = Form.configpages->tabText(Tab).toLower();
        Name.replace(QRegularExpression("[^a-z0-9]+"), "-");
        const QString File = QDir(Folder).filePath(Prefix + Name + ".png");
        if (Form.grab().save(File)) {
            QTextStream(stdout) << File << '\n';
            ++Written;
        }
    }
    Form.hide();
    return Written;
}
} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    InstallUIHooks();
    const QStringList Arguments = App.arguments();
    if (Arguments.size() != 2 || Arguments[1].startsWith('-')) {
        QTextStream(stderr) << "usage: scoutly-shots DIR   (writes PNG pictures of each window)\n";
        return 1;
    }
    const QString Folder = Arguments[1];
    QDir().mkpath(Folder);
    QTemporaryDir Home;
    qputenv("SCOUTLY_HOME", Home.path().toUtf8());

    int Written = 0;
    {
        auto Edition = Tconfig_form::Create<Tmorrowconfig_form>();
        Written += Shoot(*Edition, Folder, "config-");
    }
    {
        // The base dialog shows the tabs the edition hides.
        auto Base = Tconfig_form::Create<Tconfig_form>();
        Written += Shoot(*Base, Folder, "config-base-");
    }
    return Written > 0 ? 0 : 2;
}
