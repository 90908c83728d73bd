#pragma once

#include "common/Theme.h"
#include "common/TintedPanel.h"

#include <QColor>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

// Small drawing helpers shared by the people screens.
namespace PeopleWidgets {

// A filled circle with centred text.
class Disc : public QWidget
{
public:
    Disc(QString text, QColor fill, QColor ink, int diameter, QFont font, QWidget *parent = nullptr)
        : QWidget(parent)
        , m_text(std::move(text))
        , m_fill(std::move(fill))
        , m_ink(std::move(ink))
    {
        setFixedSize(diameter, diameter);
        setFont(font);
    }

    void setText(const QString &text)
    {
        m_text = text;
        update();
    }
    const QString &text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_fill);
        painter.drawEllipse(rect());
        painter.setPen(m_ink);
        painter.drawText(rect(), Qt::AlignCenter, m_text);
    }

private:
    QString m_text;
    QColor m_fill;
    QColor m_ink;
};

// A picker in a scrolling page changes only when the user means it: the wheel scrolls the page
// unless the picker has focus.
class WheelGuard : public QObject
{
public:
    using QObject::QObject;

    static void install(QComboBox *box)
    {
        box->setFocusPolicy(Qt::StrongFocus);
        box->installEventFilter(new WheelGuard(box));
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Wheel && !static_cast<QWidget *>(watched)->hasFocus()) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

inline QLabel *symbolLabel(const QString &symbol, int size, const QColor &tint, QWidget *parent = nullptr)
{
    auto *label = new QLabel(parent);
    label->setPixmap(Theme::symbolPixmap(symbol, size, tint));
    return label;
}

// A box with a symbol and a caption above its content, like a titled group.
inline QWidget *titledBox(const QString &symbol, QLabel *caption, QWidget *content, QWidget *parent = nullptr)
{
    auto *box = new QWidget(parent);
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    auto *header = new QHBoxLayout;
    header->setSpacing(6);
    header->addWidget(symbolLabel(symbol, Theme::pixelSize(Theme::TextStyle::headline) + 2,
                                  Theme::colour(Theme::Colour::secondary), box));
    header->addWidget(caption);
    header->addStretch(1);
    column->addLayout(header);
    auto *frame = new TintedPanel(Theme::colour(Theme::Colour::controlBackground), 8, box);
    auto *inner = new QVBoxLayout(frame);
    inner->setContentsMargins(4, 4, 4, 4);
    inner->addWidget(content);
    column->addWidget(frame);
    return box;
}

} // namespace PeopleWidgets
