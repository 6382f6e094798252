#include "util/CommandLine.h"

bool FindCmdLineSwitch(const QStringList& arguments, const QString& name)
{
    for (const QString& argument : arguments) {
        if (argument.size() == name.size() + 1
            && (argument.front() == u'-' || argument.front() == u'/')
            && QStringView(argument).mid(1).compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
