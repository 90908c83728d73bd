#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QAbstractButton;
class QFrame;
class QLabel;
class QWidget;

// Text styles, colours and symbols of the whole program, in one place so every screen looks alike.
//
// Usage:
//   auto *title = Theme::label(tr("暂时无法进入Quillory"), Theme::TextStyle::title2, Theme::Colour::primary);
//   Theme::setTextStyle(button, Theme::TextStyle::headline);
//   button->setIcon(Theme::icon("plus.circle.fill", Theme::colour(Theme::Colour::indigo)));
//   symbolLabel->setPixmap(Theme::symbolPixmap("wifi.exclamationmark", 38,
//   Theme::colour(Theme::Colour::orange)));
namespace Theme {

// Sizes in device-independent pixels. Semibold weights render as bold: the Chinese face has no
// semibold, and only bold is synthesised.
enum class TextStyle {
    largeTitle,  // 28, bold by default
    title,       // 24
    title2,      // 20
    title3,      // 17
    headline,    // 14, semibold by default
    subheadline, // 12
    body,        // 14
    callout,     // 13
    footnote,    // 12
    caption,     // 12
    caption2,    // 11, the smallest
};

// The style's font, in the style's own weight.
QFont font(TextStyle style);
// The style's font in another weight (QFont::Bold, QFont::DemiBold ...).
QFont font(TextStyle style, QFont::Weight weight);
// Pixel size of a style, for layouts that need it.
int pixelSize(TextStyle style);

enum class Colour {
    primary,   // ordinary text
    secondary, // explanatory text
    tertiary,  // the faintest text (version lines)
    accent,    // selection and prominent buttons (= indigo)
    indigo,
    blue,
    green,
    orange,
    red,
    yellow,
    purple,
    pink,
    teal,
    mint,
    cyan,
    brown,
    grey,
    separator,
    windowBackground,
    controlBackground, // fields, lists, cards
};

QColor colour(Colour c);
// The colour with its alpha multiplied by opacity (0..1), e.g. an indigo capsule at 10 %.
QColor colour(Colour c, qreal opacity);
// "rgba(r, g, b, a)" for style sheets.
QString css(const QColor &c);
QString css(Colour c, qreal opacity = 1.0);
// A top-to-bottom gradient of the colour (lighter above), as a style-sheet background value.
QString gradientCss(Colour c);

// Applies a text style (and optionally a weight) to a widget's font.
void setTextStyle(QWidget *widget, TextStyle style);
void setTextStyle(QWidget *widget, TextStyle style, QFont::Weight weight);
// Sets the widget's text colour (window text, text and button text roles).
void setTextColour(QWidget *widget, const QColor &c);
void setTextColour(QWidget *widget, Colour c);

// A plain-text label with the style and colour applied.
QLabel *label(const QString &text, TextStyle style, Colour c = Colour::primary, QWidget *parent = nullptr);
QLabel *label(const QString &text, TextStyle style, QFont::Weight weight, Colour c = Colour::primary,
              QWidget *parent = nullptr);

// The style sheet of a push button filled with `tint` and white text; disabled, it shows the
// tint's dark shade on a pale wash so the label stays readable.
QString filledButtonStyle(Colour tint, int radius, int verticalPadding, int horizontalPadding);
QString filledButtonStyle(const QColor &tint, int radius, int verticalPadding, int horizontalPadding);

// A one-pixel horizontal line in the separator colour.
QFrame *divider(QWidget *parent = nullptr);

// A filled accent-coloured button for a screen's main action; `large` for the bigger size.
void makeProminent(QAbstractButton *button, bool large = false);

// System symbols by their symbol names ("person.crop.circle", "plus.circle.fill", ...), drawn from the
// freedesktop icon theme (Adwaita) and tinted; a symbol the theme lacks becomes a drawn fallback glyph,
// so the result is never null.
QIcon icon(const QString &symbolName);
QIcon icon(const QString &symbolName, const QColor &tint);
QPixmap symbolPixmap(const QString &symbolName, int size, const QColor &tint);
// The freedesktop name a symbol maps to; empty for a symbol not in the table.
QString freedesktopName(const QString &symbolName);
// Whether the symbol resolves to a real theme image (not the fallback glyph).
bool hasThemeImage(const QString &symbolName);

// Call once after the application object exists: the style, the font families (a symbols face for
// check marks, then the face with Chinese glyphs), the palette and the icon theme.
void install();

} // namespace Theme
