#pragma once

#include "common/AsyncAction.h"

#include <QDialog>

#include <functional>
#include <utility>

// Lets a sheet's save run: the sheet closes once the handler stored the change and stays open
// for another try otherwise. The handler reports its own failures; a throw counts as not stored.
// `settled` runs after either outcome, only while the sheet exists.
inline void saveThenClose(QDialog *sheet, QCoro::Task<bool> &&saving, std::function<void()> settled)
{
    AsyncAction::run(
        sheet, std::move(saving),
        [sheet, settled](bool stored) {
            if (stored) {
                sheet->accept();
            }
            settled();
        },
        [settled](const QString &) { settled(); });
}
