#include "MacAdminWidgets.h"

#include "MacAdminTable.h"
#include "common/TintedPanel.h"

#include <QLabel>
#include <QLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace MacAdminWidgets {

TintedPanel *panel(const QString &objectName, const QColor &fill, int radius)
{
    auto *frame = new TintedPanel(fill, radius);
    frame->setObjectName(objectName);
    return frame;
}

QScrollArea *scrollArea(QWidget *content, const QString &objectName)
{
    auto *scroll = new QScrollArea;
    setUpScrollArea(scroll, content, objectName);
    return scroll;
}

void setUpScrollArea(QScrollArea *scroll, QWidget *content, const QString &objectName)
{
    scroll->setObjectName(objectName);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(content);
}

QWidget *unavailable(const QString &title, const QString &symbol, const QString &objectName)
{
    auto *face = new QWidget;
    face->setObjectName(objectName);
    face->setMinimumHeight(160);
    auto *layout = new QVBoxLayout(face);
    layout->setSpacing(10);
    layout->addStretch(1);
    auto *icon = new QLabel;
    icon->setPixmap(Theme::symbolPixmap(symbol, 40, Theme::colour(Theme::Colour::secondary)));
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    auto *text = Theme::label(title, Theme::TextStyle::title3, QFont::Bold, Theme::Colour::secondary);
    text->setObjectName(objectName + QStringLiteral("Title"));
    layout->addWidget(text, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return face;
}

void clearLayout(QLayout *layout)
{
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (QWidget *w = item->widget()) {
            w->hide();
            w->deleteLater();
        } else if (QLayout *inner = item->layout()) {
            clearLayout(inner);
        }
        delete item;
    }
}

void setRows(QTableView *view, MacAdminTableModel *model, QList<AdminRow> rows, bool keepPlace)
{
    const int place = view->verticalScrollBar()->value();
    model->setRows(std::move(rows));
    view->verticalScrollBar()->setValue(keepPlace ? place : 0);
}

QWidget *adminMetric(const QString &title, const QString &value, const QString &detail, Theme::Colour colour,
                     QWidget *parent)
{
    TintedPanel *card = panel(QStringLiteral("adminMetric"), Theme::colour(colour, 0.08), 12);
    card->setParent(parent);
    card->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    card->setMinimumWidth(90);
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(5);
    auto *titleLabel = Theme::label(title, Theme::TextStyle::caption, Theme::Colour::secondary);
    titleLabel->setObjectName(QStringLiteral("adminMetricTitle"));
    auto *valueLabel = Theme::label(value, Theme::TextStyle::title, QFont::Bold, colour);
    valueLabel->setObjectName(QStringLiteral("adminMetricValue"));
    auto *detailLabel = Theme::label(detail, Theme::TextStyle::caption, Theme::Colour::secondary);
    detailLabel->setObjectName(QStringLiteral("adminMetricDetail"));
    for (QLabel *label : {titleLabel, valueLabel, detailLabel}) {
        label->setWordWrap(true);
        column->addWidget(label);
    }
    return card;
}

} // namespace MacAdminWidgets
