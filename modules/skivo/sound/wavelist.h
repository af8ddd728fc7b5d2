#pragma once

// The game's sound effects: a list of clips bound to one sound output.
//
// TDXSound opens the default output device on an audio thread of its own, so
// neither a missing sound server nor a slow one holds up the window, and
// mixes every sounding play into one output stream there; Play only hands the
// request over and returns. While nothing sounds the stream rests: nothing
// is mixed or sent until the next play. Without a device every call plays
// nothing.

#include <QAudioFormat>
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <mutex>
#include <vector>

class TDXWaveList;

namespace SkivoSound {
struct TClip;
struct TLink;
}

class TDXSound : public QObject
{
    Q_OBJECT
public:
    enum class TDeviceState { Closed, Opening, Open, Failed };

    // The most plays of one clip that sound at once.
    static constexpr int MaxPlaysPerClip = 8;

    // With AutoInitialize on (the default) the device is opened once control
    // returns to the event loop, so a caller may still turn it off first.
    explicit TDXSound(QObject *AOwner = nullptr);
    ~TDXSound() override;

    void SetAutoInitialize(bool Value) { FAutoInitialize = Value; }

    // Starts the audio thread, which opens the device; returns at once.
    // Calling it again does nothing.
    void Initialize();
    // Stops every clip and closes the device; waits for the audio thread.
    void Finalize();

    TDeviceState DeviceState() const;
    // Waits until opening the device has succeeded or failed (or TimeoutMs
    // passed, or it was never started); returns whether the device is open.
    bool WaitForDevice(int TimeoutMs) const;
    // Plays sounding now over all clips: at most MaxPlaysPerClip each.
    int PlayingCount() const;

    // Read by tests: whether the open stream rests, and how often it has
    // asked the mixer for sound.
    bool Resting() const;
    qint64 Pulls() const;

private:
    friend class TDXWaveList;
    std::shared_ptr<SkivoSound::TLink> FLink;
    bool FAutoInitialize = true;
};

class TDXWaveListItem
{
public:
    // How many plays of this clip may sound at once; 0 (the default) means
    // as many as the pool holds (TDXSound::MaxPlaysPerClip). A play beyond
    // the limit restarts the one that has sounded longest.
    void SetMaxPlayingCount(int Value);

    // False when the WAV data could not be read: Play then plays nothing.
    bool Valid() const;
    QAudioFormat Format() const;
    qint64 DurationMs() const;

    // Starts one play from the beginning. Safe from any thread. Returns at
    // once unless AWait, which waits for that play to end (never on the
    // audio thread). Every call starts a play of its own, over the plays
    // still sounding; calls beyond the clip's limit that the audio thread
    // takes together cost no more than the limit.
    void Play(bool AWait = false);

private:
    friend class TDXWaveList;
    TDXWaveListItem(TDXWaveList *AList, const QByteArray &AWav);
    ~TDXWaveListItem();

    TDXWaveList *FList;
    std::shared_ptr<SkivoSound::TClip> FClip;
};

class TDXWaveList : public QObject
{
    Q_OBJECT
public:
    explicit TDXWaveList(QObject *AOwner = nullptr);
    ~TDXWaveList() override;

    TDXSound *DXSound() const { return FSound; }
    void SetDXSound(TDXSound *Value);

    // Adds a clip from the bytes of a WAV file (PCM 8, 16 or 32 bit, or
    // 32-bit float); the item is added, and plays nothing, even if they
    // cannot be read.
    TDXWaveListItem *Add(const QByteArray &Wav);
    // The same from a file or a Qt resource path such as ":/skivo/fire.wav".
    TDXWaveListItem *AddFromFile(const QString &Path);

    int Count() const { return int(FItems.size()); }
    // Nullptr outside 0..Count()-1.
    TDXWaveListItem *Items(int Index) const;

private:
    friend class TDXWaveListItem;
    std::shared_ptr<SkivoSound::TLink> Link() const;

    QPointer<TDXSound> FSound;
    mutable std::mutex FMutex; // guards FLink: Play may come from any thread
    std::shared_ptr<SkivoSound::TLink> FLink;
    std::vector<TDXWaveListItem *> FItems;
};
