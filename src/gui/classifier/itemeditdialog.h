#pragma once

// The one-line input dialog for an item's or the project's name.

#include <QDialog>
#include <QPlainTextEdit>
#include <optional>

class QPushButton;
class QWidget;

namespace orm {

struct FontSpec;

// A text box that behaves as one line of at most 255 Windows-1251 characters: Enter confirms
// the dialog, line breaks never get in (typed or pasted), and characters that the code page
// cannot hold turn into "?" as they arrive, so the box shows what will be saved.
class TItemTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int kMaxLength = 255;
    explicit TItemTextEdit(QWidget* parent = nullptr);

signals:
    void confirmed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // Inserts text at the cursor as it will be stored, cut to the room that is left.
    void insertFiltered(const QString& text);
};

// Its objectName stays "TF_ItemEdit", the form name by which help index files address it.
class ItemEditDialog : public QDialog {
    Q_OBJECT
public:
    explicit ItemEditDialog(QWidget* parent = nullptr, const FontSpec* font = nullptr);

    QString Text() const;
    void SetText(const QString& text);

    TItemTextEdit* Edit2;
    QWidget* Panel1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

protected:
    void resizeEvent(QResizeEvent* event) override;
};

// The dialog run once with caption and text: the confirmed text, or nothing when cancelled.
std::optional<QString> AskItemText(QWidget* parent, const FontSpec* font, const QString& caption,
                                   const QString& text);

}  // namespace orm
