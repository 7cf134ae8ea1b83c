#include "app/startup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <filesystem>

#include "gui/kit/appcontext.h"

namespace orm {

std::string ExecutablePath()
{
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("ormelit") : path.string();
}

void LoadStartupSettings(AppContext& context, const std::string& executablePath)
{
    context.ExecutablePath = executablePath;
    LoadSettings(context.Settings, context.SharedFont, executablePath);
}

void InstallTranslations(QApplication& app)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* name : {"qtbase_ru", "qt_ru"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(QLatin1String(name), folder))
            QApplication::installTranslator(translator);
        else
            delete translator;
    }
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

}  // namespace orm
