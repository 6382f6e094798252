#pragma once

#include <QDir>
#include <QStringList>

// True when one of `arguments` (the program name excluded) is "-" or "/"
// followed by exactly `name`, compared without regard to case.
bool FindCmdLineSwitch(const QStringList& arguments, const QString& name);

// True when `argument` is one of the program's six switches. A path such as
// "/home/x.fit" starts with a switch prefix too: the name decides.
bool IsCmdLineSwitch(const QString& argument);

// The parameters that are not switches, as files to import, made absolute
// against `base` (the starting process's working folder), in their order.
QStringList CmdLineFiles(const QStringList& arguments, const QDir& base = QDir::current());
