#include "core/settings/inifile.h"

#include <filesystem>
#include <system_error>
#include <unordered_set>

#include "core/io/safefile.h"
#include "core/text/cp1251.h"

namespace orm {

namespace {

enum class LineKind { Blank, Section, Comment, Key, Other };

// One line of the file: [begin, end) is its text, next is where the following line starts (the
// line break lies in between; next == end only for a last line without one).
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
    LineKind kind = LineKind::Blank;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v';
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Windows strips its name parameters of spaces only; a tab stays and then matches nothing.
std::string_view stripSpaces(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

Line lineAt(std::string_view text, std::size_t pos)
{
    Line line;
    line.begin = pos;
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n')
        ++end;
    line.end = end;
    if (end < text.size())
        line.next = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? end + 2
                                                                                        : end + 1;
    else
        line.next = end;

    const std::string_view content = trimBlanks(text.substr(pos, end - pos));
    if (content.empty()) {
        line.kind = LineKind::Blank;
    } else if (content.front() == '[') {
        // A missing ']' is tolerated; text after the first ']' is ignored.
        line.kind = LineKind::Section;
        const std::string_view inner = content.substr(1);
        line.name = trimBlanks(inner.substr(0, inner.find(']')));
    } else if (content.front() == ';') {
        line.kind = LineKind::Comment;
    } else if (const auto eq = content.find('='); eq != std::string_view::npos) {
        line.kind = LineKind::Key;
        line.name = trimBlanks(content.substr(0, eq));
        line.value = trimBlanks(content.substr(eq + 1));
    } else {
        line.kind = LineKind::Other;
    }
    return line;
}

// Calls f(line) for each line in order until f returns false.
template <typename F>
void forEachLine(std::string_view text, F&& f)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        const Line line = lineAt(text, pos);
        if (!f(line))
            return;
        pos = line.next;
    }
}

// Where a key is, or would go, in the first section of a name.
struct Place {
    std::optional<Line> header;
    std::optional<Line> key;
    std::optional<Line> lastKey;
};

Place findPlace(std::string_view text, std::string_view section, std::string_view key)
{
    Place place;
    forEachLine(text, [&](const Line& line) {
        if (line.kind == LineKind::Section) {
            if (place.header)
                return false;  // only the first section of the name counts
            if (EqualsNoCaseCp1251(line.name, section))
                place.header = line;
        } else if (place.header && line.kind == LineKind::Key) {
            if (EqualsNoCaseCp1251(line.name, key)) {
                place.key = line;
                return false;
            }
            place.lastKey = line;
        }
        return true;
    });
    return place;
}

std::string_view unquote(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

bool hasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// A name that a later lookup can find: a tab or VT at its ends would be trimmed in the file
// but not from the lookup's parameter.
bool findableName(std::string_view name)
{
    return !hasLineBreak(name) &&
           (name.empty() || (!isBlank(name.front()) && !isBlank(name.back())));
}

std::string decodeUtf16Le(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() / 2);
    const auto unit = [&](std::size_t i) -> char32_t {
        return static_cast<unsigned char>(bytes[i]) |
               (static_cast<char32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8);
    };
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        out.push_back(UnicodeToCp1251(cp));
    }
    return out;
}

template <typename Edit>
bool editFile(const std::string& path, Edit&& edit)
{
    std::optional<std::string> bytes = ReadFileBytes(path);
    if (!bytes) {
        // Never replace a file we could not read (a folder, no read permission).
        std::error_code ec;
        const auto status = std::filesystem::status(path, ec);
        if (std::filesystem::exists(status) ||
            (ec && ec != std::errc::no_such_file_or_directory))
            return false;
    }
    const bool existed = bytes.has_value();
    IniFile ini(bytes ? *bytes : std::string());
    if (!edit(ini))
        return false;
    if (!existed && ini.Bytes().empty())
        return true;  // removing from a missing file creates nothing
    // A file that already says it all is not rewritten: its time and inode stay for its readers.
    if (existed && ini.Bytes() == *bytes)
        return true;
    return WriteFileAtomically(path, ini.Bytes());
}

}  // namespace

IniFile::IniFile(std::string bytes) : m_bytes(std::move(bytes))
{
    if (m_bytes.size() >= 2 && static_cast<unsigned char>(m_bytes[0]) == 0xFF &&
        static_cast<unsigned char>(m_bytes[1]) == 0xFE) {
        m_unicode = true;
        m_decoded = decodeUtf16Le(m_bytes);
    }
}

void IniFile::Index()
{
    m_index.clear();
    const std::string_view all = text();
    std::unordered_set<std::string> sections;
    std::string prefix;
    bool first = false;  // in the first section of its name
    forEachLine(all, [&](const Line& line) {
        if (line.kind == LineKind::Section) {
            prefix = UpperCp1251(line.name);
            first = sections.insert(prefix).second;
            prefix += '\n';
        } else if (first && line.kind == LineKind::Key) {
            // try_emplace: only the first key of a name counts.
            m_index.try_emplace(prefix + UpperCp1251(line.name),
                                Span{static_cast<std::size_t>(line.value.data() - all.data()),
                                     line.value.size()});
        }
        return true;
    });
    m_indexed = true;
}

std::optional<std::string_view> IniFile::find(std::string_view section,
                                              std::string_view key) const
{
    if (m_indexed) {
        // Names in the file never hold a line break, so such a name matches nothing.
        if (hasLineBreak(section) || hasLineBreak(key))
            return std::nullopt;
        std::string name = UpperCp1251(section);
        name += '\n';
        name += UpperCp1251(key);
        const auto it = m_index.find(name);
        if (it == m_index.end())
            return std::nullopt;
        return text().substr(it->second.at, it->second.size);
    }
    const Place place = findPlace(text(), section, key);
    if (!place.key)
        return std::nullopt;
    return place.key->value;
}

std::string IniFile::Value(std::string_view section, std::string_view key,
                           std::string_view defaultValue, std::size_t bufferSize) const
{
    const std::optional<std::string_view> found = find(stripSpaces(section), stripSpaces(key));
    std::string_view result;
    if (found) {
        result = unquote(*found);
    } else {
        result = defaultValue;
        while (!result.empty() && result.back() == ' ')
            result.remove_suffix(1);
    }
    if (bufferSize == 0)
        return {};
    return std::string(result.substr(0, bufferSize - 1));
}

bool IniFile::Contains(std::string_view section, std::string_view key) const
{
    return find(stripSpaces(section), stripSpaces(key)).has_value();
}

bool IniFile::SetValue(std::string_view section, std::string_view key,
                       std::optional<std::string_view> value)
{
    if (m_unicode)
        return false;
    section = stripSpaces(section);
    key = stripSpaces(key);
    if (!findableName(section) || section.find(']') != std::string_view::npos)
        return false;
    if (!findableName(key) || key.find('=') != std::string_view::npos ||
        (!key.empty() && (key.front() == ';' || key.front() == '[')))
        return false;
    if (value && hasLineBreak(*value))
        return false;
    m_indexed = false;
    m_index.clear();

    const Place place = findPlace(m_bytes, section, key);
    if (place.key) {
        const Line& line = *place.key;
        if (value) {
            std::string replacement(line.name);
            replacement += '=';
            replacement += *value;
            replacement += "\r\n";
            m_bytes.replace(line.begin, line.next - line.begin, replacement);
        } else {
            m_bytes.erase(line.begin, line.next - line.begin);
        }
        return true;
    }
    if (!value)
        return true;

    std::string keyLine(key);
    keyLine += '=';
    keyLine += *value;
    keyLine += "\r\n";
    if (place.header) {
        // After the last key, so comments and blank lines closing the section stay below it.
        const Line& after = place.lastKey ? *place.lastKey : *place.header;
        if (after.next == after.end)  // last line of the file, without a line break
            keyLine.insert(0, "\r\n");
        m_bytes.insert(after.next, keyLine);
        return true;
    }
    if (!m_bytes.empty() && m_bytes.back() != '\r' && m_bytes.back() != '\n')
        m_bytes += "\r\n";
    m_bytes += '[';
    m_bytes += section;
    m_bytes += "]\r\n";
    m_bytes += keyLine;
    return true;
}

bool IniFile::RemoveSection(std::string_view section)
{
    if (m_unicode)
        return false;
    section = stripSpaces(section);
    m_indexed = false;
    m_index.clear();
    std::string kept;
    bool inSection = false;
    bool done = false;
    forEachLine(m_bytes, [&](const Line& line) {
        if (line.kind == LineKind::Section) {
            if (inSection) {
                done = true;
                inSection = false;
            } else if (!done && EqualsNoCaseCp1251(line.name, section)) {
                inSection = true;
                return true;
            }
        }
        if (!inSection || line.kind == LineKind::Comment || line.kind == LineKind::Blank)
            kept.append(m_bytes, line.begin, line.next - line.begin);
        return true;
    });
    m_bytes = std::move(kept);
    return true;
}

std::string IniFile::ReadString(const std::string& path, std::string_view section,
                                std::string_view key, std::string_view defaultValue,
                                std::size_t bufferSize)
{
    std::optional<std::string> bytes = ReadFileBytes(path);
    return IniFile(bytes ? std::move(*bytes) : std::string())
        .Value(section, key, defaultValue, bufferSize);
}

bool IniFile::WriteString(const std::string& path, std::string_view section,
                          std::string_view key, std::optional<std::string_view> value)
{
    return editFile(path, [&](IniFile& ini) { return ini.SetValue(section, key, value); });
}

bool IniFile::WriteStrings(const std::string& path, const std::vector<Assignment>& assignments)
{
    bool allSet = true;
    const bool saved = editFile(path, [&](IniFile& ini) {
        for (const Assignment& a : assignments)
            allSet &= ini.SetValue(a.section, a.key, a.value);
        return true;
    });
    return saved && allSet;
}

bool IniFile::DeleteSection(const std::string& path, std::string_view section)
{
    return editFile(path, [&](IniFile& ini) { return ini.RemoveSection(section); });
}

}  // namespace orm
