#include "desktop/windowsystem/WindowManager.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#ifdef QBX_HAVE_XCB
#include <QAbstractNativeEventFilter>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#endif

namespace qbx {

#ifdef QBX_HAVE_XCB

namespace {

xcb_connection_t* connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t* c) {
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    return screens.rem ? screens.data->root : static_cast<xcb_window_t>(XCB_WINDOW_NONE);
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}

// A property's bytes; nullopt when the window lacks it (or is gone).
std::optional<std::string> property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name, xcb_atom_t type) {
    if (name == XCB_ATOM_NONE || window == XCB_WINDOW_NONE) return std::nullopt;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 256), nullptr);
    std::optional<std::string> value;
    if (reply && reply->type != XCB_ATOM_NONE) {
        value = std::string(static_cast<const char*>(xcb_get_property_value(reply)),
                            static_cast<size_t>(xcb_get_property_value_length(reply)));
    }
    std::free(reply);
    return value;
}

std::optional<uint32_t> cardinal(xcb_connection_t* c, xcb_window_t window, const char* name, xcb_atom_t type) {
    const std::optional<std::string> bytes = property(c, window, atom(c, name), type);
    if (!bytes || bytes->size() < 4) return std::nullopt;
    uint32_t value = 0;
    std::memcpy(&value, bytes->data(), 4);
    return value;
}

}  // namespace

std::string windowManagerName() {
    xcb_connection_t* c = connection();
    if (!c) return {};
    const xcb_window_t root = rootWindow(c);
    // A window manager that follows the desktop standard names a window of
    // its own on the root, and gives that window its name.
    const std::optional<uint32_t> check = cardinal(c, root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW);
    if (!check || *check == XCB_WINDOW_NONE) return {};
    std::optional<std::string> name = property(c, *check, atom(c, "_NET_WM_NAME"), atom(c, "UTF8_STRING"));
    if (!name || name->empty()) name = property(c, *check, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
    return name && !name->empty() ? *name : std::string("unnamed");
}

bool onAnotherDesktop(const QWidget& window) {
    xcb_connection_t* c = connection();
    if (!c) return false;
    const std::optional<uint32_t> shown = cardinal(c, rootWindow(c), "_NET_CURRENT_DESKTOP", XCB_ATOM_CARDINAL);
    const std::optional<uint32_t> its =
        cardinal(c, static_cast<xcb_window_t>(window.winId()), "_NET_WM_DESKTOP", XCB_ATOM_CARDINAL);
    // 0xFFFFFFFF: on every desktop.
    return shown && its && *its != 0xFFFFFFFFu && *its != *shown;
}

namespace {

std::vector<uint32_t> cardinals(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name, xcb_atom_t type) {
    std::vector<uint32_t> values;
    if (const std::optional<std::string> bytes = property(c, window, name, type)) {
        values.resize(bytes->size() / 4);
        if (!values.empty()) std::memcpy(values.data(), bytes->data(), values.size() * 4);
    }
    return values;
}

bool contains(const std::vector<uint32_t>& values, uint32_t value) {
    for (uint32_t v : values)
        if (v == value) return true;
    return false;
}

// Mapped and seen on the screen; `popup` tells whether it places itself (a
// menu, a tool tip) as no window manager's window does.
bool viewable(xcb_connection_t* c, xcb_window_t window, bool* popup = nullptr) {
    xcb_get_window_attributes_reply_t* a =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    const bool seen = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    if (popup) *popup = a && a->override_redirect;
    std::free(a);
    return seen;
}

// A request to the window manager about `window`, as the desktop standard
// has it sent: to the root, for the window manager to take.
void sendToRoot(xcb_connection_t* c, xcb_window_t root, xcb_window_t window, xcb_atom_t type,
                std::array<uint32_t, 5> data) {
    xcb_client_message_event_t m{};
    m.response_type = XCB_CLIENT_MESSAGE;
    m.format = 32;
    m.window = window;
    m.type = type;
    std::memcpy(m.data.data32, data.data(), sizeof m.data.data32);
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&m));
}

// 0xFFFFFFFF as a window's desktop: on every desktop.
constexpr uint32_t kAllDesktops = 0xFFFFFFFFu;
// The source indication of a request: a pager or a task bar, which window
// managers obey at once, where an application's request may be refused.
constexpr uint32_t kPagerSource = 2;
// _NET_WM_STATE's actions.
constexpr uint32_t kRemove = 0, kAdd = 1;

}  // namespace

// The X side: the atoms, and the events that tell of a change. Qt's own
// connection delivers them; the holder looks once Qt has handled them.
struct FrontHolder::Native : QAbstractNativeEventFilter {
    FrontHolder& holder;
    xcb_connection_t* c;
    xcb_window_t root;
    xcb_atom_t currentDesktop, showingDesktop, stacking, supportingCheck, wmState, wmDesktop, activeWindow, sticky,
        above, below, shaded, maxVert, maxHorz, motifHints;
    QTimer check;
    bool desktopSwitched = false;
    // The window manager's frame around the window (the window itself when
    // it has none): its moves are watched, as a window manager that moves
    // the frame alone may not tell the window.
    xcb_window_t frame = XCB_WINDOW_NONE;
    // A window manager that keeps undoing the hold is not fought forever.
    int inBurst = 0;
    QElapsedTimer burst;

    Native(FrontHolder& h, xcb_connection_t* connection) : holder(h), c(connection), root(rootWindow(connection)) {
        currentDesktop = atom(c, "_NET_CURRENT_DESKTOP");
        showingDesktop = atom(c, "_NET_SHOWING_DESKTOP");
        stacking = atom(c, "_NET_CLIENT_LIST_STACKING");
        supportingCheck = atom(c, "_NET_SUPPORTING_WM_CHECK");
        wmState = atom(c, "_NET_WM_STATE");
        wmDesktop = atom(c, "_NET_WM_DESKTOP");
        activeWindow = atom(c, "_NET_ACTIVE_WINDOW");
        sticky = atom(c, "_NET_WM_STATE_STICKY");
        above = atom(c, "_NET_WM_STATE_ABOVE");
        below = atom(c, "_NET_WM_STATE_BELOW");
        shaded = atom(c, "_NET_WM_STATE_SHADED");
        maxVert = atom(c, "_NET_WM_STATE_MAXIMIZED_VERT");
        maxHorz = atom(c, "_NET_WM_STATE_MAXIMIZED_HORZ");
        motifHints = atom(c, "_MOTIF_WM_HINTS");
        // The root's property changes tell of the desktop shown and of the
        // stacking order: added to whatever Qt's connection listens for there.
        xcb_get_window_attributes_reply_t* attributes =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, root), nullptr);
        const uint32_t mask = (attributes ? attributes->your_event_mask : 0u) | XCB_EVENT_MASK_PROPERTY_CHANGE;
        std::free(attributes);
        xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(c);
        check.setSingleShot(true);
        QObject::connect(&check, &QTimer::timeout, &holder, [this] { look(); });
        qApp->installNativeEventFilter(this);
    }

    ~Native() override { qApp->removeNativeEventFilter(this); }

    xcb_window_t window() const { return static_cast<xcb_window_t>(holder.window_.winId()); }

    // Soon, once Qt has handled the events of this batch: a window manager
    // answers one request with several changes.
    void lookSoon(int ms = 30) {
        if (!check.isActive() || ms < check.remainingTime()) check.start(ms);
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t" || !holder.window_.isVisible()) return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const xcb_window_t ours = window();
        switch (event->response_type & 0x7f) {
        case XCB_PROPERTY_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (e->window == root) {
                if (e->atom == currentDesktop) desktopSwitched = true;
                if (e->atom == currentDesktop || e->atom == showingDesktop || e->atom == stacking) lookSoon();
            } else if (e->window == ours && (e->atom == wmState || e->atom == wmDesktop)) {
                lookSoon();
            }
            break;
        }
        case XCB_MAP_NOTIFY:
            // Managed now: the window manager takes requests about it.
            if (reinterpret_cast<const xcb_map_notify_event_t*>(event)->window == ours) {
                watchFrame();
                QTimer::singleShot(0, &holder, [this] { holder.holdInFront(); });
            }
            break;
        case XCB_REPARENT_NOTIFY:
            if (reinterpret_cast<const xcb_reparent_notify_event_t*>(event)->window == ours) watchFrame();
            break;
        case XCB_CONFIGURE_NOTIFY:
            if (frame != XCB_WINDOW_NONE && frame != ours &&
                reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window == frame)
                QTimer::singleShot(0, &holder, [this] { tellQtWhereItIs(); });
            break;
        default: break;
        }
        return false;
    }

    // The window's ancestor that is a child of the root: the frame a
    // reparenting window manager put around it, or the window itself.
    xcb_window_t topAncestor() const {
        xcb_window_t w = window();
        for (int depth = 0; depth < 16; ++depth) {
            xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr);
            if (!tree) return XCB_WINDOW_NONE;
            const xcb_window_t parent = tree->parent;
            std::free(tree);
            if (parent == root || parent == XCB_WINDOW_NONE) return w;
            w = parent;
        }
        return XCB_WINDOW_NONE;
    }

    void watchFrame() {
        const xcb_window_t found = topAncestor();
        if (found == frame || found == XCB_WINDOW_NONE) return;
        frame = found;
        if (frame == window()) return;
        // Added to what the window manager's own connection selects: each
        // client has its own event mask on a window.
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, frame, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(c);
    }

    // The frame was moved or resized. A window manager that moves the frame
    // alone owes the window a synthetic ConfigureNotify with its new place;
    // where none came, Qt's idea of the window's place is stale, and the
    // window is told here, as the window manager should have told it: Qt
    // then sends the move that is judged below.
    void tellQtWhereItIs() {
        if (!holder.window_.isVisible()) return;
        xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window()), nullptr);
        xcb_translate_coordinates_reply_t* origin =
            xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window(), root, 0, 0), nullptr);
        if (geometry && origin) {
            const QRect real(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
            // Qt's geometry is in device-independent pixels.
            const qreal ratio = holder.window_.devicePixelRatioF();
            const QRect known = holder.window_.geometry();
            const QRect knownDevice(QPoint(qRound(known.x() * ratio), qRound(known.y() * ratio)),
                                    QSize(qRound(known.width() * ratio), qRound(known.height() * ratio)));
            if (real != knownDevice) {
                xcb_configure_notify_event_t e{};
                e.response_type = XCB_CONFIGURE_NOTIFY;
                e.event = window();
                e.window = window();
                e.x = static_cast<int16_t>(real.x());
                e.y = static_cast<int16_t>(real.y());
                e.width = static_cast<uint16_t>(real.width());
                e.height = static_cast<uint16_t>(real.height());
                e.border_width = geometry->border_width;
                xcb_send_event(c, 0, window(), XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&e));
                xcb_flush(c);
            }
        }
        std::free(geometry);
        std::free(origin);
        lookSoon(150);
    }

    void send(xcb_atom_t type, std::array<uint32_t, 5> data) { sendToRoot(c, root, window(), type, data); }

    bool managed() const {
        const std::vector<uint32_t> check = cardinals(c, root, supportingCheck, XCB_ATOM_WINDOW);
        return !check.empty() && check[0] != XCB_WINDOW_NONE;
    }

    // Qt's hints for a window without a maximise button leave the maximise
    // function out; xfwm4 then marks the window maximised and leaves its size
    // (the frame hangs below the screen). The function is let in: no button
    // comes with it, the decorations being the window manager's choice.
    void allowMaximise() {
        constexpr uint32_t kFunctionsGiven = 1, kAllFunctions = 1, kMaximise = 0x10;
        std::vector<uint32_t> hints = cardinals(c, window(), motifHints, motifHints);
        if (hints.size() < 5 || !(hints[0] & kFunctionsGiven) || (hints[1] & (kAllFunctions | kMaximise))) return;
        hints[1] |= kMaximise;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window(), motifHints, motifHints, 32,
                            static_cast<uint32_t>(hints.size()), hints.data());
    }

    // The frame lies on `want`; or, as icewm hangs a maximised window's
    // borders over the work area's edges, covers it with the window inside.
    bool inPlace(const QRect& want) const {
        const QRect frame = holder.window_.frameGeometry();
        return frame == want || (frame.contains(want) && want.contains(holder.window_.geometry()));
    }

    void askEveryDesktop() {
        send(wmDesktop, {kAllDesktops, kPagerSource, 0, 0, 0});
        send(wmState, {kAdd, sticky, above, kPagerSource, 0});
        xcb_flush(c);
    }

    void hold() {
        if (!managed()) return holdWithoutManager();
        const bool maximised = holder.place_ && holder.place_() == holder.window_.screen()->availableGeometry();
        askEveryDesktop();
        send(wmState, {kRemove, shaded, below, kPagerSource, 0});
        if (maximised) {
            allowMaximise();
            // Moved or resized while still called maximised: maximised anew.
            if (!inPlace(holder.place_())) send(wmState, {kRemove, maxVert, maxHorz, kPagerSource, 0});
            send(wmState, {kAdd, maxVert, maxHorz, kPagerSource, 0});
        }
        const std::vector<uint32_t> showing = cardinals(c, root, showingDesktop, XCB_ATOM_CARDINAL);
        if (!showing.empty() && showing[0] != 0) sendToRoot(c, root, root, showingDesktop, {0, 0, 0, 0, 0});
        // A box or the help of the program's own stays in front of it.
        const QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == &holder.window_) {
            send(activeWindow, {kPagerSource, XCB_CURRENT_TIME, 0, 0, 0});
            const uint32_t stackMode = XCB_STACK_MODE_ABOVE;
            xcb_configure_window(c, window(), XCB_CONFIG_WINDOW_STACK_MODE, &stackMode);
        }
        xcb_flush(c);
    }

    // With no window manager, the focus and the top are the window's to
    // take: given at the server's own time, as a focus set by another
    // program with a later time than the window's last event would make
    // Qt's own request be ignored. A box or the help of the program's own
    // keeps them.
    void holdWithoutManager() {
        const QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != &holder.window_) return;
        if (!viewable(c, window())) return;
        const uint32_t stackMode = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c, window(), XCB_CONFIG_WINDOW_STACK_MODE, &stackMode);
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window(), XCB_CURRENT_TIME);
        xcb_flush(c);
    }

    // Another managed window above this one: one of another program, or,
    // while this one is the program's modal box or help, any other.
    bool lowered() const {
        const std::vector<uint32_t> order = cardinals(c, root, stacking, XCB_ATOM_WINDOW);
        std::vector<uint32_t> ours;
        if (QApplication::activeModalWidget() != &holder.window_)
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->testAttribute(Qt::WA_WState_Created))
                    ours.push_back(static_cast<uint32_t>(w->winId()));
        bool seen = false;
        for (uint32_t w : order) {
            if (w == window())
                seen = true;
            else if (seen && !contains(ours, w))
                return true;
        }
        return false;
    }

    // What took the window from the front, if anything did.
    std::optional<FrontLost> taken() {
        const bool switched = desktopSwitched;
        desktopSwitched = false;
        if (!holder.window_.isVisible() || !managed()) return std::nullopt;
        const std::vector<uint32_t> showing = cardinals(c, root, showingDesktop, XCB_ATOM_CARDINAL);
        if (!showing.empty() && showing[0] != 0) return FrontLost::ShowDesktop;
        const std::vector<uint32_t> desktop = cardinals(c, window(), wmDesktop, XCB_ATOM_CARDINAL);
        const std::vector<uint32_t> shown = cardinals(c, root, currentDesktop, XCB_ATOM_CARDINAL);
        if (!desktop.empty() && !shown.empty() && desktop[0] != kAllDesktops && desktop[0] != shown[0])
            return FrontLost::AnotherDesktop;
        if (switched) return FrontLost::DesktopSwitched;
        const std::vector<uint32_t> states = cardinals(c, window(), wmState, XCB_ATOM_ATOM);
        if (contains(states, shaded)) return FrontLost::Shaded;
        if (contains(states, below)) return FrontLost::Lowered;
        if (!contains(states, above)) return FrontLost::NotAbove;
        if (lowered()) return FrontLost::Lowered;
        if (holder.place_) {
            const QRect want = holder.place_();
            const QRect is = holder.window_.frameGeometry();
            if (!want.isEmpty() && !inPlace(want))
                return is.size() != want.size() ? FrontLost::Resized : FrontLost::Moved;
        }
        // Not yet on every desktop: asked again, nothing taken.
        if (desktop.empty() || desktop[0] != kAllDesktops) askEveryDesktop();
        return std::nullopt;
    }

    void look() {
        const std::optional<FrontLost> why = taken();
        if (!why) return;
        if (!burst.isValid() || burst.elapsed() > 2000) {
            burst.start();
            inBurst = 0;
        }
        if (++inBurst > 20) return;
        // The window puts itself back, and calls holdInFront.
        if (holder.taken_) holder.taken_(*why);
    }
};

bool takeAway(TakeAway what, QWidget& window, WId other, std::string& why) {
    xcb_connection_t* c = connection();
    if (!c) {
        why = "no X11 display";
        return false;
    }
    const xcb_window_t root = rootWindow(c);
    const bool managed = !windowManagerName().empty();
    switch (what) {
    case TakeAway::ActivateOther: {
        const auto otherId = static_cast<xcb_window_t>(other);
        if (managed) {
            // As a task bar asks: the window manager obeys a pager at once.
            sendToRoot(c, root, otherId, atom(c, "_NET_ACTIVE_WINDOW"), {kPagerSource, XCB_CURRENT_TIME, 0, 0, 0});
        } else {
            xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, otherId, XCB_CURRENT_TIME);
        }
        const uint32_t stackMode = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c, otherId, XCB_CONFIG_WINDOW_STACK_MODE, &stackMode);
        break;
    }
    case TakeAway::Minimise: {
        if (!managed) {
            why = "no window manager runs, which alone minimises windows";
            return false;
        }
        // ICCCM's request to iconify, which task bars and xdotool send.
        constexpr uint32_t kIconicState = 3;
        sendToRoot(c, root, static_cast<xcb_window_t>(window.winId()), atom(c, "WM_CHANGE_STATE"),
                   {kIconicState, 0, 0, 0, 0});
        break;
    }
    case TakeAway::ShowDesktop: {
        const xcb_atom_t showing = atom(c, "_NET_SHOWING_DESKTOP");
        if (!managed || !contains(cardinals(c, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM), showing)) {
            why = managed ? "the window manager has no show-desktop" : "no window manager runs, nor a desktop to show";
            return false;
        }
        sendToRoot(c, root, root, showing, {1, 0, 0, 0, 0});
        break;
    }
    }
    xcb_flush(c);
    return true;
}

bool isInFront(const QWidget& window) {
    if (!window.isVisible() || window.isMinimized()) return false;
    xcb_connection_t* c = connection();
    if (!c) return window.isActiveWindow();
    const xcb_window_t root = rootWindow(c);
    const auto ours = static_cast<xcb_window_t>(window.winId());
    if (!windowManagerName().empty()) {
        const std::vector<uint32_t> showing = cardinals(c, root, atom(c, "_NET_SHOWING_DESKTOP"), XCB_ATOM_CARDINAL);
        if (!showing.empty() && showing[0] != 0) return false;
        const std::vector<uint32_t> active = cardinals(c, root, atom(c, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
        if (active.empty() || active[0] != ours) return false;
        const std::vector<uint32_t> order = cardinals(c, root, atom(c, "_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW);
        return !order.empty() && order.back() == ours;
    }
    // No window manager: the keyboard's focus, and the top of the root's children.
    xcb_get_input_focus_reply_t* focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    const bool focused = focus && focus->focus == ours;
    std::free(focus);
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    bool onTop = false;
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree);
        // The last mapped child is the top one.
        for (int i = xcb_query_tree_children_length(tree) - 1; i >= 0; --i) {
            bool popup = false;
            if (viewable(c, children[i], &popup) && !popup) {
                onTop = children[i] == ours;
                break;
            }
        }
        std::free(tree);
    }
    return focused && onTop;
}

FrontHolder::FrontHolder(QWidget& window, std::function<void(FrontLost)> taken, std::function<QRect()> place)
    : QObject(&window), window_(window), taken_(std::move(taken)), place_(std::move(place)) {
    if (xcb_connection_t* c = connection()) native_ = std::make_unique<Native>(*this, c);
    window_.installEventFilter(this);
}

FrontHolder::~FrontHolder() = default;

void FrontHolder::holdInFront() {
    if (native_ && window_.isVisible()) native_->hold();
}

bool FrontHolder::eventFilter(QObject* watched, QEvent* event) {
    // A move or a resize is judged once the window manager is done with it.
    if (native_ && watched == &window_ && window_.isVisible() && place_ &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        native_->lookSoon(150);
    return QObject::eventFilter(watched, event);
}

#else

std::string windowManagerName() { return {}; }

bool onAnotherDesktop(const QWidget&) { return false; }

bool takeAway(TakeAway, QWidget&, WId, std::string& why) {
    why = "this build has no X11 calls";
    return false;
}

bool isInFront(const QWidget& window) { return window.isVisible() && !window.isMinimized() && window.isActiveWindow(); }

// No window manager to ask: the window's own flags and handlers are all.
struct FrontHolder::Native {};

FrontHolder::FrontHolder(QWidget& window, std::function<void(FrontLost)> taken, std::function<QRect()> place)
    : QObject(&window), window_(window), taken_(std::move(taken)), place_(std::move(place)) {}

FrontHolder::~FrontHolder() = default;

void FrontHolder::holdInFront() {}

bool FrontHolder::eventFilter(QObject* watched, QEvent* event) { return QObject::eventFilter(watched, event); }

#endif

}  // namespace qbx
