#include "core/settings/programstate.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "core/io/safefile.h"
#include "core/settings/profile.h"
#include "core/settings/recentfiles.h"
#include "core/text/cp1251.h"

namespace orm {

namespace fs = std::filesystem;

namespace {

constexpr const char* kRecentSection = "RECENT_FILES";
constexpr const char* kWindowsSection = "WINDOWS";
// Room for any path the system allows, not the settings file's 255 characters.
constexpr std::size_t kPathBuffer = 4096;
// Ours stays within a few kilobytes; a file far larger is not one we wrote.
constexpr std::size_t kMaxStateBytes = 1 << 20;

struct Form {
    const char* name;
    WindowSize ProgramState::*size;
};
constexpr Form kForms[] = {{"TF_RTF", &ProgramState::ReportViewerSize},
                           {"TF_WMF", &ProgramState::OrganigramSize}};

const std::array<std::string, RecentFiles::kMaxFiles>& recentKeys()
{
    static const std::array<std::string, RecentFiles::kMaxFiles> keys = [] {
        std::array<std::string, RecentFiles::kMaxFiles> made;
        for (std::size_t i = 0; i < made.size(); ++i)
            made[i] = "FILE" + std::to_string(i + 1);
        return made;
    }();
    return keys;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool notFound(const std::string& path)
{
    std::error_code ec;
    return fs::status(path, ec).type() == fs::file_type::not_found;
}

// The file's text when it can be one we wrote; nothing for a damaged file.
std::optional<IniFile> stateText(std::string bytes)
{
    if (bytes.size() > kMaxStateBytes)
        return std::nullopt;
    IniFile ini(std::move(bytes));
    if (ini.IsUnicode())
        return std::nullopt;
    return ini;
}

// The non-empty FILEn values, in order; the old settings files hold them in Windows-1251.
std::vector<std::string> readRecent(const IniFile& ini, bool cp1251)
{
    std::vector<std::string> paths;
    for (const std::string& key : recentKeys()) {
        std::string value = ini.Value(kRecentSection, key, "", kPathBuffer);
        if (!value.empty())
            paths.push_back(cp1251 ? ToUtf8(value) : std::move(value));
    }
    return paths;
}

// Two positive decimal numbers of a sane size, else none kept.
WindowSize readWindowSize(const IniFile& ini, const std::string& formName)
{
    const std::optional<int> width =
        ParseDecimalInt(ini.Value(kWindowsSection, formName + "_WIDTH", ""));
    const std::optional<int> height =
        ParseDecimalInt(ini.Value(kWindowsSection, formName + "_HEIGHT", ""));
    constexpr int kLimit = 100000;
    if (!width || !height || *width <= 0 || *height <= 0 || *width > kLimit || *height > kLimit)
        return {};
    return {*width, *height};
}

// What the reader gives back unchanged: it trims blanks and stops at a line break.
bool storable(const std::string& path)
{
    if (path.empty() || path.size() >= kPathBuffer ||
        path.find_first_of("\r\n") != std::string::npos)
        return false;
    const char last = path.back();
    return last != ' ' && last != '\t' && last != '\v';
}

// FILE1 onwards for the paths, the keys beyond them removed; the values point into paths.
void addRecent(std::vector<IniFile::Assignment>& out, const std::vector<std::string>& paths)
{
    const auto& keys = recentKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i < paths.size())
            out.push_back({kRecentSection, keys[i], std::string_view(paths[i])});
        else
            out.push_back({kRecentSection, keys[i], std::nullopt});
    }
}

// The assignments of the whole state; they point into state and names.
std::vector<IniFile::Assignment> assignmentsOf(const ProgramState& state,
                                               std::vector<std::string>& names)
{
    std::vector<IniFile::Assignment> out;
    addRecent(out, state.RecentProjects);
    // Names and numbers first, views after: the vector must not move under them.
    names.clear();
    for (const Form& form : kForms) {
        const WindowSize& size = state.*form.size;
        if (!size.IsKept())
            continue;
        names.push_back(std::string(form.name) + "_WIDTH");
        names.push_back(std::to_string(size.Width));
        names.push_back(std::string(form.name) + "_HEIGHT");
        names.push_back(std::to_string(size.Height));
    }
    for (std::size_t i = 0; i + 1 < names.size(); i += 2)
        out.push_back({kWindowsSection, names[i], std::string_view(names[i + 1])});
    return out;
}

}  // namespace

std::string HomeFolder()
{
    std::string home = environment("HOME");
    if (!home.empty())
        return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir)
        home = found->pw_dir;
    return home;
}

std::string StateFileNameFor(const std::string& xdgStateHome, const std::string& home)
{
    fs::path stateHome;
    if (!xdgStateHome.empty() && fs::path(xdgStateHome).is_absolute())
        stateHome = xdgStateHome;
    else if (!home.empty() && fs::path(home).is_absolute())
        stateHome = fs::path(home) / ".local" / "state";
    else
        return {};
    return (stateHome / "ormelit" / "state.ini").string();
}

std::string LocateStateFile()
{
    return StateFileNameFor(environment("XDG_STATE_HOME"), HomeFolder());
}

void LoadProgramState(ProgramState& state, const std::string& fileName,
                      const std::vector<std::string>& oldSettingsFiles)
{
    state = ProgramState();
    state.FileName = fileName;
    if (!fileName.empty() && !notFound(fileName)) {
        std::optional<std::string> bytes = ReadFileBytes(fileName);
        std::optional<IniFile> ini = bytes ? stateText(std::move(*bytes)) : std::nullopt;
        if (!ini)
            return;  // unreadable or damaged: nothing kept, and nothing said
        state.RecentProjects = readRecent(*ini, false);
        for (const Form& form : kForms)
            state.*form.size = readWindowSize(*ini, form.name);
        return;
    }

    bool found = false;
    for (const std::string& old : oldSettingsFiles) {
        std::optional<std::string> bytes = old.empty() ? std::nullopt : ReadFileBytes(old);
        if (!bytes)
            continue;
        const IniFile ini(std::move(*bytes));
        if (state.RecentProjects.empty()) {
            RecentFiles recent;
            recent.Load(readRecent(ini, true));
            state.RecentProjects = recent.Paths();
            found |= !state.RecentProjects.empty();
        }
        for (const Form& form : kForms) {
            if (!(state.*form.size).IsKept()) {
                state.*form.size = readWindowSize(ini, form.name);
                found |= (state.*form.size).IsKept();
            }
        }
    }
    if (!found || fileName.empty())
        return;
    // Written at once, so the next start finds the file and leaves the old sections be.
    std::erase_if(state.RecentProjects, [](const std::string& path) { return !storable(path); });
    std::vector<std::string> names;
    WriteStateValues(fileName, assignmentsOf(state, names));
}

bool SaveWindowSize(ProgramState& state, const std::string& formName, WindowSize size)
{
    for (const Form& form : kForms) {
        if (formName != form.name)
            continue;
        if (!size.IsKept())
            return false;
        WindowSize& kept = state.*form.size;
        if (kept == size)
            return true;
        kept = size;
        const std::string width = std::to_string(size.Width);
        const std::string height = std::to_string(size.Height);
        return WriteStateValues(state.FileName,
                                {{kWindowsSection, formName + "_WIDTH", width},
                                 {kWindowsSection, formName + "_HEIGHT", height}});
    }
    return false;
}

bool SaveRecentProjects(ProgramState& state, const std::vector<std::string>& paths)
{
    state.RecentProjects.clear();
    for (const std::string& path : paths) {
        if (storable(path) && state.RecentProjects.size() < recentKeys().size())
            state.RecentProjects.push_back(path);
    }
    std::vector<IniFile::Assignment> assignments;
    addRecent(assignments, state.RecentProjects);
    return WriteStateValues(state.FileName, assignments);
}

bool WriteStateValues(const std::string& fileName,
                      const std::vector<IniFile::Assignment>& assignments)
{
    if (fileName.empty() || !MakePrivateFolders(fs::path(fileName).parent_path().string()))
        return false;
    const std::optional<std::string> bytes = ReadFileBytes(fileName);
    if (!bytes && !notFound(fileName))
        return false;  // there but unreadable (a folder, no permission): not ours to replace
    std::optional<IniFile> ini = bytes ? stateText(*bytes) : IniFile();
    if (!ini)
        ini.emplace();  // damaged: started afresh, the old bytes being of no use
    bool allSet = true;
    for (const IniFile::Assignment& a : assignments)
        allSet &= ini->SetValue(a.section, a.key, a.value);
    if (bytes ? ini->Bytes() == *bytes : ini->Bytes().empty())
        return allSet;
    return WriteFileAtomically(fileName, ini->Bytes()) && allSet;
}

bool MakePrivateFolders(const std::string& folder)
{
    const fs::path path = folder.empty() ? fs::path(".") : fs::path(folder);
    fs::path made;
    for (const fs::path& part : path) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    std::error_code ec;
    return fs::is_directory(path, ec);
}

}  // namespace orm
