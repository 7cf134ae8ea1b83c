#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/settings/inifile.h"
#include "core/text/cp1251.h"
#include "support/tempdir.h"

namespace orm {
namespace {

// Random files are built from the bytes the parser cares about, so its corners come up often.
const std::vector<std::string> kPieces = {
    "[",    "]",    "=",    ";",    "#",  "\r", "\n", "\r\n", " ",  "\t", "\v",
    "\"",   "'",    "S",    "s",    "K",  "k",  "T",  "v",    "ab", "\xA8", "\xB8",
    "\x98", "\xFF", "\xEF\xBB\xBF", std::string(1, '\0'), "[S]\r\n", "K=v\r\n", ";c\r\n",
};

const std::vector<std::string> kNames = {
    "S", "s", "T", "K", "k", "L", "", " S ", "\xA8", "\xB8", "ab", "a=b", ";K", "\tS", "[", "]",
};

class Fuzzer {
public:
    explicit Fuzzer(unsigned seed) : m_rng(seed) {}

    std::size_t Below(std::size_t n)
    {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_rng);
    }

    std::string Pieces(std::size_t maxCount)
    {
        std::string s;
        for (std::size_t n = Below(maxCount + 1); n > 0; --n)
            s += kPieces[Below(kPieces.size())];
        return s;
    }

    std::string Name() { return Below(4) == 0 ? Pieces(3) : kNames[Below(kNames.size())]; }

    std::string File()
    {
        std::string s;
        switch (Below(4)) {
        case 0:
            s = Pieces(80);
            break;
        case 1:
            s = "\xFF\xFE";  // UTF-16LE
            s += Pieces(40);
            break;
        default:  // a plausible file, then damaged
            for (std::size_t n = Below(12); n > 0; --n) {
                if (Below(3) == 0) {
                    s += '[';
                    s += Name();
                    s += ']';
                } else {
                    s += Name();
                    s += Below(2) ? "=" : " = ";
                    s += Pieces(3);
                }
                s += "\r\n";
            }
            for (std::size_t n = Below(4); n > 0 && !s.empty(); --n) {
                const std::size_t at = Below(s.size());
                switch (Below(3)) {
                case 0:
                    s[at] = static_cast<char>(Below(256));
                    break;
                case 1:
                    s.erase(at, 1 + Below(4));
                    break;
                default:
                    s.insert(at, kPieces[Below(kPieces.size())]);
                }
            }
        }
        return s;
    }

    std::optional<std::string> Value()
    {
        if (Below(8) == 0)
            return std::nullopt;
        return Below(6) == 0 ? std::string(200 + Below(100), 'x') : Pieces(4);
    }

private:
    std::mt19937 m_rng;
};

std::string_view stripSpaces(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b)
{
    return EqualsNoCaseCp1251(stripSpaces(a), stripSpaces(b));
}

// A value that reads back as written: nothing a read trims or unquotes, and short enough.
bool readsBackAsIs(const std::string& v)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v'; };
    if (v.size() > 255)
        return false;
    if (!v.empty() && (blank(v.front()) || blank(v.back())))
        return false;
    return !(v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front());
}

std::optional<std::string_view> view(const std::optional<std::string>& s)
{
    return s ? std::optional<std::string_view>(*s) : std::nullopt;
}

TEST(IniFileFuzz, RandomFilesAndEdits)
{
    Fuzzer fuzz(20240611);
    test::TempDir dir;
    const std::string path = dir.path("fuzz.ini");
    for (int round = 0; round < 10000; ++round) {
        IniFile ini(fuzz.File());
        const std::string original = ini.Bytes();

        // Other addresses must read the same after the edit.
        std::vector<std::pair<std::string, std::string>> others;
        for (int i = 0; i < 6; ++i)
            others.emplace_back(fuzz.Name(), fuzz.Name());
        std::vector<std::string> before;
        IniFile indexed = ini;
        indexed.Index();
        for (const auto& [s, k] : others) {
            before.push_back(ini.Value(s, k, "D"));
            ASSERT_LE(before.back().size(), 255u);
            ASSERT_EQ(indexed.Value(s, k, "D"), before.back()) << "indexed " << s << "/" << k;
        }

        const std::string section = fuzz.Name();
        const std::string key = fuzz.Name();
        const std::optional<std::string> value = fuzz.Value();
        const bool removeSection = fuzz.Below(10) == 0;
        bool ok = false;
        if (removeSection)
            ok = ini.RemoveSection(section);
        else
            ok = ini.SetValue(section, key, view(value));
        // An edit leaves no stale table behind.
        if (removeSection)
            indexed.RemoveSection(section);
        else
            indexed.SetValue(section, key, view(value));
        ASSERT_EQ(indexed.Value(section, key, "D"), ini.Value(section, key, "D"));

        SCOPED_TRACE(testing::PrintToString(original) + " <- " + testing::PrintToString(section) +
                     "/" + testing::PrintToString(key));
        if (!ok) {
            ASSERT_EQ(ini.Bytes(), original);
            continue;
        }
        if (!removeSection && value && readsBackAsIs(*value)) {
            ASSERT_EQ(ini.Value(section, key, "D"), *value);
        }
        for (std::size_t i = 0; i < others.size(); ++i) {
            const auto& [s, k] = others[i];
            if (sameName(s, section) && (removeSection || sameName(k, key)))
                continue;
            ASSERT_EQ(ini.Value(s, k, "D"), before[i]) << s << "/" << k;
        }

        // Now and then the same through a real file.
        if (round % 200 == 0 && !removeSection) {
            dir.write("fuzz.ini", original);
            ASSERT_EQ(IniFile::WriteString(path, section, key, view(value)), true);
            ASSERT_EQ(test::TempDir::read(path), ini.Bytes());
            ASSERT_EQ(IniFile::ReadString(path, section, key, "D"), ini.Value(section, key, "D"));
        }
    }
}

}  // namespace
}  // namespace orm
