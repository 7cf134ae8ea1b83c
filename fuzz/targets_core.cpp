// The fuzz targets of the core's readers: project file, settings file, ormelit-cli.

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string_view>

#include "cli/commands.h"
#include "core/help/extramenutarget.h"
#include "core/help/helpindex.h"
#include "core/io/safefile.h"
#include "core/model/project.h"
#include "core/settings/appsettings.h"
#include "core/settings/inifile.h"
#include "core/settings/profile.h"
#include "core/settings/programstate.h"
#include "core/text/cp1251.h"
#include "fuzz/fuzztargets.h"
#include "support/projectdump.h"

namespace orm::fuzz {

namespace {

FailureHandler g_handler = nullptr;

std::string_view bytesOf(const std::uint8_t* data, std::size_t size)
{
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

void emptyFolder(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(folder + "/" + name);
    }
    ::closedir(dir);
    for (const std::string& path : names)
        std::remove(path.c_str());
}

bool writeFile(const std::string& path, std::string_view bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// Up to the next line end; rest moves past it.
std::string_view takeLine(std::string_view& rest)
{
    const auto end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

// -------------------------------------------------------------------------------- project

// -------------------------------------------------------------------------------- settings

// A menu of three menus of three commands, growing as entries go in.
class MenuTree : public ExtraMenuTarget {
public:
    MenuTree() : m_root{{}, std::vector<Node>(3, Node{{}, std::vector<Node>(3)})} {}
    int ItemCount(const std::vector<int>& path) const override
    {
        const Node* node = at(path);
        return node ? static_cast<int>(node->Items.size()) : 0;
    }
    void Insert(const std::vector<int>& path, int index, const ExtraMenuEntry& entry) override
    {
        Node* node = const_cast<Node*>(at(path));
        Check(node != nullptr, "extra menu: insertion under a path that names nothing");
        Check(index >= 0 && index <= static_cast<int>(node->Items.size()),
              "extra menu: insertion index out of range");
        if (node && index >= 0 && index <= static_cast<int>(node->Items.size()))
            node->Items.insert(node->Items.begin() + index, Node{entry.Name, {}});
    }

private:
    struct Node {
        std::string Name;
        std::vector<Node> Items;
    };
    const Node* at(const std::vector<int>& path) const
    {
        const Node* node = &m_root;
        for (const int i : path) {
            if (i < 0 || i >= static_cast<int>(node->Items.size()))
                return nullptr;
            node = &node->Items[static_cast<size_t>(i)];
        }
        return node;
    }
    Node m_root;
};

// (section, key) of every key line, as the file spells them, sections in file order.
std::vector<std::pair<std::string, std::string>> keyLines(std::string_view text)
{
    std::vector<std::pair<std::string, std::string>> out;
    std::string section;
    std::size_t pos = 0;
    while (pos < text.size() && out.size() < 256) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        const auto first = line.find_first_not_of(" \t\v");
        if (first == std::string_view::npos)
            continue;
        line.remove_prefix(first);
        if (line.front() == '[') {
            section = std::string(line.substr(1, line.find(']') - 1));
        } else if (line.front() != ';' && line.find('=') != std::string_view::npos) {
            out.emplace_back(section, std::string(line.substr(0, line.find('='))));
        }
    }
    return out;
}

// The lines of text, each with its end (CR, LF or CR LF).
std::vector<std::string_view> linesWithEnds(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            end = text.size();
        } else {
            end += text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1;
        }
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

// What a write of one key may change: at most one line of the old bytes (the key's own, or the
// last line when it gains an end before a new section), everything before and after it kept.
void checkOneLineChanged(const std::string& before, const std::string& after)
{
    const auto old = linesWithEnds(before);
    const auto now = linesWithEnds(after);
    std::size_t prefix = 0;
    while (prefix < old.size() && prefix < now.size() && old[prefix] == now[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < old.size() - prefix && suffix < now.size() - prefix &&
           old[old.size() - 1 - suffix] == now[now.size() - 1 - suffix])
        ++suffix;
    Check(old.size() - prefix - suffix <= 1,
          "settings: a write of one key changed more than its line");
}

}  // namespace

const std::string& WorkFolder()
{
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/ormelit-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        return pattern;
    }();
    // Registered after the string is made, so it runs before the string is destroyed.
    static const bool removedAtExit = std::atexit([] {
        emptyFolder(folder);
        ::rmdir(folder.c_str());
    }) == 0;
    (void)removedAtExit;
    return folder;
}

void Fail(const char* what)
{
    if (g_handler) {
        g_handler(what);
        return;
    }
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

void SetFailureHandler(FailureHandler handler)
{
    g_handler = handler;
}

void Project(const std::uint8_t* data, std::size_t size)
{
    TMainTreeList project;
    project.ReadProjectText(std::string(bytesOf(data, size)));
    // Whatever was read, all of a good file or the part before a fault, saves and reads back.
    const std::string saved = project.ProjectFileText();
    TMainTreeList again;
    const LoadResult result = again.ReadProjectText(saved);
    Check(result.Ok, "project: our own file has a format fault");
    Check(test::DumpProject(again) == test::DumpProject(project), "project: trees or links differ after a save");
    Check(again.ProjectFileText() == saved, "project: a second save differs from the first");
}

void Settings(const std::uint8_t* data, std::size_t size)
{
    std::string_view rest = bytesOf(data, size);
    const std::string_view section = takeLine(rest);
    const std::string_view key = takeLine(rest);
    const std::string_view value = takeLine(rest);
    const std::string file(rest);

    // Every key the program reads, through the same calls the program makes.
    const std::string& folder = WorkFolder();
    const std::string path = folder + "/ormelit.INI";
    Check(writeFile(path, file), "settings: cannot write the work file");
    {
        TProfile profile;
        AppSettings settings;
        FontSpec font;
        settings.SettingsFileName = path;
        LoadSettings(settings, font, folder + "/ormelit", profile);
        MenuTree menu;
        LoadExtraMenuEntries(menu, path, profile);
        HelpIndexFileNameFor(path, folder + "/ormelit", profile);
        ChooseHelpFile(path);
        // A help file beside the index lets the look-up go as far as its write of AddNotFound.
        writeFile(folder + "/ormelit.html", "<html></html>");
        LookUpHelpTopic(path, "TF_Main");
        LookUpHelpTopic(path, std::string(key));

        // The same bytes as an old settings file to take the program's state from, and as a
        // state file: what was taken reads back from the new state file as it was.
        ProgramState taken;
        LoadProgramState(taken, folder + "/state.ini", {path});
        ProgramState again;
        LoadProgramState(again, folder + "/state.ini", {});
        Check(again.RecentProjects == taken.RecentProjects &&
                  again.ReportViewerSize == taken.ReportViewerSize &&
                  again.OrganigramSize == taken.OrganigramSize,
              "settings: the state taken over reads back otherwise");
        LoadProgramState(again, path, {});
    }
    emptyFolder(folder);

    // The same look-ups from an indexed file and from the plain one.
    IniFile ini(file);
    IniFile indexed(file);
    indexed.Index();
    const auto keys = keyLines(ini.IsUnicode() ? std::string_view() : std::string_view(file));
    for (const auto& [s, k] : keys)
        Check(ini.Value(s, k, "\x01") == indexed.Value(s, k, "\x01"),
              "settings: the index reads another value");

    // One write: every other key reads as before, every other byte stays.
    const std::optional<std::string_view> newValue =
        value == "-" ? std::nullopt : std::optional<std::string_view>(value);
    const bool written = ini.SetValue(section, key, newValue);
    if (!written) {
        Check(ini.Bytes() == file, "settings: a refused write changed the file");
        return;
    }
    checkOneLineChanged(file, ini.Bytes());
    const IniFile before(file);
    auto same = [](std::string_view a, std::string_view b) {
        auto trim = [](std::string_view t) {
            const auto first = t.find_first_not_of(" \t\v");
            if (first == std::string_view::npos)
                return std::string_view();
            return t.substr(first, t.find_last_not_of(" \t\v") - first + 1);
        };
        return EqualsNoCaseCp1251(trim(a), trim(b));
    };
    for (const auto& [s, k] : keys) {
        if (same(s, section) && same(k, key))
            continue;
        Check(ini.Value(s, k, "\x01") == before.Value(s, k, "\x01"),
              "settings: a write of one key changed another");
    }
    // A plain value reads back as written (outer quotes and blanks would be read away).
    if (newValue && value.size() < 255 &&
        value.find_first_of(" \t\v\"'") == std::string_view::npos)
        Check(ini.Value(section, key, "\x01") == value,
              "settings: the written value reads back otherwise");
}

void Cli(const std::uint8_t* data, std::size_t size)
{
    std::string_view rest = bytesOf(data, size);
    const std::string& folder = WorkFolder();
    const std::string project = folder + "/p.ovx";
    std::vector<std::string> args;
    while (!rest.empty() && args.size() < 24) {
        const std::string_view line = takeLine(rest);
        if (line.empty())
            break;
        std::string arg(line.substr(0, 256));
        if (arg == "P") {
            arg = project;
        } else {
            // Nothing may leave the folder: no path separators, so names count from it.
            std::replace(arg.begin(), arg.end(), '/', '_');
            std::replace(arg.begin(), arg.end(), '\0', '_');
        }
        args.push_back(std::move(arg));
    }
    Check(writeFile(project, rest), "cli: cannot write the project");
    std::ostringstream out;
    std::ostringstream err;
    // Relative names land in the folder; the fuzzer's own relative paths need the old one back.
    const int previous = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    Check(previous >= 0 && ::chdir(folder.c_str()) == 0, "cli: cannot enter the work folder");
    const int code = cli::Run(args, out, err);
    Check(::fchdir(previous) == 0, "cli: cannot return to the previous folder");
    ::close(previous);
    Check(code >= 0 && code <= 4, "cli: an exit code outside 0..4");
    Check(code == 0 || !err.str().empty(), "cli: a failure without a message");
    emptyFolder(folder);
}

}  // namespace orm::fuzz
