#include "caption.h"
#include "hosttestsupport.h"
#include "observerlist.h"
#include "testsupport.h"

#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QColor Tile(89, 97, 104);
const QColor Banner(103, 97, 89);
const QColor Line(255, 135, 60);

const QString Bullet = QStringLiteral("\u25E6 ");

bool OnBus(QObject *AObserver)
{
    TObserverList *list = TCore::Obj()->View()->ObserverList();
    for (int i = 0; i < list->Count(); ++i)
        if (list->Observers(i) == AObserver)
            return true;
    return false;
}

// Whether some pixel of AImage inside ARect has exactly AColor.
bool Shows(const QImage &AImage, const QRect &ARect, const QColor &AColor)
{
    for (int y = ARect.top(); y <= ARect.bottom(); ++y)
        for (int x = ARect.left(); x <= ARect.right(); ++x)
            if (AImage.pixelColor(x, y) == AColor)
                return true;
    return false;
}

// Every pixel of AImage, or the first one that is not AColor.
QString AllOf(const QImage &AImage, const QColor &AColor)
{
    for (int y = 0; y < AImage.height(); ++y)
        for (int x = 0; x < AImage.width(); ++x)
            if (AImage.pixelColor(x, y) != AColor)
                return QStringLiteral("%1,%2 is %3").arg(x).arg(y).arg(AImage.pixelColor(x, y).name());
    return QString();
}

QPixmap Filled(int AWidth, int AHeight, const QColor &AColor)
{
    QPixmap p(AWidth, AHeight);
    p.fill(AColor);
    return p;
}

class CaptionTest : public ::testing::Test
{
protected:
    void DoubleClick(Qt::MouseButton AButton = Qt::LeftButton)
    {
        QTest::mouseDClick(Caption.BitmapTile, AButton, {}, QPoint(300, 150));
    }

    // The page shown: title and the three lines.
    QStringList Page() const
    {
        return {Caption.lbTitle->text(), Caption.lbLine01->text(), Caption.lbLine02->text(),
                Caption.lbLine03->text()};
    }

    void SetPages(const QString &AText) { Caption.moMsgs->setPlainText(AText); }

    TfrCaption Caption;
};

} // namespace

TEST_F(CaptionTest, StartsOnTheFirstPageWithTheCourseInItsHiddenMemo)
{
    EXPECT_EQ(Caption.height(), 160);
    EXPECT_EQ(Page(), (QStringList{QStringLiteral("자바스크립트의 세계로"),
                                   Bullet + QStringLiteral("자바스크립트는 입문자에게 적합한 언어입니다."),
                                   QString(), QString()}));
    EXPECT_TRUE(OnBus(&Caption));
    for (int i = 0; i < Caption.metaObject()->methodCount(); ++i)
        EXPECT_FALSE(Caption.metaObject()->method(i).name().startsWith("rp_"));

    const QString b = QStringLiteral("=") + Bullet;
    const QStringList course{
        QStringLiteral("LineCount=6"),
        QString(),
        QStringLiteral("1.t=자바스크립트의 세계로"),
        QStringLiteral("1.1") + b + QStringLiteral("자바스크립트는 입문자에게 적합한 언어입니다."),
        QString(),
        QStringLiteral("2.t=문장을 차례로 실행하는 컴퓨터"),
        QStringLiteral("2.1") + b + QStringLiteral("\";\" 세미콜론을 잊지 마세요!"),
        QString(),
        QStringLiteral("3.t=해야 하나 말아야 하나 고민하는 컴퓨터"),
        QStringLiteral("3.1") + b + QStringLiteral("if"),
        QStringLiteral("3.2") + b + QStringLiteral("switch"),
        QStringLiteral("3.3") + b + QStringLiteral("우선 if만을 배운다"),
        QString(),
        QStringLiteral("4.t=하나 하나 일일히 말해주기 싫을 때"),
        QStringLiteral("4.1") + b + QStringLiteral("function"),
        QString(),
        QStringLiteral("5.t=정보를 기억하는 사물함"),
        QStringLiteral("5.1") + b + QStringLiteral("\"=\"은 Equal이 아니야!"),
        QStringLiteral("5.2") + b + QStringLiteral("대입문(Assign)은 정보를 복사한다."),
        QString(),
        QStringLiteral("6.t=마무리"),
        QStringLiteral("6.1") + b + QStringLiteral("입문자는 하나 하나 너무 파고들지 마세요."),
        QStringLiteral("6.2") + b + QStringLiteral("보다 적은 지식으로 같은 성과를 냅시다."),
    };
    EXPECT_EQ(Caption.moMsgs->toPlainText().split(QLatin1Char('\n')), course);

    EXPECT_TRUE(Caption.moMsgs->isHidden());
    EXPECT_EQ(Caption.moMsgs->geometry(), QRect(480, 16, 389, 121));
    // Enter does not add a line to the memo.
    const QString before = Caption.moMsgs->toPlainText();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(Caption.moMsgs, &enter);
    EXPECT_EQ(Caption.moMsgs->toPlainText(), before);
}

TEST_F(CaptionTest, DoubleClickStepsThroughTheSixPagesAndBackToTheFirst)
{
    const QStringList titles{
        QStringLiteral("문장을 차례로 실행하는 컴퓨터"),
        QStringLiteral("해야 하나 말아야 하나 고민하는 컴퓨터"),
        QStringLiteral("하나 하나 일일히 말해주기 싫을 때"),
        QStringLiteral("정보를 기억하는 사물함"),
        QStringLiteral("마무리"),
        QStringLiteral("자바스크립트의 세계로"),
    };
    const QList<int> lineCounts{1, 3, 1, 2, 2, 1};
    for (int i = 0; i < titles.size(); ++i) {
        DoubleClick();
        const QStringList page = Page();
        EXPECT_EQ(page[0], titles[i]) << i;
        // Lines of an earlier, longer page do not stay behind.
        for (int l = 1; l <= 3; ++l)
            EXPECT_EQ(page[l].isEmpty(), l > lineCounts[i]) << i << " " << l;
    }
    EXPECT_EQ(Caption.lbLine03->text(), QString());
    for (int i = 0; i < 2; ++i)
        DoubleClick();
    EXPECT_EQ(Page(), (QStringList{titles[1], Bullet + QStringLiteral("if"),
                                   Bullet + QStringLiteral("switch"),
                                   Bullet + QStringLiteral("우선 if만을 배운다")}));

    // Only the left button's double-click on the tile itself turns the page,
    // not one on a label.
    DoubleClick(Qt::RightButton);
    EXPECT_EQ(Page()[0], titles[1]);
    for (QLabel *label : {Caption.lbTitle, Caption.lbLine01, Caption.lbLine02, Caption.lbLine03})
        QTest::mouseDClick(label, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(Page()[0], titles[1]);
}

TEST_F(CaptionTest, LineCountThatIsNoPositiveNumberKeepsTheFirstPage)
{
    const QString pages = QStringLiteral("1.t=one\n2.t=two\n3.t=three\n");
    for (const QString &count :
         {QStringLiteral("x=3"), QStringLiteral("LineCount="), QStringLiteral("LineCount=three"),
          QStringLiteral("LineCount=0"), QStringLiteral("LineCount=-2"),
          QStringLiteral("LineCount=2.5"), QStringLiteral("LineCount=$3"),
          QStringLiteral("LineCount=99999999999"), QStringLiteral("LineCount= 3"),
          QStringLiteral("LineCount=3 "), QStringLiteral("LineCount=1"),
          QStringLiteral("LineCount")}) {
        SetPages(count + QLatin1Char('\n') + pages);
        for (int i = 0; i < 3; ++i) {
            DoubleClick();
            EXPECT_EQ(Page()[0], QStringLiteral("one")) << count.toStdString() << " " << i;
        }
    }
}

TEST_F(CaptionTest, LineCountIsLookedUpByNameCaseInsensitivelyFirstLineWins)
{
    SetPages(QStringLiteral("1.t=one\n2.t=two\n3.t=three\nlinecount=+2\nLINECOUNT=3\n"));
    QStringList seen;
    for (int i = 0; i < 4; ++i) {
        DoubleClick();
        seen << Page()[0];
    }
    EXPECT_EQ(seen, (QStringList{"two", "one", "two", "one"}));

    // More pages counted than stored: the missing ones are blank.
    SetPages(QStringLiteral("LineCount=3\n1.T=one\n3.t=three\n3.3=c"));
    DoubleClick();
    EXPECT_EQ(Page(), QStringList(4, QString()));
    DoubleClick();
    EXPECT_EQ(Page(), (QStringList{"three", "", "", "c"}));
    DoubleClick();
    EXPECT_EQ(Page(), (QStringList{"one", "", "", ""}));
}

TEST_F(CaptionTest, NamesSplitAtTheFirstEqualsAndNamelessLinesNeverMatch)
{
    SetPages(QStringLiteral("LineCount=2\n=junk\n2.t\n2.1\n2.t==a=b\n2.1= spaced \n2.1=later"));
    DoubleClick();
    EXPECT_EQ(Page(), (QStringList{"=a=b", " spaced ", "", ""}));
}

TEST_F(CaptionTest, BannerShowsItsTextInItsColoursOverTheTile)
{
    Caption.resize(1008, 160);
    Caption.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Caption, HangLimitMs()));
    // Page 3 has all three lines.
    DoubleClick();
    DoubleClick();
    const QImage image = Caption.grab().toImage();
    ASSERT_EQ(image.size(), QSize(1008, 160));

    EXPECT_EQ(Caption.lbTitle->pos(), QPoint(16, 12));
    EXPECT_EQ(Caption.lbLine01->pos(), QPoint(64, 55));
    EXPECT_EQ(Caption.lbLine02->pos(), QPoint(64, 86));
    EXPECT_EQ(Caption.lbLine03->pos(), QPoint(64, 117));
    EXPECT_TRUE(Caption.lbTitle->font().bold());
    EXPECT_EQ(Caption.lbTitle->font().pixelSize(), 27);
    EXPECT_EQ(Caption.lbLine01->font().pixelSize(), 21);
    EXPECT_TRUE(Shows(image, Caption.lbTitle->geometry(), Qt::white));
    for (QLabel *line : {Caption.lbLine01, Caption.lbLine02, Caption.lbLine03}) {
        EXPECT_TRUE(Shows(image, line->geometry(), Line)) << line->objectName().toStdString();
        // The labels let the tile show through around their letters.
        EXPECT_EQ(image.pixelColor(line->geometry().topLeft()), Tile);
    }
    EXPECT_EQ(image.pixelColor(1007, 159), Tile);
    EXPECT_EQ(Caption.palette().color(QPalette::Window), Banner);
    EXPECT_TRUE(Caption.autoFillBackground());

    const QString dir = qEnvironmentVariable("KB_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        image.save(dir + QStringLiteral("/caption_page3.png"));
        DoubleClick(); // page 4
        DoubleClick(); // page 5
        Caption.grab().save(dir + QStringLiteral("/caption_page5.png"));
    }
}

TEST(CaptionBitmapTileTest, TilesFromTheTopLeftWithOneMoreRowAndColumnThanFit)
{
    // The main window's banner: 5 rows fit whole, 6 are drawn; 31 columns
    // fit, 32 are drawn.
    const QList<QPoint> banner = TBitmapTile::TileOrigins(QSize(1008, 160), QSize(32, 32));
    EXPECT_EQ(banner.size(), 6 * 32);
    EXPECT_EQ(banner.first(), QPoint(0, 0));
    EXPECT_TRUE(banner.contains(QPoint(0, 160)));
    EXPECT_EQ(banner.last(), QPoint(31 * 32, 160));

    EXPECT_EQ(TBitmapTile::TileOrigins(QSize(10, 10), QSize(32, 32)), QList<QPoint>{QPoint(0, 0)});
    EXPECT_EQ(TBitmapTile::TileOrigins(QSize(33, 5), QSize(16, 8)),
              (QList<QPoint>{{0, 0}, {16, 0}, {32, 0}}));
    EXPECT_TRUE(TBitmapTile::TileOrigins(QSize(0, 160), QSize(32, 32)).isEmpty());
    EXPECT_TRUE(TBitmapTile::TileOrigins(QSize(100, 100), QSize(0, 32)).isEmpty());

    // The partly covered last column and row are drawn, clipped.
    QImage marked(32, 32, QImage::Format_RGB32);
    marked.fill(Tile);
    marked.setPixelColor(0, 0, Qt::red);
    TBitmapTile panel;
    panel.resize(70, 40);
    const QPixmap tile = QPixmap::fromImage(marked);
    panel.SetBitmap(&tile);
    const QImage image = panel.grab().toImage();
    for (const QPoint p : {QPoint(0, 0), QPoint(32, 0), QPoint(64, 0), QPoint(0, 32), QPoint(64, 32)})
        EXPECT_EQ(image.pixelColor(p), QColor(Qt::red)) << p.x() << "," << p.y();
    EXPECT_EQ(image.pixelColor(69, 39), Tile);
    EXPECT_EQ(image.pixelColor(1, 0), Tile);
}

TEST(CaptionBitmapTileTest, PictureIsBuiltOncePerSizeNotPerPaint)
{
    TBitmapTile panel;
    panel.resize(100, 50);
    const QPixmap tile = Filled(32, 32, Tile);
    panel.SetBitmap(&tile);
    EXPECT_EQ(panel.PreviewBuilds(), 0);

    panel.grab();
    panel.grab();
    panel.UpdatePreview();
    EXPECT_EQ(panel.PreviewBuilds(), 1);
    EXPECT_EQ(panel.Preview().size(), QSize(100, 50));
    EXPECT_EQ(AllOf(panel.grab().toImage(), Tile), QString());

    panel.resize(120, 50);
    EXPECT_EQ(panel.PreviewBuilds(), 1);
    panel.grab();
    panel.grab();
    EXPECT_EQ(panel.PreviewBuilds(), 2);
    EXPECT_EQ(panel.Preview().size(), QSize(120, 50));
    // One size is kept: going back builds again.
    panel.resize(100, 50);
    panel.grab();
    EXPECT_EQ(panel.PreviewBuilds(), 3);

    // The caller keeps its own bitmap; changing it later changes nothing here.
    QPixmap mine = Filled(8, 8, Qt::green);
    panel.SetBitmap(&mine);
    mine.fill(Qt::blue);
    EXPECT_EQ(panel.Bitmap().toImage().pixelColor(0, 0), QColor(Qt::green));
}

TEST(CaptionBitmapTileTest, ReplacedTileShowsAtTheNextPaintAndNoTileShowsThePanel)
{
    TBitmapTile panel;
    QPalette pal = panel.palette();
    pal.setColor(QPalette::Window, Banner);
    panel.setPalette(pal);
    panel.resize(64, 64);

    // Never a tile: nothing is built, the panel's own colour shows.
    EXPECT_EQ(AllOf(panel.grab().toImage(), Banner), QString());
    EXPECT_EQ(panel.PreviewBuilds(), 0);
    EXPECT_TRUE(panel.Preview().isNull());

    const QPixmap green = Filled(16, 16, Qt::green);
    panel.SetBitmap(&green);
    EXPECT_EQ(AllOf(panel.grab().toImage(), Qt::green), QString());
    // Same size, new tile: rebuilt at once rather than after the next resize.
    const QPixmap blue = Filled(16, 16, Qt::blue);
    panel.SetBitmap(&blue);
    EXPECT_EQ(AllOf(panel.grab().toImage(), Qt::blue), QString());
    // Drawing on the tile itself counts as a new tile as well.
    panel.Bitmap().fill(Qt::yellow);
    EXPECT_EQ(AllOf(panel.grab().toImage(), Qt::yellow), QString());
    EXPECT_EQ(panel.PreviewBuilds(), 3);

    // A tile with transparent parts shows the panel, not stale memory.
    QPixmap clear(16, 16);
    clear.fill(Qt::transparent);
    panel.SetBitmap(&clear);
    EXPECT_EQ(AllOf(panel.grab().toImage(), Banner), QString());

    // Cleared, or an empty bitmap: the last picture goes with the tile.
    const QPixmap empty;
    for (const QPixmap *none : {static_cast<const QPixmap *>(nullptr), &empty}) {
        panel.SetBitmap(&blue);
        panel.grab();
        panel.SetBitmap(none);
        EXPECT_TRUE(panel.Bitmap().isNull());
        EXPECT_TRUE(panel.Preview().isNull());
        const int builds = panel.PreviewBuilds();
        EXPECT_EQ(AllOf(panel.grab().toImage(), Banner), QString());
        EXPECT_EQ(panel.PreviewBuilds(), builds);
    }
}

TEST(CaptionBitmapTileTest, EmptyControlBuildsNothing)
{
    TBitmapTile panel;
    const QPixmap tile = Filled(32, 32, Tile);
    panel.SetBitmap(&tile);
    for (const QSize size : {QSize(0, 160), QSize(1008, 0), QSize(0, 0)}) {
        panel.resize(size);
        panel.UpdatePreview();
        panel.grab();
        EXPECT_EQ(panel.PreviewBuilds(), 0) << size.width() << "x" << size.height();
        EXPECT_TRUE(panel.Preview().isNull());
    }
    panel.resize(32, 32);
    panel.UpdatePreview();
    EXPECT_EQ(panel.PreviewBuilds(), 1);
}
