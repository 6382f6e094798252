#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// 8-bit Windows text (code page 1252): the older ride log's files, and
// settings files saved by older editors. Qt's own converters cover Latin-1
// only, which gets the euro sign and the typographic quotes of 0x80..0x9F wrong.
QString DecodeWindows1252(QByteArrayView bytes);
// What the code page lacks becomes '?', one for each character, as the ANSI routines write it.
QByteArray EncodeWindows1252(QStringView text);
