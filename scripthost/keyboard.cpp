// The game keys as the script's Keyboard reads them.
#include "keyboard.h"

#include <QApplication>
#include <QKeyEvent>

std::atomic<bool> TKeyboardState::FDown[KCount];
QList<QPointer<QWidget>> TKeyboardState::FWindows;

void TKeyboardState::Install(QWidget *AWindow)
{
    static QPointer<TKeyboardState> Instance;
    if (!qApp)
        return;
    if (!Instance) {
        Instance = new TKeyboardState(qApp);
        qApp->installEventFilter(Instance);
    }
    FWindows.removeAll(nullptr);
    if (AWindow && !FWindows.contains(AWindow))
        FWindows << AWindow;
}

bool TKeyboardState::IsDown(int AKey)
{
    return AKey >= 0 && AKey < KCount && FDown[AKey].load(std::memory_order_relaxed);
}

bool TKeyboardState::InModuleWindow(QObject *AObject)
{
    // Only deliveries to widgets count: the same key event also passes the
    // platform window on its way to the focus widget.
    auto *W = AObject && AObject->isWidgetType() ? static_cast<QWidget *>(AObject) : nullptr;
    return W && FWindows.contains(W->window());
}

void TKeyboardState::ReleaseAll()
{
    for (auto &D : FDown)
        D = false;
}

bool TKeyboardState::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    const auto T = AEvent->type();
    if ((T == QEvent::KeyPress || T == QEvent::KeyRelease) && InModuleWindow(AWatched)) {
        auto *K = static_cast<QKeyEvent *>(AEvent);
        // Auto-repeat sends release/press pairs while the key stays down.
        if (!K->isAutoRepeat()) {
            int Key = -1;
            switch (K->key()) {
            case Qt::Key_Up: Key = KUp; break;
            case Qt::Key_Down: Key = KDown; break;
            case Qt::Key_Space: Key = KFire; break;
            default: break;
            }
            if (Key >= 0)
                FDown[Key] = T == QEvent::KeyPress;
        }
    } else if (T == QEvent::WindowDeactivate && InModuleWindow(AWatched)
               && static_cast<QWidget *>(AWatched)->isWindow()) {
        // Keys released after the module window lost the keyboard never reach it.
        ReleaseAll();
    } else if (T == QEvent::ApplicationStateChange || T == QEvent::ApplicationDeactivate) {
        if (T == QEvent::ApplicationDeactivate || QGuiApplication::applicationState() != Qt::ApplicationActive)
            ReleaseAll();
    }
    return QObject::eventFilter(AWatched, AEvent);
}
