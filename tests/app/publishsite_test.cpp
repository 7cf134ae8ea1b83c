#include <QAction>
#include <QMenu>

#include "app/startup.h"
#include "support/guifixture.h"
#include "support/tempdir.h"

using namespace orm;
using orm::test::MainWindowTest;

// File → "Опубликовать в HTML…" asks for a folder, publishes there and says so; a folder that
// holds someone else's files is refused with the reason, and cancelling the folder does nothing.
TEST_F(MainWindowTest, PublishingFromTheFileMenu)
{
    QAction* publish = window->MenuFile->findChild<QAction*>(QStringLiteral("FilePublish"));
    if (!publish)
        for (QAction* a : window->MenuFile->actions())
            if (a->objectName() == QStringLiteral("FilePublish"))
                publish = a;
    ASSERT_NE(publish, nullptr);
    project().TreeByIndex(4)->AddChild(ToCp1251("Дирекция"));

    test::TempDir dir;
    prompts.queueFolder(dir.path("сайт"));
    publish->trigger();
    EXPECT_NE(test::TempDir::read(dir.path("сайт/items/4.1.html")).find("Дирекция"), std::string::npos);
    ASSERT_EQ(prompts.informs().size(), 1u);
    EXPECT_EQ(prompts.informs()[0].rfind("Проект опубликован: ", 0), 0u) << prompts.informs()[0];

    dir.write("notes.txt", "x");
    prompts.queueFolder(dir.root().string());
    publish->trigger();
    ASSERT_EQ(prompts.errors().size(), 1u);
    EXPECT_NE(prompts.errors()[0].find("не пуста и не содержит публикации Ормелита"), std::string::npos);

    prompts.queueFolder(std::nullopt);
    publish->trigger();
    EXPECT_EQ(prompts.shown.size(), 5u);  // three folder questions, one message each but the last
    EXPECT_TRUE(prompts.allAnswersUsed());
}
