#include "app/startup.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <clocale>
#include <filesystem>

#include "gui/kit/appcontext.h"
#include "version.h"

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
    // Earlier versions kept recent projects and window sizes in the settings files: taken from
    // there once, the user's file first, where an installed program wrote them.
    LoadProgramState(context.State, LocateStateFile(),
                     {context.Settings.UserSettingsFileName, context.Settings.SettingsFileName});
}

namespace {

// The options QGuiApplication and its platform plugins take from the command line, with
// whether each has a value; the application object removes them from its arguments.
struct QtOption {
    const char* name;
    bool value;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true}, {"platformpluginpath", true}, {"platformtheme", true},
    {"plugin", true},   {"qwindowgeometry", true},    {"qwindowicon", true},
    {"qwindowtitle", true}, {"display", true},        {"geometry", true},
    {"style", true},    {"stylesheet", true},         {"session", true},
    {"reverse", false}, {"widgetcount", false},       {"nograb", false},
    {"dograb", false},  {"sync", false},
};

QString usageText()
{
    return QStringLiteral(
        "Использование: ormelit [ПАРАМЕТРЫ] [ФАЙЛ]\n"
        "Ормелит: модель компании из классификаторов и проекций, регламенты и органиграммы.\n"
        "\n"
        "  ФАЙЛ            файл проекта (.ovx, .rem), который открыть при запуске\n"
        "  -h, --help      показать эту справку и выйти\n"
        "  -v, --version   показать версию и выйти\n");
}

}  // namespace

CommandLine ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    // Qt's options are written with one dash ("-platform xcb"); so may ours be ("-help").
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(version);
    for (const QtOption& option : kQtOptions) {
        QCommandLineOption qt(QLatin1String(option.name));
        if (option.value)
            qt.setValueName(QStringLiteral("value"));
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qt);
    }
    parser.addPositionalArgument(QStringLiteral("file"), QString());

    CommandLine result;
    const auto fail = [&result](const QString& message) {
        result.Exit = true;
        result.ExitCode = 2;
        result.Error = QStringLiteral("ormelit: ") + message +
                       QStringLiteral("\nПодробнее: ormelit --help\n");
        return result;
    };
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            // Named as typed, dashes and all.
            QString typed = unknown.first();
            for (const QString& argument : arguments.mid(1)) {
                QString name = argument.section(QChar('='), 0, 0);
                while (name.startsWith(QChar('-')))
                    name.remove(0, 1);
                if (argument.startsWith(QChar('-')) && name == unknown.first()) {
                    typed = argument.section(QChar('='), 0, 0);
                    break;
                }
            }
            return fail(QStringLiteral("неизвестный параметр «%1».").arg(typed));
        }
        return fail(parser.errorText());
    }
    if (parser.isSet(help)) {
        result.Exit = true;
        result.Output = usageText();
        return result;
    }
    if (parser.isSet(version)) {
        result.Exit = true;
        result.Output = QStringLiteral("ormelit " ORMELIT_VERSION "\n");
        return result;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return fail(QStringLiteral("можно открыть только один файл проекта, а названо %1: %2.")
                        .arg(files.size())
                        .arg(files.join(QStringLiteral(", "))));
    if (files.size() == 1) {
        if (files.first().isEmpty())
            return fail(QStringLiteral("пустое имя файла проекта."));
        result.ProjectFile = QDir::cleanPath(QFileInfo(files.first()).absoluteFilePath());
    }
    return result;
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
        // The file dialog's type column; Qt's Russian translation has not caught up with the
        // class that names these.
        if (qstrcmp(context, "QAbstractFileIconProvider") == 0) {
            static const char* const names[][2] = {
                {"Folder", "Папка"}, {"File", "Файл"}, {"Drive", "Диск"},
                {"Shortcut", "Ярлык"}, {"Unknown", "Неизвестный"}};
            for (const auto& [english, russian] : names) {
                if (qstrcmp(sourceText, english) == 0)
                    return QString::fromUtf8(russian);
            }
        }
        return QString();
    }
};

}  // namespace

RussianSystemLocale::RussianSystemLocale()
{
    // The C library's locale as the user set it, kept for the program whatever happens below.
    const char* current = std::setlocale(LC_ALL, "");
    m_cLocale = current ? current : "C";
    for (const char* name : kVariables) {
        std::optional<QByteArray> value;
        if (qEnvironmentVariableIsSet(name))
            value = qgetenv(name);
        m_saved.push_back(std::move(value));
    }
    // LC_ALL would hide the Russian categories; its value stays the text's through LANG.
    if (qEnvironmentVariableIsSet("LC_ALL")) {
        qputenv("LANG", qgetenv("LC_ALL"));
        qunsetenv("LC_ALL");
    }
    for (const char* name : {"LC_NUMERIC", "LC_TIME", "LC_MONETARY", "LC_MEASUREMENT",
                             "LC_MESSAGES"})
        qputenv(name, "ru_RU.UTF-8");
}

void RussianSystemLocale::Restore()
{
    if (m_restored)
        return;
    m_restored = true;
    // Qt reads the system locale once: from now on it is Russian.
    (void)QLocale::system().name();
    std::setlocale(LC_ALL, m_cLocale.c_str());
    for (std::size_t i = 0; i < std::size(kVariables); ++i) {
        if (m_saved[i])
            qputenv(kVariables[i], *m_saved[i]);
        else
            qunsetenv(kVariables[i]);
    }
}

RussianSystemLocale::~RussianSystemLocale()
{
    Restore();
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
    QApplication::installTranslator(new KeyNames(&app));
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

}  // namespace orm
