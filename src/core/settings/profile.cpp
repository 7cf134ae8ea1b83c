#include "core/settings/profile.h"

#include "core/io/safefile.h"
#include "core/model/numbers.h"
#include "core/settings/inifile.h"
#include "core/text/cp1251.h"

namespace orm {

bool TextIsTrue(std::string_view text)
{
    const std::string upper = UpperCp1251(text);
    return upper == "TRUE" || upper == "YES" || upper == "Y" || text == "1";
}

std::optional<int> ParseDecimalInt(std::string_view text)
{
    int value = 0;
    if (!ParseInt(text, value))
        return std::nullopt;
    return value;
}

TProfile& TProfile::Shared()
{
    static TProfile instance;
    return instance;
}

std::string TProfile::Text() const
{
    if (m_fileName.empty() || m_section.empty() || m_entry.empty())
        return {};
    if (m_holds > 0)
        return heldFile().Value(m_section, m_entry, m_defaultText);
    return IniFile::ReadString(m_fileName, m_section, m_entry, m_defaultText);
}

bool TProfile::SetText(std::string_view text)
{
    if (m_fileName.empty() || m_section.empty() || m_entry.empty())
        return false;
    // Written to the file as it is now, not to what is held.
    m_held.reset();
    return IniFile::WriteString(m_fileName, m_section, m_entry, text);
}

void TProfile::ReleaseFile()
{
    if (m_holds > 0 && --m_holds == 0)
        m_held.reset();
}

const IniFile& TProfile::heldFile() const
{
    if (!m_held || m_heldName != m_fileName) {
        std::optional<std::string> bytes = ReadFileBytes(m_fileName);
        m_held.emplace(bytes ? std::move(*bytes) : std::string());
        m_held->Index();
        m_heldName = m_fileName;
    }
    return *m_held;
}

int TextAsInteger(std::string_view text)
{
    if (const auto value = ParseDecimalInt(text))
        return *value;
    return TextIsTrue(text) ? 1 : 0;
}

int TProfile::Value() const
{
    return TextAsInteger(Text());
}

}  // namespace orm
