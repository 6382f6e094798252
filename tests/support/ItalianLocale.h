#pragma once

#include <QCoreApplication>
#include <QLocale>

// The locale the program sets at start-up whatever LANG says; a test that includes this starts in it.
inline void UseItalianLocale() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }
Q_COREAPP_STARTUP_FUNCTION(UseItalianLocale)
