#pragma once

// The game's sound effects: a list of clips bound to one sound output.
//
// TDXSound opens the default output device on an audio thread of its own, so
// neither a missing sound server nor a slow one holds up the window, and
// mixes every sounding play into one output stream there; Play only hands the
// request over and returns. While nothing sounds the stream rests: nothing
// is mixed or sent until the next play. Without a device every call plays
// nothing. Closing hands the audio thread over to finish on its own, so a
// server that stopped answering does not hold up the window's end either.
//
// This library stays loaded once loaded: an audio thread may outlive the
// game's window, and with it the game's library.

#include "skivosound_export.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <mutex>
#include <vector>

class TDXWaveList;

namespace SkivoSound {
struct TClip;
struct TLink;
}

class SKIVOSOUND_EXPORT TDXSound : public QObject
{
    Q_OBJECT
public:
    enum class TDeviceState { Closed, Opening, Open, Failed };

    // The most plays of one clip that sound at once: a play beyond it
    // restarts the one that has sounded longest.
    static constexpr int MaxPlaysPerClip = 8;

    // The device is opened once control returns to the event loop.
    explicit TDXSound(QObject *AOwner = nullptr);
    ~TDXSound() override;

    // Starts the audio thread, which opens the device; returns at once.
    // Calling it again does nothing.
    void Initialize();
    // Stops every clip and closes the device for good; returns at once. The
    // audio thread closes the stream and ends when the server lets it.
    void Finalize();

    // For tests only: the device as the audio thread left it (Closed from
    // Finalize on), and the plays sounding now over all clips.
    TDeviceState DeviceState() const;
    int PlayingCount() const;
    // For tests only: whether the open stream rests, and how often it has
    // asked the mixer for sound.
    bool Resting() const;
    qint64 Pulls() const;

private:
    friend class TDXWaveList;
    std::shared_ptr<SkivoSound::TLink> FLink;
};

class SKIVOSOUND_EXPORT TDXWaveListItem
{
public:
    // Starts one play from the beginning and returns at once. Safe from any
    // thread. Every call starts a play of its own, over the plays still
    // sounding; calls beyond TDXSound::MaxPlaysPerClip that the audio thread
    // takes together cost no more than that many.
    void Play();

    // For tests only: whether the WAV data could be read (Play plays nothing
    // when not), and how long the clip that was read lasts.
    bool Valid() const;
    qint64 DurationMs() const;

private:
    friend class TDXWaveList;
    TDXWaveListItem(TDXWaveList *AList, const QByteArray &AWav);
    ~TDXWaveListItem();

    TDXWaveList *FList;
    std::shared_ptr<SkivoSound::TClip> FClip;
};

class SKIVOSOUND_EXPORT TDXWaveList : public QObject
{
    Q_OBJECT
public:
    explicit TDXWaveList(QObject *AOwner = nullptr);
    ~TDXWaveList() override;

    void SetDXSound(TDXSound *Value);

    // Adds a clip from the bytes of a WAV file (PCM 8, 16 or 32 bit, or
    // 32-bit float); the item is added, and plays nothing, even if they
    // cannot be read.
    TDXWaveListItem *Add(const QByteArray &Wav);
    // The same from a file or a Qt resource path such as ":/skivo/fire.wav".
    TDXWaveListItem *AddFromFile(const QString &Path);

    // Nullptr outside 0..Count()-1.
    TDXWaveListItem *Items(int Index) const;
    // For tests only: how many clips were added.
    int Count() const { return int(FItems.size()); }

private:
    friend class TDXWaveListItem;
    std::shared_ptr<SkivoSound::TLink> Link() const;

    mutable std::mutex FMutex; // guards FLink: Play may come from any thread
    std::shared_ptr<SkivoSound::TLink> FLink;
    std::vector<TDXWaveListItem *> FItems;
};
