#include "app/RunningInstance.h"

#include "util/SingleInstanceLock.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

RunningInstance::RunningInstance(const QString& name, QWidget* window)
    : m_server(new QLocalServer(this)), m_window(window)
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Only the holder of the lock gets here, so a socket file left by a
    // crashed instance can go.
    QLocalServer::removeServer(SocketPath(name));
    m_server->listen(SocketPath(name));
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* caller = m_server->nextPendingConnection())
            caller->deleteLater();
        Raise();
    });
}

RunningInstance::~RunningInstance() = default;

QString RunningInstance::SocketPath(const QString& name)
{
    const QFileInfo lock(SingleInstanceLock::LockPath(name));
    return lock.dir().filePath(name + QStringLiteral(".socket"));
}

bool RunningInstance::CallToFront(const QString& name, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(SocketPath(name));
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.disconnectFromServer();
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
