// The configuration dialog, which is also the program-wide settings object: every window
// reads its fields and controls. The edition dialog (Tmorrowconfig_form) derives from it.
#pragma once

#include "ui/config/formstorage.h"
#include "config/links.h"
#include "config/skins.h"
#include "masterlist/customserverlist.h"
#include "net/proxysettings.h"

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
class QSpinBox;
class QTabWidget;
class QToolButton;
class TGameFolderSearch;
class TRegistry;

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
    // Builds the dialog and sets it up in order: defaults, installation code, links, stored
    // fields, skin. Call CheckGameFolder next, before any other window is made.
    template <class T = Tconfig_form> static std::unique_ptr<T> Create(QWidget* Parent = nullptr) {
        std::unique_ptr<T> Form(new T(Parent));
        Form->FormCreate();
        return Form;
    }
    ~Tconfig_form() override;

    // On a first start, or when the game is not where the folder field says, the dialog
    // opens modally. Returns false when it was needed and the user cancelled it.
    bool CheckGameFolder();

    QString ReadSetting(const QString& Name) const;
    void WriteSetting(const QString& Name, const QString& Value);

    virtual void SetDefaults();
    virtual void RestoreSettings();
    // Fills LaunchArguments for joining Server; false stops the launch.
    virtual bool BuildLaunchArguments(const TCustomServer& Server);
    // Starts the game so that it joins Server; failures are said in a message box.
    virtual void LaunchGame(const TCustomServer& Server);
    virtual void LoadLinks();
    virtual void ApplyColors();
    void SaveSettings();
    void LoadSkin();
    bool GameExecutableExists() const;
    void ApplySocksProxy(TSocksSettings& Socket) const;
    void ApplyHttpProxy(THttpProxySettings& Client) const;

    // The master server field as host and port (port 28900 unless given).
    QByteArray MasterHost() const;
    QByteArray MasterPort() const;
    // The chat server field as host and port (port 6667 unless given); empty: no chat.
    QByteArray ChatServerHost() const;
    QByteArray ChatServerPort() const;
    int QueriesAtOnce() const;

    // Edition values (SetDefaults).
    QStringList VersionParts;
    QByteArray ProductCode;
    QByteArray MotdHost;
    QByteArray MotdPort;
    QByteArray MotdUrl;
    QByteArray DefaultChannel;
    TServerListClass ListClass = nullptr;
    QString GameExecutable;
    QString GameSubdirectory;
    QByteArray ChatServer;
    int BannerInterval = 300000;
    int TickerInterval = 900000;
    QString RegistryKey;
    QString RegistrySubKey;
    QString FormStorageKey;
    int LogoMinTop = 224;
    QString SkinDirectory;
    TSkinColors Colors;

    TLinks Links;
    QString InstallCode;
    QString LaunchArguments;
    bool Searching = false;
    QStringList SearchRoots; // where the folder search looks; empty: the machine's drives
    qint64 LaunchedProcessId = 0;
    std::unique_ptr<TRegistry> Registry;

    // What the main window does when a setting takes effect at once.
    std::function<void()> OnLinksLoaded;         // relabel the link buttons
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
    explicit Tconfig_form(QWidget* Parent);
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
    void BuildProxyTab();
    void BuildSkinsTab();
    void BuildButtonColumn();
    void RegisterStoredFields();
    TProxyChoice ProxyChoice() const;
    QString RegistryPath() const { return RegistryKey + RegistrySubKey; }
    bool WrittenSinceLoad = false;
    int PendingSearches = 0; // a cancelled walk still reports its end
};

// The program-wide settings object, set by FormCreate.
extern Tconfig_form* config_form;
