#pragma once

// Context help: F1 anywhere, and the main window's help command, show the help for the window
// the user is working in. The window gives a context name, the help index file maps it to a
// keyword, and the help file (HTML, its named anchors being the keywords) is shown at it. No
// message is ever shown: missing files make F1 do nothing.
//
// How a window takes part (every window class follows this, whatever its C++ class is called):
//  - its objectName() is its window class name: "TF_Main", "TF_A1", "TF_A14", "TF_SETUP",
//    "TF_RTF", "TF_WMF", "TF_RepParam", "TF_ItemEdit", "TF_SAMPL", "TF_About", ...; set it in
//    the constructor. The name must begin with "TF_": that is what makes a widget a window here
//    (see OwningHelpForm) and what keeps its controls' names (Outline1, OKBtn) out of the way.
//  - its Tag is TF_Base::Tag() for TF_Base windows; any other window that has a Tag gives it as
//    the dynamic property "helpTag" (an int), e.g. setProperty("helpTag", 3).
// A child window inside the main window yields "TF_Main_TF_A1_tag4" while the keyboard focus is
// in it; a dialog yields its own name, "TF_SETUP".

#include <QString>
#include <string>

class QWidget;

namespace orm {

class TKXHotKey;

// The window class name of w: its objectName() when that is set, else its C++ class name
// without the namespace.
QString HelpClassName(const QWidget* w);
// The Tag of w: TF_Base::Tag(), else the "helpTag" property, else 0.
int HelpTag(const QWidget* w);
// The window that owns w: the nearest of w and its ancestors whose objectName() begins with
// "TF_" or that is a TF_Base or a top-level window. A focused subwindow frame in the main
// window's area stands for the window it holds.
QWidget* OwningHelpForm(QWidget* w);

// The context name (Windows-1251) for an active top-level window and the focused widget; with
// no active window, the main window's "TF_Main".
std::string HelpContextName(QWidget* activeWindow, QWidget* focusWidget);

// The help index file and the help key's handler, for the whole program.
class TQhlFile {
public:
    static const std::string& IndexFileName();
    // Fixed at start-up; empty switches help off.
    static void SetIndexFileName(std::string nativePath);
    // The handler entered for F1: ShowContextHelp().
    static void HelpKey(int key, int modifiers);
};

// Start-up, before the main window: fixes the help index file (Help / HelpIniFileName of the
// settings file, or the executable's path with ".QHL") and enters F1 in hotKeys.
void InitContextHelp(TKXHotKey& hotKeys, const std::string& settingsFile,
                     const std::string& executablePath);

// Help for the window the user is working in (the application's active window and focus).
void ShowContextHelp();
// Looks context up in the help index and shows the help file at its keyword.
void ShowHelpTopic(const std::string& context);

}  // namespace orm
