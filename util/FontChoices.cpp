#include "util/FontChoices.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

// Face names that settings written on other systems commonly carry and for which
// free metric-compatible families exist; the list gives them their usual spelling.
const QStringList WellKnownFaces = {
    QStringLiteral("Arial"),   QStringLiteral("Arial Narrow"), QStringLiteral("Calibri"),
    QStringLiteral("Cambria"), QStringLiteral("Courier"),      QStringLiteral("Courier New"),
    QStringLiteral("Georgia"), QStringLiteral("Helvetica"),    QStringLiteral("Times"),
    QStringLiteral("Times New Roman"),
};

bool ListedIgnoringCase(const QStringList& names, const QString& name)
{
    return names.contains(name, Qt::CaseInsensitive);
}

// Qt lists a family installed by several foundries once for each, as
// "C059 [urw]" and "C059 [UKWN]"; the rider chooses the family.
QString WithoutFoundry(const QString& family)
{
    static const QRegularExpression foundry(QStringLiteral(R"(\s*\[[^\]]*\]$)"));
    return QString(family).remove(foundry);
}

QString DrawnWith(const QString& name)
{
    return QFontInfo(QFont(name)).family();
}

}

namespace FontChoices {

QStringList Build(const QStringList& installed, const QString& stored, const Resolver& resolve)
{
    QStringList families;
    for (const QString& family : installed)
        if (const QString name = WithoutFoundry(family); !name.isEmpty() && !families.contains(name))
            families.append(name);
    QStringList names = families;
    const auto addAlias = [&](const QString& name) {
        if (name.isEmpty() || name.compare(u"Default", Qt::CaseInsensitive) == 0 || ListedIgnoringCase(names, name))
            return;
        if (families.contains(WithoutFoundry(resolve(name))))
            names.append(name);
    };
    for (const QString& face : WellKnownFaces)
        addAlias(face);
    addAlias(WithoutFoundry(stored));
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    names.prepend(QStringLiteral("Default"));
    return names;
}

int IndexOf(const QStringList& choices, const QString& name)
{
    if (const qsizetype exact = choices.lastIndexOf(name); exact >= 0)
        return int(exact);
    // Compared exactly, as a name in another case is not the family's.
    return std::max(0, int(choices.lastIndexOf(WithoutFoundry(name))));
}

QStringList ForSystem(const QString& stored)
{
    // What the system draws an unknown name and the generic families with: a
    // name that lands on one of these has no font of its own here.
    const QStringList fallbacks = {
        DrawnWith(QStringLiteral("Kilovento no such font")), DrawnWith(QStringLiteral("sans-serif")),
        DrawnWith(QStringLiteral("serif")), DrawnWith(QStringLiteral("monospace")),
    };
    const Resolver resolve = [&fallbacks](const QString& name) {
        const QString family = DrawnWith(name);
        return fallbacks.contains(family) ? QString() : family;
    };
    return Build(QFontDatabase::families(), stored, resolve);
}

}
