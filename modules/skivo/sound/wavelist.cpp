#include "wavelist.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QFile>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>

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

// A clip as the audio thread sees it: shared by the item and the engine, so
// either may go first. The counters are how Play hands requests over.
struct TClip
{
    QAudioFormat Format;        // as in the file
    std::vector<qint16> Mono;   // its samples, mixed down to one channel
    bool Valid = false;

    std::atomic<int> MaxPlayingCount{0};

    // Play adds to Pending and posts one drain unless one is on its way
    // already, so a flood of calls costs one event, not one each; the drain
    // starts a play for each call it takes, up to the clip's limit.
    std::atomic<int> Pending{0};
    std::atomic<bool> Posted{false};

    // Tickets for Play(true): every call takes the next one; the plays that a
    // drain starts carry the newest ticket of the calls it took and mark it
    // done at their end.
    std::mutex WaitMutex;
    std::condition_variable WaitDone;
    quint64 Requested = 0;
    quint64 Done = 0;

    qint64 DurationMs() const
    {
        return Valid ? qint64(Mono.size()) * 1000 / Format.sampleRate() : 0;
    }
    // How many plays of the clip sound at once at most.
    int Limit() const
    {
        const int max = MaxPlayingCount.load();
        return max > 0 ? std::min(max, TDXSound::MaxPlaysPerClip) : TDXSound::MaxPlaysPerClip;
    }
    quint64 TakeTicket()
    {
        std::lock_guard lock(WaitMutex);
        return ++Requested;
    }
    quint64 NewestTicket()
    {
        std::lock_guard lock(WaitMutex);
        return Requested;
    }
    void MarkDone(quint64 Ticket)
    {
        {
            std::lock_guard lock(WaitMutex);
            Done = std::max(Done, Ticket);
        }
        WaitDone.notify_all();
    }
};

class TEngine;

// What the UI side and the items share with the audio thread. Engine is
// cleared (under Mutex) before the thread stops, so a late Play posts nothing.
struct TLink
{
    std::mutex Mutex;
    TEngine *Engine = nullptr;
    QThread *Thread = nullptr;

    mutable std::mutex StateMutex;
    mutable std::condition_variable StateChanged;
    TDXSound::TDeviceState State = TDXSound::TDeviceState::Closed;

    std::atomic<int> Playing{0};
    std::atomic<bool> Resting{false};
    std::atomic<qint64> Pulls{0};

    void SetState(TDXSound::TDeviceState Value)
    {
        {
            std::lock_guard lock(StateMutex);
            State = Value;
        }
        StateChanged.notify_all();
    }
    TDXSound::TDeviceState GetState() const
    {
        std::lock_guard lock(StateMutex);
        return State;
    }
    void Post(const std::shared_ptr<TClip> &Clip);
    void PostRelease(const std::shared_ptr<TClip> &Clip);
};

// Lives on the audio thread: the stream, and the mixer it pulls from.
class TEngine : public QIODevice
{
public:
    explicit TEngine(TLink *ALink) : FLink(ALink) { open(ReadOnly | Unbuffered); }

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
        if (count == 0)
            return;
        const quint64 ticket = Clip->NewestTicket();
        if (FShutDown || FLink->GetState() != TDXSound::TDeviceState::Open || !Clip->Valid) {
            Clip->MarkDone(ticket);
            return;
        }
        // One play per call. Past the limit each further play restarts the
        // oldest, so calls beyond it leave what the limit's worth of plays
        // leaves: that many, all from the start.
        for (int i = std::min(count, Clip->Limit()); i > 0; --i)
            Start(Clip, ticket);
        Wake();
    }

    void Release(const std::shared_ptr<TClip> &Clip) { StopAll(Clip.get()); }

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
        for (auto &v : FVoices)
            v.Clip->MarkDone(v.Ticket);
        FVoices.clear();
        MarkHeard(true);
        FLink->Playing.store(0);
    }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return (1 << 20) + QIODevice::bytesAvailable(); }

protected:
    // The stream pulls from here: every sounding play, summed; silence
    // when there is none, until a buffer of it has pushed the last play out
    // and has been heard. Then nothing, which stops Qt pulling.
    qint64 readData(char *Data, qint64 MaxSize) override
    {
        FLink->Pulls.fetch_add(1);
        if (!FResting && FVoices.empty() && FEnding.empty() && FSilentFrames >= OutBufferFrames)
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
        // A play mixed to its end is heard to its end one buffer later.
        const qint64 heard = FLastPull + OutBufferFrames * 1000 / OutRate;
        for (const auto &v : FVoices)
            if (v.Ended)
                FEnding.push_back({v.Clip, v.Ticket, heard});
        RemoveIf([](const TVoice &v) { return v.Ended; }, false);
        MarkHeard(false);
        return frames * 2;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    struct TVoice
    {
        std::shared_ptr<TClip> Clip;
        double Pos = 0;  // in the clip's samples
        double Step = 1; // clip samples per output sample
        quint64 Ticket = 0;
        quint64 Order = 0; // order of starts, to find the oldest
        bool Ended = false;
    };

    // Wakes Play(true) callers whose plays have been heard to the end, or
    // all of them.
    void MarkHeard(bool All)
    {
        while (!FEnding.empty() && (All || FEnding.front().HeardMs <= FLastPull)) {
            FEnding.front().Clip->MarkDone(FEnding.front().Ticket);
            FEnding.pop_front();
        }
    }

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
        MarkHeard(true);
        if (FWatch)
            FWatch->stop();
        for (auto &v : FVoices)
            v.Clip->MarkDone(v.Ticket);
        FVoices.clear();
        FLink->Playing.store(0);
        FLink->SetState(TDXSound::TDeviceState::Failed);
    }

    void Start(const std::shared_ptr<TClip> &Clip, quint64 Ticket)
    {
        const int limit = Clip->Limit();
        TVoice *oldest = nullptr;
        int mine = 0;
        for (auto &v : FVoices)
            if (v.Clip == Clip) {
                ++mine;
                if (!oldest || v.Order < oldest->Order)
                    oldest = &v;
            }
        TVoice *voice;
        if (mine >= limit) {
            // The pool is full: the play that has sounded longest starts over.
            oldest->Clip->MarkDone(oldest->Ticket);
            voice = oldest;
        } else {
            FVoices.emplace_back();
            voice = &FVoices.back();
            FLink->Playing.fetch_add(1);
        }
        voice->Clip = Clip;
        voice->Pos = 0;
        voice->Step = double(Clip->Format.sampleRate()) / OutRate;
        voice->Ticket = Ticket;
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
    void RemoveIf(Pred P, bool MarkDone = true)
    {
        auto gone = std::remove_if(FVoices.begin(), FVoices.end(), [&](TVoice &v) {
            if (!P(v))
                return false;
            if (MarkDone)
                v.Clip->MarkDone(v.Ticket);
            return true;
        });
        FLink->Playing.fetch_sub(int(FVoices.end() - gone));
        FVoices.erase(gone, FVoices.end());
    }

    void StopAll(TClip *Clip)
    {
        RemoveIf([&](const TVoice &v) { return v.Clip.get() == Clip; });
        Clip->MarkDone(Clip->NewestTicket());
    }

    TLink *FLink;
    QAudioSink *FSink = nullptr;
    QTimer *FWatch = nullptr;
    std::vector<TVoice> FVoices;
    struct TEnding
    {
        std::shared_ptr<TClip> Clip;
        quint64 Ticket;
        qint64 HeardMs;
    };
    std::deque<TEnding> FEnding;
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
        Clip->MarkDone(Clip->NewestTicket());
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
            Clip.Format.setSampleFormat(sample);
            Clip.Format.setChannelCount(channels);
            Clip.Format.setSampleRate(int(rate));
            const int bytes = Clip.Format.bytesPerSample();
            const qint64 frames = available / Clip.Format.bytesPerFrame();
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

TDXSound::TDXSound(QObject *AOwner) : QObject(AOwner), FLink(std::make_shared<TLink>())
{
    QTimer::singleShot(0, this, [this] {
        if (FAutoInitialize)
            Initialize();
    });
}

TDXSound::~TDXSound()
{
    Finalize();
}

void TDXSound::Initialize()
{
    std::lock_guard lock(FLink->Mutex);
    if (FLink->Engine)
        return;
    FLink->SetState(TDeviceState::Opening);
    auto *thread = new QThread;
    thread->setObjectName(QStringLiteral("Skivo sound"));
    auto *engine = new TEngine(FLink.get());
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
    }
    if (!engine)
        return;
    // The players belong to the audio thread and go there; the engine itself
    // may be deleted here once that thread has ended.
    // Quitting from there, after every request posted before, so none is
    // left undelivered.
    QMetaObject::invokeMethod(engine, [engine] {
        engine->ShutDown();
        QThread::currentThread()->quit();
    }, Qt::QueuedConnection);
    thread->wait();
    delete engine;
    delete thread;
    FLink->SetState(TDeviceState::Closed);
}

TDXSound::TDeviceState TDXSound::DeviceState() const
{
    return FLink->GetState();
}

bool TDXSound::WaitForDevice(int TimeoutMs) const
{
    std::unique_lock lock(FLink->StateMutex);
    FLink->StateChanged.wait_for(lock, std::chrono::milliseconds(TimeoutMs),
                                 [&] { return FLink->State != TDeviceState::Opening; });
    return FLink->State == TDeviceState::Open;
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
    FClip->MarkDone(FClip->NewestTicket());
}

void TDXWaveListItem::SetMaxPlayingCount(int Value)
{
    FClip->MaxPlayingCount.store(std::max(0, Value));
}

bool TDXWaveListItem::Valid() const
{
    return FClip->Valid;
}

QAudioFormat TDXWaveListItem::Format() const
{
    return FClip->Format;
}

qint64 TDXWaveListItem::DurationMs() const
{
    return FClip->DurationMs();
}

void TDXWaveListItem::Play(bool AWait)
{
    const auto link = FList->Link();
    if (!link || !FClip->Valid)
        return;
    const quint64 ticket = FClip->TakeTicket();
    FClip->Pending.fetch_add(1);
    link->Post(FClip);
    if (!AWait)
        return;
    {
        std::lock_guard lock(link->Mutex);
        if (!link->Thread || QThread::currentThread() == link->Thread)
            return;
    }
    // The play's own length and some slack for a busy machine.
    std::unique_lock lock(FClip->WaitMutex);
    FClip->WaitDone.wait_for(lock, std::chrono::milliseconds(DurationMs() + 2000),
                             [&] { return FClip->Done >= ticket; });
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
    if (FSound == Value)
        return;
    // Plays on the device left behind stop there.
    if (const auto old = Link())
        for (auto *item : FItems)
            old->PostRelease(item->FClip);
    FSound = Value;
    std::lock_guard lock(FMutex);
    FLink = Value ? Value->FLink : nullptr;
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
