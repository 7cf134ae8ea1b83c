#pragma once

// The folder a site is published into: the check that it is empty or an earlier publication,
// the staging folder the new site is written to, and the swap that puts it in place.

#include <string>
#include <string_view>
#include <vector>

namespace orm {

class SiteFolder {
public:
    // entries: the top-level names the new site will hold (files and folders), the marker
    // file not among them.
    SiteFolder(std::string folder, std::vector<std::string> entries);
    ~SiteFolder();  // removes the staging folder unless committed
    SiteFolder(const SiteFolder&) = delete;
    SiteFolder& operator=(const SiteFolder&) = delete;

    // Checks the target and makes the staging folder. False with a message (UTF-8) when the
    // folder is refused or cannot be used; *refused tells the two apart. Nothing is deleted
    // before a later Commit.
    bool Open(std::string& message, bool* refused);
    // Writes one file of the new site; path is relative to the site's root, its folders made
    // as needed.
    bool Write(std::string_view path, std::string_view bytes, std::string& reason);
    // Flushes the new site to disk and swaps it in for the earlier publication's entries. On
    // failure the earlier publication is put back as it was.
    bool Commit(std::string& reason);

private:
    bool makeFolders(const std::string& relative, std::string& reason);

    std::string m_folder;
    std::vector<std::string> m_entries;
    std::vector<std::string> m_oldEntries;  // the earlier publication's, from its marker
    std::string m_stage;
    std::vector<std::string> m_madeFolders;
    bool m_committed = false;
};

// The marker file's text: its head line, then the entries, one a line.
std::string SiteMarkerText(const std::vector<std::string>& entries);

}  // namespace orm
