#include "storedquery.h"

#include "common/runtimeerror.h"

namespace {

bool isNameStart(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}

bool isNameChar(QChar c)
{
    return isNameStart(c) || (c >= u'0' && c <= u'9');
}

[[noreturn]] void refuse(const QString& commandText, const QString& why)
{
    throw RuntimeError(QStringLiteral("无法执行存储查询命令“%1”：%2").arg(commandText, why));
}

} // namespace

QString storedQueryCommandText(const QString& name, const QStringList& values)
{
    QString text = QStringLiteral("execute ") + name;
    for (qsizetype i = 0; i < values.size(); ++i) {
        QString value = values.at(i);
        value.replace(QLatin1Char('\''), QStringLiteral("''"));
        text += (i == 0 ? QStringLiteral(" '") : QStringLiteral(",'")) + value + QLatin1Char('\'');
    }
    return text;
}

StoredQueryCall parseStoredQueryCommand(const QString& commandText)
{
    const QString text = commandText;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipBlanks = [&] {
        while (i < n && text.at(i).isSpace()) {
            ++i;
        }
    };

    skipBlanks();
    const QLatin1String keyword("execute");
    if (text.mid(i, keyword.size()).compare(keyword, Qt::CaseInsensitive) != 0) {
        refuse(commandText, QStringLiteral("应以 execute 开头"));
    }
    i += keyword.size();
    if (i >= n || !text.at(i).isSpace()) {
        refuse(commandText, QStringLiteral("execute 后应有查询名"));
    }
    skipBlanks();

    StoredQueryCall call;
    const qsizetype nameStart = i;
    if (i < n && isNameStart(text.at(i))) {
        ++i;
        while (i < n && isNameChar(text.at(i))) {
            ++i;
        }
    }
    call.name = text.mid(nameStart, i - nameStart);
    if (call.name.isEmpty()) {
        refuse(commandText, QStringLiteral("缺少查询名"));
    }
    if (i < n && !text.at(i).isSpace()) {
        refuse(commandText, QStringLiteral("查询名无效"));
    }
    skipBlanks();

    while (i < n) {
        if (!call.values.isEmpty()) {
            if (text.at(i) != u',') {
                refuse(commandText, QStringLiteral("参数之间应以逗号分隔"));
            }
            ++i;
            skipBlanks();
        }
        if (i >= n || text.at(i) != u'\'') {
            refuse(commandText, QStringLiteral("参数应写在单引号中"));
        }
        ++i;
        QString value;
        bool closed = false;
        while (i < n) {
            const QChar c = text.at(i++);
            if (c != u'\'') {
                value += c;
            } else if (i < n && text.at(i) == u'\'') {
                value += c;
                ++i;
            } else {
                closed = true;
                break;
            }
        }
        if (!closed) {
            refuse(commandText, QStringLiteral("参数缺少结束的单引号"));
        }
        call.values.append(value);
        skipBlanks();
    }
    return call;
}
