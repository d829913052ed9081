#include "ciskip.h"
#include "common/stationfolders.h"
#include "readonlyfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The one decision where the station's files live, and the first start of a new station.
class TestStationFolders final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QDir().mkpath(path(QStringLiteral("bin")));
        QDir().mkpath(path(QStringLiteral("home")));
        QVERIFY(writeFile(templatePath(), "the template database"));
    }

    void cleanup()
    {
        StationFolders::resetCurrent();
        m_root.reset();
    }

    void decide_data()
    {
        QTest::addColumn<QStringList>("programFiles"); // in the program folder
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("xdg"); // config, data, state homes as set
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("expected"); // settings, database, log, music; relative to the root

        const QStringList unset { QString(), QString(), QString() };
        const int portable = int(StationFolders::Mode::Portable);
        const int installed = int(StationFolders::Mode::Installed);
        const int chosen = int(StationFolders::Mode::Chosen);
        const QStringList inBin { QStringLiteral("bin/setinfo.ini"), QStringLiteral("bin/draft.dat"),
                                  QStringLiteral("bin/kelvora.log"), QStringLiteral("bin/mp3files") };
        QTest::newRow("settings beside the program")
            << QStringList { QStringLiteral("setinfo.ini") } << QString() << unset << portable << inBin;
        QTest::newRow("database beside the program")
            << QStringList { QStringLiteral("draft.dat") } << QString() << unset << portable << inBin;
        QTest::newRow("only the log beside the program")
            << QStringList { QStringLiteral("kelvora.log") } << QString() << unset << installed
            << QStringList { QStringLiteral("home/.config/kelvora/setinfo.ini"),
                             QStringLiteral("home/.local/share/kelvora/draft.dat"),
                             QStringLiteral("home/.local/state/kelvora/kelvora.log"),
                             QStringLiteral("home/.local/share/kelvora/mp3files") };
        QTest::newRow("installed, XDG set")
            << QStringList {} << QString()
            << QStringList { QStringLiteral("@/cfg"), QStringLiteral("@/data/"), QStringLiteral("@/state") }
            << installed
            << QStringList { QStringLiteral("cfg/kelvora/setinfo.ini"), QStringLiteral("data/kelvora/draft.dat"),
                             QStringLiteral("state/kelvora/kelvora.log"), QStringLiteral("data/kelvora/mp3files") };
        // The standard ignores a relative path: the default takes its place.
        QTest::newRow("installed, relative XDG")
            << QStringList {} << QString()
            << QStringList { QStringLiteral("cfg"), QString(), QStringLiteral("@/state") } << installed
            << QStringList { QStringLiteral("home/.config/kelvora/setinfo.ini"),
                             QStringLiteral("home/.local/share/kelvora/draft.dat"),
                             QStringLiteral("state/kelvora/kelvora.log"),
                             QStringLiteral("home/.local/share/kelvora/mp3files") };
        const QStringList inChosen { QStringLiteral("station/setinfo.ini"), QStringLiteral("station/draft.dat"),
                                     QStringLiteral("station/kelvora.log"), QStringLiteral("station/mp3files") };
        QTest::newRow("--folder over a portable folder") << QStringList { QStringLiteral("draft.dat") }
                                                         << QStringLiteral("@/station") << unset << chosen << inChosen;
        QTest::newRow("--folder over XDG")
            << QStringList {} << QStringLiteral("@/station/")
            << QStringList { QStringLiteral("@/cfg"), QStringLiteral("@/data"), QStringLiteral("@/state") } << chosen
            << inChosen;
    }

    void decide()
    {
        QFETCH(QStringList, programFiles);
        QFETCH(QString, chosen);
        QFETCH(QStringList, xdg);
        QFETCH(int, mode);
        QFETCH(QStringList, expected);
        for (const QString& name : programFiles) {
            QVERIFY(writeFile(path(QStringLiteral("bin/") + name), "x"));
        }
        const StationFolders folders = StationFolders::decide(inputs(chosen, xdg));
        QCOMPARE(int(folders.mode()), mode);
        QCOMPARE(folders.settingsFile(), path(expected.at(0)));
        QCOMPARE(folders.databaseFile(), path(expected.at(1)));
        QCOMPARE(folders.logFile(), path(expected.at(2)));
        QCOMPARE(folders.musicFolder(), path(expected.at(3)));
        QVERIFY(folders.configFolder().endsWith(QLatin1Char('/')));
        QVERIFY(folders.dataFolder().endsWith(QLatin1Char('/')));
        QVERIFY(folders.stateFolder().endsWith(QLatin1Char('/')));
    }

    // A copied program folder that nobody may write stays the station's: its writes fail and say so,
    // rather than a second station appearing in the home folder. Preparing it writes nothing.
    void readOnlyProgramFolderStaysPortable()
    {
        QVERIFY(writeFile(path(QStringLiteral("bin/draft.dat")), "roster"));
        ReadOnlyFolder readOnly(path(QStringLiteral("bin")));
        if (!readOnly.available()) {
            KELVORA_SKIP(qPrintable(readOnly.failure()));
        }
        QVERIFY(!QFile(path(QStringLiteral("bin/probe"))).open(QIODevice::WriteOnly));
        const StationFolders folders = StationFolders::decide(inputs());
        QCOMPARE(folders.mode(), StationFolders::Mode::Portable);
        QString problem;
        QVERIFY(folders.prepare(templatePath(), &problem));
        QVERIFY(problem.isEmpty());
        QCOMPARE(QDir(path(QStringLiteral("home"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    void firstStartOfAnInstalledStation()
    {
        const StationFolders folders = StationFolders::decide(inputs());
        QCOMPARE(folders.mode(), StationFolders::Mode::Installed);
        QString problem;
        QVERIFY2(folders.prepare(templatePath(), &problem), qPrintable(problem));
        QVERIFY(QFileInfo(folders.configFolder()).isDir());
        QVERIFY(QFileInfo(folders.stateFolder()).isDir());
        QVERIFY(QFileInfo(folders.musicFolder()).isDir());
        QCOMPARE(readFile(folders.databaseFile()), QByteArray("the template database"));
        // The roster holds names: the copy is the user's alone, whatever the template's mode.
        QCOMPARE(QFileInfo(folders.databaseFile()).permissions() & 0x0077, QFileDevice::Permissions());
        QCOMPARE(QDir(folders.dataFolder()).entryList(QDir::Files), QStringList { QStringLiteral("draft.dat") });
        // Nothing is written beside the program.
        QCOMPARE(QDir(path(QStringLiteral("bin"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    void templateNeverReplacesADatabase_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::newRow("installed") << true;
        QTest::newRow("--folder") << false;
    }

    void templateNeverReplacesADatabase()
    {
        QFETCH(bool, installed);
        const StationFolders folders = StationFolders::decide(
            installed ? inputs() : inputs(QStringLiteral("@/station"), { QString(), QString(), QString() }));
        QVERIFY(writeFile(folders.databaseFile(), "the user's roster"));
        QString problem;
        QVERIFY2(folders.prepare(templatePath(), &problem), qPrintable(problem));
        QVERIFY2(folders.prepare(templatePath(), &problem), qPrintable(problem));
        QCOMPARE(readFile(folders.databaseFile()), QByteArray("the user's roster"));
        QCOMPARE(QDir(folders.dataFolder()).entryList(QDir::Files), QStringList { QStringLiteral("draft.dat") });
    }

    // A chosen folder that already is a station keeps what it has: one that lost its database must
    // say so at start-up, not begin again with an empty roster.
    void chosenFolder_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<bool>("templateCopied");
        QTest::newRow("not there yet") << QStringList {} << true;
        QTest::newRow("empty folder") << QStringList { QStringLiteral("mp3files/") } << true;
        QTest::newRow("settings without database") << QStringList { QStringLiteral("setinfo.ini") } << false;
    }

    void chosenFolder()
    {
        QFETCH(QStringList, present);
        QFETCH(bool, templateCopied);
        for (const QString& name : present) {
            if (name.endsWith(QLatin1Char('/'))) {
                QVERIFY(QDir().mkpath(path(QStringLiteral("station/") + name)));
            } else {
                QVERIFY(writeFile(path(QStringLiteral("station/") + name), "x"));
            }
        }
        const StationFolders folders
            = StationFolders::decide(inputs(QStringLiteral("@/station"), { QString(), QString(), QString() }));
        QString problem;
        QVERIFY2(folders.prepare(templatePath(), &problem), qPrintable(problem));
        QCOMPARE(QFileInfo::exists(folders.databaseFile()), templateCopied);
        QVERIFY(QFileInfo(folders.musicFolder()).isDir());
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("home/.config"))));
    }

    void preparingFailsWithItsReason_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no template") << "no template"
                                     << "template.dat";
        QTest::newRow("a file in the way") << "file in the way"
                                           << "cannot create the folder";
        QTest::newRow("read-only home") << "read-only home"
                                        << "cannot create the folder";
    }

    void preparingFailsWithItsReason()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, reason);
        std::unique_ptr<ReadOnlyFolder> readOnly;
        QString templateFile = templatePath();
        if (obstacle == QStringLiteral("no template")) {
            templateFile = path(QStringLiteral("share/kelvora/template.dat"));
        } else if (obstacle == QStringLiteral("file in the way")) {
            QVERIFY(writeFile(path(QStringLiteral("home/.local/share/kelvora")), "a file"));
        } else {
            readOnly = std::make_unique<ReadOnlyFolder>(path(QStringLiteral("home")));
            if (!readOnly->available()) {
                KELVORA_SKIP(qPrintable(readOnly->failure()));
            }
        }
        const StationFolders folders = StationFolders::decide(inputs());
        QString problem;
        QVERIFY(!folders.prepare(templateFile, &problem));
        QVERIFY2(problem.contains(reason), qPrintable(problem));
        QVERIFY(!QFileInfo(folders.databaseFile()).isFile());
        if (obstacle == QStringLiteral("no template")) {
            // No half-made database is left to be mistaken for one.
            QCOMPARE(QDir(folders.dataFolder()).entryList(QDir::Files), QStringList());
        }
    }

    // Until the program settles its folders, and after a test's own, the station is the program folder.
    void currentFallsBackToTheProgramFolder()
    {
        StationFolders::setCurrent(StationFolders::inOneFolder(path(QStringLiteral("station"))));
        QCOMPARE(StationFolders::current().settingsFile(), path(QStringLiteral("station/setinfo.ini")));
        StationFolders::resetCurrent();
        QCOMPARE(StationFolders::current().mode(), StationFolders::Mode::Portable);
        QCOMPARE(StationFolders::current().dataFolder(), QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    }

    void sharedFolderLiesBesideTheBinFolder()
    {
        QCOMPARE(StationFolders::sharedFolder(QStringLiteral("/usr/bin")), QStringLiteral("/usr/share/kelvora/"));
        QCOMPARE(StationFolders::sharedFolder(QStringLiteral("/opt/x/bin/")), QStringLiteral("/opt/x/share/kelvora/"));
    }

private:
    QString path(const QString& relative) const { return QDir::cleanPath(m_root->filePath(relative)); }
    QString templatePath() const { return path(QStringLiteral("share/kelvora/draft.dat")); }
    // "@" stands for the test's root folder.
    StationFolders::Inputs inputs(const QString& chosen = QString(), const QStringList& xdg = {}) const
    {
        const auto expand = [this](const QString& text) {
            return text.startsWith(QLatin1Char('@')) ? m_root->path() + text.mid(1) : text;
        };
        StationFolders::Inputs in;
        in.programFolder = path(QStringLiteral("bin"));
        in.chosenFolder = expand(chosen);
        in.home = path(QStringLiteral("home"));
        in.configHome = expand(xdg.value(0));
        in.dataHome = expand(xdg.value(1));
        in.stateHome = expand(xdg.value(2));
        return in;
    }

    std::unique_ptr<QTemporaryDir> m_root;
};

QTEST_GUILESS_MAIN(TestStationFolders)
#include "test_stationfolders.moc"
