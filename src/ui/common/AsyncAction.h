#pragma once

#include "Error.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>

#include <type_traits>
#include <utility>

// Helpers for the actions a screen starts and never waits for.
namespace AsyncAction {

using ::describeCurrentException;

namespace detail {
template<typename T, typename Done, typename Failed>
QCoro::Task<> runGuarded(QPointer<QObject> context, QCoro::Task<T> task, Done done, Failed failed)
{
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            if (context) {
                done();
            }
        } else {
            T value = co_await std::move(task);
            if (context) {
                done(std::move(value));
            }
        }
    } catch (...) {
        const QString text = describeCurrentException();
        if (context) {
            failed(text);
        }
    }
}
} // namespace detail

// Lets `task` run to its end and then calls done(result) or failed(description), but only while
// `context` still exists: a screen that went away meanwhile is never touched. Never throws.
template<typename T, typename Done, typename Failed>
void run(QObject *context, QCoro::Task<T> &&task, Done done, Failed failed)
{
    detail::runGuarded(QPointer<QObject>(context), std::move(task), std::move(done), std::move(failed));
}

} // namespace AsyncAction
