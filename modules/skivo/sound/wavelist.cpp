#include "wavelist.h"

#include "modulelibrary.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QIODevice>
#include <QMediaDevices>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// One output stream, opened once, carries every play: the audio thread mixes
// the sounding plays into it. Opening a stream per play would be simpler, but
// Qt 6.4 waits for ever in QAudioSink::start once the server has gone away,
// and a stream that stays open also starts a play within its buffer's time.
//
// While nothing sounds the stream rests: the mixer hands Qt nothing, so Qt
// stops pulling, and readyRead starts it again. It is not suspended: Qt 6.4
// resumes a stream whose server went away unnoticed by asking libpulse about
// an operation it could not start, and libpulse aborts the process. The
// stream that underruns instead costs the sound server a little (0.2% of a
// core against 0.8% pulled without pause, on a null sink) and this process
// nothing.

namespace SkivoSound {

// The output stream's format; clips at other rates are resampled.
constexpr int OutRate = 44100;
// 60 ms: three of the 20 ms pieces Qt pulls at a time. A shot is heard with
// its picture; and with less than two pieces Qt 6.4 never fills the server's
// pre-buffer, so the stream would never start.
constexpr int OutBufferFrames = 3 * OutRate / 50;
// A stream that pulls nothing for this long has lost its server.
constexpr qint64 StallMs = 3000;
// How long the application's end waits for audio threads still closing.
constexpr int EndMs = 2000;

// A clip as the audio thread sees it: shared by the item and the engine, so
// either may go first. The counters are how Play hands requests over.
struct TClip
{
    int Rate = 0;             // as in the file
    std::vector<qint16> Mono; // its samples, mixed down to one channel
    bool Valid = false;

    // Play adds to Pending and posts one drain unless one is on its way
    // already, so a flood of calls costs one event, not one each; the drain
    // starts a play for each call it takes, up to TDXSound::MaxPlaysPerClip.
    std::atomic<int> Pending{0};
    std::atomic<bool> Posted{false};
};

class TEngine;

// What the UI side and the items share with the audio thread, which holds
// it too and so may outlast them. Engine is cleared (under Mutex) when the
// device is closed, so a late Play posts nothing.
struct TLink
{
    std::mutex Mutex;
    TEngine *Engine = nullptr;
    QThread *Thread = nullptr;

    mutable std::mutex StateMutex;
    std::atomic<TDXSound::TDeviceState> State{TDXSound::TDeviceState::Closed};
    bool Finalized = false;

    std::atomic<int> Playing{0};
    std::atomic<bool> Resting{false};
    std::atomic<qint64> Pulls{0};

    void SetState(TDXSound::TDeviceState Value)
    {
        std::lock_guard lock(StateMutex);
        if (!Finalized)
            State.store(Value);
    }
    TDXSound::TDeviceState GetState() const { return State.load(); }
    // Closed for good: what the audio thread finds out later is for no one.
    void Finalize()
    {
        std::lock_guard lock(StateMutex);
        Finalized = true;
        State.store(TDXSound::TDeviceState::Closed);
    }
    bool IsFinalized() const
    {
        std::lock_guard lock(StateMutex);
        return Finalized;
    }
    void Post(const std::shared_ptr<TClip> &Clip);
    void PostRelease(const std::shared_ptr<TClip> &Clip);
};

// Lives on the audio thread: the stream, and the mixer it pulls from.
class TEngine : public QIODevice
{
public:
    explicit TEngine(std::shared_ptr<TLink> ALink) : FLink(std::move(ALink)) { open(ReadOnly | Unbuffered); }

    void Open()
    {
        // The first use of the device connects to the sound server; that
        // may take a while, which is why it happens here.
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            return Fail();
        QAudioFormat format;
        format.setSampleRate(OutRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        FSink = new QAudioSink(device, format, this);
        FSink->setBufferSize(OutBufferFrames * 2);
        QObject::connect(FSink, &QAudioSink::stateChanged, this, [this](QAudio::State s) {
            // Stopped while open: the stream failed, the server went away.
            if (s == QAudio::StoppedState && FLink->GetState() == TDXSound::TDeviceState::Open)
                Fail();
        });
        FSink->start(this);
        if (FSink->state() == QAudio::StoppedState)
            return Fail();
        FLink->SetState(TDXSound::TDeviceState::Open);
        // Qt 6.4 does not always tell a stream whose server went away: one
        // that has pulled nothing for a while counts as gone.
        FClock.start();
        FLastPull = 0;
        // A resting stream pulls nothing and is not watched: it counts as
        // gone once it pulls nothing after the next play has woken it.
        FWatch = new QTimer(this);
        QObject::connect(FWatch, &QTimer::timeout, this, [this] {
            if (FClock.elapsed() - FLastPull > StallMs)
                Fail();
        });
        FWatch->start(500);
    }

    void Drain(const std::shared_ptr<TClip> &Clip)
    {
        // Cleared before Pending is taken: a Play after this line posts again.
        Clip->Posted.store(false);
        const int count = Clip->Pending.exchange(0);
        if (count == 0 || FShutDown || FLink->GetState() != TDXSound::TDeviceState::Open || !Clip->Valid)
            return;
        // One play per call. Past the limit each further play restarts the
        // oldest, so calls beyond it leave what the limit's worth of plays
        // leaves: that many, all from the start.
        for (int i = std::min(count, TDXSound::MaxPlaysPerClip); i > 0; --i)
            Start(Clip);
        Wake();
    }

    void Release(const std::shared_ptr<TClip> &Clip)
    {
        RemoveIf([&](const TVoice &v) { return v.Clip == Clip; });
    }

    void ShutDown()
    {
        // Deleting the sink runs this thread's events once more.
        FShutDown = true;
        delete FWatch;
        FWatch = nullptr;
        if (FSink)
            FSink->stop();
        delete FSink;
        FSink = nullptr;
        FVoices.clear();
        FLink->Playing.store(0);
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return (1 << 20) + QIODevice::bytesAvailable(); }

protected:
    // The stream pulls from here: every sounding play, summed; silence
    // when there is none, until a buffer of it has pushed the last play out.
    // Then nothing, which stops Qt pulling.
    qint64 readData(char *Data, qint64 MaxSize) override
    {
        FLink->Pulls.fetch_add(1);
        if (!FResting && FVoices.empty() && FSilentFrames >= OutBufferFrames)
            Rest();
        if (FResting)
            return 0;
        const qint64 frames = MaxSize / 2;
        FSilentFrames = FVoices.empty() ? FSilentFrames + frames : 0;
        FLastPull = FClock.elapsed();
        FMix.assign(size_t(frames), 0);
        for (auto &v : FVoices)
            MixInto(v, FMix);
        auto *out = reinterpret_cast<qint16 *>(Data);
        for (qint64 i = 0; i < frames; ++i)
            out[i] = qint16(std::clamp(FMix[size_t(i)], -32768, 32767));
        RemoveIf([](const TVoice &v) { return v.Ended; });
        return frames * 2;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    struct TVoice
    {
        std::shared_ptr<TClip> Clip;
        double Pos = 0;  // in the clip's samples
        double Step = 1; // clip samples per output sample
        quint64 Order = 0; // order of starts, to find the oldest
        bool Ended = false;
    };

    void Rest()
    {
        FResting = true;
        FLink->Resting.store(true);
        if (FWatch)
            FWatch->stop();
    }

    void Wake()
    {
        if (!FResting)
            return;
        FResting = false;
        FSilentFrames = 0;
        FLink->Resting.store(false);
        // The watch starts over: a stream that pulls nothing from here on
        // has lost its server while it rested.
        FLastPull = FClock.elapsed();
        if (FWatch)
            FWatch->start(500);
        emit readyRead();
    }

    void Fail()
    {
        if (FWatch)
            FWatch->stop();
        FVoices.clear();
        FLink->Playing.store(0);
        FLink->SetState(TDXSound::TDeviceState::Failed);
    }

    void Start(const std::shared_ptr<TClip> &Clip)
    {
        TVoice *oldest = nullptr;
        int mine = 0;
        for (auto &v : FVoices)
            if (v.Clip == Clip) {
                ++mine;
                if (!oldest || v.Order < oldest->Order)
                    oldest = &v;
            }
        TVoice *voice;
        if (mine >= TDXSound::MaxPlaysPerClip) {
            // The pool is full: the play that has sounded longest starts over.
            voice = oldest;
        } else {
            FVoices.emplace_back();
            voice = &FVoices.back();
            FLink->Playing.fetch_add(1);
        }
        voice->Clip = Clip;
        voice->Pos = 0;
        voice->Step = double(Clip->Rate) / OutRate;
        voice->Order = ++FStarts;
        voice->Ended = false;
    }

    static void MixInto(TVoice &V, std::vector<int> &Mix)
    {
        const std::vector<qint16> &s = V.Clip->Mono;
        const double n = double(s.size());
        for (int &m : Mix) {
            if (V.Pos >= n)
                break;
            const size_t i = size_t(V.Pos);
            const double f = V.Pos - double(i);
            const double a = s[i];
            const double b = i + 1 < s.size() ? s[i + 1] : 0.0;
            m += int(std::lround(a + (b - a) * f));
            V.Pos += V.Step;
        }
        V.Ended = V.Pos >= n;
    }

    template<typename Pred>
    void RemoveIf(Pred P)
    {
        auto gone = std::remove_if(FVoices.begin(), FVoices.end(), P);
        FLink->Playing.fetch_sub(int(FVoices.end() - gone));
        FVoices.erase(gone, FVoices.end());
    }

    std::shared_ptr<TLink> FLink;
    QAudioSink *FSink = nullptr;
    QTimer *FWatch = nullptr;
    std::vector<TVoice> FVoices;
    std::vector<int> FMix;
    QElapsedTimer FClock;
    qint64 FLastPull = 0;
    // Frames pulled since the last play ended.
    qint64 FSilentFrames = 0;
    quint64 FStarts = 0;
    bool FResting = false;
    bool FShutDown = false;
};

void TLink::Post(const std::shared_ptr<TClip> &Clip)
{
    if (Clip->Posted.exchange(true))
        return;
    std::lock_guard lock(Mutex);
    if (!Engine) {
        Clip->Posted.store(false);
        Clip->Pending.store(0);
        return;
    }
    TEngine *engine = Engine;
    QMetaObject::invokeMethod(engine, [engine, Clip] { engine->Drain(Clip); }, Qt::QueuedConnection);
}

void TLink::PostRelease(const std::shared_ptr<TClip> &Clip)
{
    std::lock_guard lock(Mutex);
    if (!Engine)
        return;
    TEngine *engine = Engine;
    QMetaObject::invokeMethod(engine, [engine, Clip] { engine->Release(Clip); }, Qt::QueuedConnection);
}

// Audio threads whose device was closed, each finishing on its own: a
// stalled server may hold one for as long as libpulse waits on it (30 s).
// The application's end gives them a while, and leaves those still held.
class TClosing
{
public:
    // UI thread: takes over AThread, told to end already.
    static void Take(QThread *AThread)
    {
        static const bool Registered = [] {
            qAddPostRoutine(AtEnd);
            return true;
        }();
        Q_UNUSED(Registered);
        auto &L = Threads();
        std::erase_if(L, [](const QPointer<QThread> &T) { return !T; });
        QObject::connect(AThread, &QThread::finished, AThread, &QObject::deleteLater);
        if (AThread->isFinished())
            AThread->deleteLater();
        L.push_back(AThread);
    }

private:
    // Cleared as a thread frees itself. Never freed: the threads left at
    // the end may outlast every static object.
    static std::vector<QPointer<QThread>> &Threads()
    {
        static auto *L = new std::vector<QPointer<QThread>>;
        return *L;
    }

    // Called as the application object goes.
    static void AtEnd()
    {
        const QDeadlineTimer deadline(EndMs);
        bool held = false;
        for (auto &T : Threads()) {
            if (T && T->wait(deadline))
                delete T.data();
            else
                held |= bool(T);
        }
        Threads().clear();
        // One still held by the server holds Qt's device list with it: Qt
        // Multimedia's teardown at exit would wait on the server as well,
        // then race with the thread. The process ends before that teardown.
        if (held)
            on_exit(
                [](int Status, void *) {
                    std::fflush(nullptr);
                    std::_Exit(Status);
                },
                nullptr);
    }
};

namespace {

quint32 Le32(const char *P)
{
    const auto *u = reinterpret_cast<const unsigned char *>(P);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

quint16 Le16(const char *P)
{
    const auto *u = reinterpret_cast<const unsigned char *>(P);
    return quint16(u[0] | u[1] << 8);
}

// One sample as a 16-bit value.
double Sample(const char *P, QAudioFormat::SampleFormat F)
{
    switch (F) {
    case QAudioFormat::UInt8:
        return (int(quint8(*P)) - 128) * 256.0;
    case QAudioFormat::Int16:
        return qint16(Le16(P));
    case QAudioFormat::Int32:
        return qint32(Le32(P)) / 65536.0;
    case QAudioFormat::Float: {
        const quint32 bits = Le32(P);
        float v;
        std::memcpy(&v, &bits, 4);
        return std::isfinite(v) ? double(v) * 32767.0 : 0.0;
    }
    default:
        return 0;
    }
}

// Fills Clip from the bytes of a RIFF/WAVE file; leaves it invalid if they
// are not one we can play.
void ReadWav(const QByteArray &Wav, TClip &Clip)
{
    const char *d = Wav.constData();
    const qint64 size = Wav.size();
    if (size < 12 || std::memcmp(d, "RIFF", 4) != 0 || std::memcmp(d + 8, "WAVE", 4) != 0)
        return;
    bool haveFormat = false;
    quint16 tag = 0, channels = 0, bits = 0;
    quint32 rate = 0;
    qint64 pos = 12;
    while (pos + 8 <= size) {
        const qint64 length = Le32(d + pos + 4);
        const qint64 body = pos + 8;
        const qint64 available = std::min(length, size - body);
        if (std::memcmp(d + pos, "fmt ", 4) == 0 && available >= 16) {
            tag = Le16(d + body);
            channels = Le16(d + body + 2);
            rate = Le32(d + body + 4);
            bits = Le16(d + body + 14);
            // WAVE_FORMAT_EXTENSIBLE: the real tag opens the sub-format GUID.
            if (tag == 0xFFFE && available >= 26)
                tag = Le16(d + body + 24);
            haveFormat = true;
        } else if (std::memcmp(d + pos, "data", 4) == 0 && haveFormat) {
            QAudioFormat::SampleFormat sample = QAudioFormat::Unknown;
            if (tag == 1 && bits == 8)
                sample = QAudioFormat::UInt8;
            else if (tag == 1 && bits == 16)
                sample = QAudioFormat::Int16;
            else if (tag == 1 && bits == 32)
                sample = QAudioFormat::Int32;
            else if (tag == 3 && bits == 32)
                sample = QAudioFormat::Float;
            if (sample == QAudioFormat::Unknown || channels < 1 || channels > 8 || rate < 1000
                || rate > 384000)
                return;
            Clip.Rate = int(rate);
            QAudioFormat format;
            format.setSampleFormat(sample);
            format.setChannelCount(channels);
            const int bytes = format.bytesPerSample();
            const qint64 frames = available / format.bytesPerFrame();
            Clip.Mono.resize(size_t(frames));
            const char *p = d + body;
            for (qint64 f = 0; f < frames; ++f) {
                double sum = 0;
                for (int c = 0; c < channels; ++c, p += bytes)
                    sum += Sample(p, sample);
                Clip.Mono[size_t(f)] = qint16(std::clamp(std::lround(sum / channels), -32768L, 32767L));
            }
            Clip.Valid = frames > 0;
            return;
        }
        pos = body + length + (length & 1);
    }
}

} // namespace
} // namespace SkivoSound

using namespace SkivoSound;

// ---- TDXSound

namespace {
// The code that an audio thread runs may outlast the game's window, and the
// game's library is unloaded when the next module loads: this library stays.
[[maybe_unused]] const bool GPinned = [] {
    TModuleLibrary::Pin(reinterpret_cast<const void *>(&SkivoSound::TClosing::Take));
    return true;
}();
} // namespace

TDXSound::TDXSound(QObject *AOwner) : QObject(AOwner), FLink(std::make_shared<TLink>())
{
    QTimer::singleShot(0, this, [this] { Initialize(); });
}

TDXSound::~TDXSound()
{
    Finalize();
}

void TDXSound::Initialize()
{
    std::lock_guard lock(FLink->Mutex);
    if (FLink->Engine || FLink->IsFinalized())
        return;
    FLink->SetState(TDeviceState::Opening);
    auto *thread = new QThread;
    thread->setObjectName(QStringLiteral("Skivo sound"));
    auto *engine = new TEngine(FLink);
    engine->moveToThread(thread);
    thread->start();
    QMetaObject::invokeMethod(engine, [engine] { engine->Open(); }, Qt::QueuedConnection);
    FLink->Engine = engine;
    FLink->Thread = thread;
}

void TDXSound::Finalize()
{
    TEngine *engine;
    QThread *thread;
    {
        std::lock_guard lock(FLink->Mutex);
        engine = FLink->Engine;
        thread = FLink->Thread;
        FLink->Engine = nullptr;
        FLink->Thread = nullptr;
        FLink->Finalize();
    }
    if (!engine)
        return;
    // After every request posted before, and after the opening, which a
    // stalled server holds up: nothing here waits for that. The players
    // belong to the audio thread and go there, the engine with them.
    QMetaObject::invokeMethod(engine, [engine] {
        engine->ShutDown();
        delete engine;
        QThread::currentThread()->quit();
    }, Qt::QueuedConnection);
    TClosing::Take(thread);
}

TDXSound::TDeviceState TDXSound::DeviceState() const
{
    return FLink->GetState();
}

int TDXSound::PlayingCount() const
{
    return FLink->Playing.load();
}

bool TDXSound::Resting() const
{
    return FLink->Resting.load();
}

qint64 TDXSound::Pulls() const
{
    return FLink->Pulls.load();
}

// ---- TDXWaveListItem

TDXWaveListItem::TDXWaveListItem(TDXWaveList *AList, const QByteArray &AWav)
    : FList(AList), FClip(std::make_shared<TClip>())
{
    ReadWav(AWav, *FClip);
}

TDXWaveListItem::~TDXWaveListItem()
{
    if (auto link = FList->Link())
        link->PostRelease(FClip);
}

bool TDXWaveListItem::Valid() const
{
    return FClip->Valid;
}

qint64 TDXWaveListItem::DurationMs() const
{
    return FClip->Valid ? qint64(FClip->Mono.size()) * 1000 / FClip->Rate : 0;
}

void TDXWaveListItem::Play()
{
    const auto link = FList->Link();
    if (!link || !FClip->Valid)
        return;
    FClip->Pending.fetch_add(1);
    link->Post(FClip);
}

// ---- TDXWaveList

TDXWaveList::TDXWaveList(QObject *AOwner) : QObject(AOwner) {}

TDXWaveList::~TDXWaveList()
{
    for (auto *item : FItems)
        delete item;
}

void TDXWaveList::SetDXSound(TDXSound *Value)
{
    auto link = Value ? Value->FLink : nullptr;
    const auto old = Link();
    if (old == link)
        return;
    // Plays on the device left behind stop there.
    if (old)
        for (auto *item : FItems)
            old->PostRelease(item->FClip);
    std::lock_guard lock(FMutex);
    FLink = std::move(link);
}

std::shared_ptr<TLink> TDXWaveList::Link() const
{
    std::lock_guard lock(FMutex);
    return FLink;
}

TDXWaveListItem *TDXWaveList::Add(const QByteArray &Wav)
{
    FItems.push_back(new TDXWaveListItem(this, Wav));
    return FItems.back();
}

TDXWaveListItem *TDXWaveList::AddFromFile(const QString &Path)
{
    QFile f(Path);
    return Add(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
}

TDXWaveListItem *TDXWaveList::Items(int Index) const
{
    return Index >= 0 && Index < Count() ? FItems[size_t(Index)] : nullptr;
}
