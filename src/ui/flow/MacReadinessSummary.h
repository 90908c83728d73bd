#pragma once

#include "FlowRules.h"

#include <QList>
#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// Counts the items by readiness, narrows the table to one status with one click, and shows the
// share of ready items. Holds no state: the page hands it the counts and the filter.
class MacReadinessSummary : public QWidget
{
    Q_OBJECT

public:
    explicit MacReadinessSummary(QWidget *parent = nullptr);

    void setCounts(const FlowRules::ReadinessCounts &counts);
    void setFilter(const QString &filter);
    const QString &filter() const { return m_filter; }
    QString percentageText() const;

Q_SIGNALS:
    // A button was pressed; the page stores the filter and calls setFilter back.
    void filterChosen(const QString &filter);

private:
    struct FilterButton
    {
        QString title;
        QPushButton *button;
        QColor colour;
    };
    void restyle();

    QString m_filter;
    QList<FilterButton> m_buttons;
    QProgressBar *m_progress;
    QLabel *m_percentage;
};
