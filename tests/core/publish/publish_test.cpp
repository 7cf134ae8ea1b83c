#include "core/publish/publish.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>

#include "core/publish/html.h"
#include "core/publish/sitetest.h"

namespace orm {
namespace {

namespace fs = std::filesystem;
using test::ReadTree;
using test::TempDir;

const PublishOptions kOptions{"07.12.2026"};

TEST(PublishText, EscapesMarkupControlsAndScriptBreakouts)
{
    struct Case {
        std::string cp1251;
        std::string html;
        std::string json;
    };
    const Case cases[] = {
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;",
         R"("\u003cscript\u003ealert(1)\u003c\u002fscript\u003e")"},
        {"a & \"b\" 'c'", "a &amp; &quot;b&quot; &#39;c&#39;", R"("a \u0026 \u0022b\u0022 \u0027c\u0027")"},
        {ToCp1251("Ёлка"), "Ёлка", R"("\u0401\u043b\u043a\u0430")"},
        // control characters and 0x98 (U+0098) are not allowed in HTML; backslashes end no string
        {std::string("a\x01\tb\x98\\"), "a\xEF\xBF\xBD\tb\xEF\xBF\xBD\\", R"("a\u0001\u0009b\u0098\u005c")"},
        {"", "", R"("")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.html);
        EXPECT_EQ(HtmlText(c.cp1251), c.html);
        EXPECT_EQ(JsonString(c.cp1251), c.json);
    }
}

struct Published {
    TempDir dir;
    TMainTreeList project;
    fs::path site = dir.root() / "site";
    Published() { test::LoadSiteProject(project); }
    PublishOutcome publish(const Progress& progress = {})
    {
        return PublishSite(project, site.string(), kOptions, progress);
    }
};

// The target of a relative link from page, without its fragment.
fs::path Target(const std::string& page, const std::string& link)
{
    const std::string file = link.substr(0, link.find('#'));
    return (fs::path(page).parent_path() / file).lexically_normal();
}

bool IsUtf8(const std::string& s)
{
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= s.size() + (extra == 0))
            return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
                return false;
        i += extra + 1;
    }
    return true;
}

TEST(PublishSite, WritesLinkedEscapedSelfContainedPages)
{
    Published p;
    const PublishOutcome outcome = p.publish();
    ASSERT_EQ(outcome.Result, PublishResult::Done) << outcome.Message;
    const auto files = ReadTree(p.site);

    // One page per item at the address of its number, and nothing named after an item's name.
    std::set<std::string> items;
    for (const auto& [path, bytes] : files)
        if (path.rfind("items/", 0) == 0)
            items.insert(path);
    EXPECT_EQ(items, (std::set<std::string>{"items/1.1.html", "items/1.2.html", "items/2.1.html",
                                            "items/2.1.1.html", "items/3.1.html", "items/4.1.html",
                                            "items/4.1.1.html", "items/4.1.1.1.html",
                                            "items/4.1.2.html", "items/4.2.html"}));

    static const std::regex kLink(R"re((?:href|src)="([^"]*)")re");
    size_t links = 0;
    for (const auto& [path, bytes] : files) {
        SCOPED_TRACE(path);
        if (path.ends_with(".rtf"))
            continue;  // the report as the program saves it, Windows-1251
        EXPECT_TRUE(IsUtf8(bytes));
        EXPECT_EQ(bytes.find("<script>alert"), std::string::npos);
        EXPECT_EQ(bytes.find("https:"), std::string::npos);
        if (path.ends_with(".html")) {
            EXPECT_EQ(bytes.find("http:"), bytes.find("http://www.w3.org/2000/svg"));
            EXPECT_EQ(bytes.find("@import"), std::string::npos);
        }
        if (!path.ends_with(".html"))
            continue;
        // Every link leads to a file of the site, and a fragment to an element of that page.
        for (std::sregex_iterator it(bytes.begin(), bytes.end(), kLink), end; it != end; ++it) {
            const std::string link = (*it)[1].str();
            ++links;
            ASSERT_FALSE(link.empty());
            EXPECT_EQ(link.find("//"), std::string::npos) << link;
            const fs::path target = Target(path, link);
            ASSERT_TRUE(files.count(target.string())) << link;
            const size_t hash = link.find('#');
            if (hash != std::string::npos) {
                EXPECT_NE(files.at(target.string()).find("id=\"" + link.substr(hash + 1) + "\""),
                          std::string::npos)
                    << link;
            }
        }
        // And an HTML checker finds nothing to complain about.
        const std::string command = "tidy -q -e " + (p.site / path).string() + " 2>&1";
        FILE* tidy = ::popen(command.c_str(), "r");
        ASSERT_NE(tidy, nullptr);
        std::string said;
        char buffer[512];
        while (const size_t n = std::fread(buffer, 1, sizeof buffer, tidy))
            said.append(buffer, n);
        EXPECT_EQ(::pclose(tidy), 0) << said;
    }
    EXPECT_GT(links, 200u);

    // Bindings both ways, as links; the item's places in the reports.
    const std::string& unit = files.at("items/4.1.html");
    EXPECT_NE(unit.find("href=\"../items/1.1.html\""), std::string::npos);
    EXPECT_NE(unit.find("href=\"../items/3.1.html\""), std::string::npos);
    EXPECT_NE(unit.find("<svg"), std::string::npos);
    EXPECT_NE(unit.find("href=\"../reports/1.html#p"), std::string::npos);
    const std::string& direction = files.at("items/1.1.html");
    EXPECT_NE(direction.find("href=\"../items/4.1.html\""), std::string::npos);
    EXPECT_EQ(direction.find("<svg"), std::string::npos);
    EXPECT_NE(files.at("items/4.2.html").find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(files.at("search/index-0.js").find(R"(["4.2","\u003cscript\u003ealert(1))"),
              std::string::npos);
    // A small bound pair table: 4.1 is bound to 1.1, 4.2 to 1.2, nothing else.
    const std::string& matrix = files.at("matrices/1.html");
    EXPECT_NE(matrix.find("<table class=\"matrix\">"), std::string::npos);
    size_t marked = 0;
    for (size_t at = 0; (at = matrix.find("class=\"on\"", at)) != std::string::npos; ++at)
        ++marked;
    EXPECT_EQ(marked, 2u);
}

TEST(PublishSite, ListsTheBoundPairsOfAMatrixTooLargeForATable)
{
    Published p;
    TTreeList* directions = p.project.TreeByIndex(1);
    TTreeList* unit = p.project.FindByNumber("4.1");
    for (int i = 0; i < kMatrixTableLimit; ++i)
        unit->Link(directions->AddChild("Направление " + std::to_string(i)));
    ASSERT_EQ(p.publish().Result, PublishResult::Done);
    const std::string matrix = TempDir::read((p.site / "matrices/1.html").string());
    EXPECT_EQ(matrix.find("<table class=\"matrix\">"), std::string::npos);
    EXPECT_NE(matrix.find("связанных пар: 202"), std::string::npos);
    // 4.1 is bound to 1.1 and to the new ones; 1.2 to 4.2.
    EXPECT_NE(matrix.find("<span class=\"num\">1.202</span>"), std::string::npos);
}

TEST(PublishSite, RefusesAFolderThatIsNotAnEarlierPublication)
{
    struct Case {
        const char* name;
        std::map<std::string, std::string> contents;
    };
    const Case cases[] = {
        {"someone's files", {{"notes.txt", "мои заметки"}, {"index.html", "<p>чужая</p>"}}},
        {"a marker someone else wrote", {{".ormelit-site", "index.html\n"}, {"index.html", "x"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Published p;
        fs::create_directories(p.site);
        for (const auto& [name, bytes] : c.contents)
            p.dir.write("site/" + name, bytes);
        const PublishOutcome outcome = p.publish();
        EXPECT_EQ(outcome.Result, PublishResult::Refused);
        EXPECT_NE(outcome.Message.find("ничего не записано и не удалено"), std::string::npos)
            << outcome.Message;
        EXPECT_EQ(ReadTree(p.site), c.contents);
    }

    Published p;
    p.dir.write("site", "a file");
    EXPECT_EQ(p.publish().Result, PublishResult::Failed);
    EXPECT_EQ(TempDir::read((p.site).string()), "a file");
}

TEST(PublishSite, RepublishingReplacesOnlyTheEarlierPublicationsFiles)
{
    Published p;
    ASSERT_EQ(p.publish().Result, PublishResult::Done);
    p.dir.write("site/.htaccess", "Options -Indexes\n");
    p.dir.write("site/items/extra.txt", "inside a folder of the site");
    const auto first = ReadTree(p.site);

    // Cancelled halfway: the earlier site stays byte for byte, and no staging folder is left.
    int calls = 0;
    const PublishOutcome cancelled = p.publish([&](size_t, size_t) { return ++calls < 3; });
    EXPECT_EQ(cancelled.Result, PublishResult::Cancelled);
    EXPECT_EQ(ReadTree(p.site), first);
    for (const auto& e : fs::directory_iterator(p.site))
        EXPECT_EQ(e.path().filename().string().rfind(".ormelit-publish", 0), std::string::npos);

    p.project.FindByNumber("4.1.2")->Rename(ToCp1251("Правовой отдел"));
    p.project.FindByNumber("4.1.1")->DeleteAt(0);
    const PublishOutcome again = p.publish();
    ASSERT_EQ(again.Result, PublishResult::Done) << again.Message;
    const auto second = ReadTree(p.site);
    EXPECT_FALSE(second.count("items/4.1.1.1.html"));
    EXPECT_NE(second.at("items/4.1.2.html").find("Правовой отдел"), std::string::npos);
    EXPECT_EQ(second.at(".htaccess"), "Options -Indexes\n");
    // A file put inside one of the site's own folders goes with the folder it was put in.
    EXPECT_FALSE(second.count("items/extra.txt"));
    for (const auto& e : fs::directory_iterator(p.site))
        EXPECT_EQ(e.path().filename().string().rfind(".ormelit-publish", 0), std::string::npos);
}

}  // namespace
}  // namespace orm
