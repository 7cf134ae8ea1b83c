#pragma once

// INI files with the profile-string semantics of Windows, on Windows-1251 bytes. Users' settings
// files were written and hand-edited for GetPrivateProfileString/WritePrivateProfileString, so
// lookups follow those rules exactly, and a write edits one line in place and keeps every other
// byte of the file (comments, blank lines, spacing, line ends).
//
// Reading, in short: CR, LF and CRLF end lines; blanks (space, tab, VT) around a line are
// ignored; a section is named up to its first ']'; lines before the first section belong to
// none; a key line splits at its first '='; a line starting with ';' is a comment; names match
// without regard to letter case; only the first section of a name and the first key in it count;
// one pair of matching outer quotes is removed from a value; a result is cut to fit the buffer.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orm {

class IniFile {
public:
    // Like a 256-character buffer on Windows: at most 255 characters come back.
    static constexpr std::size_t kDefaultBufferSize = 256;

    IniFile() = default;
    explicit IniFile(std::string bytes);

    // The file's bytes as they are now (after any edits).
    const std::string& Bytes() const { return m_bytes; }

    // A file starting with the UTF-16LE byte order mark. Windows reads and writes such a file as
    // Unicode; it is read here (characters outside Windows-1251 become '?') but never edited.
    bool IsUnicode() const { return m_unicode; }

    // The value of key in section, or defaultValue (its trailing spaces removed) when the
    // section or key is missing; either way at most bufferSize - 1 characters. Section and key
    // are stripped of surrounding spaces only, as Windows does with its parameters.
    std::string Value(std::string_view section, std::string_view key,
                      std::string_view defaultValue,
                      std::size_t bufferSize = kDefaultBufferSize) const;
    // Whether Value would find the key rather than fall back to the default.
    bool Contains(std::string_view section, std::string_view key) const;

    // Sets key in section to value, or removes the key line when value is empty (nullopt).
    // An existing key's line is rewritten as "<key as spelled in the file>=value\r\n"; a new key
    // goes after the last key line of the section; a new section is appended. Returns false and
    // changes nothing when the result could not be read back: a line break in any argument, ']'
    // in the section, '=' in the key or a key starting with ';' or '[', a name with a tab or VT
    // at an end; also for a Unicode file. Removing a key that is not there succeeds.
    bool SetValue(std::string_view section, std::string_view key,
                  std::optional<std::string_view> value);

    // Removes the first section of that name: its header, keys and other lines, keeping its
    // comment lines and blank lines. False only for a Unicode file.
    bool RemoveSection(std::string_view section);

    // Makes each Value a table look-up instead of a pass over the file, for a file that is read
    // many times over between edits; the results stay the same. An edit drops the table.
    void Index();

    // The file at path is read again on every call, so a write is seen by the next read. A
    // missing or unreadable file gives the default.
    static std::string ReadString(const std::string& path, std::string_view section,
                                  std::string_view key, std::string_view defaultValue,
                                  std::size_t bufferSize = kDefaultBufferSize);

    // SetValue on the file at path, saved through a temporary file. A missing file is created
    // when its folder exists. False, with the file as it was, when the folder is missing, the
    // file is read-only (no write permission bit, even for root), cannot be read, or SetValue
    // refuses. Here and below, a file the edit leaves byte for byte as it was is not written
    // at all (and that is success, read-only or not).
    static bool WriteString(const std::string& path, std::string_view section,
                            std::string_view key, std::optional<std::string_view> value);

    // Several SetValue calls on the file at path, in order, saved at once: the file has all of
    // them or none. A refused assignment is left out and makes the result false, like a failed
    // save, which leaves the file as it was.
    struct Assignment {
        std::string_view section;
        std::string_view key;
        std::optional<std::string_view> value;
    };
    static bool WriteStrings(const std::string& path, const std::vector<Assignment>& assignments);

    // RemoveSection on the file at path, with the failures of WriteString.
    static bool DeleteSection(const std::string& path, std::string_view section);

private:
    // Where a value lies in text().
    struct Span {
        std::size_t at = 0;
        std::size_t size = 0;
    };

    std::string_view text() const { return m_unicode ? std::string_view(m_decoded) : m_bytes; }
    // The raw value of key in the first section of that name, names already stripped.
    std::optional<std::string_view> find(std::string_view section, std::string_view key) const;

    std::string m_bytes;
    std::string m_decoded;  // Windows-1251 text of a Unicode file
    bool m_unicode = false;
    // Upper-case "SECTION\nKEY" of the first key of each name in the first section of each
    // name; in use when m_indexed.
    std::unordered_map<std::string, Span> m_index;
    bool m_indexed = false;
};

}  // namespace orm
