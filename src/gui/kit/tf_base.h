#pragma once

// The base of the main window's child windows (classifier, projection and samples windows):
// knows the main window (through the hub) and its tag, frees itself when closed and takes the
// shared font.

#include <QWidget>

namespace orm {

class MainHub;
struct FontSpec;

// The shared font as a QFont. "System" (the Windows default face) means the desktop's own.
QFont SharedQFont(const FontSpec& spec);

class TF_Base : public QWidget {
    Q_OBJECT
public:
    TF_Base(MainHub* hub, int tag, QWidget* parent = nullptr);

    MainHub* Hub() const { return m_hub; }
    int Tag() const { return m_tag; }
    // Takes the name and size of the shared font.
    void ApplySharedFont();
    // A child window's toolbar shows only while that window is the active child.
    virtual void SetToolBarVisible(bool visible) { (void)visible; }
    // Scrolls the current row or cell into view, after the window changed size.
    virtual void ShowCurrent() {}

protected:
    MainHub* m_hub;
    int m_tag;
};

}  // namespace orm
