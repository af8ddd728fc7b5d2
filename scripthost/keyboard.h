#pragma once

#include <QObject>
#include <atomic>

// Which of the game keys are held down while a window of the application is
// active: arrow up, arrow down and Space. Watches every key event of the
// application; read from any thread.
class TKeyboardState : public QObject
{
    Q_OBJECT

public:
    enum TKey { KUp = 0, KDown = 1, KFire = 2, KCount = 3 };

    // Starts watching (UI thread, once; later calls do nothing).
    static void Install();
    static bool IsDown(int AKey);

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    using QObject::QObject;
    static std::atomic<bool> FDown[KCount];
};
