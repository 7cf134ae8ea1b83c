#pragma once

// The report parameter dialog: one row per parameter of the report, each choosing the node the
// report starts at and how many levels below it are reported.

#include <QDialog>
#include <QFrame>

#include "core/model/metamodel.h"
#include "core/model/treelist.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace orm {

class Prompts;
class StartChoiceModel;
struct FontSpec;

// One parameter row: the row's caption over the item selector, "Уровни детализации" over the
// level selector. The item selector's entries carry their nodes; the level selector's position
// is the number of levels (0: all).
class TFrameParam : public QFrame {
    Q_OBJECT
public:
    static constexpr int kWidth = 503;
    static constexpr int kHeight = 57;

    explicit TFrameParam(QWidget* parent = nullptr);

    // The designed sizes at the default font; a larger font gets the room its text needs:
    // TextGrowth more pixels of height for each line of text and control, and a level column
    // wide enough for its caption.
    int TextGrowth() const;
    int LevelWidth() const;
    int ComboHeight() const;
    int NeededHeight() const { return 28 + TextGrowth() + ComboHeight() + 8; }
    int NeededWidth() const { return kWidth + LevelWidth() - 147; }

    // The entries of the item selector; chooses the first and refreshes the levels.
    void SetChoices(const ItemList& choices);
    // The node of the chosen entry, or nullptr when there is none.
    TTreeList* ChosenNode() const;
    int ChosenLevels() const;
    // The level selector rebuilt for the chosen node ("Все", "1" .. the item levels below it)
    // with "Все" chosen.
    void RefreshLevels();

    QLabel* Label1;
    QLabel* Label2;
    QComboBox* ComboBox1;
    QComboBox* ComboBox2;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ComboBox1Change();

    StartChoiceModel* m_choices;
};

// "Параметры отчета": the report's rows over the buttons "Да" and "Отказ". A QDialog like the
// program's other modal dialogs, with the shared font, so that exec() and Escape behave as
// users expect; it is created for one request and destroyed by its owner.
// Its objectName stays "TF_RepParam", the form name by which help index files address it.
class ReportParamDialog : public QDialog {
    Q_OBJECT
public:
    // Client width: the designed 566 less the window frame.
    static constexpr int kClientWidth = 558;
    static constexpr int kPanelHeight = 42;

    explicit ReportParamDialog(QWidget* parent = nullptr, const FontSpec* font = nullptr);

    // One frame per row up to the first of mode 0, stacked from the top, and the dialog made
    // exactly as tall as its frames and the buttons. False, after "Не заданы <classifier>!"
    // through prompts, when a row has nothing to offer: a mode-2 row on a classifier without
    // items, or a classifier the project lacks. The dialog must not be shown then.
    bool Build(TTreeList& project, const ReportParamRows& rows, Prompts& prompts);
    // Every frame's choice into its row: StartItem and Levels.
    void Store(ReportParamRows& rows) const;
    QList<TFrameParam*> Frames() const { return m_frames; }
    // Places the dialog in the middle of its screen's available area.
    void CentreOnScreen();

    QFrame* Panel1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

private:
    void layoutFrames();

    QList<TFrameParam*> m_frames;
};

// How much taller than 16 pixels a line of text in font is: none at the default font.
int TextGrowthFor(const QFont& font);

}  // namespace orm
