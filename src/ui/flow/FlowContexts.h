#pragma once

#include "lottery/MacLotteryContext.h"
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
