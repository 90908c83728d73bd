#pragma once

#include "models/Rundown.h"

#include <QString>

// Subject of the people picker: one names field of one item, as it was when the picker opened.
struct MacPeopleEditorContext
{
    enum class Field { performers, owners };

    RundownItem item;
    Field field = Field::performers;

    QString id() const
    {
        return item.id + QLatin1Char('-') +
               (field == Field::performers ? QStringLiteral("performers") : QStringLiteral("owners"));
    }
};

// Subject of the lottery console: the lottery item and which face of the console to open.
struct MacLotteryContext
{
    enum class Presentation { settings, console };

    RundownItem item;
    Presentation presentation = Presentation::console;

    QString id() const
    {
        return item.id + QLatin1Char('-') +
               (presentation == Presentation::settings ? QStringLiteral("settings")
                                                       : QStringLiteral("console"));
    }
};
