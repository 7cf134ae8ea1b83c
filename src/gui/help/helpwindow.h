#pragma once

// The help window: the program's own viewer of the help file, an HTML file whose named anchors
// are the help keywords. A keyword naming one anchor opens the file there; one naming several
// offers them in a list to choose from; one naming none offers the list of all anchors (the
// keyword index). Files in Windows-1251 are shown correctly with or without a charset
// declaration.

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTextBrowser>
#include <string>

class QAction;
class QLabel;
class QListWidget;
class QPushButton;
class QToolBar;

namespace orm {

// The text of an HTML file: in the charset it declares; without a declaration as UTF-8 when it
// is valid UTF-8, else as Windows-1251 (the help files come from the Windows-1251 world).
QString DecodeHelpHtml(const QByteArray& bytes);

// Reads local HTML files through DecodeHelpHtml; everything else as QTextBrowser does.
class THelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit THelpBrowser(QWidget* parent = nullptr);
    QVariant loadResource(int type, const QUrl& name) override;
};

// The list of topics to choose from: the anchors a keyword names ("Найденные разделы") or all
// anchors ("Указатель"). Not modal: choosing shows the topic and closes the list.
// Its objectName stays "TF_HelpTopics", the form name by which help index files address it.
class HelpTopicsDialog : public QDialog {
    Q_OBJECT
public:
    struct Topic {
        QString Anchor;
        QString Title;  // what the list shows
    };
    explicit HelpTopicsDialog(QWidget* parent = nullptr);
    // found: the anchors of one keyword; else the keyword index.
    void SetTopics(const QList<Topic>& topics, bool found);
    // The anchors listed, in list order.
    QStringList Anchors() const;
    // Chooses row (0-based) as the user would.
    void Choose(int row);

    QLabel* Label1;
    QListWidget* ListBox1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

signals:
    void topicChosen(const QString& anchor);
};

// Its objectName stays "TF_Help", the form name by which help index files address it.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows file at keyword (Windows-1251) in the program's one help window, made a window of
    // parent (the main window, or the open modal dialog, which would block any other window).
    // Nothing happens, and nullptr comes back, when the file cannot be read.
    static HelpWindow* ShowTopic(const QString& file, const std::string& keyword, QWidget* parent);
    // The help window if one is open.
    static HelpWindow* Current();

    bool LoadFile(const QString& file);
    QString FileName() const { return m_file; }
    // The named anchors of the document, in document order, each once.
    QStringList Anchors() const;
    void ShowKeyword(const std::string& keyword);
    void GoToAnchor(const QString& anchor);
    // The open list of topics, or nullptr.
    HelpTopicsDialog* Topics() const { return m_topics.data(); }
    void ShowIndex();

    QToolBar* ToolBar1;
    QAction* ActionBack;
    QAction* ActionForward;
    QAction* ActionIndex;
    THelpBrowser* Browser;

private:
    QList<HelpTopicsDialog::Topic> topics() const;
    void offerTopics(const QList<HelpTopicsDialog::Topic>& topics, bool found);
    void updateTitle();
    // A new help window goes beside the window it was asked from (the screen's middle
    // without one).
    void placeBeside(const QWidget* owner);

    QString m_file;
    QString m_fileStamp;  // modification time and size when m_file was read
    // Cleared by Qt when the list goes, also while this window's QWidget base destroys it as
    // a child: a slot of ours must not run then, the HelpWindow part being gone already.
    QPointer<HelpTopicsDialog> m_topics;
};

}  // namespace orm
