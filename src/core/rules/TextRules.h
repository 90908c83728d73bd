#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// The text rules every screen shares: what counts as white space, what counts as one character,
// and how names and texts are ordered.
namespace TextRules {

// Unicode category Z, U+0009..U+000D and U+0085.
bool isWhitespaceOrNewline(char32_t c);
// Trims those characters from both ends.
QString trimmed(QStringView text);

// Number of user-perceived characters (extended grapheme clusters).
qsizetype characterCount(QStringView text);
// The first `count` user-perceived characters of text (all of it when shorter).
QString prefixCharacters(QStringView text, qsizetype count);
// The last `count` user-perceived characters of text (all of it when shorter).
QString suffixCharacters(QStringView text, qsizetype count);

// A program's title as shown: "未命名节目" when it has none.
QString programTitle(const QString &title);

// Orders texts by the Unicode scalar values of their NFC forms; no locale collation.
// Returns <0, 0 or >0.
int compareScalars(const QString &a, const QString &b);
inline bool scalarLess(const QString &a, const QString &b)
{
    return compareScalars(a, b) < 0;
}

} // namespace TextRules
