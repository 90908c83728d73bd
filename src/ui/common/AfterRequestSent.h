#pragma once

#include "api/APIClient.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <utility>

// Runs `then` once, from the event loop, after `client` has handed its next request to the
// network, or after `limitMs` when none goes out sooner (a keychain that asks for a password);
// never once `context` is gone.
//
// For work the GUI thread would otherwise do before a request that a person just asked for: the
// token of every request is read from the keychain through the event loop, so painting a new page
// first would make the request wait for the paint.
inline void afterRequestSent(APIClient &client, QObject *context, std::function<void()> then, int limitMs)
{
    auto pending = std::make_shared<std::function<void()>>(std::move(then));
    const auto runOnce = [pending] {
        if (*pending) {
            const std::function<void()> run = std::exchange(*pending, {});
            run();
        }
    };
    QObject::connect(&client, &APIClient::requestSent, context, runOnce, Qt::SingleShotConnection);
    QTimer::singleShot(limitMs, context, runOnce);
}
