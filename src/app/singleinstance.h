#pragma once

// One running copy of the program per user. The running copy listens on a local socket of the
// user's own; a later start hands its file (or none) over to it and ends, so that one file is
// not open in two copies whose saves overwrite each other's work.

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

namespace orm {

// The socket of this user's running copy: in $XDG_RUNTIME_DIR, the user's private folder,
// when there is one; otherwise in the temporary folder, named with the user's id.
std::string InstanceSocketPath();

class SingleInstance {
public:
    explicit SingleInstance(std::string socketPath);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // First thing at start-up, before the application object: hands path (absolute; empty for
    // none) to the user's running copy. True when that copy has taken it and this start is
    // done. Otherwise this start becomes the running copy; a start that comes meanwhile waits
    // until Listen.
    bool HandOver(const std::string& path);
    // Listens for later starts and gives each start's file (empty for none) to open, from the
    // event loop, after the start has been answered. False when the socket cannot be made: the
    // program then runs alone, as it would without this.
    bool Listen(std::function<void(const std::string&)> open);

private:
    void releaseLock();

    std::string m_path;
    int m_lock = -1;
    bool m_stale = false;  // a socket is there that nobody listens on: a copy that died
    QPointer<QObject> m_server;  // the listening socket, a child of the application
};

}  // namespace orm
