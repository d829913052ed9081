#include "eventlog.h"

#include "atomicfile.h"
#include "clock.h"

#include <QFile>
#include <QMutex>
#include <QTextStream>

namespace EventLog {

namespace {
    QMutex g_mutex;
    QString g_path;
    bool g_echo = false;
    bool g_failedOnce = false;
    qint64 g_maxBytes = 1024 * 1024;
    const Clock* g_clock = nullptr;
} // namespace

void open(const QString& path, bool echo, const Clock* clock, qint64 maxBytes)
{
    QMutexLocker lock(&g_mutex);
    g_path = path;
    g_clock = clock ? clock : &Clock::system();
    g_echo = echo;
    g_maxBytes = maxBytes;
    g_failedOnce = false;
}

void close()
{
    QMutexLocker lock(&g_mutex);
    g_path.clear();
    g_clock = nullptr;
}

bool isOpen()
{
    QMutexLocker lock(&g_mutex);
    return !g_path.isEmpty();
}

bool echoes()
{
    QMutexLocker lock(&g_mutex);
    return g_echo && !g_path.isEmpty();
}

void write(const QString& event)
{
    QMutexLocker lock(&g_mutex);
    if (g_path.isEmpty()) {
        return;
    }
    QString text = event;
    text.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
    const QByteArray line
        = (g_clock->now().toString(Qt::ISODateWithMs) + QLatin1Char(' ') + text + QLatin1Char('\n')).toUtf8();
    if (g_echo) {
        fwrite(line.constData(), 1, size_t(line.size()), stderr);
    }
    QFile file(g_path);
    // The log holds names: a new file is its owner's only, and the one that follows a full one
    // keeps the permissions the user gave the old.
    QFileDevice::Permissions permissions = AtomicFile::NewFilePermissions;
    if (file.exists() && file.size() + line.size() > g_maxBytes) {
        const QString older = g_path + QStringLiteral(".1");
        permissions = QFile::permissions(g_path);
        QFile::remove(older);
        QFile::rename(g_path, older);
    }
    const bool existed = file.exists();
    const qint64 before = existed ? file.size() : 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered, permissions)
        || file.write(line) != line.size()) {
        const QString reason = file.errorString();
        if (file.isOpen()) {
            file.resize(before); // no half line stays behind
            file.close();
            if (!existed) {
                file.remove();
            }
        }
        // The event itself is not lost: standard error gets it (the journal of a service).
        if (!g_echo) {
            fwrite(line.constData(), 1, size_t(line.size()), stderr);
        }
        if (!g_failedOnce) {
            g_failedOnce = true;
            QTextStream(stderr) << "kelvora: cannot write the event log " << g_path << ": " << reason << Qt::endl;
        }
    }
}

} // namespace EventLog
