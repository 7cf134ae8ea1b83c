#pragma once

// Links in the report viewer: a document's hyperlinks show their target as their hint, and
// Ctrl+click opens the target as the extra menu opens its entries (an address in the desktop's
// handler for it, a file in the program for its type); a link to a place in the document
// ("#name") goes there.

#include <QObject>
#include <QString>
#include <functional>

class QTextEdit;

namespace orm {

class Prompts;

class ReportLinks : public QObject {
public:
    // folder: where a link's relative file name counts from (the document's folder).
    ReportLinks(QTextEdit* view, Prompts& prompts, std::function<QString()> folder);

    // Opens a link's target; a failure is shown to the user.
    void Open(const QString& target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTextEdit* m_view;
    Prompts& m_prompts;
    std::function<QString()> m_folder;
};

}  // namespace orm
