#pragma once

#include "foundation_export.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>

// The form framework's colour: $00BBGGRR, red in the low byte.
using TColor = quint32;
using TModalResult = int;

inline QColor TColorToQColor(TColor AColor)
{
    return QColor(AColor & 0xFF, (AColor >> 8) & 0xFF, (AColor >> 16) & 0xFF);
}

inline TColor QRgbToTColor(QRgb ARgb)
{
    return TColor(qRed(ARgb)) | (TColor(qGreen(ARgb)) << 8) | (TColor(qBlue(ARgb)) << 16);
}

class TDialogKeyEvent;

// The system's push button: paints every pixel itself, through one off-screen
// image per paint, in the six colours of its current look (normal, pointer
// over, pressed, disabled), with an optional glyph beside the caption and an
// optional vertical gradient. Twelve named schemes set the colours at once.
// Space and Enter press it; Enter (focused or Default), Esc (Cancel) and the
// caption's accelerator reach it through its window's TDialogKeys; every
// press hands the containing window the button's ModalResult before OnClick.
class FOUNDATION_EXPORT TXiButton : public QWidget
{
    Q_OBJECT

public:
    enum TBtnState { bsNormal, bsOver, bsDown };
    Q_ENUM(TBtnState)
    enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
    Q_ENUM(TButtonLayout)
    enum TColorScheme {
        csNeoDesert, csNeoSky, csNeoGrass, csNeoSilver, csNeoRose, csNeoSun,
        csDesert, csGrass, csSky, csSun, csRose, csSilver,
        csCustom
    };
    Q_ENUM(TColorScheme)

    // The 25 colours, in the order of their indexes.
    Q_PROPERTY(TColor ColorFace READ ColorFace WRITE SetColorFace)
    Q_PROPERTY(TColor ColorGrad READ ColorGrad WRITE SetColorGrad)
    Q_PROPERTY(TColor ColorDark READ ColorDark WRITE SetColorDark)
    Q_PROPERTY(TColor ColorLight READ ColorLight WRITE SetColorLight)
    Q_PROPERTY(TColor ColorBorder READ ColorBorder WRITE SetColorBorder)
    Q_PROPERTY(TColor ColorText READ ColorText WRITE SetColorText)
    Q_PROPERTY(TColor OverColorFace READ OverColorFace WRITE SetOverColorFace)
    Q_PROPERTY(TColor OverColorGrad READ OverColorGrad WRITE SetOverColorGrad)
    Q_PROPERTY(TColor OverColorDark READ OverColorDark WRITE SetOverColorDark)
    Q_PROPERTY(TColor OverColorLight READ OverColorLight WRITE SetOverColorLight)
    Q_PROPERTY(TColor OverColorBorder READ OverColorBorder WRITE SetOverColorBorder)
    Q_PROPERTY(TColor OverColorText READ OverColorText WRITE SetOverColorText)
    Q_PROPERTY(TColor DownColorFace READ DownColorFace WRITE SetDownColorFace)
    Q_PROPERTY(TColor DownColorGrad READ DownColorGrad WRITE SetDownColorGrad)
    Q_PROPERTY(TColor DownColorDark READ DownColorDark WRITE SetDownColorDark)
    Q_PROPERTY(TColor DownColorLight READ DownColorLight WRITE SetDownColorLight)
    Q_PROPERTY(TColor DownColorBorder READ DownColorBorder WRITE SetDownColorBorder)
    Q_PROPERTY(TColor DownColorText READ DownColorText WRITE SetDownColorText)
    Q_PROPERTY(TColor DisabledColorFace READ DisabledColorFace WRITE SetDisabledColorFace)
    Q_PROPERTY(TColor DisabledColorGrad READ DisabledColorGrad WRITE SetDisabledColorGrad)
    Q_PROPERTY(TColor DisabledColorDark READ DisabledColorDark WRITE SetDisabledColorDark)
    Q_PROPERTY(TColor DisabledColorLight READ DisabledColorLight WRITE SetDisabledColorLight)
    Q_PROPERTY(TColor DisabledColorBorder READ DisabledColorBorder WRITE SetDisabledColorBorder)
    Q_PROPERTY(TColor DisabledColorText READ DisabledColorText WRITE SetDisabledColorText)
    Q_PROPERTY(TColor ColorFocusRect READ ColorFocusRect WRITE SetColorFocusRect)

    Q_PROPERTY(TColorScheme ColorScheme READ ColorScheme WRITE SetColorScheme)
    Q_PROPERTY(bool Ctl3D READ Ctl3D WRITE SetCtl3D)
    Q_PROPERTY(TButtonLayout Layout READ Layout WRITE SetLayout)
    Q_PROPERTY(QImage Glyph READ Glyph WRITE SetGlyph)
    Q_PROPERTY(int Spacing READ Spacing WRITE SetSpacing)
    Q_PROPERTY(bool TransparentGlyph READ TransparentGlyph WRITE SetTransparentGlyph)
    Q_PROPERTY(bool Gradient READ Gradient WRITE SetGradient)
    Q_PROPERTY(bool HotTrack READ HotTrack WRITE SetHotTrack)
    Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool Default READ Default WRITE SetDefault)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
    Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)

    explicit TXiButton(QWidget *AOwner = nullptr);
    ~TXiButton() override;

    // Colour by property index (0 ColorFace ... 24 ColorFocusRect). Writing
    // one makes ColorScheme read csCustom and repaints later.
    TColor GetColor(int AIndex) const;
    void SetColor(int AIndex, TColor AValue);

    TColor ColorFace() const { return GetColor(0); }
    void SetColorFace(TColor AValue) { SetColor(0, AValue); }
    TColor ColorGrad() const { return GetColor(1); }
    void SetColorGrad(TColor AValue) { SetColor(1, AValue); }
    TColor ColorDark() const { return GetColor(2); }
    void SetColorDark(TColor AValue) { SetColor(2, AValue); }
    TColor ColorLight() const { return GetColor(3); }
    void SetColorLight(TColor AValue) { SetColor(3, AValue); }
    TColor ColorBorder() const { return GetColor(4); }
    void SetColorBorder(TColor AValue) { SetColor(4, AValue); }
    TColor ColorText() const { return GetColor(5); }
    void SetColorText(TColor AValue) { SetColor(5, AValue); }
    TColor OverColorFace() const { return GetColor(6); }
    void SetOverColorFace(TColor AValue) { SetColor(6, AValue); }
    TColor OverColorGrad() const { return GetColor(7); }
    void SetOverColorGrad(TColor AValue) { SetColor(7, AValue); }
    TColor OverColorDark() const { return GetColor(8); }
    void SetOverColorDark(TColor AValue) { SetColor(8, AValue); }
    TColor OverColorLight() const { return GetColor(9); }
    void SetOverColorLight(TColor AValue) { SetColor(9, AValue); }
    TColor OverColorBorder() const { return GetColor(10); }
    void SetOverColorBorder(TColor AValue) { SetColor(10, AValue); }
    TColor OverColorText() const { return GetColor(11); }
    void SetOverColorText(TColor AValue) { SetColor(11, AValue); }
    TColor DownColorFace() const { return GetColor(12); }
    void SetDownColorFace(TColor AValue) { SetColor(12, AValue); }
    TColor DownColorGrad() const { return GetColor(13); }
    void SetDownColorGrad(TColor AValue) { SetColor(13, AValue); }
    TColor DownColorDark() const { return GetColor(14); }
    void SetDownColorDark(TColor AValue) { SetColor(14, AValue); }
    TColor DownColorLight() const { return GetColor(15); }
    void SetDownColorLight(TColor AValue) { SetColor(15, AValue); }
    TColor DownColorBorder() const { return GetColor(16); }
    void SetDownColorBorder(TColor AValue) { SetColor(16, AValue); }
    TColor DownColorText() const { return GetColor(17); }
    void SetDownColorText(TColor AValue) { SetColor(17, AValue); }
    TColor DisabledColorFace() const { return GetColor(18); }
    void SetDisabledColorFace(TColor AValue) { SetColor(18, AValue); }
    TColor DisabledColorGrad() const { return GetColor(19); }
    void SetDisabledColorGrad(TColor AValue) { SetColor(19, AValue); }
    TColor DisabledColorDark() const { return GetColor(20); }
    void SetDisabledColorDark(TColor AValue) { SetColor(20, AValue); }
    TColor DisabledColorLight() const { return GetColor(21); }
    void SetDisabledColorLight(TColor AValue) { SetColor(21, AValue); }
    TColor DisabledColorBorder() const { return GetColor(22); }
    void SetDisabledColorBorder(TColor AValue) { SetColor(22, AValue); }
    TColor DisabledColorText() const { return GetColor(23); }
    void SetDisabledColorText(TColor AValue) { SetColor(23, AValue); }
    TColor ColorFocusRect() const { return GetColor(24); }
    void SetColorFocusRect(TColor AValue) { SetColor(24, AValue); }

    TColorScheme ColorScheme() const { return FColorScheme; }
    void SetColorScheme(TColorScheme AValue);
    bool Ctl3D() const { return FCtl3D; }
    void SetCtl3D(bool AValue);
    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout AValue);
    QImage Glyph() const { return FGlyph; }
    void SetGlyph(const QImage &AValue);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int AValue);
    bool TransparentGlyph() const { return FTransparentGlyph; }
    void SetTransparentGlyph(bool AValue);
    bool Gradient() const { return FGradient; }
    void SetGradient(bool AValue);
    bool HotTrack() const { return FHotTrack; }
    void SetHotTrack(bool AValue) { FHotTrack = AValue; }
    bool Cancel() const { return FCancel; }
    void SetCancel(bool AValue) { FCancel = AValue; }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString &AValue);
    bool Default() const { return FDefault; }
    // Only stored: the routing asks the buttons afresh at every key, so the
    // window needs no notice of a new default button.
    void SetDefault(bool AValue) { FDefault = AValue; }
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult AValue) { FModalResult = AValue; }
    // Whether Tab and a mouse press give the button the focus; SetFocus does
    // either way.
    bool TabStop() const;
    void SetTabStop(bool AValue);

    // Visible and enabled, with every parent.
    bool CanFocus() const;

    // A press: the containing window's ModalResult, the released look at
    // once, then OnClick.
    Q_INVOKABLE virtual void Click();

    QSize sizeHint() const override;

signals:
    void OnClick();
    void OnMouseDown(Qt::MouseButton AButton, Qt::KeyboardModifiers AShift, int X, int Y);
    void OnMouseMove(Qt::MouseButtons AButtons, Qt::KeyboardModifiers AShift, int X, int Y);
    void OnMouseUp(Qt::MouseButton AButton, Qt::KeyboardModifiers AShift, int X, int Y);

protected:
    TBtnState FBtnState = bsNormal;

    // The whole button in its current look, as the screen gets it.
    QImage PaintImage() const;

    bool event(QEvent *AEvent) override;
    void paintEvent(QPaintEvent *AEvent) override;
    void changeEvent(QEvent *AEvent) override;
    void showEvent(QShowEvent *AEvent) override;
    void enterEvent(QEnterEvent *AEvent) override;
    void leaveEvent(QEvent *AEvent) override;
    void mousePressEvent(QMouseEvent *AEvent) override;
    void mouseDoubleClickEvent(QMouseEvent *AEvent) override;
    void mouseMoveEvent(QMouseEvent *AEvent) override;
    void mouseReleaseEvent(QMouseEvent *AEvent) override;
    void focusInEvent(QFocusEvent *AEvent) override;
    void focusOutEvent(QFocusEvent *AEvent) override;
    void keyPressEvent(QKeyEvent *AEvent) override;
    void keyReleaseEvent(QKeyEvent *AEvent) override;

private:
    struct TLook
    {
        TColor Face, Grad, Border, Light, Dark, Text;
    };
    TLook CurrentLook() const;
    void PaintGradient(QPainter &ACanvas, TColor AFrom, TColor ATo) const;
    void MouseEnter();
    void MouseLeave();
    // A press; the second press of a double-click shows the pressed look
    // but clicks nothing on its release, so a double-click clicks once.
    void MousePress(QMouseEvent *AEvent, bool ADouble);
    bool DialogKey(const TDialogKeyEvent &AEvent);
    bool DialogChar(const TDialogKeyEvent &AEvent);

    TColor FColorFace = 0, FColorGrad = 0, FColorBorder = 0, FColorLight = 0, FColorDark = 0,
           FColorText = 0;
    TColor FOverColorFace = 0, FOverColorGrad = 0, FOverColorBorder = 0, FOverColorLight = 0,
           FOverColorDark = 0, FOverColorText = 0;
    TColor FDownColorFace = 0, FDownColorGrad = 0, FDownColorBorder = 0, FDownColorLight = 0,
           FDownColorDark = 0, FDownColorText = 0;
    TColor FDisabledColorFace = 0, FDisabledColorGrad = 0, FDisabledColorBorder = 0,
           FDisabledColorLight = 0, FDisabledColorDark = 0, FDisabledColorText = 0;
    TColor FColorFocusRect = 0;
    bool FFocused = false;
    TColorScheme FColorScheme = csNeoDesert;
    bool FCtl3D = false;
    TButtonLayout FLayout = blGlyphLeft;
    QImage FGlyph;
    bool FTransparentGlyph = false;
    bool FGradient = false;
    int FSpacing = 0;
    TModalResult FModalResult = 0;
    bool FCancel = false;
    bool FDefault = false;
    bool FHotTrack = false;
    bool FClicked = false;
    QString FCaption;

    // What the platform's window manager would track for us: a left press
    // that a release over the button turns into a click, and whether the
    // pointer is over the button (Qt reports no leave or enter while a mouse
    // button is held, so moves made then are turned into them).
    bool FClickPending = false;
    bool FPointerInside = false;
};

using TBtnState = TXiButton::TBtnState;
using TButtonLayout = TXiButton::TButtonLayout;
using TColorScheme = TXiButton::TColorScheme;

// Where a button of size AButton puts its glyph and its caption rectangle,
// given the caption's extent AText (width and height as measured) and the
// glyph's size AGlyph (empty for no glyph).
struct TXiButtonPlacement
{
    QPoint GlyphPos;
    QRect TextRect;
};
FOUNDATION_EXPORT TXiButtonPlacement XiButtonPlacement(QSize AButton, QSize AText, QSize AGlyph,
                                                       TXiButton::TButtonLayout ALayout,
                                                       int ASpacing, bool AHasCaption, bool ADown);

// One of the system's stored tool-bar buttons: 75 x 25 at ALeft, ATop, csSilver with
// the gradient off (its four gradient colours as stored: $FFB66C, $FFA346,
// $FFCE9D, $FFFFFF), bevel on, glyph left with spacing 4, hot tracking on.
FOUNDATION_EXPORT TXiButton *NewToolBarButton(QWidget *AParent, const QString &AName,
                                              const QString &ACaption, int ALeft, int ATop,
                                              bool ATabStop);
