#include "eventlog.h"

#include "atomicfile.h"
#include "clock.h"

#include <QFile>
#include <QMutex>
#include <QTextStream>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace EventLog {

namespace {
    QMutex g_mutex;
    QString g_path;
    bool g_echo = false;
    bool g_failedOnce = false;
    qint64 g_maxBytes = 1024 * 1024;
    const Clock* g_clock = nullptr;
    // The log file stays open between lines; each line is one unbuffered write, so it is whole in the
    // file even when the program dies right after it.
    int g_fd = -1;
    bool g_created = false; // the open file was made by this program and has had no line yet

    void closeFile()
    {
        if (g_fd >= 0) {
            ::close(g_fd);
            g_fd = -1;
        }
    }

    mode_t modeOf(QFileDevice::Permissions permissions)
    {
        mode_t mode = 0;
        mode |= permissions & QFileDevice::ReadOwner ? S_IRUSR : 0;
        mode |= permissions & QFileDevice::WriteOwner ? S_IWUSR : 0;
        mode |= permissions & QFileDevice::ExeOwner ? S_IXUSR : 0;
        mode |= permissions & QFileDevice::ReadGroup ? S_IRGRP : 0;
        mode |= permissions & QFileDevice::WriteGroup ? S_IWGRP : 0;
        mode |= permissions & QFileDevice::ExeGroup ? S_IXGRP : 0;
        mode |= permissions & QFileDevice::ReadOther ? S_IROTH : 0;
        mode |= permissions & QFileDevice::WriteOther ? S_IWOTH : 0;
        mode |= permissions & QFileDevice::ExeOther ? S_IXOTH : 0;
        return mode;
    }

    // Opens (or creates, with the permissions given) the log for appending. False with the reason.
    bool openFile(QFileDevice::Permissions permissions, QString* reason)
    {
        const QByteArray path = QFile::encodeName(g_path);
        g_created = false;
        const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0) {
            g_fd = fd;
            return true;
        }
        if (errno == ENOENT) {
            const int created = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (created >= 0) {
                // Exactly these permissions, whatever the umask says.
                ::fchmod(created, modeOf(permissions));
                g_fd = created;
                g_created = true;
                return true;
            }
        }
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }

    // The open file's size; -1 when it is no longer the log (somebody removed it, or renamed it away and
    // perhaps put another in its place).
    qint64 openFileSize()
    {
        struct stat open = {};
        struct stat named = {};
        if (::fstat(g_fd, &open) != 0 || open.st_nlink == 0
            || ::stat(QFile::encodeName(g_path).constData(), &named) != 0 || named.st_dev != open.st_dev
            || named.st_ino != open.st_ino) {
            return -1;
        }
        return qint64(open.st_size);
    }

    void fail(const QByteArray& line, const QString& reason)
    {
        // The event itself is not lost: standard error gets it (the journal of a service).
        if (!g_echo) {
            fwrite(line.constData(), 1, size_t(line.size()), stderr);
        }
        if (!g_failedOnce) {
            g_failedOnce = true;
            QTextStream(stderr) << "kelvora: cannot write the event log " << g_path << ": " << reason << Qt::endl;
        }
    }
} // namespace

void open(const QString& path, bool echo, const Clock* clock, qint64 maxBytes)
{
    QMutexLocker lock(&g_mutex);
    closeFile();
    g_path = path;
    g_clock = clock ? clock : &Clock::system();
    g_echo = echo;
    g_maxBytes = maxBytes;
    g_failedOnce = false;
}

void close()
{
    QMutexLocker lock(&g_mutex);
    closeFile();
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

    QString reason;
    qint64 size = g_fd >= 0 ? openFileSize() : -1;
    if (g_fd >= 0 && size < 0) {
        closeFile(); // removed or rotated by somebody else: the file of that name takes its place
    }
    // The log holds names: a new file is its owner's only, and the one that follows a full one
    // keeps the permissions the user gave the old.
    QFileDevice::Permissions permissions = AtomicFile::NewFilePermissions;
    if (g_fd < 0) {
        if (!openFile(permissions, &reason)) {
            fail(line, reason);
            return;
        }
        size = openFileSize();
    }
    if (size > 0 && size + line.size() > g_maxBytes) {
        const QString older = g_path + QStringLiteral(".1");
        permissions = QFile::permissions(g_path);
        closeFile();
        QFile::remove(older);
        QFile::rename(g_path, older);
        if (!openFile(permissions, &reason)) {
            fail(line, reason);
            return;
        }
        size = 0;
    }
    const ssize_t written = ::write(g_fd, line.constData(), size_t(line.size()));
    if (written != ssize_t(line.size())) {
        reason = written < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("No space left on device");
        if (written > 0 && size >= 0) {
            // No half line stays behind.
            if (::ftruncate(g_fd, off_t(size)) != 0) {
                reason += QStringLiteral(" (and the half line could not be taken back)");
            }
        }
        closeFile();
        if (g_created && size == 0) {
            QFile::remove(g_path); // not even an empty file of ours stays behind
        }
        fail(line, reason);
        return;
    }
    g_created = false;
}

} // namespace EventLog
