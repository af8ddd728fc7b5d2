// Properties, colour schemes and painting of TXiButton, checked on grabbed
// images.

#include "testsupport.h"
#include "xibutton.h"

#include <QFont>
#include <QImage>
#include <QMetaProperty>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class TProbeButton : public TXiButton
{
public:
    using TXiButton::TXiButton;
    void SetLook(TBtnState AState) { FBtnState = AState; }
    QImage Image() const { return PaintImage(); }
};

int Lightness(TColor AColor)
{
    return int(AColor & 0xFF) + int((AColor >> 8) & 0xFF) + int((AColor >> 16) & 0xFF);
}

TColor PixelAt(const QImage &AImage, int X, int Y)
{
    return QRgbToTColor(AImage.pixel(X, Y));
}

const char *const KColorNames[25] = {
    "ColorFace", "ColorGrad", "ColorDark", "ColorLight", "ColorBorder", "ColorText",
    "OverColorFace", "OverColorGrad", "OverColorDark", "OverColorLight", "OverColorBorder", "OverColorText",
    "DownColorFace", "DownColorGrad", "DownColorDark", "DownColorLight", "DownColorBorder", "DownColorText",
    "DisabledColorFace", "DisabledColorGrad", "DisabledColorDark", "DisabledColorLight",
    "DisabledColorBorder", "DisabledColorText", "ColorFocusRect"};

// The bounding box of the pixels of colour AColor.
QRect BoxOf(const QImage &AImage, TColor AColor)
{
    QRect box;
    for (int y = 0; y < AImage.height(); ++y)
        for (int x = 0; x < AImage.width(); ++x)
            if (PixelAt(AImage, x, y) == AColor)
                box |= QRect(x, y, 1, 1);
    return box;
}

// Pixels dark enough to be caption ink on a light face.
QRect InkBox(const QImage &AImage, QRect AInside)
{
    QRect box;
    for (int y = AInside.top(); y <= AInside.bottom(); ++y)
        for (int x = AInside.left(); x <= AInside.right(); ++x) {
            const QRgb p = AImage.pixel(x, y);
            if (qRed(p) < 110 && qGreen(p) < 110 && qBlue(p) < 110)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

QImage SolidGlyph(int AWidth, int AHeight, QColor AColor)
{
    QImage glyph(AWidth, AHeight, QImage::Format_RGB32);
    glyph.fill(AColor);
    return glyph;
}

} // namespace

TEST(XiButtonProperties, NewButtonHasNeoDesertWithWhiteGradientsOfTheOtherLooks)
{
    TXiButton button;
    EXPECT_EQ(button.ColorScheme(), TXiButton::csNeoDesert);
    EXPECT_TRUE(button.Gradient());
    EXPECT_EQ(button.ColorFace(), 0xC6ECFFu);
    EXPECT_EQ(button.ColorGrad(), 0x37BEFFu);
    EXPECT_EQ(button.OverColorGrad(), 0xFFFFFFu);
    EXPECT_EQ(button.DownColorGrad(), 0xFFFFFFu);
    EXPECT_EQ(button.DisabledColorGrad(), 0xFFFFFFu);
    EXPECT_EQ(button.ColorFocusRect(), 0x4080FFu);
    EXPECT_EQ(button.size(), QSize(75, 25));
    EXPECT_EQ(button.Spacing(), 4);
    EXPECT_TRUE(button.TabStop());
    EXPECT_TRUE(button.Ctl3D());
    EXPECT_TRUE(button.HotTrack());
    EXPECT_TRUE(button.TransparentGlyph());
    EXPECT_EQ(button.Layout(), TXiButton::blGlyphLeft);
    EXPECT_EQ(button.ModalResult(), 0);
    EXPECT_FALSE(button.Cancel());
    EXPECT_FALSE(button.Default());
    EXPECT_TRUE(button.Glyph().isNull());
}

TEST(XiButtonProperties, PublishedColourNamesFollowTheirIndexes)
{
    TXiButton button;
    for (int i = 0; i < 25; ++i) {
        const TColor value = 0x010203u * TColor(i + 1);
        ASSERT_TRUE(button.setProperty(KColorNames[i], QVariant::fromValue(value))) << KColorNames[i];
        EXPECT_EQ(button.GetColor(i), value) << KColorNames[i];
        EXPECT_EQ(button.property(KColorNames[i]).value<TColor>(), value) << KColorNames[i];
    }
    EXPECT_EQ(button.ColorScheme(), TXiButton::csCustom);
}

TEST(XiButtonProperties, AnyColourWriteMakesTheSchemeCustomAndCustomChangesNothing)
{
    TXiButton button;
    button.SetColorScheme(TXiButton::csSky);
    button.SetOverColorBorder(button.OverColorBorder());
    EXPECT_EQ(button.ColorScheme(), TXiButton::csCustom);

    TColor before[25];
    for (int i = 0; i < 25; ++i)
        before[i] = button.GetColor(i);
    button.SetColorScheme(TXiButton::csCustom);
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(button.GetColor(i), before[i]) << i;
    EXPECT_EQ(button.ColorScheme(), TXiButton::csCustom);
    EXPECT_FALSE(button.Gradient());
}

TEST(XiButtonProperties, SilverAfterNeoDesertKeepsTheGradientColours)
{
    TXiButton button;
    button.SetColorScheme(TXiButton::csSilver);
    const TColor silver[25] = {0xE0E0E0, 0x37BEFF, 0xAEAEAE, 0xF7F7F7, 0x626262, 0x000000,
                               0xCFCFCF, 0xFFFFFF, 0x797979, 0xEEEEEE, 0x757575, 0x000000,
                               0xD3D3D3, 0xFFFFFF, 0xE9E9E9, 0x7C7C7C, 0x4E4E4E, 0x000000,
                               0xE2E2E2, 0xFFFFFF, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080,
                               0x8A8A8A};
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(button.GetColor(i), silver[i]) << KColorNames[i];
    EXPECT_FALSE(button.Gradient());
    EXPECT_EQ(button.ColorScheme(), TXiButton::csSilver);
}

TEST(XiButtonProperties, NeoSchemesSetEveryColourAndPlainOnesKeepTheGradientColours)
{
    for (int s = TXiButton::csNeoDesert; s < TXiButton::csCustom; ++s) {
        const auto scheme = static_cast<TXiButton::TColorScheme>(s);
        TXiButton button;
        for (int i : {1, 7, 13, 19})
            button.SetColor(i, 0x123456);
        button.SetGradient(s >= TXiButton::csDesert);
        button.SetColorScheme(scheme);
        EXPECT_EQ(button.ColorScheme(), scheme) << s;
        const bool neo = s < TXiButton::csDesert;
        EXPECT_EQ(button.Gradient(), neo) << s;
        for (int i : {1, 7, 13, 19})
            EXPECT_EQ(button.GetColor(i) == 0x123456u, !neo) << s << " index " << i;
        // The pressed bevel is sunk: its "dark" colour is the lighter one.
        EXPECT_GT(Lightness(button.DownColorDark()), Lightness(button.DownColorLight())) << s;
    }
}

TEST(XiButtonProperties, StoredFormOrderLetsTheStoredGradientWinOverTheScheme)
{
    TXiButton button;
    button.SetColorFace(0x010101);     // a stored colour that the scheme overwrites
    button.SetColorGrad(0x020202);     // one that the scheme keeps
    button.SetColorScheme(TXiButton::csNeoSky);
    button.SetGradient(false);
    EXPECT_EQ(button.ColorFace(), 0xFFEEDDu);
    EXPECT_EQ(button.ColorGrad(), 0xFFB66Cu);
    EXPECT_FALSE(button.Gradient());
    EXPECT_EQ(button.ColorScheme(), TXiButton::csNeoSky);

    button.SetColorScheme(TXiButton::csSun);
    EXPECT_EQ(button.ColorGrad(), 0xFFB66Cu);
}

TEST(XiButtonProperties, GlyphIsCopiedFromTheCaller)
{
    TXiButton button;
    {
        QImage glyph = SolidGlyph(8, 8, Qt::red);
        button.SetGlyph(glyph);
        glyph.fill(Qt::blue);
    }
    ASSERT_EQ(button.Glyph().size(), QSize(8, 8));
    EXPECT_EQ(button.Glyph().pixelColor(3, 3), QColor(Qt::red));
}

TEST(XiButtonProperties, StoredToolBarButtonIsSilverWithItsOwnGradientColours)
{
    QWidget bar;
    TXiButton *run = NewToolBarButton(&bar, QStringLiteral("btRun"), QStringLiteral("Run"),
                                      84, 4, false);
    EXPECT_EQ(run->parentWidget(), &bar);
    EXPECT_EQ(run->objectName(), QStringLiteral("btRun"));
    EXPECT_EQ(run->geometry(), QRect(84, 4, 75, 25));
    EXPECT_EQ(run->Caption(), QStringLiteral("Run"));
    EXPECT_EQ(run->ColorScheme(), TXiButton::csSilver);
    EXPECT_EQ(run->ColorFace(), 0xE0E0E0u);
    EXPECT_EQ(run->ColorGrad(), 0xFFB66Cu);
    EXPECT_EQ(run->OverColorGrad(), 0xFFA346u);
    EXPECT_EQ(run->DownColorGrad(), 0xFFCE9Du);
    EXPECT_EQ(run->DisabledColorGrad(), 0xFFFFFFu);
    EXPECT_FALSE(run->Gradient());
    EXPECT_TRUE(run->HotTrack());
    EXPECT_FALSE(run->TabStop());
    EXPECT_EQ(run->focusPolicy(), Qt::NoFocus);

    TXiButton *home = NewToolBarButton(&bar, QStringLiteral("btHome"), QStringLiteral("Home"),
                                       3, 3, true);
    EXPECT_TRUE(home->TabStop());
}

TEST(XiButtonPainting, FrameAndBevelLeaveOutTheLineEndPoints)
{
    TProbeButton button;
    button.SetColorScheme(TXiButton::csSilver);
    const QImage image = button.grab().toImage();
    ASSERT_EQ(image.size(), QSize(75, 25));
    const TColor border = 0x626262, light = 0xF7F7F7, dark = 0xAEAEAE, face = 0xE0E0E0;

    for (QPoint p : {QPoint(0, 0), QPoint(74, 0), QPoint(0, 24), QPoint(74, 24), QPoint(37, 0),
                     QPoint(37, 24), QPoint(0, 12), QPoint(74, 12)})
        EXPECT_EQ(PixelAt(image, p.x(), p.y()), border) << p.x() << "," << p.y();
    // Light: up the left from (1,23) and along the top to (72,1).
    for (QPoint p : {QPoint(1, 1), QPoint(1, 2), QPoint(1, 23), QPoint(40, 1), QPoint(72, 1)})
        EXPECT_EQ(PixelAt(image, p.x(), p.y()), light) << p.x() << "," << p.y();
    // Dark: down the right from (73,1) to (73,22), then back along row 23 to x 2.
    for (QPoint p : {QPoint(73, 1), QPoint(73, 22), QPoint(73, 23), QPoint(40, 23), QPoint(2, 23)})
        EXPECT_EQ(PixelAt(image, p.x(), p.y()), dark) << p.x() << "," << p.y();
    EXPECT_EQ(PixelAt(image, 2, 2), face);
    EXPECT_EQ(PixelAt(image, 72, 22), face);

    button.SetCtl3D(false);
    const QImage flat = button.grab().toImage();
    EXPECT_EQ(PixelAt(flat, 1, 1), face);
    EXPECT_EQ(PixelAt(flat, 73, 23), face);
    EXPECT_EQ(PixelAt(flat, 0, 0), border);
}

TEST(XiButtonPainting, GradientRowsFollowTheRunningSumRoundedHalfToEven)
{
    TProbeButton button;
    button.SetCtl3D(false);
    button.SetColorFace(0x000000);
    button.SetColorGrad(0x0000FF);
    button.SetGradient(true);
    QImage image = button.grab().toImage();
    // Rows 0 and 24 lie under the frame; 10.2 per row in between.
    const int red[] = {-1, 10, 20, 31, 41, 51};
    for (int y = 1; y <= 5; ++y)
        EXPECT_EQ(PixelAt(image, 30, y), TColor(red[y])) << y;
    EXPECT_EQ(PixelAt(image, 30, 23), 235u);
    EXPECT_EQ(PixelAt(image, 1, 12), PixelAt(image, 73, 12));

    // Red 0 to 5 over 4 rows: 1.25 a row, so row 2 holds 2.5, which goes to 2.
    button.resize(10, 4);
    button.SetColorGrad(0x000005);
    image = button.grab().toImage();
    EXPECT_EQ(PixelAt(image, 5, 1), 1u);
    EXPECT_EQ(PixelAt(image, 5, 2), 2u);

    // Every look has its own pair: the pressed look runs face to DownColorGrad.
    button.resize(75, 25);
    button.SetDownColorFace(0x000000);
    button.SetDownColorGrad(0xFF0000);
    button.SetLook(TXiButton::bsDown);
    image = button.grab().toImage();
    EXPECT_EQ(PixelAt(image, 30, 2), 0x140000u);
}

TEST(XiButtonPainting, FocusRectangleRunsThroughColumns3And71AndRows3And21)
{
    QWidget form;
    form.resize(120, 60);
    TProbeButton button(&form);
    button.move(10, 10);
    button.SetColorScheme(TXiButton::csSilver);
    button.SetColorFocusRect(0x00FF00);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form, HangLimitMs()));
    button.setFocus();
    ASSERT_TRUE(button.hasFocus());

    const QImage image = button.grab().toImage();
    EXPECT_EQ(BoxOf(image, 0x00FF00), QRect(QPoint(3, 3), QPoint(71, 21)));
    for (QPoint p : {QPoint(3, 3), QPoint(71, 3), QPoint(3, 21), QPoint(71, 21), QPoint(30, 3),
                     QPoint(3, 12), QPoint(71, 12), QPoint(30, 21)})
        EXPECT_EQ(PixelAt(image, p.x(), p.y()), 0x00FF00u) << p.x() << "," << p.y();
    EXPECT_NE(PixelAt(image, 4, 4), 0x00FF00u);

    button.clearFocus();
    EXPECT_TRUE(BoxOf(button.grab().toImage(), 0x00FF00).isEmpty());
}

TEST(XiButtonPainting, GlyphPlacementOfTheLeftLayoutWithEvenAndOddWidths)
{
    const QSize button(75, 25);
    const QSize caption(30, 16);
    TXiButtonPlacement even = XiButtonPlacement(button, caption, QSize(16, 16),
                                                TXiButton::blGlyphLeft, 4, true, false);
    EXPECT_EQ(even.GlyphPos, QPoint(12, 4));
    EXPECT_EQ(even.TextRect.left(), 32); // 4 pixels after the glyph's last column 27

    TXiButtonPlacement odd = XiButtonPlacement(button, caption, QSize(15, 16),
                                               TXiButton::blGlyphLeft, 4, true, false);
    EXPECT_EQ(odd.GlyphPos.x(), 13);
    EXPECT_EQ(odd.TextRect.left(), 31); // 3 pixels after the glyph's last column 27

    TXiButtonPlacement down = XiButtonPlacement(button, caption, QSize(16, 16),
                                                TXiButton::blGlyphLeft, 4, true, true);
    EXPECT_EQ(down.GlyphPos, QPoint(13, 5));
    EXPECT_EQ(down.TextRect, QRect(33, 5, 30, 16));
}

TEST(XiButtonPainting, GlyphPlacementOfTheOtherLayoutsKeepsSpacingBetweenThem)
{
    const QSize caption(30, 16);
    TXiButtonPlacement right = XiButtonPlacement(QSize(75, 25), caption, QSize(16, 16),
                                                 TXiButton::blGlyphRight, 4, true, false);
    EXPECT_EQ(right.GlyphPos, QPoint(46, 4));
    EXPECT_EQ(right.TextRect.left(), 12); // caption 12..41, glyph from 46

    TXiButtonPlacement top = XiButtonPlacement(QSize(75, 60), caption, QSize(16, 16),
                                               TXiButton::blGlyphTop, 4, true, false);
    EXPECT_EQ(top.GlyphPos, QPoint(29, 12));
    EXPECT_EQ(top.TextRect.top(), 32);

    // An odd height moves the glyph up by the extra pixel, not the caption.
    TXiButtonPlacement topOdd = XiButtonPlacement(QSize(75, 60), caption, QSize(16, 15),
                                                  TXiButton::blGlyphTop, 4, true, false);
    EXPECT_EQ(topOdd.GlyphPos.y(), 12);
    EXPECT_EQ(topOdd.TextRect.top(), 31);

    TXiButtonPlacement bottom = XiButtonPlacement(QSize(75, 60), caption, QSize(16, 16),
                                                  TXiButton::blGlyphBottom, 4, true, false);
    EXPECT_EQ(bottom.GlyphPos, QPoint(29, 32));
    EXPECT_EQ(bottom.TextRect.top(), 12);

    // Odd spacing: the glyph takes the odd pixel.
    TXiButtonPlacement oddSpacing = XiButtonPlacement(QSize(75, 25), caption, QSize(16, 16),
                                                      TXiButton::blGlyphLeft, 5, true, false);
    EXPECT_EQ(oddSpacing.GlyphPos.x(), 11);
    EXPECT_EQ(oddSpacing.TextRect.left(), 32);

    // Without a caption the spacing plays no part and the glyph is centred.
    TXiButtonPlacement alone = XiButtonPlacement(QSize(75, 25), QSize(0, 0), QSize(16, 16),
                                                 TXiButton::blGlyphTop, 4, false, false);
    EXPECT_EQ(alone.GlyphPos, QPoint(29, 4));
}

TEST(XiButtonPainting, GlyphIsDrawnWhereItIsPlacedWithItsCornerColourTransparent)
{
    TProbeButton button;
    button.SetColorScheme(TXiButton::csSilver);
    QImage glyph = SolidGlyph(16, 16, QColor(0, 0, 255));
    for (int x = 0; x < 16; ++x)
        glyph.setPixelColor(x, 0, QColor(255, 0, 255)); // the top row is the transparent colour
    button.SetGlyph(glyph);

    QImage image = button.grab().toImage();
    EXPECT_EQ(BoxOf(image, 0xFF0000), QRect(29, 5, 16, 15)); // blue, top row left out
    EXPECT_TRUE(BoxOf(image, 0xFF00FF).isEmpty());
    EXPECT_EQ(PixelAt(image, 35, 4), 0xE0E0E0u);

    button.SetTransparentGlyph(false);
    image = button.grab().toImage();
    EXPECT_EQ(BoxOf(image, 0xFF00FF), QRect(29, 4, 16, 1));

    // An odd width: centred on textX - half(gw).
    button.SetGlyph(SolidGlyph(15, 16, QColor(0, 0, 255)));
    button.SetTransparentGlyph(false);
    EXPECT_EQ(BoxOf(button.grab().toImage(), 0xFF0000), QRect(30, 4, 15, 16));
}

TEST(XiButtonPainting, DisabledButtonPressedUsesDisabledColoursAndStillShifts)
{
    TProbeButton button;
    button.SetColorScheme(TXiButton::csSky);
    button.SetGlyph(SolidGlyph(16, 16, QColor(0, 0, 255)));
    button.SetTransparentGlyph(false);
    button.setEnabled(false);
    button.SetLook(TXiButton::bsDown);

    const QImage image = button.grab().toImage();
    EXPECT_EQ(PixelAt(image, 0, 0), 0xC4C4C4u);   // DisabledColorBorder
    EXPECT_EQ(PixelAt(image, 1, 1), 0xEAEAEAu);   // DisabledColorLight
    EXPECT_EQ(PixelAt(image, 73, 10), 0xD8D8D8u); // DisabledColorDark
    EXPECT_EQ(PixelAt(image, 5, 10), 0xE2E2E2u);  // DisabledColorFace
    EXPECT_EQ(BoxOf(image, 0xFF0000), QRect(30, 5, 16, 16));

    button.setEnabled(true);
    const QImage pressed = button.grab().toImage();
    EXPECT_EQ(PixelAt(pressed, 5, 10), 0xFFC082u); // DownColorFace
    EXPECT_EQ(PixelAt(pressed, 1, 1), 0xFF9122u);  // DownColorLight, the darker one
}

TEST(XiButtonPainting, CaptionIsCentredInTheTextColourWithAnUnderlinedMnemonic)
{
    TProbeButton button;
    button.SetColorScheme(TXiButton::csSilver);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    button.setFont(font);
    const QRect inside(3, 3, 69, 19);

    button.SetCaption(QStringLiteral("Run"));
    const QRect plain = InkBox(button.grab().toImage(), inside);
    ASSERT_FALSE(plain.isEmpty());
    EXPECT_LE(qAbs((plain.left() + plain.right()) - 74), 3); // centred across 75 pixels
    EXPECT_LE(qAbs((plain.top() + plain.bottom()) - 24), 4);

    button.SetCaption(QStringLiteral("&Run"));
    const QRect mnemonic = InkBox(button.grab().toImage(), inside);
    // The ampersand is not drawn: the ink is as wide as before ...
    EXPECT_LE(qAbs(mnemonic.width() - plain.width()), 2);
    // ... and the R is underlined below the baseline.
    EXPECT_GT(mnemonic.bottom(), plain.bottom());

    button.SetCaption(QStringLiteral("R&&D"));
    const QRect ampersand = InkBox(button.grab().toImage(), inside);
    button.SetCaption(QStringLiteral("R&D"));
    EXPECT_GT(ampersand.width(), InkBox(button.grab().toImage(), inside).width());

    // Pressed: one pixel right and down.
    button.SetCaption(QStringLiteral("Run"));
    button.SetDownColorFace(button.ColorFace());
    button.SetLook(TXiButton::bsDown);
    EXPECT_EQ(InkBox(button.grab().toImage(), inside), plain.translated(1, 1));
}

TEST(XiButtonPainting, DegenerateSizesPaintWithoutFailing)
{
    TProbeButton button;
    button.SetCaption(QStringLiteral("Run"));
    button.SetGlyph(SolidGlyph(16, 16, Qt::blue));
    for (QSize size : {QSize(75, 0), QSize(0, 25), QSize(1, 1), QSize(2, 2), QSize(5, 3)}) {
        button.resize(size);
        const QImage image = button.Image();
        EXPECT_EQ(image.isNull(), size.isEmpty());
        if (!size.isEmpty()) {
            EXPECT_EQ(image.size(), size);
        }
        button.grab();
    }
}
