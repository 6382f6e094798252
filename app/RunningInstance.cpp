#include "app/RunningInstance.h"

#include "util/SingleInstanceLock.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QWidget>

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
RunningInstance::RunningInstance(const QString& name, QWidget* window)
    : m_path(SocketPath(name)), m_window(window)
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
    // The notifier goes before the socket it watches.
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
    bool called = false;
    while (true) {
        const FileDescriptor caller(::accept4(m_socket.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!caller.valid())
            break;
        called = true;
    }
    if (called)
        Raise();
}

bool RunningInstance::CallToFront(const QString& name, int timeoutMs)
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
    return ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) == 0;
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
