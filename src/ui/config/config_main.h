// The configuration dialog: shows the settings on its tabs and writes them back when closed.
// The edition dialog (Tmorrowconfig_form) derives from it.
#pragma once

#include "config/settings.h"
#include "ui/config/formstorage.h"

#include <QComboBox>
#include <QDialog>
#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QPlainTextEdit;
class QSpinBox;
class QTabWidget;
class QToolButton;
class TGameFolderSearch;

// A combo box that says when its list is about to open, so the list can be filled then.
class TDropDownComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    std::function<void()> OnDropDown;
    void showPopup() override;
};

class Tconfig_form : public QDialog {
    Q_OBJECT
public:
    // Builds the dialog over Settings; it shows them when shown and writes them back when
    // closed. Call CheckGameFolder next, before any other window is made.
    template <class T = Tconfig_form>
    static std::unique_ptr<T> Create(TSettings& Settings, QWidget* Parent = nullptr) {
        std::unique_ptr<T> Form(new T(Settings, Parent));
        Form->FormCreate();
        return Form;
    }
    ~Tconfig_form() override;

    // On a first start, or when the game is not where the folder setting says, the dialog
    // opens modally. Returns false when it was needed and the user cancelled it.
    bool CheckGameFolder();

    // The controls show the settings again, whatever was typed and not kept.
    void RestoreSettings();
    // The controls' values and the dialog's place go into the settings, which are saved.
    void SaveSettings();
    virtual void ApplyColors();
    // Whether the game is in the folder the folder field shows.
    bool GameExecutableExists() const;

    TSettings& Settings;
    bool Searching = false;
    QStringList SearchRoots; // where the folder search looks; empty: the machine's drives

    // What the main window does when a choice takes effect at once.
    std::function<void(bool)> OnTaskbarChanged;  // tray icon instead of taskbar button
    std::function<void(bool)> OnBannersDisabled; // hide the banner at once
    std::function<void()> OnSkinChanged;         // recolour every window

    // Controls; their object names are the names the store uses.
    QTabWidget* configpages;
    QWidget* generaltab;
    QWidget* chattab;
    QWidget* proxytab;
    QWidget* gametab;
    QWidget* skinstab;
    QLineEdit* program_dir;
    QToolButton* program_dir_browse;
    QToolButton* dirfind_butt;
    QLineEdit* nick;
    QLineEdit* masterserver;
    QSpinBox* queryparallel;
    QSpinBox* queryrate;
    QCheckBox* disablebanners;
    QCheckBox* use_taskbar;
    QLabel* speedlabel;
    QComboBox* speedbox;
    QLabel* realnamelabel;
    QLineEdit* realname;
    QGroupBox* demogroup;
    QLineEdit* zip;
    QLineEdit* age;
    QLineEdit* email;
    QCheckBox* notify_box;
    QCheckBox* chatconnect;
    QCheckBox* hidejoins;
    QCheckBox* noautoaway;
    QWidget* buddiestab;
    QPlainTextEdit* buddylist;
    QCheckBox* watchfavorites;
    QSpinBox* watchminutes;
    QLineEdit* homechanneledit;
    QLineEdit* chatserver;
    QCheckBox* useproxies;
    QGroupBox* proxygroup;
    QLineEdit* proxyaddr;
    QLineEdit* proxyport;
    QLineEdit* proxyuser;
    QLineEdit* proxypass;
    QRadioButton* udpmotdbutt;
    QRadioButton* httpmotdbutt;
    QRadioButton* icmppingbutt;
    QRadioButton* tcppingbutt;
    QCheckBox* usesocksproxies;
    QGroupBox* socksgroup;
    QLineEdit* socksproxyaddr;
    QLineEdit* socksproxyuser;
    QLineEdit* socksproxypass;
    QRadioButton* socks4butt;
    QRadioButton* socks5butt;
    TDropDownComboBox* skinpathbox;
    QLabel* getskinshere;
    QWidget* buttoncolumn;
    QPushButton* ok_butt;
    QPushButton* cancel_butt;
    QPushButton* about_butt;
    QProgressBar* findanim;

protected:
    Tconfig_form(TSettings& Settings, QWidget* Parent);
    virtual void FormCreate();
    void showEvent(QShowEvent* Event) override;
    void done(int Result) override;

    void ok_buttClick();
    void cancel_buttClick();
    void dirfind_buttClick();
    void TreeScanner1FileFound(const QString& Folder);
    void TreeScanner1Finished();
    void program_dirButtonClick();
    void about_buttClick();
    void useproxiesClick();
    void usesocksproxiesClick();
    void skinpathboxDropDown();
    void skinpathboxChange();
    void getskinshereClick();
    void ShowMessage(const QString& Text);

    TFormStorage Storage;
    std::unique_ptr<TGameFolderSearch> TreeScanner1;

private:
    void BuildGeneralTab();
    void BuildChatTab();
    void BuildBuddiesTab();
    void BuildProxyTab();
    void BuildSkinsTab();
    void BuildButtonColumn();
    void RegisterStoredFields();
    int PendingSearches = 0; // a cancelled walk still reports its end
};
