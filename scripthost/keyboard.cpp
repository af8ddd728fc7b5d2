#include "keyboard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>

std::atomic<bool> TKeyboardState::FDown[KCount];

void TKeyboardState::Install()
{
    static QPointer<TKeyboardState> Instance;
    if (Instance || !qApp)
        return;
    Instance = new TKeyboardState(qApp);
    qApp->installEventFilter(Instance);
}

bool TKeyboardState::IsDown(int AKey)
{
    return AKey >= 0 && AKey < KCount && FDown[AKey].load(std::memory_order_relaxed);
}

bool TKeyboardState::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    const auto T = AEvent->type();
    if (T == QEvent::KeyPress || T == QEvent::KeyRelease) {
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
    } else if (T == QEvent::ApplicationStateChange || T == QEvent::ApplicationDeactivate) {
        // Keys released while no window of ours was active never reach us.
        if (T == QEvent::ApplicationDeactivate || QGuiApplication::applicationState() != Qt::ApplicationActive)
            for (auto &D : FDown)
                D = false;
    }
    return QObject::eventFilter(AWatched, AEvent);
}
