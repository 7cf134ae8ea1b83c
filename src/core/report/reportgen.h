#pragma once

// The report generator: the twelve regulation and strategic-analysis documents, composed from
// the classifier trees and the links between their items. Nothing here opens a window: the GUI
// asks for the parameters and shows the finished document through ReportUi, messages go through
// Prompts, and GenerateReport does the whole job without either for batch use.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/io/progress.h"
#include "core/model/metamodel.h"
#include "core/model/treelist.h"
#include "core/report/reportwriter.h"

namespace orm {

class ByteSink;

class Prompts;

// Report numbers the generator composes: 1..kReportCount.
inline constexpr int kReportCount = 12;

struct ReportOptions {
    bool Rtf = false;             // REPORTS/OUTFILE_FORMAT is "RTF"; plain text otherwise
    bool UseInformation = false;  // REPORTS/USE_INFORMATION: list the parameters in the head
};

// A finished document, as the viewer takes it.
struct ReportDocument {
    std::string Bytes;    // the whole RTF or plain-text document, Windows-1251
    bool IsRtf = false;   // false: the viewer loads Bytes as plain text
    std::string Caption;  // the report's name + ".RTF" or ".TXT"
};

// Why a request gave no document.
enum class ReportFault {
    None,
    NotWorking,  // "Отчет : <name>\nНе работает!": no such report, or nothing to build it from
    NoItems,     // "Не заданы <classifier>!": a row that needs one item on an empty classifier
    BadChoice,   // a headless parameter choice the dialog could not have made
};

// -- what the parameter dialog offers

// The entries of a row's item selector, in order, as (text, node): mode 1 the classifier's tree
// node and then every item (the selector is disabled, so the tree node stays chosen); mode 2 the
// items only; mode 3 the tree node shown as "Все", then the items. Items come in pre-order with
// their row texts. Throws ELoadInvalid or EListError when the project has no tree for the row's
// classifier (TReportObj::PrepareParameters has checked that before a dialog is shown).
ItemList StartChoices(TTreeList& project, const ReportParam& row);
// How many detail levels the level selector offers below a start node: the levels of items
// there are, the node itself counting when it is an item. 0 for a classifier without items.
int LevelChoiceCount(const TTreeList& start);
// The level selector's entries: "Все", then "1" .. LevelChoiceCount. Position = Levels.
std::vector<std::string> LevelChoiceTexts(const TTreeList& start);

// "Отчет : " + the report's name + "\nНе работает!"
std::string ReportFailureMessage(int n, const TStructRes& meta = Metamodel());

// One report request: its parameter rows and the document written from them.
class TReportObj {
public:
    explicit TReportObj(TTreeList& project, const TStructRes& meta = Metamodel());
    ~TReportObj();

    ReportParamRows& Params() { return m_params; }
    const ReportParamRows& Params() const { return m_params; }
    int ReportNumber() const { return m_reportNumber; }
    bool IsRtf() const { return m_writer.IsRtf(); }

    // Mode, classifier and caption of report n's rows from the metamodel, each row preset to the
    // dialog's first entry with all levels. Anything but None leaves message set to the text to
    // show, and there is nothing to ask.
    ReportFault PrepareParameters(int n, std::string& message);

    // Writes report n from Params in the chosen format. False when it cannot be composed: a
    // number outside 1..12, a row the report reads that has no start item of its classifier in
    // this project, or a fault of the model on the way; the partial document is dropped.
    // progress is told the report's sections written of all, and now and then within a long
    // one; when it says stop, the partial document is dropped and WorkCancelled thrown.
    bool BuildReport(int n, const ReportOptions& options, const Progress& progress = {});
    // The same with the document's bytes handed to sink as they are made: the document's
    // Bytes stay empty. On false or a cancel, part of the document may have reached the sink
    // already.
    bool BuildReport(int n, const ReportOptions& options, ByteSink& sink,
                     const Progress& progress = {});
    // The document of the last successful BuildReport (moved out).
    ReportDocument TakeDocument() { return std::move(m_document); }

    // The body of report ReportNumber into the current document; false when it cannot be
    // composed (see BuildReport).
    bool ComposeReport();

private:
    class DocumentIndex;
    // A linked item and its place in the document index (DocumentIndex::kAbsent when it has
    // none).
    struct Linked {
        TTreeList* Node;
        uint32_t At;
    };

    // One entry of a correspondence: a subtree (node with its detail levels) and its caption.
    struct CorrEntry {
        TTreeList* Node = nullptr;
        int Levels = 0;
        std::string Caption;
    };

    void WriteHeader(std::string subject, std::string title, const std::string& subtitle);
    void WriteSection(const std::string& title);
    void WriteParamTree(int k);
    // Row m's subtree, each node followed by its linked items in the subtrees of rows details.
    void WriteCorrespondence(int m, const std::vector<int>& details);
    void writeCorrespondence(const CorrEntry& master, const std::vector<CorrEntry>& details);

    void composeStructure();
    void composeActivity();
    void composeStrategic();

    void line(ParaStyle style, const std::string& text)
    {
        tick();
        m_writer.WriteLine(style, text);
    }
    // One step of work (a node walked, a paragraph written); every few thousand of them tell
    // the progress, so that a cancel is heard within a long section too.
    void tick()
    {
        if (m_progress && ++m_ticks >= kTicksPerBeat)
            beat();
    }
    void beat();
    const ReportParam& row(int k) const { return m_params[static_cast<size_t>(k - 1)]; }
    bool rowsUsable(int needed) const;
    std::string classifierName(int k) const;
    // The item's row text, "number name", as one string.
    std::string lineText(const TTreeList* node);

    // The index of the current document, made at its first use.
    DocumentIndex& index();
    // The item's row text ("number name") as one paragraph; at is its place in the index.
    void itemLine(ParaStyle style, const TTreeList* node, uint32_t at);
    void itemLine(ParaStyle style, const TTreeList* node);
    // Calls visit(level, node, at) for the nodes start->WalkLevels(from, levels) visits, in
    // the same order with the same levels.
    template <typename Visit>
    void walk(TTreeList* start, int from, int levels, Visit&& visit);
    // The items linked to the nodes start->WalkLevels(from, levels) visits, each once, in the
    // order of their padded numbers (TTreeList::LinkedItemsByClassifier with classifier 0).
    void linkedItems(TTreeList* start, int from, int levels, std::vector<Linked>& out);
    int classifierOf(const Linked& item);
    bool isWithinLevels(const Linked& item, const TTreeList* top, int levels);

    TTreeList* m_root;
    const TStructRes& m_meta;
    TReportWriter m_writer;
    int m_reportNumber = 0;
    ReportParamRows m_params{};
    bool m_useInformation = false;
    int m_sectionCount = 0;
    int m_sectionTotal = 0;  // sections of the report being composed
    static constexpr int kTicksPerBeat = 4096;
    const Progress* m_progress = nullptr;  // while a report is built with one
    int m_ticks = 0;
    std::unique_ptr<DocumentIndex> m_index;
    ReportDocument m_document;
};

// What the GUI supplies to the report command.
class ReportUi {
public:
    virtual ~ReportUi() = default;
    // The parameter dialog. The rows arrive with Mode, Classifier and Caption set and preset to
    // the first offered start (StartChoices) with all levels (0); store the user's StartItem
    // and Levels for each row up to the first of mode 0. False when the user cancelled.
    virtual bool AskParameters(int n, TTreeList& project, ReportParamRows& rows) = 0;
    // The modal viewer; the document is not needed after it returns.
    virtual void ShowReport(const ReportDocument& document) = 0;
};

// The command "make report n": ask for the parameters, write the document, show it. Messages
// ("Не заданы ...!", "Отчет : ...\nНе работает!") go through prompts, and so does the progress
// of the writing; a cancelled report shows nothing and says nothing.
void MakeReport(int n, TTreeList& project, const ReportOptions& options, ReportUi& ui,
                Prompts& prompts);

// A headless choice for one parameter row.
struct ParamChoice {
    std::string StartNumber;  // dotted number of the start node, the classifier index for the
                              // whole classifier ("Все"); empty: the dialog's first entry
    int Levels = 0;           // 0: all levels
};

struct ReportOutcome {
    ReportFault Fault = ReportFault::None;
    std::string Message;  // Windows-1251; for BadChoice a description of the wrong choice
    ReportDocument Document;
};

// Report n of project with the given choices for rows 1, 2, ... (rows without a choice take
// the dialog's first entry and all levels); checks every choice as the dialog would limit it.
ReportOutcome GenerateReport(TTreeList& project, int n, const std::vector<ParamChoice>& choices,
                             const ReportOptions& options);

}  // namespace orm
