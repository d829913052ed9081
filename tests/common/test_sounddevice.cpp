// The choice of SDL's audio driver: made once in the process environment before any thread starts, or,
// where nobody made it, through SDL's own setting without touching the environment. The output is open
// only while somebody holds it: it opens on demand and closes once idle.
#include "common/sounddevice.h"

#include <QElapsedTimer>
#include <QTest>

#include <SDL.h>
#include <SDL_mixer.h>
#include <atomic>
#include <thread>
#include <vector>

namespace {

// A chunk of a few milliseconds of a constant, non-silent sample value in the open output's format.
struct ShortChunk
{
    explicit ShortChunk(const SoundDevice& device, int frames = 256)
    {
        const int frameBytes = (SDL_AUDIO_BITSIZE(device.format()) / 8) * device.channels();
        data.assign(size_t(frameBytes) * size_t(frames), 0x40);
        chunk = Mix_QuickLoad_RAW(data.data(), Uint32(data.size()));
    }
    ~ShortChunk()
    {
        if (chunk) {
            Mix_FreeChunk(chunk);
        }
    }
    std::vector<Uint8> data;
    Mix_Chunk* chunk = nullptr;
};

} // namespace

class TestSoundDevice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No output can open here: no driver is named, the sound servers and the device are made up.
        qunsetenv("SDL_AUDIODRIVER");
        qputenv("AUDIODEV", "/nonexistent/dsp");
        qputenv("PULSE_SERVER", "unix:/nonexistent/pulse");
        qputenv("PIPEWIRE_REMOTE", "/nonexistent/pipewire");
    }

    // A device opened from any thread falls back without setting the environment.
    void openFallsBackToTheSilentDriver()
    {
        SoundDevice sound;
        QVERIFY(sound.open());
        QVERIFY(sound.isSilentFallback());
        QVERIFY(!sound.failure().isEmpty());
        QVERIFY(sound.frequency() > 0);
        QVERIFY(!qEnvironmentVariableIsSet("SDL_AUDIODRIVER"));
        sound.close();
        QVERIFY(!sound.isOpen());
        // Opened again on demand, the stand-in still says what it is.
        QVERIFY(sound.acquire());
        QVERIFY(sound.isSilentFallback());
        QCOMPARE(sound.openings(), 2);
        sound.release();
        sound.close();
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    }

    // The program's choice, first thing in main: the silent driver goes into the environment, the
    // reason is kept, and the device opened later says it stands in.
    void theProgramChoosesOnce()
    {
        const QString reason = SoundDevice::chooseDriver();
        QVERIFY(!reason.isEmpty());
        QCOMPARE(qgetenv("SDL_AUDIODRIVER"), QByteArray("dummy"));
        QVERIFY(SoundDevice::chooseDriver().isEmpty()); // a driver is named now: kept as it is
        SoundDevice sound;
        QVERIFY(sound.open());
        QVERIFY(sound.isSilentFallback());
        QCOMPARE(sound.failure(), reason);
    }

    // The first hold opens the output, the last one lets it close once idle; the next hold opens it
    // again. Holds are counted, and an unmatched release changes nothing.
    void holdsOpenAndIdleCloses()
    {
        qputenv("SDL_AUDIODRIVER", "dummy");
        SoundDevice sound(std::chrono::milliseconds(0));
        QVERIFY(!sound.isOpen());
        sound.release(); // nothing held: ignored
        QCOMPARE(sound.holds(), 0);
        QVERIFY(sound.acquire());
        QVERIFY(sound.acquire());
        QVERIFY(sound.isOpen());
        QCOMPARE(sound.holds(), 2);
        QCOMPARE(sound.openings(), 1);
        sound.release();
        QCOMPARE(sound.holds(), 1);
        QVERIFY(sound.isOpen()); // still held
        sound.release();
        QTRY_VERIFY_WITH_TIMEOUT(!sound.isOpen(), 5000);
        QCOMPARE(sound.holds(), 0);
        QVERIFY(sound.acquire());
        QVERIFY(sound.isOpen());
        QCOMPARE(sound.openings(), 2);
        QVERIFY(sound.frequency() > 0);
        sound.release();
        QTRY_VERIFY_WITH_TIMEOUT(!sound.isOpen(), 5000);
    }

    // open() only looks: without a hold the output closes again by itself.
    void openAloneDoesNotKeepItOpen()
    {
        qputenv("SDL_AUDIODRIVER", "dummy");
        SoundDevice sound(std::chrono::milliseconds(0));
        QVERIFY(sound.open());
        QCOMPARE(sound.holds(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!sound.isOpen(), 5000);
    }

    // A chunk on a reserved channel holds the output until it has sounded; the output closes after.
    void aPlayingChunkHoldsTheOutput()
    {
        qputenv("SDL_AUDIODRIVER", "dummy");
        SoundDevice sound(std::chrono::milliseconds(0));
        QVERIFY(sound.acquire());
        ShortChunk chunk(sound);
        QVERIFY(chunk.chunk);
        QVERIFY(sound.playChunk(SoundDevice::ChimeChannel, chunk.chunk));
        QCOMPARE(sound.holds(), 2);
        sound.release();
        QVERIFY(sound.isOpen());
        // Replacing the channel's chunk ends the first one's hold: still one hold, not two.
        QVERIFY(sound.playChunk(SoundDevice::ChimeChannel, chunk.chunk));
        QVERIFY(sound.holds() <= 1);
        QTRY_COMPARE_WITH_TIMEOUT(sound.holds(), 0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!sound.isOpen(), 5000);
        QVERIFY(!sound.playChunk(SoundDevice::ReservedChannels, chunk.chunk)); // not a reserved channel
        QVERIFY(!sound.playChunk(SoundDevice::ChimeChannel, nullptr));
        QCOMPARE(sound.holds(), 0);
    }

    // Closing at once ends every channel's hold, so the next play opens the output afresh.
    void closeEndsTheChannelsHolds()
    {
        qputenv("SDL_AUDIODRIVER", "dummy");
        SoundDevice sound;
        QVERIFY(sound.acquire());
        ShortChunk chunk(sound, 44100 * 10);
        QVERIFY(sound.playChunk(SoundDevice::SampleChannel, chunk.chunk, -1));
        sound.release();
        QCOMPARE(sound.holds(), 1);
        sound.close();
        QVERIFY(!sound.isOpen());
        QCOMPARE(sound.holds(), 0);
        QVERIFY(sound.acquire());
        QCOMPARE(sound.openings(), 2);
        sound.release();
    }

    // What a reopened output plays reaches the device: the observer sees the chunk's samples.
    void aReopenedOutputPlays()
    {
        qputenv("SDL_AUDIODRIVER", "dummy");
        SoundDevice sound(std::chrono::milliseconds(0));
        std::atomic<int> heard { 0 };
        sound.setOutputObserver([&heard](const unsigned char* stream, int bytes) {
            for (int i = 0; i < bytes; ++i) {
                if (stream[i] == 0x40) {
                    heard.fetch_add(1);
                    return;
                }
            }
        });
        QVERIFY(sound.open());
        QTRY_VERIFY_WITH_TIMEOUT(!sound.isOpen(), 5000);
        QCOMPARE(heard.load(), 0);
        QVERIFY(sound.acquire());
        QCOMPARE(sound.openings(), 2);
        ShortChunk chunk(sound, 4096);
        QVERIFY(sound.playChunk(SoundDevice::SpeechChannel, chunk.chunk));
        sound.release();
        QTRY_VERIFY_WITH_TIMEOUT(heard.load() > 0, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!sound.isOpen(), 5000);
    }

    // Holds taken and released from many threads at once leave the count right and the output closed.
    void holdsFromManyThreads()
    {
        qputenv("SDL_AUDIODRIVER", "dummy");
        SoundDevice sound(std::chrono::milliseconds(0));
        std::vector<std::thread> threads;
        std::atomic<int> failed { 0 };
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < 50; ++i) {
                    if (!sound.acquire()) {
                        failed.fetch_add(1);
                        continue;
                    }
                    if (!sound.isOpen()) {
                        failed.fetch_add(1);
                    }
                    sound.release();
                }
                // SDL keeps per-thread data for a thread of ours that called it; only its own threads free it.
                SDL_TLSCleanup();
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        QCOMPARE(failed.load(), 0);
        QCOMPARE(sound.holds(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!sound.isOpen(), 5000);
    }

    // A driver named by the user is not second-guessed.
    void aNamedDriverIsKept()
    {
        qputenv("SDL_AUDIODRIVER", "disk");
        QVERIFY(SoundDevice::chooseDriver().isEmpty());
        QCOMPARE(qgetenv("SDL_AUDIODRIVER"), QByteArray("disk"));
    }
};

QTEST_GUILESS_MAIN(TestSoundDevice)
#include "test_sounddevice.moc"
