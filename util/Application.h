#pragma once

#include <QString>

// The application title: caption of every message box, first word of the
// main window's caption, and the name of the single-instance lock.
inline const QString ApplicationTitle = QStringLiteral("Kilovento");
