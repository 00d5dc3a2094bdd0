#include "config/foldersearch.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

struct TGameFolderSearch::TWalk {
    std::atomic<bool> Cancelled{false};
    std::thread Thread;
};

namespace {

// Kernel and runtime trees: huge or endless, and never where a game is installed.
const QStringList SystemFolders = {"/proc", "/sys", "/dev", "/run"};

const QSet<QByteArray> PseudoTypes = {
    "proc",       "sysfs",           "tmpfs",      "devtmpfs",    "devpts",
    "cgroup",     "cgroup2",         "squashfs",   "securityfs",  "debugfs",
    "tracefs",    "mqueue",          "hugetlbfs",  "pstore",      "bpf",
    "autofs",     "fusectl",         "configfs",   "binfmt_misc", "nsfs",
    "efivarfs",   "ramfs",           "rpc_pipefs", "nfsd",        "selinuxfs",
    "fuse.lxcfs", "fuse.gvfsd-fuse", "fuse.portal"};

// A walk into a share can take hours; the game is installed locally.
const QSet<QByteArray> NetworkTypes = {
    "nfs",  "nfs4",      "cifs",  "smb3", "smbfs",       "sshfs",     "fuse.sshfs",    "9p",
    "ceph", "glusterfs", "davfs", "afs",  "fuse.rclone", "fuse.s3fs", "fuse.glusterfs"};

bool IsBelow(const QString& Path, const QString& Folder) {
    if (Folder == QLatin1String("/")) return true;
    return Path == Folder || (Path.startsWith(Folder) && Path.at(Folder.size()) == u'/');
}

bool InSystemFolder(const QString& Path) {
    return std::any_of(SystemFolders.begin(), SystemFolders.end(),
                       [&](const QString& Folder) { return IsBelow(Path, Folder); });
}

QString Joined(const QString& Folder, const QString& Name) {
    return Folder.endsWith(u'/') ? Folder + Name : Folder + u'/' + Name;
}

bool IsFixedVolume(const QStorageInfo& Volume) {
    if (!Volume.isValid() || !Volume.isReady() || Volume.isReadOnly()) return false;
    const QByteArray Type = Volume.fileSystemType().toLower();
    return !InSystemFolder(Volume.rootPath()) && !PseudoTypes.contains(Type) &&
           !NetworkTypes.contains(Type);
}

// Folders a walk never enters when it meets them: the system trees and the mount points of
// file systems that are not fixed drives.
QStringList PrunedFolders() {
    QStringList Pruned = SystemFolders;
    for (const QStorageInfo& Volume : QStorageInfo::mountedVolumes()) {
        const QString Root = QDir::cleanPath(Volume.rootPath());
        if (!IsFixedVolume(Volume) && Root != QLatin1String("/") && !Pruned.contains(Root))
            Pruned << Root;
    }
    return Pruned;
}

// Wine installs differ in case ("Program Files", "program files"): take the exact name when
// it exists, else the first folder whose name matches in any case; past a missing component
// the rest is appended as given.
QString ResolvedBelow(const QString& Root, const QString& Relative) {
    QString Path = QDir::cleanPath(Root);
    bool Exists = QFileInfo(Path).isDir();
    const QStringList Parts =
        QString(Relative).replace(u'\\', u'/').split(u'/', Qt::SkipEmptyParts);
    for (const QString& Part : Parts) {
        QString Name = Part;
        if (Exists && !QFileInfo(Joined(Path, Part)).isDir()) {
            const QStringList Entries = QDir(Path).entryList(
                QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
            const auto Match = std::find_if(Entries.begin(), Entries.end(), [&](const QString& E) {
                return E.compare(Part, Qt::CaseInsensitive) == 0;
            });
            if (Match != Entries.end())
                Name = *Match;
            else
                Exists = false;
        }
        Path = Joined(Path, Name);
    }
    return Path;
}

// One candidate's tree, depth first, a folder's own files before its subfolders. Returns the
// folder holding the executable, or an empty string when there is none or the walk was
// cancelled. Symlinked folders are not followed, so links cannot loop.
QString WalkTree(const QString& Start, const QString& Executable, const QSet<QString>& Skip,
                 const std::atomic<bool>& Cancelled, const std::function<void()>& Tick) {
    std::vector<QString> Pending{Start};
    QStringList Subfolders;
    while (!Pending.empty()) {
        const QString Folder = std::move(Pending.back());
        Pending.pop_back();
        Subfolders.clear();
        QDirIterator It(Folder,
                        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        while (It.hasNext()) {
            if (Cancelled.load(std::memory_order_relaxed)) return {};
            Tick();
            It.next();
            const QFileInfo Info = It.fileInfo();
            if (Info.isDir()) {
                if (Info.isSymLink()) continue;
                const QString Path = Joined(Folder, Info.fileName());
                if (!Skip.contains(Path)) Subfolders << Path;
            } else if (Info.fileName().compare(Executable, Qt::CaseInsensitive) == 0 &&
                       Info.isFile()) {
                return Folder;
            }
        }
        std::sort(Subfolders.begin(), Subfolders.end(), std::greater<QString>());
        for (QString& Path : Subfolders)
            Pending.push_back(std::move(Path));
    }
    return {};
}

} // namespace

TGameFolderSearch::TGameFolderSearch(QObject* Parent) : QObject(Parent) {}

TGameFolderSearch::~TGameFolderSearch() {
    for (const auto& W : Walks)
        W->Cancelled = true;
    for (const auto& W : Walks)
        if (W->Thread.joinable()) W->Thread.join();
}

QStringList TGameFolderSearch::FixedRoots() {
    QStringList Mounts;
    for (const QStorageInfo& Volume : QStorageInfo::mountedVolumes())
        if (IsFixedVolume(Volume)) Mounts << QDir::cleanPath(Volume.rootPath());
    Mounts.sort();

    QStringList Roots;
    // Bind mounts of single files (containers) are mount points too.
    const auto Add = [&Roots](const QString& Path) {
        const QString Clean = QDir::cleanPath(Path);
        if (QFileInfo(Clean).isDir() && !Roots.contains(Clean)) Roots << Clean;
    };
    for (const QString& Mount : Mounts)
        Add(Mount);
    const QString Home = QDir::homePath();
    Add(Home);
    Add(Home + QStringLiteral("/.wine/drive_c"));
    const QDir Prefixes(Home + QStringLiteral("/.local/share/wineprefixes"));
    for (const QString& Name : Prefixes.entryList(
             QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name))
        Add(Prefixes.filePath(Name) + QStringLiteral("/drive_c"));
    return Roots;
}

QStringList TGameFolderSearch::Candidates(const QStringList& Roots,
                                          const QString& GameSubdirectory) {
    QStringList Result;
    const auto Add = [&Result](const QString& Path) {
        if (!Result.contains(Path)) Result << Path;
    };
    for (const QString& Root : Roots) {
        Add(ResolvedBelow(Root, GameSubdirectory));
        Add(ResolvedBelow(Root, QStringLiteral("games/") + GameSubdirectory));
        Add(ResolvedBelow(Root, QStringLiteral("program files/") + GameSubdirectory));
    }
    for (const QString& Root : Roots)
        Add(QDir::cleanPath(Root));
    return Result;
}

void TGameFolderSearch::Start(const QStringList& Candidates, const QString& Executable) {
    Launch([Candidates] { return Candidates; }, Executable);
}

void TGameFolderSearch::StartOnFixedDrives(const QString& GameSubdirectory,
                                           const QString& Executable) {
    // Listing the drives can stall on a dead share, so even that happens on the walk's thread.
    Launch([GameSubdirectory] { return Candidates(FixedRoots(), GameSubdirectory); }, Executable);
}

void TGameFolderSearch::Launch(std::function<QStringList()> MakeCandidates,
                               const QString& Executable) {
    Cancel();
    Walks.push_back(std::make_unique<TWalk>());
    TWalk* W = Walks.back().get();
    Current = W;
    W->Thread = std::thread([this, W, MakeCandidates = std::move(MakeCandidates), Executable] {
        Walk(W, MakeCandidates(), Executable);
    });
}

void TGameFolderSearch::Cancel() {
    if (!Current) return;
    Current->Cancelled = true;
    Current = nullptr;
    // Queued like every other report, so it keeps its place before a following Start's.
    QMetaObject::invokeMethod(
        this, [this] { emit Finished(false, true); }, Qt::QueuedConnection);
}

bool TGameFolderSearch::Running() const {
    return Current != nullptr;
}

// Runs on the walk's own thread: touches nothing of this object but W and posted calls.
void TGameFolderSearch::Walk(TWalk* W, const QStringList& Candidates, const QString& Executable) {
    // Reading the mounts stats each of them, which can stall on a dead share: not on the GUI.
    const QStringList Pruned = PrunedFolders();
    QSet<QString> Skip(Pruned.begin(), Pruned.end());
    // Trees walked to the end without a hit; a later candidate inside one is not walked again
    // (the roots come last and hold the earlier candidates).
    QStringList Walked;
    QElapsedTimer SinceProgress;
    QString Walking;
    QString Reported;
    const auto Tick = [&] {
        if (Walking == Reported || (SinceProgress.isValid() && SinceProgress.elapsed() < 100))
            return;
        Reported = Walking;
        SinceProgress.start();
        QMetaObject::invokeMethod(
            this,
            [this, W, Folder = Reported] {
                if (W == Current) emit Progress(Folder);
            },
            Qt::QueuedConnection);
    };

    QString Hit;
    for (const QString& Candidate : Candidates) {
        if (Executable.isEmpty() || W->Cancelled) break;
        const QFileInfo Info(Candidate);
        const QString Canonical = Info.canonicalFilePath();
        if (Canonical.isEmpty() || !Info.isDir()) continue;
        const auto Covers = [&](const QString& Folder) { return IsBelow(Canonical, Folder); };
        if (std::any_of(Walked.begin(), Walked.end(), Covers) &&
            std::none_of(Pruned.begin(), Pruned.end(), Covers))
            continue;

        Walking = QDir::cleanPath(Candidate);
        Tick();
        const QString Folder = WalkTree(Canonical, Executable, Skip, W->Cancelled, Tick);
        if (!Folder.isEmpty()) {
            // Report it under the name the caller gave, not the resolved one.
            Hit = Folder == Canonical ? Walking
                                      : Joined(Walking, Folder.mid(Canonical == QLatin1String("/")
                                                                       ? 1
                                                                       : Canonical.size() + 1));
            break;
        }
        if (W->Cancelled) break;
        Walked << Canonical;
        Skip.insert(Canonical);
    }
    QMetaObject::invokeMethod(
        this, [this, W, Hit] { WalkEnded(W, Hit); }, Qt::QueuedConnection);
}

void TGameFolderSearch::WalkEnded(TWalk* W, const QString& Folder) {
    // The thread posted this as its last act, so the join is immediate.
    W->Thread.join();
    const bool Reporting = W == Current;
    std::erase_if(Walks, [W](const auto& Item) { return Item.get() == W; });
    if (!Reporting) return;
    Current = nullptr;
    if (!Folder.isEmpty()) emit Found(QDir::toNativeSeparators(Folder));
    emit Finished(!Folder.isEmpty(), false);
}
