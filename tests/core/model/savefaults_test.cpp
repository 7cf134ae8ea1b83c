// Saves interrupted the hard way: a saving process killed at random moments, and a file system
// that fills up.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <set>
#include <thread>

#include "core/io/safefile.h"
#include "core/model/project.h"
#include "core/settings/inifile.h"
#include "support/fakeprompts.h"
#include "support/tempdir.h"

using namespace orm;
using test::TempDir;
namespace fs = std::filesystem;

namespace {

// A project of about `items` items over the four classifiers, two levels deep, with links.
void fill(TMainTreeList& project, int items, const std::string& tag)
{
    std::vector<TTreeList*> units;
    for (int k = 1; k <= 4; ++k) {
        TTreeList* tree = project.TreeByIndex(k);
        TTreeList* parent = nullptr;
        for (int i = 0; i < items / 4; ++i) {
            if (i % 100 == 0)
                parent = tree->AddChild("Group " + std::to_string(i) + " " + tag);
            TTreeList* item = parent->AddChild("Item " + std::to_string(i) + " " + tag);
            if (k == 4)
                units.push_back(item);
        }
    }
    std::mt19937 rng(7);
    for (int k = 1; k <= 3; ++k) {
        TTreeList* group = project.TreeByIndex(k)->Child(0);
        for (int i = 0; i < 50; ++i) {
            TTreeList* unit = units[rng() % units.size()];
            if (!group->Child(i)->IsLinkedWith(unit))
                group->Child(i)->Link(unit);
        }
    }
}

std::set<std::string> namesIn(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// Runs save in a child process `runs` times, killing it at a random moment within the time an
// uninterrupted save takes; before each run the target is reset to oldBytes. Checks that the
// target is always the old or the new bytes, whole.
void killWhileSaving(const std::string& target, const std::string& oldBytes,
                     const std::string& newBytes, const std::function<bool()>& save, int runs)
{
    const auto runChild = [&] {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(save() ? 0 : 1);
        return child;
    };
    // The time a whole save takes, to spread the kills over it (no assertion rests on it).
    const auto start = std::chrono::steady_clock::now();
    const pid_t timed = runChild();
    int status = 0;
    ::waitpid(timed, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    EXPECT_EQ(TempDir::read(target), newBytes);

    // The seed is printed, and ORMELIT_TEST_SEED gives it back, so a failure can be replayed.
    const char* given = std::getenv("ORMELIT_TEST_SEED");
    const unsigned seed = given ? unsigned(std::strtoul(given, nullptr, 10)) : std::random_device{}();
    std::cout << "[          ] seed " << seed << "\n";
    std::mt19937 rng(seed);
    int finished = 0;
    int leftTemporary = 0;
    const std::string folder = fs::path(target).parent_path().string();
    // Kills at random moments up to half again the time of a whole save; the rounds go on (up
    // to a limit) until kills have landed both before and after the save was done, so that the
    // test has seen the promise kept both ways.
    const long spread = whole.count() * 3 / 2 + 1;
    int run = 0;
    for (; run < runs || ((finished == 0 || finished == run) && run < runs * 5); ++run) {
        // Written in place: this is the test putting the old file back, not a save.
        std::ofstream(target, std::ios::binary | std::ios::trunc) << oldBytes;
        const pid_t child = runChild();
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % spread));
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        const std::string now = TempDir::read(target);
        const bool isNew = now == newBytes;
        EXPECT_TRUE(isNew || now == oldBytes) << "run " << run << ": " << now.size() << " bytes";
        finished += isNew;
        leftTemporary += namesIn(folder).size() > 1;
    }
    std::cout << "[          ] " << finished << " of " << run << " killed saves had finished, "
              << leftTemporary << " left a temporary\n";
    EXPECT_GT(finished, 0) << "no kill came after a save was done";
    EXPECT_LT(finished, run) << "no kill came before a save was done";
}

}  // namespace

TEST(SaveFaults, AProjectSaveKilledAtAnyMomentLeavesTheOldOrTheNewFile)
{
    TempDir dir;
    TMainTreeList before;
    fill(before, 100000, "old");
    const std::string target = dir.path("big.ovx");
    before.SetFileName(target);
    ASSERT_TRUE(before.WriteProjectFile());
    const std::string oldBytes = TempDir::read(target);

    TMainTreeList after;
    fill(after, 100000, "new");
    after.SetFileName(target);
    const std::string newBytes = after.ProjectFileText();
    ASSERT_NE(oldBytes, newBytes);

    killWhileSaving(target, oldBytes, newBytes, [&] { return after.WriteProjectFile(); }, 40);

    // Whatever the kills left behind, the next save leaves the target alone in its folder.
    ASSERT_TRUE(after.WriteProjectFile());
    EXPECT_EQ(namesIn(dir.root()), (std::set<std::string>{"big.ovx"}));
    EXPECT_EQ(TempDir::read(target), newBytes);
}

TEST(SaveFaults, ASettingsWriteKilledAtAnyMomentLeavesTheOldOrTheNewFile)
{
    TempDir dir;
    std::string oldBytes = "; settings\r\n[GRIDS]\r\nUSE_HINT=False\r\n";
    for (int n = 1; n <= 20000; ++n)
        oldBytes += "[EXTRAMENU" + std::to_string(n) + "]\r\nNAME=Program " +
                    std::to_string(n) + "\r\nPOSITION=1.1\r\n";
    const std::string target = dir.write("ormelit.INI", oldBytes);
    IniFile edited(oldBytes);
    ASSERT_TRUE(edited.SetValue("grids", "use_hint", "True"));
    const std::string newBytes = edited.Bytes();

    killWhileSaving(target, oldBytes, newBytes,
                    [&] { return IniFile::WriteString(target, "grids", "use_hint", "True"); },
                    40);
    ASSERT_TRUE(IniFile::WriteString(target, "GRIDS", "SELECT_UNBIND", "True"));
    EXPECT_EQ(namesIn(dir.root()), (std::set<std::string>{"ormelit.INI"}));
}

// A small tmpfs mounted for one test; mounted() is false where mounting is not allowed.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const std::string& folder, const char* size) : m_folder(folder)
    {
        fs::create_directories(folder);
        m_mounted = ::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                            (std::string("size=") + size).c_str()) == 0;
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(m_folder.c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }

private:
    std::string m_folder;
    bool m_mounted = false;
};

TEST(SaveFaults, AFullFileSystemGivesTheSaveMessageAndKeepsTheOldFile)
{
    TempDir dir;
    const std::string disk = dir.path("disk");
    SmallFileSystem small(disk, "256k");
    if (!small.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here; the injected write failure covers this";
    const std::string path = disk + "/p.ovx";
    const std::string settings = disk + "/ormelit.INI";
    // A killed save's temporary takes most of the room: it is given back first.
    std::ofstream(disk + "/.ormelit-save-4711.tmp", std::ios::binary) << std::string(200000, 's');
    TMainTreeList project;
    fill(project, 400, "small");
    project.SetFileName(path);
    ASSERT_TRUE(project.WriteProjectFile());
    ASSERT_TRUE(IniFile::WriteString(settings, "GRIDS", "USE_HINT", "False"));
    const std::string oldBytes = TempDir::read(path);
    const std::string oldSettings = TempDir::read(settings);

    fill(project, 20000, "large");  // far more than the file system holds
    test::FakePrompts prompts;
    EXPECT_FALSE(project.SaveProject(prompts));
    EXPECT_EQ(prompts.informs(), (std::vector<std::string>{"Ошибка сохранения проекта!"}));
    EXPECT_TRUE(project.Modified());
    EXPECT_EQ(TempDir::read(path), oldBytes);

    // Full to the last block: even a settings file of a few bytes cannot be saved.
    {
        std::ofstream filler(disk + "/filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())))
            filler.flush();
    }
    EXPECT_FALSE(IniFile::WriteString(settings, "GRIDS", "USE_HINT", "True"));
    EXPECT_EQ(TempDir::read(settings), oldSettings);
    EXPECT_EQ(namesIn(disk), (std::set<std::string>{"p.ovx", "ormelit.INI", "filler"}));
}
