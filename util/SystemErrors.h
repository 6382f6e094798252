#pragma once

#include <QString>

// The rider's words for a system error number the rider can act on ("disco
// pieno", "permesso negato"), or an empty text for any other, whose technical
// text then speaks alone.
QString SystemErrorWords(int error);
