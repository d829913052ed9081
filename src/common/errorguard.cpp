#include "errorguard.h"

#include "helpers.h"
#include "runtimeerror.h"

#include <exception>

bool guarded(const std::function<void()>& body) noexcept
{
    try {
        body();
        return true;
    } catch (const RuntimeError& error) {
        errorbox(error.message());
    } catch (const std::exception& error) {
        errorbox(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        errorbox(QStringLiteral("未知错误"));
    }
    return false;
}
