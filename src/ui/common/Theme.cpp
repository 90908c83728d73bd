#include "Theme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QWidget>

#include <algorithm>
#include <map>

namespace Theme {

namespace {

// One family for every script keeps Latin and Chinese on the same metrics, so mixed lines never clip.
// Only check marks and crosses come first from a symbols face of the same metrics: the Chinese
// face's check mark reads as a radical sign.
const QString symbolFamily = QStringLiteral("Quillory Symbols");
const QStringList fontFamilies{symbolFamily, QStringLiteral("WenQuanYi Micro Hei"),
                               QStringLiteral("DejaVu Sans")};

// Fusion draws scroll-bar handles from the button colour, which is nearly white on white lists,
// sizes push buttons so tightly that their text touches the frame, and lets a click give a button
// the keyboard focus.
class ThemeStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    static constexpr int pushButtonPadding = 8;

    // Buttons (push buttons, check boxes, radio buttons) read this when they are made. Focus by Tab
    // only: a click leaves the focus where it was, so a stray Space never presses the button that
    // was clicked last, such as the one that starts the next live item.
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_Button_FocusPolicy) {
            return Qt::TabFocus;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override
    {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_PushButton) {
            result.rwidth() += 2 * pushButtonPadding;
        }
        return result;
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget) const override
    {
        const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
        if (!bar || control != CC_ScrollBar) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        // A pale groove and a clearly grey handle; the arrows stay Fusion's.
        painter->save();
        painter->fillRect(bar->rect, scrollGroove);
        QStyleOptionSlider arrows(*bar);
        arrows.subControls = bar->subControls & (SC_ScrollBarAddLine | SC_ScrollBarSubLine);
        QProxyStyle::drawComplexControl(control, &arrows, painter, widget);
        if (bar->subControls & SC_ScrollBarSlider) {
            const QRect handle =
                subControlRect(control, bar, SC_ScrollBarSlider, widget).adjusted(2, 2, -2, -2);
            const bool active = bar->activeSubControls & SC_ScrollBarSlider;
            QColor fill = scrollHandle;
            if (active && (bar->state & State_Sunken)) {
                fill = fill.darker(130);
            } else if (active && (bar->state & State_MouseOver)) {
                fill = fill.darker(115);
            }
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(Qt::NoPen);
            painter->setBrush(fill);
            const qreal radius = std::min(handle.width(), handle.height()) / 2.0;
            painter->drawRoundedRect(handle, radius, radius);
        }
        painter->restore();
    }

private:
    const QColor scrollGroove = QColor(0xf2, 0xf2, 0xf4);
    const QColor scrollHandle = QColor(0xa8, 0xa8, 0xb0);
};

struct StyleSpec
{
    int pixels;
    QFont::Weight weight;
};

StyleSpec spec(TextStyle style)
{
    switch (style) {
    case TextStyle::largeTitle:
        return {28, QFont::Bold};
    case TextStyle::title:
        return {24, QFont::Normal};
    case TextStyle::title2:
        return {20, QFont::Normal};
    case TextStyle::title3:
        return {17, QFont::Normal};
    case TextStyle::headline:
        return {14, QFont::DemiBold};
    case TextStyle::subheadline:
        return {12, QFont::Normal};
    case TextStyle::body:
        return {14, QFont::Normal};
    case TextStyle::callout:
        return {13, QFont::Normal};
    case TextStyle::footnote:
        return {12, QFont::Normal};
    case TextStyle::caption:
        return {12, QFont::Normal};
    case TextStyle::caption2:
        return {11, QFont::Normal};
    }
    return {14, QFont::Normal};
}

QColor rgb(int r, int g, int b)
{
    return QColor(r, g, b);
}

// Symbol name of the original platform -> freedesktop icon name.
const QHash<QString, QString> &symbolTable()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("arrow.clockwise"), QStringLiteral("view-refresh")},
        {QStringLiteral("arrow.down.circle"), QStringLiteral("folder-download")},
        {QStringLiteral("arrow.up.circle"), QStringLiteral("document-send")},
        {QStringLiteral("calendar"), QStringLiteral("x-office-calendar")},
        {QStringLiteral("calendar.badge.exclamationmark"), QStringLiteral("appointment-missed")},
        {QStringLiteral("chart.bar"), QStringLiteral("network-cellular-signal-excellent")},
        {QStringLiteral("chart.bar.xaxis"), QStringLiteral("network-cellular-signal-excellent")},
        {QStringLiteral("checklist"), QStringLiteral("checkbox-checked")},
        {QStringLiteral("checkmark"), QStringLiteral("object-select")},
        {QStringLiteral("checkmark.circle"), QStringLiteral("emblem-ok")},
        {QStringLiteral("checkmark.circle.fill"), QStringLiteral("emblem-ok")},
        {QStringLiteral("checkmark.seal"), QStringLiteral("emblem-default")},
        {QStringLiteral("checkmark.shield.fill"), QStringLiteral("security-high")},
        {QStringLiteral("chevron.down"), QStringLiteral("pan-down")},
        {QStringLiteral("chevron.up"), QStringLiteral("pan-up")},
        {QStringLiteral("clock"), QStringLiteral("document-open-recent")},
        {QStringLiteral("clock.arrow.circlepath"), QStringLiteral("emblem-synchronizing")},
        {QStringLiteral("clock.badge.exclamationmark"), QStringLiteral("alarm")},
        {QStringLiteral("doc.on.doc"), QStringLiteral("edit-copy")},
        {QStringLiteral("doc.text"), QStringLiteral("text-x-generic")},
        {QStringLiteral("ellipsis.circle"), QStringLiteral("view-more")},
        {QStringLiteral("exclamationmark.triangle"), QStringLiteral("dialog-warning")},
        {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("dialog-warning")},
        {QStringLiteral("externaldrive"), QStringLiteral("drive-harddisk")},
        {QStringLiteral("externaldrive.badge.exclamationmark"), QStringLiteral("drive-harddisk")},
        {QStringLiteral("film"), QStringLiteral("video-x-generic")},
        {QStringLiteral("fork.knife"), QStringLiteral("emoji-food")},
        {QStringLiteral("gearshape"), QStringLiteral("emblem-system")},
        {QStringLiteral("gift"), QStringLiteral("starred")},
        {QStringLiteral("gift.fill"), QStringLiteral("starred")},
        {QStringLiteral("info.circle"), QStringLiteral("dialog-information")},
        {QStringLiteral("list.bullet"), QStringLiteral("view-list-bullet")},
        {QStringLiteral("lock"), QStringLiteral("changes-prevent")},
        {QStringLiteral("lock.fill"), QStringLiteral("changes-prevent")},
        {QStringLiteral("lock.open"), QStringLiteral("changes-allow")},
        {QStringLiteral("magnifyingglass"), QStringLiteral("edit-find")},
        {QStringLiteral("mappin.and.ellipse"), QStringLiteral("mark-location")},
        {QStringLiteral("message"), QStringLiteral("mail-send")},
        {QStringLiteral("minus"), QStringLiteral("list-remove")},
        {QStringLiteral("music.mic"), QStringLiteral("audio-input-microphone")},
        {QStringLiteral("music.note"), QStringLiteral("audio-x-generic")},
        {QStringLiteral("music.note.list"), QStringLiteral("view-list-bullet")},
        {QStringLiteral("paintbrush.fill"), QStringLiteral("applications-graphics")},
        {QStringLiteral("pause.circle"), QStringLiteral("media-playback-pause")},
        {QStringLiteral("pencil"), QStringLiteral("document-edit")},
        {QStringLiteral("person.2"), QStringLiteral("system-users")},
        {QStringLiteral("person.2.badge.questionmark"), QStringLiteral("dialog-question")},
        {QStringLiteral("person.2.slash"), QStringLiteral("action-unavailable")},
        {QStringLiteral("person.3"), QStringLiteral("system-users")},
        {QStringLiteral("person.3.fill"), QStringLiteral("system-users")},
        {QStringLiteral("person.3.sequence"), QStringLiteral("system-users")},
        {QStringLiteral("person.badge.plus"), QStringLiteral("contact-new")},
        {QStringLiteral("person.crop.circle"), QStringLiteral("avatar-default")},
        {QStringLiteral("person.crop.circle.badge.checkmark"), QStringLiteral("avatar-default")},
        {QStringLiteral("person.text.rectangle"), QStringLiteral("x-office-address-book")},
        {QStringLiteral("play.circle"), QStringLiteral("media-playback-start")},
        {QStringLiteral("play.fill"), QStringLiteral("media-playback-start")},
        {QStringLiteral("play.rectangle"), QStringLiteral("video-x-generic")},
        {QStringLiteral("play.rectangle.on.rectangle"), QStringLiteral("applications-multimedia")},
        {QStringLiteral("plus"), QStringLiteral("list-add")},
        {QStringLiteral("plus.circle.fill"), QStringLiteral("list-add")},
        {QStringLiteral("qrcode"), QStringLiteral("view-app-grid")},
        {QStringLiteral("questionmark.circle.fill"), QStringLiteral("dialog-question")},
        {QStringLiteral("rectangle.portrait.and.arrow.right"), QStringLiteral("system-log-out")},
        {QStringLiteral("rectangle.stack"), QStringLiteral("view-paged")},
        {QStringLiteral("speaker.wave.2"), QStringLiteral("audio-volume-high")},
        {QStringLiteral("square.and.arrow.down"), QStringLiteral("document-save")},
        {QStringLiteral("square.and.arrow.up"), QStringLiteral("document-send")},
        {QStringLiteral("star"), QStringLiteral("starred")},
        {QStringLiteral("stop.circle"), QStringLiteral("media-playback-stop")},
        {QStringLiteral("tablecells"), QStringLiteral("x-office-spreadsheet")},
        {QStringLiteral("trash"), QStringLiteral("user-trash")},
        {QStringLiteral("waveform"), QStringLiteral("audio-volume-high")},
        {QStringLiteral("wifi.exclamationmark"), QStringLiteral("network-wireless-offline")},
        {QStringLiteral("xmark"), QStringLiteral("window-close")},
        {QStringLiteral("xmark.circle.fill"), QStringLiteral("process-stop")},
        {QStringLiteral("xmark.octagon"), QStringLiteral("dialog-error")},
    };
    return table;
}

// Icon files of the installed themes, by icon name and pixel size. The symbolic images are
// preferred: they are single-colour, so they take the tint.
class IconIndex
{
public:
    static IconIndex &instance()
    {
        static IconIndex index;
        return index;
    }

    // The file closest to `size` (the smallest at least as large, else the largest).
    QString path(const QString &name, int size) const
    {
        const auto found = m_files.find(name);
        if (found == m_files.end()) {
            return {};
        }
        const std::map<int, QString> &bySize = found->second;
        const auto atLeast = bySize.lower_bound(size);
        return atLeast != bySize.end() ? atLeast->second : bySize.rbegin()->second;
    }

    bool symbolic(const QString &name) const { return m_symbolic.contains(name); }

private:
    IconIndex()
    {
        QStringList roots = QIcon::themeSearchPaths();
        roots << QStringLiteral("/usr/share/icons");
        for (const QString &themeName : {QStringLiteral("Adwaita"), QStringLiteral("hicolor")}) {
            for (const QString &root : std::as_const(roots)) {
                scan(QDir(root).filePath(themeName));
            }
        }
    }

    void scan(const QString &themeDir)
    {
        if (!QFileInfo(themeDir).isDir()) {
            return;
        }
        QDirIterator it(themeDir, {QStringLiteral("*.png")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString sizeDir = QDir(themeDir).relativeFilePath(file).section(QLatin1Char('/'), 0, 0);
            bool ok = false;
            const int size = sizeDir.section(QLatin1Char('x'), 0, 0).toInt(&ok);
            if (!ok) {
                continue;
            }
            QString base = QFileInfo(file).fileName();
            bool isSymbolic = false;
            if (base.endsWith(QLatin1String("-symbolic.symbolic.png"))) {
                base.chop(int(qstrlen("-symbolic.symbolic.png")));
                isSymbolic = true;
            } else if (base.endsWith(QLatin1String("-symbolic.png"))) {
                base.chop(int(qstrlen("-symbolic.png")));
                isSymbolic = true;
            } else {
                base.chop(4);
            }
            if (isSymbolic) {
                if (!m_symbolic.contains(base)) {
                    m_files.erase(base); // a coloured image found earlier gives way
                    m_symbolic.insert(base, true);
                }
                m_files[base][size] = file;
            } else if (!m_symbolic.contains(base)) {
                m_files[base].try_emplace(size, file);
            }
        }
    }

    std::map<QString, std::map<int, QString>> m_files;
    QHash<QString, bool> m_symbolic;
};

QString fallbackGlyph(const QString &symbolName)
{
    if (symbolName.startsWith(QLatin1String("plus"))) {
        return QStringLiteral("+");
    }
    if (symbolName.startsWith(QLatin1String("xmark"))) {
        return QStringLiteral("×");
    }
    if (symbolName.startsWith(QLatin1String("checkmark"))) {
        return QStringLiteral("✓");
    }
    if (symbolName.startsWith(QLatin1String("exclamationmark")) ||
        symbolName.contains(QLatin1String("exclamation"))) {
        return QStringLiteral("!");
    }
    if (symbolName.startsWith(QLatin1String("questionmark"))) {
        return QStringLiteral("?");
    }
    return symbolName.isEmpty() ? QStringLiteral("•") : symbolName.left(1).toUpper();
}

QPixmap tinted(const QImage &source, int size, const QColor &tint, bool recolour)
{
    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.width() != size || image.height() != size) {
        image = image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    if (recolour && tint.isValid()) {
        QPainter p(&image);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(image.rect(), tint);
    }
    return QPixmap::fromImage(image);
}

QPixmap glyphPixmap(const QString &symbolName, int size, const QColor &tint)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = tint.isValid() ? tint : colour(Colour::secondary);
    QPen pen(ink);
    pen.setWidthF(qMax(1.0, size / 14.0));
    p.setPen(pen);
    const qreal inset = pen.widthF();
    p.drawEllipse(QRectF(inset, inset, size - 2 * inset, size - 2 * inset));
    QFont f = QApplication::font();
    f.setPixelSize(qMax(6, size * 6 / 10));
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, fallbackGlyph(symbolName));
    return pixmap;
}

} // namespace

QFont font(TextStyle style)
{
    return font(style, spec(style).weight);
}

QFont font(TextStyle style, QFont::Weight weight)
{
    QFont f = QApplication::font();
    f.setFamilies(fontFamilies);
    f.setPixelSize(spec(style).pixels);
    // The Chinese face has a single weight; only Bold gets synthesised, so semibold styles use it.
    f.setWeight(weight >= QFont::DemiBold ? QFont::Bold : weight);
    return f;
}

int pixelSize(TextStyle style)
{
    return spec(style).pixels;
}

QColor colour(Colour c)
{
    switch (c) {
    case Colour::primary:
        return rgb(0x1d, 0x1d, 0x1f);
    case Colour::secondary:
        return rgb(0x6e, 0x6e, 0x73);
    case Colour::tertiary:
        return rgb(0xa1, 0xa1, 0xa6);
    case Colour::accent:
    case Colour::indigo:
        return rgb(0x58, 0x56, 0xd6);
    case Colour::blue:
        return rgb(0x00, 0x7a, 0xff);
    case Colour::green:
        return rgb(0x28, 0xa7, 0x45);
    case Colour::orange:
        return rgb(0xff, 0x95, 0x00);
    case Colour::red:
        return rgb(0xff, 0x3b, 0x30);
    case Colour::yellow:
        return rgb(0xff, 0xcc, 0x00);
    case Colour::purple:
        return rgb(0xaf, 0x52, 0xde);
    case Colour::pink:
        return rgb(0xff, 0x2d, 0x55);
    case Colour::teal:
        return rgb(0x30, 0xb0, 0xc7);
    case Colour::mint:
        return rgb(0x00, 0xc7, 0xbe);
    case Colour::cyan:
        return rgb(0x32, 0xad, 0xe6);
    case Colour::brown:
        return rgb(0xa2, 0x84, 0x5e);
    case Colour::grey:
        return rgb(0x8e, 0x8e, 0x93);
    case Colour::separator:
        return rgb(0xd8, 0xd8, 0xdc);
    case Colour::windowBackground:
        return rgb(0xf0, 0xf0, 0xf2);
    case Colour::controlBackground:
        return rgb(0xff, 0xff, 0xff);
    }
    return rgb(0, 0, 0);
}

QColor colour(Colour c, qreal opacity)
{
    QColor result = colour(c);
    result.setAlphaF(float(std::clamp(opacity, 0.0, 1.0) * result.alphaF()));
    return result;
}

QString css(const QColor &c)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
}

QString css(Colour c, qreal opacity)
{
    return css(colour(c, opacity));
}

QString gradientCss(Colour c)
{
    const QColor base = colour(c);
    return QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)")
        .arg(css(base.lighter(125)), css(base.darker(110)));
}

void setTextStyle(QWidget *widget, TextStyle style)
{
    widget->setFont(font(style));
}

void setTextStyle(QWidget *widget, TextStyle style, QFont::Weight weight)
{
    widget->setFont(font(style, weight));
}

void setTextColour(QWidget *widget, const QColor &c)
{
    QPalette palette = widget->palette();
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Active, role, c);
        palette.setColor(QPalette::Inactive, role, c);
    }
    widget->setPalette(palette);
}

void setTextColour(QWidget *widget, Colour c)
{
    setTextColour(widget, colour(c));
}

QFrame *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    line->setStyleSheet(QStringLiteral("color: %1; background: %1;").arg(css(Colour::separator)));
    return line;
}

QLabel *label(const QString &text, TextStyle style, Colour c, QWidget *parent)
{
    return label(text, style, spec(style).weight, c, parent);
}

QLabel *label(const QString &text, TextStyle style, QFont::Weight weight, Colour c, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    setTextStyle(l, style, weight);
    if (c != Colour::primary) {
        setTextColour(l, c);
    }
    return l;
}

void makeProminent(QAbstractButton *button, bool large)
{
    const QColor accent = colour(Colour::accent);
    button->setStyleSheet(QStringLiteral("QAbstractButton { background: %1; color: white; border: none;"
                                         " border-radius: %2px; padding: %3px %4px; }"
                                         "QAbstractButton:hover { background: %5; }"
                                         "QAbstractButton:pressed { background: %6; }"
                                         "QAbstractButton:disabled { background: %7; color: %8; }")
                              .arg(css(accent))
                              .arg(large ? 8 : 6)
                              .arg(large ? 8 : 4)
                              .arg(large ? 18 : 12)
                              .arg(css(accent.lighter(110)), css(accent.darker(115)),
                                   css(colour(Colour::grey, 0.25)), css(colour(Colour::secondary))));
    if (large) {
        button->setFont(font(TextStyle::body, QFont::DemiBold));
    }
}

QString freedesktopName(const QString &symbolName)
{
    return symbolTable().value(symbolName);
}

bool hasThemeImage(const QString &symbolName)
{
    const QString name = freedesktopName(symbolName);
    return !name.isEmpty() && !IconIndex::instance().path(name, 16).isEmpty();
}

QPixmap symbolPixmap(const QString &symbolName, int size, const QColor &tint)
{
    // Images, not pixmaps: the cache outlives the application object.
    static QHash<QString, QImage> cache;
    const QString key = symbolName + QLatin1Char('|') + QString::number(size) + QLatin1Char('|') + css(tint);
    if (const auto found = cache.constFind(key); found != cache.constEnd()) {
        return QPixmap::fromImage(*found);
    }
    QPixmap result;
    const QString name = freedesktopName(symbolName);
    const QString file = name.isEmpty() ? QString() : IconIndex::instance().path(name, size);
    if (!file.isEmpty()) {
        const QImage image(file);
        if (!image.isNull()) {
            result = tinted(image, size, tint, IconIndex::instance().symbolic(name));
        }
    }
    if (result.isNull() && !name.isEmpty()) {
        const QIcon fromTheme = QIcon::fromTheme(name);
        if (!fromTheme.isNull()) {
            result = tinted(fromTheme.pixmap(size).toImage(), size, tint, false);
        }
    }
    if (result.isNull()) {
        result = glyphPixmap(symbolName, size, tint);
    }
    cache.insert(key, result.toImage());
    return result;
}

QIcon icon(const QString &symbolName)
{
    return icon(symbolName, colour(Colour::primary));
}

QIcon icon(const QString &symbolName, const QColor &tint)
{
    QIcon result;
    for (const int size : {16, 24, 32, 48, 64}) {
        result.addPixmap(symbolPixmap(symbolName, size, tint));
    }
    return result;
}

QString filledButtonStyle(Colour tint, int radius, int verticalPadding, int horizontalPadding)
{
    return filledButtonStyle(colour(tint), radius, verticalPadding, horizontalPadding);
}

QString filledButtonStyle(const QColor &tint, int radius, int verticalPadding, int horizontalPadding)
{
    // Disabled: the tint's own dark shade on a pale wash of it, never white on pale.
    QColor wash = tint;
    wash.setAlphaF(0.16f);
    return QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: %2px;"
                          " padding: %3px %4px; }"
                          "QPushButton:disabled { background: %5; color: %6; }")
        .arg(css(tint))
        .arg(radius)
        .arg(verticalPadding)
        .arg(horizontalPadding)
        .arg(css(wash), css(tint.darker(165)));
}

void install()
{
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(new ThemeStyle(fusion));
    }
    if (!QFontDatabase::hasFamily(symbolFamily)) {
        QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/QuillorySymbols.ttf"));
    }
    QFont base(fontFamilies.first());
    base.setFamilies(fontFamilies);
    base.setPixelSize(spec(TextStyle::body).pixels);
    QApplication::setFont(base);

    QPalette palette = QApplication::style()->standardPalette();
    palette.setColor(QPalette::Window, colour(Colour::windowBackground));
    palette.setColor(QPalette::Base, colour(Colour::controlBackground));
    palette.setColor(QPalette::AlternateBase, rgb(0xf6, 0xf6, 0xf8));
    palette.setColor(QPalette::Button, rgb(0xfb, 0xfb, 0xfd));
    palette.setColor(QPalette::WindowText, colour(Colour::primary));
    palette.setColor(QPalette::Text, colour(Colour::primary));
    palette.setColor(QPalette::ButtonText, colour(Colour::primary));
    palette.setColor(QPalette::PlaceholderText, colour(Colour::tertiary));
    palette.setColor(QPalette::Highlight, colour(Colour::accent));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, colour(Colour::blue));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, colour(Colour::tertiary));
    palette.setColor(QPalette::Disabled, QPalette::Text, colour(Colour::tertiary));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, colour(Colour::tertiary));
    QApplication::setPalette(palette);

    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    }
}

} // namespace Theme
