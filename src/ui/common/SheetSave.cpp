#include "SheetSave.h"

#include "FocusKeeper.h"

#include <QDialog>
#include <QPointer>

QCoro::Task<> saveSheet(QDialog *sheet, std::function<void(bool)> setBusy,
                        std::function<QCoro::Task<bool>()> start)
{
    QPointer<QDialog> self(sheet);
    const QPointer<QWidget> focused = FocusKeeper::park(sheet);
    setBusy(true);
    // Named first: g++ 12 destroys temporaries made inside a co_await expression twice.
    auto saving = start();
    const bool saved = co_await saving;
    if (!self) {
        co_return;
    }
    setBusy(false);
    if (saved) {
        sheet->accept();
    } else {
        FocusKeeper::restore(focused);
    }
}
