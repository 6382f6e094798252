#pragma once

#include <QByteArrayView>
#include <QString>

// Text of the older ride log is 8-bit Windows text (code page 1252). Qt's own
// converters cover Latin-1 only, which gets the euro sign and the typographic
// quotes of 0x80..0x9F wrong.
QString DecodeWindows1252(QByteArrayView bytes);
