#pragma once
// A caption panel: a framed strip that shows one caption. An "&" in the
// caption marks an accelerator and "&&" shows one ampersand, as on buttons,
// so a channel title passed through AddAmp shows as typed.

#include <QFrame>

class TCaptionPanel : public QFrame {
    Q_OBJECT
public:
    explicit TCaptionPanel(const QString& caption, QWidget* parent = nullptr);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);
    void setCaptionAlignment(Qt::Alignment alignment);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
    Qt::Alignment alignment_ = Qt::AlignCenter;
};
