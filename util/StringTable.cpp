#include "util/StringTable.h"

#include <QFile>
#include <QHash>

namespace {

QHash<int, QString> LoadTable()
{
    QHash<int, QString> table;
    QFile file(QStringLiteral(":/strings.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        return table;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString& line : lines) {
        const qsizetype tab = line.indexOf(u'\t');
        bool ok = false;
        const int id = line.left(tab).toInt(&ok);
        if (tab > 0 && ok)
            table.insert(id, line.mid(tab + 1));
    }
    return table;
}

}

namespace StringTable {

QString LoadStr(int id)
{
    static const QHash<int, QString> table = LoadTable();
    return table.value(id);
}

}
