// The game's sound effects: the clips as committed, the wave list without a
// sound server, and (RealSound*, run by with-pulseaudio.sh) what actually
// reaches a PulseAudio server.
#include "wavelist.h"

#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const QString SoundDir = QStringLiteral(KB_SKIVO_SOUND_DIR);

QByteArray ReadFile(const QString &Path)
{
    QFile f(Path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

quint32 Le32(const QByteArray &B, qsizetype At)
{
    auto u = [&](qsizetype i) { return quint32(quint8(B[At + i])); };
    return u(0) | u(1) << 8 | u(2) << 16 | u(3) << 24;
}

quint16 Le16(const QByteArray &B, qsizetype At)
{
    return quint16(quint8(B[At]) | quint8(B[At + 1]) << 8);
}

struct TWav
{
    quint16 Tag = 0, Channels = 0, Bits = 0;
    quint32 Rate = 0;
    std::vector<qint16> Samples;
};

// Walks the chunks as any player would, not just at fixed offsets.
bool ParseWav(const QByteArray &B, TWav &W)
{
    if (B.size() < 12 || B.left(4) != "RIFF" || B.mid(8, 4) != "WAVE")
        return false;
    if (Le32(B, 4) != quint32(B.size() - 8))
        return false;
    bool fmt = false;
    for (qsizetype pos = 12; pos + 8 <= B.size();) {
        const QByteArray id = B.mid(pos, 4);
        const quint32 len = Le32(B, pos + 4);
        if (pos + 8 + qsizetype(len) > B.size())
            return false;
        if (id == "fmt ") {
            W.Tag = Le16(B, pos + 8);
            W.Channels = Le16(B, pos + 10);
            W.Rate = Le32(B, pos + 12);
            W.Bits = Le16(B, pos + 22);
            fmt = Le32(B, pos + 16) == W.Rate * W.Channels * W.Bits / 8
                  && Le16(B, pos + 20) == W.Channels * W.Bits / 8;
        } else if (id == "data" && fmt && W.Bits == 16) {
            for (quint32 i = 0; i + 1 < len; i += 2)
                W.Samples.push_back(qint16(Le16(B, pos + 8 + i)));
            return true;
        }
        pos += 8 + len + (len & 1);
    }
    return false;
}

QByteArray MakeWav(int Rate, int Bits, const QByteArray &Data, const QByteArray &Extra = {})
{
    auto le = [](quint32 v, int n) {
        QByteArray b;
        for (int i = 0; i < n; ++i)
            b += char((v >> (8 * i)) & 0xff);
        return b;
    };
    QByteArray fmt = le(1, 2) + le(1, 2) + le(quint32(Rate), 4) + le(quint32(Rate * Bits / 8), 4)
                     + le(quint32(Bits / 8), 2) + le(quint32(Bits), 2);
    QByteArray body = "WAVE" + QByteArray("fmt ") + le(16, 4) + fmt + Extra + "data"
                      + le(quint32(Data.size()), 4) + Data;
    return "RIFF" + le(quint32(body.size()), 4) + body;
}

// Points the process at a server that is not there. Each test runs in a
// process of its own, before anything asked for an audio device.
void NoServer()
{
    static QTemporaryDir dir;
    qputenv("PULSE_SERVER", ("unix:" + dir.path() + "/no-server").toLocal8Bit());
}

// Points the process at a server that takes the connection and never
// answers: opening the device waits on it (libpulse gives up after 30 s)
// until Release() resets the connection and opening fails.
class TSilentServer
{
public:
    TSilentServer()
    {
        const QByteArray path = QFile::encodeName(FDir.path() + "/silent");
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::memcpy(addr.sun_path, path.constData(),
                    std::min(size_t(path.size()), sizeof addr.sun_path - 1));
        FFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (FFd >= 0
            && (::bind(FFd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
                || ::listen(FFd, 8) != 0))
            Release();
        qputenv("PULSE_SERVER", "unix:" + path);
    }
    ~TSilentServer() { Release(); }
    bool Ok() const { return FFd >= 0; }
    void Release()
    {
        if (FFd >= 0)
            ::close(FFd);
        FFd = -1;
    }

private:
    QTemporaryDir FDir;
    int FFd = -1;
};

} // namespace

// ---- The clips as committed

TEST(SkivoClips, FormatsAndLengthsAreExact)
{
    struct
    {
        const char *File;
        quint32 Rate;
        size_t Samples;
    } const clips[] = {{"fire.wav", 44100, 22932}, {"boom.wav", 16000, 22400}};
    for (const auto &c : clips) {
        SCOPED_TRACE(c.File);
        const QByteArray bytes = ReadFile(SoundDir + "/" + c.File);
        TWav w;
        ASSERT_TRUE(ParseWav(bytes, w));
        EXPECT_EQ(w.Tag, 1);
        EXPECT_EQ(w.Channels, 1);
        EXPECT_EQ(w.Bits, 16);
        EXPECT_EQ(w.Rate, c.Rate);
        EXPECT_EQ(w.Samples.size(), c.Samples);
        // Headroom of about 3 dB, and silence at both ends: no click.
        int peak = 0;
        for (qint16 s : w.Samples)
            peak = std::max(peak, std::abs(int(s)));
        const double dbfs = 20 * std::log10(peak / 32768.0);
        EXPECT_GT(dbfs, -4.0);
        EXPECT_LT(dbfs, -2.0);
        EXPECT_LT(std::abs(w.Samples.front()), 64);
        EXPECT_EQ(w.Samples.back(), 0);

        TDXWaveList list;
        const TDXWaveListItem *item = list.Add(bytes);
        EXPECT_TRUE(item->Valid());
        EXPECT_EQ(item->DurationMs(), qint64(c.Samples * 1000 / c.Rate));
    }
}

TEST(SkivoClips, WavReaderSkipsChunksAndRefusesWhatItCannotPlay)
{
    TDXWaveList list;
    const QByteArray pcm(400, '\x10');
    // A LIST chunk of odd length (padded) before the data.
    const QByteArray list5 = QByteArray("LIST") + QByteArray("\x05\0\0\0", 4) + "abcde" + '\0';
    auto *withList = list.Add(MakeWav(8000, 16, pcm, list5));
    EXPECT_TRUE(withList->Valid());
    EXPECT_EQ(withList->DurationMs(), 25);
    // A data chunk claiming more than there is: what there is plays.
    QByteArray cut = MakeWav(8000, 16, pcm);
    cut.chop(100);
    auto *truncated = list.Add(cut);
    EXPECT_TRUE(truncated->Valid());
    EXPECT_EQ(truncated->DurationMs(), 18);
    EXPECT_FALSE(list.Add(MakeWav(8000, 24, QByteArray(300, 0)))->Valid());
    EXPECT_FALSE(list.Add("RIFF....WAVEjunk")->Valid());
    EXPECT_FALSE(list.AddFromFile(":/no/such.wav")->Valid());

    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(list.Items(5), nullptr);
    EXPECT_EQ(list.Items(-1), nullptr);
}

// ---- Without a sound server

TEST(SkivoSoundNoServer, OpensNothingAndPlaysSilentlyAtOnce)
{
    TSilentServer server;
    ASSERT_TRUE(server.Ok());
    TDXSound sound;
    TDXWaveList list;
    list.SetDXSound(&sound);
    auto *fire = list.AddFromFile(SoundDir + "/fire.wav");

    // The server holds the device up: neither opening it nor playing may
    // wait for it, so both come back while it is still opening.
    sound.Initialize();
    EXPECT_EQ(sound.DeviceState(), TDXSound::TDeviceState::Opening)
        << "opening the device must not hold up the caller";
    for (int i = 0; i < 1000; ++i)
        fire->Play();
    EXPECT_EQ(sound.DeviceState(), TDXSound::TDeviceState::Opening);

    server.Release();
    ASSERT_TRUE(WaitFor([&] { return sound.DeviceState() != TDXSound::TDeviceState::Opening; }));
    EXPECT_EQ(sound.DeviceState(), TDXSound::TDeviceState::Failed);
    fire->Play();
    EXPECT_EQ(sound.PlayingCount(), 0);
}

TEST(SkivoSoundNoServer, AutoInitializeOpensOnceTheEventLoopRuns)
{
    NoServer();
    TDXSound sound;
    EXPECT_EQ(sound.DeviceState(), TDXSound::TDeviceState::Closed);
    EXPECT_TRUE(WaitFor([&] { return sound.DeviceState() == TDXSound::TDeviceState::Failed; }));
}

TEST(SkivoSoundNoServer, EitherSideMayGoFirst)
{
    NoServer();
    const QByteArray wav = ReadFile(SoundDir + "/fire.wav");
    {
        TDXWaveList unbound;
        unbound.Add(wav)->Play(); // no sound bound: nothing
    }
    {
        auto *sound = new TDXSound;
        sound->Initialize();
        TDXWaveList list;
        list.SetDXSound(sound);
        auto *item = list.Add(wav);
        item->Play();
        delete sound;
        item->Play();
    }
    {
        TDXSound sound;
        sound.Initialize();
        auto *list = new TDXWaveList;
        list->SetDXSound(&sound);
        list->Add(wav)->Play();
        delete list;
        EXPECT_TRUE(WaitFor([&] { return sound.DeviceState() != TDXSound::TDeviceState::Opening; }));
    }
}

// ---- With a PulseAudio server of the test's own (with-pulseaudio.sh)

namespace {

constexpr int SinkRate = 44100;

// Everything the server's pipe sink plays, collected on a thread of its own.
class TSinkCapture
{
public:
    TSinkCapture()
    {
        const QByteArray path = qgetenv("KB_PULSE_FIFO");
        if (path.isEmpty())
            return;
        FFd = ::open(path.constData(), O_RDONLY);
        if (FFd < 0)
            return;
        FThread = std::thread([this] {
            // A read may end inside a sample: its first byte waits for the next.
            unsigned char buf[8192];
            ssize_t kept = 0;
            while (!FStop) {
                const ssize_t n = ::read(FFd, buf + kept, sizeof buf - size_t(kept));
                if (n <= 0)
                    break;
                const ssize_t have = kept + n;
                std::lock_guard lock(FMutex);
                for (ssize_t i = 0; i + 1 < have; i += 2)
                    FSamples.push_back(qint16(quint16(buf[i] | buf[i + 1] << 8)));
                kept = have & 1;
                if (kept)
                    buf[0] = buf[have - 1];
            }
        });
    }
    ~TSinkCapture()
    {
        FStop = true;
        if (FThread.joinable())
            FThread.join(); // the sink writes silence all the time: read returns
        if (FFd >= 0)
            ::close(FFd);
    }
    bool Ok() const { return FFd >= 0; }
    size_t Size() const
    {
        std::lock_guard lock(FMutex);
        return FSamples.size();
    }
    std::vector<qint16> From(size_t Start) const
    {
        std::lock_guard lock(FMutex);
        return {FSamples.begin() + qsizetype(std::min(Start, FSamples.size())), FSamples.end()};
    }

private:
    int FFd = -1;
    std::atomic<bool> FStop{false};
    std::thread FThread;
    mutable std::mutex FMutex;
    std::vector<qint16> FSamples;
};

// Index of the first sample louder than Level, or -1.
qsizetype Onset(const std::vector<qint16> &S, qsizetype From = 0, int Level = 300)
{
    for (qsizetype i = From; i < qsizetype(S.size()); ++i)
        if (std::abs(int(S[size_t(i)])) > Level)
            return i;
    return -1;
}

// The stream as the program sent it. Where a busy machine leaves the stream
// short, the server plays silence and then carries on where it stopped; the
// clips hold no run of zeros longer than a few samples, so a longer one
// between sounds is such a gap and is taken out.
std::vector<qint16> Heard(const std::vector<qint16> &S)
{
    constexpr size_t Gap = 64;
    std::vector<qint16> out;
    size_t zeros = 0;
    for (qint16 v : S) {
        if (v == 0) {
            ++zeros;
            continue;
        }
        if (zeros <= Gap || out.empty())
            out.insert(out.end(), zeros, 0);
        zeros = 0;
        out.push_back(v);
    }
    out.insert(out.end(), zeros, 0);
    return out;
}

// Waits until what was heard since Start holds all that Complete looks for
// and 200 ms of silence followed; returns it as Heard gives it.
std::vector<qint16> CaptureUntilQuiet(const TSinkCapture &C, size_t Start,
                                      const std::function<bool(const std::vector<qint16> &)> &Complete)
{
    std::vector<qint16> s;
    EXPECT_TRUE(WaitFor([&] {
        const std::vector<qint16> raw = C.From(Start);
        const auto loud = std::find_if(raw.rbegin(), raw.rend(), [](qint16 v) { return v != 0; });
        if (loud - raw.rbegin() < SinkRate / 5)
            return false;
        s = Heard(raw);
        return Onset(s) >= 0 && Complete(s);
    })) << "not all of the sound came, or no quiet after it";
    return s;
}

// Where S first differs from Clip played from At, or -1.
qsizetype Departs(const std::vector<qint16> &S, qsizetype At, const std::vector<qint16> &Clip)
{
    for (size_t i = 0; i < Clip.size() && At + qsizetype(i) < qsizetype(S.size()); ++i)
        if (S[size_t(At) + i] != Clip[i])
            return At + qsizetype(i);
    return -1;
}

// How many samples of S differ from Expected, from At on.
qsizetype Mismatches(const std::vector<qint16> &S, const std::vector<int> &Expected, qsizetype At)
{
    qsizetype n = 0;
    for (size_t i = size_t(At); i < S.size(); ++i)
        n += (i < Expected.size() ? Expected[i] : 0) != S[i];
    return n;
}

// A clip for the tests that start a second play over the first: one
// second, so the second starts well inside the first (some 40 ms in, here)
// on a machine ten times slower too; every sample loud and positive, so two plays never mix to
// silence; and the first the loudest, so a play's start shows at its sample.
std::vector<qint16> LongClip()
{
    std::vector<qint16> c(SinkRate);
    quint32 x = 12345;
    c[0] = 8000;
    for (size_t i = 1; i < c.size(); ++i) {
        x = x * 1664525 + 1013904223;
        c[i] = qint16(1000 + (x >> 16) % 6000);
    }
    return c;
}

QByteArray Pcm(const std::vector<qint16> &Samples)
{
    QByteArray b;
    for (qint16 v : Samples) {
        b.append(char(quint16(v) & 0xff));
        b.append(char(quint16(v) >> 8));
    }
    return b;
}

struct TRealSound : ::testing::Test
{
    void SetUp() override
    {
        ASSERT_FALSE(qgetenv("KB_PULSE_FIFO").isEmpty()) << "run through with-pulseaudio.sh";
        ASSERT_TRUE(Capture.Ok());
        FireWav = ReadFile(SoundDir + "/fire.wav");
        TWav w;
        ASSERT_TRUE(ParseWav(FireWav, w));
        Fire = w.Samples;
        List.SetDXSound(&Sound);
        FireItem = List.Add(FireWav);
        BoomItem = List.AddFromFile(SoundDir + "/boom.wav");
        Sound.Initialize();
        ASSERT_TRUE(WaitFor([&] { return Sound.DeviceState() != TDXSound::TDeviceState::Opening; }));
        ASSERT_EQ(Sound.DeviceState(), TDXSound::TDeviceState::Open);
    }

    TSinkCapture Capture;
    TDXSound Sound;
    TDXWaveList List;
    QByteArray FireWav;
    std::vector<qint16> Fire;
    TDXWaveListItem *FireItem = nullptr;
    TDXWaveListItem *BoomItem = nullptr;
};

using RealSound = TRealSound;
using RealSoundVanishing = TRealSound;
using RealSoundVanishingAtRest = TRealSound;

// Plays Clip, and plays it again once the first play has been heard; returns
// where the first (On1) and the second (On2) start in what was heard.
std::vector<qint16> PlayTwice(TRealSound &F, TDXWaveListItem *Item, const std::vector<qint16> &Clip,
                              qsizetype &On1, qsizetype &On2)
{
    const size_t start = F.Capture.Size();
    Item->Play();
    // Heard means mixed: the second play starts at a later pull.
    EXPECT_TRUE(WaitFor([&] { return Onset(F.Capture.From(start)) >= 0; }));
    Item->Play();
    EXPECT_LE(F.Sound.PlayingCount(), 2);
    const qsizetype n = qsizetype(Clip.size());
    return CaptureUntilQuiet(F.Capture, start, [&](const std::vector<qint16> &s) {
        On1 = Onset(s);
        On2 = Departs(s, On1, Clip);
        return qsizetype(s.size()) >= std::max(On1, On2) + n;
    });
}

} // namespace

TEST_F(RealSound, OnePlayReachesTheServerWhole)
{
    const size_t start = Capture.Size();
    FireItem->Play();
    const qsizetype clipOn = Onset(Fire);
    qsizetype at = -1;
    const std::vector<qint16> s = CaptureUntilQuiet(Capture, start, [&](const std::vector<qint16> &s) {
        at = Onset(s) - clipOn;
        return at >= 0 && s.size() >= size_t(at) + Fire.size();
    });
    ASSERT_GE(at, 0) << "nothing reached the sink";
    // Sample for sample, nothing resampled, cut off or added after it.
    std::vector<int> expected(size_t(at), 0);
    expected.insert(expected.end(), Fire.begin(), Fire.end());
    EXPECT_EQ(Mismatches(s, expected, at), 0);
}

TEST_F(RealSound, ASecondPlaySoundsOverTheFirst)
{
    const std::vector<qint16> clip = LongClip();
    auto *item = List.Add(MakeWav(SinkRate, 16, Pcm(clip)));
    qsizetype on1 = -1, on2 = -1;
    const std::vector<qint16> s = PlayTwice(*this, item, clip, on1, on2);
    ASSERT_GE(on1, 0);
    ASSERT_GT(on2, on1) << "only one play reached the sink";
    // The two clips summed: the second started while the first sounded,
    // and did not cut it off.
    std::vector<int> expected(size_t(on2) + clip.size(), 0);
    for (size_t i = 0; i < clip.size(); ++i) {
        expected[size_t(on1) + i] += clip[i];
        expected[size_t(on2) + i] += clip[i];
    }
    EXPECT_EQ(Mismatches(s, expected, on1), 0);
}

TEST_F(RealSound, EachCallStartsAPlayOfItsOwn)
{
    const std::vector<qint16> clip = LongClip();
    auto *item = List.Add(MakeWav(SinkRate, 16, Pcm(clip)));
    const size_t start = Capture.Size();
    item->Play();
    item->Play();
    // Two plays, whether the audio thread took the calls together or not.
    ASSERT_TRUE(WaitFor([&] { return Sound.PlayingCount() == 2; }));
    qsizetype on1 = -1, on2 = -1;
    const std::vector<qint16> s = CaptureUntilQuiet(Capture, start, [&](const std::vector<qint16> &s) {
        on1 = Onset(s);
        on2 = Departs(s, on1, clip);
        return on2 >= 0 && qsizetype(s.size()) >= on2 + qsizetype(clip.size());
    });
    ASSERT_GE(on1, 0);
    ASSERT_GE(on2, on1) << "only one play reached the sink";
    std::vector<int> expected(size_t(on2) + clip.size(), 0);
    for (size_t i = 0; i < clip.size(); ++i) {
        expected[size_t(on1) + i] += clip[i];
        expected[size_t(on2) + i] += clip[i];
    }
    EXPECT_EQ(Mismatches(s, expected, on1), 0);
}

TEST_F(RealSound, SilenceRestsTheStreamUntilTheNextPlay)
{
    // With nothing to play the stream is pulled no more, and the watch for
    // a vanished server leaves it be past its 3 s limit.
    ASSERT_TRUE(WaitFor([&] { return Sound.Resting(); }));
    const qint64 pulls = Sound.Pulls();
    QTest::qWait(3500);
    EXPECT_EQ(Sound.Pulls(), pulls);
    EXPECT_EQ(Sound.DeviceState(), TDXSound::TDeviceState::Open);

    // A play wakes it and is heard whole; then it rests again.
    const size_t start = Capture.Size();
    FireItem->Play();
    const qsizetype clipOn = Onset(Fire);
    qsizetype at = -1;
    const std::vector<qint16> s = CaptureUntilQuiet(Capture, start, [&](const std::vector<qint16> &s) {
        at = Onset(s) - clipOn;
        return at >= 0 && s.size() >= size_t(at) + Fire.size();
    });
    ASSERT_GE(at, 0) << "nothing reached the sink";
    std::vector<int> expected(size_t(at), 0);
    expected.insert(expected.end(), Fire.begin(), Fire.end());
    EXPECT_EQ(Mismatches(s, expected, at), 0);
    EXPECT_TRUE(WaitFor([&] { return Sound.Resting(); }));
}

TEST_F(RealSound, FloodsStayBoundedAndNeverBlock)
{
    // 5,000 calls on this thread, then 4 x 5,000 from other threads at once.
    // None waits for the audio thread: one that did, even for one 20 ms pull
    // in a hundred, would take seconds. The bounds allow 100 us a call, which
    // holds on a machine ten times slower than this one (about 1 us here);
    // bench/ measures the calls' real times.
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 5000; ++i)
        FireItem->Play();
    EXPECT_LT(t.elapsed(), 500);
    std::atomic<qint64> threadWorstMs{0};
    std::vector<std::thread> threads;
    for (int k = 0; k < 4; ++k)
        threads.emplace_back([&] {
            QElapsedTimer tt;
            tt.start();
            for (int i = 0; i < 5000; ++i)
                (i % 2 ? BoomItem : FireItem)->Play();
            qint64 w = threadWorstMs.load();
            while (tt.elapsed() > w && !threadWorstMs.compare_exchange_weak(w, tt.elapsed())) {
            }
        });
    for (auto &th : threads)
        th.join();
    EXPECT_LT(threadWorstMs.load(), 500);

    // The calls leave at most the pool sounding, and the audio thread free:
    // a play after the flood is heard.
    for (int i = 0; i < 200; ++i) {
        FireItem->Play();
        BoomItem->Play();
        QCoreApplication::processEvents();
    }
    EXPECT_LE(Sound.PlayingCount(), 2 * TDXSound::MaxPlaysPerClip);
    ASSERT_TRUE(WaitFor([&] { return Sound.PlayingCount() == 0; }));
    const size_t start = Capture.Size();
    FireItem->Play();
    ASSERT_TRUE(WaitFor([&] { return Onset(Capture.From(start)) >= 0; }));
}

TEST_F(RealSoundVanishing, ServerGoneMidPlayLeavesSilence)
{
    const QByteArray pid = qgetenv("KB_PULSE_PID");
    ASSERT_FALSE(pid.isEmpty());
    const size_t start = Capture.Size();
    BoomItem->Play();
    ASSERT_TRUE(WaitFor([&] { return Onset(Capture.From(start)) >= 0; }));
    ASSERT_EQ(::kill(pid.toInt(), SIGKILL), 0);

    // The device counts as gone once its stream has stalled. Until then calls
    // go on returning and the players come free, the event loop running
    // throughout. None waits on the dead server: 1 ms a call on average
    // holds on a machine ten times slower (a few us here).
    QElapsedTimer each;
    qint64 playNs = 0, plays = 0;
    ASSERT_TRUE(processEventsUntil([&] {
        each.start();
        FireItem->Play();
        BoomItem->Play();
        playNs += each.nsecsElapsed();
        plays += 2;
        return Sound.DeviceState() == TDXSound::TDeviceState::Failed;
    }));
    EXPECT_LT(playNs / plays, 1000000);
    // From then on every call plays nothing.
    EXPECT_EQ(Sound.PlayingCount(), 0);
    BoomItem->Play();
    EXPECT_EQ(Sound.PlayingCount(), 0);
    QElapsedTimer t;
    t.start();
    Sound.Finalize();
    EXPECT_LT(t.elapsed(), HangLimitMs()) << "closing hung on the dead server";
}

TEST_F(RealSoundVanishingAtRest, ServerGoneWhileRestingIsFoundAtTheNextPlay)
{
    const QByteArray pid = qgetenv("KB_PULSE_PID");
    ASSERT_FALSE(pid.isEmpty());
    // A second device in the process, as when the game's window opens again:
    // Qt 6.4 tells only the first one's stream that its server has gone.
    Sound.Finalize();
    TDXSound second;
    List.SetDXSound(&second);
    second.Initialize();
    ASSERT_TRUE(WaitFor([&] { return second.DeviceState() == TDXSound::TDeviceState::Open; }));
    ASSERT_TRUE(WaitFor([&] { return second.Resting(); }));
    ASSERT_EQ(::kill(pid.toInt(), SIGKILL), 0);

    // Calls still return at once; the stream they wake pulls nothing, and
    // that finds the server gone.
    ASSERT_TRUE(processEventsUntil([&] {
        FireItem->Play();
        return second.DeviceState() == TDXSound::TDeviceState::Failed;
    }));
    EXPECT_EQ(second.PlayingCount(), 0);
}

// ---- With a PulseAudio server that stops answering (with-pulseaudio.sh)

namespace {

int SoundThreads()
{
    int n = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &t : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(tasks.filePath(t + QStringLiteral("/comm")));
        n += name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == "Skivo sound";
    }
    return n;
}

} // namespace

// The server stops (SIGSTOP) before the game's window opens, so opening the
// device waits on it. The window's end returns at once and frees the UI
// thread; the audio thread ends on its own once the server answers.
TEST(RealSoundStalled, ClosingNeverWaitsOnTheServer)
{
    const QByteArray pid = qgetenv("KB_PULSE_PID");
    ASSERT_FALSE(pid.isEmpty()) << "run through with-pulseaudio.sh";
    TSinkCapture capture;
    ASSERT_TRUE(capture.Ok());
    ASSERT_EQ(::kill(pid.toInt(), SIGSTOP), 0);
    // The server is held for 5 s at the most, well within the 30 s that
    // libpulse waits on it: a close that waited on the audio thread would
    // return only after the server was let go.
    std::mutex lock;
    std::condition_variable changed;
    bool closed = false, resumed = false;
    std::thread holder([&] {
        std::unique_lock l(lock);
        changed.wait_for(l, std::chrono::milliseconds(5000 * TimeScale()), [&] { return closed; });
        ::kill(pid.toInt(), SIGCONT);
        resumed = true;
    });
    auto isResumed = [&] {
        std::lock_guard l(lock);
        return resumed;
    };

    auto *sound = new TDXSound;
    TDXWaveList list;
    list.SetDXSound(sound);
    auto *fire = list.AddFromFile(SoundDir + "/fire.wav");
    sound->Initialize();
    fire->Play();
    delete sound; // as the game's window goes
    EXPECT_FALSE(isResumed()) << "closing waited on the server";
    bool free = false, freeFirst = false;
    QObject context;
    QTimer::singleShot(0, &context, [&] { free = true, freeFirst = !isResumed(); });
    EXPECT_TRUE(processEventsUntil([&] { return free; }));
    EXPECT_TRUE(freeFirst) << "the UI thread was held until the server answered";
    {
        std::lock_guard l(lock);
        closed = true;
    }
    changed.notify_all();
    holder.join();

    fire->Play(); // the list outlives its sound: nothing
    EXPECT_TRUE(processEventsUntil([] { return SoundThreads() == 0; })) << "the audio thread never ended";
}
