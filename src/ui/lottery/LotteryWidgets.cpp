#include "LotteryWidgets.h"

#include <QProgressBar>
#include <QPushButton>

namespace LotteryWidgets {

QPushButton *button(const QString &text, const QString &objectName, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    // Return in a field must not press a button of the sheet.
    b->setAutoDefault(false);
    b->setDefault(false);
    // A click leaves the focus where the operator was typing, as buttons do on the desktop.
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

void tint(QPushButton *b, Theme::Colour colour)
{
    const QColor c = Theme::colour(colour);
    b->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: 6px;"
                       " padding: 5px 14px; }"
                       "QPushButton:disabled { background: %2; color: rgba(255, 255, 255, 0.85); }")
            .arg(Theme::css(c), Theme::css(colour, 0.45)));
}

QProgressBar *spinner(QWidget *parent, int width)
{
    auto *bar = new QProgressBar(parent);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedSize(width, 8);
    return bar;
}

void discard(QList<QWidget *> &rows)
{
    for (QWidget *row : std::as_const(rows)) {
        row->hide();
        row->setParent(nullptr);
        row->deleteLater();
    }
    rows.clear();
}

} // namespace LotteryWidgets
