// One running copy per user: a later start hands its file to the running copy, which opens it as
// the user would (or just comes to the front when it has that file already), and a socket left
// by a copy that died does not keep the next start from running.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <QDialog>
#include <QElapsedTimer>
#include <QProcess>
#include <atomic>
#include <filesystem>
#include <thread>

#include "app/singleinstance.h"
#include "support/guifixture.h"
#include "support/tempdir.h"

using namespace orm;
using test::MainWindowTest;
namespace fs = std::filesystem;

namespace {

void runEvents(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A later start, on a thread of its own, while this thread runs the running copy's events.
bool handOver(const std::string& socket, const std::string& file)
{
    std::atomic<int> taken{-1};
    std::thread start([&] { taken = SingleInstance(socket).HandOver(file); });
    QElapsedTimer timer;
    timer.start();
    while (taken < 0 && timer.elapsed() < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    start.join();
    runEvents(50);  // the open comes after the answer
    return taken == 1;
}

}  // namespace

TEST_F(MainWindowTest, ALaterStartHandsItsFileToTheRunningCopy)
{
    test::TempDir dir;
    const std::string socket = dir.path("s");
    SingleInstance running(socket);
    ASSERT_FALSE(running.HandOver(std::string()));
    ASSERT_TRUE(running.Listen([this](const std::string& path) { window->OpenHandedFile(path); }));
    const std::string a = dir.write("a.ovx", ToCp1251("0 А\r\n"));
    const std::string b = dir.write("новый\n2.ovx", ToCp1251("0 Б\r\n"));  // any byte but NUL
    const std::string alias = dir.path("alias.ovx");
    fs::create_symlink(a, alias);

    EXPECT_TRUE(handOver(socket, a));
    EXPECT_EQ(project().FileName(), a);
    project().SetModified(true);
    // The same file, under its name or another, or none: the window comes to the front, the
    // work in it stays, nothing is asked.
    for (const std::string& same : {a, alias, std::string()})
        EXPECT_TRUE(handOver(socket, same));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(project().FileName(), a);

    // Another file is opened as File → Open would, but not under an open dialog, which would be
    // left holding items that are gone.
    QDialog dialog(window.get());
    dialog.setModal(true);
    dialog.show();
    EXPECT_TRUE(handOver(socket, b));
    runEvents(300);
    EXPECT_TRUE(prompts.shown.empty());
    dialog.close();
    prompts.queueAnswer(Prompts::Answer::Cancel);
    runEvents(400);
    EXPECT_EQ(prompts.shown, std::vector<std::string>{"ask: Проект изменен. Сохранить?"});
    EXPECT_EQ(project().FileName(), a);
    prompts.queueAnswer(Prompts::Answer::No);
    EXPECT_TRUE(handOver(socket, b));
    EXPECT_EQ(project().FileName(), b);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Б - Ормелит"));
}

// The program itself: a second start (without a file) hands over and ends; after the first is
// killed, its socket left behind, the next start runs and listens in its place.
TEST(SingleInstance, TheProgramRunsOnce)
{
    test::TempDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_STATE_HOME"})
        env.insert(QString::fromLatin1(name), QString::fromStdString(dir.root().string()));
    const std::string socket = dir.path("ormelit-" + std::to_string(::geteuid()) + ".socket");
    QProcess first, second, third;
    for (QProcess* p : {&first, &second, &third})
        p->setProcessEnvironment(env);

    first.start(QStringLiteral(ORMELIT_GUI_PATH), QStringList());
    ASSERT_TRUE(first.waitForStarted(30000));
    QElapsedTimer timer;
    timer.start();
    while (!fs::exists(socket) && timer.elapsed() < 30000)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    second.start(QStringLiteral(ORMELIT_GUI_PATH), QStringList());
    EXPECT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    first.waitForFinished(30000);
    ASSERT_TRUE(fs::exists(socket));
    third.start(QStringLiteral(ORMELIT_GUI_PATH), QStringList());
    EXPECT_FALSE(third.waitForFinished(1500));
    EXPECT_TRUE(SingleInstance(socket).HandOver(std::string()));
    third.kill();
    third.waitForFinished(30000);
}
