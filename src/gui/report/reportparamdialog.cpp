#include "gui/report/reportparamdialog.h"

#include <QAbstractListModel>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QListView>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionViewItem>
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "core/prompts/prompts.h"
#include "core/report/reportgen.h"
#include "core/settings/appsettings.h"
#include "core/text/cp1251.h"
#include "format/textcodec.h"
#include "gui/kit/tf_base.h"
#include "gui/kit/uikit.h"

namespace orm {

// The item selector's entries: a classifier may hold tens of thousands of items, and a model
// that is filled in one reset keeps the dialog quick to open where one insertion per entry
// would not.
class StartChoiceModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void Reset(const ItemList& choices)
    {
        beginResetModel();
        m_texts.clear();
        m_nodes.clear();
        m_texts.reserve(static_cast<qsizetype>(choices.size()));
        m_nodes.reserve(static_cast<qsizetype>(choices.size()));
        for (const ItemListEntry& entry : choices) {
            m_texts.push_back(FromCp1251(entry.Text));
            m_nodes.push_back(entry.Item);
        }
        endResetModel();
    }

    TTreeList* Node(int row) const
    {
        return row >= 0 && row < m_nodes.size() ? m_nodes[row] : nullptr;
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_texts.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_texts.size())
            return {};
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return m_texts[index.row()];
        if (role == Qt::UserRole)
            return QVariant::fromValue(reinterpret_cast<quintptr>(m_nodes[index.row()]));
        return {};
    }

private:
    QList<QString> m_texts;
    QList<TTreeList*> m_nodes;
};

namespace {

// A drop-down list that opens below its box with a few entries, as on Windows. The popup form
// some styles prefer instead measures every entry's text before it opens, which takes a
// noticeable time on a classifier of many thousand items.
class DropDownListStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// A drop-down list whose list opens as wide as its widest entry, however large the font, so
// that no entry is cut short; never wider than the screen.
class DropDownList : public QComboBox {
public:
    using QComboBox::QComboBox;
    void showPopup() override
    {
        fitListToEntries();
        QComboBox::showPopup();
    }

private:
    void fitListToEntries()
    {
        QAbstractItemView* list = view();
        const int n = count();
        // A classifier of tens of thousands of items is not measured whole: its widest entry
        // is among its longest.
        constexpr int kMeasuredAll = 2000;
        constexpr int kLongest = 256;
        std::vector<std::pair<qsizetype, int>> rows;  // (length, row)
        rows.reserve(static_cast<size_t>(n));
        for (int row = 0; row < n; ++row)
            rows.emplace_back(itemText(row).size(), row);
        if (n > kMeasuredAll) {
            std::nth_element(rows.begin(), rows.begin() + kLongest, rows.end(),
                             std::greater<>());
            rows.resize(kLongest);
        }
        // Measured as the list's delegate lays the entry out, margins and rounding included.
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.font = list->font();
        option.fontMetrics = QFontMetrics(option.font);
        int widest = 0;
        for (const auto& [length, row] : rows) {
            const QModelIndex index = model()->index(row, modelColumn(), rootModelIndex());
            const QSize hint = list->itemDelegateForIndex(index)->sizeHint(option, index);
            widest = std::max(widest, hint.width());
        }
        int width = widest + 2 * list->frameWidth();
        if (n > maxVisibleItems())
            width += list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        if (const QScreen* s = screen())
            width = std::min(width, s->availableGeometry().width());
        list->setMinimumWidth(width);
    }
};

QComboBox* dropDownList(QWidget* parent, const char* name)
{
    auto* box = new DropDownList(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(false);
    auto* style = new DropDownListStyle;
    style->setParent(box);
    box->setStyle(style);
    box->setMaxVisibleItems(8);
    // A size hint from the contents would measure every entry; the geometry is fixed anyway.
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(1);
    if (auto* list = qobject_cast<QListView*>(box->view()))
        list->setUniformItemSizes(true);
    return box;
}

}  // namespace

TFrameParam::TFrameParam(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
    resize(kWidth, kHeight);

    Label1 = new QLabel(QStringLiteral("Укажите подразделение"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(7, 8, 338, 16);
    Label2 = new QLabel(QStringLiteral("Уровни детализации"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(350, 8, 147, 16);

    m_choices = new StartChoiceModel(this);
    ComboBox1 = dropDownList(this, "ComboBox1");
    ComboBox1->setModel(m_choices);
    ComboBox1->setGeometry(7, 28, 338, 21);
    Label1->setBuddy(ComboBox1);

    ComboBox2 = dropDownList(this, "ComboBox2");
    ComboBox2->setGeometry(350, 28, 147, 21);
    Label2->setBuddy(ComboBox2);

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TFrameParam::ComboBox1Change);
}

void TFrameParam::SetChoices(const ItemList& choices)
{
    const QSignalBlocker block(ComboBox1);
    m_choices->Reset(choices);
    ComboBox1->setCurrentIndex(choices.empty() ? -1 : 0);
    RefreshLevels();
}

TTreeList* TFrameParam::ChosenNode() const
{
    return m_choices->Node(ComboBox1->currentIndex());
}

int TFrameParam::ChosenLevels() const
{
    return std::max(0, ComboBox2->currentIndex());
}

void TFrameParam::RefreshLevels()
{
    ComboBox2->clear();
    const TTreeList* node = ChosenNode();
    if (!node)
        return;
    QStringList texts;
    for (const std::string& text : LevelChoiceTexts(*node))
        texts.push_back(FromCp1251(text));
    ComboBox2->addItems(texts);
    ComboBox2->setCurrentIndex(0);
}

void TFrameParam::ComboBox1Change()
{
    RefreshLevels();
}

int TextGrowthFor(const QFont& font)
{
    return std::max(0, QFontMetrics(font).height() - 16);
}

int TFrameParam::TextGrowth() const
{
    return TextGrowthFor(font());
}

int TFrameParam::ComboHeight() const
{
    // Styles draw a larger frame around a larger font than the designed 21 pixels allow for.
    const int g = TextGrowth();
    return g == 0 ? 21 : std::max(21 + g, ComboBox2->sizeHint().height());
}

int TFrameParam::LevelWidth() const
{
    // The caption, and the widest entry beside the drop-down arrow.
    const QFontMetrics fm(font());
    return std::max({147, fm.horizontalAdvance(Label2->text()) + 4,
                     fm.horizontalAdvance(QStringLiteral("Все")) + 40});
}

void TFrameParam::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    // The caption and the item selector follow both edges, the level column the right edge.
    const int g = TextGrowth();
    const int level = LevelWidth();
    const int levelLeft = width() - 6 - level;
    Label1->setGeometry(7, 8, levelLeft - 5 - 7, 16 + g);
    ComboBox1->setGeometry(7, 28 + g, levelLeft - 5 - 7, ComboHeight());
    Label2->setGeometry(levelLeft, 8, level, 16 + g);
    ComboBox2->setGeometry(levelLeft, 28 + g, level, ComboHeight());
}

ReportParamDialog::ReportParamDialog(QWidget* parent, const FontSpec* font) : QDialog(parent)
{
    setObjectName(QStringLiteral("TF_RepParam"));
    setWindowTitle(QStringLiteral("Параметры отчета"));
    // A title bar without system menu and close box: the buttons are the only way out.
    SetFixedDialogFrame(this);
    if (font)
        setFont(SharedQFont(*font));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    OKBtn = new QPushButton(QStringLiteral("Да"), Panel1);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(175, 7, 75, 27);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Отказ"), Panel1);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(280, 7, 75, 27);
    // Escape rejects through QDialog, as the cancel button does.
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    layoutFrames();
}

bool ReportParamDialog::Build(TTreeList& project, const ReportParamRows& rows, Prompts& prompts)
{
    qDeleteAll(m_frames);
    m_frames.clear();
    for (int k = 1; k <= kReportParamRows; ++k) {
        const ReportParam& row = rows[static_cast<size_t>(k - 1)];
        if (row.Mode == 0)
            break;
        ItemList choices;
        try {
            choices = StartChoices(project, row);
        } catch (const std::exception&) {
            // No tree for the classifier: as little to choose from as an empty one.
        }
        if (choices.empty()) {
            prompts.Inform(ToCp1251(std::string_view("Не заданы ")) +
                           Metamodel().DisplayName(row.Classifier, ResKind::Classifier) + "!");
            return false;
        }
        auto* frame = new TFrameParam(this);
        frame->setObjectName(QStringLiteral("FrameParam%1").arg(k));
        frame->Label1->setText(FromCp1251(row.Caption));
        frame->SetChoices(choices);
        // The whole classifier is not a choice: its tree node stays chosen.
        frame->ComboBox1->setEnabled(row.Mode != 1);
        m_frames.push_back(frame);
    }
    layoutFrames();
    // Tab order follows the rows, then the buttons.
    QWidget* previous = nullptr;
    for (TFrameParam* frame : m_frames) {
        for (QWidget* w : {frame->ComboBox1, frame->ComboBox2}) {
            if (previous)
                setTabOrder(previous, w);
            previous = w;
        }
    }
    if (previous) {
        setTabOrder(previous, OKBtn);
        setTabOrder(OKBtn, CancelBtn);
    }
    if (!m_frames.isEmpty()) {
        TFrameParam* first = m_frames.front();
        (first->ComboBox1->isEnabled() ? first->ComboBox1 : first->ComboBox2)->setFocus();
    }
    return true;
}

void ReportParamDialog::Store(ReportParamRows& rows) const
{
    for (int k = 0; k < m_frames.size() && k < kReportParamRows; ++k) {
        ReportParam& row = rows[static_cast<size_t>(k)];
        row.StartItem = m_frames[k]->ChosenNode();
        row.Levels = m_frames[k]->ChosenLevels();
    }
}

void ReportParamDialog::layoutFrames()
{
    // Frames and button panel are stacked from the top, as wide as the dialog; the dialog is
    // exactly as tall as they are. A larger shared font widens and heightens them as far as
    // their texts need.
    const int g = TextGrowthFor(font());
    int width = kClientWidth;
    for (TFrameParam* frame : m_frames)
        width = std::max(width, kClientWidth + frame->NeededWidth() - TFrameParam::kWidth);
    const QFontMetrics fm(font());
    const int buttonWidth = std::max({75, fm.horizontalAdvance(OKBtn->text()) + 24,
                                      fm.horizontalAdvance(CancelBtn->text()) + 24});
    OKBtn->setGeometry(175, 7, buttonWidth, 27 + g);
    CancelBtn->setGeometry(175 + buttonWidth + 30, 7, buttonWidth, 27 + g);
    int top = 0;
    for (TFrameParam* frame : m_frames) {
        frame->setGeometry(0, top, width, frame->NeededHeight());
        top += frame->NeededHeight();
    }
    Panel1->setGeometry(0, top, width, kPanelHeight + g);
    setFixedSize(width, top + kPanelHeight + g);
}

void ReportParamDialog::CentreOnScreen()
{
    orm::CentreOnScreen(this);
}

}  // namespace orm
