// A reading rendered to sound is handed on piece by piece as it is made, and written to its WAV file as
// it comes: the file is whole, with the right sizes, once committed, and an older file stays untouched
// until then.
#include "common/runtimeerror.h"
#include "speech/pausesymbols.h"
#include "speech/readingrenderer.h"
#include "testfolder.h"

#include <QDir>
#include <QTest>
#include <QtEndian>

namespace {

constexpr int Rate = 22050;

quint32 u32(const QByteArray& bytes, int at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}
quint16 u16(const QByteArray& bytes, int at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

// A voice that gives every character of its text 10 ms of a constant sample, and counts its calls.
struct CountingVoice
{
    int calls = 0;
    QStringList texts;
    ReadingRenderer::Synthesize synthesize()
    {
        return [this](const QString& text) {
            ++calls;
            texts.append(text);
            QByteArray pcm(qsizetype(text.size()) * Rate / 100 * 2, '\0');
            for (qsizetype i = 0; i + 1 < pcm.size(); i += 2) {
                pcm[i] = char(0x34);
                pcm[i + 1] = char(0x12);
            }
            return pcm;
        };
    }
};

std::shared_ptr<const PauseTable> commaPauses(int ms)
{
    return std::make_shared<const PauseTable>(PauseTable::fromRows({ { QStringLiteral("，"), ms, true } }));
}

} // namespace

class TestReadingRenderer : public QObject
{
    Q_OBJECT

private:
    const QDateTime m_start { QDate(2024, 3, 4), QTime(9, 0) };

private slots:
    // The sink gets the pieces in order as they are made; together they are the in-memory rendering.
    void theSoundIsHandedOnPieceByPiece()
    {
        PauseSymbols pauses;
        pauses.publish(commaPauses(300));
        const QString text = QStringLiteral("一二，三四五，六");
        CountingVoice voice;
        ReadingRenderer renderer(voice.synthesize(), Rate);
        QList<QByteArray> pieces;
        const qint64 samples
            = renderer.render(text, pauses, 0, m_start, nullptr, [&](const QByteArray& pcm) { pieces.append(pcm); });
        QCOMPARE(voice.calls, 3);
        QVERIFY(pieces.size() >= 3);
        qint64 handed = 0;
        for (const QByteArray& piece : std::as_const(pieces)) {
            QVERIFY(piece.size() % 2 == 0);
            QVERIFY(piece.size() <= Rate * 2); // nothing longer than a second comes in one block
            handed += piece.size() / 2;
        }
        QCOMPARE(samples, handed);
        // The voice of 8 characters and two pauses of 300 ms, give or take the clock's rounding.
        const qint64 expected = qint64(8) * (Rate / 100) + 2 * qint64(Rate) * 300 / 1000;
        QVERIFY2(qAbs(samples - expected) < Rate / 100, qPrintable(QString::number(samples)));
        CountingVoice again;
        QCOMPARE(ReadingRenderer(again.synthesize(), Rate).render(text, pauses, 0, m_start), pieces.join());
    }

    // A long wait is handed on a second at a time, never as one block of its whole length.
    void aLongPauseComesInSeconds()
    {
        PauseSymbols pauses;
        pauses.publish(commaPauses(5500));
        CountingVoice voice;
        ReadingRenderer renderer(voice.synthesize(), Rate);
        qsizetype largest = 0;
        const qint64 samples = renderer.render(QStringLiteral("一，二"), pauses, 0, m_start, nullptr,
                                               [&](const QByteArray& pcm) { largest = qMax(largest, pcm.size()); });
        QVERIFY2(samples >= qint64(Rate) * 5500 / 1000, qPrintable(QString::number(samples)));
        QVERIFY(largest <= qsizetype(Rate) * 2);
    }

    // A sink that fails ends the reading after its piece; the failure reaches the caller.
    void aFailingSinkEndsTheReading()
    {
        PauseSymbols pauses;
        pauses.publish(commaPauses(0));
        CountingVoice voice;
        ReadingRenderer renderer(voice.synthesize(), Rate);
        int handed = 0;
        try {
            renderer.render(QStringLiteral("一，二，三，四，五，六，七，八"), pauses, 0, m_start, nullptr,
                            [&](const QByteArray&) {
                                if (++handed == 2) {
                                    throw RuntimeError(QStringLiteral("disk full"));
                                }
                            });
            QFAIL("no failure reported");
        } catch (const RuntimeError& error) {
            QCOMPARE(error.message(), QStringLiteral("disk full"));
        }
        QCOMPARE(handed, 2);
        QVERIFY2(voice.calls < 8, qPrintable(QString::number(voice.calls)));
    }

    // The writer's file: a 16-bit mono WAV whose header has the sizes of what was appended.
    void theWavFileIsWholeOnceCommitted_data()
    {
        QTest::addColumn<QList<int>>("pieces"); // samples in each append
        QTest::newRow("none") << QList<int>();
        QTest::newRow("one") << QList<int>({ 1000 });
        QTest::newRow("many") << QList<int>({ 1, 22050, 0, 7, 44100 });
    }
    void theWavFileIsWholeOnceCommitted()
    {
        QFETCH(QList<int>, pieces);
        TestFolder folder;
        const QString path = folder.file(QStringLiteral("out.wav"));
        folder.write(QStringLiteral("out.wav"), "old");
        qint64 total = 0;
        {
            WavFileWriter writer(path, Rate);
            for (const int samples : std::as_const(pieces)) {
                writer.append(QByteArray(qsizetype(samples) * 2, '\x01'));
                total += samples;
            }
            QCOMPARE(writer.samples(), total);
            QCOMPARE(folder.read(QStringLiteral("out.wav")), QByteArray("old")); // nothing changes yet
            writer.commit();
        }
        const QByteArray wav = folder.read(QStringLiteral("out.wav"));
        QCOMPARE(wav.size(), 44 + total * 2);
        QCOMPARE(wav.left(4), QByteArray("RIFF"));
        QCOMPARE(u32(wav, 4), quint32(36 + total * 2));
        QCOMPARE(wav.mid(8, 4), QByteArray("WAVE"));
        QCOMPARE(u16(wav, 22), quint16(1)); // mono
        QCOMPARE(u32(wav, 24), quint32(Rate));
        QCOMPARE(u16(wav, 34), quint16(16));
        QCOMPARE(wav.mid(36, 4), QByteArray("data"));
        QCOMPARE(u32(wav, 40), quint32(total * 2));
    }

    // A writer given up before its commit (the reading failed) leaves the older file as it was.
    void anUncommittedWavChangesNothing()
    {
        TestFolder folder;
        const QString path = folder.file(QStringLiteral("out.wav"));
        folder.write(QStringLiteral("out.wav"), "old");
        {
            WavFileWriter writer(path, Rate);
            writer.append(QByteArray(2000, '\x02'));
        }
        QCOMPARE(folder.read(QStringLiteral("out.wav")), QByteArray("old"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList { QStringLiteral("out.wav") });
    }
};

QTEST_GUILESS_MAIN(TestReadingRenderer)
#include "test_readingrenderer.moc"
