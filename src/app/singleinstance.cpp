#include "app/singleinstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace orm {

namespace {

// A start sends the request line, its file's path and a NUL (a path holds any byte but that);
// the running copy answers as soon as it has the whole request, before it opens anything.
constexpr char kRequest[] = "ormelit open\n";
constexpr char kReply[] = "ok\n";
constexpr qsizetype kMaxRequest = 1 << 16;
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

// Serves one start: reads its request, answers, then has its file opened.
void serve(QLocalSocket* socket, QObject* context,
           const std::function<void(const std::string&)>& open)
{
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!sameUser(static_cast<int>(socket->socketDescriptor()))) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    // A start that never finishes its request is let go.
    QTimer::singleShot(kWaitMs, socket, [socket] { socket->abort(); });
    auto request = std::make_shared<QByteArray>();
    auto read = [socket, context, open, request] {
        QByteArray& buffer = *request;
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf('\0');
        if (end < 0 && buffer.size() <= kMaxRequest)
            return;
        const qsizetype head = sizeof kRequest - 1;
        if (end < head || !buffer.startsWith(kRequest)) {
            socket->abort();
            return;
        }
        const std::string path(buffer.constData() + head, static_cast<std::size_t>(end - head));
        buffer.clear();
        socket->write(kReply, sizeof kReply - 1);
        socket->flush();
        socket->disconnectFromServer();
        // From the event loop, so that the start is answered before any question is asked.
        QTimer::singleShot(0, context, [open, path] { open(path); });
    };
    QObject::connect(socket, &QLocalSocket::readyRead, socket, read);
    if (socket->bytesAvailable() > 0)
        read();
}

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
    const QString name = QFile::decodeName(m_path.c_str());
    if (m_stale)
        QLocalServer::removeServer(name);
    // A child of the application, so that it goes before the event loop it works in.
    auto* server = new QLocalServer(QCoreApplication::instance());
    server->setSocketOptions(QLocalServer::UserAccessOption);
    const bool listening = server->listen(name);
    releaseLock();
    if (!listening) {
        delete server;
        return false;
    }
    m_server = server;
    QObject::connect(server, &QLocalServer::newConnection, server, [server, open] {
        while (QLocalSocket* socket = server->nextPendingConnection())
            serve(socket, server, open);
    });
    return true;
}

}  // namespace orm
