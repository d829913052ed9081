#include "ciskip.h"
#include "common/atomicfile.h"
#include "fulldisk.h"
#include "testfolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

mode_t modeOf(const QString& path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// Everything but the filler of the full disk: no temporary file may stay behind.
QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot);
}

} // namespace

// A write completes or changes nothing, on a file system that is really full.
class TestAtomicFile final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ::umask(022); }

    void aFullDiskLeavesTheOldFile_data()
    {
        QTest::addColumn<bool>("oldFile");
        QTest::addColumn<bool>("fill");
        QTest::addColumn<int>("bytes");
        QTest::newRow("full disk, new file") << false << true << 268;
        QTest::newRow("full disk, replacing") << true << true << 268;
        QTest::newRow("full disk, replacing with nothing") << true << true << 0;
        QTest::newRow("room for half of it") << true << false << 400 * 1024;
        QTest::newRow("room for half, new file") << false << false << 400 * 1024;
    }

    void aFullDiskLeavesTheOldFile()
    {
        QFETCH(bool, oldFile);
        QFETCH(bool, fill);
        QFETCH(int, bytes);
        FullDisk disk(256 * 1024);
        if (!disk.available()) {
            KELVORA_SKIP("a tmpfs cannot be mounted here (not root?); the file-size limit test still runs");
        }
        const QString path = disk.file(QStringLiteral("setinfo.ini"));
        const QByteArray old("[System]\r\nNext_month=1\r\n");
        if (oldFile) {
            writeFile(path, old);
        }
        if (fill) {
            disk.fill();
        }
        const QStringList before = filesIn(disk.path());
        try {
            AtomicFile::replace(path, QByteArray(bytes, 'x'));
            if (bytes > 0) {
                QFAIL("the write was not refused");
            }
        } catch (const FileWriteError& error) {
            QCOMPARE(error.path(), path);
            QVERIFY2(error.message().contains(path), qPrintable(error.message()));
            QVERIFY2(error.reason().contains(QStringLiteral("No space left")), qPrintable(error.reason()));
        }
        if (bytes == 0) {
            // Nothing to write needs no room: the file is replaced by an empty one, as asked.
            QCOMPARE(readFile(path), QByteArray());
            return;
        }
        QCOMPARE(QFile::exists(path), oldFile);
        if (oldFile) {
            QCOMPARE(readFile(path), old);
        }
        QCOMPARE(filesIn(disk.path()), before);
    }

    // Without the right to mount: a limit on the file size makes the kernel refuse the write (EFBIG),
    // which takes the same road. Runs in a child, so the limit binds nobody else.
    void aRefusedWriteLeavesTheOldFile()
    {
        TestFolder folder;
        const QString path = folder.file(QStringLiteral("export.txt"));
        writeFile(path, "old roster");
        const pid_t child = ::fork();
        if (child == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit { 4096, 4096 };
            ::setrlimit(RLIMIT_FSIZE, &limit);
            try {
                AtomicFile::replace(path, QByteArray(100 * 1024, 'x'));
            } catch (const FileWriteError& error) {
                ::_exit(error.path() == path && error.message().contains(path) ? 0 : 2);
            }
            ::_exit(1);
        }
        int status = -1;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(readFile(path), QByteArray("old roster"));
        QCOMPARE(filesIn(folder.path()), QStringList { QStringLiteral("export.txt") });
    }

    void permissions_data()
    {
        QTest::addColumn<int>("oldMode"); // 0: no old file
        QTest::addColumn<int>("newMode");
        QTest::newRow("a new file is private") << 0 << 0600;
        QTest::newRow("a shared file stays shared") << 0644 << 0644;
        QTest::newRow("a group file stays so") << 0640 << 0640;
        QTest::newRow("a private file stays private") << 0600 << 0600;
    }

    void permissions()
    {
        QFETCH(int, oldMode);
        QFETCH(int, newMode);
        TestFolder folder;
        const QString path = folder.file(QStringLiteral("导出数据.csv"));
        if (oldMode != 0) {
            writeFile(path, "old");
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(oldMode)), 0);
        }
        AtomicFile::replace(path, "new");
        QCOMPARE(readFile(path), QByteArray("new"));
        QCOMPARE(int(modeOf(path)), newMode);
    }

    void refusedPlaces_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("read-only file") << "read-only file";
        QTest::newRow("missing folder") << "missing folder";
        QTest::newRow("a folder") << "a folder";
    }

    void refusedPlaces()
    {
        QFETCH(QString, kind);
        TestFolder folder;
        QString path = folder.file(QStringLiteral("setinfo.ini"));
        if (kind == QStringLiteral("read-only file")) {
            writeFile(path, "old");
            QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        } else if (kind == QStringLiteral("missing folder")) {
            path = folder.file(QStringLiteral("gone/setinfo.ini"));
        } else {
            QVERIFY(QDir().mkpath(path));
        }
        QVERIFY_THROWS_EXCEPTION(FileWriteError, AtomicFile::replace(path, "new"));
        if (kind == QStringLiteral("read-only file")) {
            QCOMPARE(readFile(path), QByteArray("old"));
        }
        QVERIFY(!QFile::exists(folder.file(QStringLiteral("gone"))));
    }

    void anUncommittedFileChangesNothing()
    {
        TestFolder folder;
        const QString path = folder.file(QStringLiteral("a.wav"));
        writeFile(path, "old");
        {
            AtomicFile file(path);
            file.write("RIFF");
        }
        QCOMPARE(readFile(path), QByteArray("old"));
        QCOMPARE(filesIn(folder.path()), QStringList { QStringLiteral("a.wav") });
    }

    // Bytes already written can be written over (a header whose sizes are known only at the end);
    // later writes go on at the end. A write past what was written is refused and changes nothing.
    void writeAtOverwritesWhatWasWritten()
    {
        TestFolder folder;
        const QString path = folder.file(QStringLiteral("a.wav"));
        {
            AtomicFile file(path);
            file.write("HEAD0000");
            file.write("body");
            file.writeAt(4, "1234");
            file.write("!");
            file.commit();
        }
        QCOMPARE(readFile(path), QByteArray("HEAD1234body!"));
        {
            AtomicFile file(path);
            file.write("abc");
            QVERIFY_THROWS_EXCEPTION(FileWriteError, file.writeAt(2, "xy"));
        }
        QCOMPARE(readFile(path), QByteArray("HEAD1234body!"));
        QCOMPARE(filesIn(folder.path()), QStringList { QStringLiteral("a.wav") });
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "test_atomicfile.moc"
