#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The print fonts the options dialog offers, and how a stored name is found among them.
namespace FontChoices {

// The installed family the system draws `name` with, or an empty text when it
// would only fall back to a generic default.
using Resolver = std::function<QString(const QString& name)>;

// "Default", then the installed families, the well-known face names the system
// maps onto one of them (Arial onto Liberation Sans, say) and `stored` when it
// is mapped too, all sorted without regard to case. Families come without the
// foundry Qt adds to a family that several foundries install ("C059 [urw]");
// an alias that differs from a listed name only in letter case is left out.
QStringList Build(const QStringList& installed, const QString& stored, const Resolver& resolve);

// The index of the last entry equal to `name`, or to it without a foundry
// suffix, so a name saved with its foundry selects its family; 0 when there is
// none. Letter case counts: "arial" is not Arial.
int IndexOf(const QStringList& choices, const QString& name);

// Build() on this system's font database. Needs a QGuiApplication.
QStringList ForSystem(const QString& stored);

}
