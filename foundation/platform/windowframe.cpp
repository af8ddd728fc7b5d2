// Stands in for the platform's window frame: the outer bounds of a top-level window as the window manager frames it (on X11 its _NET_FRAME_EXTENTS, read through Qt's native interface).
#include "windowframe.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

namespace {

xcb_connection_t *x11Connection()
{
    if (!qGuiApp)
        return nullptr;
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t internAtom(xcb_connection_t *C, const char *AName)
{
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(C, xcb_intern_atom(C, 0, uint16_t(std::strlen(AName)), AName), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// One connection for the application's life, so the atoms are asked once.
xcb_atom_t extentsAtom(xcb_connection_t *C)
{
    static const xcb_atom_t atom = internAtom(C, "_NET_FRAME_EXTENTS");
    return atom;
}

using TPropertyReply = std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)>;

TPropertyReply property(xcb_connection_t *C, xcb_window_t AWindow, xcb_atom_t AAtom, uint32_t ALongs)
{
    return TPropertyReply(
        xcb_get_property_reply(C, xcb_get_property(C, 0, AWindow, AAtom, XCB_ATOM_ANY, 0, ALongs), nullptr),
        &std::free);
}

// Whether the running window manager publishes frame extents; asked each
// time, since a window manager may be replaced while the program runs.
bool publishesExtents(xcb_connection_t *C)
{
    static const xcb_atom_t supported = internAtom(C, "_NET_SUPPORTED");
    const xcb_setup_t *setup = xcb_get_setup(C);
    const xcb_screen_t *screen = xcb_setup_roots_iterator(setup).data;
    if (!screen || supported == XCB_ATOM_NONE)
        return false;
    const TPropertyReply reply = property(C, screen->root, supported, 4096);
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_ATOM)
        return false;
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    const xcb_atom_t wanted = extentsAtom(C);
    for (int i = 0; i < count; ++i) {
        if (atoms[i] == wanted)
            return true;
    }
    return false;
}

// The extents the window manager published on AWindow; nothing before it has.
std::optional<QMargins> publishedExtents(xcb_connection_t *C, xcb_window_t AWindow)
{
    const TPropertyReply reply = property(C, AWindow, extentsAtom(C), 4);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 16)
        return std::nullopt;
    // Left, right, top, bottom.
    const auto *v = static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
    for (int i = 0; i < 4; ++i) {
        if (v[i] > 32767)
            return std::nullopt;
    }
    return QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3]));
}

bool anyNegative(const QMargins &M)
{
    return M.left() < 0 || M.top() < 0 || M.right() < 0 || M.bottom() < 0;
}

class TExtentsWatch : public QAbstractNativeEventFilter
{
public:
    explicit TExtentsWatch(xcb_atom_t AAtom)
        : FAtom(AAtom)
    {
    }

    bool nativeEventFilter(const QByteArray &AType, void *AMessage, qintptr *) override
    {
        if (AType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(AMessage);
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            return false;
        const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        if (notify->atom != FAtom)
            return false;
        // Posted, so that Qt has taken the new extents before the widget hears.
        if (QWidget *form = QWidget::find(WId(notify->window)); form && form->isWindow())
            QCoreApplication::postEvent(form, new QEvent(FrameExtentsChangedEvent()));
        return false;
    }

private:
    xcb_atom_t FAtom;
};

} // namespace

QEvent::Type FrameExtentsChangedEvent()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    static const bool watching = [] {
        if (xcb_connection_t *c = x11Connection(); c && QCoreApplication::instance()) {
            // Lives as long as the application, which may outlive any caller.
            static TExtentsWatch watch(extentsAtom(c));
            QCoreApplication::instance()->installNativeEventFilter(&watch);
            return true;
        }
        return false;
    }();
    (void)watching;
    return type;
}

std::optional<QMargins> FinishedFrameMargins(const QWidget *AForm)
{
    if (!AForm || !AForm->isWindow() || !AForm->testAttribute(Qt::WA_WState_Created))
        return std::nullopt;
    QWindow *window = AForm->windowHandle();
    if (!window || !window->handle())
        return std::nullopt;
    if (xcb_connection_t *c = x11Connection(); c && publishesExtents(c)) {
        std::optional<QMargins> published = publishedExtents(c, xcb_window_t(AForm->winId()));
        if (!published)
            return std::nullopt;
        // The server's pixels, in the window's own units as Qt gives them.
        if (const qreal ratio = window->devicePixelRatio(); ratio > 0 && ratio != 1) {
            const auto scaled = [ratio](int V) { return qRound(V / ratio); };
            published = QMargins(scaled(published->left()), scaled(published->top()),
                                 scaled(published->right()), scaled(published->bottom()));
        }
        // Until Qt reads the same, it positions the window by a frame that
        // is no longer there.
        if (window->frameMargins() != *published)
            return std::nullopt;
        return published;
    }
    const QMargins margins = window->frameMargins();
    if (anyNegative(margins))
        return std::nullopt;
    return margins;
}

QRect OuterBounds(const QWidget *AForm)
{
    if (const std::optional<QMargins> margins = FinishedFrameMargins(AForm))
        return AForm->geometry().marginsAdded(*margins);
    return AForm->frameGeometry();
}
