#pragma once

#include <QString>
#include <QWidget>

class QLabel;

// An error text in white on a red capsule; takes no room while the text is empty.
// Either put it into a layout, or call attachToBottom() to lay it over a page's bottom edge.
class MacErrorBanner : public QWidget
{
    Q_OBJECT

public:
    explicit MacErrorBanner(QString message, QWidget *parent = nullptr);

    const QString &message() const { return m_message; }
    void setMessage(const QString &message);

    // Floats over the bottom edge of host (which becomes the parent) and follows its size.
    void attachToBottom(QWidget *host);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void place();

    QString m_message;
    QLabel *m_label;
    QWidget *m_host = nullptr;
};
