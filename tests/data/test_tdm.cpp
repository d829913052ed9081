#include "ciskip.h"
#include "common/helpers.h"
#include "common/modelrows.h"
#include "common/runtimeerror.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "fulldisk.h"
#include "testdatabase.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTest>

#include <sys/stat.h>

// Opening draft.dat: the shipped content, the files that must end the program, and the data sets.
class TestTdm : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<DataFixture>(QDateTime(QDate(2024, 3, 5), QTime(8, 0)), DataFixture::NoDatabase);
    }

    void cleanup() { m_fixture.reset(); }

    void shippedDatabaseOpensItsDataSets()
    {
        createTestDatabase(m_fixture->folder);
        TDM tdm(m_fixture->services());
        QVERIFY(tdm.DataModuleCreate());
        QVERIFY(m_fixture->dialogs.takeTexts().isEmpty());

        QSqlTableModel* telltime = tdm.Q_telltime();
        QCOMPARE(telltime->rowCount(), 48);
        QCOMPARE(telltime->record(0).value(QStringLiteral("stime")).toString(), QStringLiteral("00:00:00"));
        QCOMPARE(telltime->record(47).value(QStringLiteral("stime")).toString(), QStringLiteral("23:30:00"));
        QCOMPARE(telltime->record(18).value(QStringLiteral("stime")).toString(), QStringLiteral("09:00:00"));
        QCOMPARE(telltime->record(18).value(QStringLiteral("isplay")).toInt(), 1);
        QCOMPARE(telltime->record(19).value(QStringLiteral("isplay")).toInt(), 0);

        QSqlTableModel* delaytime = tdm.q_delaytime();
        QVERIFY(delaytime->rowCount() >= 8);
        QCOMPARE(delaytime->record(0).value(QStringLiteral("descript")).toString(), QStringLiteral("。"));
        int fullStop = 0;
        int comma = 0;
        for (int row = 0; row < delaytime->rowCount(); ++row) {
            const QSqlRecord record = delaytime->record(row);
            QCOMPARE(record.value(QStringLiteral("candelete")).toInt(), 1);
            if (record.value(QStringLiteral("descript")).toString() == QStringLiteral("。")) {
                fullStop = record.value(QStringLiteral("delaytime")).toInt();
            } else if (record.value(QStringLiteral("descript")).toString() == QStringLiteral("，")) {
                comma = record.value(QStringLiteral("delaytime")).toInt();
            }
        }
        QVERIFY(fullStop > comma && comma > 0);

        for (QSqlTableModel* set : { tdm.Q_history(), tdm.Q_draft(), tdm.Q_draft1(), tdm.Q_birthday2() }) {
            QVERIFY(set);
            QVERIFY2(!set->lastError().isValid(), qPrintable(set->lastError().text()));
            QCOMPARE(set->rowCount(), 0);
        }
    }

    void rosterInJoiningOrder()
    {
        createTestDatabase(m_fixture->folder);
        TDM tdm(m_fixture->services());
        QVERIFY(tdm.DataModuleCreate());
        addEmployee(tdm, QStringLiteral("乙"), QStringLiteral("1990-01-01"), QStringLiteral("2020-05-01"));
        addEmployee(tdm, QStringLiteral("甲"), QStringLiteral("1990-01-01"), QStringLiteral("2019-05-01"));
        addEmployee(tdm, QStringLiteral("丙"), QStringLiteral("1990-01-01"), QStringLiteral("2020-05-01"));
        QSqlTableModel* roster = tdm.Q_birthday2();
        QCOMPARE(roster->rowCount(), 3);
        QCOMPARE(roster->record(0).value(QStringLiteral("emp_name")).toString(), QStringLiteral("甲"));
        QCOMPARE(roster->record(1).value(QStringLiteral("emp_name")).toString(), QStringLiteral("乙"));
        QCOMPARE(roster->record(2).value(QStringLiteral("emp_name")).toString(), QStringLiteral("丙"));
    }

    void filesThatEndTheProgram_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing"
                                 << "missing";
        QTest::newRow("foreign") << "foreign"
                                 << "not a database";
        QTest::newRow("empty") << "empty"
                               << "not a database (an empty file)";
        QTest::newRow("damaged") << "damaged"
                                 << "damaged";
        QTest::newRow("truncated") << "truncated"
                                   << "damaged";
        QTest::newRow("folder") << "folder"
                                << "a folder, not a database";
        QTest::newRow("locked") << "locked"
                                << "locked by another program";
        QTest::newRow("foreign SQLite") << "foreign SQLite"
                                        << "not a Kelvora database (none of its tables)";
        QTest::newRow("SQLite without tables") << "SQLite without tables"
                                               << "not a database (it holds no tables)";
        QTest::newRow("a station table without its columns")
            << "wrong columns"
            << "not a Kelvora database (its table birthday has no column emp_name)";
    }

    void filesThatEndTheProgram()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString path = m_fixture->folder.file(QStringLiteral("draft.dat"));
        QSqlDatabase locker;
        if (kind == QStringLiteral("foreign")) {
            m_fixture->folder.write(QStringLiteral("draft.dat"), QByteArray("Standard Jet DB\0", 16).repeated(512));
        } else if (kind == QStringLiteral("empty")) {
            m_fixture->folder.write(QStringLiteral("draft.dat"), QByteArray());
        } else if (kind == QStringLiteral("damaged") || kind == QStringLiteral("truncated")) {
            createTestDatabase(m_fixture->folder);
            fillRoster(path, 2000);
            QByteArray bytes = m_fixture->folder.read(QStringLiteral("draft.dat"));
            if (kind == QStringLiteral("damaged")) {
                // Scribble over every page after the first, keeping the header intact.
                for (qsizetype at = 4096; at < bytes.size(); at += 4096) {
                    for (qsizetype i = at; i < at + 64 && i < bytes.size(); ++i) {
                        bytes[i] = char(0xA5);
                    }
                }
            } else {
                bytes.truncate(bytes.size() / 3);
            }
            QFile::remove(path);
            m_fixture->folder.write(QStringLiteral("draft.dat"), bytes);
        } else if (kind == QStringLiteral("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == QStringLiteral("foreign SQLite")) {
            runSql(path,
                   { QStringLiteral("CREATE TABLE songs (title TEXT, artist TEXT)"),
                     QStringLiteral("INSERT INTO songs VALUES ('生日快乐', '')") });
        } else if (kind == QStringLiteral("SQLite without tables")) {
            runSql(path, { QStringLiteral("PRAGMA user_version = 7") });
        } else if (kind == QStringLiteral("wrong columns")) {
            createTestDatabase(m_fixture->folder);
            runSql(path, { QStringLiteral("ALTER TABLE birthday RENAME COLUMN emp_name TO name") });
        } else if (kind == QStringLiteral("locked")) {
            createTestDatabase(m_fixture->folder);
            locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
            locker.setDatabaseName(path);
            QVERIFY(locker.open());
            QSqlQuery lock(locker);
            QVERIFY2(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")), qPrintable(lock.lastError().text()));
        }
        const QByteArray before
            = QFileInfo(path).isFile() ? m_fixture->folder.read(QStringLiteral("draft.dat")) : QByteArray();
        {
            TDM tdm(m_fixture->services());
            QVERIFY(!tdm.DataModuleCreate());
            QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("数据连接失败!") });
            QVERIFY2(tdm.failure().startsWith(path + QStringLiteral(": ") + reason), qPrintable(tdm.failure()));
            QVERIFY(!tdm.Q_birthday2());
        }
        if (locker.isOpen()) {
            QSqlQuery(locker).exec(QStringLiteral("ROLLBACK"));
            locker.close();
        }
        locker = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("locker"));
        if (kind == QStringLiteral("missing")) {
            QVERIFY(!QFileInfo::exists(path));
        } else if (kind != QStringLiteral("folder")) {
            QCOMPARE(m_fixture->folder.read(QStringLiteral("draft.dat")), before);
        }
    }

    void missingTableShowsTheDatabaseErrorAndGoesOn()
    {
        createTestDatabase(m_fixture->folder);
        dropTable(QStringLiteral("telltime"));
        TDM tdm(m_fixture->services());
        QVERIFY(tdm.DataModuleCreate());
        const QStringList texts = m_fixture->dialogs.takeTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.first().contains(QStringLiteral("no such table: telltime")), qPrintable(texts.first()));
        QVERIFY(tdm.Q_telltime());
        QCOMPARE(tdm.Q_telltime()->rowCount(), 0);
        // The sets after the failing one still open.
        QVERIFY(tdm.q_delaytime()->rowCount() > 0);
        QVERIFY(!tdm.Q_birthday2()->lastError().isValid());
    }

    void anotherProgramReadsWhileTheStationRuns()
    {
        createTestDatabase(m_fixture->folder);
        TDM tdm(m_fixture->services());
        QVERIFY(tdm.DataModuleCreate());
        addEmployee(tdm, QStringLiteral("甲"), QStringLiteral("1990-03-05"), QStringLiteral("2020-01-01"));
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(m_fixture->folder.file(QStringLiteral("draft.dat")));
            QVERIFY(other.open());
            QSqlQuery read(other);
            QVERIFY2(read.exec(QStringLiteral("SELECT count(*) FROM birthday")) && read.next(),
                     qPrintable(read.lastError().text()));
            QCOMPARE(read.value(0).toInt(), 1);
            // ...and can write, because the data sets hold no read open.
            QSqlQuery write(other);
            QVERIFY2(write.exec(QStringLiteral("UPDATE telltime SET isplay = 1 WHERE id = 1")),
                     qPrintable(write.lastError().text()));
            other.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
    }

    void rosterChangesAreAnnounced()
    {
        createTestDatabase(m_fixture->folder);
        TDM tdm(m_fixture->services());
        QVERIFY(tdm.DataModuleCreate());
        addEmployee(tdm, QStringLiteral("甲"), QStringLiteral("1990-03-05"), QStringLiteral("2020-01-01"));
        QSignalSpy changed(&tdm, &TDM::birthdayChanged);
        QSqlTableModel* roster = tdm.Q_birthday2();
        QVERIFY(changed.isEmpty());

        const int name = roster->fieldIndex(QStringLiteral("emp_name"));
        QVERIFY(roster->setData(roster->index(0, name), QStringLiteral("乙")));
        QVERIFY(!changed.isEmpty());
        QVERIFY2(roster->submitAll(), qPrintable(roster->lastError().text()));
        changed.clear();

        QVERIFY(roster->insertRow(roster->rowCount()));
        QVERIFY(!changed.isEmpty());
        roster->revertAll();
        changed.clear();

        QVERIFY(roster->removeRow(0));
        QVERIFY(!changed.isEmpty());
        QVERIFY2(roster->submitAll(), qPrintable(roster->lastError().text()));

        // Reading the set again is no change.
        changed.clear();
        QVERIFY(roster->select());
        QCOMPARE(roster->rowCount(), 0);
        QVERIFY(changed.isEmpty());
    }

    void datesMustBeRealDates_data()
    {
        QTest::addColumn<QString>("birthday");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("leap day") << "2000-02-29" << true;
        QTest::newRow("no leap day") << "2001-02-29" << false;
        QTest::newRow("31 April") << "2001-04-31" << false;
        QTest::newRow("no padding") << "2001-4-3" << false;
        QTest::newRow("with time") << "2001-04-03 10:00" << false;
        QTest::newRow("text") << "生日" << false;
        QTest::newRow("missing") << "" << true;
    }

    void datesMustBeRealDates()
    {
        QFETCH(QString, birthday);
        QFETCH(bool, accepted);
        createTestDatabase(m_fixture->folder);
        TDM tdm(m_fixture->services());
        QVERIFY(tdm.DataModuleCreate());
        if (!accepted) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("CHECK constraint failed")));
        }
        QCOMPARE(addEmployee(tdm.database(), QStringLiteral("甲"), birthday, QStringLiteral("2020-01-01")) > 0,
                 accepted);
        if (!accepted) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("CHECK constraint failed")));
        }
        QCOMPARE(addEmployee(tdm.database(), QStringLiteral("乙"), QStringLiteral("1990-01-01"), birthday) > 0,
                 accepted);
    }

    // The roster is private: a database the station makes is its owner's only.
    void aNewDatabaseIsPrivate()
    {
        ::umask(022);
        const QString path = m_fixture->folder.file(QStringLiteral("draft.dat"));
        TDM::createDatabase(path);
        QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    // A change on a full disk is refused with the database's words, and the file keeps its roster.
    void aFullDiskKeepsTheRoster()
    {
        FullDisk disk(512 * 1024);
        if (!disk.available()) {
            KELVORA_SKIP("a tmpfs cannot be mounted here (not root?)");
        }
        const QString path = disk.file(QStringLiteral("draft.dat"));
        TDM::createDatabase(path);
        setProgdir(disk.path());
        {
            TDM tdm(m_fixture->services());
            QVERIFY(tdm.DataModuleCreate());
            addEmployee(tdm, QStringLiteral("甲"), QStringLiteral("1990-03-05"), QStringLiteral("2020-01-01"));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray before = file.readAll();
            file.close();
            disk.fill();
            QSqlTableModel* roster = tdm.Q_birthday2();
            QSqlRecord record = roster->record();
            record.setValue(QStringLiteral("emp_name"), QString(20000, QChar(0x4E59)));
            record.setGenerated(QStringLiteral("id"), false);
            QVERIFY(!roster->insertRecord(-1, record) || !roster->submitAll());
            QVERIFY2(roster->lastError().text().contains(QStringLiteral("full")),
                     qPrintable(roster->lastError().text()));
            roster->revertAll();
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), before);
        }
        disk.release();
        TDM again(m_fixture->services());
        QVERIFY(again.DataModuleCreate());
        QCOMPARE(again.Q_birthday2()->rowCount(), 1);
        setProgdir(m_fixture->folder.path());
    }

    void newDatabaseNeverReplacesAFile()
    {
        m_fixture->folder.write(QStringLiteral("draft.dat"), QByteArray("the user's roster"));
        QVERIFY_THROWS_EXCEPTION(RuntimeError,
                                 TDM::createDatabase(m_fixture->folder.file(QStringLiteral("draft.dat"))));
        QCOMPARE(m_fixture->folder.read(QStringLiteral("draft.dat")), QByteArray("the user's roster"));
        QCOMPARE(QDir(m_fixture->folder.path()).entryList(QDir::Files), QStringList { QStringLiteral("draft.dat") });
    }

    // Without a table, its data set is empty and reading it all ends (it once spun for ever).
    void aSetWhoseTableIsMissingHasNothingToFetch_data()
    {
        QTest::addColumn<QString>("table");
        for (const char* table : { "delaytime", "telltime", "history", "draft", "birthday" }) {
            QTest::newRow(table) << QString::fromLatin1(table);
        }
    }

    void aSetWhoseTableIsMissingHasNothingToFetch()
    {
        QFETCH(QString, table);
        createTestDatabase(m_fixture->folder);
        dropTable(table);
        TDM tdm(m_fixture->services());
        QVERIFY(tdm.DataModuleCreate());
        QCOMPARE(m_fixture->dialogs.takeTexts().size(),
                 table == QStringLiteral("draft") ? 2 : 1); // two sets read draft
        for (QSqlTableModel* set : { tdm.Q_history(), tdm.q_delaytime(), tdm.Q_telltime(), tdm.Q_draft(),
                                     tdm.Q_draft1(), tdm.Q_birthday2() }) {
            QVERIFY(set);
            if (set->tableName().isEmpty()) {
                QVERIFY(!set->canFetchMore());
                fetchAllRows(*set);
                QCOMPARE(set->rowCount(), 0);
            }
        }
    }

private:
    static void runSql(const QString& path, const QStringList& statements)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            for (const QString& statement : statements) {
                QSqlQuery query(db);
                QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("make"));
    }

    void dropTable(const QString& table)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("edit"));
            db.setDatabaseName(m_fixture->folder.file(QStringLiteral("draft.dat")));
            QVERIFY(db.open());
            QSqlQuery(db).exec(QStringLiteral("DROP TABLE ") + table);
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("edit"));
    }

    static void fillRoster(const QString& path, int count)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QVERIFY(db.transaction());
            for (int i = 0; i < count; ++i) {
                QVERIFY(addEmployee(db, QStringLiteral("员工%1").arg(i), QStringLiteral("1990-03-05"),
                                    QStringLiteral("2020-01-01"), QStringLiteral("部门%1").arg(i))
                        > 0);
            }
            QVERIFY(db.commit());
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    }

    std::unique_ptr<DataFixture> m_fixture;
};

QTEST_GUILESS_MAIN(TestTdm)
#include "test_tdm.moc"
