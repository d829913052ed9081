// The project's rules that no compiler checks, read from the sources themselves.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString SourceDir = QStringLiteral(KELVORA_SOURCE_DIR);

// The source with its comments, string and character literals blanked out; line breaks stay, so the
// line numbers hold.
QString codeOnly(const QString& source)
{
    QString code = source;
    enum class State { Code, LineComment, BlockComment, String, Char, RawString } state = State::Code;
    QString rawEnd;
    const qsizetype n = code.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = code.at(i);
        const QChar next = i + 1 < n ? code.at(i + 1) : QChar();
        auto blank = [&code](qsizetype at) {
            if (code.at(at) != QLatin1Char('\n')) {
                code[at] = QLatin1Char(' ');
            }
        };
        switch (state) {
        case State::Code:
            if (c == QLatin1Char('/') && next == QLatin1Char('/')) {
                state = State::LineComment;
                blank(i);
            } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
                state = State::BlockComment;
                blank(i);
                blank(++i);
            } else if (c == QLatin1Char('R') && next == QLatin1Char('"')
                       && (i == 0 || !(code.at(i - 1).isLetterOrNumber() || code.at(i - 1) == QLatin1Char('_')))) {
                const qsizetype open = code.indexOf(QLatin1Char('('), i + 2);
                rawEnd = QLatin1Char(')') + code.mid(i + 2, open - i - 2) + QLatin1Char('"');
                state = State::RawString;
                i = open;
            } else if (c == QLatin1Char('"')) {
                state = State::String;
            } else if (c == QLatin1Char('\'') && !(i > 0 && code.at(i - 1).isDigit())) { // not 1'000
                state = State::Char;
            }
            break;
        case State::LineComment:
            if (c == QLatin1Char('\n')) {
                state = State::Code;
            } else {
                blank(i);
            }
            break;
        case State::BlockComment:
            if (c == QLatin1Char('*') && next == QLatin1Char('/')) {
                blank(i);
                blank(++i);
                state = State::Code;
            } else {
                blank(i);
            }
            break;
        case State::String:
        case State::Char:
            if (c == QLatin1Char('\\')) {
                blank(i);
                if (i + 1 < n) {
                    blank(++i);
                }
            } else if (c == (state == State::String ? QLatin1Char('"') : QLatin1Char('\''))) {
                state = State::Code;
            } else {
                blank(i);
            }
            break;
        case State::RawString:
            if (code.mid(i, rawEnd.size()) == rawEnd) {
                i += rawEnd.size() - 1;
                state = State::Code;
            } else {
                blank(i);
            }
            break;
        }
    }
    return code;
}

struct Finding
{
    QString what;
    int line = 0;
};

// Every read of the wall clock in the code: the date and time of day come from the Clock, which
// tests replace. Calls through Clock:: and the monotonic clocks (QElapsedTimer, steady_clock,
// CLOCK_MONOTONIC) measure or ask the injected clock and are fine.
QList<Finding> wallClockReads(const QString& source)
{
    static const QList<std::pair<QString, QRegularExpression>> patterns = {
        { QStringLiteral("QDateTime::currentDateTime"),
          QRegularExpression(QStringLiteral("\\bQDateTime\\s*::\\s*currentDateTime(Utc)?\\b")) },
        { QStringLiteral("current(M)SecsSinceEpoch"),
          QRegularExpression(QStringLiteral("(?<!Clock::)\\bcurrentM?SecsSinceEpoch\\s*\\(")) },
        { QStringLiteral("QTime::currentTime"),
          QRegularExpression(QStringLiteral("\\bQTime\\s*::\\s*currentTime\\b")) },
        { QStringLiteral("QDate::currentDate"),
          QRegularExpression(QStringLiteral("\\bQDate\\s*::\\s*currentDate\\b")) },
        // libstdc++'s high_resolution_clock is the system clock under another name.
        { QStringLiteral("a wall clock of <chrono>"),
          QRegularExpression(QStringLiteral("\\b(system|high_resolution|utc|tai|gps|file)_clock\\b")) },
        // time() called, not a member, variable or function merely named so (m_time(, elapsedTime(,
        // QTime time(9, 0), dt.time(), Scheduler::time(): what stands before it is an operator, a
        // bracket, a statement's start or return.
        { QStringLiteral("time()"),
          QRegularExpression(QStringLiteral("(?:^|[=(,;{}!?+\\-/|\\[]|&&|<<|(?<!:):(?!:)|\\breturn)\\s*"
                                            "(?:std\\s*::\\s*|::\\s*)?time\\s*\\("),
                             QRegularExpression::MultilineOption) },
        { QStringLiteral("gettimeofday"), QRegularExpression(QStringLiteral("\\bgettimeofday\\s*\\(")) },
        { QStringLiteral("timespec_get"), QRegularExpression(QStringLiteral("\\btimespec_get\\s*\\(")) },
        { QStringLiteral("CLOCK_REALTIME"), QRegularExpression(QStringLiteral("\\bCLOCK_REALTIME\\w*")) },
    };
    const QString code = codeOnly(source);
    QList<Finding> findings;
    for (const auto& [what, pattern] : patterns) {
        for (auto it = pattern.globalMatch(code); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            // The line of the match's last character: a time( pattern may begin on the line before.
            const int line = int(code.left(match.capturedEnd()).count(QLatin1Char('\n'))) + 1;
            findings.append({ what, line });
        }
    }
    return findings;
}

// The project's own sources below the folders, relative to the source folder.
QStringList sources(const QStringList& folders)
{
    QStringList files;
    for (const QString& folder : folders) {
        QDirIterator it(SourceDir + QLatin1Char('/') + folder, { QStringLiteral("*.cpp"), QStringLiteral("*.h") },
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            files.append(QDir(SourceDir).relativeFilePath(it.next()));
        }
    }
    files.sort();
    return files;
}

QString readSource(const QString& relative)
{
    QFile file(SourceDir + QLatin1Char('/') + relative);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString lineOf(const QString& source, int line)
{
    return source.section(QLatin1Char('\n'), line - 1, line - 1).trimmed();
}

} // namespace

class TestRules final : public QObject
{
    Q_OBJECT

private slots:
    void wallClockReadsAreFound_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("read");
        QTest::newRow("currentDateTime") << "const auto now = QDateTime::currentDateTime();" << true;
        QTest::newRow("currentDateTimeUtc") << "return QDateTime::currentDateTimeUtc().date();" << true;
        QTest::newRow("currentMSecsSinceEpoch") << "m_start = QDateTime::currentMSecsSinceEpoch();" << true;
        QTest::newRow("currentSecsSinceEpoch") << "qint64 s = QDateTime::currentSecsSinceEpoch();" << true;
        QTest::newRow("currentTime") << "if (QTime::currentTime() > end) {" << true;
        QTest::newRow("currentDate") << "const QDate today = QDate::currentDate();" << true;
        QTest::newRow("system_clock") << "auto t = std::chrono::system_clock::now();" << true;
        QTest::newRow("high_resolution_clock") << "auto t = std::chrono::high_resolution_clock::now();" << true;
        QTest::newRow("std::time") << "const std::time_t t = std::time(nullptr);" << true;
        QTest::newRow("::time") << "time_t t = ::time(nullptr);" << true;
        QTest::newRow("return time") << "return time(NULL);" << true;
        QTest::newRow("time in a condition") << "if (time(&now) < 0) {" << true;
        QTest::newRow("time as a statement") << "{\n    time(&now);\n}" << true;
        QTest::newRow("time after a line break") << "const auto t =\n    time(nullptr);" << true;
        QTest::newRow("time in arguments") << "srand(unsigned(time(nullptr)));" << true;
        QTest::newRow("time in a conditional") << "x = ok ? 0 : time(nullptr);" << true;
        QTest::newRow("gettimeofday") << "gettimeofday(&tv, nullptr);" << true;
        QTest::newRow("CLOCK_REALTIME") << "clock_gettime(CLOCK_REALTIME, &ts);" << true;
        QTest::newRow("CLOCK_REALTIME_COARSE") << "clock_gettime(CLOCK_REALTIME_COARSE, &ts);" << true;
        QTest::newRow("timespec_get") << "timespec_get(&ts, TIME_UTC);" << true;

        QTest::newRow("Clock::system") << "const QDateTime now = Clock::system().now();" << false;
        QTest::newRow("the clock's date") << "if (m_clock.currentDate() != m_day) {" << false;
        QTest::newRow("the clock's time") << "const QTime now = clock.currentTime();" << false;
        QTest::newRow("the clock's elapsed time") << "const qint64 at = m_context.clock.elapsedMs();" << false;
        QTest::newRow("the clock's now") << "const QDateTime now = m_clock.now();" << false;
        QTest::newRow("a member m_time") << ": m_time(time)" << false;
        QTest::newRow("elapsedTime") << "const qint64 ms = elapsedTime(start);" << false;
        QTest::newRow("a variable named time") << "const QTime time(9, 0);" << false;
        QTest::newRow("a getter") << "const QTime& time() const;" << false;
        QTest::newRow("QDateTime's time") << "if (now.time() >= m_end) {" << false;
        QTest::newRow("through a pointer") << "return row->time();" << false;
        QTest::newRow("a member function") << "QTime Scheduler::time(int row) const" << false;
        QTest::newRow("setTime") << "edit->setTime(QTime(8, 0));" << false;
        QTest::newRow("playtime") << "x = playtime(1);" << false;
        QTest::newRow("QTime constructed") << "const QTime end = QTime(23, 59, 59);" << false;
        QTest::newRow("time_t") << "std::time_t seconds = 0;" << false;
        QTest::newRow("steady_clock") << "const auto t = std::chrono::steady_clock::now();" << false;
        QTest::newRow("QElapsedTimer") << "QElapsedTimer timer;\ntimer.start();" << false;
        QTest::newRow("CLOCK_MONOTONIC") << "clock_gettime(CLOCK_MONOTONIC, &ts);" << false;
        QTest::newRow("in a comment") << "// not QDateTime::currentDateTime() but the Clock\nint x = 0;" << false;
        QTest::newRow("in a block comment") << "/* time(nullptr) */ int x = 0;" << false;
        QTest::newRow("in a string") << "log(QStringLiteral(\"time(nullptr) QDate::currentDate()\"));" << false;
        QTest::newRow("in a raw string") << "const char* sql = R\"(SELECT time(now))\";" << false;
        QTest::newRow("a character, then code") << "if (c == '\"') { x = elapsedTime(y); }" << false;
    }

    void wallClockReadsAreFound()
    {
        QFETCH(QString, code);
        QFETCH(bool, read);
        QCOMPARE(!wallClockReads(code).isEmpty(), read);
    }

    // Only src/common/clock.cpp reads the wall clock; everything else asks the Clock.
    void onlyTheClockReadsTheWallClock()
    {
        const QStringList files = sources({ QStringLiteral("src"), QStringLiteral("app") });
        QVERIFY2(files.contains(QStringLiteral("src/common/clock.cpp")),
                 qPrintable(QStringLiteral("no sources found below ") + SourceDir));
        QVERIFY(!wallClockReads(readSource(QStringLiteral("src/common/clock.cpp"))).isEmpty());
        QStringList offenders;
        for (const QString& file : files) {
            if (file == QLatin1String("src/common/clock.cpp")) {
                continue;
            }
            const QString source = readSource(file);
            for (const Finding& finding : wallClockReads(source)) {
                offenders.append(QStringLiteral("%1:%2: %3 in \"%4\"")
                                     .arg(file)
                                     .arg(finding.line)
                                     .arg(finding.what, lineOf(source, finding.line)));
            }
        }
        QVERIFY2(offenders.isEmpty(),
                 qPrintable(QStringLiteral("the wall clock is read outside src/common/clock.cpp:\n")
                            + offenders.join(QLatin1Char('\n'))));
    }

    // A test skips through KELVORA_SKIP, which fails in CI: a plain QSKIP would pass there unseen.
    void testsSkipOnlyThroughTheHelper()
    {
        QStringList offenders;
        static const QRegularExpression qskip(QStringLiteral("\\bQSKIP\\s*\\("));
        for (const QString& file : sources({ QStringLiteral("tests") })) {
            if (file == QLatin1String("tests/support/ciskip.h")) {
                continue;
            }
            const QString source = readSource(file);
            const QString code = codeOnly(source);
            for (auto it = qskip.globalMatch(code); it.hasNext();) {
                const int line = int(code.left(it.next().capturedStart()).count(QLatin1Char('\n'))) + 1;
                offenders.append(QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(lineOf(source, line)));
            }
        }
        QVERIFY2(offenders.isEmpty(),
                 qPrintable(QStringLiteral("QSKIP outside KELVORA_SKIP:\n") + offenders.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestRules)
#include "test_rules.moc"
