#pragma once

#include <QString>
#include <QTemporaryDir>

// A small file system of its own (tmpfs) mounted on a temporary folder, which fill() fills to the
// last byte: writes there really meet ENOSPC, as on a full disk. Mounting needs root (the tests run
// as root here and in CI); available() says whether it worked and failure() why not.
class FullDisk final
{
public:
    explicit FullDisk(qint64 bytes = 256 * 1024);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool available() const { return m_mounted; }
    QString failure() const { return m_failure; }
    QString path() const; // ends in a separator
    QString file(const QString& name) const;

    // Takes every free byte, so the next write meets a full disk.
    void fill();
    // Gives the space back.
    void release();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_failure;
};
