#pragma once

// The one reader and writer of settings values: it holds the address of a value (file, section,
// key) and reads or writes it as text, boolean or integer. The address and the default text stay
// as set until changed, so a read that does not set DefaultText uses the previous one.

#include <optional>
#include <string>
#include <string_view>

#include "core/settings/inifile.h"

namespace orm {

// "TRUE", "YES" or "Y" in any letter case, or "1".
bool TextIsTrue(std::string_view text);

// An optional sign and decimal digits, nothing else, within the range of int.
std::optional<int> ParseDecimalInt(std::string_view text);

// A value read as an integer: the decimal integer, or else the text read as a boolean, 1 or 0.
int TextAsInteger(std::string_view text);

class TProfile {
public:
    // The instance the whole program shares; created on first use.
    static TProfile& Shared();

    const std::string& FileName() const { return m_fileName; }
    void SetFileName(std::string fileName) { m_fileName = std::move(fileName); }
    const std::string& Section() const { return m_section; }
    void SetSection(std::string section) { m_section = std::move(section); }
    const std::string& Entry() const { return m_entry; }
    void SetEntry(std::string entry) { m_entry = std::move(entry); }
    const std::string& DefaultText() const { return m_defaultText; }
    void SetDefaultText(std::string text) { m_defaultText = std::move(text); }

    // The value, or DefaultText when it is absent, cut at 255 characters; empty when the file
    // name, section or key is not set.
    std::string Text() const;
    // Writes only when file name, section and key are all set; false when nothing was written.
    bool SetText(std::string_view text);

    bool State() const { return TextIsTrue(Text()); }
    bool SetState(bool state) { return SetText(state ? "True" : "False"); }

    // Text that is not a decimal integer counts as a boolean: 1 or 0.
    int Value() const;
    bool SetValue(int value) { return SetText(std::to_string(value)); }

    // From HoldFile to the matching ReleaseFile, reads come from one reading of the file,
    // parsed once, instead of a fresh reading each: for a load that reads many keys in a row
    // (the extra menu reads five per section). A write through this profile is seen by the
    // next read as always; a change made to the file by others meanwhile is not. Holds nest.
    void HoldFile() { ++m_holds; }
    void ReleaseFile();

private:
    const IniFile& heldFile() const;

    std::string m_fileName = "WIN.INI";
    std::string m_section;
    std::string m_entry;
    std::string m_defaultText;
    int m_holds = 0;
    mutable std::optional<IniFile> m_held;
    mutable std::string m_heldName;
};

// Holds the profile's file for one load.
class ProfileFileHold {
public:
    explicit ProfileFileHold(TProfile& profile) : m_profile(profile) { profile.HoldFile(); }
    ~ProfileFileHold() { m_profile.ReleaseFile(); }
    ProfileFileHold(const ProfileFileHold&) = delete;
    ProfileFileHold& operator=(const ProfileFileHold&) = delete;

private:
    TProfile& m_profile;
};

}  // namespace orm
