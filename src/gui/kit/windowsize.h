#pragma once

// Windows that remember their last size in the program's state file (the report viewer and the
// organigram window), in pixels as designed at 96 dpi so that a size kept on one screen fits
// another of a different font resolution.

class QWidget;

namespace orm {

struct ProgramState;
struct WindowSize;

// The program's remembered state, reached from a window through the main window among its
// ancestors; nullptr for a window shown outside the program (a tool, a test without one).
ProgramState* ProgramStateOf(const QWidget* window);

// Resizes window to kept, grown with the screen's font resolution and held within the screen;
// a size never kept leaves the window as it is.
void RestoreWindowSize(QWidget* window, const WindowSize& kept);

// Keeps the window's size for formName ("TF_RTF", "TF_WMF") in state and its file; nothing
// without state.
void KeepWindowSize(const QWidget* window, ProgramState* state, const char* formName);

}  // namespace orm
