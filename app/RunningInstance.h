#pragma once

#include "util/FileDescriptor.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;
class QWidget;

// The running instance listens on a local socket beside its single-instance
// lock; a second start calls on it, and it brings its window to the front.
// A call carries the files the second start was given, absolute paths in
// UTF-8, each ended by a zero byte (no path holds one); a call without any only raises the window.
class RunningInstance : public QObject
{
public:
    using FilesHandler = std::function<void(const QStringList& files)>;

    // Listens for the instance holding the lock `name`; `window` is raised on
    // each call, and `files` called with the files of a call that has some.
    RunningInstance(const QString& name, QWidget* window, FilesHandler files = {});
    ~RunningInstance() override;

    // From a second start: asks the running instance to come to the front
    // and take `files`. False when none answers (it may be starting, or may
    // have crashed) or the files could not all be handed over.
    static bool CallToFront(const QString& name, const QStringList& files = {}, int timeoutMs = 2000);

    static QString SocketPath(const QString& name);

private:
    void AnswerCalls();
    void ReadCall(int caller);
    void Raise();

    QString m_path;
    FileDescriptor m_socket;
    QSocketNotifier* m_calls = nullptr;
    QWidget* m_window;
    FilesHandler m_files;
    // The calls being read, by their socket: what has come so far.
    struct Call
    {
        FileDescriptor socket;
        std::unique_ptr<QSocketNotifier> notifier;
        QByteArray received;
    };
    std::map<int, Call> m_open;
};
