#include "app/RunningInstance.h"

#include "util/SingleInstanceLock.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <cstring>
#include <optional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace {

// The socket address of `path`; none when the path is too long for one.
std::optional<sockaddr_un> Address(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (native.isEmpty() || native.size() >= qsizetype(sizeof(address.sun_path)))
        return std::nullopt;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    return address;
}

}

// Qt's local sockets would cost the start-up a network library and its own
// dependencies for what is a single connect; the socket API does it directly.
RunningInstance::RunningInstance(const QString& name, QWidget* window, FilesHandler files)
    : m_path(SocketPath(name)), m_window(window), m_files(std::move(files))
{
    const std::optional<sockaddr_un> address = Address(m_path);
    if (!address)
        return;
    FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.valid())
        return;
    // Only the holder of the lock gets here, so a socket file left by a
    // crashed instance can go.
    ::unlink(address->sun_path);
    // Only this user may call: the socket is made with no access for others.
    const mode_t previous = ::umask(0077);
    const bool bound = ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) == 0;
    ::umask(previous);
    if (!bound || ::listen(socket.get(), 4) != 0)
        return;
    m_socket = std::move(socket);
    m_calls = new QSocketNotifier(m_socket.get(), QSocketNotifier::Read, this);
    connect(m_calls, &QSocketNotifier::activated, this, &RunningInstance::AnswerCalls);
}

RunningInstance::~RunningInstance()
{
    // The notifiers go before the sockets they watch.
    m_open.clear();
    delete m_calls;
    if (m_socket.valid())
        QFile::remove(m_path);
}

QString RunningInstance::SocketPath(const QString& name)
{
    const QFileInfo lock(SingleInstanceLock::LockPath(name));
    return lock.dir().filePath(name + QStringLiteral(".socket"));
}

void RunningInstance::AnswerCalls()
{
    while (true) {
        FileDescriptor caller(::accept4(m_socket.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!caller.valid())
            break;
        const int fd = caller.get();
        Call& call = m_open[fd];
        call.socket = std::move(caller);
        // A caller writes its files and closes: read as they come, never waiting on one.
        call.notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(call.notifier.get(), &QSocketNotifier::activated, this, [this, fd] { ReadCall(fd); });
        ReadCall(fd);
    }
}

void RunningInstance::ReadCall(int caller)
{
    // More than any list of paths a command line can hold.
    constexpr qsizetype Limit = 16 * 1024 * 1024;
    const auto found = m_open.find(caller);
    if (found == m_open.end())
        return;
    Call& call = found->second;
    char buffer[8192];
    ssize_t got = 0;
    while ((got = ::read(caller, buffer, sizeof(buffer))) > 0 && call.received.size() <= Limit)
        call.received.append(buffer, got);
    if (got < 0 && (errno == EAGAIN || errno == EINTR) && call.received.size() <= Limit)
        return;
    const bool whole = got == 0 && call.received.size() <= Limit;
    QStringList files;
    if (whole)
        for (const QByteArray& path : call.received.split('\0'))
            if (!path.isEmpty())
                files.append(QString::fromUtf8(path));
    // Deleted once its signal has returned.
    call.notifier->setEnabled(false);
    call.notifier.release()->deleteLater();
    m_open.erase(found);
    Raise();
    if (!files.isEmpty() && m_files)
        m_files(files);
}

bool RunningInstance::CallToFront(const QString& name, const QStringList& files, int timeoutMs)
{
    const std::optional<sockaddr_un> address = Address(SocketPath(name));
    if (!address)
        return false;
    const FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.valid())
        return false;
    // A full backlog makes the call wait its turn, up to the time allowed.
    const timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0)
        return false;
    QByteArray message;
    for (const QString& file : files)
        message += file.toUtf8() + '\0';
    for (qsizetype sent = 0; sent < message.size();) {
        const ssize_t wrote = ::send(socket.get(), message.constData() + sent, size_t(message.size() - sent),
                                     MSG_NOSIGNAL);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        sent += wrote;
    }
    return true;
}

void RunningInstance::Raise()
{
    // A dialog the rider left open stays on top of the window it belongs to.
    QWidget* front = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : m_window;
    if (m_window->isMinimized())
        m_window->showNormal();
    front->raise();
    front->activateWindow();
}
