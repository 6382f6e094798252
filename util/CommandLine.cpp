#include "util/CommandLine.h"

#include <algorithm>

#include <array>

namespace {

const std::array<QStringView, 6> Switches = {u"NOSPLASH", u"MINIMIZE", u"DEBUG",
                                             u"NOSOUND", u"IMPORTENABLED", u"NOPROMPTONCLOSE"};

bool IsSwitch(const QString& argument, QStringView name)
{
    return argument.size() == name.size() + 1 && (argument.front() == u'-' || argument.front() == u'/')
        && QStringView(argument).mid(1).compare(name, Qt::CaseInsensitive) == 0;
}

}

bool FindCmdLineSwitch(const QStringList& arguments, const QString& name)
{
    return std::any_of(arguments.cbegin(), arguments.cend(),
                       [&](const QString& argument) { return IsSwitch(argument, name); });
}

bool IsCmdLineSwitch(const QString& argument)
{
    return std::any_of(Switches.cbegin(), Switches.cend(),
                       [&](QStringView name) { return IsSwitch(argument, name); });
}

QStringList CmdLineFiles(const QStringList& arguments, const QDir& base)
{
    QStringList files;
    for (const QString& argument : arguments)
        if (!argument.isEmpty() && !IsCmdLineSwitch(argument))
            files.append(QDir::cleanPath(base.absoluteFilePath(argument)));
    return files;
}
