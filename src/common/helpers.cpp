#include "helpers.h"

#include "ansi.h"
#include "clock.h"
#include "dialogs.h"
#include "stationfolders.h"

#include <QDir>
#include <QStandardPaths>

void warnbox(Dialogs& dialogs, const QString& text)
{
    dialogs.message(Dialogs::Icon::Warning, QStringLiteral("Warning"), text, Dialogs::Buttons::Ok);
}

void warnbox(Dialogs& dialogs, const QString& text, const QString& details)
{
    dialogs.detailedMessage(Dialogs::Icon::Warning, QStringLiteral("Warning"), text, details, Dialogs::Buttons::Ok);
}

bool askbox(Dialogs& dialogs, const QString& text)
{
    return dialogs.message(Dialogs::Icon::Question, QStringLiteral("Confirm"), text, Dialogs::Buttons::YesNo);
}

void infobox(Dialogs& dialogs, const QString& text)
{
    dialogs.message(Dialogs::Icon::Information, QStringLiteral("Information"), text, Dialogs::Buttons::Ok);
}

void errorbox(Dialogs& dialogs, const QString& text)
{
    dialogs.message(Dialogs::Icon::Critical, QStringLiteral("Kelvora"), text, Dialogs::Buttons::Ok);
}

void errorbox(Dialogs& dialogs, const QString& text, const QString& details)
{
    dialogs.detailedMessage(Dialogs::Icon::Critical, QStringLiteral("Kelvora"), text, details, Dialogs::Buttons::Ok);
}

QString rightpart(const QString& text, int count)
{
    const int total = Ansi::length(text);
    if (total <= count) {
        return text;
    }
    // Round the start up to a character boundary so no half character is returned.
    const int startByte = total - qMax(0, count);
    int pos = Ansi::charPosition(text, startByte);
    if (Ansi::byteOffset(text, pos) < startByte) {
        ++pos;
        if (pos < text.size() && text.at(pos).isLowSurrogate()) {
            ++pos;
        }
    }
    return text.mid(pos);
}

QString padleft(const QString& text, int length, QChar fill)
{
    QString result = text;
    const int fillBytes = Ansi::length(QString(fill));
    if (fillBytes <= 0) {
        return result;
    }
    int bytes = Ansi::length(result);
    while (bytes < length) {
        result.prepend(fill);
        bytes += fillBytes;
    }
    return result;
}

QString withslash(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/'))) {
        return folder;
    }
    return folder + QLatin1Char('/');
}

QString progdir()
{
    return StationFolders::current().dataFolder();
}

void setProgdir(const QString& folder)
{
    if (folder.isEmpty()) {
        StationFolders::resetCurrent();
    } else {
        StationFolders::setCurrent(StationFolders::inOneFolder(folder));
    }
}

QString documentsdir()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return withslash(!documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath());
}

QString tempdir()
{
    QString temp = QDir::tempPath();
    if (temp.size() > 255) {
        temp.truncate(255);
    }
    return withslash(temp);
}

void waitms(Clock& clock, int ms)
{
    clock.wait(ms);
}

QString weekdayName(const QDate& date)
{
    static const char* const names[] = { "星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六" };
    // Qt counts Monday as 1 and Sunday as 7; the names start on Sunday.
    return QString::fromUtf8(names[date.dayOfWeek() % 7]);
}
