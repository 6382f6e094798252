#pragma once

#include "app/StartupEnvironment.h"

#include <QDate>
#include <QStringList>

#include <memory>

class TFormMain;

// The main window as the tests open it: the executable "kilovento" in
// `folder`, so its settings and database are the folder's kilovento.ini and
// kilovento.mdb, and a clock that says Today.
namespace MainWindow {

inline const QDate Today(2005, 3, 15);

StartupEnvironment Environment(const QString& folder, const QStringList& arguments = {});
std::unique_ptr<TFormMain> Open(const QString& folder, const QStringList& arguments = {});

}
