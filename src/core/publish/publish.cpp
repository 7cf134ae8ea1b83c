#include "core/publish/publish.h"

#include <algorithm>
#include <ctime>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/model/metamodel.h"
#include "core/model/treelist.h"
#include "core/organigram/organigramfill.h"
#include "core/organigram/svgwriter.h"
#include "core/publish/html.h"
#include "core/publish/sitefolder.h"
#include "core/report/reportgen.h"
#include "core/report/reportwriter.h"
#include "core/text/cp1251.h"

namespace orm {

namespace {

// The classifier whose items are structural units: their pages show an organigram.
constexpr int kUnitsClassifier = 4;
// A classifier page shows as many levels of its tree as keep it under this many items; deeper
// items are reached through their parents' pages.
constexpr size_t kTreeItemBudget = 20000;
constexpr size_t kSearchPartSize = 20000;
// Places in the reports listed on an item page, per report.
constexpr size_t kMentionsShown = 20;
// Entries of one list on an item page (children, the bindings of one classifier) and boxes of
// an inline organigram: beyond these a page would grow past a few megabytes.
constexpr size_t kListShown = 5000;
constexpr size_t kOrganigramBoxes = 2000;

const std::vector<std::string> kEntries = {"index.html", "search.html", "style.css", "site.js",
                                           "classifiers", "items", "matrices", "reports",
                                           "search"};

struct Item {
    TTreeList* Node;
    std::string Number;
    int Classifier;
    int Depth;  // 1 for a classifier's top items
};

struct Mention {
    int Report;
    std::string Page;  // reports/N.html or a part of it
    std::string Anchor;
};

struct ReportEntry {
    int Number = 0;
    std::string Name;     // Windows-1251
    std::string Failure;  // UTF-8; empty when made
    std::vector<std::string> Parts;
};

struct Paragraph {
    int Style;
    std::string Text;
};

// The paragraphs of a document the report writer made as RTF: its head, then each paragraph as
// a style's fragment, the escaped text and the paragraph end, then its tail. False for anything
// else.
bool ParseReportRtf(std::string_view rtf, std::vector<Paragraph>& out)
{
    const std::string_view head = RtfFragment(kRtfHead);
    const std::string_view tail = RtfFragment(kRtfTail);
    const std::string_view parEnd = RtfFragment(kRtfParEnd);
    if (rtf.substr(0, head.size()) != head)
        return false;
    rtf.remove_prefix(head.size());
    while (!rtf.empty()) {
        if (rtf == tail)
            return true;
        int style = 0;
        for (int s = 1; s <= 9 && style == 0; ++s) {
            const std::string_view start = RtfFragment(s + 2);
            if (rtf.substr(0, start.size()) == start) {
                style = s;
                rtf.remove_prefix(start.size());
            }
        }
        if (style == 0)
            return false;
        std::string text;
        for (;;) {
            if (rtf.empty())
                return false;
            if (rtf.substr(0, parEnd.size()) == parEnd) {
                rtf.remove_prefix(parEnd.size());
                break;
            }
            if (rtf[0] == '\\') {
                if (rtf.size() < 2 || (rtf[1] != '\\' && rtf[1] != '{' && rtf[1] != '}'))
                    return false;
                text += rtf[1];
                rtf.remove_prefix(2);
            } else {
                text += rtf[0];
                rtf.remove_prefix(1);
            }
        }
        out.push_back({style, std::move(text)});
    }
    return false;
}

std::string Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%d.%m.%Y", &local);
    return text;
}

class Site {
public:
    Site(TTreeList& project, SiteFolder& folder, const PublishOptions& options,
         const Progress& progress)
        : m_project(project), m_folder(folder), m_options(options), m_progress(progress)
    {
    }

    // False on a write failure (m_reason set) or a cancel (m_cancelled).
    bool Build();
    size_t Files() const { return m_files; }
    bool Cancelled() const { return m_cancelled; }
    const std::string& Reason() const { return m_reason; }

private:
    void collect();
    bool step(size_t amount = 1);
    bool write(const std::string& path, std::string_view bytes);

    std::string head(const std::string& title, const std::string& root) const;
    std::string tail(const std::string& root, bool script = false) const;
    std::string itemLink(size_t i, const std::string& root, bool withName = true) const;
    std::string classifierName(int k) const;

    bool writeStatic();
    bool writeReports();
    bool writeReport(ReportEntry& entry, std::vector<Paragraph>& paragraphs);
    bool writeClassifiers();
    bool writeItems();
    bool writeMatrices();
    bool writeSearch();
    bool writeStart();

    TTreeList& m_project;
    SiteFolder& m_folder;
    const PublishOptions& m_options;
    const Progress& m_progress;

    std::vector<Item> m_items;
    std::unordered_map<const TTreeList*, size_t> m_index;
    std::unordered_map<std::string, size_t> m_byNumber;
    std::vector<TTreeList*> m_classifiers;  // the project's trees, 1-based by position
    std::vector<size_t> m_counts;           // items per classifier
    std::vector<std::vector<Mention>> m_mentions;  // per item
    std::vector<ReportEntry> m_reports;
    std::vector<std::pair<std::string, int>> m_matrices;  // name, part count

    size_t m_done = 0;
    size_t m_total = 0;
    size_t m_files = 0;
    bool m_cancelled = false;
    std::string m_reason;
};

bool Site::step(size_t amount)
{
    m_done += amount;
    if (m_progress && !m_progress(m_done, m_total)) {
        m_cancelled = true;
        return false;
    }
    return true;
}

bool Site::write(const std::string& path, std::string_view bytes)
{
    std::string reason;
    if (!m_folder.Write(path, bytes, reason)) {
        m_reason = path + ": " + reason;
        return false;
    }
    ++m_files;
    return true;
}

void Site::collect()
{
    m_classifiers.clear();
    for (int k = 0; k < m_project.Count(); ++k)
        m_classifiers.push_back(m_project.ChildAt(k));
    m_counts.assign(m_classifiers.size() + 1, 0);
    m_project.ForEachPreOrder([this](TTreeList* node, const std::string& number, int depth) {
        if (depth < 2)
            return;
        const int classifier = std::stoi(number);
        m_index.emplace(node, m_items.size());
        m_byNumber.emplace(number, m_items.size());
        m_items.push_back({node, number, classifier, depth - 1});
        ++m_counts[static_cast<size_t>(classifier)];
    });
    m_mentions.assign(m_items.size(), {});
}

std::string Site::classifierName(int k) const
{
    if (k >= 1 && static_cast<size_t>(k) <= m_classifiers.size()) {
        const std::string_view name = m_classifiers[static_cast<size_t>(k) - 1]->Name();
        if (!name.empty())
            return HtmlText(name);
    }
    return HtmlText(Metamodel().KindName(k, ResKind::Classifier));
}

std::string Site::head(const std::string& title, const std::string& root) const
{
    return "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
           title + " — " + HtmlText(m_project.Name()) + "</title>\n<link rel=\"stylesheet\" href=\"" +
           root + "style.css\">\n</head>\n<body>\n<header class=\"site\"><a class=\"home\" href=\"" +
           root + "index.html\">" + HtmlText(m_project.Name()) +
           "</a>\n<form class=\"search\" action=\"" + root +
           "search.html\" method=\"get\" role=\"search\"><input type=\"search\" name=\"q\" "
           "placeholder=\"Номер или часть названия\" aria-label=\"Найти элемент\"> "
           "<button type=\"submit\">Найти</button></form>\n</header>\n<main>\n";
}

std::string Site::tail(const std::string& root, bool script) const
{
    std::string text = "</main>\n<footer>Опубликовано Ормелитом " + HtmlUtf8(m_options.Date) +
                       "</footer>\n";
    if (script)
        text += "<script src=\"" + root + "site.js\"></script>\n";
    return text + "</body>\n</html>\n";
}

std::string Site::itemLink(size_t i, const std::string& root, bool withName) const
{
    const Item& item = m_items[i];
    std::string text = "<a href=\"" + root + "items/" + item.Number + ".html\"><span class=\"num\">" +
                       item.Number + "</span>";
    if (withName)
        text += " " + HtmlText(item.Node->Name());
    return text + "</a>";
}

bool Site::Build()
{
    collect();
    const int reports = Metamodel().KindCount(ResKind::Report);
    const int projections = Metamodel().KindCount(ResKind::Projection);
    m_total = m_items.size() * 2 + static_cast<size_t>(reports + projections) * 1000 +
              m_classifiers.size() + 2;
    return writeStatic() && writeReports() && writeClassifiers() && writeItems() &&
           writeMatrices() && writeSearch() && writeStart() &&
           write(kSiteMarker, SiteMarkerText(kEntries));
}

bool Site::writeStatic()
{
    static const char kStyle[] =
        "body{margin:0;font-family:'Liberation Sans',Arial,'DejaVu Sans',sans-serif;"
        "color:#1c2430;background:#fafbfc;line-height:1.4}\n"
        "header.site{display:flex;flex-wrap:wrap;gap:.5em 1.5em;align-items:center;"
        "padding:.6em 1.2em;background:#23415f;color:#fff}\n"
        "header.site a.home{color:#fff;font-weight:bold;text-decoration:none;font-size:1.1em}\n"
        "form.search{margin-left:auto}form.search input{width:16em;padding:.2em .4em}\n"
        "main{padding:1em 1.5em;max-width:70em}\nfooter{padding:1em 1.5em;color:#66707a;"
        "font-size:.85em}\n"
        "a{color:#1d5fa8}a:visited{color:#5a3d8a}.num{font-variant-numeric:tabular-nums;"
        "color:#4a5560;margin-right:.1em}\n"
        "nav.crumbs{font-size:.9em;margin-bottom:.5em}nav.crumbs ol{list-style:none;padding:0;"
        "margin:0}nav.crumbs li{display:inline}nav.crumbs li+li::before{content:' › ';"
        "color:#8a949e}\n"
        "ul.tree,ul.tree ul{list-style:none;padding-left:1.2em}ul.tree{padding-left:0}\n"
        "ul.tree li{margin:.1em 0}summary{cursor:pointer}\n"
        "table{border-collapse:collapse;margin:.5em 0}th,td{border:1px solid #c5ccd3;"
        "padding:.2em .4em;text-align:left;vertical-align:top}\n"
        "table.matrix th,table.matrix td{font-size:.8em}table.matrix td.on{background:#23415f;"
        "color:#fff;text-align:center}\ntable.matrix thead th{writing-mode:vertical-rl;"
        "transform:rotate(180deg);max-height:14em}\n"
        ".wide{overflow:auto;max-width:100%}\n"
        "svg.organigram{background:#fff;border:1px solid #c5ccd3}\n"
        ".report h1{text-align:center;font-size:1.6em}.report .subtitle{text-align:center;"
        "font-weight:bold;font-style:italic;font-size:1.15em}\n"
        ".report .subject{text-align:center;font-weight:bold;font-size:1.15em}"
        ".report h2{font-size:1.3em;margin:1em 0 .3em}\n"
        ".report .l1{font-weight:bold;margin:.6em 0 .2em}.report .l2{margin:.2em 0 .2em 1.5em}\n"
        ".report .l3{margin:.1em 0 .1em 3.8em;font-style:italic;font-size:.9em}\n"
        ".report .gc{margin:.4em 0 .1em 1.5em;font-weight:bold;font-style:italic;"
        "text-decoration:underline;font-size:.9em}.report .lk{margin:.1em 0 .1em 3em}\n"
        ".report :target{background:#fff3b0}\n.parts{margin:1em 0}\n"
        ".failure{color:#8a1c1c}\n";
    // Reads the search index parts with script elements, not with fetch: a browser lets a
    // page opened from disk load scripts beside it but not read files. The index holds data
    // only (JSON, every special character escaped); results are set as text.
    static const char kScript[] =
        "(function () {\n"
        "  'use strict';\n"
        "  var box = document.getElementById('results');\n"
        "  if (!box) return;\n"
        "  var parts = parseInt(box.getAttribute('data-parts'), 10) || 0;\n"
        "  var q = new URLSearchParams(window.location.search).get('q') || '';\n"
        "  var input = document.querySelector('form.search input[name=q]');\n"
        "  if (input) input.value = q;\n"
        "  var needle = q.trim().toLowerCase();\n"
        "  var entries = [];\n"
        "  var status = document.getElementById('status');\n"
        "  window.ormelitIndex = function (part) {\n"
        "    for (var i = 0; i < part.length; i++) entries.push(part[i]);\n"
        "  };\n"
        "  function say(text) { status.textContent = text; }\n"
        "  function show() {\n"
        "    var list = document.createElement('ol');\n"
        "    var found = 0, limit = 500;\n"
        "    for (var i = 0; i < entries.length; i++) {\n"
        "      var e = entries[i];\n"
        "      if (!/^[0-9]+(\\.[0-9]+)*$/.test(e[0])) continue;\n"
        "      var text = e[0] + ' ' + e[1];\n"
        "      if (text.toLowerCase().indexOf(needle) < 0) continue;\n"
        "      if (++found > limit) continue;\n"
        "      var a = document.createElement('a');\n"
        "      a.href = 'items/' + e[0] + '.html';\n"
        "      a.textContent = text;\n"
        "      var li = document.createElement('li');\n"
        "      li.appendChild(a);\n"
        "      list.appendChild(li);\n"
        "    }\n"
        "    say(found === 0 ? 'Ничего не найдено.' : 'Найдено: ' + found +\n"
        "        (found > limit ? ' (показаны первые ' + limit + ')' : '') + '.');\n"
        "    box.appendChild(list);\n"
        "  }\n"
        "  function load(i) {\n"
        "    if (i >= parts) { show(); return; }\n"
        "    var s = document.createElement('script');\n"
        "    s.src = 'search/index-' + i + '.js';\n"
        "    s.onload = function () { load(i + 1); };\n"
        "    s.onerror = function () { say('Указатель поиска не загружен.'); };\n"
        "    document.body.appendChild(s);\n"
        "  }\n"
        "  if (needle === '') { say('Введите часть номера или названия.'); return; }\n"
        "  say('Поиск…');\n"
        "  load(0);\n"
        "})();\n";
    return write("style.css", kStyle) && write("site.js", kScript) && step();
}

bool Site::writeReports()
{
    const int count = Metamodel().KindCount(ResKind::Report);
    std::vector<Paragraph> paragraphs;
    for (int n = 1; n <= count; ++n) {
        ReportEntry entry;
        entry.Number = n;
        entry.Name = Metamodel().KindName(n, ResKind::Report);
        ReportOptions options;
        options.Rtf = true;
        ReportOutcome outcome = GenerateReport(m_project, n, {}, options);
        paragraphs.clear();
        if (outcome.Fault != ReportFault::None) {
            entry.Failure = ToUtf8(outcome.Message);
        } else if (!ParseReportRtf(outcome.Document.Bytes, paragraphs)) {
            entry.Failure = "Документ не удалось показать как страницу; он доступен в RTF.";
        }
        if (outcome.Fault == ReportFault::None &&
            !write("reports/" + std::to_string(n) + ".rtf", outcome.Document.Bytes))
            return false;
        outcome.Document.Bytes = {};
        if (entry.Failure.empty() && !writeReport(entry, paragraphs))
            return false;
        m_reports.push_back(std::move(entry));
        if (!step(1000))
            return false;
    }
    return true;
}

bool Site::writeReport(ReportEntry& entry, std::vector<Paragraph>& paragraphs)
{
    const std::string title = HtmlText(entry.Name);
    const std::string base = "reports/" + std::to_string(entry.Number);
    std::vector<std::string> bodies(1);
    size_t anchor = 0;
    for (Paragraph& p : paragraphs) {
        if (p.Text.empty())
            continue;
        std::string& body = bodies.back();
        const std::string page = base + (bodies.size() == 1 ? "" : "-" + std::to_string(bodies.size())) +
                                 ".html";
        // An item's line is its number, a blank and its name: link it both ways.
        std::string text;
        const size_t blank = p.Text.find(' ');
        std::string id;
        if (blank != std::string::npos && blank > 0 && std::isdigit(static_cast<unsigned char>(p.Text[0]))) {
            const auto found = m_byNumber.find(p.Text.substr(0, blank));
            if (found != m_byNumber.end() &&
                m_items[found->second].Node->Name() == std::string_view(p.Text).substr(blank + 1)) {
                id = "p" + std::to_string(++anchor);
                text = itemLink(found->second, "../", false) + " " +
                       HtmlText(std::string_view(p.Text).substr(blank + 1));
                // A report's places of one item come one after another.
                auto& mentions = m_mentions[found->second];
                size_t inThisReport = 0;
                for (auto m = mentions.rbegin(); m != mentions.rend() && m->Report == entry.Number; ++m)
                    ++inThisReport;
                if (inThisReport < kMentionsShown)
                    mentions.push_back({entry.Number, page, id});
            }
        }
        if (text.empty())
            text = HtmlText(p.Text);
        const std::string idAttr = id.empty() ? "" : " id=\"" + id + "\"";
        switch (static_cast<ParaStyle>(p.Style)) {
        case ParaStyle::Title: body += "<h1" + idAttr + ">" + text + "</h1>\n"; break;
        case ParaStyle::Subtitle: body += "<p class=\"subtitle\"" + idAttr + ">" + text + "</p>\n"; break;
        case ParaStyle::Subject: body += "<p class=\"subject\"" + idAttr + ">" + text + "</p>\n"; break;
        case ParaStyle::Heading: body += "<h2" + idAttr + ">" + text + "</h2>\n"; break;
        case ParaStyle::Level1: body += "<p class=\"l1\"" + idAttr + ">" + text + "</p>\n"; break;
        case ParaStyle::Level2: body += "<p class=\"l2\"" + idAttr + ">" + text + "</p>\n"; break;
        case ParaStyle::Level3: body += "<p class=\"l3\"" + idAttr + ">" + text + "</p>\n"; break;
        case ParaStyle::GroupCaption: body += "<p class=\"gc\"" + idAttr + ">" + text + "</p>\n"; break;
        case ParaStyle::Linked: body += "<p class=\"lk\"" + idAttr + ">" + text + "</p>\n"; break;
        }
        if (body.size() > kPageBudget)
            bodies.emplace_back();
    }
    if (bodies.size() > 1 && bodies.back().empty())
        bodies.pop_back();
    for (size_t i = 0; i < bodies.size(); ++i)
        entry.Parts.push_back(std::to_string(entry.Number) + (i == 0 ? "" : "-" + std::to_string(i + 1)) +
                              ".html");
    for (size_t i = 0; i < bodies.size(); ++i) {
        std::string nav;
        if (bodies.size() > 1) {
            nav = "<nav class=\"parts\" aria-label=\"Части документа\">Части:";
            for (size_t j = 0; j < bodies.size(); ++j)
                nav += j == i ? " <strong>" + std::to_string(j + 1) + "</strong>"
                              : " <a href=\"" + entry.Parts[j] + "\">" + std::to_string(j + 1) + "</a>";
            nav += "</nav>\n";
        }
        std::string page = head(title, "../") +
                           "<nav class=\"crumbs\" aria-label=\"Путь\"><ol><li><a href=\"../index.html\">" +
                           HtmlText(m_project.Name()) + "</a></li><li>" + title +
                           "</li></ol></nav>\n<p><a href=\"" + std::to_string(entry.Number) +
                           ".rtf\" download>Скачать документ в RTF</a></p>\n" + nav +
                           "<article class=\"report\">\n" + bodies[i] + "</article>\n" + nav +
                           tail("../");
        bodies[i] = {};
        if (!write("reports/" + entry.Parts[i], page))
            return false;
    }
    return true;
}

bool Site::writeClassifiers()
{
    for (size_t k = 1; k <= m_classifiers.size(); ++k) {
        const std::string name = classifierName(static_cast<int>(k));
        // The deepest level shown: as many as keep the page under the budget, at least one.
        std::vector<size_t> perDepth;
        for (const Item& item : m_items) {
            if (static_cast<size_t>(item.Classifier) != k)
                continue;
            if (perDepth.size() <= static_cast<size_t>(item.Depth))
                perDepth.resize(static_cast<size_t>(item.Depth) + 1, 0);
            ++perDepth[static_cast<size_t>(item.Depth)];
        }
        int cutoff = 1;
        for (size_t d = 1, sum = 0; d < perDepth.size(); ++d) {
            sum += perDepth[d];
            if (sum > kTreeItemBudget && d > 1)
                break;
            cutoff = static_cast<int>(d);
        }

        std::string body = "<nav class=\"crumbs\" aria-label=\"Путь\"><ol><li><a href=\"../index.html\">" +
                           HtmlText(m_project.Name()) + "</a></li><li>" + name + "</li></ol></nav>\n<h1>" +
                           name + "</h1>\n";
        if (m_counts[k] == 0) {
            body += "<p>Элементов нет.</p>\n";
        } else {
            if (cutoff + 1 < static_cast<int>(perDepth.size()))
                body += "<p>Показаны уровни 1–" + std::to_string(cutoff) +
                        "; глубже — на страницах элементов.</p>\n";
            body += "<ul class=\"tree\">\n";
            std::vector<bool> open;  // per shown level: whether it opened a sublist
            for (size_t i = 0; i < m_items.size(); ++i) {
                const Item& item = m_items[i];
                if (static_cast<size_t>(item.Classifier) != k || item.Depth > cutoff)
                    continue;
                while (open.size() >= static_cast<size_t>(item.Depth)) {
                    body += open.back() ? "</ul></details></li>\n" : "</li>\n";
                    open.pop_back();
                }
                const bool children = item.Node->Count() > 0;
                if (children && item.Depth < cutoff) {
                    body += std::string("<li><details") + (item.Depth == 1 ? " open" : "") +
                            "><summary>" + itemLink(i, "../") + "</summary><ul>\n";
                    open.push_back(true);
                } else {
                    body += "<li>" + itemLink(i, "../");
                    if (children)
                        body += " <span class=\"more\">(" + std::to_string(item.Node->Count()) +
                                " подчинённых)</span>";
                    open.push_back(false);
                }
            }
            while (!open.empty()) {
                body += open.back() ? "</ul></details></li>\n" : "</li>\n";
                open.pop_back();
            }
            body += "</ul>\n";
        }
        if (!write("classifiers/" + std::to_string(k) + ".html", head(name, "../") + body + tail("../")) ||
            !step())
            return false;
    }
    return true;
}

bool Site::writeItems()
{
    std::vector<std::vector<size_t>> bound(m_classifiers.size() + 1);
    for (size_t i = 0; i < m_items.size(); ++i) {
        const Item& item = m_items[i];
        TTreeList* node = item.Node;
        const std::string numberText = HtmlUtf8(item.Number);
        std::string body = "<nav class=\"crumbs\" aria-label=\"Путь\"><ol><li><a href=\"../index.html\">" +
                           HtmlText(m_project.Name()) + "</a></li><li><a href=\"../classifiers/" +
                           std::to_string(item.Classifier) + ".html\">" + classifierName(item.Classifier) +
                           "</a></li>";
        std::vector<size_t> ancestors;
        for (TTreeList* p = node->Parent(); p; p = p->Parent()) {
            const auto found = m_index.find(p);
            if (found == m_index.end())
                break;
            ancestors.push_back(found->second);
        }
        for (size_t a = ancestors.size(); a-- > 0;)
            body += "<li>" + itemLink(ancestors[a], "../") + "</li>";
        body += "<li>" + numberText + "</li></ol></nav>\n<h1><span class=\"num\">" +
                numberText + "</span> " + HtmlText(node->Name()) + "</h1>\n";

        if (node->Count() > 0) {
            body += "<h2>Подчинённые элементы (" + std::to_string(node->Count()) + ")</h2>\n<ul>\n";
            const size_t shown = std::min<size_t>(static_cast<size_t>(node->Count()), kListShown);
            for (size_t c = 0; c < shown; ++c)
                body += "<li>" + itemLink(m_index.at(node->ChildAt(static_cast<int>(c))), "../") + "</li>\n";
            body += "</ul>\n";
            if (shown < static_cast<size_t>(node->Count()))
                body += "<p>Показаны первые " + std::to_string(shown) + ".</p>\n";
        }

        for (auto& list : bound)
            list.clear();
        for (TTreeList* other : node->Links()) {
            const auto found = m_index.find(other);
            if (found != m_index.end())
                bound[static_cast<size_t>(m_items[found->second].Classifier)].push_back(found->second);
        }
        body += "<h2>Связи</h2>\n";
        bool any = false;
        for (size_t k = 1; k < bound.size(); ++k) {
            if (bound[k].empty())
                continue;
            any = true;
            std::sort(bound[k].begin(), bound[k].end());
            body += "<h3>" + classifierName(static_cast<int>(k)) + " (" + std::to_string(bound[k].size()) +
                    ")</h3>\n<ul class=\"links\">\n";
            const size_t shown = std::min(bound[k].size(), kListShown);
            for (size_t j = 0; j < shown; ++j)
                body += "<li>" + itemLink(bound[k][j], "../") + "</li>\n";
            body += "</ul>\n";
            if (shown < bound[k].size())
                body += "<p>Показаны первые " + std::to_string(shown) +
                        "; все пары — на страницах матриц.</p>\n";
        }
        if (!any)
            body += "<p>Связей нет.</p>\n";

        size_t boxes = 1;
        if (item.Classifier == kUnitsClassifier)
            for (int c = 0; c < node->Count() && boxes <= kOrganigramBoxes; ++c)
                boxes += 1 + static_cast<size_t>(node->ChildAt(c)->Count());
        if (boxes > kOrganigramBoxes) {
            body += "<h2>Органиграмма</h2>\n<p>Органиграмма слишком велика для страницы (более " +
                    std::to_string(kOrganigramBoxes) + " блоков); её можно сохранить в программе как метафайл.</p>\n";
        } else if (item.Classifier == kUnitsClassifier && node->Count() > 0) {
            TDiagData diagram;
            FillOrganigram(diagram, *node);
            body += "<h2>Органиграмма</h2>\n<div class=\"wide\">" +
                    BuildOrganigramSvg(diagram, ToCp1251("Органиграмма ") + node->LineText()) + "</div>\n";
        }

        const auto& mentions = m_mentions[i];
        if (!mentions.empty()) {
            body += "<h2>В регламентных документах</h2>\n<ul>\n";
            for (const ReportEntry& report : m_reports) {
                size_t shown = 0;
                std::string links;
                for (const Mention& m : mentions) {
                    if (m.Report != report.Number)
                        continue;
                    ++shown;
                    links += " <a href=\"../" + m.Page + "#" + m.Anchor + "\">" + std::to_string(shown) +
                             "</a>";
                }
                if (shown > 0)
                    body += "<li>" + HtmlText(report.Name) + ":" + links + "</li>\n";
            }
            body += "</ul>\n";
        }

        if (!write("items/" + item.Number + ".html",
                   head(numberText + " " + HtmlText(node->Name()), "../") + body + tail("../")))
            return false;
        if ((i & 255) == 255 && !step(256))
            return false;
    }
    return step(m_items.size() & 255);
}

bool Site::writeMatrices()
{
    const int count = Metamodel().KindCount(ResKind::Projection);
    for (int p = 1; p <= count; ++p) {
        const auto [rowsK, colsK] = TStructRes::ProjectionPair(p);
        const std::string name = HtmlText(Metamodel().KindName(p, ResKind::Projection));
        std::vector<size_t> rows;
        std::unordered_map<const TTreeList*, size_t> columnOf;
        std::vector<size_t> cols;
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (m_items[i].Classifier == rowsK)
                rows.push_back(i);
            if (m_items[i].Classifier == colsK) {
                columnOf.emplace(m_items[i].Node, cols.size());
                cols.push_back(i);
            }
        }
        size_t pairs = 0;
        std::vector<std::vector<size_t>> boundCols(rows.size());
        for (size_t r = 0; r < rows.size(); ++r) {
            for (TTreeList* other : m_items[rows[r]].Node->Links()) {
                const auto found = columnOf.find(other);
                if (found != columnOf.end())
                    boundCols[r].push_back(found->second);
            }
            std::sort(boundCols[r].begin(), boundCols[r].end());
            pairs += boundCols[r].size();
        }
        const std::string intro = "<nav class=\"crumbs\" aria-label=\"Путь\"><ol><li><a href=\"../index.html\">" +
                                  HtmlText(m_project.Name()) + "</a></li><li>" + name +
                                  "</li></ol></nav>\n<h1>" + name + "</h1>\n<p>Строки: " +
                                  classifierName(rowsK) + " (" + std::to_string(rows.size()) +
                                  "), столбцы: " + classifierName(colsK) + " (" +
                                  std::to_string(cols.size()) + "); связанных пар: " +
                                  std::to_string(pairs) + ".</p>\n";
        std::vector<std::string> bodies(1);
        if (rows.empty() || cols.empty()) {
            bodies[0] = "<p>Таблица пуста: в одном из классификаторов нет элементов.</p>\n";
        } else if (rows.size() <= static_cast<size_t>(kMatrixTableLimit) &&
                   cols.size() <= static_cast<size_t>(kMatrixTableLimit)) {
            std::string& b = bodies[0];
            b = "<div class=\"wide\"><table class=\"matrix\">\n<thead><tr><td></td>";
            for (size_t c : cols)
                b += "<th scope=\"col\" title=\"" + HtmlText(m_items[c].Node->Name()) + "\">" +
                     itemLink(c, "../") + "</th>";
            b += "</tr></thead>\n<tbody>\n";
            for (size_t r = 0; r < rows.size(); ++r) {
                b += "<tr><th scope=\"row\">" + itemLink(rows[r], "../") + "</th>";
                size_t next = 0;
                for (size_t c = 0; c < cols.size(); ++c) {
                    const bool on = next < boundCols[r].size() && boundCols[r][next] == c;
                    while (next < boundCols[r].size() && boundCols[r][next] <= c)
                        ++next;
                    b += on ? "<td class=\"on\">●</td>" : "<td></td>";
                }
                b += "</tr>\n";
            }
            b += "</tbody>\n</table></div>\n";
        } else {
            bodies[0] = "<p>Таблица слишком велика, чтобы читать её целиком: связанные пары "
                        "перечислены по строкам.</p>\n<dl class=\"pairs\">\n";
            for (size_t r = 0; r < rows.size(); ++r) {
                if (boundCols[r].empty())
                    continue;
                std::string& b = bodies.back();
                b += "<dt>" + itemLink(rows[r], "../") + " (" + std::to_string(boundCols[r].size()) +
                     ")</dt>\n<dd>";
                for (size_t j = 0; j < boundCols[r].size(); ++j)
                    b += (j ? ", " : "") + itemLink(cols[boundCols[r][j]], "../");
                b += "</dd>\n";
                if (b.size() > kPageBudget) {
                    b += "</dl>\n";
                    bodies.push_back("<dl class=\"pairs\">\n");
                }
            }
            bodies.back() += "</dl>\n";
            if (bodies.size() > 1 && bodies.back() == "<dl class=\"pairs\">\n</dl>\n")
                bodies.pop_back();
        }
        for (size_t i = 0; i < bodies.size(); ++i) {
            auto part = [&](size_t j) {
                return std::to_string(p) + (j == 0 ? "" : "-" + std::to_string(j + 1)) + ".html";
            };
            std::string nav;
            if (bodies.size() > 1) {
                nav = "<nav class=\"parts\" aria-label=\"Части\">Части:";
                for (size_t j = 0; j < bodies.size(); ++j)
                    nav += j == i ? " <strong>" + std::to_string(j + 1) + "</strong>"
                                  : " <a href=\"" + part(j) + "\">" + std::to_string(j + 1) + "</a>";
                nav += "</nav>\n";
            }
            if (!write("matrices/" + part(i), head(name, "../") + intro + nav + bodies[i] + nav + tail("../")))
                return false;
            bodies[i] = {};
        }
        m_matrices.emplace_back(name, static_cast<int>(bodies.size()));
        if (!step(1000))
            return false;
    }
    return true;
}

bool Site::writeSearch()
{
    const size_t parts = (m_items.size() + kSearchPartSize - 1) / kSearchPartSize;
    for (size_t part = 0; part < parts; ++part) {
        std::string js = "ormelitIndex([\n";
        const size_t end = std::min(m_items.size(), (part + 1) * kSearchPartSize);
        for (size_t i = part * kSearchPartSize; i < end; ++i)
            js += "[\"" + m_items[i].Number + "\"," + JsonString(m_items[i].Node->Name()) +
                  (i + 1 < end ? "],\n" : "]\n");
        js += "]);\n";
        if (!write("search/index-" + std::to_string(part) + ".js", js))
            return false;
    }
    // The folder exists even for a project without items, as the marker lists it.
    if (parts == 0 && !write("search/index-0.js", "ormelitIndex([]);\n"))
        return false;
    const std::string page = head("Поиск", "") +
                             "<h1>Поиск</h1>\n<p id=\"status\" role=\"status\"></p>\n"
                             "<noscript><p>Поиску нужен JavaScript; без него элементы можно найти "
                             "в деревьях классификаторов.</p></noscript>\n<div id=\"results\" data-parts=\"" +
                             std::to_string(std::max<size_t>(parts, 1)) + "\"></div>\n" + tail("", true);
    return write("search.html", page) && step();
}

bool Site::writeStart()
{
    const std::string project = HtmlText(m_project.Name());
    std::string body = "<h1>" + project + "</h1>\n<p class=\"date\">Опубликовано " +
                       HtmlUtf8(m_options.Date) + ".</p>\n<h2>Классификаторы</h2>\n<table class=\"list\">\n"
                       "<thead><tr><th scope=\"col\">Классификатор</th><th scope=\"col\">Элементов</th></tr></thead>\n<tbody>\n";
    for (size_t k = 1; k <= m_classifiers.size(); ++k)
        body += "<tr><td><a href=\"classifiers/" + std::to_string(k) + ".html\">" +
                classifierName(static_cast<int>(k)) + "</a></td><td>" + std::to_string(m_counts[k]) +
                "</td></tr>\n";
    body += "</tbody>\n</table>\n<h2>Матрицы связей</h2>\n<ul>\n";
    for (size_t p = 0; p < m_matrices.size(); ++p)
        body += "<li><a href=\"matrices/" + std::to_string(p + 1) + ".html\">" + m_matrices[p].first +
                "</a></li>\n";
    body += "</ul>\n<h2>Регламентные документы</h2>\n<ul>\n";
    for (const ReportEntry& r : m_reports) {
        body += "<li>";
        if (!r.Parts.empty())
            body += "<a href=\"reports/" + r.Parts[0] + "\">" + HtmlText(r.Name) + "</a>";
        else
            body += HtmlText(r.Name);
        if (r.Failure.empty() || !r.Parts.empty())
            body += " (<a href=\"reports/" + std::to_string(r.Number) + ".rtf\" download>RTF</a>)";
        if (!r.Failure.empty())
            body += " — <span class=\"failure\">" + HtmlUtf8(r.Failure) + "</span>";
        body += "</li>\n";
    }
    body += "</ul>\n";
    return write("index.html", head("Начало", "") + body + tail("")) && step();
}

}  // namespace

PublishOutcome PublishSite(TTreeList& project, const std::string& folder,
                           const PublishOptions& options, const Progress& progress)
{
    PublishOutcome outcome;
    PublishOptions used = options;
    if (used.Date.empty())
        used.Date = Today();
    SiteFolder target(folder, kEntries);
    bool refused = false;
    if (!target.Open(outcome.Message, &refused)) {
        outcome.Result = refused ? PublishResult::Refused : PublishResult::Failed;
        return outcome;
    }
    Site site(project, target, used, progress);
    const bool built = site.Build();
    outcome.Files = site.Files();
    if (!built && site.Cancelled()) {
        outcome.Result = PublishResult::Cancelled;
        outcome.Message = "Публикация прервана. Прежнее содержимое папки «" + folder + "» не изменено.";
        return outcome;
    }
    std::string reason = site.Reason();
    if (!built || !target.Commit(reason)) {
        outcome.Result = PublishResult::Failed;
        outcome.Message = "Не удалось опубликовать проект в папку «" + folder + "»: " + reason +
                          ". Прежнее содержимое папки не изменено.";
        return outcome;
    }
    return outcome;
}

}  // namespace orm
