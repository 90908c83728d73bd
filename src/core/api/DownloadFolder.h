#pragma once

#include <QString>

#include <memory>
#include <sys/types.h>

// The folder of one running copy's downloads under the temporary folder. Copies of the program
// for one user share that folder, and none may take a file another may still play: each holds a
// lock on its own folder (on the folder itself: no lock file that could go missing) for as long
// as it runs, and the system drops the lock when the process ends, however it ends.
class DownloadFolder
{
public:
    // Makes "<prefix><6 letters or digits>" in `parent`, open to its owner alone, and locks it.
    // Null with the system's reason on failure. Blocks on the file system.
    static std::unique_ptr<DownloadFolder> create(const QString &parent, const QString &prefix,
                                                  QString *reason);

    // Removes from `parent` the folders create() made with `prefix` that nobody holds locked: their
    // copy has ended. A folder that cannot be locked on its file system stays, as does a link;
    // inside, only this user's private files go, as removeOwnFile takes them. Blocks on the file
    // system.
    static void removeStale(const QString &parent, const QString &prefix);

    // Removes the folder and the files this user wrote there (in the process that made it).
    ~DownloadFolder();
    DownloadFolder(const DownloadFolder &) = delete;
    DownloadFolder &operator=(const DownloadFolder &) = delete;

    QString path() const { return m_path; }

private:
    DownloadFolder(QString path, int folder);

    QString m_path;
    int m_folder;  // open and locked while this object lives
    pid_t m_owner; // the process that made it
};
