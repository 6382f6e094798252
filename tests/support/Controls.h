#pragma once

#include <QObject>
#include <QtGlobal>

// A control of a window by its name; a missing one ends the test run, since
// every later step would only fail for the same reason.
template <typename T>
T* Child(const QObject* parent, const char* name)
{
    T* child = parent->findChild<T*>(QString::fromUtf8(name));
    if (!child)
        qFatal("no control %s", name);
    return child;
}
