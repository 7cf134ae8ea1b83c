#include "core/help/helpindex.h"

#include <filesystem>

#include "core/settings/inifile.h"
#include "core/settings/profile.h"
#include "core/text/cp1251.h"

namespace orm {

namespace {

namespace fs = std::filesystem;

std::string absolutePath(const std::string& path)
{
    std::error_code ec;
    const fs::path full = fs::absolute(fs::path(path), ec);
    return ec ? path : full.lexically_normal().string();
}

bool isFile(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(fs::path(path), ec);
}

}  // namespace

std::string ReplaceExtension(const std::string& path, std::string_view ext)
{
    const auto slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = path.rfind('.');
    if (dot != std::string::npos && dot > nameStart)
        return path.substr(0, dot) + std::string(ext);
    return path + std::string(ext);
}

std::string HelpIndexFileNameFor(const std::string& settingsFile,
                                 const std::string& executablePath, TProfile& profile)
{
    profile.SetFileName(settingsFile);
    profile.SetSection("Help");
    profile.SetEntry("HelpIniFileName");
    profile.SetDefaultText("");
    std::string name = ToUtf8(profile.Text());
    if (name.empty())
        name = ReplaceExtension(executablePath, ".QHL");
    return absolutePath(name);
}

std::string ContextName(const HelpForm* active, const HelpForm* owner,
                        std::string_view mainClassName)
{
    if (!active)
        return std::string(mainClassName);
    std::string name = active->ClassName;
    const HelpForm* counting = active;
    if (owner) {
        name += '_';
        name += owner->ClassName;
        counting = owner;
    }
    if (counting->Tag != 0)
        name += "_tag" + std::to_string(counting->Tag);
    return name;
}

std::string ChooseHelpFile(const std::string& indexFile)
{
    std::string named = ToUtf8(IniFile::ReadString(indexFile, "Help", "HelpFileName", ""));
    if (named.empty()) {
        named = ReplaceExtension(indexFile, ".HLP");
    } else if (fs::path(named).is_relative()) {
        named = (fs::path(indexFile).parent_path() / named).lexically_normal().string();
    }
    for (const std::string& candidate :
         {named, ReplaceExtension(named, ".html"), ReplaceExtension(named, ".htm")}) {
        if (isFile(candidate))
            return candidate;
    }
    return {};
}

std::optional<HelpTopic> LookUpHelpTopic(const std::string& indexFile, std::string_view context)
{
    if (indexFile.empty())
        return std::nullopt;
    HelpTopic topic;
    topic.HelpFile = ChooseHelpFile(indexFile);
    if (topic.HelpFile.empty())
        return std::nullopt;
    topic.Keyword = IniFile::ReadString(indexFile, "Help", context, "");
    if (topic.Keyword.empty()) {
        topic.Keyword = IniFile::ReadString(indexFile, "Help", "NotFound", "");
        // Not an integer ("True") counts as 0: authors switch recording on with a number.
        const auto enable =
            ParseDecimalInt(IniFile::ReadString(indexFile, "Help", "EnableAddNotFound", ""));
        if (enable && *enable != 0)
            IniFile::WriteString(indexFile, "AddNotFound", context, std::string_view());
    }
    if (topic.Keyword.empty())
        return std::nullopt;
    return topic;
}

}  // namespace orm
