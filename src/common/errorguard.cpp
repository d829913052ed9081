#include "errorguard.h"

#include "helpers.h"
#include "runtimeerror.h"

void showException(Dialogs& dialogs, const std::exception_ptr& failure) noexcept
{
    try {
        std::rethrow_exception(failure);
    } catch (const RuntimeError& error) {
        errorbox(dialogs, error.message());
    } catch (const std::exception& error) {
        errorbox(dialogs, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        errorbox(dialogs, QStringLiteral("未知错误"));
    }
}

bool guarded(Dialogs& dialogs, const std::function<void()>& body) noexcept
{
    try {
        body();
        return true;
    } catch (...) {
        showException(dialogs, std::current_exception());
    }
    return false;
}
