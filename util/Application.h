#pragma once

#include <QString>

// The application title: caption of every message box, first word of the
// main window's caption, and the name of the single-instance lock.
inline const QString ApplicationTitle = QStringLiteral("Kilovento");

// The status text of the main window whenever no long operation runs.
inline const QString ReadyStatusText = QStringLiteral("Pronto.");
