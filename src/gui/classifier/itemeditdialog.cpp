#include "gui/classifier/itemeditdialog.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTextBlock>

#include "core/settings/appsettings.h"
#include "format/textcodec.h"
#include "gui/kit/tf_base.h"
#include "gui/kit/uikit.h"

namespace orm {

namespace {

// Line breaks of pasted text become blanks: a name on two lines would break the project file.
QString oneLine(QString text)
{
    for (QChar& ch : text) {
        if (ch == QChar('\n') || ch == QChar('\r') || ch == QChar(0x2028) ||
            ch == QChar(0x2029) || ch == QChar('\v') || ch == QChar('\f'))
            ch = QChar(' ');
    }
    return text;
}

}  // namespace

TItemTextEdit::TItemTextEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TItemTextEdit::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Enter confirms; Ctrl+Enter types a line feed on Windows, which is discarded.
        if (!(event->modifiers() & Qt::ControlModifier))
            emit confirmed();
        event->accept();
        return;
    }
    const QString text = event->text();
    const bool printable = !text.isEmpty() && !(event->modifiers() & Qt::ControlModifier) &&
                           text.at(0).isPrint();
    if (printable) {
        insertFiltered(text);
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TItemTextEdit::insertFromMimeData(const QMimeData* source)
{
    if (source && source->hasText())
        insertFiltered(source->text());
}

void TItemTextEdit::inputMethodEvent(QInputMethodEvent* event)
{
    if (!event->commitString().isEmpty()) {
        const QString commit = event->commitString();
        QInputMethodEvent stripped(event->preeditString(), event->attributes());
        QPlainTextEdit::inputMethodEvent(&stripped);
        insertFiltered(commit);
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void TItemTextEdit::insertFiltered(const QString& text)
{
    QString clean = Cp1251Representable(oneLine(text));
    QTextCursor cursor = textCursor();
    const int current = static_cast<int>(toPlainText().size());
    const int selected = cursor.selectionEnd() - cursor.selectionStart();
    const int room = kMaxLength - (current - selected);
    if (room <= 0)
        return;
    if (clean.size() > room)
        clean.truncate(room);
    cursor.insertText(clean);
    setTextCursor(cursor);
}

ItemEditDialog::ItemEditDialog(QWidget* parent, const FontSpec* font) : QDialog(parent)
{
    setObjectName(QStringLiteral("TF_ItemEdit"));
    setWindowTitle(QStringLiteral("Элемент"));
    if (font)
        setFont(SharedQFont(*font));
    resize(542, 73);
    // The smallest window is 180 x 100 with its frame; the client area inside it is smaller by
    // the frame and caption of the window (4 + 4 by 4 + 27 pixels as designed).
    setMinimumSize(172, 69);

    Edit2 = new TItemTextEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(5, 5, 530, 28);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(176, 35, 170, 40);
    OKBtn = new QPushButton(QStringLiteral("Да"), Panel1);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(6, 6, 75, 27);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Отказ"), Panel1);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(92, 6, 75, 27);

    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(Edit2, &TItemTextEdit::confirmed, this, &QDialog::accept);
    Edit2->setFocus();
    CentreOnScreen(this);
}

QString ItemEditDialog::Text() const
{
    return Edit2->toPlainText();
}

void ItemEditDialog::SetText(const QString& text)
{
    Edit2->setPlainText(Cp1251Representable(oneLine(text)).left(TItemTextEdit::kMaxLength));
    Edit2->moveCursor(QTextCursor::End);
}

void ItemEditDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    // The text box follows all four sides; the buttons keep to the bottom, centred.
    const int w = width();
    const int h = height();
    Edit2->setGeometry(5, 5, std::max(20, w - 12), std::max(20, h - 45));
    Panel1->move((w - Panel1->width()) / 2, h - 38);
}

std::optional<QString> AskItemText(QWidget* parent, const FontSpec* font, const QString& caption,
                                   const QString& text)
{
    ItemEditDialog dialog(parent, font);
    dialog.setWindowTitle(caption);
    dialog.SetText(text);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Text();
}

}  // namespace orm
