// Items and matrices from spreadsheets and text editors: the awkward texts they give, one undo
// step for a whole paste or import, and the grid's CSV read back as it was written.

#include <gtest/gtest.h>

#include "core/exchange/itemtext.h"
#include "core/exchange/matrixcsv.h"
#include "core/io/safefile.h"
#include "core/model/project.h"
#include "core/text/cp1251.h"
#include "support/decliningprompts.h"
#include "support/projectdump.h"

using namespace orm;

namespace {

std::string c(const char* utf8)
{
    return ToCp1251(utf8);
}

// "depth:name" per item, or "error: ..." in UTF-8.
std::string readBack(const std::string& bytes)
{
    const ItemTextRead read = ReadItemText(bytes);
    if (!read.Error.empty())
        return "error: " + ToUtf8(read.Error);
    std::string out;
    for (const TextItem& item : read.Items)
        out += (out.empty() ? "" : " ") + std::to_string(item.Depth) + ":" + ToUtf8(item.Name);
    return out;
}

}  // namespace

TEST(ItemText, TextsAsEditorsAndSpreadsheetsGiveThem)
{
    const std::string cyrillic1251 = c("Отдел\n\tГруппа");
    const struct {
        std::string text;
        const char* items;
    } cases[] = {
        {"a\n\tb\n\t\tc\n\td\ne", "0:a 1:b 2:c 1:d 0:e"},
        // Blank and whitespace-only lines, CR LF, blanks around names, no line end at the end.
        {"\r\n  a  \r\n \t \r\n\tb\t\r\n", "0:a 1:b"},
        // Dotted numbers set the depth and are dropped; a trailing dot too.
        {"1.2 a\n1.2.1. b\n1.2.1.1 c\n1.3 d", "0:a 1:b 2:c 0:d"},
        // Copied rows come with tabs and numbers: the numbers win.
        {"1.3 c\n\t1.3.1 x\n\t\t1.3.1.1 y", "0:c 1:x 2:y"},
        // Mixed: an unnumbered line takes its tabs, counted from no tab as the top.
        {"1. a\n\tb\n2. c", "0:a 1:b 0:c"},
        // Digits that are part of a name.
        {"2024 год\n1.5x", "0:2024 год 0:1.5x"},
        // The first line is the base, however deep.
        {"\t\ta\n\t\t\tb", "0:a 1:b"},
        {"\xEF\xBB\xBF" "Отдел\n\tГруппа", "0:Отдел 1:Группа"},
        {cyrillic1251, "0:Отдел 1:Группа"},
        {"a\n\t\tb", "error: Строка 2: уровень больше чем на один глубже предыдущей строки."},
        {"\ta\nb", "error: Строка 2: уровень выше, чем у первой строки."},
        {"a\n\n1.2.3", "error: Строка 3: нет названия элемента."},
        {"a\n" + std::string(256, 'n'), "error: Строка 2: название длиннее 255 знаков."},
        {"", ""},
    };
    for (const auto& one : cases)
        EXPECT_EQ(readBack(one.text), one.items) << one.text;
    EXPECT_EQ(readBack(std::string(255, 'n')), "0:" + std::string(255, 'n'));
}

TEST(ItemText, APasteIsOneStepAndACopyPastesBackAsItWas)
{
    TMainTreeList project;
    TTreeList* units = project.TreeByIndex(4);
    units->AddChild("x");
    project.SetModified(false);
    project.History().Clear();
    const std::string before = test::DumpProject(project);

    const ItemTextRead read = ReadItemText("1. A\n1.1 B\n1.1.1 C\n1.2 D\n2. E");
    ASSERT_TRUE(read.Error.empty());
    EXPECT_EQ(ToUtf8(TextItemsPreview(*units, read.Items)),
              "Будет добавлено элементов: 5\nуровень 1: 2\nуровень 2: 2\nуровень 3: 1\n\n"
              "Первые строки:\n4.2 A\n  4.2.1 B\n    4.2.1.1 C\n  4.2.2 D\n4.3 E\n\nДобавить?");
    EXPECT_EQ(AddTextItems(units, read.Items), 5);
    EXPECT_EQ(project.FindByNumber("4.2.1.1")->Name(), "C");
    EXPECT_EQ(project.FindByNumber("4.3")->Name(), "E");
    EXPECT_TRUE(project.Modified());
    ASSERT_EQ(project.History().Size(), 1u);
    const std::string after = test::DumpProject(project);
    project.Undo();
    EXPECT_EQ(test::DumpProject(project), before);
    project.Redo();
    EXPECT_EQ(test::DumpProject(project), after);

    // The copy of 4.2 pasted under 4.1 makes the same subtree there.
    const std::string copied = WriteItemText(*project.FindByNumber("4.2"));
    EXPECT_EQ(copied, "4.2 A\r\n\t4.2.1 B\r\n\t\t4.2.1.1 C\r\n\t4.2.2 D\r\n");
    AddTextItems(project.FindByNumber("4.1"), ReadItemText(copied).Items);
    EXPECT_EQ(WriteItemText(*project.FindByNumber("4.1.1")),
              "4.1.1 A\r\n\t4.1.1.1 B\r\n\t\t4.1.1.1.1 C\r\n\t4.1.1.2 D\r\n");
}

TEST(MatrixCsv, WrittenAndSpreadsheetFormsReadBack)
{
    TMainTreeList project;
    TTreeList* a = project.TreeByIndex(1)->AddChild(c("Опт; розница \"Юг\""));
    TTreeList* b = project.TreeByIndex(1)->AddChild("b");
    TTreeList* u = project.TreeByIndex(4)->AddChild(c("Отдел"));
    TTreeList* v = project.TreeByIndex(4)->AddChild("v");
    u->Link(a);
    ItemList columns;
    ItemList rows;
    test::DecliningPrompts prompts;
    ASSERT_TRUE(project.FillItemList(1, columns, prompts));
    ASSERT_TRUE(project.FillItemList(4, rows, prompts));
    const std::string csv = WriteMatrixCsv(c("Матрица"), columns, rows);
    EXPECT_EQ(csv, "\xEF\xBB\xBF" "Матрица;\"1.1 Опт; розница \"\"Юг\"\"\";1.2 b\r\n"
                   "4.1 Отдел;X;\r\n4.2 v;;\r\n");
    // Read back unchanged: nothing to do.
    MatrixImport same = ReadMatrixCsv(project, 1, 4, csv);
    EXPECT_EQ(same.Error, "");
    EXPECT_EQ(same.Unchanged, 4);
    EXPECT_TRUE(same.Changes.empty());

    // As a spreadsheet saves it: commas, Windows-1251, another mark, a row without its last
    // cells, rows and columns in another order.
    const std::string edited = c("Матрица,1.2 b,\"1.1 Опт; розница \"\"Юг\"\"\"\r\n"
                                 "4.2 v,да,\r\n4.1 Отдел,+\r\n");
    MatrixImport import = ReadMatrixCsv(project, 1, 4, edited);
    ASSERT_EQ(import.Error, "");
    EXPECT_EQ(import.Added, 2);
    EXPECT_EQ(import.Removed, 1);
    EXPECT_EQ(import.Unchanged, 1);
    project.History().Clear();
    ApplyMatrix(import);
    EXPECT_TRUE(v->IsLinkedWith(b));
    EXPECT_TRUE(u->IsLinkedWith(b));
    EXPECT_FALSE(u->IsLinkedWith(a));
    EXPECT_EQ(project.History().Size(), 1u);
    project.Undo();
    EXPECT_TRUE(u->IsLinkedWith(a));
    EXPECT_FALSE(v->IsLinkedWith(b));

    // Each fault names its line and changes nothing.
    const struct {
        std::string text;
        const char* error;
    } faults[] = {
        {"just a line", "Файл не похож на таблицу: нужны строка заголовков и хотя бы одна строка "
                        "с элементами."},
        {"m;1.9 x\n4.1 u;X", "Строка 1: столбец «1.9 x» не совпадает ни с одним элементом."},
        {"m;1.1 a;1.1 a\n4.1 u;X;X", "Строка 1: столбец «1.1 a» повторяется."},
        {"m;1.1\n4.1;X\n\n4.1;X", "Строка 4: строка «4.1» повторяется."},
        {"m;1.1\n\"4.1\nu\";X\n2.1;X", "Строка 4: строка «2.1» не совпадает ни с одним элементом."},
        {"m;1.1\n4.1;maybe", "Строка 2: непонятная отметка «maybe»."},
        {"m;1.1\n4.1;X;X", "Строка 2: в строке больше ячеек, чем столбцов."},
    };
    for (const auto& fault : faults) {
        const MatrixImport bad = ReadMatrixCsv(project, 1, 4, c(fault.text.c_str()));
        EXPECT_EQ(ToUtf8(bad.Error), fault.error) << fault.text;
        EXPECT_TRUE(bad.Changes.empty());
    }
}

TEST(MatrixCsv, AGridResavedByLibreOfficeCalcReadsBack)
{
    // The grid's export of this project opened in Calc and saved as CSV there: commas, every
    // field quoted, LF line ends, no byte-order mark.
    TMainTreeList project;
    project.ReadProjectText(c("0 P\r\n1 B\r\n1.1 Опт; розница \"Юг\"\r\n1.2 =b\r\n4 S\r\n"
                              "4.1 Отдел\r\n1.1\r\n4.2 v\r\n"));
    const auto bytes = ReadFileBytes(std::string(ORMELIT_TEST_DATA) +
                                     "/exchange/calc-resaved-grid.csv");
    ASSERT_TRUE(bytes);
    const MatrixImport same = ReadMatrixCsv(project, 1, 4, *bytes);
    EXPECT_EQ(ToUtf8(same.Error), "");
    EXPECT_EQ(same.Unchanged, 4);
    EXPECT_TRUE(same.Changes.empty());
}
