#pragma once

// Stand-ins with the script vocabulary of the game's and the lessons'
// objects (names, types, read or write access), so that the shipped programs
// run here as they run against the real windows.
#include <QApplication>
#include <QObject>
#include <QThread>
#include <QWidget>
#include <atomic>

class TStandInSprite : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int Left READ GetLeft WRITE SetLeft)
    Q_PROPERTY(int Top READ GetTop WRITE SetTop)
    Q_PROPERTY(int Width READ GetWidth WRITE SetWidth)
    Q_PROPERTY(int Height READ GetHeight WRITE SetHeight)
    Q_PROPERTY(bool Visible READ GetVisible WRITE SetVisible)
    Q_PROPERTY(bool Active READ GetActive)
    Q_PROPERTY(bool IsOutOfScreen READ GetIsOutOfScreen)
    Q_PROPERTY(int Right READ GetRight WRITE SetRight)
    Q_PROPERTY(int Bottom READ GetBottom WRITE SetBottom)

public:
    TStandInSprite(QWidget *AParent, int AWidth, int AHeight) : QWidget(AParent) { resize(AWidth, AHeight); }

    int GetLeft() const { Touch(); return x(); }
    void SetLeft(int V) { Touch(); move(V, y()); }
    int GetTop() const { Touch(); return y(); }
    void SetTop(int V) { Touch(); move(x(), V); }
    int GetWidth() const { Touch(); return width(); }
    void SetWidth(int V) { Touch(); resize(V, height()); }
    int GetHeight() const { Touch(); return height(); }
    void SetHeight(int V) { Touch(); resize(width(), V); }
    bool GetVisible() const { Touch(); return FVisible; }
    void SetVisible(bool V) { Touch(); FVisible = V; }
    bool GetActive() const { Touch(); return FActive; }
    bool GetIsOutOfScreen() const
    {
        Touch();
        return !parentWidget() || !QRect(0, 0, parentWidget()->width(), parentWidget()->height()).intersects(geometry());
    }
    int GetRight() const { return x() + width(); }
    void SetRight(int V) { move(V - width(), y()); }
    int GetBottom() const { return y() + height(); }
    void SetBottom(int V) { move(x(), V - height()); }

    Q_INVOKABLE void Start(int ARepeatCount) { Touch(); FActive = true; Starts << ARepeatCount; }
    Q_INVOKABLE void Stop() { Touch(); FActive = false; ++Stops; }
    Q_INVOKABLE bool CheckCollision(TStandInSprite *ASprite) const
    {
        Touch();
        return ASprite && FVisible && ASprite->FVisible && geometry().intersects(ASprite->geometry());
    }

    QList<int> Starts;
    int Stops = 0;
    mutable bool WrongThread = false;

private:
    void Touch() const { WrongThread |= QThread::currentThread() != qApp->thread(); }
    bool FVisible = false;
    bool FActive = false;
};

// The play field: Right and Bottom over the panel's Width and Height.
class TStandInScreen : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int Width READ GetWidth)
    Q_PROPERTY(int Height READ GetHeight)
    Q_PROPERTY(int Right READ GetWidth)
    Q_PROPERTY(int Bottom READ GetHeight)

public:
    using QWidget::QWidget;
    int GetWidth() const { return width(); }
    int GetHeight() const { return height(); }
};

// The asteroid field: records what the program asks of it; CheckCollision
// hits the sprite named in HitNext once.
class TStandInAsteroids : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Interval READ GetInterval WRITE SetInterval)

public:
    using QObject::QObject;
    Q_INVOKABLE void Start() { ++Starts; }
    Q_INVOKABLE void Stop() { ++Stops; }
    Q_INVOKABLE void Move(int APixel) { Moved += APixel; }
    Q_INVOKABLE bool CheckCollision(TStandInSprite *ASprite)
    {
        WrongArgument |= ASprite == nullptr;
        if (ASprite && ASprite == HitNext) {
            HitNext = nullptr;
            return true;
        }
        return false;
    }
    int GetInterval() const { return FInterval; }
    void SetInterval(int V) { FInterval = V; }

    int Starts = 0;
    int Stops = 0;
    int Moved = 0;
    bool WrongArgument = false;
    TStandInSprite *HitNext = nullptr;

private:
    int FInterval = 0;
};

class TStandInGameFunctions : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit TStandInGameFunctions(QObject *AParent = nullptr) : QObject(AParent) {}
    Q_INVOKABLE void soundFire() { ++Fires; }
    Q_INVOKABLE void soundBoom() { ++Booms; }

    static inline std::atomic<int> Fires{0};
    static inline std::atomic<int> Booms{0};
};

class TStandInLabel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ GetCaption WRITE SetCaption)

public:
    using QWidget::QWidget;
    QString GetCaption() const { return FCaption; }
    void SetCaption(const QString &V) { FCaption = V; }

private:
    QString FCaption;
};
