#pragma once

// The main window fixture for the help tests.

#include <QMdiArea>

#include "support/guifixture.h"

namespace orm::test {

class HelpMainWindowTest : public MainWindowTest {
protected:
    void TearDown() override
    {
        // The area reports activations while the window is being destroyed, after the window's
        // own destructor has run (Qt asserts on that in debug builds); cut that off first.
        QObject::disconnect(window->MdiArea(), nullptr, window.get(), nullptr);
        MainWindowTest::TearDown();
    }
};

}  // namespace orm::test
