#include "readonlyfolder.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

ReadOnlyFolder::ReadOnlyFolder(const QString& path)
    : m_path(path)
{
    const QByteArray target = QFile::encodeName(path);
    if (::mount(target.constData(), target.constData(), nullptr, MS_BIND, nullptr) != 0) {
        m_failure = QStringLiteral("cannot bind-mount %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    // A bind mount takes the read-only flag only when it is mounted again.
    if (::mount(nullptr, target.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
        m_failure
            = QStringLiteral("cannot make %1 read-only: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        ::umount2(target.constData(), MNT_DETACH);
        return;
    }
    m_mounted = true;
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_mounted) {
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    }
}
