#pragma once

#include <utility>

// Stores `value` in `field` and emits `owner`'s change signal, unless the value is already there.
// True when it changed.
template<typename Owner, typename T, typename Signal>
bool assignAndNotify(T &field, T value, Owner *owner, Signal signal)
{
    if (field == value) {
        return false;
    }
    field = std::move(value);
    Q_EMIT(owner->*signal)();
    return true;
}
