// Finds the game folder for the configuration dialog: the folder holding the game's executable
// somewhere below the machine's local drives, the home folder and the Wine prefixes. The walk
// is the program's one worker thread; everything it reports arrives on the owner's thread.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class TGameFolderSearch : public QObject {
    Q_OBJECT
public:
    explicit TGameFolderSearch(QObject* Parent = nullptr);
    ~TGameFolderSearch() override;

    // Local, writable, mounted file systems sorted by mount point, then the home folder,
    // ~/.wine/drive_c and every ~/.local/share/wineprefixes/*/drive_c. Existing folders only.
    // Stats every mount on the calling thread.
    static QStringList FixedRoots();
    // For each root: root/GameSubdirectory, root/games/..., root/program files/..., each path
    // component matched case-insensitively where such a folder exists; then the roots.
    static QStringList Candidates(const QStringList& Roots, const QString& GameSubdirectory);

    // Walks the candidates in order for a file named Executable (any case). Returns at once;
    // a walk still running is cancelled first.
    void Start(const QStringList& Candidates, const QString& Executable);
    // The same over Candidates(FixedRoots(), GameSubdirectory), worked out on the walk's thread.
    void StartOnFixedDrives(const QString& GameSubdirectory, const QString& Executable);
    // Returns at once; Finished(false, true) follows and no Found.
    void Cancel();
    // True from Start until Found/Finished or Cancel.
    bool Running() const;

signals:
    void Found(const QString& Folder);
    // Exactly once per Start, after Found when there was a hit.
    void Finished(bool Found, bool Cancelled);
    // The candidate being walked, at most about ten times a second.
    void Progress(const QString& Folder);

private:
    void Launch(std::function<QStringList()> MakeCandidates, const QString& Executable);
    struct TWalk;

    void Walk(TWalk* W, const QStringList& Candidates, const QString& Executable);
    void WalkEnded(TWalk* W, const QString& Folder);

    // Cancelled walks stay here until their thread has ended.
    std::vector<std::unique_ptr<TWalk>> Walks;
    TWalk* Current = nullptr;
};
