#pragma once

// The game keys as the script's Keyboard reads them: arrow up, arrow down
// and Space, held down in a window of a running module.
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>

// Watches every key event of the application and counts only those that
// reach a module window or a widget in one, so that keys typed into the
// host's editor never steer the game. Read from any thread.
class TKeyboardState : public QObject
{
    Q_OBJECT

public:
    enum TKey { KUp = 0, KDown = 1, KFire = 2, KCount = 3 };

    // Starts watching (once) and takes AWindow for a module window whose
    // keys count. UI thread.
    static void Install(QWidget *AWindow);
    static bool IsDown(int AKey);

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    using QObject::QObject;
    static bool InModuleWindow(QObject *AObject);
    static void ReleaseAll();

    static std::atomic<bool> FDown[KCount];
    static QList<QPointer<QWidget>> FWindows;
};
