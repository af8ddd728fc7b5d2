// The asteroid field on a play field of the game's size.
#include "asteroids.h"
#include "testsupport.h"

#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

std::unique_ptr<TImageList> SolidList(int AWidth, int AHeight, int ACount)
{
    auto list = std::make_unique<TImageList>(AWidth, AHeight);
    QImage strip(AWidth * ACount, AHeight, QImage::Format_ARGB32);
    strip.fill(Qt::gray);
    list->Add(strip);
    return list;
}

class AsteroidsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Field.resize(480, 320);
        Asteroids.SetImageList(Rocks.get());
        Asteroids.SetImageListExplode(Blast.get());
        Asteroids.SetParent(&Field);
    }
    // The sprites the ticks have brought in, in pool order.
    QList<TSprite *> Flying() const
    {
        QList<TSprite *> out;
        for (TSprite *s : Asteroids.Sprites())
            if (s->GetVisible())
                out << s;
        return out;
    }

    std::unique_ptr<TImageList> Rocks = SolidList(64, 64, 12);
    std::unique_ptr<TImageList> Blast = SolidList(64, 64, 4);
    QWidget Field;
    TAsteroids Asteroids;
};

} // namespace

TEST_F(AsteroidsTest, StartMakesAHiddenPoolThatTicksBringInOneByOne)
{
    EXPECT_TRUE(Asteroids.Sprites().isEmpty());
    Asteroids.Start();
    ASSERT_EQ(Asteroids.Sprites().size(), 20);
    for (TSprite *s : Asteroids.Sprites()) {
        EXPECT_FALSE(s->GetVisible());
        EXPECT_FALSE(s->GetActive());
        EXPECT_EQ(s->size(), QSize(64, 64));
        EXPECT_EQ(s->parentWidget(), &Field);
        EXPECT_EQ(s->GetHitArea(), (TRect{10, 10, 44, 44})); // at 0,0
    }
    for (int tick = 1; tick <= 20; ++tick) {
        Asteroids.do_Timer();
        const QList<TSprite *> flying = Flying();
        ASSERT_EQ(flying.size(), tick);
        TSprite *s = flying.last();
        EXPECT_EQ(s, Asteroids.Sprites().at(tick - 1));
        EXPECT_EQ(s->GetLeft(), 480);
        EXPECT_GE(s->GetTop(), 0);
        EXPECT_LE(s->GetTop(), 320 - 64 - 1);
        EXPECT_TRUE(s->GetActive());
    }
    // Every sprite flies: a tick changes nothing.
    QList<QPoint> before;
    for (TSprite *s : Asteroids.Sprites())
        before << s->pos();
    Asteroids.do_Timer();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(Asteroids.Sprites().at(i)->pos(), before.at(i));

    // A second Start while running adds a second pool.
    Asteroids.Start();
    EXPECT_EQ(Asteroids.Sprites().size(), 40);
}

TEST_F(AsteroidsTest, TheSpawnTimerRunsEvery200MsWhileStarted)
{
    Asteroids.Start();
    ASSERT_TRUE(WaitFor([&] { return Flying().size() == 2; }));
    Asteroids.Stop();
    EXPECT_TRUE(Asteroids.Sprites().isEmpty());
    QTest::qWait(450);
    EXPECT_TRUE(Asteroids.Sprites().isEmpty());
}

TEST_F(AsteroidsTest, MoveCarriesAsteroidsLeftAndFreesThemPastTheEdge)
{
    Asteroids.Start();
    Asteroids.do_Timer();
    TSprite *s = Asteroids.Sprites().at(0);
    s->SetLeft(-63);
    Asteroids.Move(1);
    EXPECT_EQ(s->GetLeft(), -64);
    EXPECT_TRUE(s->GetVisible());
    Asteroids.Move(1);
    EXPECT_EQ(s->GetLeft(), -65);
    EXPECT_FALSE(s->GetVisible());
    EXPECT_FALSE(s->GetActive());
    // Free again: the next tick brings the same sprite back in.
    Asteroids.do_Timer();
    EXPECT_EQ(Flying(), QList<TSprite *>{s});
    EXPECT_EQ(s->GetLeft(), 480);

    // A negative number moves them right; hidden ones stay where they are.
    Asteroids.Move(-5);
    EXPECT_EQ(s->GetLeft(), 485);
    EXPECT_EQ(Asteroids.Sprites().at(1)->GetLeft(), 0);
}

TEST_F(AsteroidsTest, FirstHitInPoolOrderExplodesOnceAndIsHiddenAfterItsExplosion)
{
    Asteroids.Start();
    Asteroids.do_Timer();
    Asteroids.do_Timer();
    TSprite *first = Asteroids.Sprites().at(0);
    TSprite *second = Asteroids.Sprites().at(1);
    first->move(100, 100);
    second->move(100, 100);

    auto ship = SolidList(122, 65, 4);
    TSprite Ship;
    Ship.SetImageList(ship.get());
    Ship.SetParent(&Field);
    Ship.SetHitArea({40, 11, 110, 55});
    Ship.move(0, 100);
    // Hidden: nothing collides.
    EXPECT_FALSE(Asteroids.CheckCollision(&Ship));
    Ship.SetVisible(true);
    EXPECT_EQ(Ship.GetHitArea(), (TRect{40, 111, 110, 155}));
    // At 100,100 the hit areas only touch.
    EXPECT_EQ(first->GetHitArea(), (TRect{110, 110, 144, 144}));
    EXPECT_FALSE(Asteroids.CheckCollision(&Ship));
    EXPECT_FALSE(Asteroids.CheckCollision(nullptr));

    first->move(99, 100);
    second->move(99, 100);
    EXPECT_TRUE(Asteroids.CheckCollision(&Ship));
    EXPECT_EQ(first->GetImageList(), Blast.get());
    EXPECT_EQ(second->GetImageList(), Rocks.get());
    EXPECT_TRUE(Ship.GetVisible());
    // The exploding one is not hit again: the next call takes the other.
    EXPECT_TRUE(Asteroids.CheckCollision(&Ship));
    EXPECT_EQ(second->GetImageList(), Blast.get());
    EXPECT_FALSE(Asteroids.CheckCollision(&Ship));

    // The explosion plays once: 1, 2, 0, then inactive. It does not move.
    EXPECT_EQ(first->GetImageIndex(), 0);
    std::vector<int> steps;
    while (first->GetActive() && steps.size() < 10) {
        first->do_Timer();
        steps.push_back(first->GetImageIndex());
        Asteroids.Move(3);
        EXPECT_EQ(first->GetLeft(), 99);
        if (first->GetActive()) {
            EXPECT_TRUE(first->GetVisible());
        }
    }
    EXPECT_EQ(steps, (std::vector<int>{1, 2, 0}));
    EXPECT_FALSE(first->GetVisible()); // hidden by the Move after it ended
    // Re-entering, it is an asteroid again.
    Asteroids.do_Timer();
    EXPECT_EQ(first->GetImageList(), Rocks.get());
    EXPECT_TRUE(first->GetVisible());
}

TEST_F(AsteroidsTest, StopFreesThePoolAndStartMakesANewOne)
{
    Asteroids.Stop(); // stopped already: nothing happens
    Asteroids.Start();
    QPointer<TSprite> old = Asteroids.Sprites().at(0);
    Asteroids.Stop();
    EXPECT_TRUE(old.isNull());
    EXPECT_TRUE(Asteroids.Sprites().isEmpty());
    EXPECT_TRUE(Field.findChildren<TSprite *>().isEmpty());
    Asteroids.Start();
    EXPECT_EQ(Asteroids.Sprites().size(), 20);
}

TEST_F(AsteroidsTest, IntervalReachesOnlyTheSpritesThenInThePool)
{
    EXPECT_EQ(Asteroids.GetInterval(), 0);
    Asteroids.SetInterval(50);
    Asteroids.Start();
    EXPECT_EQ(Asteroids.Sprites().at(0)->GetInterval(), 200);
    Asteroids.SetInterval(80);
    EXPECT_EQ(Asteroids.GetInterval(), 80);
    for (TSprite *s : Asteroids.Sprites())
        EXPECT_EQ(s->GetInterval(), 80);
}

TEST_F(AsteroidsTest, ParentSetAfterStartPlacesEnteringAsteroidsByItsSizeOnTheirOwnField)
{
    Asteroids.Start();
    auto other = std::make_unique<QWidget>();
    other->resize(200, 100);
    Asteroids.SetParent(other.get());
    for (int tick = 1; tick <= 10; ++tick)
        Asteroids.do_Timer();
    ASSERT_EQ(Flying().size(), 10);
    // Each enters at the new parent's right edge and within its height, yet
    // stays on its own field: the new parent is where the next pool goes.
    for (TSprite *s : Flying()) {
        EXPECT_EQ(s->parentWidget(), &Field);
        EXPECT_EQ(s->GetLeft(), 200);
        EXPECT_GE(s->GetTop(), 0);
        EXPECT_LE(s->GetTop(), 100 - 64 - 1);
    }
    EXPECT_TRUE(other->findChildren<TSprite *>().isEmpty());

    // A parent of no size brings them in at its corner.
    other->resize(0, 0);
    Asteroids.do_Timer();
    ASSERT_EQ(Flying().size(), 11);
    EXPECT_EQ(Flying().last()->pos(), QPoint(0, 0));
    // One freed reads as none: nothing enters.
    other.reset();
    Asteroids.do_Timer();
    EXPECT_EQ(Flying().size(), 11);
}

TEST(AsteroidsWithoutParent, PoolIsMadeButNothingEntersUntilThereIsAParent)
{
    TImageList rocks(64, 64);
    TAsteroids asteroids;
    asteroids.SetImageList(&rocks);
    asteroids.Start();
    asteroids.do_Timer();
    ASSERT_EQ(asteroids.Sprites().size(), 20);
    for (TSprite *s : asteroids.Sprites()) {
        EXPECT_FALSE(s->GetVisible());
        EXPECT_EQ(s->parentWidget(), nullptr);
    }
    // A field no higher than an asteroid brings it in at the top.
    QWidget field;
    field.resize(480, 40);
    asteroids.SetParent(&field);
    asteroids.do_Timer();
    EXPECT_EQ(asteroids.Sprites().at(0)->parentWidget(), &field);
    EXPECT_EQ(asteroids.Sprites().at(0)->GetTop(), 0);
    EXPECT_TRUE(asteroids.Sprites().at(0)->GetVisible());
}
