#include "core/settings/recentfiles.h"

#include <algorithm>
#include <filesystem>

#include "core/model/cp1251.h"
#include "core/model/safefile.h"
#include "core/settings/inifile.h"

namespace orm {

namespace fs = std::filesystem;

namespace {

std::string normalPath(const std::string& path)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(fs::path(path), ec);
    if (ec)
        absolute = fs::path(path);
    return absolute.lexically_normal().string();
}

std::string keyFor(int n)
{
    return "FILE" + std::to_string(n);
}

// The Windows-1251 form of path when it converts there and back unchanged and fits a value.
std::optional<std::string> storable(const std::string& path)
{
    std::string bytes = ToCp1251(path);
    if (ToUtf8(bytes) != path || bytes.size() >= IniFile::kDefaultBufferSize)
        return std::nullopt;
    return bytes;
}

}  // namespace

bool RecentFiles::Add(const std::string& path)
{
    if (path.empty())
        return false;
    const std::string normal = normalPath(path);
    if (!m_paths.empty() && m_paths.front() == normal)
        return false;
    Remove(normal);
    m_paths.insert(m_paths.begin(), normal);
    if (m_paths.size() > static_cast<std::size_t>(kMaxFiles))
        m_paths.resize(kMaxFiles);
    return true;
}

bool RecentFiles::Remove(const std::string& path)
{
    const auto it = std::find(m_paths.begin(), m_paths.end(), path);
    if (it == m_paths.end())
        return false;
    m_paths.erase(it);
    return true;
}

bool RecentFiles::DropMissing()
{
    const auto missing = [](const std::string& path) {
        std::error_code ec;
        return !fs::is_regular_file(path, ec);
    };
    const auto from = std::remove_if(m_paths.begin(), m_paths.end(), missing);
    const bool dropped = from != m_paths.end();
    m_paths.erase(from, m_paths.end());
    return dropped;
}

void RecentFiles::Load(const std::string& settingsFile)
{
    m_paths.clear();
    if (settingsFile.empty())
        return;
    std::optional<std::string> bytes = ReadFileBytes(settingsFile);
    if (!bytes)
        return;
    const IniFile ini(std::move(*bytes));
    for (int n = 1; n <= kMaxFiles; ++n) {
        const std::string path = ToUtf8(ini.Value(kSection, keyFor(n), ""));
        if (path.empty() || !fs::path(path).is_absolute())
            continue;
        const std::string normal = fs::path(path).lexically_normal().string();
        if (std::find(m_paths.begin(), m_paths.end(), normal) == m_paths.end())
            m_paths.push_back(normal);
    }
}

bool RecentFiles::Save(AppSettings& settings) const
{
    std::vector<std::string> values;
    for (const std::string& path : m_paths) {
        if (std::optional<std::string> bytes = storable(path))
            values.push_back(std::move(*bytes));
    }
    std::vector<std::string> keys;
    for (int n = 1; n <= kMaxFiles; ++n)
        keys.push_back(keyFor(n));
    std::vector<IniFile::Assignment> assignments;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i < values.size())
            assignments.push_back({kSection, keys[i], std::string_view(values[i])});
        else
            assignments.push_back({kSection, keys[i], std::nullopt});
    }
    return WriteSettingsValues(settings, assignments);
}

}  // namespace orm
