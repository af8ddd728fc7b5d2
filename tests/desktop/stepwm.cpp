// kb_stepwm: a tiny window manager of the tests' own. It frames a new
// window in the same four steps as openbox (a 1 x 1 frame at 0,0, the frame
// at its full size, the frame extents published, the frame moved to its
// place and the client into it), one certain step after the other, telling
// the client its place after each, and can hold any one step for a while,
// so a test sees the program cope with every transient state of the frame.
//   kb_stepwm [--hold STEP --hold-ms N] [--hold-ms N]
// --hold STEP --hold-ms N: after step STEP (1..4) of every new window, wait
// N ms before the next step; --hold-ms N alone: wait N ms after every step.
// Prints "step N 0xCLIENT frame X,Y WxH" on stdout per step taken; all else
// goes to stderr. SIGUSR1 closes the active window as Alt+F4 does; SIGTERM
// ends it, leaving the windows where they are.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/select.h>
#include <unistd.h>
#include <vector>

namespace {

// The frame's borders, as openbox's theme draws them here.
constexpr int extLeft = 1, extRight = 1, extTop = 20, extBottom = 5;

struct Client {
    Window win = 0, frame = 0;
    int fx = 0, fy = 0;  // the frame's top-left on the root
    int w = 1, h = 1;    // the client's size
    int step = 0;        // the last step taken
    long long due = 0;   // when the next step may be taken (ms)
    int ignoreUnmaps = 0;
};

Display *dpy;
Window root, checkWin, active;
std::vector<Client> clients;
int holdStep = 0;
long long holdMs = -1;
bool otherWm;
int sigPipe[2];
volatile sig_atomic_t gotTerm, gotClose;

Atom aWmState, aWmProtocols, aWmDelete, aUtf8, aNetSupported, aNetCheck, aNetWmName, aNetExtents,
    aNetActive, aNetClose, aNetWmState, aNetReqExtents;

long long nowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

Client *find(Window w)
{
    for (Client &c : clients)
        if (c.win == w)
            return &c;
    return nullptr;
}

// Clients vanish at any moment; their errors are no reason to stop.
int onError(Display *d, XErrorEvent *e)
{
    if (e->request_code == X_ChangeWindowAttributes && e->error_code == BadAccess) {
        otherWm = true;
        return 0;
    }
    char text[128];
    XGetErrorText(d, e->error_code, text, sizeof text);
    fprintf(stderr, "kb_stepwm: X error ignored: %s (request %d, resource 0x%lx)\n", text,
            e->request_code, e->resourceid);
    return 0;
}

void onSignal(int sig)
{
    if (sig == SIGTERM || sig == SIGINT)
        gotTerm = 1;
    else
        gotClose = 1;
    int saved = errno;
    [[maybe_unused]] ssize_t n = write(sigPipe[1], "x", 1);
    errno = saved;
}

// Gravity decides what a requested position means: NorthWest (Qt's, after a
// move that counts the frame) places the frame's top-left there, Static the
// client's own top-left.
bool staticGravity(Window w)
{
    XSizeHints hints;
    long supplied;
    return XGetWMNormalHints(dpy, w, &hints, &supplied) && (hints.flags & PWinGravity)
           && hints.win_gravity == StaticGravity;
}

void clampToMinimum(Window w, int &width, int &height)
{
    XSizeHints hints;
    long supplied;
    if (XGetWMNormalHints(dpy, w, &hints, &supplied) && (hints.flags & PMinSize)) {
        width = std::max(width, hints.min_width);
        height = std::max(height, hints.min_height);
    }
    width = std::max(width, 1);
    height = std::max(height, 1);
}

// Where the client sits inside its frame: at 0,0 until step 4 moves it.
int offX(const Client &c) { return c.step >= 4 ? extLeft : 0; }
int offY(const Client &c) { return c.step >= 4 ? extTop : 0; }
// Where the frame stands: as openbox makes it, at 0,0 until the last step
// moves it where the window asked to be (fx, fy).
int frameX(const Client &c) { return c.step >= 4 ? c.fx : 0; }
int frameY(const Client &c) { return c.step >= 4 ? c.fy : 0; }

void frameSize(const Client &c, int &width, int &height)
{
    if (c.step >= 2) {
        width = c.w + extLeft + extRight;
        height = c.h + extTop + extBottom;
    } else {
        width = height = 1;
    }
}

// ICCCM 4.1.5: the client learns its position on the root from us.
void sendConfigureNotify(const Client &c)
{
    XEvent ev{};
    ev.xconfigure.type = ConfigureNotify;
    ev.xconfigure.display = dpy;
    ev.xconfigure.event = c.win;
    ev.xconfigure.window = c.win;
    ev.xconfigure.x = frameX(c) + offX(c);
    ev.xconfigure.y = frameY(c) + offY(c);
    ev.xconfigure.width = c.w;
    ev.xconfigure.height = c.h;
    ev.xconfigure.border_width = 0;
    ev.xconfigure.above = None;
    ev.xconfigure.override_redirect = False;
    XSendEvent(dpy, c.win, False, StructureNotifyMask, &ev);
}

void setCardinals(Window w, Atom prop, Atom type, const long *values, int n)
{
    XChangeProperty(dpy, w, prop, type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(values), n);
}

void setWmState(Window w, long state)
{
    const long data[2] = {state, None};
    setCardinals(w, aWmState, aWmState, data, 2);
}

void setActive(Window w)
{
    active = w;
    const long data[1] = {static_cast<long>(w)};
    setCardinals(root, aNetActive, XA_WINDOW, data, 1);
}

void focus(Client &c)
{
    XSetInputFocus(dpy, c.win, RevertToPointerRoot, CurrentTime);
    setActive(c.win);
}

// Every step ends the same way: told to the client, certain on the server,
// told on stdout, and
// the next one due after the hold, if any.
void finishStep(Client &c)
{
    // openbox tells the client its place after every change of the frame, so
    // the program looks at the frame in each state.
    sendConfigureNotify(c);
    XSync(dpy, False);
    int width, height;
    frameSize(c, width, height);
    printf("step %d 0x%lx frame %d,%d %dx%d\n", c.step, c.win, frameX(c), frameY(c), width, height);
    fflush(stdout);
    long long wait = holdStep ? (holdStep == c.step ? holdMs : 0) : std::max(holdMs, 0LL);
    c.due = nowMs() + wait;
}

// Steps 2 to 4.
void takeStep(Client &c)
{
    int step = c.step + 1;
    if (step == 2) {
        int width, height;
        c.step = 2;
        frameSize(c, width, height);
        XResizeWindow(dpy, c.frame, width, height);
    } else if (step == 3) {
        const long extents[4] = {extLeft, extRight, extTop, extBottom};
        setCardinals(c.win, aNetExtents, XA_CARDINAL, extents, 4);
        c.step = 3;
    } else if (step == 4) {
        c.step = 4;
        XMoveWindow(dpy, c.frame, c.fx, c.fy);
        XMoveWindow(dpy, c.win, offX(c), offY(c));
        focus(c);
    }
    finishStep(c);
}

// Step 1: the client in a 1 x 1 frame at 0,0; its asked place is kept for
// the last step.
void manage(Window w)
{
    XWindowAttributes wa;
    if (!XGetWindowAttributes(dpy, w, &wa) || wa.override_redirect)
        return;
    clients.emplace_back();
    Client &c = clients.back();
    c.win = w;
    c.w = wa.width;
    c.h = wa.height;
    clampToMinimum(w, c.w, c.h);
    bool isStatic = staticGravity(w);
    c.fx = wa.x - (isStatic ? extLeft : 0);
    c.fy = wa.y - (isStatic ? extTop : 0);
    c.frame = XCreateSimpleWindow(dpy, root, frameX(c), frameY(c), 1, 1, 0, 0, 0x3c5a78);
    XSelectInput(dpy, c.frame, SubstructureRedirectMask | SubstructureNotifyMask);
    XAddToSaveSet(dpy, w);
    XSetWindowBorderWidth(dpy, w, 0);
    if (wa.map_state != IsUnmapped)
        ++c.ignoreUnmaps;  // the reparent unmaps it, not the client
    XReparentWindow(dpy, w, c.frame, 0, 0);
    XResizeWindow(dpy, w, c.w, c.h);
    XMapWindow(dpy, w);
    XMapWindow(dpy, c.frame);
    setWmState(w, NormalState);
    c.step = 1;
    finishStep(c);
}

// The client goes back to the root where a new start would place it again.
void unmanage(Window w, bool stillThere)
{
    Client *c = find(w);
    if (!c)
        return;
    if (stillThere) {
        bool isStatic = staticGravity(w);
        XReparentWindow(dpy, w, root, c->fx + (isStatic ? extLeft : 0),
                        c->fy + (isStatic ? extTop : 0));
        XRemoveFromSaveSet(dpy, w);
        XDeleteProperty(dpy, w, aNetExtents);
        setWmState(w, WithdrawnState);
    }
    XDestroyWindow(dpy, c->frame);
    fprintf(stderr, "kb_stepwm: unmanaged 0x%lx\n", w);
    clients.erase(clients.begin() + (c - clients.data()));
    if (active == w) {
        setActive(None);
        XSetInputFocus(dpy, PointerRoot, RevertToPointerRoot, CurrentTime);
    }
    XSync(dpy, False);
}

void configureRequest(const XConfigureRequestEvent &e)
{
    Client *c = find(e.window);
    if (!c) {
        XWindowChanges wc{e.x, e.y, e.width, e.height, e.border_width, e.above, e.detail};
        XConfigureWindow(dpy, e.window, e.value_mask, &wc);
        return;
    }
    if (e.value_mask & (CWX | CWY)) {
        bool isStatic = staticGravity(c->win);
        if (e.value_mask & CWX)
            c->fx = e.x - (isStatic ? extLeft : 0);
        if (e.value_mask & CWY)
            c->fy = e.y - (isStatic ? extTop : 0);
    }
    if (e.value_mask & CWWidth)
        c->w = e.width;
    if (e.value_mask & CWHeight)
        c->h = e.height;
    clampToMinimum(c->win, c->w, c->h);
    // Applied as far as the steps taken so far allow; the rest waits for them.
    int width, height;
    frameSize(*c, width, height);
    XMoveResizeWindow(dpy, c->frame, frameX(*c), frameY(*c), width, height);
    XResizeWindow(dpy, c->win, c->w, c->h);
    if (e.value_mask & CWStackMode) {
        if (e.detail == Above)
            XRaiseWindow(dpy, c->frame);
        else if (e.detail == Below)
            XLowerWindow(dpy, c->frame);
    }
    sendConfigureNotify(*c);
    XSync(dpy, False);
    fprintf(stderr, "kb_stepwm: configured 0x%lx: frame %d,%d %dx%d\n", c->win, c->fx, c->fy,
            width, height);
}

void askToClose(Window w)
{
    Atom *protocols;
    int n;
    bool canDelete = false;
    if (XGetWMProtocols(dpy, w, &protocols, &n)) {
        canDelete = std::find(protocols, protocols + n, aWmDelete) != protocols + n;
        XFree(protocols);
    }
    if (!canDelete) {
        fprintf(stderr, "kb_stepwm: 0x%lx cannot be closed gracefully\n", w);
        return;
    }
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = aWmProtocols;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(aWmDelete);
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, w, False, NoEventMask, &ev);
    XFlush(dpy);
    fprintf(stderr, "kb_stepwm: asked 0x%lx to close\n", w);
}

// The managed client holding the keyboard focus (or a window inside it).
Window focusedClient()
{
    Window w;
    int revert;
    XGetInputFocus(dpy, &w, &revert);
    while (w != None && w != PointerRoot && w != root) {
        if (find(w))
            return w;
        Window rootRet, parent, *children;
        unsigned n;
        if (!XQueryTree(dpy, w, &rootRet, &parent, &children, &n))
            break;
        if (children)
            XFree(children);
        w = parent;
    }
    return active;
}

void clientMessage(const XClientMessageEvent &e)
{
    Client *c = find(e.window);
    if (e.message_type == aNetActive && c) {
        XRaiseWindow(dpy, c->frame);
        focus(*c);
    } else if (e.message_type == aNetClose && c) {
        askToClose(c->win);
    } else if (e.message_type == aNetReqExtents) {
        // Like openbox here, the extents come with step 3, not on request.
        if (c && c->step >= 3) {
            const long extents[4] = {extLeft, extRight, extTop, extBottom};
            setCardinals(c->win, aNetExtents, XA_CARDINAL, extents, 4);
        }
    }
}

void grabCloseKey()
{
    unsigned numLock = 0;
    XModifierKeymap *map = XGetModifierMapping(dpy);
    KeyCode numCode = XKeysymToKeycode(dpy, XK_Num_Lock);
    for (int i = 0; i < 8 * map->max_keypermod; ++i)
        if (numCode && map->modifiermap[i] == numCode)
            numLock = 1u << (i / map->max_keypermod);
    XFreeModifiermap(map);
    KeyCode f4 = XKeysymToKeycode(dpy, XK_F4);
    const unsigned extras[] = {0, LockMask, numLock, numLock | LockMask};
    for (unsigned extra : extras)
        XGrabKey(dpy, f4, Mod1Mask | extra, root, True, GrabModeAsync, GrabModeAsync);
}

void publishEwmh()
{
    checkWin = XCreateSimpleWindow(dpy, root, -1, -1, 1, 1, 0, 0, 0);
    const long check[1] = {static_cast<long>(checkWin)};
    setCardinals(checkWin, aNetCheck, XA_WINDOW, check, 1);
    XChangeProperty(dpy, checkWin, aNetWmName, aUtf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char *>("kb_stepwm"), 9);
    const long supported[] = {static_cast<long>(aNetExtents), static_cast<long>(aNetCheck),
                              static_cast<long>(aNetActive),  static_cast<long>(aNetClose),
                              static_cast<long>(aNetWmState), static_cast<long>(aNetReqExtents),
                              static_cast<long>(aNetWmName)};
    setCardinals(root, aNetSupported, XA_ATOM, supported, 7);
    setActive(None);
    // Last: tests take this for "the window manager is up".
    setCardinals(root, aNetCheck, XA_WINDOW, check, 1);
}

void handle(XEvent &ev)
{
    switch (ev.type) {
    case MapRequest: {
        Window w = ev.xmaprequest.window;
        if (find(w))
            XMapWindow(dpy, w);
        else
            manage(w);
        break;
    }
    case ConfigureRequest:
        configureRequest(ev.xconfigurerequest);
        break;
    case UnmapNotify: {
        Client *c = find(ev.xunmap.window);
        if (!c || ev.xunmap.send_event)
            break;
        if (c->ignoreUnmaps > 0)
            --c->ignoreUnmaps;
        else
            unmanage(c->win, true);
        break;
    }
    case DestroyNotify:
        unmanage(ev.xdestroywindow.window, false);
        break;
    case ClientMessage:
        clientMessage(ev.xclient);
        break;
    case KeyPress:
        if (ev.xkey.keycode == XKeysymToKeycode(dpy, XK_F4) && (ev.xkey.state & Mod1Mask)) {
            Window w = focusedClient();
            if (w != None)
                askToClose(w);
        }
        break;
    default:
        break;
    }
}

[[noreturn]] void usage()
{
    fprintf(stderr, "usage: kb_stepwm [--hold STEP --hold-ms N] [--hold-ms N]\n"
                    "  STEP 1..4: the step after which every new window waits N ms;\n"
                    "  --hold-ms alone: a wait of N ms after every step\n");
    exit(2);
}

}  // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--hold") && i + 1 < argc)
            holdStep = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--hold-ms") && i + 1 < argc)
            holdMs = atoll(argv[++i]);
        else
            usage();
    }
    if (holdStep < 0 || holdStep > 4 || (holdStep && holdMs < 0))
        usage();
    setvbuf(stdout, nullptr, _IOLBF, 0);

    dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        fprintf(stderr, "kb_stepwm: cannot open display\n");
        return 1;
    }
    root = DefaultRootWindow(dpy);
    XSetErrorHandler(onError);
    XSelectInput(dpy, root, SubstructureRedirectMask | SubstructureNotifyMask);
    XSync(dpy, False);
    if (otherWm) {
        fprintf(stderr, "kb_stepwm: another window manager is running\n");
        return 1;
    }

    struct {
        Atom *atom;
        const char *name;
    } const atoms[] = {
        {&aWmState, "WM_STATE"},
        {&aWmProtocols, "WM_PROTOCOLS"},
        {&aWmDelete, "WM_DELETE_WINDOW"},
        {&aUtf8, "UTF8_STRING"},
        {&aNetSupported, "_NET_SUPPORTED"},
        {&aNetCheck, "_NET_SUPPORTING_WM_CHECK"},
        {&aNetWmName, "_NET_WM_NAME"},
        {&aNetExtents, "_NET_FRAME_EXTENTS"},
        {&aNetActive, "_NET_ACTIVE_WINDOW"},
        {&aNetClose, "_NET_CLOSE_WINDOW"},
        {&aNetWmState, "_NET_WM_STATE"},
        {&aNetReqExtents, "_NET_REQUEST_FRAME_EXTENTS"},
    };
    for (const auto &a : atoms)
        *a.atom = XInternAtom(dpy, a.name, False);

    // A pipe the signal handlers write to wakes the select() below without
    // a race between checking the flags and sleeping.
    if (pipe(sigPipe) != 0)
        return 1;
    fcntl(sigPipe[0], F_SETFL, O_NONBLOCK);
    fcntl(sigPipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGUSR1, &sa, nullptr);

    grabCloseKey();
    publishEwmh();
    XSync(dpy, False);
    fprintf(stderr, "kb_stepwm: running (hold step %d, %lld ms)\n", holdStep, holdMs);

    int xfd = ConnectionNumber(dpy);
    while (!gotTerm) {
        if (gotClose) {
            gotClose = 0;
            Window w = active != None ? active : (clients.empty() ? None : clients.back().win);
            if (w != None)
                askToClose(w);
        }
        // Steps come due; one without a hold follows at once.
        long long now = nowMs(), next = -1;
        for (size_t i = 0; i < clients.size(); ++i) {
            while (clients[i].step < 4 && clients[i].due <= now) {
                takeStep(clients[i]);
                now = nowMs();
            }
            if (clients[i].step < 4 && (next < 0 || clients[i].due < next))
                next = clients[i].due;
        }
        if (XPending(dpy)) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            handle(ev);
            continue;
        }
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(xfd, &fds);
        FD_SET(sigPipe[0], &fds);
        timeval tv, *timeout = nullptr;
        if (next >= 0) {
            long long left = std::max(next - now, 0LL);
            tv.tv_sec = left / 1000;
            tv.tv_usec = (left % 1000) * 1000;
            timeout = &tv;
        }
        if (select(std::max(xfd, sigPipe[0]) + 1, &fds, nullptr, nullptr, timeout) > 0
            && FD_ISSET(sigPipe[0], &fds)) {
            char buf[16];
            while (read(sigPipe[0], buf, sizeof buf) > 0) {
            }
        }
    }

    // Leave every window where it shows now, unframed, for whatever comes next.
    for (Client &c : clients) {
        XReparentWindow(dpy, c.win, root, frameX(c) + offX(c), frameY(c) + offY(c));
        XRemoveFromSaveSet(dpy, c.win);
        XDestroyWindow(dpy, c.frame);
    }
    XDeleteProperty(dpy, root, aNetCheck);
    XDeleteProperty(dpy, root, aNetSupported);
    XDeleteProperty(dpy, root, aNetActive);
    XDestroyWindow(dpy, checkWin);
    XCloseDisplay(dpy);
    fprintf(stderr, "kb_stepwm: ended\n");
    return 0;
}
