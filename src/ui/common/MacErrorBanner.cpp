#include "MacErrorBanner.h"

#include "Theme.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {
constexpr int margin = 12;
constexpr int padding = 8;
// The capsule's round ends would cut into the text without a little more room at the sides.
constexpr int sidePadding = 14;
} // namespace

MacErrorBanner::MacErrorBanner(QString message, QWidget *parent)
    : QWidget(parent)
    , m_label(new QLabel(this))
{
    setObjectName(QStringLiteral("errorBanner"));
    m_label->setObjectName(QStringLiteral("errorBannerText"));
    m_label->setWordWrap(true);
    m_label->setTextFormat(Qt::PlainText);
    Theme::setTextStyle(m_label, Theme::TextStyle::caption);
    Theme::setTextColour(m_label, QColor(Qt::white));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin + sidePadding, margin + padding, margin + sidePadding,
                               margin + padding);
    layout->addWidget(m_label);

    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);

    setMessage(message);
}

void MacErrorBanner::setMessage(const QString &message)
{
    m_message = message;
    m_label->setText(message);
    // Only a text with no characters at all hides the banner; a blank still shows.
    setVisible(!message.isEmpty());
    updateGeometry();
    place();
}

void MacErrorBanner::attachToBottom(QWidget *host)
{
    if (m_host) {
        m_host->removeEventFilter(this);
    }
    m_host = host;
    setParent(host);
    // The margins around the capsule must not swallow clicks meant for the page below.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    host->installEventFilter(this);
    setVisible(!m_message.isEmpty());
    place();
}

QSize MacErrorBanner::sizeHint() const
{
    const QSize text = m_label->sizeHint();
    return {text.width() + 2 * (margin + sidePadding), text.height() + 2 * (margin + padding)};
}

QSize MacErrorBanner::minimumSizeHint() const
{
    return {2 * (margin + sidePadding) + 40, heightForWidth(2 * (margin + sidePadding) + 40)};
}

int MacErrorBanner::heightForWidth(int width) const
{
    const int textWidth = qMax(1, width - 2 * (margin + sidePadding));
    return m_label->heightForWidth(textWidth) + 2 * (margin + padding);
}

bool MacErrorBanner::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_host && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest ||
                              event->type() == QEvent::ChildAdded)) {
        place();
    }
    return QWidget::eventFilter(watched, event);
}

void MacErrorBanner::place()
{
    if (!m_host || parentWidget() != m_host) {
        return;
    }
    const int width = m_host->width();
    const int height = heightForWidth(width);
    setGeometry(0, m_host->height() - height, width, height);
    raise();
}

void MacErrorBanner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect()).adjusted(margin, margin, -margin, -margin);
    const qreal radius = qMin(capsule.height() / 2, 18.0);
    QPainterPath path;
    path.addRoundedRect(capsule, radius, radius);
    painter.fillPath(path, Theme::colour(Theme::Colour::red, 0.9));
}
