#pragma once

#include "Error.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

// What an awaited request ended in: its answer (std::monostate for a request without one), or
// the text a person sees for its failure.
template<typename T>
struct RequestOutcome
{
    using Value = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

    std::optional<Value> value;
    QString failure;
};

// Awaits `request` to its end; never throws. Co_await the returned task as a named variable.
template<typename T>
QCoro::Task<RequestOutcome<T>> settleRequest(QCoro::Task<T> request)
{
    RequestOutcome<T> outcome;
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(request);
            outcome.value.emplace();
        } else {
            outcome.value = co_await std::move(request);
        }
    } catch (...) {
        outcome.failure = describeCurrentException();
    }
    co_return outcome;
}
