#include "sprite.h"
#include "testsupport.h"

#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

// An image list of ACount solid 16 x 16 images, each its own colour.
std::unique_ptr<TImageList> MakeList(int ACount)
{
    auto list = std::make_unique<TImageList>(16, 16);
    for (int i = 0; i < ACount; ++i) {
        QImage img(16, 16, QImage::Format_ARGB32);
        img.fill(qRgb(10 * i, 200, 100));
        list->Add(img);
    }
    return list;
}

std::vector<int> Steps(TSprite &S, int N)
{
    std::vector<int> seen;
    for (int i = 0; i < N; ++i) {
        S.do_Timer();
        seen.push_back(S.GetImageIndex());
    }
    return seen;
}

} // namespace

TEST(SpriteAnimation, EndlessCycleNeverReachesLastImage)
{
    auto list = MakeList(4);
    TSprite s;
    s.SetImageList(list.get());
    s.Start(0);
    EXPECT_EQ(s.GetImageIndex(), 0);
    EXPECT_EQ(Steps(s, 7), (std::vector<int>{1, 2, 0, 1, 2, 0, 1}));
    EXPECT_TRUE(s.GetActive());
}

TEST(SpriteAnimation, RepeatCountDetachesAfterPasses)
{
    auto list = MakeList(4);
    TSprite s;
    s.SetImageList(list.get());
    s.Start(1);
    EXPECT_EQ(Steps(s, 2), (std::vector<int>{1, 2}));
    EXPECT_TRUE(s.GetActive());
    s.do_Timer();
    EXPECT_EQ(s.GetImageIndex(), 0);
    EXPECT_FALSE(s.GetActive());
    // Idle: further steps change nothing.
    s.do_Timer();
    EXPECT_EQ(s.GetImageIndex(), 0);
    EXPECT_EQ(s.Count(), 1);
}

TEST(SpriteAnimation, OneImageAndNegativeCountDetachAtFirstStep)
{
    auto one = MakeList(1);
    TSprite a;
    a.SetImageList(one.get());
    a.Start(1);
    a.do_Timer();
    EXPECT_FALSE(a.GetActive());
    EXPECT_EQ(a.GetImageIndex(), 0);

    auto four = MakeList(4);
    TSprite b;
    b.SetImageList(four.get());
    b.Start(-1);
    b.do_Timer();
    EXPECT_FALSE(b.GetActive());
}

TEST(SpriteAnimation, StartRestartsAndStopKeepsImage)
{
    auto list = MakeList(5);
    TSprite s;
    s.SetImageList(list.get());
    s.Start(2);
    Steps(s, 5); // 1 2 3 0 1: one pass done
    EXPECT_EQ(s.Count(), 1);
    s.Start(2);
    EXPECT_EQ(s.GetImageIndex(), 0);
    EXPECT_EQ(s.Count(), 0);
    s.do_Timer();
    s.Stop();
    EXPECT_FALSE(s.GetActive());
    s.do_Timer();
    EXPECT_EQ(s.GetImageIndex(), 1);
}

TEST(SpriteAnimation, WithoutImageListStaysActiveDoingNothing)
{
    TSprite s;
    s.Start(1);
    s.do_Timer();
    EXPECT_TRUE(s.GetActive());
    EXPECT_EQ(s.GetImageIndex(), 0);
}

TEST(SpriteAnimation, TimerDrivesStepsAtItsInterval)
{
    auto list = MakeList(3);
    QWidget parent;
    TSprite s(&parent);
    s.SetImageList(list.get());
    s.SetInterval(5);
    EXPECT_EQ(s.GetInterval(), 5);
    s.Start(2);
    // Two passes over a list of three (indexes 0, 1) take four steps.
    EXPECT_TRUE(WaitFor([&] { return !s.GetActive(); }));
    EXPECT_EQ(s.Count(), 2);

    // An interval of 0 fires nothing instead of spinning.
    s.Start(0);
    s.SetInterval(0);
    QTest::qWait(50);
    EXPECT_EQ(s.GetImageIndex(), 0);
    EXPECT_TRUE(s.GetActive());
}

TEST(SpriteAnimation, PositiveIntervalAfterZeroResumesSteps)
{
    auto list = MakeList(3);
    TSprite s;
    s.SetImageList(list.get());
    // Started while the interval is 0, then given one: it steps.
    s.SetInterval(0);
    s.Start(1);
    s.SetInterval(5);
    EXPECT_TRUE(WaitFor([&] { return !s.GetActive(); }));
    // Held at 0 mid-run and set back: it goes on.
    s.Start(2);
    s.SetInterval(0);
    s.SetInterval(5);
    EXPECT_TRUE(WaitFor([&] { return !s.GetActive(); }));
    EXPECT_EQ(s.Count(), 2);
}

TEST(SpriteAnimation, ImageListFreedFirstReadsAsNone)
{
    auto list = MakeList(3);
    TSprite s;
    s.SetImageList(list.get());
    s.Start(0);
    list.reset();
    EXPECT_EQ(s.GetImageList(), nullptr);
    s.do_Timer(); // must not touch the freed list
    EXPECT_EQ(s.GetImageIndex(), 0);
}

TEST(SpriteGeometry, ImageListSizesSpriteAndNothingKeepsSize)
{
    auto list = std::make_unique<TImageList>(64, 48);
    TSprite s;
    s.SetImageIndex(0);
    s.SetImageList(list.get());
    EXPECT_EQ(s.GetWidth(), 64);
    EXPECT_EQ(s.GetHeight(), 48);
    s.SetImageList(nullptr);
    EXPECT_EQ(s.GetWidth(), 64);
    EXPECT_EQ(s.GetHeight(), 48);
}

TEST(SpriteGeometry, HitAreaReadsInParentCoordinates)
{
    TSprite s;
    s.SetLeft(100);
    s.SetTop(50);
    s.SetHitArea({10, 10, 44, 44});
    EXPECT_EQ(s.GetHitArea(), (TRect{110, 60, 144, 94}));
    const QVariantMap m = s.GetHitAreaMap();
    EXPECT_EQ(m.value("Left").toInt(), 110);
    EXPECT_EQ(m.value("Bottom").toInt(), 94);
    // Writing back what was read moves the stored area by (Left, Top).
    s.SetHitAreaMap(m);
    EXPECT_EQ(s.GetHitArea(), (TRect{210, 110, 244, 144}));
}

TEST(SpriteGeometry, EdgesAndCentreMoveWithoutResizing)
{
    TSprite s;
    s.resize(27, 31);
    s.SetLeft(10);
    s.SetTop(20);
    EXPECT_EQ(s.GetCenterX(), 23);
    EXPECT_EQ(s.GetCenterY(), 35);
    EXPECT_EQ(s.GetRight(), 37);
    EXPECT_EQ(s.GetBottom(), 51);
    s.SetCenterX(23);
    EXPECT_EQ(s.GetLeft(), 10);
    s.SetRight(100);
    EXPECT_EQ(s.GetLeft(), 73);
    s.SetBottom(0);
    EXPECT_EQ(s.GetTop(), -31);
    s.SetCenterY(-10); // -10 - 15
    EXPECT_EQ(s.GetTop(), -25);
    s.SetCenterX(-1); // truncates toward zero: 27 div 2 = 13
    EXPECT_EQ(s.GetLeft(), -14);
    EXPECT_EQ(s.GetWidth(), 27);
    EXPECT_EQ(s.GetHeight(), 31);
}

TEST(SpriteGeometry, OutOfScreenAgainstParentRectangle)
{
    TSprite orphan;
    EXPECT_TRUE(orphan.GetIsOutOfScreen());

    QWidget parent;
    parent.resize(480, 320);
    TSprite s(&parent);
    // Owned by the widget, but on no screen until it is given its parent.
    EXPECT_EQ(s.parentWidget(), nullptr);
    EXPECT_EQ(s.size(), QSize(0, 0));
    EXPECT_TRUE(s.GetIsOutOfScreen());
    s.SetParent(&parent);
    s.resize(64, 32);
    s.SetTop(100);
    s.SetLeft(480);
    EXPECT_TRUE(s.GetIsOutOfScreen());
    s.SetLeft(479);
    EXPECT_FALSE(s.GetIsOutOfScreen());
    s.SetLeft(-64);
    EXPECT_TRUE(s.GetIsOutOfScreen());
    s.SetLeft(-63);
    EXPECT_FALSE(s.GetIsOutOfScreen());
    s.SetTop(320);
    EXPECT_TRUE(s.GetIsOutOfScreen());
}

TEST(SpriteCollision, VisibleOverlapOnlyAndTouchingEdgesMiss)
{
    QWidget parent;
    TSprite a(&parent), b(&parent);
    a.SetParent(&parent);
    b.SetParent(&parent);
    a.SetHitArea({0, 0, 10, 10});
    b.SetHitArea({0, 0, 10, 10});
    b.SetLeft(5);
    b.SetTop(5);
    EXPECT_FALSE(a.CheckCollision(&b)); // both hidden
    a.SetVisible(true);
    EXPECT_FALSE(a.CheckCollision(&b)); // one hidden
    b.SetVisible(true);
    EXPECT_TRUE(a.CheckCollision(&b));
    EXPECT_TRUE(b.CheckCollision(&a));
    b.SetLeft(10); // shares only the edge x = 10
    EXPECT_FALSE(a.CheckCollision(&b));
    b.SetLeft(9);
    EXPECT_TRUE(a.CheckCollision(&b));
    b.SetTop(10);
    EXPECT_FALSE(a.CheckCollision(&b));
    EXPECT_FALSE(a.CheckCollision(nullptr));
}

TEST(SpriteCollision, NeverWrittenHitAreaCollidesWithNothing)
{
    QWidget parent;
    TSprite a(&parent), b(&parent);
    a.SetVisible(true);
    b.SetVisible(true);
    b.SetHitArea({-100, -100, 100, 100});
    EXPECT_FALSE(a.CheckCollision(&b));
    EXPECT_FALSE(b.CheckCollision(&a));
}

TEST(SpriteLifecycle, HiddenUntilShownAndNeverAWindow)
{
    QWidget parent;
    parent.resize(100, 100);
    parent.show();
    TSprite orphan;
    orphan.SetVisible(true);
    EXPECT_TRUE(orphan.GetVisible());
    EXPECT_FALSE(orphan.isVisible()); // no window of its own

    orphan.SetParent(&parent);
    EXPECT_TRUE(orphan.isVisible());
    orphan.SetVisible(false);
    EXPECT_FALSE(orphan.isVisible());
}

TEST(SpriteLifecycle, ShowAndHideAgreeWithVisibleAndCollision)
{
    QWidget parent;
    parent.resize(100, 100);
    parent.show();
    QWidget other(&parent); // declared first: outlives the sprites it takes
    other.resize(50, 50);
    other.show();
    TSprite a(&parent), b(&parent);
    a.SetParent(&parent);
    b.SetParent(&parent);
    a.SetHitArea({0, 0, 10, 10});
    b.SetHitArea({0, 0, 10, 10});
    // Shown the way a module's own code would show a widget.
    a.show();
    b.setVisible(true);
    EXPECT_TRUE(a.GetVisible());
    EXPECT_TRUE(a.property("Visible").toBool());
    EXPECT_TRUE(a.CheckCollision(&b));
    b.hide();
    EXPECT_FALSE(b.GetVisible());
    EXPECT_FALSE(a.CheckCollision(&b));

    // Moving a shown sprite to another parent keeps it shown.
    a.SetParent(&other);
    EXPECT_TRUE(a.GetVisible());
    EXPECT_TRUE(a.isVisible());

    // Without a parent, show() only records the wish: no window appears.
    TSprite orphan;
    orphan.show();
    EXPECT_TRUE(orphan.GetVisible());
    EXPECT_FALSE(orphan.isVisible());
}

TEST(SpriteLifecycle, NonWidgetOwnerFreesSprite)
{
    auto owner = std::make_unique<QObject>();
    QPointer<TSprite> s = new TSprite(owner.get());
    ASSERT_TRUE(s);
    owner.reset();
    EXPECT_TRUE(s.isNull());
}

TEST(SpriteImageList, StripIsCutIntoFramesAndEachFrameIsKeyedOnce)
{
    // Three 8 x 4 frames side by side, with a key-coloured column in each.
    QImage strip(24, 4, QImage::Format_RGB32);
    for (int x = 0; x < 24; ++x)
        for (int y = 0; y < 4; ++y)
            strip.setPixel(x, y, x % 8 == 0 ? qRgb(0x56, 0x34, 0x12) : qRgb(40 * (x / 8), 0, 255));
    TImageList list(8, 4);
    EXPECT_EQ(list.Add(strip), 0);
    ASSERT_EQ(list.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        const QImage frame = list.GetImage(i);
        EXPECT_EQ(frame.size(), QSize(8, 4));
        EXPECT_EQ(frame.format(), QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(qAlpha(frame.pixel(0, 1)), 0);
        EXPECT_EQ(frame.pixel(3, 1), qRgb(40 * i, 0, 255));
    }
    // A single picture of another size is scaled into one image.
    EXPECT_EQ(list.Add(QImage(16, 16, QImage::Format_RGB32)), 3);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.GetImage(3).size(), QSize(8, 4));
    EXPECT_EQ(list.Add(QImage()), -1);
}

TEST(SpritePaint, KeyColourShowsParentThrough)
{
    // One image: left half key colour, right half red.
    TImageList list(8, 8);
    QImage img(8, 8, QImage::Format_ARGB32);
    img.fill(qRgb(0x56, 0x34, 0x12));
    for (int y = 0; y < 8; ++y)
        for (int x = 4; x < 8; ++x)
            img.setPixel(x, y, qRgb(255, 0, 0));
    list.Add(img);

    QWidget parent;
    parent.setAutoFillBackground(true);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, Qt::white);
    parent.setPalette(pal);
    parent.resize(20, 20);
    TSprite s(&parent);
    s.SetParent(&parent);
    s.SetImageList(&list);
    s.move(2, 2);
    s.SetVisible(true);
    const QImage shot = parent.grab().toImage();
    EXPECT_EQ(shot.pixelColor(3, 3), QColor(Qt::white));
    EXPECT_EQ(shot.pixelColor(8, 3), QColor(Qt::red));

    // An index outside the list draws nothing.
    s.SetImageIndex(5);
    EXPECT_EQ(parent.grab().toImage().pixelColor(8, 3), QColor(Qt::white));
}
