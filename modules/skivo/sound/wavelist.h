#pragma once

// The game's sound effects: a list of clips bound to one sound output.
//
// TDXSound opens the default output device on an audio thread of its own, so
// neither a missing sound server nor a slow one holds up the window, and
// mixes every sounding play into one output stream there; Play only hands the
// request over and returns. Without a device every call plays nothing.

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

    bool AutoInitialize() const { return FAutoInitialize; }
    void SetAutoInitialize(bool Value) { FAutoInitialize = Value; }

    // Starts the audio thread, which opens the device; returns at once.
    // Calling it again does nothing.
    void Initialize();
    // Stops every clip and closes the device; waits for the audio thread.
    void Finalize();

    // True once the device is open.
    bool Initialized() const { return DeviceState() == TDeviceState::Open; }
    TDeviceState DeviceState() const;
    // Waits until opening the device has succeeded or failed (or TimeoutMs
    // passed, or it was never started); returns Initialized().
    bool WaitForDevice(int TimeoutMs) const;
    // Plays sounding now over all clips: at most MaxPlaysPerClip each.
    int PlayingCount() const;

private:
    friend class TDXWaveList;
    std::shared_ptr<SkivoSound::TLink> FLink;
    bool FAutoInitialize = true;
};

class TDXWaveListItem
{
public:
    const QString &Name() const { return FName; }
    void SetName(const QString &Value) { FName = Value; }

    bool Looped() const;
    void SetLooped(bool Value);
    // How many plays of this clip may sound at once; 0 means as many as the
    // pool holds (TDXSound::MaxPlaysPerClip). A play beyond the limit
    // restarts the one that has sounded longest.
    int MaxPlayingCount() const;
    void SetMaxPlayingCount(int Value);

    // False when the WAV data could not be read: Play then plays nothing.
    bool Valid() const;
    QAudioFormat Format() const;
    qint64 DurationMs() const;

    // Starts one play from the beginning. Safe from any thread. Returns at
    // once unless AWait, which waits for that play to end (never for a looped
    // clip, nor on the audio thread). Calls made before the audio thread gets
    // to them start one play together.
    void Play(bool AWait = false);
    // Stops every play of this clip.
    void Stop();

private:
    friend class TDXWaveList;
    TDXWaveListItem(TDXWaveList *AList, const QString &AName, const QByteArray &AWav);
    ~TDXWaveListItem();

    TDXWaveList *FList;
    QString FName;
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
    TDXWaveListItem *Add(const QString &Name, const QByteArray &Wav);
    // The same from a file or a Qt resource path such as ":/skivo/fire.wav".
    TDXWaveListItem *AddFromFile(const QString &Name, const QString &Path);

    int Count() const { return int(FItems.size()); }
    // Nullptr outside 0..Count()-1.
    TDXWaveListItem *Items(int Index) const;
    int IndexOf(const QString &Name) const;
    TDXWaveListItem *Find(const QString &Name) const;
    void Delete(int Index);
    void Clear();

private:
    friend class TDXWaveListItem;
    std::shared_ptr<SkivoSound::TLink> Link() const;

    QPointer<TDXSound> FSound;
    mutable std::mutex FMutex; // guards FLink: Play may come from any thread
    std::shared_ptr<SkivoSound::TLink> FLink;
    std::vector<TDXWaveListItem *> FItems;
};
