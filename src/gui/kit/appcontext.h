#pragma once

// The objects that live from start-up to exit: the settings record, the shared font, the
// program's remembered state, the two projects and the selection-synchronisation guard. One
// instance for the program, made by the application at start-up and reached by every window
// through the main window's hub; tests make their own.

#include <string>

#include "core/model/project.h"
#include "core/settings/appsettings.h"
#include "core/settings/programstate.h"

namespace orm {

class Prompts;

struct AppContext {
    AppSettings Settings;
    FontSpec SharedFont;
    // What the program remembers for itself (recent projects, window sizes); no file unless
    // the start-up names one.
    ProgramState State;
    TMainTreeList MainProject;
    TMainTreeList SamplesProject;
    // Set while a selection is being mirrored into other windows, so that the selections it
    // causes do not mirror back.
    bool SyncGuard = false;
    std::string ExecutablePath;
};

// Sets the context's SyncGuard for a scope and puts back what it was.
class SyncGuardScope {
public:
    explicit SyncGuardScope(AppContext& context) : m_flag(context.SyncGuard), m_was(m_flag)
    {
        m_flag = true;
    }
    ~SyncGuardScope() { m_flag = m_was; }
    SyncGuardScope(const SyncGuardScope&) = delete;
    SyncGuardScope& operator=(const SyncGuardScope&) = delete;

private:
    bool& m_flag;
    bool m_was;
};

}  // namespace orm
