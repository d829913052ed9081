#include "atomicfile.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>

FileWriteError::FileWriteError(const QString& path, const QString& reason)
    : RuntimeError(QStringLiteral("无法写入文件 %1：%2").arg(path, reason))
    , m_path(path)
    , m_reason(reason)
{
}

AtomicFile::AtomicFile(const QString& path)
    : m_path(path)
    , m_file(path)
{
    const QFileInfo target(path);
    if (target.isDir()) {
        m_finished = true;
        throw FileWriteError(path, QStringLiteral("it is a folder"));
    }
    const bool replaces = target.exists();
    // A file nobody may write is meant to stay as it is, also for root (whom the kernel lets write it).
    constexpr QFileDevice::Permissions anyWrite
        = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (replaces && (target.permissions() & anyWrite) == 0) {
        m_finished = true;
        throw FileWriteError(path, QStringLiteral("the file is read-only"));
    }
    // Unbuffered: every write reaches the file system at once and its refusal is seen there.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        m_finished = true;
        throw FileWriteError(path, m_file.errorString());
    }
    // QSaveFile gives a replacing file the old one's permissions; a new one would get the umask's.
    if (!replaces && !m_file.setPermissions(NewFilePermissions)) {
        fail(m_file.errorString());
    }
}

AtomicFile::~AtomicFile()
{
    if (!m_finished) {
        m_file.cancelWriting();
        m_file.commit(); // discards the temporary file
    }
}

void AtomicFile::fail(const QString& reason)
{
    m_finished = true;
    m_file.cancelWriting();
    m_file.commit(); // discards the temporary file; the old one stays
    throw FileWriteError(m_path, reason.isEmpty() ? QStringLiteral("unknown error") : reason);
}

void AtomicFile::write(const QByteArray& bytes)
{
    if (m_finished) {
        throw FileWriteError(m_path, QStringLiteral("the file was already closed"));
    }
    // A full disk may take part of the bytes; the next write of the rest says why it stopped.
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = m_file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0 || m_file.error() != QFileDevice::NoError) {
            fail(m_file.errorString());
        }
        done += written;
    }
}

void AtomicFile::writeAt(qint64 offset, const QByteArray& bytes)
{
    if (m_finished) {
        throw FileWriteError(m_path, QStringLiteral("the file was already closed"));
    }
    const qint64 end = m_file.pos();
    if (offset < 0 || offset + bytes.size() > end) {
        fail(QStringLiteral("a write past the end of what was written"));
    }
    if (!m_file.seek(offset)) {
        fail(m_file.errorString());
    }
    write(bytes);
    if (!m_file.seek(end)) {
        fail(m_file.errorString());
    }
}

void AtomicFile::commit()
{
    if (m_finished) {
        throw FileWriteError(m_path, QStringLiteral("the file was already closed"));
    }
    if (!m_file.flush() || m_file.error() != QFileDevice::NoError) {
        fail(m_file.errorString());
    }
    // Some file systems report a lack of space only when the data goes to the disk.
    if (::fsync(m_file.handle()) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP) {
        fail(QString::fromLocal8Bit(std::strerror(errno)));
    }
    m_finished = true;
    if (!m_file.commit()) {
        throw FileWriteError(m_path, m_file.errorString());
    }
}

void AtomicFile::replace(const QString& path, const QByteArray& bytes)
{
    AtomicFile file(path);
    file.write(bytes);
    file.commit();
}

QFileDevice::Permissions AtomicFile::permissionsFor(const QString& path)
{
    return QFileInfo::exists(path) ? QFile::permissions(path) : NewFilePermissions;
}
