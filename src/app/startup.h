#pragma once

// Start-up steps that come before the main window.

#include <string>

class QApplication;

namespace orm {

struct AppContext;

// The running program's own path (the settings file sits beside it).
std::string ExecutablePath();
// Reads the settings into the context (settings record and shared font); the two projects are
// new projects already.
void LoadStartupSettings(AppContext& context, const std::string& executablePath);
// Qt's own Russian translations, so that standard dialogs and buttons speak Russian too.
void InstallTranslations(QApplication& app);

}  // namespace orm
