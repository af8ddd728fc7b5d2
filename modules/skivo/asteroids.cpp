#include "asteroids.h"

#include <QTimer>
#include <random>

namespace {

// One generator for the whole game, never seeded: every game brings its
// asteroids in at the same heights.
int RandomBelow(int ALimit)
{
    static std::minstd_rand generator;
    if (ALimit <= 0)
        return 0;
    return std::uniform_int_distribution<int>(0, ALimit - 1)(generator);
}

} // namespace

TAsteroids::TAsteroids(QObject *AOwner)
    : QObject(AOwner)
{
    FTimer = new QTimer(this);
    FTimer->setInterval(KSpawnInterval);
    connect(FTimer, &QTimer::timeout, this, &TAsteroids::do_Timer);
}

TAsteroids::~TAsteroids()
{
    Stop();
}

void TAsteroids::Start()
{
    // Without a parent the pool is made all the same; the tick brings
    // nothing in until there is one.
    for (int i = 0; i < KPoolSize; ++i) {
        auto *sprite = new TSprite(this);
        sprite->SetVisible(false);
        sprite->SetImageList(FImageList);
        sprite->SetParent(FParent);
        sprite->SetHitArea({10, 10, 44, 44});
        FList.append(sprite);
    }
    FTimer->start();
}

void TAsteroids::Stop()
{
    FTimer->stop();
    const QList<TSprite *> sprites = Sprites();
    FList.clear();
    for (TSprite *sprite : sprites) {
        sprite->Stop();
        delete sprite;
    }
}

QList<TSprite *> TAsteroids::Sprites() const
{
    QList<TSprite *> sprites;
    sprites.reserve(FList.size());
    for (const QPointer<TSprite> &sprite : FList)
        if (sprite)
            sprites.append(sprite);
    return sprites;
}

void TAsteroids::do_Timer()
{
    if (!FParent)
        return;
    for (TSprite *sprite : Sprites()) {
        if (sprite->GetVisible())
            continue;
        // A sprite made while there was no parent has no field yet and
        // joins this one; any other stays on the field it was made on, but
        // enters by Parent's size, whatever field that is now.
        if (!sprite->parentWidget())
            sprite->SetParent(FParent);
        sprite->SetLeft(FParent->width());
        // A parent no higher than the asteroid gives it the top edge.
        sprite->SetTop(RandomBelow(FParent->height() - sprite->GetHeight()));
        sprite->SetVisible(true);
        sprite->SetImageList(FImageList);
        sprite->Start(0);
        break;
    }
}

void TAsteroids::Move(int APixel)
{
    for (TSprite *sprite : Sprites()) {
        if (!sprite->GetVisible())
            continue;
        const bool exploding = sprite->GetImageList() && sprite->GetImageList() == FImageListExplode;
        if (!exploding) {
            // Kept within what a script may write: one moved off to the
            // right by steps ever larger stays there, not wrapped round.
            sprite->SetLeft(ClampedWhole(int64_t(sprite->GetLeft()) - APixel));
            if (sprite->GetLeft() < -sprite->GetWidth()) {
                sprite->Stop();
                sprite->SetVisible(false);
            }
        } else if (!sprite->GetActive()) {
            sprite->SetVisible(false);
        }
    }
}

bool TAsteroids::CheckCollision(TSprite *ASprite)
{
    if (!ASprite)
        return false;
    for (TSprite *sprite : Sprites()) {
        if (sprite->GetImageList() == FImageList && ASprite->CheckCollision(sprite)) {
            sprite->SetImageList(FImageListExplode);
            sprite->Start(1);
            return true;
        }
    }
    return false;
}

void TAsteroids::SetInterval(int V)
{
    FInterval = V;
    for (TSprite *sprite : Sprites())
        sprite->SetInterval(V);
}
