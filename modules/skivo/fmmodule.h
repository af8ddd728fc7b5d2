#pragma once

#include "asteroids.h"
#include "formcontrols.h"
#include "modulebase.h"
#include "sprite.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>

class TDXSound;
class TDXWaveList;
class TXiButton;

// The play field below the game window's strip, a panel to scripts. Right
// and Bottom are its right and bottom edges in the coordinates of the
// sprites on it. Where the background picture does not reach, it shows its
// own colour.
class TScreen : public TPanel
{
    Q_OBJECT
    Q_PROPERTY(int Right READ GetRight NOTIFY Changed)
    Q_PROPERTY(int Bottom READ GetBottom NOTIFY Changed)

public:
    explicit TScreen(QWidget *AOwner = nullptr);

    int GetRight() const { return width(); }
    int GetBottom() const { return height(); }
};

// The game: a strip with its own Run and Stop above a 480 x 320 play field
// with a background, the ship, the missile and the asteroid field. On show
// it puts its sample program into the host's editor; the program drives the
// ship, the missile and the asteroids and plays two sounds.
class TfmModule : public TModuleBase
{
    Q_OBJECT

public:
    static constexpr int KFieldWidth = 480;
    static constexpr int KFieldHeight = 320;
    // The strip with Run and Stop above the field.
    static constexpr int KStripHeight = 41;

    explicit TfmModule(QObject *AOwner = nullptr);
    ~TfmModule() override;

    void AddObjects() override;

    // Plays wave item AIndex once, over any play still sounding.
    void PlayWave(int AIndex);

    // The window's components, in the order the form is made.
    TImage *imgBackground = nullptr;
    QWidget *plTop = nullptr;
    TXiButton *btRun = nullptr;
    TXiButton *btStop = nullptr;
    QPlainTextEdit *moSrc = nullptr;
    TImageList *ImageListAsteroid = nullptr;
    TImageList *ImageListShip = nullptr;
    TImageList *ImageListMissile = nullptr;
    TImageList *ImageListExplod = nullptr;
    TDXWaveList *DXWaveList = nullptr;
    TDXSound *DXSound = nullptr;

    TScreen *FScreen = nullptr;
    TSprite *FShip = nullptr;
    TSprite *FMissile = nullptr;
    TAsteroids *FAsteroids = nullptr;

public slots:
    void btRunClick();
    void btStopClick();

protected:
    void FormShow() override;
    bool event(QEvent *AEvent) override;

private:
    // The script moves the asteroids 250 times a second; the window is
    // painted at most once a frame of its screen, with every move since the
    // last paint.
    qint64 FrameNs() const;
    void PaintFrame();

    QElapsedTimer FLastPaint;
    QTimer *FFrameTimer = nullptr;
    bool FFrameDue = false;
};

// The game window, read by the sound functions; nothing while none exists.
extern TfmModule *fmModule;

// The game's global script functions.
class TJSGlobalFunctions : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit TJSGlobalFunctions(QObject *AParent = nullptr) : QObject(AParent) {}

    // Play "fire.wav" and "boom.wav" once; they return at once.
    Q_INVOKABLE void soundFire();
    Q_INVOKABLE void soundBoom();
};
