#pragma once

// The find bar: a text matched against item numbers and names, over every classifier or the
// active one; Enter and F3 go to the next match, Shift+F3 to the one before. A match is shown by
// the main window (its classifier window opened if need be, its row selected).

#include <QToolBar>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;

namespace orm {

class TTreeList;

class FindBar : public QToolBar {
    Q_OBJECT
public:
    struct Hooks {
        std::function<TTreeList*()> root;             // the project
        std::function<int()> activeClassifier;        // 0 when no classifier window is active
        std::function<TTreeList*()> selectedItem;     // where the next search starts from
        std::function<void(TTreeList*)> showItem;
    };
    FindBar(Hooks hooks, QWidget* parent = nullptr);

    // Shows the bar with the text selected for typing.
    void Open();
    // Goes to the next (previous) match; false, with "Не найдено" shown, when there is none.
    bool FindNext(bool backwards = false);

    QLineEdit* Edit;
    QComboBox* Scope;
    QLabel* Status;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    Hooks m_hooks;
};

}  // namespace orm
