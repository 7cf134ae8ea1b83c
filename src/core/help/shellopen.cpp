#include "core/help/shellopen.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>

#include "core/text/cp1251.h"

namespace orm {

namespace {

namespace fs = std::filesystem;

const char* messageUtf8(int code)
{
    switch (code) {
    case 0:
    case 8:
        return "Не хватает памяти";
    case 2:
        return "Файл не найден";
    case 3:
        return "Путь не найден";
    case 5:
        return "Sharing Violation";
    case 6:
        return "Library/Segment Error";
    case 10:
        return "Неправильная версия Windows";
    case 11:
        return "Invalid File";
    case 12:
    case 13:
        return "Неправильная версия DOS";
    case 14:
    case 31:
        return "Нет ассоциаций с файлом";
    case 15:
        return "Cannot Load a Real-Mode Application";
    case 16:
        return "Invalid Attempt to Launch Second Instance";
    case 19:
        return "Cannot Load a Compressed Executable File";
    case 20:
        return "Invalid Dynamic Link Library";
    case 21:
        return "Приложение требует Win32";
    default:
        return "Неизвестная ошибка";
    }
}

// stat() and its errno (0 on success).
struct Probe {
    int error = 0;
    struct stat st {};
};

Probe probe(const std::string& path)
{
    Probe p;
    if (::stat(path.c_str(), &p.st) != 0)
        p.error = errno;
    return p;
}

bool isExecutableFile(const std::string& path)
{
    const Probe p = probe(path);
    return p.error == 0 && S_ISREG(p.st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string currentFolder()
{
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    return ec ? std::string(".") : cwd.string();
}

std::string join(const std::string& folder, const std::string& name)
{
    return (fs::path(folder) / name).lexically_normal().string();
}

ShellTarget failed(int code)
{
    ShellTarget t;
    t.Error = code;
    return t;
}

// Why a path that stat() refused is not there: its folder missing is a bad path, a folder that
// may not be searched is no permission, anything else a missing file.
int missingCode(const std::string& path, int error)
{
    if (error == EACCES)
        return kShellAccessDenied;
    if (error == ENOTDIR || error == ELOOP || error == ENAMETOOLONG)
        return kShellPathNotFound;
    const Probe parent = probe(fs::path(path).parent_path().string());
    if (parent.error == EACCES)
        return kShellAccessDenied;
    if (parent.error != 0 || !S_ISDIR(parent.st.st_mode))
        return kShellPathNotFound;
    return kShellFileNotFound;
}

}  // namespace

std::string ShellErrorMessage(int code)
{
    return ToCp1251(messageUtf8(code));
}

ERunPrgError::ERunPrgError(int code) : std::runtime_error(ShellErrorMessage(code)), m_code(code)
{
}

std::vector<std::string> SplitCommandLine(std::string_view params)
{
    std::vector<std::string> args;
    std::string current;
    bool started = false;  // "" makes an (empty) argument too
    bool quoted = false;
    for (std::size_t i = 0; i < params.size(); ++i) {
        const char ch = params[i];
        if (ch == '"') {
            if (quoted && i + 1 < params.size() && params[i + 1] == '"') {
                current += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
            started = true;
        } else if (!quoted && (ch == ' ' || ch == '\t')) {
            if (started)
                args.push_back(std::move(current));
            current.clear();
            started = false;
        } else {
            current += ch;
            started = true;
        }
    }
    if (started)
        args.push_back(std::move(current));
    return args;
}

ShellTarget ClassifyShellOpen(const std::string& file, const std::string& dir,
                              std::string_view searchPath)
{
    const std::string cwd = currentFolder();
    std::string base = cwd;
    if (!dir.empty()) {
        const Probe d = probe(dir);
        if (d.error == EACCES)
            return failed(kShellAccessDenied);
        if (d.error != 0 || !S_ISDIR(d.st.st_mode))
            return failed(kShellPathNotFound);
        if (::access(dir.c_str(), X_OK) != 0)  // the program could not start in it
            return failed(errno == EACCES ? kShellAccessDenied : kShellPathNotFound);
        base = fs::path(dir).is_absolute() ? dir : join(cwd, dir);
    }
    if (file.empty())
        return failed(kShellFileNotFound);

    // Candidates in the order they are searched; the first decides the error when none exists.
    std::vector<std::string> candidates;
    if (fs::path(file).is_absolute()) {
        candidates.push_back(fs::path(file).lexically_normal().string());
    } else {
        candidates.push_back(join(base, file));
        if (file.find('/') == std::string::npos) {
            if (base != cwd)
                candidates.push_back(join(cwd, file));
            std::string_view rest = searchPath;
            while (!rest.empty()) {
                const auto colon = rest.find(':');
                const std::string folder(rest.substr(0, colon));
                rest = colon == std::string_view::npos ? std::string_view()
                                                       : rest.substr(colon + 1);
                if (!folder.empty() && fs::path(folder).is_absolute()) {
                    const std::string path = join(folder, file);
                    if (isExecutableFile(path)) {
                        candidates.push_back(path);
                        break;
                    }
                }
            }
        }
    }

    std::optional<std::string> found;
    Probe p;
    for (const std::string& candidate : candidates) {
        p = probe(candidate);
        if (p.error == 0) {
            found = candidate;
            break;
        }
    }
    if (!found) {
        const Probe first = probe(candidates.front());
        return failed(missingCode(candidates.front(), first.error));
    }

    ShellTarget target;
    target.Path = *found;
    if (S_ISREG(p.st.st_mode) && (p.st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH))) {
        // Meant to run: denied execution is no permission, not a document to open.
        if (::access(found->c_str(), X_OK) != 0)
            return failed(kShellAccessDenied);
        target.What = ShellTarget::Executable;
        return target;
    }
    if (::access(found->c_str(), R_OK) != 0)
        return failed(kShellAccessDenied);
    target.What = ShellTarget::Document;
    return target;
}

}  // namespace orm
