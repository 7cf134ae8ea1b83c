#pragma once

// The objects that live from start-up to exit: the settings record, the shared font, the two
// projects and the selection-synchronisation guard. One instance for the program, made by the
// application at start-up and reached by every window through the main window's hub; tests
// make their own.

#include <string>

#include "core/model/project.h"
#include "core/settings/appsettings.h"

namespace orm {

class Prompts;

struct AppContext {
    AppSettings Settings;
    FontSpec SharedFont;
    TMainTreeList MainProject;
    TMainTreeList SamplesProject;
    // Set while a selection is being mirrored into other windows, so that the selections it
    // causes do not mirror back.
    bool SyncGuard = false;
    std::string ExecutablePath;
};

}  // namespace orm
