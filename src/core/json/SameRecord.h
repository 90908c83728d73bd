#pragma once

#include "json/Json.h"

#include <QList>
#include <QString>

#include <optional>
#include <tuple>
#include <type_traits>

// Equality of records by the fields they list for the JSON reader, for records without an
// operator==. Those fields are everything the service sends, so two answers that compare equal
// here show the same.
namespace sameRecordDetail {
template<typename T>
struct IsList : std::false_type
{};
template<typename E>
struct IsList<QList<E>> : std::true_type
{};
template<typename T>
struct IsOptional : std::false_type
{};
template<typename U>
struct IsOptional<std::optional<U>> : std::true_type
{};
} // namespace sameRecordDetail

template<typename T>
bool sameRecord(const T &a, const T &b)
{
    if constexpr (json::Described<T>) {
        return std::apply([&](const auto &...f) { return (sameRecord(a.*f.member, b.*f.member) && ...); },
                          T::jsonFields());
    } else if constexpr (std::is_same_v<T, QString>) {
        // A text shared with the previous answer is the same text: no need to read it.
        return a.size() == b.size() && (a.constData() == b.constData() || a == b);
    } else if constexpr (sameRecordDetail::IsList<T>::value) {
        if (a.size() != b.size()) {
            return false;
        }
        if (a.constData() == b.constData()) {
            return true;
        }
        for (qsizetype i = 0; i < a.size(); ++i) {
            if (!sameRecord(a.at(i), b.at(i))) {
                return false;
            }
        }
        return true;
    } else if constexpr (sameRecordDetail::IsOptional<T>::value) {
        return a.has_value() == b.has_value() && (!a || sameRecord(*a, *b));
    } else {
        return a == b;
    }
}

// Makes each text of `fresh` that equals the one in `kept` share it, so an item decoded again
// holds no second copy of the texts it has in common with the item it replaces.
template<typename T>
void shareEqualTexts(T &fresh, const T &kept)
{
    if constexpr (json::Described<T>) {
        std::apply([&](const auto &...f) { (shareEqualTexts(fresh.*f.member, kept.*f.member), ...); },
                   T::jsonFields());
    } else if constexpr (std::is_same_v<T, QString>) {
        if (!kept.isEmpty() && fresh.constData() != kept.constData() && fresh == kept) {
            fresh = kept;
        }
    } else if constexpr (sameRecordDetail::IsOptional<T>::value) {
        if (fresh && kept) {
            shareEqualTexts(*fresh, *kept);
        }
    }
}
