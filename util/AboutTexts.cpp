#include "util/AboutTexts.h"

#include "util/StringTable.h"

namespace AboutTexts {

QString VersionLine(quint16 major, quint16 minor, quint16 release, quint16 build)
{
    return QStringLiteral("Versione %1.%2.%3 (Build %4)").arg(major).arg(minor).arg(release).arg(build);
}

QUrl WebTarget()
{
    return QUrl(StringTable::LoadStr(StringTable::WebAddress));
}

QUrl MailTarget()
{
    // The address goes in as the path, so nothing in it can turn into a query.
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(StringTable::LoadStr(StringTable::EMail));
    return url;
}

}
