#include "core/publish/sitefolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/publish/publish.h"

namespace orm {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMarkerHead = "Ормелит: опубликованный сайт";
constexpr std::string_view kStagePrefix = ".ormelit-publish-";

bool IsStageName(const std::string& name)
{
    return name.rfind(kStagePrefix, 0) == 0;
}

// A marker line may name only a plain entry of the folder itself.
bool IsPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos && !IsStageName(name);
}

std::string SystemReason(int error)
{
    return std::strerror(error);
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void SyncFolder(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

SiteFolder::SiteFolder(std::string folder, std::vector<std::string> entries)
    : m_folder(std::move(folder)), m_entries(std::move(entries))
{
    while (m_folder.size() > 1 && m_folder.back() == '/')
        m_folder.pop_back();
}

SiteFolder::~SiteFolder()
{
    if (!m_stage.empty() && !m_committed) {
        std::error_code ec;
        fs::remove_all(m_stage, ec);
    }
}

bool SiteFolder::Open(std::string& message, bool* refused)
{
    *refused = false;
    const std::string shown = "«" + m_folder + "»";
    std::error_code ec;
    const fs::file_status status = fs::status(m_folder, ec);
    if (fs::exists(status) && !fs::is_directory(status)) {
        message = shown + " — не папка. Публикация не выполнена.";
        return false;
    }
    if (!fs::exists(status) && !fs::create_directories(m_folder, ec)) {
        message = "Не удалось создать папку " + shown + ": " + ec.message() + ".";
        return false;
    }

    std::vector<std::string> present;
    std::vector<std::string> stages;
    for (fs::directory_iterator it(m_folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        (IsStageName(name) ? stages : present).push_back(name);
    }
    if (ec) {
        message = "Не удалось прочитать папку " + shown + ": " + ec.message() + ".";
        return false;
    }

    const bool hasMarker =
        std::find(present.begin(), present.end(), kSiteMarker) != present.end();
    if (!present.empty() && !hasMarker) {
        *refused = true;
        message = "Папка " + shown +
                  " не пуста и не содержит публикации Ормелита. Выберите пустую папку или папку "
                  "прежней публикации: ничего не записано и не удалено.";
        return false;
    }
    if (hasMarker) {
        std::ifstream marker(fs::path(m_folder) / kSiteMarker, std::ios::binary);
        std::string line;
        if (!std::getline(marker, line) || line != kMarkerHead) {
            *refused = true;
            message = "Файл " + std::string(kSiteMarker) + " в папке " + shown +
                      " не оставлен публикацией Ормелита: ничего не записано и не удалено.";
            return false;
        }
        while (std::getline(marker, line))
            if (IsPlainName(line))
                m_oldEntries.push_back(line);
        // An entry the new site needs that the earlier one did not list is someone else's.
        // After an interrupted swap the new site's entries may be there unlisted; those are
        // the program's own names, which is why the current layout counts as ours too.
        for (const std::string& name : present) {
            const bool listed =
                std::find(m_oldEntries.begin(), m_oldEntries.end(), name) != m_oldEntries.end();
            const bool ours = name == kSiteMarker ||
                std::find(m_entries.begin(), m_entries.end(), name) != m_entries.end();
            if (ours && !listed)
                m_oldEntries.push_back(name);
        }
        std::erase(m_oldEntries, std::string(kSiteMarker));
    }
    // Staging folders left by a publication that was killed.
    for (const std::string& name : stages)
        fs::remove_all(fs::path(m_folder) / name, ec);

    m_stage = (fs::path(m_folder) / (std::string(kStagePrefix) + "new-" +
                                     std::to_string(::getpid())))
                  .string();
    if (!fs::create_directory(m_stage, ec)) {
        message = "Не удалось писать в папку " + shown + ": " +
                  (ec ? ec.message() : SystemReason(EEXIST)) + ".";
        m_stage.clear();
        return false;
    }
    return true;
}

bool SiteFolder::makeFolders(const std::string& relative, std::string& reason)
{
    if (relative.empty() ||
        std::find(m_madeFolders.begin(), m_madeFolders.end(), relative) != m_madeFolders.end())
        return true;
    std::error_code ec;
    fs::create_directories(fs::path(m_stage) / relative, ec);
    if (ec) {
        reason = ec.message();
        return false;
    }
    m_madeFolders.push_back(relative);
    return true;
}

bool SiteFolder::Write(std::string_view path, std::string_view bytes, std::string& reason)
{
    const size_t slash = path.rfind('/');
    if (slash != std::string_view::npos && !makeFolders(std::string(path.substr(0, slash)), reason))
        return false;
    const std::string full = m_stage + "/" + std::string(path);
    const int fd = ::open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        reason = SystemReason(errno);
        return false;
    }
    const bool written = WriteAll(fd, bytes);
    const int error = errno;
    if (::close(fd) != 0 || !written) {
        reason = SystemReason(written ? errno : error);
        return false;
    }
    return true;
}

bool SiteFolder::Commit(std::string& reason)
{
    // One flush of the whole file system rather than one per file: a site has many files.
    {
        const int fd = ::open(m_stage.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0 || ::syncfs(fd) != 0) {
            reason = SystemReason(errno);
            if (fd >= 0)
                ::close(fd);
            return false;
        }
        ::close(fd);
    }

    std::error_code ec;
    const fs::path folder(m_folder);
    const fs::path old = folder / (std::string(kStagePrefix) + "old-" + std::to_string(::getpid()));
    fs::remove_all(old, ec);
    if (!fs::create_directory(old, ec)) {
        reason = ec ? ec.message() : SystemReason(EEXIST);
        return false;
    }

    std::vector<std::string> movedOut;
    std::vector<std::string> movedIn;
    auto rollBack = [&] {
        for (const std::string& name : movedIn)
            ::rename((folder / name).c_str(), (fs::path(m_stage) / name).c_str());
        for (const std::string& name : movedOut)
            ::rename((old / name).c_str(), (folder / name).c_str());
        fs::remove_all(old, ec);
    };
    for (const std::string& name : m_oldEntries) {
        if (::rename((folder / name).c_str(), (old / name).c_str()) != 0) {
            if (errno == ENOENT)
                continue;
            reason = SystemReason(errno);
            rollBack();
            return false;
        }
        movedOut.push_back(name);
    }
    for (const std::string& name : m_entries) {
        if (::rename((fs::path(m_stage) / name).c_str(), (folder / name).c_str()) != 0) {
            if (errno == ENOENT)
                continue;  // nothing of that kind in this project
            reason = SystemReason(errno);
            rollBack();
            return false;
        }
        movedIn.push_back(name);
    }
    // The marker last, over the earlier one in one step: at every moment the folder says it is
    // a publication.
    if (::rename((fs::path(m_stage) / kSiteMarker).c_str(), (folder / kSiteMarker).c_str()) != 0) {
        reason = SystemReason(errno);
        rollBack();
        return false;
    }
    m_committed = true;
    SyncFolder(m_folder);
    fs::remove_all(old, ec);
    fs::remove_all(m_stage, ec);
    return true;
}

std::string SiteMarkerText(const std::vector<std::string>& entries)
{
    std::string text(kMarkerHead);
    text += '\n';
    for (const std::string& e : entries)
        text += e + '\n';
    return text;
}

}  // namespace orm
