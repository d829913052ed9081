#include "linebreaks.h"

QString escapeLineBreaks(const QString& text)
{
    QString stored;
    stored.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\')) {
            stored += QLatin1String("\\\\");
        } else if (c == QLatin1Char('\r')) {
            // CR LF is one line break; a lone CR is kept as such.
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
                ++i;
                stored += QLatin1String("\\n");
            } else {
                stored += QLatin1String("\\r");
            }
        } else if (c == QLatin1Char('\n')) {
            stored += QLatin1String("\\n");
        } else if ((c == QLatin1Char('"') || c == QLatin1Char('\'')) && stored.trimmed().isEmpty()) {
            stored += QLatin1Char('\\');
            stored += c;
        } else {
            stored += c;
        }
    }
    return stored;
}

QString unescapeLineBreaks(const QString& stored)
{
    QString text;
    text.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QChar c = stored.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= stored.size()) {
            text += c;
            continue;
        }
        const QChar next = stored.at(i + 1);
        if (next == QLatin1Char('n')) {
            text += QLatin1Char('\n');
        } else if (next == QLatin1Char('r')) {
            text += QLatin1Char('\r');
        } else if (next == QLatin1Char('\\') || next == QLatin1Char('"') || next == QLatin1Char('\'')) {
            text += next;
        } else {
            text += c;
            continue;
        }
        ++i;
    }
    return text;
}
