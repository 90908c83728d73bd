#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QVBoxLayout;

// A titled group of text lines on a tint of its accent colour.
class MacInfoCard : public QWidget
{
    Q_OBJECT

public:
    MacInfoCard(QString title, QString icon, QColor accent, QStringList lines, QWidget *parent = nullptr);

    QString title() const { return m_title; }
    const QStringList &lines() const { return m_lines; }
    void setLines(const QStringList &lines);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_title;
    QColor m_accent;
    QStringList m_lines;
    QVBoxLayout *m_lineBox;
};
