// The help window and its list of topics: the list is a child of the window and may go first
// (closed by the user) or with the window; neither way may touch a window that is half gone.
// Under the sanitizers this once reported a member access of the help window on a plain QWidget.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QTest>

#include "gui/help/helpwindow.h"

using namespace orm;

namespace {

const QString kFile =
    QStringLiteral(ORMELIT_TEST_DATA) + QStringLiteral("/fuzz/help-window/several-anchors.html");

// A help window at a keyword that names two anchors, so that it offers the list.
HelpWindow* windowWithTopics()
{
    auto* help = new HelpWindow;
    EXPECT_TRUE(help->LoadFile(kFile));
    help->show();
    help->ShowKeyword("MATRIX");
    EXPECT_TRUE(help->Topics());
    if (help->Topics()) {
        EXPECT_EQ(help->Topics()->Anchors(), (QStringList{"Matrix", "matrix"}));
    }
    return help;
}

}  // namespace

TEST(HelpWindowTopics, ListGoesWithItsWindowOrOnItsOwn)
{
    // Closed by the window's own destruction while open.
    {
        HelpWindow* help = windowWithTopics();
        QPointer<HelpTopicsDialog> topics = help->Topics();
        delete help;
        EXPECT_TRUE(topics.isNull());
    }
    // Closed through the window (which deletes itself on close).
    {
        QPointer<HelpWindow> help = windowWithTopics();
        QPointer<HelpTopicsDialog> topics = help->Topics();
        help->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(help.isNull());
        EXPECT_TRUE(topics.isNull());
    }
    // The list closed first: the window forgets it and offers a new one next time.
    {
        HelpWindow* help = windowWithTopics();
        QPointer<HelpTopicsDialog> topics = help->Topics();
        topics->Choose(1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(topics.isNull());
        EXPECT_EQ(help->Topics(), nullptr);
        help->ShowKeyword("matrix");
        ASSERT_TRUE(help->Topics());
        EXPECT_TRUE(help->Topics()->isVisible());
        help->ShowKeyword("other");  // one anchor: the list closes
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(help->Topics(), nullptr);
        delete help;
    }
}
