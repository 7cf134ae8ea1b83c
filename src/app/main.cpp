// Start-up, in order: the command line; the hand-over to a running copy; the metamodel; the
// shared font and the settings; the main and samples projects; then the application and the
// main window, which listens for later starts, and the project named on the command line.

#include <QApplication>
#include <QFile>
#include <cstdio>

#include "app/mainwindow.h"
#include "app/singleinstance.h"
#include "app/startup.h"
#include "core/model/metamodel.h"
#include "gui/help/contexthelp.h"
#include "gui/help/hotkeys.h"
#include "gui/kit/appcontext.h"
#include "gui/kit/uikit.h"

int main(int argc, char** argv)
{
    // Before the application object, so that --help and --version work without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    const orm::CommandLine commandLine = orm::ParseCommandLine(arguments);
    if (commandLine.Exit) {
        std::fputs(commandLine.Output.toLocal8Bit().constData(), stdout);
        std::fputs(commandLine.Error.toLocal8Bit().constData(), stderr);
        return commandLine.ExitCode;
    }
    // One copy per user: while the program runs, a start hands its file over and ends. A start
    // without a file brings the running copy to the front too, rather than a second copy
    // where File → Open could take up the same project again.
    orm::SingleInstance instance(orm::InstanceSocketPath());
    if (instance.HandOver(QFile::encodeName(commandLine.ProjectFile).toStdString()))
        return 0;

    orm::Metamodel();
    auto context = std::make_unique<orm::AppContext>();
    orm::LoadStartupSettings(*context, orm::ExecutablePath());

    orm::RussianSystemLocale russian;
    QApplication app(argc, argv);
    russian.Restore();
    QApplication::setApplicationName(QStringLiteral("ormelit"));
    QApplication::setOrganizationName(QStringLiteral("Ormelit"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.ormelit.Ormelit"));
    orm::InitResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/ormelit.svg")));
    orm::InstallTranslations(app);
    // The application-wide shortcut table sees keys before the windows do; F1 opens help.
    orm::TKXHotKey hotKeys;
    orm::InitContextHelp(hotKeys, context->Settings.SettingsFileName, context->ExecutablePath);

    orm::MainWindow window(*context);
    instance.Listen([&window](const std::string& path) { window.OpenHandedFile(path); });
    window.showMaximized();
    if (!commandLine.ProjectFile.isEmpty())
        window.OpenAtStart(commandLine.ProjectFile);
    return app.exec();
}
