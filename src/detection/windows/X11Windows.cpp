// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/windows/X11Windows.h"

#include "detection/windows/X11Atoms.h"
#include "detection/windows/X11Properties.h"
#include "detection/windows/X11WindowTree.h"

#include <QHash>
#include <QSet>

#include <xcb/res.h>
#include <xcb/shape.h>

#include <algorithm>
#include <bitset>

using namespace Qt::StringLiterals;

namespace {

// Past the walk's own bound: no hostile client makes the properties read grow
// beyond this many windows.
constexpr size_t maxDescribedWindows = 4096;
constexpr uint32_t maxTextLongs = 256;   // 1 KiB of a class, an identifier or a role
constexpr uint32_t maxTitleLongs = 2048; // 8 KiB of a title or an icon name
constexpr uint32_t maxAtomLongs = 32;    // atoms of a state or type list
constexpr uint32_t maxMotifLongs = 5;    // flags, functions, decorations, input mode, status
constexpr uint32_t motifDecorationsFlag = 1u << 1;
constexpr uint32_t opaque = 0xffffffff; // _NET_WM_WINDOW_OPACITY

// What a screen's root window tells about the windows on it.
struct Screen
{
    std::optional<QSet<xcb_window_t>> clientList; // none: no window manager keeps one
    int activeWindow = -1;                        // among the walk's windows
    std::optional<uint32_t> managerClient;        // holder of the WM_Sn selection
};

// The replies asked for one window, by what they answer.
struct Asked
{
    std::array<int, X11Atoms::count> property;
    int geometry = -1;
    int inputShape = -1;
    int boundingShape = -1;
};

// Whether a bounding shape leaves out part of the window's rectangle.
bool cutsRectangle(const xcb_shape_get_rectangles_reply_t *shape, int width, int height)
{
    if (!shape)
        return false;
    if (xcb_shape_get_rectangles_rectangles_length(shape) != 1)
        return true;
    const xcb_rectangle_t whole = *xcb_shape_get_rectangles_rectangles(shape);
    return whole.x > 0 || whole.y > 0 || whole.x + whole.width < width ||
           whole.y + whole.height < height;
}

class WindowReader
{
public:
    explicit WindowReader(XcbSession &session)
        : m_session(session), m_atoms(session), m_clientBits(~session.resourceIdMask())
    {}

    QList<TopLevelWindow> read(const QString &display, QStringList *limits);

private:
    bool hasExtension(xcb_extension_t *extension) const;
    std::vector<unsigned int> requestScreens() const;
    std::vector<Screen> screens(const std::vector<XcbReply<void>> &replies) const;
    QHash<uint32_t, qint64> clientPids(const XcbReply<void> &reply) const;
    std::vector<bool> windowManagerFrames(const std::vector<Screen> &screens) const;
    std::vector<size_t> chooseWindows(const std::vector<bool> &frames) const;
    QList<TopLevelWindow> describe(const std::vector<size_t> &chosen,
                                   const std::vector<Screen> &screens,
                                   const QHash<uint32_t, qint64> &pids);
    WindowLayering layering(size_t index, const Screen &screen, const Asked &asked,
                            const std::vector<XcbReply<void>> &replies) const;

    XcbSession &m_session;
    X11Atoms m_atoms;
    uint32_t m_clientBits;
    WindowTree m_tree;
};

bool WindowReader::hasExtension(xcb_extension_t *extension) const
{
    // Asked for with the atoms, so answered by now: this does not wait.
    const xcb_query_extension_reply_t *data =
        xcb_get_extension_data(m_session.connection(), extension);
    return data && data->present;
}

// Per screen: the client list, the active window and the manager's selection.
std::vector<unsigned int> WindowReader::requestScreens() const
{
    std::vector<unsigned int> sequences;
    for (size_t screen = 0; screen < m_session.roots().size(); ++screen) {
        const xcb_window_t root = m_session.roots()[screen];
        sequences.push_back(requestProperty(m_session, root, m_atoms[X11Atom::NetClientList],
                                            XCB_ATOM_WINDOW, WindowTree::maxWindows));
        sequences.push_back(requestProperty(m_session, root, m_atoms[X11Atom::NetActiveWindow],
                                            XCB_ATOM_WINDOW, 1));
        sequences.push_back(
            xcb_get_selection_owner(m_session.connection(), m_atoms.windowManagerSelection(screen))
                .sequence);
    }
    return sequences;
}

std::vector<Screen> WindowReader::screens(const std::vector<XcbReply<void>> &replies) const
{
    std::vector<Screen> screens(m_session.roots().size());
    for (size_t screen = 0; screen < screens.size(); ++screen) {
        const XcbReply<void> *reply = &replies[3 * screen];
        if (asProperty(reply[0]) && asProperty(reply[0])->type == XCB_ATOM_WINDOW) {
            const auto listed = propertyLongs<xcb_window_t>(reply[0], XCB_ATOM_WINDOW);
            screens[screen].clientList = QSet<xcb_window_t>(listed.begin(), listed.end());
        }
        if (const auto active = propertyLongs<xcb_window_t>(reply[1], XCB_ATOM_WINDOW);
            active.size() == 1 && active[0] != XCB_WINDOW_NONE) {
            const auto found =
                std::find_if(m_tree.windows.begin(), m_tree.windows.end(),
                             [&](const TreeWindow &window) { return window.id == active[0]; });
            if (found != m_tree.windows.end())
                screens[screen].activeWindow = int(found - m_tree.windows.begin());
        }
        const auto *owner = replyAs<xcb_get_selection_owner_reply_t>(reply[2]);
        if (owner && owner->owner != XCB_WINDOW_NONE)
            screens[screen].managerClient = owner->owner & m_clientBits;
    }
    return screens;
}

// The process of each client, by the bits of a resource id that name the client.
QHash<uint32_t, qint64> WindowReader::clientPids(const XcbReply<void> &reply) const
{
    QHash<uint32_t, qint64> pids;
    const auto *ids = replyAs<xcb_res_query_client_ids_reply_t>(reply);
    if (!ids)
        return pids;
    for (auto id = xcb_res_query_client_ids_ids_iterator(ids); id.rem;
         xcb_res_client_id_value_next(&id)) {
        // Which client the value belongs to, and what kind of value it is.
        const auto &[owner, length] = *id.data;
        if ((owner.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
            xcb_res_client_id_value_value_length(id.data) == 1)
            pids.insert(owner.client & m_clientBits, *xcb_res_client_id_value_value(id.data));
    }
    return pids;
}

// The windows in which the window manager holds the clients it manages: the
// nearest client window around a window with WM_STATE, made by the holder
// of the screen's manager selection, without WM_STATE of its own. Only that
// client can be the manager, so no other client's window passes for a frame.
std::vector<bool> WindowReader::windowManagerFrames(const std::vector<Screen> &screens) const
{
    std::vector<bool> frames(m_tree.windows.size());
    for (const TreeWindow &window : m_tree.windows) {
        if (!window.client || !window.properties[size_t(X11Atom::WmState)])
            continue;
        int holder = window.parent;
        while (holder >= 0 && !m_tree.windows[holder].client)
            holder = m_tree.windows[holder].parent;
        if (holder < 0)
            continue;
        const TreeWindow &frame = m_tree.windows[holder];
        const auto manager = screens[frame.screen].managerClient;
        if (!frame.properties[size_t(X11Atom::WmState)] && manager &&
            (frame.id & m_clientBits) == *manager)
            frames[holder] = true;
    }
    return frames;
}

// Client windows on screen or named, those on screen first: they name an
// application before its hidden ones. Unnamed hidden and input-only windows
// are left out before the limit, so that no number of them hides another.
std::vector<size_t> WindowReader::chooseWindows(const std::vector<bool> &frames) const
{
    std::bitset<X11Atoms::count> names;
    for (int name = 0; name < X11Atoms::nameCount; ++name)
        names.set(size_t(name));
    std::vector<size_t> chosen;
    for (size_t i = 0; i < m_tree.windows.size(); ++i) {
        const TreeWindow &window = m_tree.windows[i];
        if (window.client && !window.inputOnly && !frames[i] &&
            (window.viewable || (window.properties & names).any()))
            chosen.push_back(i);
    }
    std::stable_partition(chosen.begin(), chosen.end(),
                          [&](size_t i) { return m_tree.windows[i].viewable; });
    return chosen;
}

WindowLayering WindowReader::layering(size_t index, const Screen &screen, const Asked &asked,
                                      const std::vector<XcbReply<void>> &replies) const
{
    const TreeWindow &window = m_tree.windows[index];
    const auto property = [&](X11Atom atom) -> const XcbReply<void> & {
        static const XcbReply<void> none;
        const int at = asked.property[size_t(atom)];
        return at < 0 ? none : replies[size_t(at)];
    };
    WindowLayering layering{.viewable = true,
                            .overrideRedirect =
                                window.overrideRedirect ||
                                m_tree.windows[size_t(window.topLevel)].overrideRedirect};
    if (const auto *geometry = replyAs<xcb_get_geometry_reply_t>(replies[size_t(asked.geometry)])) {
        layering.width = geometry->width;
        layering.height = geometry->height;
        layering.argbVisual = geometry->depth == 32;
    }
    for (xcb_atom_t state :
         propertyLongs<xcb_atom_t>(property(X11Atom::NetWmState), XCB_ATOM_ATOM)) {
        layering.above = layering.above || state == m_atoms[X11Atom::StateAbove];
        layering.skipTaskbar = layering.skipTaskbar || state == m_atoms[X11Atom::StateSkipTaskbar];
    }
    // A window manager gives a window the first type of its list that it knows.
    for (xcb_atom_t type :
         propertyLongs<xcb_atom_t>(property(X11Atom::NetWmWindowType), XCB_ATOM_ATOM)) {
        const auto known = m_atoms.find(type);
        if (known && *known >= X11Atom::TypeNormal) {
            layering.desktopType = *known >= X11Atom::TypeDock;
            break;
        }
    }
    if (asked.inputShape >= 0) {
        const auto *input =
            replyAs<xcb_shape_get_rectangles_reply_t>(replies[size_t(asked.inputShape)]);
        layering.emptyInputShape = input && input->rectangles_len == 0;
        layering.shaped = cutsRectangle(
            replyAs<xcb_shape_get_rectangles_reply_t>(replies[size_t(asked.boundingShape)]),
            layering.width, layering.height);
    }
    if (const auto opacity =
            propertyLongs<uint32_t>(property(X11Atom::NetWmWindowOpacity), XCB_ATOM_CARDINAL);
        opacity.size() == 1)
        layering.translucent = opacity[0] < opaque;
    if (const auto motif =
            propertyLongs<uint32_t>(property(X11Atom::MotifWmHints), XCB_GET_PROPERTY_TYPE_ANY);
        motif.size() >= 3)
        layering.undecorated = (motif[0] & motifDecorationsFlag) && motif[2] == 0;
    layering.unlisted = screen.clientList && !screen.clientList->contains(window.id);
    if (screen.activeWindow >= 0 && size_t(screen.activeWindow) != index) {
        const TreeWindow &active = m_tree.windows[size_t(screen.activeWindow)];
        const auto transientFor =
            propertyLongs<xcb_window_t>(property(X11Atom::WmTransientFor), XCB_ATOM_WINDOW);
        layering.aboveActiveWindow = window.topLevel != active.topLevel &&
                                     window.stackPosition > active.stackPosition &&
                                     !(transientFor.size() == 1 && transientFor[0] == active.id);
    }
    return layering;
}

QList<TopLevelWindow> WindowReader::describe(const std::vector<size_t> &chosen,
                                             const std::vector<Screen> &screens,
                                             const QHash<uint32_t, qint64> &pids)
{
    const bool hasShape = hasExtension(&xcb_shape_id);
    xcb_connection_t *connection = m_session.connection();
    std::vector<Asked> asked(chosen.size());
    int position = 0; // of the next reply among all
    const auto replies =
        m_session.exchange(chosen.size(), [&](size_t c, std::vector<unsigned int> &sequences) {
            const TreeWindow &window = m_tree.windows[chosen[c]];
            const auto send = [&](unsigned int sequence) {
                sequences.push_back(sequence);
                return position++;
            };
            asked[c].property.fill(-1);
            // Only what the window carries is asked for.
            const auto ask = [&](X11Atom atom, xcb_atom_t type, uint32_t longs) {
                if (window.properties[size_t(atom)])
                    asked[c].property[size_t(atom)] =
                        send(requestProperty(m_session, window.id, m_atoms[atom], type, longs));
            };
            if (!pids.contains(window.id & m_clientBits))
                ask(X11Atom::NetWmPid, XCB_ATOM_CARDINAL, 1);
            for (X11Atom text : {X11Atom::WmClass, X11Atom::GtkApplicationId,
                                 X11Atom::KdeNetWmDesktopFile, X11Atom::WmWindowRole})
                ask(text, XCB_GET_PROPERTY_TYPE_ANY, maxTextLongs);
            for (X11Atom title :
                 {X11Atom::NetWmName, X11Atom::WmName, X11Atom::NetWmIconName, X11Atom::WmIconName})
                ask(title, XCB_GET_PROPERTY_TYPE_ANY, maxTitleLongs);
            if (!window.viewable)
                return; // read for its names only
            ask(X11Atom::NetWmState, XCB_ATOM_ATOM, maxAtomLongs);
            ask(X11Atom::NetWmWindowType, XCB_ATOM_ATOM, maxAtomLongs);
            ask(X11Atom::MotifWmHints, XCB_GET_PROPERTY_TYPE_ANY, maxMotifLongs);
            ask(X11Atom::NetWmWindowOpacity, XCB_ATOM_CARDINAL, 1);
            ask(X11Atom::WmTransientFor, XCB_ATOM_WINDOW, 1);
            asked[c].geometry = send(xcb_get_geometry(connection, window.id).sequence);
            if (hasShape) {
                asked[c].inputShape = send(
                    xcb_shape_get_rectangles(connection, window.id, XCB_SHAPE_SK_INPUT).sequence);
                asked[c].boundingShape =
                    send(xcb_shape_get_rectangles(connection, window.id, XCB_SHAPE_SK_BOUNDING)
                             .sequence);
            }
        });
    if (replies.size() != size_t(position))
        return {};

    QList<TopLevelWindow> found;
    for (size_t c = 0; c < chosen.size(); ++c) {
        const TreeWindow &window = m_tree.windows[chosen[c]];
        const auto bytes = [&](X11Atom atom) {
            const int at = asked[c].property[size_t(atom)];
            return at < 0 ? QByteArrayView() : propertyBytes(replies[size_t(at)]);
        };
        TopLevelWindow described;
        described.id = u"0x"_s + QString::number(window.id, 16);
        if (const auto owner = pids.constFind(window.id & m_clientBits); owner != pids.cend()) {
            described.pid = *owner;
        } else if (const int at = asked[c].property[size_t(X11Atom::NetWmPid)]; at >= 0) {
            if (const auto hint = propertyLongs<uint32_t>(replies[size_t(at)], XCB_ATOM_CARDINAL);
                hint.size() == 1 && hint[0] > 0)
                described.pid = hint[0];
        }
        const QByteArrayView wmClass = bytes(X11Atom::WmClass);
        described.instanceName = firstString(wmClass);
        if (const qsizetype split = wmClass.indexOf('\0'); split >= 0)
            described.className = firstString(wmClass.sliced(split + 1));
        described.applicationId = firstString(bytes(X11Atom::GtkApplicationId));
        described.desktopFile = firstString(bytes(X11Atom::KdeNetWmDesktopFile));
        described.role = firstString(bytes(X11Atom::WmWindowRole));
        described.title = collapsedText(bytes(X11Atom::NetWmName));
        if (described.title.isEmpty())
            described.title = collapsedText(bytes(X11Atom::WmName));
        described.iconName = collapsedText(bytes(X11Atom::NetWmIconName));
        if (described.iconName.isEmpty())
            described.iconName = collapsedText(bytes(X11Atom::WmIconName));
        if (window.viewable)
            described.overlayTraits =
                overlayTraits(layering(chosen[c], screens[window.screen], asked[c], replies));
        found.append(described);
    }
    return found;
}

QList<TopLevelWindow> WindowReader::read(const QString &display, QStringList *limits)
{
    if (m_session.failed())
        return {};
    // Asked before the walk, answered with its first level.
    std::vector<unsigned int> sequences = requestScreens();
    if (hasExtension(&xcb_res_id)) {
        const xcb_res_client_id_spec_t everyClient{XCB_NONE,
                                                   XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        sequences.push_back(
            xcb_res_query_client_ids(m_session.connection(), 1, &everyClient).sequence);
    }
    m_tree = walkWindowTree(m_session, m_atoms);
    const auto replies = m_session.replies(sequences);
    if (m_session.failed())
        return {};
    if (!m_tree.complete)
        *limits << u"windows: %1 holds more than %2 windows; the rest were not read"_s.arg(
            display, QString::number(WindowTree::maxWindows));
    const std::vector<Screen> screens = this->screens(replies);
    const auto pids = replies.size() > 3 * screens.size() ? clientPids(replies.back())
                                                          : QHash<uint32_t, qint64>();
    std::vector<size_t> chosen = chooseWindows(windowManagerFrames(screens));
    if (chosen.size() > maxDescribedWindows) {
        chosen.resize(maxDescribedWindows);
        *limits << u"windows: %1 shows more than %2 windows on screen or with a name; the rest "
                   u"were not read"_s.arg(display, QString::number(maxDescribedWindows));
    }
    return describe(chosen, screens, pids);
}

QString failureText(XcbSession::Failure failure, const QString &display)
{
    switch (failure) {
    case XcbSession::Failure::None:
        break;
    case XcbSession::Failure::Unreachable:
        return u"windows: the X display %1 cannot be reached"_s.arg(display);
    case XcbSession::Failure::NoAnswer:
        return u"windows: the X server of %1 stopped answering (a client may hold it grabbed)"_s
            .arg(display);
    case XcbSession::Failure::Broken:
        return u"windows: the connection to the X server of %1 broke during the scan"_s.arg(
            display);
    case XcbSession::Failure::TooLong:
        return u"windows: the windows of %1 could not all be read within %2 ms"_s.arg(
            display, QString::number(XcbSession::sessionTimeout.count()));
    }
    return {};
}

} // namespace

QList<TopLevelWindow> x11Windows(const QString &display, QStringList *limits)
{
    XcbSession::Failure failure = XcbSession::Failure::None;
    auto session = XcbSession::open(display, &failure);
    if (!session) {
        *limits << failureText(failure, display);
        return {};
    }
    WindowReader reader(*session);
    QList<TopLevelWindow> windows = reader.read(display, limits);
    if (session->failed())
        *limits << failureText(session->failure(), display);
    return windows;
}
