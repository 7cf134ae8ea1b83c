// The published site as its readers see it: opened from disk in headless Chromium. A checker
// page beside the site (allowed to read files, which a published page never needs) crawls every
// link from the start page and looks into the pages as the browser laid them out.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "core/publish/publish.h"
#include "core/publish/sitetest.h"

namespace orm {
namespace {

using test::TempDir;

const char kChromium[] = "/usr/bin/chromium";

// Writes one "name=value" line per finding into #out.
const char kChecker[] = R"html(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>check</title></head><body>
<pre id="out"></pre>
<iframe id="unit" src="site/items/4.1.html" width="1200" height="900"></iframe>
<iframe id="direction" src="site/items/1.1.html"></iframe>
<iframe id="start" src="site/index.html"></iframe>
<iframe id="search" src="site/search.html?q=%D1%8E%D0%A0%D0%B8%D0%B4"></iframe>
<script>
var out = document.getElementById('out');
function say(name, value) { out.textContent += name + '=' + value + '\n'; }
function get(url) {
  var x = new XMLHttpRequest();
  try { x.open('GET', url, false); x.send(); } catch (e) { return null; }
  return x.responseText.length > 0 ? x.responseText : null;
}
// Every page reachable from the start page, and every link and resource of each.
var base = new URL('site/', location.href).href;
var queue = [base + 'index.html'], seen = {}, docs = {}, broken = [], external = [];
seen[queue[0]] = true;
while (queue.length > 0) {
  var page = queue.shift();
  var text = get(page);
  if (text === null) { broken.push(page); continue; }
  var doc = new DOMParser().parseFromString(text, 'text/html');
  docs[page] = doc;
  doc.querySelectorAll('[href],[src],form[action]').forEach(function (el) {
    var raw = el.getAttribute('href') || el.getAttribute('src') || el.getAttribute('action');
    var url = new URL(raw, page);
    if (url.protocol !== 'file:' || url.href.indexOf(base) !== 0) { external.push(raw); return; }
    var file = url.href.split('#')[0].split('?')[0];
    if (!seen[file]) {
      seen[file] = true;
      if (/\.html$/.test(file)) queue.push(file);
      else if (get(file) === null) broken.push(file);
    }
  });
}
// Fragments point at elements of their pages.
Object.keys(docs).forEach(function (page) {
  docs[page].querySelectorAll('a[href*="#"]').forEach(function (a) {
    var url = new URL(a.getAttribute('href'), page);
    var target = docs[url.href.split('#')[0]];
    if (!target || !target.getElementById(decodeURIComponent(url.hash.slice(1)))) broken.push(url.href);
  });
});
say('pages', Object.keys(docs).length);
say('broken', broken.length + ' ' + broken.slice(0, 5).join(' '));
say('external', external.length + ' ' + external.slice(0, 5).join(' '));
function frame(id) { return document.getElementById(id).contentDocument; }
function texts(doc, selector) {
  return Array.prototype.map.call(doc.querySelectorAll(selector), function (e) {
    return e.textContent.replace(/\s+/g, ' ').trim();
  }).join('|');
}
window.addEventListener('load', function () {
  var unit = frame('unit');
  say('unitLinks', texts(unit, 'ul.links a'));
  say('directionLinks', texts(frame('direction'), 'ul.links a'));
  var boxes = 0, words = 0, inked = [];
  unit.querySelectorAll('svg.organigram rect').forEach(function (r) {
    var b = r.getBoundingClientRect();
    if (b.width > 50 && b.height > 30) boxes++;
  });
  unit.querySelectorAll('svg.organigram text').forEach(function (t) {
    if (t.getComputedTextLength() > 10) { words++; inked.push(t.textContent); }
  });
  say('svgBoxes', boxes);
  say('svgTexts', inked.join('|'));
  say('startTitle', texts(frame('start'), 'h1'));
  say('startScripts', frame('start').querySelectorAll('script').length);
  say('searchStatus', texts(frame('search'), '#status'));
  say('searchHits', texts(frame('search'), '#results a'));
  say('searchBox', frame('search').querySelector('input[name=q]').value);
  out.setAttribute('data-done', 'yes');
});
</script>
</body></html>
)html";

std::string Unescape(std::string text)
{
    static const std::pair<const char*, const char*> kEntities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
    for (const auto& [entity, ch] : kEntities)
        for (size_t at; (at = text.find(entity)) != std::string::npos;)
            text.replace(at, std::string_view(entity).size(), ch);
    return text;
}

// What the checker page found, by name.
std::map<std::string, std::string> RunChecker(const std::string& page, const TempDir& dir)
{
    const std::string command = std::string(kChromium) +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
        " --disable-background-networking --disable-component-update --disable-sync"
        " --allow-file-access-from-files --user-data-dir=" + dir.path("profile") +
        " --dump-dom file://" + page + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string dom;
    char buffer[4096];
    while (const size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        dom.append(buffer, n);
    ::pclose(pipe);
    std::map<std::string, std::string> found;
    const size_t start = dom.find("<pre id=\"out\"");
    const size_t end = dom.find("</pre>", start);
    if (start == std::string::npos || end == std::string::npos)
        return found;
    const std::string text = Unescape(dom.substr(dom.find('>', start) + 1, end - dom.find('>', start) - 1));
    for (size_t at = 0, nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1) {
        const std::string line = text.substr(at, nl - at);
        const size_t eq = line.find('=');
        found[line.substr(0, eq)] = line.substr(eq + 1);
    }
    found["done"] = dom.find("data-done=\"yes\"") != std::string::npos ? "yes" : "no";
    return found;
}

TEST(PublishedSiteInBrowser, LinksBindingsOrganigramAndSearchWork)
{
    TempDir dir;
    TMainTreeList project;
    test::LoadSiteProject(project);
    ASSERT_EQ(PublishSite(project, dir.path("site"), {"07.12.2026"}).Result, PublishResult::Done);
    const std::string checker = dir.write("check.html", kChecker);

    const auto found = RunChecker(checker, dir);
    ASSERT_EQ(found.count("done") ? found.at("done") : "", "yes") << "Chromium gave no result";
    size_t pages = 0;
    for (const auto& [path, bytes] : test::ReadTree(dir.path("site")))
        pages += path.ends_with(".html");
    EXPECT_EQ(found.at("pages"), std::to_string(pages));
    EXPECT_EQ(found.at("broken"), "0 ");
    EXPECT_EQ(found.at("external"), "0 ");
    EXPECT_EQ(found.at("unitLinks"), "1.1 Розница|3.1 Планирование");
    EXPECT_EQ(found.at("directionLinks"), "4.1 Дирекция");
    EXPECT_EQ(found.at("svgBoxes"), "4");
    EXPECT_EQ(found.at("svgTexts"),
              "4.1 Дирекция|4.1.1 Секретариат|4.1.1.1 Канцелярия|4.1.2 Юридический|отдел \"Правовед\"");
    // A name that is markup is shown as text and runs nothing.
    EXPECT_EQ(found.at("startTitle"), "Компания <script>alert(1)</script>");
    EXPECT_EQ(found.at("startScripts"), "0");
    // Cyrillic, mixed case, part of a name.
    EXPECT_EQ(found.at("searchBox"), "юРид");
    EXPECT_EQ(found.at("searchStatus"), "Найдено: 1.");
    EXPECT_EQ(found.at("searchHits"), "4.1.2 Юридический отдел \"Правовед\"");
}

}  // namespace
}  // namespace orm
