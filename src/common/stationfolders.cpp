#include "stationfolders.h"

#include "atomicfile.h"
#include "helpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

#include <cerrno>
#include <cstring>
#include <unistd.h>

#ifndef KELVORA_SHARE_RELATIVE
#define KELVORA_SHARE_RELATIVE "../share/kelvora"
#endif

namespace {

const QString SettingsName = QStringLiteral("setinfo.ini");
const QString DatabaseName = QStringLiteral("draft.dat");
const QString LogName = QStringLiteral("kelvora.log");
const QString MusicName = QStringLiteral("mp3files");
const QString Sub = QStringLiteral("kelvora");

QMutex g_mutex;
bool g_set = false;
StationFolders g_current;

QString absoluteFolder(const QString& folder)
{
    return withslash(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
}

// An XDG base folder: the variable when it holds an absolute path (the standard ignores relative
// ones), else the default under the home folder.
QString xdgBase(const QString& variable, const QString& home, const QString& fallback)
{
    if (!variable.isEmpty() && QDir::isAbsolutePath(variable)) {
        return withslash(QDir::cleanPath(variable));
    }
    return withslash(QDir::cleanPath(home + QLatin1Char('/') + fallback));
}

bool makeFolder(const QString& folder, QString* problem)
{
    if (QFileInfo(folder).isDir()) {
        return true;
    }
    if (QDir().mkpath(folder) && QFileInfo(folder).isDir()) {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return true;
    }
    *problem = QStringLiteral("cannot create the folder %1").arg(folder)
        + (QFileInfo(QDir::cleanPath(folder)).exists() ? QStringLiteral(" (a file of that name is in the way)")
                                                       : QString());
    return false;
}

// Copies the template into place without ever replacing a file: the copy is written beside the target
// and linked to its name, which fails when a file appeared there meanwhile.
bool copyTemplate(const QString& templatePath, const QString& target, QString* problem)
{
    QFile source(templatePath);
    if (!source.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("cannot read the template database %1: %2").arg(templatePath, source.errorString());
        return false;
    }
    const QByteArray bytes = source.readAll();
    if (bytes.isEmpty()) {
        *problem = QStringLiteral("the template database %1 is empty").arg(templatePath);
        return false;
    }
    const QString staging = target + QStringLiteral(".new-%1").arg(QCoreApplication::applicationPid());
    try {
        AtomicFile::replace(staging, bytes); // complete or absent, readable by the owner only
    } catch (const FileWriteError& error) {
        *problem = error.message();
        return false;
    }
    const bool linked = ::link(QFile::encodeName(staging).constData(), QFile::encodeName(target).constData()) == 0;
    const int linkError = errno;
    QFile::remove(staging);
    if (!linked && linkError != EEXIST) {
        *problem = QStringLiteral("cannot create %1: %2").arg(target, QString::fromLocal8Bit(std::strerror(linkError)));
        return false;
    }
    return true;
}

} // namespace

StationFolders::Inputs StationFolders::Inputs::ofProcess(const QString& chosenFolder)
{
    Inputs inputs;
    inputs.programFolder = QCoreApplication::applicationDirPath();
    inputs.chosenFolder = chosenFolder;
    inputs.home = QDir::homePath();
    inputs.configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    inputs.dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    inputs.stateHome = qEnvironmentVariable("XDG_STATE_HOME");
    return inputs;
}

StationFolders StationFolders::decide(const Inputs& inputs)
{
    if (!inputs.chosenFolder.isEmpty()) {
        return inOneFolder(inputs.chosenFolder, Mode::Chosen);
    }
    // Existence alone decides: a read-only copied folder is still the station's (its writes then fail
    // and say so), never silently swapped for another station in the home folder.
    const QString program = absoluteFolder(inputs.programFolder);
    if (QFileInfo::exists(program + SettingsName) || QFileInfo::exists(program + DatabaseName)) {
        return inOneFolder(program, Mode::Portable);
    }
    StationFolders folders;
    folders.m_mode = Mode::Installed;
    folders.m_config = xdgBase(inputs.configHome, inputs.home, QStringLiteral(".config")) + Sub + QLatin1Char('/');
    folders.m_data = xdgBase(inputs.dataHome, inputs.home, QStringLiteral(".local/share")) + Sub + QLatin1Char('/');
    folders.m_state = xdgBase(inputs.stateHome, inputs.home, QStringLiteral(".local/state")) + Sub + QLatin1Char('/');
    return folders;
}

StationFolders StationFolders::inOneFolder(const QString& folder, Mode mode)
{
    StationFolders folders;
    folders.m_mode = mode;
    folders.m_config = absoluteFolder(folder);
    folders.m_data = folders.m_config;
    folders.m_state = folders.m_config;
    return folders;
}

QString StationFolders::settingsFile() const
{
    return m_config + SettingsName;
}

QString StationFolders::databaseFile() const
{
    return m_data + DatabaseName;
}

QString StationFolders::logFile() const
{
    return m_state + LogName;
}

QString StationFolders::musicFolder() const
{
    return m_data + MusicName;
}

QString StationFolders::describe() const
{
    switch (m_mode) {
    case Mode::Portable:
        return QStringLiteral("station folder %1 (portable: the program's folder)").arg(m_data);
    case Mode::Chosen:
        return QStringLiteral("station folder %1 (chosen with --folder)").arg(m_data);
    case Mode::Installed:
        break;
    }
    return QStringLiteral("station folders (installed): settings %1, data %2, log %3").arg(m_config, m_data, m_state);
}

bool StationFolders::prepare(const QString& templateDatabase, QString* problem) const
{
    QString ignored;
    QString& why = problem ? *problem : ignored;
    if (m_mode == Mode::Portable) {
        return true;
    }
    const bool newStation
        = m_mode == Mode::Installed || (!QFileInfo::exists(settingsFile()) && !QFileInfo::exists(databaseFile()));
    for (const QString& folder : { m_config, m_data, m_state, musicFolder() }) {
        if (!makeFolder(folder, &why)) {
            return false;
        }
    }
    if (!newStation || QFileInfo::exists(databaseFile()) || QFileInfo(databaseFile()).isSymLink()) {
        return true;
    }
    return copyTemplate(templateDatabase, databaseFile(), &why);
}

StationFolders StationFolders::current()
{
    {
        QMutexLocker lock(&g_mutex);
        if (g_set) {
            return g_current;
        }
    }
    return inOneFolder(QCoreApplication::applicationDirPath(), Mode::Portable);
}

void StationFolders::setCurrent(const StationFolders& folders)
{
    QMutexLocker lock(&g_mutex);
    g_current = folders;
    g_set = true;
}

void StationFolders::resetCurrent()
{
    QMutexLocker lock(&g_mutex);
    g_set = false;
}

QString StationFolders::sharedFolder(const QString& programFolder)
{
    return absoluteFolder(withslash(programFolder) + QStringLiteral(KELVORA_SHARE_RELATIVE));
}

QString StationFolders::sharedFolder()
{
    return sharedFolder(QCoreApplication::applicationDirPath());
}

QString StationFolders::templateDatabase()
{
    return sharedFolder() + DatabaseName;
}
