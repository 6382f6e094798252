#pragma once

#include <QCoreApplication>
#include <QLocale>

// The locale the program sets at start-up, whatever LANG says. A test that
// includes this header starts in it; one that tries another calls this to go back.
inline void UseItalianLocale()
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
}

Q_COREAPP_STARTUP_FUNCTION(UseItalianLocale)
