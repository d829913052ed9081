// Speech figures. The reading path as a whole: the station's own `kelvora --render FILE.wav --text T`
// run as a process from a program folder, beside `espeak-ng -w` speaking the same normalised text (what
// `kelvora --spoken` says the voice is handed) with the same voice and rate, for a 200-character
// announcement and a 13,600-character text: wall time and peak resident memory of each whole process.
// Then, inside this process: the time the normaliser and the lexicon add to the announcement, and the
// time from speak() to the first sample handed to the sound device.
//
// bench_speech [--runs N]   (default 5)
#include "common/clock.h"
#include "common/helpers.h"
#include "common/inifile.h"
#include "common/runtimeerror.h"
#include "common/sounddevice.h"
#include "data/speechtables.h"
#include "data/tdm.h"
#include "figure.h"
#include "process.h"
#include "speech/espeakvoiceengine.h"
#include "speech/pausesymbols.h"
#include "speech/spokenform.h"
#include "speech/voicesettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

// A sentence with what the normaliser and the lexicon work on: a date, times, amounts, a percentage, a
// range, polyphonic surnames, misread words and the tone changes of 一 and 不.
QString sentence()
{
    return QStringLiteral(
        "今天是2026-12-09，星辰科技有限公司员工曾国藩、单雄信、解晓东的生日，在这里我们祝他们30岁生日快乐，"
        "一切顺利！公司将在10:30为你准备2个蛋糕和100%的祝福，请到3-5楼领取，不要错过。下个月过生日的员工有"
        "仇思、刘洋、陈静，祝大家在银行工作顺利，健康长大。");
}

// A 200-character announcement made of that sentence.
QString announcement()
{
    QString text;
    while (text.size() < 200) {
        text += sentence();
    }
    return text.left(200);
}

// A long reading: a month's people one after another, each with a birthday, an age and years of
// service, the sentence above before every eighth.
QString longText(int length)
{
    const QString surnames = QStringLiteral("王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗曾单解仇");
    const QString given = QStringLiteral("伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平刚桂英华");
    const QStringList departments
        = { QStringLiteral("销售部"), QStringLiteral("财务部"),     QStringLiteral("研发中心"),
            QStringLiteral("行政部"), QStringLiteral("生产一车间"), QStringLiteral("质量管理部") };
    QString text;
    for (int i = 0; text.size() < length; ++i) {
        if (i % 8 == 0) {
            text += sentence();
        }
        const QString name = QString(surnames.at(i % surnames.size())) + given.at((i * 7) % given.size())
            + given.at((i * 13) % given.size());
        text += QStringLiteral("第%1位寿星是%2的%3，%4月%5日出生，入职%6年，今年%7岁，祝%3生日快乐！")
                    .arg(i + 1)
                    .arg(departments.at(i % departments.size()))
                    .arg(name)
                    .arg(i % 12 + 1)
                    .arg(i % 28 + 1)
                    .arg(i % 25 + 1)
                    .arg(22 + i % 38);
    }
    return text.left(length);
}

// The shipped pause symbols, as the station cuts a reading.
PauseTable shippedPauses()
{
    return PauseTable::fromRows({ { QStringLiteral("。？！"), 800, true },
                                  { QStringLiteral("，、；：…"), 350, true },
                                  { QStringLiteral(".?!,;:"), 500, true } });
}

// A roster of the given size with the announcement's people in it.
QList<NameReading> roster(int size)
{
    QList<NameReading> names = { { QStringLiteral("曾国藩"), QString() },
                                 { QStringLiteral("单雄信"), QStringLiteral("shan4 xiong2 xin4") },
                                 { QStringLiteral("解晓东"), QString() },
                                 { QStringLiteral("仇思"), QString() } };
    const QString surnames = QStringLiteral("王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗");
    const QString given = QStringLiteral("伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平刚桂英华");
    for (int i = 0; names.size() < size; ++i) {
        const qsizetype s = surnames.size();
        const qsizetype g = given.size();
        names.append({ QString(surnames.at(i % s)) + given.at((i / s) % g) + given.at((i / (s * g)) % g), QString() });
    }
    return names;
}

QString aim(double value, double limit, const char* text)
{
    return QString::fromLatin1(text) + (value <= limit ? QString() : QStringLiteral(" MISSED"));
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// A line of `kelvora --spoken` back into the piece it stands for (\n, \r, \t and \\ written out).
QString unescaped(const QString& line)
{
    QString piece;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c != QLatin1Char('\\') || i + 1 == line.size()) {
            piece += c;
            continue;
        }
        const QChar next = line.at(++i);
        piece += next == QLatin1Char('n') ? QChar(u'\n')
            : next == QLatin1Char('r')    ? QChar(u'\r')
            : next == QLatin1Char('t')    ? QChar(u'\t')
                                          : next;
    }
    return piece;
}

// What a command prints on standard output; empty (with the reason on stdout) when it fails.
QString outputOf(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::printf("%s %s failed: %s%s\n", qPrintable(program), qPrintable(arguments.value(0)),
                    qPrintable(process.errorString()), process.readAllStandardError().constData());
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The voice the station reads with: its name as `kelvora --voices` marks it, and espeak-ng's
// identifier of that name (the File column of `espeak-ng --voices`).
struct Voice
{
    QString name;
    QString identifier;
};

Voice chosenVoice(const QString& program)
{
    Voice voice;
    static const QRegularExpression marked(QStringLiteral("^\\* +\\d+ +(.+)$"));
    for (const QString& line : outputOf(program, { QStringLiteral("--voices") }).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = marked.match(line);
        if (match.hasMatch()) {
            voice.name = match.captured(1).trimmed();
        }
    }
    if (voice.name.isEmpty()) {
        return voice;
    }
    // Pty Language Age/Gender VoiceName File Other languages
    for (const QString& line :
         outputOf(QStringLiteral("espeak-ng"), { QStringLiteral("--voices") }).split(QLatin1Char('\n'))) {
        const QStringList fields = line.simplified().split(QLatin1Char(' '));
        if (fields.size() >= 5 && fields.at(3) == QString(voice.name).replace(QLatin1Char(' '), QLatin1Char('_'))) {
            voice.identifier = fields.at(4);
            break;
        }
    }
    return voice;
}

// Seconds of sound in a 16-bit mono WAV file (its header's rate, the data after a 44-byte header).
double wavSeconds(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 44) {
        return 0;
    }
    const QByteArray header = file.read(44);
    const auto* bytes = reinterpret_cast<const uchar*>(header.constData());
    const quint32 rate = bytes[24] | bytes[25] << 8 | bytes[26] << 16 | quint32(bytes[27]) << 24;
    return rate > 0 ? double(file.size() - 44) / 2.0 / rate : 0;
}

struct Runs
{
    std::vector<double> wallMs;
    std::vector<double> cpuSeconds;
    std::vector<double> peakMb;
};

// One text read both ways, runs times each, the two alternating so that a change in the machine's
// load falls on both. Prints the report (the text named by label) and the figures (by figureLabel, kept
// short for the table); false when either side failed.
bool compareReadings(const QString& label, const QString& figureLabel, const QString& program, const QString& folder,
                     const QString& text, const Voice& voice, int wordsPerMinute, int runs, double ratioAim)
{
    std::printf("\n%s (%lld characters):\n", qPrintable(label), static_cast<long long>(text.size()));
    // The same words for espeak-ng: the pieces the station hands its voice, one reading, in order.
    QStringList pieces;
    for (const QString& line : outputOf(program, { QStringLiteral("--spoken"), QStringLiteral("--text"), text })
                                   .split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        pieces.append(unescaped(line));
    }
    if (pieces.isEmpty()) {
        std::printf("  kelvora --spoken handed nothing to the voice\n");
        return false;
    }
    const QString spokenFile = folder + QStringLiteral("spoken.txt");
    QFile spoken(spokenFile);
    if (!spoken.open(QIODevice::WriteOnly | QIODevice::Truncate) || spoken.write(pieces.join(u'\n').toUtf8()) < 0) {
        std::printf("  cannot write %s\n", qPrintable(spokenFile));
        return false;
    }
    spoken.close();
    std::printf("  %lld pieces handed to the voice, %lld characters\n", static_cast<long long>(pieces.size()),
                static_cast<long long>(pieces.join(u'\n').size()));

    const QString ourWav = folder + QStringLiteral("kelvora.wav");
    const QString theirWav = folder + QStringLiteral("espeak-ng.wav");
    const QStringList ourArguments = { QStringLiteral("--render"), ourWav, QStringLiteral("--text"), text };
    const QStringList theirArguments
        = { QStringLiteral("-v"), voice.identifier, QStringLiteral("-s"), QString::number(wordsPerMinute),
            QStringLiteral("-w"), theirWav,         QStringLiteral("-f"), spokenFile };
    Runs ours;
    Runs theirs;
    for (int i = 0; i < runs; ++i) {
        const BenchProcess::Run our = BenchProcess::runToEnd(program, ourArguments);
        const BenchProcess::Run their = BenchProcess::runToEnd(QStringLiteral("espeak-ng"), theirArguments);
        if (!our.ok || !their.ok) {
            std::printf("  run %d failed: %s\n", i + 1, our.ok ? "espeak-ng -w" : "kelvora --render");
            return false;
        }
        std::printf("  run %d: kelvora --render %8.1f ms %6.1f MB   espeak-ng -w %8.1f ms %6.1f MB   (load %s)\n",
                    i + 1, our.wallMs, our.peakMb, their.wallMs, their.peakMb, qPrintable(BenchProcess::loadAverage()));
        ours.wallMs.push_back(our.wallMs);
        ours.peakMb.push_back(our.peakMb);
        ours.cpuSeconds.push_back(our.cpuSeconds);
        theirs.cpuSeconds.push_back(their.cpuSeconds);
        theirs.wallMs.push_back(their.wallMs);
        theirs.peakMb.push_back(their.peakMb);
    }
    std::printf("  sound: kelvora %.2f s (with the pauses between pieces), espeak-ng %.2f s\n", wavSeconds(ourWav),
                wavSeconds(theirWav));

    const double ratio = BenchProcess::median(ours.wallMs) / BenchProcess::median(theirs.wallMs);
    const bool slow = ratioAim > 0 && ratio > ratioAim;
    std::printf("  whole process, median of %d: kelvora %.1f ms (spread %.1f..%.1f), espeak-ng -w %.1f ms "
                "(spread %.1f..%.1f), ratio %.3f",
                runs, BenchProcess::median(ours.wallMs), BenchProcess::smallest(ours.wallMs),
                BenchProcess::largest(ours.wallMs), BenchProcess::median(theirs.wallMs),
                BenchProcess::smallest(theirs.wallMs), BenchProcess::largest(theirs.wallMs), ratio);
    if (ratioAim > 0) {
        std::printf("   aim <= %.1fx%s", ratioAim, slow ? "   MISSED" : "");
    }
    std::printf("\n");
    // CPU time suffers less than wall time from other work on the machine.
    std::printf("  CPU time (user + system), median of %d: kelvora %.2f s, espeak-ng -w %.2f s, ratio %.3f\n", runs,
                BenchProcess::median(ours.cpuSeconds), BenchProcess::median(theirs.cpuSeconds),
                BenchProcess::median(ours.cpuSeconds) / BenchProcess::median(theirs.cpuSeconds));
    const double peak = BenchProcess::largest(ours.peakMb);
    const bool large = peak >= 50.0;
    std::printf("  peak resident memory, largest of %d: kelvora %.1f MB (median %.1f), espeak-ng -w %.1f MB   "
                "aim < 50 MB%s\n",
                runs, peak, BenchProcess::median(ours.peakMb), BenchProcess::largest(theirs.peakMb),
                large ? "   MISSED" : "");

    const QByteArray timeWhat = QStringLiteral("--render, whole process, %1").arg(figureLabel).toUtf8();
    const QByteArray timeAim = ratioAim > 0
        ? QStringLiteral("<= %1x%2").arg(ratioAim, 0, 'f', 1).arg(slow ? QStringLiteral(" MISSED") : QString()).toUtf8()
        : QByteArray();
    printFigure(timeWhat.constData(), "ms", BenchProcess::median(ours.wallMs), "espeak-ng -w",
                BenchProcess::median(theirs.wallMs), timeAim.constData());
    const QByteArray memoryWhat = QStringLiteral("peak memory of --render, %1").arg(figureLabel).toUtf8();
    printFigure(memoryWhat.constData(), "MB", peak, "espeak-ng -w", BenchProcess::largest(theirs.peakMb),
                large ? "< 50 MISSED" : "< 50");
    return true;
}

// The reading path of the real program against the espeak-ng command line; false when it cannot run.
bool wholeProcesses(int runs)
{
    QTemporaryDir dir;
    const QString folder = withslash(dir.path());
    setProgdir(folder);
    try {
        // A new station's draft.dat: the shipped lexicon and pause symbols.
        TDM::createDatabase(TDM::databasePath());
    } catch (const RuntimeError& error) {
        std::printf("cannot make draft.dat: %s\n", qPrintable(error.message()));
        return false;
    }
    const QString program = BenchProcess::placeProgram(QStringLiteral(KELVORA_BINARY), folder);
    if (program.isEmpty()) {
        std::printf("cannot place the program in %s\n", qPrintable(folder));
        return false;
    }
    const Voice voice = chosenVoice(program);
    if (voice.identifier.isEmpty()) {
        std::printf("the station's voice (\"%s\") is not one of espeak-ng's\n", qPrintable(voice.name));
        return false;
    }
    // The station's rate: its setting (a new station's default here) on top of espeak-ng's normal one.
    const int rate = VoiceSettings::rate(IniFile(folder + QStringLiteral("setinfo.ini")));
    const int wordsPerMinute = EspeakVoiceEngine::wordsPerMinute(rate);
    std::printf("whole processes: the station's voice %s (%s), rate %d = %d words a minute; load %s\n",
                qPrintable(voice.name), qPrintable(voice.identifier), rate, wordsPerMinute,
                qPrintable(BenchProcess::loadAverage()));
    const bool shortRead
        = compareReadings(QStringLiteral("a 200-character announcement"), QStringLiteral("200 characters"), program,
                          folder, announcement(), voice, wordsPerMinute, runs, 0.0);
    const bool longRead
        = compareReadings(QStringLiteral("a 13,600-character text"), QStringLiteral("13,600 characters"), program,
                          folder, longText(13600), voice, wordsPerMinute, runs, 1.1);
    std::printf("\n");
    return shortRead && longRead;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) {
        qputenv("SDL_AUDIODRIVER", "dummy");
    }
    QCoreApplication app(argc, argv);
    const QString text = announcement();
    const int at = app.arguments().indexOf(QStringLiteral("--runs"));
    const int runs = at >= 0 ? qMax(1, app.arguments().value(at + 1).toInt()) : 5;

    const bool whole = wholeProcesses(runs);

    QElapsedTimer construction;
    construction.start();
    SoundDevice sound;
    EspeakVoiceEngine engine(&sound);
    std::printf("engine start (listing and checking the voices) %.1f ms\n", construction.nsecsElapsed() / 1e6);
    if (!engine.isAvailable() || engine.voices().isEmpty()) {
        std::printf("espeak-ng is not available: %s\n", qPrintable(engine.failure()));
        return 1;
    }
    engine.setVoice(0);
    std::printf("text: %lld characters, voice \"%s\"\n", static_cast<long long>(text.size()),
                qPrintable(engine.voices().first()));

    // The normaliser and the lexicon on each piece of one reading, as the speaking thread hands them
    // on: a fresh form each time, so the voice is asked for the tones after 一 and 不 every time (the
    // station keeps its answers between readings).
    QElapsedTimer building;
    building.start();
    const auto lexicon = std::make_shared<const Lexicon>(SpeechTables::shippedLexicon(), roster(10000));
    std::printf("lexicon of %d words and %d names built in %.1f ms\n", lexicon->wordCount(), lexicon->nameCount(),
                building.nsecsElapsed() / 1e6);
    const PauseTable pauses = shippedPauses();
    QStringList pieces;
    for (QString rest = text; !rest.isEmpty();) {
        const Piece piece = cutPiece(rest, pauses);
        pieces.append(piece.text);
        rest = rest.mid(piece.text.size());
    }
    QString normalised;
    QList<double> forming;
    QList<double> kept;
    for (int i = 0; i < 50; ++i) {
        SpokenForm form(&engine);
        form.publish(lexicon);
        for (const bool fresh : { true, false }) {
            QString handed;
            QElapsedTimer timer;
            timer.start();
            for (const QString& piece : std::as_const(pieces)) {
                handed += form.spoken(piece);
            }
            (fresh ? forming : kept).append(timer.nsecsElapsed() / 1e6);
            normalised = handed;
        }
    }
    std::printf("handed to the voice: %s\n", qPrintable(normalised));
    const double formed = median(forming);
    std::printf("normaliser and lexicon for %lld pieces  median %.3f ms (tones asked), %.3f ms (tones kept)   "
                "aim <= 1 ms%s\n",
                static_cast<long long>(pieces.size()), formed, median(kept), formed <= 1.0 ? "" : "   MISSED");
    printFigure("normaliser and lexicon, 200-character announcement", "ms", formed, "", 0.0,
                qPrintable(aim(formed, 1.0, "<= 1 ms")));

    QList<double> latency;
    for (int i = 0; i < runs; ++i) {
        engine.speak(text, VoiceEngine::Async | VoiceEngine::PurgeBeforeSpeak);
        // Wait (at most two seconds) for the first sample to reach the device, then stop.
        QElapsedTimer wait;
        wait.start();
        qint64 us = -1;
        while (wait.elapsed() < 2000) {
            QThread::msleep(5);
            us = engine.lastFirstSampleLatencyUs();
            if (us >= 0) {
                break;
            }
        }
        engine.speak(QString(), VoiceEngine::PurgeBeforeSpeak);
        latency.append(us / 1000.0);
    }
    std::printf("speak to first sample at the device  median %6.1f ms, worst %6.1f ms (%s driver, %d Hz)\n",
                median(latency), *std::max_element(latency.begin(), latency.end()),
                sound.isSilentFallback() ? "silent fallback" : qgetenv("SDL_AUDIODRIVER").constData(),
                sound.frequency());
    printFigure("speak to first sample at the device", "ms", median(latency));
    return whole ? 0 : 1;
}
