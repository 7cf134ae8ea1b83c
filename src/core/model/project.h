#pragma once

// The project: the root of the classifier trees with the file it was read from or saved to, the
// project file format, and the commands of the File menu. Every question goes through Prompts.

#include <functional>
#include <optional>
#include <string>

#include "core/io/filestamp.h"
#include "core/io/progress.h"
#include "core/io/safefile.h"
#include "core/model/edithistory.h"
#include "core/model/treelist.h"
#include "core/prompts/prompts.h"

namespace orm {

// The outcome of reading a project file without showing anything.
struct LoadResult {
    bool Ok = true;
    std::string Fault;  // internal text of the format fault ("Line count = 0", ...)
    // The file could not be opened, or a read failed: not a project file's fault.
    bool Unreadable = false;
    // Read whole, but the last line has no line break. The program always ends its files with
    // one, so the file may have been cut short (a full disk, a copy broken off), or edited by
    // hand; its last line is kept all the same.
    bool CutOff = false;
};

// What the program says of a cut-off file, in UTF-8, naming it by path.
std::string CutOffWarning(const std::string& path);

class TMainTreeList final : public TTreeList {
public:
    // A new project: "Новый проект", no file, one empty tree per classifier, not modified.
    TMainTreeList();
    ~TMainTreeList();

    const std::string& FileName() const { return m_fileName; }
    void SetFileName(std::string fileName) { m_fileName = std::move(fileName); }
    bool Modified() const { return ModifiedFlag(); }
    // The project a node belongs to, or nullptr for a tree outside any project.
    static TMainTreeList* Of(TTreeList* node)
    {
        TTreeList* root = node->Root();
        return root->m_isProject ? static_cast<TMainTreeList*>(root) : nullptr;
    }

    // The caller may go on (nothing unsaved is left, or the user let it go).
    bool QuerySave(Prompts& prompts);
    bool NewProject(Prompts& prompts);
    // True when a file was chosen and read, whether it loaded whole or not. A reading the user
    // cancelled leaves the project as it was, its modified flag too, and gives false.
    bool OpenProject(Prompts& prompts);
    // The same for a file named beforehand (the recent list, the command line, another start).
    bool OpenProjectFile(const std::string& path, Prompts& prompts);
    // True when the project was written. A project read only in part (a format fault, or a
    // file cut off) is not written over the file it came from unasked: its first save goes
    // through the save dialog. Nor is a file that changed on disk since it was read or saved.
    // A save the user cancelled leaves the file and the project as they were, and says nothing.
    bool SaveProject(Prompts& prompts);
    bool SaveProjectAs(Prompts& prompts);
    std::string_view EditProjectName(Prompts& prompts);

    // Reads the file into this project; a format fault shows "Не верный формат проекта!", a
    // file cut off its own message. False also when the user cancelled the reading.
    bool LoadProjectFile(const std::string& path, Prompts& prompts);
    // The same without a message: the project keeps what was read before a fault. The file
    // is read beside the project, which takes its place only once the reading is over, so a
    // reading cancelled through progress (bytes read of the file's size) throws WorkCancelled
    // and leaves the project untouched.
    LoadResult ReadProjectFile(const std::string& path, const Progress& progress = {});
    LoadResult ReadProjectText(const std::string& bytes);
    // The whole file as written: CR LF line ends, Windows-1251.
    std::string ProjectFileText();
    // The same bytes handed to sink a block at a time, with progress told the items written
    // of all; WorkCancelled when it says stop.
    void WriteProjectText(ByteSink& sink, const Progress& progress = {});
    // Writes ProjectFileText to FileName through a temporary file; false and *error on failure.
    // A cancel through progress throws WorkCancelled and leaves the file as it was.
    bool WriteProjectFile(std::string* error = nullptr, const Progress& progress = {});
    // The file as it was last read or written, for the check before the next save over it.
    const std::optional<FileStamp>& Stamp() const { return m_stamp; }

    // Back to an empty new project without asking (file name cleared, not modified, no
    // history).
    void Reset();

    // Every edit of the project (ProjectEdits, the project name) is recorded here. Undo and Redo
    // leave the project modified unless they arrive at the saved state.
    EditHistory& History() { return m_history; }
    std::optional<EditEffect> Undo();
    std::optional<EditEffect> Redo();
    // Called first thing in every Reset, before any tree is destroyed (a new project, a file
    // being read), so that views holding items let go of them.
    void SetBeforeReset(std::function<void()> watcher) { m_beforeReset = std::move(watcher); }

private:
    enum class SaveOutcome { Saved, Failed, Cancelled };

    class LinkLines;
    class ProjectWriter;
    template <typename Lines>
    LoadResult readProject(Lines& lines);
    // The project takes the trees, name and modified flag of staging, which is left empty.
    void takeContent(TMainTreeList& staging);
    // QuerySave that also tells whether the user let unsaved changes go.
    bool querySave(Prompts& prompts, bool& discarded);
    // LoadProjectFile with the open command's handling of the modified flag.
    bool openFile(const std::string& path, Prompts& prompts, bool discarded);
    // The file read with progress shown; nothing when the user cancelled.
    std::optional<LoadResult> loadFile(const std::string& path, Prompts& prompts);
    // The file written to FileName after the check that no one else changed it.
    SaveOutcome writeFile(Prompts& prompts);

    std::string m_fileName;
    std::function<void()> m_beforeReset;
    EditHistory m_history;
    // The last file load stopped at a format fault, could not read the file, or found it cut
    // off.
    bool m_readInPart = false;
    std::optional<FileStamp> m_stamp;
};

// File dialog settings of the open and save commands.
FileDialogSpec ProjectOpenDialog();
FileDialogSpec ProjectSaveDialog(const std::string& initialFileName);

}  // namespace orm
