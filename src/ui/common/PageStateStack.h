#pragma once

#include <QString>
#include <QWidget>

class MacErrorBanner;
class QLabel;
class QStackedLayout;

// The three faces of a workspace page: a waiting indicator while the first detail loads, the
// page itself whenever a detail is present, and an empty state with the failure otherwise.
// An error banner lies over the bottom edge in all three.
class PageStateStack : public QWidget
{
    Q_OBJECT

public:
    enum class State { loading, content, empty };

    PageStateStack(QString loadingLabel, QString emptyTitle, QString emptySymbol, QWidget *content,
                   QWidget *parent = nullptr);

    // Picks the face from the store's state; the description shows only on the empty face.
    void showState(bool isLoading, bool hasContent, const QString &emptyDescription);
    State state() const { return m_state; }
    void setBannerMessage(const QString &message);
    MacErrorBanner *banner() const { return m_banner; }

private:
    State m_state = State::loading;
    QStackedLayout *m_stack;
    QWidget *m_loading;
    QWidget *m_content;
    QWidget *m_empty;
    QLabel *m_emptyDescription = nullptr;
    MacErrorBanner *m_banner;
};
