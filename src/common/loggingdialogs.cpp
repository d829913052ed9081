#include "loggingdialogs.h"

#include "eventlog.h"

bool LoggingDialogs::message(Icon icon, const QString& caption, const QString& text, Buttons buttons)
{
    return detailedMessage(icon, caption, text, QString(), buttons);
}

bool LoggingDialogs::detailedMessage(Icon icon, const QString& caption, const QString& text, const QString& details,
                                     Buttons buttons)
{
    const char* kind = icon == Icon::Critical ? "error box" : "message box";
    logEvent(QStringLiteral("%1 [%2] %3").arg(QLatin1String(kind), caption, text)
             + (details.isEmpty() ? QString() : QStringLiteral(" (details: %1)").arg(details)));
    const bool answer = details.isEmpty() ? m_inner.message(icon, caption, text, buttons)
                                          : m_inner.detailedMessage(icon, caption, text, details, buttons);
    if (buttons == Buttons::YesNo) {
        logEvent(QStringLiteral("answered %1").arg(answer ? QStringLiteral("Yes") : QStringLiteral("No")));
    }
    return answer;
}
