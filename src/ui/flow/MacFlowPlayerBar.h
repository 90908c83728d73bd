#pragma once

#include "models/Rundown.h"

#include <QWidget>

#include <optional>

class FlowLiveControl;
class FlowPageState;
class MacVideoPlayerView;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;

// The player bar's content: the live picture (video or the lottery sign-up code), what is
// playing, the next item with its button, the lottery console button and the output switches.
class MacFlowPlayerBar : public QWidget
{
    Q_OBJECT

public:
    MacFlowPlayerBar(FlowPageState &state, FlowLiveControl &live, QWidget *parent = nullptr);

    // None until the playback has its players.
    MacVideoPlayerView *videoView() const { return m_video; }
    // The item that "结束并开演下一个" starts, as shown.
    const std::optional<RundownItem> &shownNextItem() const { return m_next; }
    void refresh();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void attachVideo();
    // The height of the tallest face any item of the rundown brings to this bar.
    int tallestFace() const;
    void hold(int height);
    void setLabelIcon(QLabel *label, const QString &symbol, const QColor &tint);

    FlowPageState &m_state;
    FlowLiveControl &m_live;
    std::optional<RundownItem> m_next;
    QString m_qrItemID;
    // While the show runs (an item is live) the bar never gets shorter.
    int m_heldHeight = 0;

    QWidget *m_qrBlock;
    QLabel *m_qrImage;
    QHBoxLayout *m_row;
    MacVideoPlayerView *m_video = nullptr;
    QWidget *m_playingRow;
    QLabel *m_title;
    QWidget *m_audioRow;
    QLabel *m_audioName;
    QWidget *m_videoRow;
    QLabel *m_videoName;
    QWidget *m_preparingRow;
    QLabel *m_error;
    QWidget *m_nextColumn;
    QLabel *m_nextTitle;
    QPushButton *m_nextButton;
    QPushButton *m_consoleButton;
    QCheckBox *m_audioToggle;
    QCheckBox *m_videoToggle;
};
