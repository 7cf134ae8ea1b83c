#pragma once

// A main window on the offscreen platform with scripted prompts, for GUI tests.

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "app/mainwindow.h"
#include "core/text/cp1251.h"
#include "gui/kit/appcontext.h"
#include "support/fakeprompts.h"

namespace orm::test {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { create(); }

    void create(const std::string& caption = std::string())
    {
        window.reset();
        context = std::make_unique<AppContext>();
        context->Settings.AppCaption = ToCp1251(caption);
        context->Settings.TitleTime = 0;  // no splash in tests
        window = std::make_unique<MainWindow>(*context, &prompts);
        window->resize(1000, 700);
        window->show();
        QApplication::processEvents();
    }

    TMainTreeList& project() { return context->MainProject; }

    void TearDown() override
    {
        window.reset();
        EXPECT_TRUE(prompts.allAnswersUsed());
    }

    FakePrompts prompts;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<MainWindow> window;
};

}  // namespace orm::test
