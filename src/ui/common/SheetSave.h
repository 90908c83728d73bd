#pragma once

#include <QCoro/QCoroTask>

#include <functional>

class QDialog;

// Runs a sheet's save. The focus is parked and `setBusy(true)` shows the wait before `start()` sends
// the change; once its handler answered, `setBusy(false)`, and the sheet closes when the change was
// stored or gives the focus back for another try. A sheet closed meanwhile is not touched.
QCoro::Task<> saveSheet(QDialog *sheet, std::function<void(bool)> setBusy,
                        std::function<QCoro::Task<bool>()> start);
