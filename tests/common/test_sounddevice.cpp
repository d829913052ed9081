// The choice of SDL's audio driver: made once in the process environment before any thread starts, or,
// where nobody made it, through SDL's own setting without touching the environment.
#include "common/sounddevice.h"

#include <QTest>

#include <SDL.h>

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
