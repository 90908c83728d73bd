#include "SheetWidth.h"

#include <QDialog>
#include <QEvent>

namespace {

class HeightFollower : public QObject
{
public:
    HeightFollower(QDialog *sheet, int width)
        : QObject(sheet)
        , m_sheet(sheet)
        , m_width(width)
    {
        sheet->installEventFilter(this);
    }

    void follow()
    {
        const int height =
            m_sheet->hasHeightForWidth() ? m_sheet->heightForWidth(m_width) : m_sheet->sizeHint().height();
        if (height > 0 && (m_sheet->minimumHeight() != height || m_sheet->maximumHeight() != height)) {
            m_sheet->setFixedHeight(height);
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_sheet && (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show)) {
            follow();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QDialog *m_sheet;
    int m_width;
};

} // namespace

void fixSheetWidth(QDialog *sheet, int width)
{
    sheet->setFixedWidth(width);
    new HeightFollower(sheet, width);
}
