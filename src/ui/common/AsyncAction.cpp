#include "AsyncAction.h"

#include "Error.h"

#include <exception>

namespace AsyncAction {

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

} // namespace AsyncAction
