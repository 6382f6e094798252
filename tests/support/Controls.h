#pragma once

#include <QAction>
#include <QObject>
#include <QString>
#include <QtGlobal>

// A control of a window by its name; a missing one ends the test run, since
// every later step would only fail for the same reason.
template <typename T>
T* Child(const QObject* parent, const QString& name)
{
    T* child = parent->findChild<T*>(name);
    if (!child)
        qFatal("no control %s", qPrintable(name));
    return child;
}

template <typename T>
T* Child(const QObject* parent, const char* name)
{
    return Child<T>(parent, QString::fromUtf8(name));
}

// Gives a window's command as its menu item or shortcut does.
inline void Run(const QObject* window, const char* command) { Child<QAction>(window, command)->trigger(); }
