#pragma once

#include "util/FileDescriptor.h"

#include <QObject>
#include <QString>

class QSocketNotifier;
class QWidget;

// The running instance listens on a local socket beside its single-instance
// lock; a second start calls on it, and it brings its window to the front.
// A call carries nothing: connecting is the whole message.
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
    void AnswerCalls();
    void Raise();

    QString m_path;
    FileDescriptor m_socket;
    QSocketNotifier* m_calls = nullptr;
    QWidget* m_window;
};
