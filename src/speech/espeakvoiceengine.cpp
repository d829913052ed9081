#include "espeakvoiceengine.h"

#include "common/runtimeerror.h"
#include "common/sounddevice.h"
#include "common/tsanannotations.h"

#include <QElapsedTimer>

#include <SDL.h>
#include <SDL_mixer.h>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <espeak-ng/speak_lib.h>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;

namespace {

// espeak-ng keeps its state in globals and is not reentrant: one lock for every call into it, shared by
// all engine objects of the process.
struct EspeakLibrary
{
    std::timed_mutex mutex;
    bool initialised = false;
    int sampleRate = 0;
    QString failure;
    QByteArray loadedVoice;
    std::function<bool(const short*, int)>* sink = nullptr; // the synthesis in progress
};

EspeakLibrary& library()
{
    static EspeakLibrary lib;
    return lib;
}

// Synchronous mode hands the samples to this callback on the synthesising thread; returning 1 aborts.
int synthCallback(short* wav, int samples, espeak_EVENT*)
{
    auto* sink = library().sink;
    if (!sink || !wav || samples <= 0) {
        return 0;
    }
    return (*sink)(wav, samples) ? 0 : 1;
}

// Needs the library lock.
bool initialiseLibrary(const QString& dataPath)
{
    EspeakLibrary& lib = library();
    if (lib.initialised) {
        return true;
    }
    const QByteArray path = dataPath.toLocal8Bit();
    // 50 ms buffers: the first samples reach the device soon after a speak.
    const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 50, dataPath.isEmpty() ? nullptr : path.constData(),
                                       espeakINITIALIZE_DONT_EXIT);
    if (rate <= 0) {
        lib.failure = QStringLiteral("espeak-ng could not start: no voice data found");
        return false;
    }
    espeak_SetSynthCallback(synthCallback);
    lib.initialised = true;
    lib.sampleRate = rate;
    lib.failure.clear();
    return true;
}

struct VoiceEntry
{
    QString name;
    QByteArray identifier;
    VoiceEngine::ChineseReading reading = VoiceEngine::ChineseReading::None;
};

// Needs the library lock and a loaded voice. espeak-ng's phoneme notation, as `espeak-ng -x` prints it.
QByteArray phonemesOf(const QByteArray& utf8)
{
    QByteArray out;
    const QByteArray text = utf8; // the engine reads through a pointer it moves; keep the bytes alive
    const void* position = text.constData();
    while (position) {
        const char* phonemes = espeak_TextToPhonemes(&position, espeakCHARS_UTF8, 0);
        if (!phonemes) {
            break;
        }
        if (!out.isEmpty() && *phonemes) {
            out += ' ';
        }
        out += phonemes;
    }
    return out.trimmed();
}

// Needs the library lock and the voice loaded. A voice reads Chinese characters when it says two
// different words differently and never hands them to another language (espeak-ng marks such a switch
// as "(en)"; the Hakka voice spells each character as "Chinese letter" in English). It reads pinyin
// when the pinyin of a word sounds as its characters do.
VoiceEngine::ChineseReading probeChineseReading()
{
    const QByteArray zhongguo = phonemesOf(QByteArrayLiteral("中国"));
    const QByteArray jintian = phonemesOf(QByteArrayLiteral("今天"));
    if (zhongguo.isEmpty() || zhongguo.contains('(') || jintian.contains('(') || zhongguo == jintian) {
        return VoiceEngine::ChineseReading::None;
    }
    return phonemesOf(QByteArrayLiteral("zhong1 guo2")) == zhongguo ? VoiceEngine::ChineseReading::Pinyin
                                                                    : VoiceEngine::ChineseReading::Characters;
}

// The tone of the first syllable in espeak-ng's Mandarin notation: its first run of tone digits
// (55, 35, 214 or 21, 51; anything else is the neutral tone).
int toneOfPhonemes(const QByteArray& phonemes)
{
    qsizetype start = 0;
    while (start < phonemes.size() && !std::isdigit(static_cast<unsigned char>(phonemes.at(start)))) {
        ++start;
    }
    qsizetype end = start;
    while (end < phonemes.size() && std::isdigit(static_cast<unsigned char>(phonemes.at(end)))) {
        ++end;
    }
    const QByteArray digits = phonemes.mid(start, end - start);
    if (digits.isEmpty()) {
        return 0;
    }
    if (digits == "55") {
        return 1;
    }
    if (digits == "35") {
        return 2;
    }
    if (digits.startsWith("21")) {
        return 3;
    }
    if (digits.startsWith('5')) {
        return 4;
    }
    return 5;
}

bool isChinese(const espeak_VOICE* voice)
{
    // languages: a list of (priority byte, name, NUL), ended by a zero priority byte.
    for (const char* entry = voice->languages; entry && *entry;) {
        const char* language = entry + 1;
        if (std::strncmp(language, "zh", 2) == 0 || std::strcmp(language, "cmn") == 0
            || std::strcmp(language, "yue") == 0 || std::strcmp(language, "hak") == 0) {
            return true;
        }
        entry = language + std::strlen(language) + 1;
    }
    return QString::fromUtf8(voice->name).contains(QLatin1String("Chinese"), Qt::CaseInsensitive);
}

// Needs the library lock. Only voices that load here are listed (mbrola voices without their data
// fail to load). Each Chinese voice is probed, without sound: those that read Chinese characters come
// first (the one that also reads pinyin before the others), then those that cannot, then the rest.
// The voice loaded before is loaded again afterwards.
QList<VoiceEntry> listVoices()
{
    const QByteArray loaded = library().loadedVoice;
    QList<VoiceEntry> pinyin;
    QList<VoiceEntry> characters;
    QList<VoiceEntry> unreadable;
    QList<VoiceEntry> others;
    const espeak_VOICE** list = espeak_ListVoices(nullptr);
    for (int i = 0; list && list[i]; ++i) {
        const espeak_VOICE* voice = list[i];
        if (!voice->identifier || !voice->name || espeak_SetVoiceByName(voice->identifier) != EE_OK) {
            continue;
        }
        VoiceEntry entry { QString::fromUtf8(voice->name), QByteArray(voice->identifier) };
        if (!isChinese(voice)) {
            others.append(entry);
            continue;
        }
        entry.reading = probeChineseReading();
        switch (entry.reading) {
        case VoiceEngine::ChineseReading::Pinyin:
            pinyin.append(entry);
            break;
        case VoiceEngine::ChineseReading::Characters:
            characters.append(entry);
            break;
        case VoiceEngine::ChineseReading::None:
            unreadable.append(entry);
            break;
        }
    }
    library().loadedVoice.clear();
    if (!loaded.isEmpty() && espeak_SetVoiceByName(loaded.constData()) == EE_OK) {
        library().loadedVoice = loaded;
    }
    return pinyin + characters + unreadable + others;
}

// Needs the library lock. Loads the voice unless it is loaded already.
bool loadVoice(const QByteArray& identifier)
{
    EspeakLibrary& lib = library();
    if (identifier.isEmpty() || identifier == lib.loadedVoice) {
        return !identifier.isEmpty() || !lib.loadedVoice.isEmpty();
    }
    if (espeak_SetVoiceByName(identifier.constData()) != EE_OK) {
        lib.loadedVoice.clear();
        return false;
    }
    lib.loadedVoice = identifier;
    return true;
}

// Control characters, lone surrogates and non-characters become blanks: the engine sees only text.
QString speakable(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
            continue;
        }
        const char16_t u = c.unicode();
        const bool control = (u < 0x20 && u != u'\n' && u != u'\t') || (u >= 0x7F && u <= 0x9F);
        if (control || c.isSurrogate() || QChar::isNonCharacter(u)) {
            out += QLatin1Char(' ');
        } else {
            out += c;
        }
    }
    return out;
}

struct VoiceParams
{
    QByteArray identifier;
    int wpm = espeakRATE_NORMAL;
    int volume = 100;
};

// Needs the library lock. Returns false when the sink aborted the synthesis.
bool runSynthesis(const QByteArray& utf8, const VoiceParams& params, std::function<bool(const short*, int)> sink)
{
    EspeakLibrary& lib = library();
    if (!params.identifier.isEmpty() && !loadVoice(params.identifier)) {
        throw RuntimeError(
            QStringLiteral("espeak-ng could not load the voice %1").arg(QString::fromUtf8(params.identifier)));
    }
    espeak_SetParameter(espeakRATE, params.wpm, 0);
    espeak_SetParameter(espeakVOLUME, params.volume, 0);

    bool aborted = false;
    std::function<bool(const short*, int)> guardedSink = [&](const short* samples, int count) {
        if (!sink(samples, count)) {
            aborted = true;
            return false;
        }
        return true;
    };
    lib.sink = &guardedSink;
    const espeak_ERROR result = espeak_Synth(utf8.constData(), static_cast<size_t>(utf8.size()) + 1, 0, POS_CHARACTER,
                                             0, espeakCHARS_UTF8 | espeakENDPAUSE, nullptr, nullptr);
    lib.sink = nullptr;
    if (aborted) {
        espeak_Cancel();
        return false;
    }
    if (result != EE_OK) {
        throw RuntimeError(QStringLiteral("espeak-ng failed to synthesise the text (error %1)").arg(int(result)));
    }
    return true;
}

} // namespace

struct EspeakVoiceEngine::Impl
{
    struct Job
    {
        quint64 id = 0;
        quint64 generation = 0;
        QString text;
        QByteArray utf8;
        VoiceParams params;
        QElapsedTimer requested;
    };

    QList<VoiceEntry> voices;
    bool available = false;
    QString failure;
    int sampleRate = 0;

    std::atomic<int> voice { -1 };
    std::atomic<int> rate { 0 };
    std::atomic<int> volume { 100 };
    std::atomic<qint64> latencyUs { -1 };
    std::atomic<quint64> newestId { 0 }; // the text whose first sample latencyUs measures

    // Queue and progress of the worker.
    std::mutex queueMutex;
    std::condition_variable queueChanged;
    std::deque<Job> queue;
    quint64 lastId = 0;
    quint64 doneUpTo = 0;
    std::atomic<quint64> generation { 0 };
    std::atomic<bool> quitting { false };
    std::atomic<bool> closed { false };
    SoundDevice* sound = nullptr;
    std::function<void(const QString&)> observer;

    // Playback of the current text: the converted PCM waits here until the mixer pulls it.
    std::mutex ringMutex;
    std::condition_variable ringChanged;
    QByteArray ring;
    qsizetype readPos = 0;
    bool producerDone = false;
    bool drained = false;
    bool latencyPending = false;
    quint64 ringJobId = 0;
    QElapsedTimer ringRequested;
    Uint8 silence = 0;

    // Serialises starting and halting the speech channel between the worker and a purge.
    std::mutex playMutex;
    std::vector<Uint8> silentChunkData;
    Mix_Chunk* silentChunk = nullptr;

    std::thread worker;

    VoiceParams currentParams() const
    {
        VoiceParams params;
        const int index = voice.load();
        if (index >= 0 && index < voices.size()) {
            params.identifier = voices.at(index).identifier;
        }
        params.wpm = wordsPerMinute(rate.load());
        params.volume = volume.load();
        return params;
    }

    void purge()
    {
        {
            std::lock_guard lock(queueMutex);
            ++generation;
            queue.clear();
            doneUpTo = lastId;
        }
        queueChanged.notify_all();
        ringChanged.notify_all();
        std::lock_guard play(playMutex);
        if (sound) {
            sound->haltChannel(SoundDevice::SpeechChannel);
        }
    }

    bool wanted(const Job& job) const
    {
        return generation.load() == job.generation && !quitting.load() && !closed.load();
    }

    static void mixEffect(int, void* stream, int len, void* udata)
    {
        static_cast<Impl*>(udata)->pull(static_cast<Uint8*>(stream), len);
    }

    // Runs on the audio thread with the mixer locked: hand over what is ready, silence for the rest.
    void pull(Uint8* stream, int len)
    {
        KELVORA_TSAN_ACQUIRE(this); // registered by the worker under SDL's lock
        {
            std::lock_guard lock(ringMutex);
            const qsizetype available = ring.size() - readPos;
            const qsizetype n = std::min<qsizetype>(len, available);
            if (n > 0) {
                std::memcpy(stream, ring.constData() + readPos, static_cast<size_t>(n));
                readPos += n;
                if (latencyPending) {
                    latencyPending = false;
                    if (ringJobId == newestId.load()) {
                        latencyUs = ringRequested.nsecsElapsed() / 1000;
                    }
                }
            }
            if (n < len) {
                std::memset(stream + n, silence, static_cast<size_t>(len - n));
            }
            if (producerDone && readPos >= ring.size()) {
                drained = true;
            }
        }
        ringChanged.notify_all();
        KELVORA_TSAN_RELEASE(this); // for the acquire after the effect is unregistered
    }

    // Needs the device open and held open.
    bool startChannel()
    {
        const SoundDevice& device = *sound;
        const int frameBytes = (SDL_AUDIO_BITSIZE(device.format()) / 8) * device.channels();
        const size_t chunkBytes = static_cast<size_t>(frameBytes) * 4096;
        // The output may have been opened again since, in another format: the loop follows it.
        if (silentChunk && (silentChunkData.size() != chunkBytes || silentChunkData.front() != silence)) {
            Mix_FreeChunk(silentChunk);
            silentChunk = nullptr;
        }
        if (!silentChunk) {
            silentChunkData.assign(chunkBytes, silence);
            silentChunk = Mix_QuickLoad_RAW(silentChunkData.data(), static_cast<Uint32>(silentChunkData.size()));
            if (!silentChunk) {
                return false;
            }
        }
        Mix_HaltChannel(SoundDevice::SpeechChannel);
        Mix_UnregisterAllEffects(SoundDevice::SpeechChannel);
        KELVORA_TSAN_RELEASE(this); // the audio thread pulls from here on
        if (!Mix_RegisterEffect(SoundDevice::SpeechChannel, &Impl::mixEffect, nullptr, this)) {
            return false;
        }
        Mix_Volume(SoundDevice::SpeechChannel, MIX_MAX_VOLUME);
        if (Mix_PlayChannel(SoundDevice::SpeechChannel, silentChunk, -1) < 0) {
            Mix_UnregisterAllEffects(SoundDevice::SpeechChannel);
            return false;
        }
        return true;
    }

    // Starts the speech channel on a silent loop whose data the effect replaces with the ring's PCM.
    bool startPlayback(const Job& job)
    {
        std::lock_guard play(playMutex);
        if (!wanted(job)) {
            return false;
        }
        // Under the device's lock: an output closed meanwhile (closed at once by its owner) plays nothing.
        bool playing = false;
        sound->whileOpen([&] { playing = startChannel(); });
        if (!playing) {
            return false;
        }
        if (observer) {
            observer(job.text);
        }
        return true;
    }

    void stopPlayback()
    {
        std::lock_guard play(playMutex);
        sound->whileOpen([] {
            Mix_HaltChannel(SoundDevice::SpeechChannel);
            Mix_UnregisterAllEffects(SoundDevice::SpeechChannel);
        });
    }

    void moveConverted(SDL_AudioStream* stream)
    {
        const int available = SDL_AudioStreamAvailable(stream);
        if (available <= 0) {
            return;
        }
        QByteArray converted(available, Qt::Uninitialized);
        const int got = SDL_AudioStreamGet(stream, converted.data(), available);
        if (got <= 0) {
            return;
        }
        converted.truncate(got);
        std::lock_guard lock(ringMutex);
        if (readPos > (1 << 20)) {
            ring.remove(0, readPos);
            readPos = 0;
        }
        ring.append(converted);
    }

    // Holds the output open while the text sounds, opening it when it was closed.
    void play(const Job& job)
    {
        const bool haveDevice = sound && sound->acquire();
        struct Release
        {
            SoundDevice* device;
            ~Release()
            {
                if (device) {
                    device->release();
                }
            }
        } release { haveDevice ? sound : nullptr };
        {
            std::lock_guard lock(ringMutex);
            ring.clear();
            readPos = 0;
            producerDone = false;
            drained = false;
            latencyPending = true;
            ringJobId = job.id;
            ringRequested = job.requested;
            silence = haveDevice && (sound->format() == AUDIO_U8 || sound->format() == AUDIO_U16SYS) ? 0x80 : 0;
        }
        SDL_AudioStream* converter = nullptr;
        if (haveDevice) {
            converter = SDL_NewAudioStream(AUDIO_S16SYS, 1, sampleRate, sound->format(),
                                           static_cast<Uint8>(sound->channels()), sound->frequency());
        }
        const qint64 bytesPerSecond = haveDevice
            ? qint64(sound->frequency()) * sound->channels() * (SDL_AUDIO_BITSIZE(sound->format()) / 8)
            : qint64(sampleRate) * 2;
        // Synthesis runs far ahead of real time; two seconds in hand keep memory small for long texts.
        const qint64 ahead = 2 * bytesPerSecond;
        qint64 samplesMade = 0;
        bool started = false;

        auto sink = [&](const short* samples, int count) {
            if (!wanted(job)) {
                return false;
            }
            samplesMade += count;
            if (converter) {
                SDL_AudioStreamPut(converter, samples, count * int(sizeof(short)));
                moveConverted(converter);
                if (!started) {
                    started = startPlayback(job);
                }
                if (started) {
                    std::unique_lock lock(ringMutex);
                    while (ring.size() - readPos > ahead && wanted(job)) {
                        ringChanged.wait_for(lock, 50ms);
                    }
                }
            }
            return wanted(job);
        };

        bool complete = false;
        try {
            std::lock_guard lock(library().mutex);
            complete = runSynthesis(job.utf8, job.params, sink);
        } catch (...) {
            if (converter) {
                SDL_FreeAudioStream(converter);
            }
            if (started) {
                stopPlayback();
            }
            throw;
        }

        if (converter) {
            if (complete) {
                SDL_AudioStreamFlush(converter);
                moveConverted(converter);
            }
            SDL_FreeAudioStream(converter);
        }
        {
            std::lock_guard lock(ringMutex);
            producerDone = true;
            if (readPos >= ring.size()) {
                drained = true;
            }
        }
        if (complete && haveDevice && !started) {
            started = startPlayback(job);
        }
        if (started) {
            std::unique_lock lock(ringMutex);
            while (!drained && wanted(job)) {
                ringChanged.wait_for(lock, 50ms);
            }
            lock.unlock();
            stopPlayback();
        } else if (complete && !haveDevice) {
            // No output at all: keep the natural duration, still stoppable by a purge.
            const auto duration = std::chrono::milliseconds(samplesMade * 1000 / std::max(1, sampleRate));
            std::unique_lock lock(queueMutex);
            queueChanged.wait_for(lock, duration, [&] { return !wanted(job); });
        }
    }

    void run()
    {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(queueMutex);
                queueChanged.wait(lock, [&] { return quitting.load() || !queue.empty(); });
                if (quitting) {
                    return;
                }
                job = std::move(queue.front());
                queue.pop_front();
            }
            if (wanted(job)) {
                try {
                    play(job);
                } catch (const std::exception&) {
                    // A text the engine refuses is skipped; the next one still plays.
                }
            }
            {
                std::lock_guard lock(queueMutex);
                doneUpTo = std::max(doneUpTo, job.id);
            }
            queueChanged.notify_all();
        }
    }
};

EspeakVoiceEngine::EspeakVoiceEngine(SoundDevice* sound, const QString& dataPath)
    : d(std::make_unique<Impl>())
{
    d->sound = sound;
    {
        std::lock_guard lock(library().mutex);
        d->available = initialiseLibrary(dataPath);
        if (d->available) {
            d->sampleRate = library().sampleRate;
            d->voices = listVoices();
            const int wpm = espeak_GetParameter(espeakRATE, 0);
            d->rate = wpm > 0 ? int(std::lround(10.0 * std::log(double(wpm) / espeakRATE_NORMAL) / std::log(3.0))) : 0;
            const int volume = espeak_GetParameter(espeakVOLUME, 0);
            d->volume = volume > 0 ? std::min(volume, 100) : 100;
        } else {
            d->failure = library().failure;
        }
    }
    d->voice = d->voices.isEmpty() ? -1 : 0;
    d->worker = std::thread([impl = d.get()] {
        impl->run();
        // SDL keeps per-thread data (its error text) for any thread that calls it; only its own
        // threads free it on exit.
        SDL_TLSCleanup();
    });
}

EspeakVoiceEngine::~EspeakVoiceEngine()
{
    d->quitting = true;
    d->purge();
    d->worker.join();
    std::lock_guard play(d->playMutex);
    if (d->sound) {
        d->sound->whileOpen([] {
            Mix_HaltChannel(SoundDevice::SpeechChannel);
            Mix_UnregisterAllEffects(SoundDevice::SpeechChannel);
        });
    }
    // The audio thread's last pull ended before the effect was unregistered (or the mixer closed)
    // under SDL's lock.
    KELVORA_TSAN_ACQUIRE(d.get());
    if (d->silentChunk) {
        Mix_FreeChunk(d->silentChunk);
    }
}

QStringList EspeakVoiceEngine::voices()
{
    QStringList names;
    for (const VoiceEntry& entry : std::as_const(d->voices)) {
        names.append(entry.name);
    }
    return names;
}

QStringList EspeakVoiceEngine::voiceIdentifiers()
{
    QStringList identifiers;
    for (const VoiceEntry& entry : std::as_const(d->voices)) {
        identifiers.append(QString::fromUtf8(entry.identifier));
    }
    return identifiers;
}

void EspeakVoiceEngine::setVoice(int index)
{
    if (index < 0 || index >= d->voices.size()) {
        throw RuntimeError(QStringLiteral("There is no voice number %1").arg(index));
    }
    d->voice = index;
}

int EspeakVoiceEngine::rate()
{
    return d->rate;
}

void EspeakVoiceEngine::setRate(int rate)
{
    d->rate = rate;
}

int EspeakVoiceEngine::volume()
{
    return d->volume;
}

void EspeakVoiceEngine::setVolume(int volume)
{
    d->volume = std::clamp(volume, 0, 100);
}

void EspeakVoiceEngine::speak(const QString& text, int flags)
{
    const QString clean = speakable(text);
    const bool blank = clean.trimmed().isEmpty();
    if (d->closed) {
        // Nothing new is said any more; a purge (an empty text) has nothing left to stop.
        if ((flags & Async) || blank) {
            return;
        }
        throw VoiceClosed();
    }
    if (flags & PurgeBeforeSpeak) {
        d->purge();
    }
    if (blank) {
        return;
    }
    if (!d->available) {
        throw RuntimeError(d->failure);
    }
    Impl::Job job;
    job.requested.start();
    job.text = text;
    job.utf8 = clean.toUtf8();
    job.params = d->currentParams();

    std::unique_lock lock(d->queueMutex);
    // Checked again under the queue's lock: a close() that came after the check above has purged the
    // queue already and would never see this job.
    if (d->closed) {
        if (flags & Async) {
            return;
        }
        throw VoiceClosed();
    }
    job.id = ++d->lastId;
    job.generation = d->generation;
    d->latencyUs = -1;
    d->newestId = job.id;
    const quint64 id = job.id;
    d->queue.push_back(std::move(job));
    d->queueChanged.notify_all();
    if (!(flags & Async)) {
        d->queueChanged.wait(lock, [&] { return d->doneUpTo >= id; });
    }
}

void EspeakVoiceEngine::close()
{
    {
        std::lock_guard lock(d->queueMutex);
        d->closed = true;
    }
    d->purge();
}

bool EspeakVoiceEngine::isSpeaking()
{
    std::lock_guard lock(d->queueMutex);
    return d->doneUpTo < d->lastId;
}

VoiceEngine::ChineseReading EspeakVoiceEngine::chineseReading(int index)
{
    return index >= 0 && index < d->voices.size() ? d->voices.at(index).reading : ChineseReading::None;
}

VoiceEngine::ChineseReading EspeakVoiceEngine::currentChineseReading()
{
    return chineseReading(d->voice.load());
}

int EspeakVoiceEngine::firstSyllableTone(const QString& text)
{
    const int index = d->voice.load();
    const QString clean = speakable(text).trimmed();
    if (!d->available || clean.isEmpty() || index < 0 || index >= d->voices.size()) {
        return 0;
    }
    // A piece being synthesised holds the library until its sound is nearly played; the main thread
    // does not wait for that (the tone is then left as written).
    std::unique_lock lock(library().mutex, std::defer_lock);
    if (!tryLockFor(lock, std::chrono::milliseconds(100)) || !loadVoice(d->voices.at(index).identifier)) {
        return 0;
    }
    return toneOfPhonemes(phonemesOf(clean.toUtf8()));
}

QString EspeakVoiceEngine::phonemes(const QString& text)
{
    if (!d->available) {
        throw RuntimeError(d->failure);
    }
    const int index = d->voice.load();
    std::lock_guard lock(library().mutex);
    if (index >= 0 && index < d->voices.size() && !loadVoice(d->voices.at(index).identifier)) {
        throw RuntimeError(QStringLiteral("espeak-ng could not load the voice %1")
                               .arg(QString::fromUtf8(d->voices.at(index).identifier)));
    }
    return QString::fromUtf8(phonemesOf(speakable(text).toUtf8()));
}

bool EspeakVoiceEngine::isAvailable() const
{
    return d->available;
}

QString EspeakVoiceEngine::failure() const
{
    return d->failure;
}

int EspeakVoiceEngine::sampleRate() const
{
    return d->sampleRate;
}

QByteArray EspeakVoiceEngine::synthesize(const QString& text)
{
    if (!d->available) {
        throw RuntimeError(d->failure);
    }
    const QString clean = speakable(text);
    QByteArray pcm;
    if (clean.trimmed().isEmpty()) {
        return pcm;
    }
    const QByteArray utf8 = clean.toUtf8();
    std::lock_guard lock(library().mutex);
    runSynthesis(utf8, d->currentParams(), [&](const short* samples, int count) {
        pcm.append(reinterpret_cast<const char*>(samples), qsizetype(count) * qsizetype(sizeof(short)));
        return true;
    });
    return pcm;
}

int EspeakVoiceEngine::wordsPerMinute(int rate)
{
    const double wpm = espeakRATE_NORMAL * std::pow(3.0, std::clamp(rate, -100, 100) / 10.0);
    return std::clamp(int(std::lround(wpm)), espeakRATE_MINIMUM, espeakRATE_MAXIMUM);
}

qint64 EspeakVoiceEngine::lastFirstSampleLatencyUs() const
{
    return d->latencyUs;
}

void EspeakVoiceEngine::setUtteranceObserver(std::function<void(const QString&)> observer)
{
    std::lock_guard play(d->playMutex);
    d->observer = std::move(observer);
}
