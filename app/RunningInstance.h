#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QWidget;

// The running instance listens on a local socket beside its single-instance
// lock; a second start calls on it, and it brings its window to the front.
class RunningInstance : public QObject
{
public:
    // Listens for the instance holding the lock `name`; `window` is raised on each call.
    RunningInstance(const QString& name, QWidget* window);
    ~RunningInstance() override;

    // From a second start: asks the running instance to come to the front.
    // False when none answers (it may be starting, or may have crashed).
    static bool CallToFront(const QString& name, int timeoutMs = 2000);

    static QString SocketPath(const QString& name);

private:
    void Raise();

    QLocalServer* m_server;
    QWidget* m_window;
};
