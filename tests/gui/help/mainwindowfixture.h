#pragma once

// The main window fixture for the help tests.

#include "support/guifixture.h"

namespace orm::test {

using HelpMainWindowTest = MainWindowTest;

}  // namespace orm::test
