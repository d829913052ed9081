#include "errorguard.h"

#include "helpers.h"
#include "runtimeerror.h"

void showException(const std::exception_ptr& failure) noexcept
{
    try {
        std::rethrow_exception(failure);
    } catch (const RuntimeError& error) {
        errorbox(error.message());
    } catch (const std::exception& error) {
        errorbox(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        errorbox(QStringLiteral("未知错误"));
    }
}

bool guarded(const std::function<void()>& body) noexcept
{
    try {
        body();
        return true;
    } catch (...) {
        showException(std::current_exception());
    }
    return false;
}
