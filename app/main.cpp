#include "Version.h"
#include "app/RunningInstance.h"
#include "app/StartupEnvironment.h"
#include "app/Unitmain.h"
#include "forms/MessageBoxes.h"
#include "forms/Pictures.h"
#include "forms/StartupSplash.h"
#include "util/Application.h"
#include "util/CommandLine.h"
#include "util/Exception.h"
#include "util/SingleInstanceLock.h"

#include <QApplication>
#include <QImageReader>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <fontconfig/fontconfig.h>

#include <thread>

namespace {

// Standard buttons and dialogs read "Sì", "No", "Annulla" whatever the system language.
void LoadItalianTranslation(QApplication& app, QTranslator& translator)
{
    const QString name = QStringLiteral("qtbase_it");
    if (translator.load(name, QCoreApplication::applicationDirPath())
        || translator.load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&translator);
}

}

int main(int argc, char* argv[])
{
    // Reading the system's font configuration is the longest single step of
    // start-up and needs nothing of Qt: it runs beside the connection to the
    // display, and is done before the first window measures any text.
    std::thread fontConfiguration([] { FcInit(); });
    QApplication app(argc, argv);
    // Qt's own widgets read their images (the extension arrows of the menu
    // and tool bars, the group box frame) through the image reader, which
    // first loads every image-format plugin: loaded here on a second core
    // while the window is built, ahead of the first of them.
    std::jthread imageFormats([] { QImageReader::supportedImageFormats(); });
    // Month and weekday names, the decimal comma and the date pickers match
    // the Italian captions whatever language the system is set to.
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    QCoreApplication::setApplicationName(ApplicationTitle);
    QApplication::setWindowIcon(ProgramIcon());
    QTranslator translator;
    LoadItalianTranslation(app, translator);

    fontConfiguration.join();

    try {
        const SingleInstanceLock instance(ApplicationTitle);
        const StartupEnvironment environment = StartupEnvironment::FromApplication();
        // Lets the desktop match the windows with the menu entry: the package's,
        // or the one `make run` writes, kilovento.desktop.
        QGuiApplication::setDesktopFileName(environment.data.Installed() ? QStringLiteral(KILOVENTO_APP_ID)
                                                                         : QStringLiteral("kilovento"));
        // An installed program's first start makes the rider's data folder from its templates.
        if (instance.Acquired())
            environment.data.Prepare();
        // The runtime folder differs from session to session (su, ssh, none
        // set): the log itself is locked too, before anything opens it.
        const SingleInstanceLock log = SingleInstanceLock::BesideDatabase(environment.DatabasePath());
        // Absolute here: the running instance has a working folder of its own.
        const QStringList files = CmdLineFiles(environment.arguments);
        if (!instance.Acquired() || !log.Acquired()) {
            // Files ("Apri con") go to the running instance, which shows them.
            if (files.isEmpty() || !RunningInstance::CallToFront(ApplicationTitle, files)) {
                MessageBoxes::Show(nullptr, QStringLiteral("L'applicazione è già in esecuzione!"),
                                   QMessageBox::Warning);
                RunningInstance::CallToFront(ApplicationTitle);
            }
            return 0;
        }
        // Up before the main window is built, so it covers the time the database takes to open.
        StartupSplash splash(environment.arguments);
        TFormMain form(environment);
        if (form.TerminateRequested())
            return 0;
        const RunningInstance running(ApplicationTitle, &form,
                                      [&form](const QStringList& handed) { form.ImportGpsFiles(handed); });
        splash.Finish();
        if (FindCmdLineSwitch(environment.arguments, QStringLiteral("MINIMIZE")))
            form.showMinimized();
        else
            form.show();
        if (!files.isEmpty())
            form.ImportGpsFiles(files);
        QApplication::exec();
    } catch (const std::exception& e) {
        MessageBoxes::Show(nullptr, ReasonOf(e), QMessageBox::Critical);
    }
    return 0;
}
