#include "Error.h"

const char *QuilloryError::what() const noexcept
{
    if (m_what.isEmpty()) {
        m_what = description().toUtf8();
    }
    return m_what.constData();
}

QString describeCurrentException()
{
    try {
        throw;
    } catch (const QuilloryError &error) {
        return error.description();
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("操作无法完成。");
    }
}
