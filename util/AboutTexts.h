#pragma once

#include <QString>
#include <QUrl>

// What the about box shows and opens.
namespace AboutTexts {

// "Versione 1.1.0 (Build 0)" for version 1.1.0.0.
QString VersionLine(quint16 major, quint16 minor, quint16 release, quint16 build);
// The maker's web site, from the string table.
QUrl WebTarget();
// "mailto:" and the maker's address from the string table, without any further parameter.
QUrl MailTarget();

}
