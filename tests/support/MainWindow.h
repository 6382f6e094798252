#pragma once

#include "app/StartupEnvironment.h"

#include <QDate>
#include <QStringList>

#include <memory>

class QWidget;
class TFormMain;
class TZTConnection;

// The main window as the tests open it: the executable "kilovento" in
// `folder`, so its settings and database are the folder's kilovento.ini and
// kilovento.mdb, and a clock that says Today.
namespace MainWindow {

inline const QDate Today(2005, 3, 15);

// `connection`, when given, is set to the connection the window's log is
// made with, for a test that works on it behind the window's back.
StartupEnvironment Environment(const QString& folder, const QStringList& arguments = {},
                               TZTConnection** connection = nullptr);
std::unique_ptr<TFormMain> Open(const QString& folder, const QStringList& arguments = {},
                                TZTConnection** connection = nullptr);

// The text of the status bar's text panel.
QString StatusText(const QWidget* form);

}
