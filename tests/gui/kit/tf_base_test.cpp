#include "gui/kit/tf_base.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "gui/kit/appcontext.h"
#include "gui/kit/mainhub.h"
#include "support/fakeprompts.h"

using namespace orm;

namespace {

// A hub without a main window: the kit must need nothing more.
class BareHub : public MainHub {
public:
    AppContext& Context() const override { return context; }
    Prompts& prompts() const override { return fake; }
    QWidget* HubWidget() override { return nullptr; }
    QMdiArea* MdiArea() const override { return nullptr; }
    void ShowItemEverywhere(TTreeList*, QWidget*) override {}
    void RepaintProjections(bool) override {}
    void ReleaseProjections(int) override {}
    QAction* UndoAction() const override { return nullptr; }
    QAction* RedoAction() const override { return nullptr; }
    void RefreshProjections(int) override {}
    void ExecuteCommand(int) override {}

    mutable AppContext context;
    mutable test::FakePrompts fake;
};

}  // namespace

TEST(TF_Base, TakesTheSharedFontFromTheHubWhenMadeAndWhenAsked)
{
    BareHub hub;
    hub.context.SharedFont.Face = "Liberation Serif";
    hub.context.SharedFont.Size = 14;
    auto* window = new TF_Base(&hub, 4);
    EXPECT_EQ(window->Hub(), &hub);
    EXPECT_EQ(window->Tag(), 4);
    EXPECT_TRUE(window->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(window->font().family(), QStringLiteral("Liberation Serif"));
    EXPECT_EQ(window->font().pointSize(), 14);

    // "System" is the desktop's own face; a size of 0 keeps the desktop's size.
    hub.context.SharedFont.Face = "system";
    hub.context.SharedFont.Size = 0;
    window->ApplySharedFont();
    EXPECT_EQ(window->font().family(), QApplication::font().family());
    EXPECT_EQ(window->font().pointSize(), QApplication::font().pointSize());
    window->close();  // frees itself
}
