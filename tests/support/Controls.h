#pragma once

#include <QAction>
#include <QKeySequence>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
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

// Whether no two of `texts` underline one letter.
inline bool Distinct(const QStringList& texts)
{
    QList<QKeySequence> letters;
    for (const QString& text : texts)
        letters.append(QKeySequence::mnemonic(text));
    letters.removeAll(QKeySequence());
    return QSet<QKeySequence>(letters.cbegin(), letters.cend()).size() == letters.size();
}
