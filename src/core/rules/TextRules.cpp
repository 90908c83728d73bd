#include "TextRules.h"

#include <QChar>
#include <QTextBoundaryFinder>

namespace TextRules {

bool isWhitespaceOrNewline(char32_t c)
{
    if ((c >= 0x09 && c <= 0x0D) || c == 0x85) {
        return true;
    }
    switch (QChar::category(c)) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

QString trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    // Every character of the set lies in the BMP, so code units suffice.
    while (begin < end && isWhitespaceOrNewline(text.at(begin).unicode())) {
        ++begin;
    }
    while (end > begin && isWhitespaceOrNewline(text.at(end - 1).unicode())) {
        --end;
    }
    return text.mid(begin, end - begin).toString();
}

namespace {

// Offsets (in code units) of every grapheme boundary after the start, in order.
template<typename Fn>
void forEachBoundary(QStringView text, Fn &&fn)
{
    if (text.isEmpty()) {
        return;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    finder.toStart();
    qsizetype position = finder.toNextBoundary();
    while (position != -1) {
        if (!fn(position)) {
            return;
        }
        position = finder.toNextBoundary();
    }
}

} // namespace

qsizetype characterCount(QStringView text)
{
    qsizetype count = 0;
    forEachBoundary(text, [&count](qsizetype) {
        ++count;
        return true;
    });
    return count;
}

QString prefixCharacters(QStringView text, qsizetype count)
{
    if (count <= 0) {
        return {};
    }
    qsizetype end = text.size();
    qsizetype seen = 0;
    forEachBoundary(text, [&](qsizetype position) {
        if (++seen == count) {
            end = position;
            return false;
        }
        return true;
    });
    return text.left(end).toString();
}

QString suffixCharacters(QStringView text, qsizetype count)
{
    const qsizetype total = characterCount(text);
    if (count >= total) {
        return text.toString();
    }
    if (count <= 0) {
        return {};
    }
    const QString head = prefixCharacters(text, total - count);
    return text.mid(head.size()).toString();
}

namespace {

char32_t nextScalar(const QString &s, qsizetype &i)
{
    const QChar c = s.at(i++);
    if (c.isHighSurrogate() && i < s.size() && s.at(i).isLowSurrogate()) {
        return QChar::surrogateToUcs4(c, s.at(i++));
    }
    return c.unicode();
}

} // namespace

int compareScalars(const QString &a, const QString &b)
{
    const QString na = a.normalized(QString::NormalizationForm_C);
    const QString nb = b.normalized(QString::NormalizationForm_C);
    qsizetype ia = 0;
    qsizetype ib = 0;
    while (ia < na.size() && ib < nb.size()) {
        const char32_t ca = nextScalar(na, ia);
        const char32_t cb = nextScalar(nb, ib);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (ia < na.size()) {
        return 1;
    }
    return ib < nb.size() ? -1 : 0;
}

QString programTitle(const QString &title)
{
    return title.isEmpty() ? QStringLiteral("未命名节目") : title;
}

} // namespace TextRules
