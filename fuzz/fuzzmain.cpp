// The libFuzzer program of one target, named by ORMELIT_FUZZ_TARGET at compile time.

#include <QGuiApplication>
#include <cstdlib>
#include <memory>

#include "fuzz/fuzztargets.h"

namespace {

const orm::fuzz::Target& target()
{
    static const orm::fuzz::Target* t = orm::fuzz::FindTarget(ORMELIT_FUZZ_TARGET);
    if (!t)
        std::abort();
    return *t;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    if (target().NeedsGui) {
        // Fonts and painting need a GUI application; offscreen, as in the tests. It lives as
        // long as the process.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static QGuiApplication* app = new QGuiApplication(*argc, *argv);
        (void)app;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    target().Run(data, size);
    return 0;
}
