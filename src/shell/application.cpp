#include "application.h"

#include "common/helpers.h"
#include "common/runtimeerror.h"

KelvoraApplication::KelvoraApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool KelvoraApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const RuntimeError& error) {
        errorbox(error.message());
    } catch (const std::exception& error) {
        errorbox(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        errorbox(QStringLiteral("未知错误"));
    }
    return false;
}
