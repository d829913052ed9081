#include "fulldisk.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {
const QString Filler = QStringLiteral(".filler");
}

FullDisk::FullDisk(qint64 bytes)
{
    if (!m_dir.isValid()) {
        m_failure = QStringLiteral("no temporary folder");
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                options.constData())
        != 0) {
        m_failure = QStringLiteral("cannot mount a tmpfs: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mounted = true;
}

FullDisk::~FullDisk()
{
    if (m_mounted) {
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
}

QString FullDisk::path() const
{
    return m_dir.path() + QLatin1Char('/');
}

QString FullDisk::file(const QString& name) const
{
    return path() + name;
}

void FullDisk::fill()
{
    const QByteArray filler = QFile::encodeName(file(Filler));
    const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd < 0) {
        return;
    }
    // Large pieces first, then single bytes for what is left of the last page.
    for (const qsizetype piece : { qsizetype(64 * 1024), qsizetype(4096), qsizetype(1) }) {
        const QByteArray block(piece, 'f');
        while (::write(fd, block.constData(), size_t(block.size())) == block.size()) { }
    }
    ::close(fd);
}

void FullDisk::release()
{
    QFile::remove(file(Filler));
}
