#pragma once
// THtmlView: the preview pane of a synopsis. It renders an HTML fragment and
// nothing else: no selection, no history, no links followed, and no resource
// is ever fetched (not from the network, not from disk).

#include <QTextBrowser>

class THtmlView : public QTextBrowser {
    Q_OBJECT
public:
    explicit THtmlView(QWidget* parent = nullptr);

    // Replaces what the pane shows and scrolls it to the top. A synopsis past
    // the preview limits (app/PreviewText.h) is shown plain or cut, with a note.
    void loadFromString(const QString& text);

    QVariant loadResource(int type, const QUrl& name) override;

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
