#include "app/singleinstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace orm {

namespace {

// A start sends the request line, its file's path and a NUL (a path holds any byte but that);
// the running copy answers as soon as it has the whole request, before it opens anything.
constexpr char kRequest[] = "ormelit open\n";
constexpr char kReply[] = "ok\n";
constexpr std::size_t kMaxRequest = 1 << 16;
// How long a start waits for another start to get its socket up, and for an answer. A copy that
// has not answered by then is hung, and this start runs on its own.
constexpr int kWaitMs = 10000;

constexpr std::size_t kMaxSocketPath = sizeof(sockaddr_un::sun_path) - 1;

bool privateFolder(const char* folder)
{
    struct stat st{};
    return folder && folder[0] == '/' && ::stat(folder, &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid();
}

// The socket's other end runs as this user: a socket of that name made by someone else gets
// no file names from us, and gives us none to open.
bool sameUser(int fd)
{
    struct ucred cred{};
    socklen_t size = sizeof cred;
    return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) == 0 &&
           cred.uid == ::geteuid();
}

// An exclusive lock on a file of this user's, or -1 when there is none to be had in time.
int lockFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return -1;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() > deadline) {
            ::close(fd);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return fd;
}

bool sendAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool receiveReply(int fd)
{
    std::string reply;
    char buffer[16];
    while (reply.size() < sizeof kReply - 1) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    return reply == kReply;
}

// One start being served: its request is read as it comes, answered, and then its file is
// opened. Plain sockets on the event loop keep a network library out of every start-up.
class Start : public QObject {
public:
    Start(int fd, QObject* server, std::function<void(const std::string&)> open)
        : QObject(server), m_fd(fd), m_notifier(fd, QSocketNotifier::Read, this),
          m_open(std::move(open))
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { read(); });
        // A start that never finishes its request is let go.
        QTimer::singleShot(kWaitMs, this, [this] { finish(); });
    }
    ~Start() override { ::close(m_fd); }

private:
    void read()
    {
        char buffer[4096];
        while (true) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            if (n <= 0)
                return finish();  // gone, or failed, before its request was whole
            m_request.append(buffer, static_cast<std::size_t>(n));
            if (m_request.find('\0') != std::string::npos || m_request.size() > kMaxRequest)
                break;
        }
        const std::size_t end = m_request.find('\0');
        if (end == std::string::npos && m_request.size() <= kMaxRequest)
            return;
        const std::size_t head = sizeof kRequest - 1;
        if (end == std::string::npos || end < head || m_request.compare(0, head, kRequest) != 0)
            return finish();
        const std::string path = m_request.substr(head, end - head);
        sendAll(m_fd, kReply);
        // From the event loop, so that the start is answered before any question is asked.
        QTimer::singleShot(0, parent(), [open = m_open, path] { open(path); });
        finish();
    }
    void finish()
    {
        m_notifier.setEnabled(false);
        deleteLater();
    }

    int m_fd;
    QSocketNotifier m_notifier;
    std::function<void(const std::string&)> m_open;
    std::string m_request;
};

// The listening socket: each start that connects is served when it is this user's.
class Server : public QObject {
public:
    Server(int fd, std::string path, std::function<void(const std::string&)> open)
        : QObject(QCoreApplication::instance()), m_fd(fd), m_path(std::move(path)),
          m_notifier(fd, QSocketNotifier::Read, this), m_open(std::move(open))
    {
        struct stat st{};
        if (::stat(m_path.c_str(), &st) == 0)
            m_inode = st.st_ino;
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { accept(); });
    }
    ~Server() override
    {
        ::close(m_fd);
        // The socket goes with the copy that made it, not one that a later copy made since.
        struct stat st{};
        if (::lstat(m_path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_ino == m_inode)
            ::unlink(m_path.c_str());
    }

private:
    void accept()
    {
        while (true) {
            const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                return;  // none waiting (EAGAIN), or out of descriptors for now
            }
            if (sameUser(fd))
                new Start(fd, this, m_open);
            else
                ::close(fd);
        }
    }

    int m_fd;
    std::string m_path;
    ino_t m_inode = 0;
    QSocketNotifier m_notifier;
    std::function<void(const std::string&)> m_open;
};

}  // namespace

std::string InstanceSocketPath()
{
    const std::string name = "/ormelit-" + std::to_string(::geteuid()) + ".socket";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (privateFolder(runtime) && std::strlen(runtime) + name.size() <= kMaxSocketPath)
        return runtime + name;
    const char* temp = std::getenv("TMPDIR");
    if (temp && temp[0] == '/' && std::strlen(temp) + name.size() <= kMaxSocketPath)
        return temp + name;
    return "/tmp" + name;
}

SingleInstance::SingleInstance(std::string socketPath) : m_path(std::move(socketPath)) {}

SingleInstance::~SingleInstance()
{
    delete m_server;  // closing it removes the socket
    releaseLock();
}

void SingleInstance::releaseLock()
{
    if (m_lock >= 0)
        ::close(m_lock);
    m_lock = -1;
}

bool SingleInstance::HandOver(const std::string& path)
{
    // Between a start finding no running copy and its socket listening, a second start waits
    // here instead of becoming a second running copy.
    m_lock = lockFile(m_path + ".lock");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_path.size() > kMaxSocketPath)
        return false;
    std::memcpy(address.sun_path, m_path.data(), m_path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    timeval timeout{kWaitMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // A socket that nobody listens on was left by a copy that died.
        m_stale = errno == ECONNREFUSED;
        ::close(fd);
        return false;
    }
    std::string request = kRequest + path;
    request += '\0';
    const bool taken = sameUser(fd) && sendAll(fd, request) && receiveReply(fd);
    ::close(fd);
    if (taken)
        releaseLock();
    return taken;
}

bool SingleInstance::Listen(std::function<void(const std::string&)> open)
{
    // A socket that nobody listens on, left by a copy that died, makes way.
    struct stat st{};
    if (m_stale && ::lstat(m_path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) &&
        st.st_uid == ::geteuid())
        ::unlink(m_path.c_str());
    const int fd = m_path.size() <= kMaxSocketPath
                       ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)
                       : -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, m_path.data(), std::min(m_path.size(), kMaxSocketPath));
    // Only this user may connect; every start is checked again by its credentials.
    const bool listening =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::chmod(m_path.c_str(), 0600) == 0 && ::listen(fd, SOMAXCONN) == 0;
    releaseLock();
    if (!listening) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_server = new Server(fd, m_path, std::move(open));
    return true;
}

}  // namespace orm
