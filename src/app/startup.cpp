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

namespace {

// Qt's Russian translation names the arrow keys and Space ("Вверх", "Пробел") but not Enter,
// so menus read "Return" beside "Shift+Вверх"; the Russian name of that key fills the gap. The
// other keys keep the names on their key caps (Ins, Del, Esc), as Russian menus show them.
class KeyNames : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override
    {
        (void)disambiguation;
        (void)n;
        if (qstrcmp(context, "QShortcut") == 0 &&
            (qstrcmp(sourceText, "Return") == 0 || qstrcmp(sourceText, "Enter") == 0))
            return QStringLiteral("Ввод");
        return QString();
    }
};

}  // namespace

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
    QApplication::installTranslator(new KeyNames(&app));
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

}  // namespace orm
