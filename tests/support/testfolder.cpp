#include "testfolder.h"

#include "common/helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

TestFolder::TestFolder()
{
    setProgdir(m_dir.path());
}

TestFolder::~TestFolder()
{
    setProgdir(QString());
}

QString TestFolder::path() const
{
    return withslash(m_dir.path());
}

QString TestFolder::file(const QString& name) const
{
    return path() + name;
}

void TestFolder::write(const QString& name, const QByteArray& bytes) const
{
    const QString target = file(name);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile out(target);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(bytes);
    }
}

QByteArray TestFolder::read(const QString& name) const
{
    QFile in(file(name));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

bool TestFolder::exists(const QString& name) const
{
    return QFileInfo::exists(file(name));
}

QString TestFolder::placeProgram(const QString& binary) const
{
    const QString program = file(QFileInfo(binary).fileName());
    if (::link(QFile::encodeName(binary).constData(), QFile::encodeName(program).constData()) == 0
        || QFile::copy(binary, program)) {
        return program;
    }
    return {};
}
