#pragma once

#include <QWidget>

class FlowPageState;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

// The top row of the rundown page: the project's name and date line, the search field and the
// refresh button, then two areas that the header commands fill in: the managers' structure
// commands and freeze switch, and the live buttons. When the window is too narrow for one row,
// those two areas move to a second row, right-aligned.
class MacFlowHeader : public QWidget
{
    Q_OBJECT

public:
    explicit MacFlowHeader(FlowPageState &state, QWidget *parent = nullptr);

    // "导入 Excel", "导出 Excel", "添加空白节目" and the freeze switch go here.
    QHBoxLayout *structureArea() const { return m_structureArea; }
    // "开演下一节目" / "推进下一节目" and "重置演出" go here.
    QHBoxLayout *liveArea() const { return m_liveArea; }
    QLineEdit *searchField() const { return m_search; }

    // The second line: event date, start time and venue, the non-empty ones joined with " · ".
    static QString dateLine(const QString &eventDate, const QString &startTime, const QString &venue);

    bool commandsOnSecondRow() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    void placeCommands();

    FlowPageState &m_state;
    QHBoxLayout *m_topRow;
    QHBoxLayout *m_secondRow;
    QWidget *m_commands;
    QLineEdit *m_search;
    QPushButton *m_refresh;
    QHBoxLayout *m_structureArea;
    QHBoxLayout *m_liveArea;
};
