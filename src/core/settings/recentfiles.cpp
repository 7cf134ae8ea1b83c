#include "core/settings/recentfiles.h"

#include <algorithm>
#include <filesystem>

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

void RecentFiles::Load(const std::vector<std::string>& kept)
{
    m_paths.clear();
    for (const std::string& path : kept) {
        if (path.empty() || !fs::path(path).is_absolute())
            continue;
        const std::string normal = fs::path(path).lexically_normal().string();
        if (std::find(m_paths.begin(), m_paths.end(), normal) == m_paths.end() &&
            m_paths.size() < static_cast<std::size_t>(kMaxFiles))
            m_paths.push_back(normal);
    }
}

bool RecentFiles::Save(ProgramState& state) const
{
    return SaveRecentProjects(state, m_paths);
}

}  // namespace orm
