#pragma once

#include "models/Rundown.h"

#include <QString>

// What the rundown page hands the lottery sheet: the lottery item and how to present it.
struct MacLotteryContext
{
    enum class Presentation {
        settings, // sign-up link and prizes only
        console,  // also the draw, the winners and the prize claims
    };

    RundownItem item;
    Presentation presentation = Presentation::console;

    // One sheet per item and presentation.
    QString id() const
    {
        return item.id + QLatin1Char('-') +
               (presentation == Presentation::settings ? QStringLiteral("settings")
                                                       : QStringLiteral("console"));
    }
};
