#pragma once

// Start-up steps that come before the main window.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

class QApplication;

namespace orm {

struct AppContext;

// The running program's own path (the settings file sits beside it).
std::string ExecutablePath();
// Reads the settings into the context (settings record and shared font) and the program's
// remembered state; the two projects are new projects already.
void LoadStartupSettings(AppContext& context, const std::string& executablePath);
// What the command line "ormelit [FILE]" asks for.
struct CommandLine {
    // Print Output (standard output) and Error (standard error), then exit with ExitCode.
    bool Exit = false;
    int ExitCode = 0;
    QString Output;
    QString Error;
    // The project to open at start-up, absolute; empty for none.
    QString ProjectFile;
};
// Parses the arguments (the program's name first). --help and --version answer and exit with
// 0; a second file or an unknown option explains itself and exits with 2. Qt's own options
// (-platform, -style, ...) are let through for the application object, which takes them.
CommandLine ParseCommandLine(const QStringList& arguments);

// Made before the application object and restored right after it: Qt takes its system locale
// (the numbers, dates and sizes of file dialogs) as Russian whatever the system's, while the C
// library, the environment and every program started later keep the user's own.
class RussianSystemLocale {
public:
    RussianSystemLocale();
    ~RussianSystemLocale();
    RussianSystemLocale(const RussianSystemLocale&) = delete;
    RussianSystemLocale& operator=(const RussianSystemLocale&) = delete;
    void Restore();

private:
    static constexpr const char* kVariables[] = {"LC_ALL",         "LANG",         "LC_NUMERIC",
                                                 "LC_TIME",        "LC_MONETARY",
                                                 "LC_MEASUREMENT", "LC_MESSAGES"};
    std::string m_cLocale;
    std::vector<std::optional<QByteArray>> m_saved;
    bool m_restored = false;
};

// Qt's own Russian translations, so that standard dialogs and buttons speak Russian too.
void InstallTranslations(QApplication& app);

}  // namespace orm
