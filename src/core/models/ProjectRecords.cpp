#include "ProjectRecords.h"

#include "rules/TextRules.h"
#include "json/Json.h"

QString Account::maskedPhone() const
{
    if (TextRules::characterCount(phone) < 7) {
        return phone;
    }
    return TextRules::prefixCharacters(phone, 3) + QStringLiteral("****") +
           TextRules::suffixCharacters(phone, 4);
}
