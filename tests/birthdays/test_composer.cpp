#include "birthdays/composer.h"
#include "common/inifile.h"
#include "common/runtimeerror.h"
#include "testfolder.h"

#include <QTest>

namespace {

const QString Mainread
    = QStringLiteral("在这里我们祝他生日快乐，感谢你们辛勤付出，公司将为你准备神秘小礼物一件，请赶快来领取吧！");

BirthdayEntry entry(const QString& name, int age)
{
    return { name, age, QString::number(age) };
}

} // namespace

class TestComposer : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_folder = std::make_unique<TestFolder>(); }
    void cleanup() { m_folder.reset(); }

    void workedExample()
    {
        IniFile ini(iniPath());
        ini.writeBool(QStringLiteral("Addread2"), QStringLiteral("Readage"), true);
        ini.writeString(QStringLiteral("Addread1"), QStringLiteral("addtext"), QStringLiteral("大家多关注下他吧，"));

        QStringList asked;
        const Composition result = Composer(iniPath()).compose(
            { entry(QStringLiteral("王一"), 19), entry(QStringLiteral("李二"), 23), entry(QStringLiteral("赵三"), 30),
              entry(QStringLiteral("孙四"), 60) },
            inputs({ true, true, true }, true, QStringLiteral("示例公司")), [&](const QString& month) {
                asked.append(month);
                return QStringList { QStringLiteral("钱五"), QStringLiteral(" 吴六 ") };
            });

        QCOMPARE(asked, QStringList { QStringLiteral("04") });
        QCOMPARE(result.action, Composition::Write);
        QCOMPARE(result.text.toUtf8(),
                 QStringLiteral(
                     "今天是：示例公司员工，王一生日，大家多关注下他吧，，李二23岁生日，，赵三生日，在这里我们祝他"
                     "生日快乐，感谢你们辛勤付出，公司将为你准备神秘小礼物一件，请赶快来领取吧！下月将有：钱五，"
                     "吴六， 等同事生日，公司将为他们送上祝福。")
                     .toUtf8());
        // 孙四, above the last group's 50, is named as left out.
        QCOMPARE(result.leftOut, QStringList { QStringLiteral("孙四（60岁）") });
    }

    void leftOut_data()
    {
        QTest::addColumn<QList<int>>("ages");
        QTest::addColumn<QStringList>("leftOut");
        QTest::newRow("the last bound itself is announced") << QList<int> { 50 } << QStringList();
        QTest::newRow("one above it is not") << QList<int> { 51 } << QStringList { QStringLiteral("p0（51岁）") };
        QTest::newRow("in order, with those announced")
            << QList<int> { 99, 20, 60 } << QStringList { QStringLiteral("p0（99岁）"), QStringLiteral("p2（60岁）") };
        QTest::newRow("nobody") << QList<int>() << QStringList();
    }
    void leftOut()
    {
        QFETCH(QList<int>, ages);
        QList<BirthdayEntry> entries;
        for (int i = 0; i < ages.size(); ++i) {
            entries.append(entry(QStringLiteral("p%1").arg(i), ages.at(i)));
        }
        const Composition result
            = Composer(iniPath()).compose(entries, inputs({ false, false, false }, false, QString()), {});
        QTEST(result.leftOut, "leftOut");
        // Someone left out alone composes nothing, as nobody to greet.
        if (!ages.isEmpty() && ages.size() == result.leftOut.size()) {
            QCOMPARE(result.action, Composition::Keep);
        }
    }

    void birthdayLine_data()
    {
        QTest::addColumn<QList<int>>("ages");
        QTest::addColumn<QList<bool>>("readAge");
        QTest::addColumn<QList<bool>>("boxes");
        QTest::addColumn<QString>("expected");
        const QList<bool> none = { false, false, false };
        QTest::newRow("groups 2 and 3 only")
            << QList<int> { 23, 40 } << none << none << QStringLiteral("甲生日，，乙生日，");
        QTest::newRow("group 3 only") << QList<int> { 26 } << none << none << QStringLiteral("甲生日，");
        QTest::newRow("A1 is group 1") << QList<int> { 20 } << QList<bool> { true, false, false }
                                       << QList<bool> { true, true, true } << QStringLiteral("甲20岁生日，");
        QTest::newRow("A1+1 is group 2") << QList<int> { 21 } << QList<bool> { true, false, false }
                                         << QList<bool> { true, true, true } << QStringLiteral("甲生日，");
        QTest::newRow("A3 is group 3") << QList<int> { 50 } << none << none << QStringLiteral("甲生日，");
        QTest::newRow("above A3 never named") << QList<int> { 51 } << none << none << QString();
        QTest::newRow("one closing per group")
            << QList<int> { 19, 18 } << none << none << QStringLiteral("甲，乙生日，");
        QTest::newRow("age form for each")
            << QList<int> { 19, 18 } << QList<bool> { true, false, false } << QList<bool> { true, false, false }
            << QStringLiteral("甲19岁生日，乙18岁生日，");
        QTest::newRow("box off, ages asked: plain")
            << QList<int> { 19, 18 } << QList<bool> { true, false, false } << none << QStringLiteral("甲，乙生日，");
        QTest::newRow("box on, ages not asked: plain")
            << QList<int> { 30 } << none << QList<bool> { true, true, true } << QStringLiteral("甲生日，");
        QTest::newRow("nobody") << QList<int> {} << none << none << QString();
    }

    void birthdayLine()
    {
        QFETCH(QList<int>, ages);
        QFETCH(QList<bool>, readAge);
        QFETCH(QList<bool>, boxes);
        QFETCH(QString, expected);
        const QString names = QStringLiteral("甲乙丙");
        QList<BirthdayEntry> entries;
        for (int i = 0; i < ages.size(); ++i) {
            entries.append(entry(names.at(i), ages.at(i)));
        }
        std::array<AgeGroup, 3> groups
            = { AgeGroup { 20, readAge[0], {} }, AgeGroup { 25, readAge[1], {} }, AgeGroup { 50, readAge[2], {} } };
        QCOMPARE(Composer::birthdayLine(entries, groups, { boxes[0], boxes[1], boxes[2] }), expected);
    }

    void greetingFollowsGroupWhateverItsBox()
    {
        IniFile ini(iniPath());
        ini.writeString(QStringLiteral("Addread3"), QStringLiteral("addtext"), QStringLiteral("祝你们快乐，"));
        ini.writeBool(QStringLiteral("Addread3"), QStringLiteral("Readage"), true);
        const Composition result = Composer(iniPath()).compose({ entry(QStringLiteral("赵三"), 30) },
                                                               inputs({ false, false, false }, false, QString()), {});
        QCOMPARE(result.action, Composition::Write);
        QCOMPARE(result.text, QStringLiteral("今天是：员工，赵三生日，祝你们快乐，") + Mainread);
    }

    void settingsAreReadAtEveryComposition()
    {
        const Composer composer(iniPath());
        const QList<BirthdayEntry> people = { entry(QStringLiteral("王一"), 30) };
        QCOMPARE(composer.compose(people, inputs({}, false, QString()), {}).action, Composition::Write);
        IniFile(iniPath()).writeInteger(QStringLiteral("Addread3"), QStringLiteral("Agegroup"), 29);
        QCOMPARE(composer.compose(people, inputs({}, false, QString()), {}).action, Composition::Keep);
    }

    void nextMonth_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("expected");
        QTest::newRow("December") << QDate(2024, 12, 31) << QStringLiteral("01");
        QTest::newRow("September") << QDate(2024, 9, 1) << QStringLiteral("10");
        QTest::newRow("January") << QDate(2025, 1, 31) << QStringLiteral("02");
        QTest::newRow("November") << QDate(2024, 11, 15) << QStringLiteral("12");
    }

    void nextMonth()
    {
        QFETCH(QDate, today);
        QFETCH(QString, expected);
        QCOMPARE(Composer::nextMonth(today), expected);
    }

    void nobodyToGreet_data()
    {
        QTest::addColumn<bool>("nextMonth");
        QTest::addColumn<int>("action");
        QTest::newRow("next month on: emptied") << true << int(Composition::Empty);
        QTest::newRow("next month off: kept") << false << int(Composition::Keep);
    }

    void nobodyToGreet()
    {
        QFETCH(bool, nextMonth);
        QFETCH(int, action);
        int asked = 0;
        // Only an above-A3 person: nothing to say, and next month is never announced on its own.
        const Composition result = Composer(iniPath()).compose(
            { entry(QStringLiteral("孙四"), 60) }, inputs({ true, true, true }, nextMonth, QStringLiteral("示例公司")),
            [&](const QString&) {
                ++asked;
                return QStringList { QStringLiteral("钱五") };
            });
        QCOMPARE(int(result.action), action);
        QVERIFY(result.text.isEmpty());
        QCOMPARE(asked, nextMonth ? 1 : 0);
    }

    void nextMonthWithoutNamesAddsNothing()
    {
        const Composition result = Composer(iniPath()).compose({ entry(QStringLiteral("王一"), 19) },
                                                               inputs({}, true, QStringLiteral("示例公司")),
                                                               [](const QString&) { return QStringList(); });
        QCOMPARE(result.text, QStringLiteral("今天是：示例公司员工，王一生日，") + Mainread);
    }

    void failedNextMonthQueryEndsComposition()
    {
        const Composer composer(iniPath());
        QVERIFY_THROWS_EXCEPTION(RuntimeError,
                                 composer.compose({ entry(QStringLiteral("王一"), 19) }, inputs({}, true, QString()),
                                                  [](const QString&) -> QStringList {
                                                      throw RuntimeError(QStringLiteral("no such table"));
                                                  }));
    }

    void sameNameTwiceIsNamedTwice()
    {
        const Composition result = Composer(iniPath()).compose(
            { entry(QStringLiteral("王一"), 19), entry(QStringLiteral("王一"), 19) }, inputs({}, false, QString()), {});
        QCOMPARE(result.text, QStringLiteral("今天是：员工，王一，王一生日，") + Mainread);
    }

    // The people whose birthday fell on a day without a broadcast: a sentence after the age groups,
    // before the fixed text; the anniversaries after the birthday part.
    void otherGreetings_data()
    {
        QTest::addColumn<QList<int>>("ages");
        QTest::addColumn<QStringList>("catchUp");
        QTest::addColumn<QList<int>>("anniversaryYears");
        QTest::addColumn<QString>("expected"); // {M} stands for the fixed text
        const QString open = QStringLiteral("今天是：示例公司员工，");
        QTest::newRow("groups and catch-up")
            << QList<int> { 30 } << QStringList { "周日甲", "周日乙" } << QList<int> {}
            << open + QStringLiteral("甲生日，前几天过生日的同事有：周日甲、周日乙，我们也祝他们生日快乐！{M}");
        QTest::newRow("catch-up only") << QList<int> {} << QStringList { "周日甲" } << QList<int> {}
                                       << open
                + QStringLiteral("前几天过生日的同事有：周日甲，我们也祝他们生日快乐！{M}");
        QTest::newRow("groups and anniversaries") << QList<int> { 30 } << QStringList {} << QList<int> { 5, 10, 5 }
                                                  << open
                + QStringLiteral("甲生日，{M}今天也是丙0、丙2加入公司5周年的日子，感谢一路同行！"
                                 "今天也是丙1加入公司10周年的日子，感谢一路同行！");
        QTest::newRow("anniversaries only") << QList<int> {} << QStringList {} << QList<int> { 3 }
                                            << QStringLiteral("今天也是丙0加入公司3周年的日子，感谢一路同行！");
        QTest::newRow("a catch-up of someone above the age groups")
            << QList<int> { 60 } << QStringList { "周日甲" } << QList<int> {}
            << open + QStringLiteral("前几天过生日的同事有：周日甲，我们也祝他们生日快乐！{M}");
    }

    void otherGreetings()
    {
        QFETCH(QList<int>, ages);
        QFETCH(QStringList, catchUp);
        QFETCH(QList<int>, anniversaryYears);
        QFETCH(QString, expected);
        QList<BirthdayEntry> entries;
        for (const int age : ages) {
            entries << entry(QStringLiteral("甲"), age);
        }
        OtherGreetings others;
        others.catchUp = catchUp;
        others.catchUpText = QStringLiteral("前几天过生日的同事有：{姓名}，我们也祝他们生日快乐！");
        for (int i = 0; i < anniversaryYears.size(); ++i) {
            others.anniversaries << AnniversaryEntry { QStringLiteral("丙%1").arg(i), anniversaryYears.at(i),
                                                       QDate(2024, 3, 14),
                                                       QDate(2024 - anniversaryYears.at(i), 3, 14) };
        }
        others.anniversaryText = QStringLiteral("今天也是{姓名}加入公司{N}周年的日子，感谢一路同行！");
        const Composition result = Composer(iniPath()).compose(
            entries, inputs({ false, false, false }, false, QStringLiteral("示例公司")), {}, others);
        QCOMPARE(result.action, Composition::Write);
        QCOMPARE(result.text, QString(expected).replace(QStringLiteral("{M}"), Mainread));
    }

    // Nobody caught up and no anniversaries: exactly the composition without them.
    void emptyOtherGreetingsChangeNothing()
    {
        OtherGreetings others;
        others.catchUpText = QStringLiteral("{姓名}");
        const auto compose = [&](const OtherGreetings& with) {
            return Composer(iniPath())
                .compose({ entry(QStringLiteral("甲"), 30) }, inputs({ true, true, true }, false, QString()), {}, with)
                .text;
        };
        QCOMPARE(compose(others), compose({}));
        QCOMPARE(Composer(iniPath()).compose({}, inputs({ true, true, true }, false, QString()), {}, others).action,
                 Composition::Keep);
    }

private:
    QString iniPath() const { return m_folder->file(QStringLiteral("setinfo.ini")); }

    static CompositionInputs inputs(std::array<bool, 3> boxes, bool nextMonth, const QString& organisation)
    {
        CompositionInputs in;
        in.readGroup = boxes;
        in.nextMonth = nextMonth;
        in.mainread = Mainread;
        in.organisation = organisation;
        in.today = QDate(2024, 3, 14);
        return in;
    }

    std::unique_ptr<TestFolder> m_folder;
};

QTEST_GUILESS_MAIN(TestComposer)
#include "test_composer.moc"
