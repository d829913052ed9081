#include "loggingdialogs.h"

#include "eventlog.h"

bool LoggingDialogs::message(Icon icon, const QString& caption, const QString& text, Buttons buttons)
{
    const char* kind = icon == Icon::Critical ? "error box" : "message box";
    logEvent(QStringLiteral("%1 [%2] %3").arg(QLatin1String(kind), caption, text));
    const bool answer = m_inner.message(icon, caption, text, buttons);
    if (buttons == Buttons::YesNo) {
        logEvent(QStringLiteral("answered %1").arg(answer ? QStringLiteral("Yes") : QStringLiteral("No")));
    }
    return answer;
}
