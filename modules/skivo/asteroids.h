#pragma once

#include "sprite.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class QTimer;

// The game's asteroid field: a pool of asteroid sprites on the play field.
// A spawn tick of its own brings hidden ones in at the right edge; the
// script moves them left and tests its sprites against them, and an
// asteroid that is hit plays its explosion once. Scripts reach it as
// "Asteroids" by the names below. Every member is for the UI thread only;
// the script engine marshals.
//
// Parent is the field that Start puts a new pool on, and the tick places an
// entering asteroid by Parent's width and height of that moment. A sprite
// stays on the field it was made on: Parent set later changes where it
// enters, not which field it is on. While Parent is none the tick brings
// nothing in; a sprite made while it was none joins the field that Parent
// names when the tick brings it in.
class TAsteroids : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QWidget *Parent READ GetParent WRITE SetParent)
    Q_PROPERTY(int Interval READ GetInterval WRITE SetInterval)
    Q_PROPERTY(TImageList *ImageList READ GetImageList WRITE SetImageList)
    Q_PROPERTY(TImageList *ImageListExplode READ GetImageListExplode WRITE SetImageListExplode)

public:
    // The sprites that one Start adds to the pool.
    static constexpr int KPoolSize = 20;
    static constexpr int KSpawnInterval = 200;

    explicit TAsteroids(QObject *AOwner = nullptr);
    ~TAsteroids() override;

    // Adds a pool of hidden asteroids and lets the spawn tick bring them in.
    Q_INVOKABLE void Start();
    // Ends the spawn tick and frees every asteroid.
    Q_INVOKABLE void Stop();
    // Moves the flying asteroids left by APixel pixels; hides those that
    // have left the field and those whose explosion has played.
    Q_INVOKABLE void Move(int APixel);
    // True when ASprite hits a flying asteroid; the first one hit, in pool
    // order, explodes.
    Q_INVOKABLE bool CheckCollision(TSprite *ASprite);

    // The spawn tick: brings the first hidden asteroid in at Parent's right
    // edge, at a random height within Parent.
    void do_Timer();

    QWidget *GetParent() const { return FParent; }
    void SetParent(QWidget *V) { FParent = V; }
    int GetInterval() const { return FInterval; }
    void SetInterval(int V);
    TImageList *GetImageList() const { return FImageList; }
    void SetImageList(TImageList *V) { FImageList = V; }
    TImageList *GetImageListExplode() const { return FImageListExplode; }
    void SetImageListExplode(TImageList *V) { FImageListExplode = V; }

    // The pool, in the order Start made it.
    QList<TSprite *> Sprites() const;

private:
    // A sprite freed with its parent before the field drops out of the pool.
    QList<QPointer<TSprite>> FList;
    QTimer *FTimer = nullptr;
    // Not owned; one freed before the field reads as none.
    QPointer<TImageList> FImageList;
    QPointer<QWidget> FParent;
    QPointer<TImageList> FImageListExplode;
    int FInterval = 0;
};
