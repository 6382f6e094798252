#include "util/SystemErrors.h"

#include <cerrno>

QString SystemErrorWords(int error)
{
    switch (error) {
    case ENOSPC:
        return QStringLiteral("disco pieno");
    case EDQUOT:
        return QStringLiteral("spazio su disco concesso all'utente esaurito");
    case EACCES:
    case EPERM:
        return QStringLiteral("permesso negato");
    case EROFS:
        return QStringLiteral("disco di sola lettura");
    case EIO:
        return QStringLiteral("errore di lettura o scrittura del disco");
    case EISDIR:
        return QStringLiteral("è una cartella");
    case ENXIO:
        return QStringLiteral("non è un file");
    default:
        return {};
    }
}
