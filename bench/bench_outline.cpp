// A classifier window of 10^3..10^5 rows: filling it, and each edit the user makes in it (add,
// delete, move, rename) as the window does it, the view shown and repainted. The edits run with
// only the classifier's own row expanded, as the window opens (BM_Edit...), and with every row
// expanded (BM_Expanded...), where a view may lay out all 10^5 rows again; with every row
// expanded, each edit's undo and redo are timed too (BM_ExpandedUndo..., BM_ExpandedRedo...).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeView>
#include <functional>

#include "app/mainwindow.h"
#include "core/model/project.h"
#include "gui/classifier/classifierwindow.h"
#include "gui/kit/appcontext.h"
#include "projectgen.h"

using namespace orm;

namespace {

// Answers every question at once: yes, the queued name, nothing to open.
class BenchPrompts : public Prompts {
public:
    std::string NextInput = "new";
    void Inform(const std::string&) override {}
    bool Confirm(const std::string&, Answer) override { return true; }
    Answer AskYesNoCancel(const std::string&) override { return Answer::No; }
    std::optional<std::string> InputText(const std::string&, const std::string&) override
    {
        return NextInput;
    }
    std::optional<std::string> OpenFileName(const FileDialogSpec&) override { return {}; }
    std::optional<std::string> SaveFileName(const FileDialogSpec&) override { return {}; }
};

// A main window whose classifiers have n items each (a few wide levels, up to five deep, as the
// generator makes them), the window of classifier 1 open and shown.
struct Fixture {
    explicit Fixture(int items)
    {
        context.Settings.TitleTime = 0;  // no splash
        // Read as a file is, so that the items' links stay within the project.
        context.MainProject.ReadProjectText(bench::GenerateProject(items * 4)->ProjectFileText());
        context.MainProject.SetModified(false);
        window = std::make_unique<MainWindow>(context, &prompts);
        window->resize(1200, 900);
        window->show();
        classifier = window->OpenClassifier(1);
        QApplication::processEvents();
    }
    ~Fixture() { window.reset(); }

    TTreeList* tree() { return context.MainProject.TreeByIndex(1); }
    void select(TTreeList* item)
    {
        classifier->SelectItem(item);
        QApplication::processEvents();
    }

    AppContext context;
    BenchPrompts prompts;
    std::unique_ptr<MainWindow> window;
    ClassifierWindow* classifier = nullptr;
};

void BM_FillOutline(benchmark::State& state)
{
    Fixture f(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        f.classifier->FillOutline();
        QApplication::processEvents();
    }
    state.SetComplexityN(state.range(0));
}

enum class Edit { Add, Delete, Move, Rename };

// The first top item without items below it: deleting it renumbers the top items after it and
// their subtrees, and costs the tree itself next to nothing.
TTreeList* firstLeaf(TTreeList* tree)
{
    for (int i = 0; i < tree->Count(); ++i) {
        if (tree->Child(i)->Count() == 0)
            return tree->Child(i);
    }
    return tree->Child(0);
}

// What is timed of an edit: the edit itself, its undo or its redo.
enum class Phase { Edit, Undo, Redo };

// One edit of a top item of a classifier of 10^5 items, or its undo or redo, timed with the
// repaint that follows; whatever puts the classifier back is not timed.
void windowEdit(benchmark::State& state, Edit edit, bool expanded, Phase phase)
{
    Fixture f(100000);
    if (expanded)
        f.classifier->Outline1->expandAll();
    QApplication::processEvents();
    int round = 0;
    const auto timed = [&state](bool on, const std::function<void()>& step) {
        if (!on)
            state.PauseTiming();
        step();
        QApplication::processEvents();
        if (!on)
            state.ResumeTiming();
    };
    for (auto _ : state) {
        state.PauseTiming();
        f.select(edit == Edit::Delete ? firstLeaf(f.tree()) : f.tree()->Child(0));
        f.prompts.NextInput = "name " + std::to_string(++round);
        state.ResumeTiming();
        timed(phase == Phase::Edit, [&] {
            switch (edit) {
            case Edit::Add:
                f.classifier->ActionAdd->trigger();
                break;
            case Edit::Delete:
                f.classifier->ActionDel->trigger();
                break;
            case Edit::Move:
                // Down: the first top item cannot go up. Each round starts from the same tree, so
                // every round moves.
                f.classifier->ActionDown->trigger();
                break;
            case Edit::Rename:
                f.classifier->ActionMod->trigger();
                break;
            }
        });
        // Every phase ends with the edit undone, so that each round finds the same tree.
        timed(phase == Phase::Undo, [&] { f.window->EditUndo1->trigger(); });
        if (phase == Phase::Redo) {
            timed(true, [&] { f.window->EditRedo1->trigger(); });
            timed(false, [&] { f.window->EditUndo1->trigger(); });
        }
    }
}

#define ORMELIT_EDIT_BENCHMARKS(KIND)                                                          \
    void BM_Edit##KIND(benchmark::State& state)                                                \
    {                                                                                          \
        windowEdit(state, Edit::KIND, false, Phase::Edit);                                     \
    }                                                                                          \
    void BM_Expanded##KIND(benchmark::State& state)                                            \
    {                                                                                          \
        windowEdit(state, Edit::KIND, true, Phase::Edit);                                      \
    }                                                                                          \
    void BM_ExpandedUndo##KIND(benchmark::State& state)                                        \
    {                                                                                          \
        windowEdit(state, Edit::KIND, true, Phase::Undo);                                      \
    }                                                                                          \
    void BM_ExpandedRedo##KIND(benchmark::State& state)                                        \
    {                                                                                          \
        windowEdit(state, Edit::KIND, true, Phase::Redo);                                      \
    }                                                                                          \
    BENCHMARK(BM_Edit##KIND)->Iterations(20)->Unit(benchmark::kMillisecond);                  \
    BENCHMARK(BM_Expanded##KIND)->Iterations(20)->Unit(benchmark::kMillisecond);              \
    BENCHMARK(BM_ExpandedUndo##KIND)->Iterations(20)->Unit(benchmark::kMillisecond);          \
    BENCHMARK(BM_ExpandedRedo##KIND)->Iterations(20)->Unit(benchmark::kMillisecond);

ORMELIT_EDIT_BENCHMARKS(Add)
ORMELIT_EDIT_BENCHMARKS(Delete)
ORMELIT_EDIT_BENCHMARKS(Move)
ORMELIT_EDIT_BENCHMARKS(Rename)

}  // namespace

BENCHMARK(BM_FillOutline)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);
