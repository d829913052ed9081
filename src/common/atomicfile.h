#pragma once

#include "runtimeerror.h"

#include <QByteArray>
#include <QFileDevice>
#include <QSaveFile>
#include <QString>

// A write that the file system refused: which file, and why.
class FileWriteError final : public RuntimeError
{
public:
    FileWriteError(const QString& path, const QString& reason);

    QString path() const { return m_path; }
    QString reason() const { return m_reason; }

private:
    QString m_path;
    QString m_reason;
};

// Replaces a file whole or not at all; every file the station writes goes through it. The bytes go
// unbuffered into a temporary file beside the target, so a full disk shows at the write that meets it
// rather than in a final flush nobody checks; before the temporary file is renamed over the old one it
// is flushed, checked and synced. On any failure the temporary file is removed and the old file stays
// as it was. A new file is created readable by its owner only (it may hold names); a file that is
// replaced keeps its permissions.
class AtomicFile final
{
public:
    // Throws FileWriteError when the temporary file cannot be made (missing or read-only folder).
    explicit AtomicFile(const QString& path);
    // Without commit() nothing changes on disk.
    ~AtomicFile();
    Q_DISABLE_COPY_MOVE(AtomicFile)

    // Throws FileWriteError; the old file is then untouched.
    void write(const QByteArray& bytes);
    // Writes over bytes already written, from offset on (a header whose sizes are known only at the
    // end); later writes go on at the end. Throws FileWriteError; the old file is then untouched.
    void writeAt(qint64 offset, const QByteArray& bytes);
    // Puts the new file in place. Throws FileWriteError; the old file is then untouched.
    void commit();

    QString path() const { return m_path; }

    // The whole file at once.
    static void replace(const QString& path, const QByteArray& bytes);

    // What a file that the station creates may be read by.
    static constexpr QFileDevice::Permissions NewFilePermissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    // The permissions for a file that takes the place of path: its own when it exists, else NewFilePermissions.
    static QFileDevice::Permissions permissionsFor(const QString& path);

private:
    [[noreturn]] void fail(const QString& reason);

    QString m_path;
    QSaveFile m_file;
    bool m_finished = false;
};
