#pragma once

// The engine's own controls: the simulated board's pins, the LED and the
// dial, and the factory behind CreateObject.

#include "scripthost_export.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QWidget>
#include <array>

// The level of every pin of the simulated board of one module window. Lives
// on the user-interface thread as a child of the window, so that the window's
// LEDs, made before its engine, and the engine find the same board.
class SCRIPTHOST_EXPORT TPinBoard : public QObject
{
    Q_OBJECT

public:
    // Digital pins 0 to 13 and the analogue pins A0 to A5 as 14 to 19.
    static constexpr int PinCount = 20;
    static constexpr int GND = -1;
    static constexpr int NoPin = -2;

    // The board of AOwner, made on first use.
    static TPinBoard *For(QObject *AOwner);

    bool IsHigh(int APin) const;
    void SetLevel(int APin, bool AHigh);
    // Every pin back to LOW (a new run powers the board up afresh).
    void Reset();

signals:
    void Changed();

private:
    explicit TPinBoard(QObject *AOwner);
    std::array<bool, PinCount> FHigh{};
};

// A 5 mm LED seen from above. It lights in its colour while its plus pin is
// HIGH and its minus pin is not (current flows from plus to minus).
class SCRIPTHOST_EXPORT TLED : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int plus READ GetPlus WRITE SetPlus)
    Q_PROPERTY(int minus READ GetMinus WRITE SetMinus)
    Q_PROPERTY(QColor Color READ GetColor WRITE SetColor)
    Q_PROPERTY(bool Lit READ IsLit)

public:
    TLED(TPinBoard *ABoard, const QColor &AColor);

    int GetPlus() const { return FPlus; }
    void SetPlus(int APin);
    int GetMinus() const { return FMinus; }
    void SetMinus(int APin);
    QColor GetColor() const { return FColor; }
    void SetColor(const QColor &AColor);
    bool IsLit() const;

    QSize sizeHint() const override { return {32, 32}; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    TPinBoard *FBoard;
    QColor FColor;
    int FPlus = TPinBoard::NoPin;
    int FMinus = TPinBoard::NoPin;
};

// A rotary knob over a gauge face. Position 0..100 maps linearly onto the
// angles MinAngle..MaxAngle, in tenths of a degree clockwise from straight
// down. The learner turns it by dragging, with the wheel and the arrow keys.
class SCRIPTHOST_EXPORT TDial : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int Position READ GetPosition WRITE SetPosition NOTIFY PositionChanged)
    Q_PROPERTY(int MinAngle READ GetMinAngle WRITE SetMinAngle)
    Q_PROPERTY(int MaxAngle READ GetMaxAngle WRITE SetMaxAngle)

public:
    TDial(int AMinAngle, int AMaxAngle, const QImage &AFace);

    int GetPosition() const { return FPosition; }
    void SetPosition(int APosition);
    int GetMinAngle() const { return FMinAngle; }
    void SetMinAngle(int A);
    int GetMaxAngle() const { return FMaxAngle; }
    void SetMaxAngle(int A);

    // The angle (tenths of a degree, clockwise from down) that APosition shows.
    double AngleOf(double APosition) const;
    // The position nearest to the direction of APoint seen from the centre.
    int PositionAt(const QPointF &APoint) const;

    QSize sizeHint() const override { return {120, 120}; }

signals:
    void PositionChanged(int APosition);

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseMoveEvent(QMouseEvent *) override;
    void wheelEvent(QWheelEvent *) override;
    void keyPressEvent(QKeyEvent *) override;

private:
    void PaintFace(QPainter &P, const QRectF &R) const;

    QImage FFace;
    int FMinAngle;
    int FMaxAngle;
    int FPosition = 0;
    int FWheelRest = 0;
};

// Makes the control AClassName names ("TLED" or "TDial", in any case) with
// its "Name=Value; ..." parameters, owned by AOwner; null for another name.
QWidget *CreateControl(QObject *AOwner, const QString &AClassName, const QString &AParams, const QImage *APicture);
