#pragma once

#include <QString>
#include <QWidget>

class QLabel;

// One figure with a title above and a note below.
class MacMetricCard : public QWidget
{
    Q_OBJECT

public:
    MacMetricCard(QString title, QString value, QString note, QWidget *parent = nullptr);

    QString title() const;
    QString value() const;
    QString note() const;
    void setValue(const QString &value);
    void setNote(const QString &note);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_title;
    QLabel *m_value;
    QLabel *m_note;
};
