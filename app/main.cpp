#include "app/Unitmain.h"
#include "forms/MessageBoxes.h"
#include "util/Application.h"
#include "util/CommandLine.h"
#include "util/Exception.h"
#include "util/SingleInstanceLock.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

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
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(ApplicationTitle);
    QTranslator translator;
    LoadItalianTranslation(app, translator);

    try {
        const SingleInstanceLock instance(ApplicationTitle);
        if (!instance.Acquired()) {
            MessageBoxes::Show(nullptr, QStringLiteral("L'applicazione è già in esecuzione!"), QMessageBox::Warning);
            return 0;
        }
        const StartupEnvironment environment = StartupEnvironment::FromApplication();
        TFormMain form(environment);
        if (form.TerminateRequested())
            return 0;
        if (FindCmdLineSwitch(environment.arguments, QStringLiteral("MINIMIZE")))
            form.showMinimized();
        else
            form.show();
        QApplication::exec();
    } catch (const std::exception& e) {
        const auto* known = dynamic_cast<const Exception*>(&e);
        MessageBoxes::Show(nullptr, known ? known->Message() : QString::fromLocal8Bit(e.what()),
                           QMessageBox::Critical);
    }
    return 0;
}
