#pragma once

#include "Error.h"

#include <QString>

#include <exception>

// The text a person sees for a caught failure.
inline QString errorText(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const QuilloryError &e) {
        return e.description();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("未知错误");
    }
}
