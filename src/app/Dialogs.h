#pragma once
// Every modal interaction of the window, and the hand-over of web addresses to
// the desktop, goes through this interface. The window owns none of it: the
// program passes the Qt implementation (or, for a run without a display, the
// standard error one), tests pass a scripted one.

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

class QWidget;

struct FileDialogRequest {
    QString title;
    QString filter; // Qt form, e.g. "RSS (*.xml)"
    QString directory;
    QString fileName;
    QString defaultSuffix; // added to a name typed without extension
};

// One line of the list of findings: its three columns.
struct FindingRow {
    QString severity;
    QString where;
    QString message;
};

struct FolderDialogRequest {
    QString title;
    QString statusText;
    QString initialDirectory;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message box titled "Quillo" with an OK button.
    virtual void showMessage(const QString& text) = 0;
    // A warning with Yes and No; true only for Yes.
    virtual bool askYesNo(const QString& title, const QString& text) = 0;
    // A one-line text prompt; empty when cancelled.
    virtual std::optional<QString> prompt(const QString& caption, const QString& question,
                                          const QString& initialText) = 0;
    // The chosen file must exist.
    virtual std::optional<QString> openFile(const FileDialogRequest& request) = 0;
    // Asks before an existing file is overwritten.
    virtual std::optional<QString> saveFile(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> browseFolder(const FolderDialogRequest& request) = 0;
    // A list of findings, one row each; the index of the row chosen (double
    // click, Enter or OK), or empty when the list was closed.
    virtual std::optional<int> chooseFinding(const QString& title,
                                             const QList<FindingRow>& rows) = 0;
    // Opens a web address with the desktop's default handler; failures are not reported.
    virtual void openUrl(const QUrl& url) = 0;
};

// Real dialogs, shown over the given window (set once the window exists).
class QtDialogs : public Dialogs {
public:
    void setParentWindow(QWidget* window) { parent_ = window; }

    void showMessage(const QString& text) override;
    bool askYesNo(const QString& title, const QString& text) override;
    std::optional<QString> prompt(const QString& caption, const QString& question,
                                  const QString& initialText) override;
    std::optional<QString> openFile(const FileDialogRequest& request) override;
    std::optional<QString> saveFile(const FileDialogRequest& request) override;
    std::optional<QString> browseFolder(const FolderDialogRequest& request) override;
    std::optional<int> chooseFinding(const QString& title, const QList<FindingRow>& rows) override;
    void openUrl(const QUrl& url) override;

private:
    QWidget* parent_ = nullptr;
};

// The text as one line: its line breaks (CR, LF, CR LF, in runs) become one
// blank each.
QString oneLine(const QString& text);

// Writes the text to standard error as one line.
void writeStandardErrorLine(const QString& text);

// For a run without a display, where nobody could answer: every message goes
// to standard error as one line, questions are answered No, prompts and file
// and folder dialogs are cancelled, and no address is handed to a desktop.
class StandardErrorDialogs : public Dialogs {
public:
    void showMessage(const QString& text) override;
    bool askYesNo(const QString& title, const QString& text) override;
    std::optional<QString> prompt(const QString& caption, const QString& question,
                                  const QString& initialText) override;
    std::optional<QString> openFile(const FileDialogRequest& request) override;
    std::optional<QString> saveFile(const FileDialogRequest& request) override;
    std::optional<QString> browseFolder(const FolderDialogRequest& request) override;
    // Each row as one line; none is chosen.
    std::optional<int> chooseFinding(const QString& title, const QList<FindingRow>& rows) override;
    void openUrl(const QUrl& url) override;
};
