#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cmath>
#include <optional>
#include <vector>

class TestFolder;

// Listening to what the real program played through SDL's disk audio driver: the capture is raw PCM
// in the mixer's device format, cut into 100 ms windows, each measured for the test tones of the
// MP3 files the tests make and for the energy in the voice's band.
namespace SoundCapture {

// The mixer's device format (SoundDevice: 44.1 kHz, signed 16 bit, stereo).
constexpr int SampleRate = 44100;
constexpr int FrameBytes = 4;
constexpr int WindowFrames = SampleRate / 10; // 100 ms
constexpr double WindowSeconds = double(WindowFrames) / SampleRate;

// The tones lie above espeak-ng's band (it synthesises at 22.05 kHz, so nothing above 11 kHz), so no
// speech leaks into a tone's bin; each makes a whole number of cycles in a window.
constexpr double TrackA = 12000.0; // first background track
constexpr double TrackB = 13000.0; // second background track
constexpr double SongTone = 14000.0; // the designated song
constexpr double ToneAmplitude = 0.3; // of full scale, in the MP3 files

// The levels the mixer applies (0..128 steps) for the music level 40 and the speaking level 10.
constexpr double MusicLevel = 51.0 / 128.0;
constexpr double SpeakingLevel = 13.0 / 128.0;

constexpr double TonePresent = 0.03; // a tone at 3 % of the track's loudness or more is playing
constexpr double SpeechRms = 0.01; // speech: this much energy (of full scale) below 5 kHz
constexpr double SilenceRms = 0.002; // nothing plays

struct Window
{
    double t = 0; // seconds from the start of the capture
    double a = 0; // levels of the three tones, as fractions of the tracks' own amplitude
    double b = 0;
    double song = 0;
    double speech = 0; // RMS below 5 kHz (the voice's band), fraction of full scale
    double rms = 0; // RMS of everything
};

struct Segment
{
    double start = 0;
    double end = 0;
};

std::vector<Window> analyse(const QByteArray& pcm);

// Readings: runs of speaking windows (a lone window is a click, not a word) joined across the
// pauses after the symbols, which are all shorter than 1.5 s.
QList<Segment> speechSegments(const std::vector<Window>& windows);

// The capture as a readable timeline: runs of windows that sound alike.
QString describe(const std::vector<Window>& windows);

double median(std::vector<double> values);

template <typename Get> double medianOver(const std::vector<Window>& windows, double from, double to, Get get)
{
    std::vector<double> values;
    for (const Window& w : windows) {
        if (w.t >= from && w.t + WindowSeconds <= to) {
            values.push_back(get(w));
        }
    }
    return median(values);
}

std::optional<double> firstWhere(const std::vector<Window>& windows, double from, auto predicate)
{
    for (const Window& w : windows) {
        if (w.t >= from && predicate(w)) {
            return w.t;
        }
    }
    return std::nullopt;
}

// A stereo WAV of a sine tone at ToneAmplitude.
QByteArray wavOfTone(double frequency, double seconds);

// lame, else ffmpeg; empty when neither is installed.
QString findMp3Encoder();

// Encodes a tone into the folder's file name (folders made as needed); fails the test when the
// encoder does.
void encodeMp3(const QString& encoder, const TestFolder& folder, const QString& name, double frequency, double seconds);

} // namespace SoundCapture
