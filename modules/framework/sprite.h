#pragma once

#include "formcontrols.h"
#include "moduleframework_export.h"
#include "valuelist.h"
#include "wholenumbers.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>

class QTimer;

// A list of pictures of one size, shown one at a time by a sprite. A picture
// of the list's height that is wider than one image is a strip of images and
// is cut into as many as fit whole, left to right; any other size is scaled
// to the list's. Each image is keyed and premultiplied once, when it is
// added, so that a sprite's paint only draws.
class MODULEFRAMEWORK_EXPORT TImageList : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Width READ Width)
    Q_PROPERTY(int Height READ Height)
    Q_PROPERTY(int Count READ Count)

public:
    TImageList(int AWidth, int AHeight, QObject *AOwner = nullptr);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int Count() const { return int(FImages.size()); }

    // Adds AImage (one image or a strip); returns the index of the first
    // image added, or -1 when none was.
    int Add(const QImage &AImage);
    // The image as drawn: premultiplied, with the key colour made
    // transparent. A null image when AIndex lies outside the list.
    QImage GetImage(int AIndex) const;

private:
    void Append(const QImage &AImage);

    int FWidth;
    int FHeight;
    QList<QImage> FImages;
};

// A picture control that shows one image of an image list at a time and
// steps through the list on a timer of its own. Scripts reach it by the
// property and method names below, so they are its script vocabulary.
// Every member is for the UI thread only; the script engine marshals. Its
// place and size are a panel's. IsOutOfScreen announces no change: it
// depends on the parent, which may change unseen (a hidden parent's resize
// reaches no one until it is shown), so every read of it is asked afresh.
class MODULEFRAMEWORK_EXPORT TSprite : public TPanel
{
    Q_OBJECT
    Q_PROPERTY(bool Visible READ GetVisible WRITE SetVisible NOTIFY Changed)
    Q_PROPERTY(bool Active READ GetActive)
    Q_PROPERTY(int ImageIndex READ GetImageIndex WRITE SetImageIndex)
    Q_PROPERTY(QVariantMap HitArea READ GetHitAreaMap WRITE SetHitAreaMap)
    Q_PROPERTY(bool IsOutOfScreen READ GetIsOutOfScreen)
    Q_PROPERTY(int Right READ GetRight WRITE SetRight NOTIFY Changed)
    Q_PROPERTY(int Bottom READ GetBottom WRITE SetBottom NOTIFY Changed)
    Q_PROPERTY(int CenterX READ GetCenterX WRITE SetCenterX NOTIFY Changed)
    Q_PROPERTY(int CenterY READ GetCenterY WRITE SetCenterY NOTIFY Changed)
    Q_PROPERTY(TImageList *ImageList READ GetImageList WRITE SetImageList)
    Q_PROPERTY(int Interval READ GetInterval WRITE SetInterval)

public:
    // Pixels of this colour ($00BBGGRR $123456) are not drawn.
    static constexpr quint32 KeyColor = 0x123456;

    // A hidden 0 x 0 sprite with no image list and no parent. AOwner frees
    // it; the parent (set with SetParent) decides where it is drawn.
    Q_INVOKABLE explicit TSprite(QObject *AOwner = nullptr);
    ~TSprite() override;

    // Starts the animation from image 0; ARepeatCount passes, 0 endlessly.
    Q_INVOKABLE void Start(int ARepeatCount);
    // Detaches the animation step; the image shown stays.
    Q_INVOKABLE void Stop();
    Q_INVOKABLE bool CheckCollision(TSprite *ASprite) const;

    // The animation step, run by the timer while the sprite is active.
    void do_Timer();

    // Parents the sprite, keeping its Visible flag: a sprite is drawn by its
    // parent and never becomes a window of its own.
    void SetParent(QWidget *AParent);

    // Its own flag: the collision test and scripts see it even while the
    // sprite has no parent to be shown on.
    bool GetVisible() const { return FVisible; }
    void setVisible(bool V) override;

    bool GetActive() const { return FActive; }
    int GetImageIndex() const { return FImageIndex; }
    void SetImageIndex(int V);

    // Stored relative to the sprite; read in the parent's coordinates.
    TRect GetHitArea() const;
    void SetHitArea(const TRect &V) { FHitArea = V; }
    QVariantMap GetHitAreaMap() const;
    void SetHitAreaMap(const QVariantMap &V);

    bool GetIsOutOfScreen() const;
    // In 64 bits: a place at an int's edge must not overflow.
    int GetRight() const { return SaturatedInt(int64_t(x()) + width()); }
    void SetRight(int V) { SetLeft(SaturatedInt(int64_t(V) - width())); }
    int GetBottom() const { return SaturatedInt(int64_t(y()) + height()); }
    void SetBottom(int V) { SetTop(SaturatedInt(int64_t(V) - height())); }
    int GetCenterX() const { return SaturatedInt(int64_t(x()) + width() / 2); }
    void SetCenterX(int V) { SetLeft(SaturatedInt(int64_t(V) - width() / 2)); }
    int GetCenterY() const { return SaturatedInt(int64_t(y()) + height() / 2); }
    void SetCenterY(int V) { SetTop(SaturatedInt(int64_t(V) - height() / 2)); }

    TImageList *GetImageList() const { return FImageList.data(); }
    void SetImageList(TImageList *V);
    int GetInterval() const { return FInterval; }
    void SetInterval(int V);

    // Passes completed since the last Start (read by tests).
    int Count() const { return FCount; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    void StartTimer();

    int FCount = 0;
    int FRepeatCount = 0;
    QTimer *FTimer = nullptr;
    // Not owned; a list freed before the sprite reads as none.
    QPointer<TImageList> FImageList;
    TRect FHitArea;
    int FImageIndex = 0;
    int FInterval = 200;
    bool FActive = false;
    bool FVisible = false;
};
