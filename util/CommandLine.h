#pragma once

#include <QStringList>

// True when one of `arguments` (the program name excluded) is "-" or "/"
// followed by exactly `name`, compared without regard to case.
bool FindCmdLineSwitch(const QStringList& arguments, const QString& name);
