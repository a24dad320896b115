#include "X11Windows.h"

#include "XcbSession.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <xcb/shape.h>

#include <array>
#include <cstring>

namespace {

// Generous for any desktop, small enough that a hostile client cannot make
// the pass slow.
constexpr uint32_t maxWindows = 4096;
constexpr uint32_t maxTextLongs = 256; // 1 KiB per text property
constexpr uint32_t maxAtomLongs = 32;  // atoms of a state or type list

enum Atom {
    ClientList,
    WmPid,
    GtkApplicationId,
    KdeDesktopFile,
    NetWmName,
    WmState,
    NetWmState,
    StateAbove,
    StateSkipTaskbar,
    WindowType,
    FirstDesktopType,
    AtomCount = FirstDesktopType + 10
};
constexpr std::array<const char *, AtomCount> atomNames = {
    "_NET_CLIENT_LIST",
    "_NET_WM_PID",
    "_GTK_APPLICATION_ID",
    "_KDE_NET_WM_DESKTOP_FILE",
    "_NET_WM_NAME",
    "WM_STATE",
    "_NET_WM_STATE",
    "_NET_WM_STATE_ABOVE",
    "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_WINDOW_TYPE",
    // Window types that are plainly part of the desktop, never an overlay.
    "_NET_WM_WINDOW_TYPE_DOCK",
    "_NET_WM_WINDOW_TYPE_DESKTOP",
    "_NET_WM_WINDOW_TYPE_NOTIFICATION",
    "_NET_WM_WINDOW_TYPE_TOOLTIP",
    "_NET_WM_WINDOW_TYPE_MENU",
    "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU",
    "_NET_WM_WINDOW_TYPE_POPUP_MENU",
    "_NET_WM_WINDOW_TYPE_COMBO",
    "_NET_WM_WINDOW_TYPE_DND",
    "_NET_WM_WINDOW_TYPE_SPLASH",
};
using Atoms = std::array<xcb_atom_t, AtomCount>;

// Atoms that no client ever created stay XCB_ATOM_NONE: nothing carries them.
Atoms internAtoms(XcbSession &session)
{
    Atoms atoms{};
    std::vector<unsigned int> sequences;
    for (const char *name : atomNames)
        sequences.push_back(
            xcb_intern_atom(session.connection(), 1, uint16_t(strlen(name)), name).sequence);
    const auto replies = session.replies(sequences);
    for (size_t i = 0; i < replies.size(); ++i) {
        if (replies[i])
            atoms[i] = static_cast<xcb_intern_atom_reply_t *>(replies[i].get())->atom;
    }
    return atoms;
}

unsigned int requestProperty(XcbSession &session, xcb_window_t window, xcb_atom_t property,
                             xcb_atom_t type, uint32_t longs)
{
    return xcb_get_property(session.connection(), 0, window, property, type, 0, longs).sequence;
}

xcb_get_property_reply_t *asProperty(const XcbReply<void> &reply)
{
    return static_cast<xcb_get_property_reply_t *>(reply.get());
}

QByteArrayView propertyBytes(const XcbReply<void> &reply)
{
    auto *property = asProperty(reply);
    if (!property || property->format != 8)
        return {};
    return {static_cast<const char *>(xcb_get_property_value(property)),
            xcb_get_property_value_length(property)};
}

// The 32-bit values of a property of `type`; empty for any other shape.
template <typename T> std::vector<T> propertyLongs(const XcbReply<void> &reply, xcb_atom_t type)
{
    auto *property = asProperty(reply);
    if (!property || property->format != 32 || property->type != type)
        return {};
    const auto *values = static_cast<const T *>(xcb_get_property_value(property));
    return {values, values + xcb_get_property_value_length(property) / 4};
}

// Text properties are UTF-8 or, for old clients, Latin-1.
QString decodeText(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    return text.trimmed();
}

QString firstString(QByteArrayView bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return decodeText(nul < 0 ? bytes : bytes.first(nul));
}

// What the window list needs to know of each window before reading it.
struct Candidate
{
    xcb_window_t window;
    bool viewable = false;
    bool overrideRedirect = false;
    bool argbVisual = false;
    int width = 0;
    int height = 0;
};

// A window inside another.
struct Child
{
    xcb_window_t parent;
    xcb_window_t window;
};

class WindowReader
{
public:
    WindowReader(XcbSession &session) : m_session(session), m_atoms(internAtoms(session)) {}

    QList<TopLevelWindow> read();

private:
    std::vector<xcb_window_t> clientList();
    std::vector<Child> children(const std::vector<xcb_window_t> &parents);
    std::vector<Candidate> attributes(const std::vector<xcb_window_t> &windows);
    std::vector<bool> haveWmState(const std::vector<Candidate> &candidates);
    std::vector<Candidate> topLevelWindows();
    QList<TopLevelWindow> describe(const std::vector<Candidate> &candidates);

    XcbSession &m_session;
    Atoms m_atoms;
};

std::vector<xcb_window_t> WindowReader::clientList()
{
    if (m_atoms[ClientList] == XCB_ATOM_NONE)
        return {};
    const auto list = m_session.replies({requestProperty(
        m_session, m_session.root(), m_atoms[ClientList], XCB_ATOM_WINDOW, maxWindows)});
    return list.empty() ? std::vector<xcb_window_t>{}
                        : propertyLongs<xcb_window_t>(list[0], XCB_ATOM_WINDOW);
}

// The children of each parent, the topmost first, at most maxWindows in all.
std::vector<Child> WindowReader::children(const std::vector<xcb_window_t> &parents)
{
    std::vector<unsigned int> sequences;
    for (xcb_window_t parent : parents)
        sequences.push_back(xcb_query_tree(m_session.connection(), parent).sequence);
    const auto replies = m_session.replies(sequences);
    std::vector<Child> found;
    for (size_t p = 0; p < replies.size(); ++p) {
        auto *tree = static_cast<xcb_query_tree_reply_t *>(replies[p].get());
        if (!tree)
            continue;
        const xcb_window_t *windows = xcb_query_tree_children(tree);
        for (int i = xcb_query_tree_children_length(tree) - 1; i >= 0 && found.size() < maxWindows;
             --i)
            found.push_back({parents[p], windows[i]});
    }
    return found;
}

std::vector<xcb_window_t> windowsOf(const std::vector<Child> &children)
{
    std::vector<xcb_window_t> windows;
    for (const Child &child : children)
        windows.push_back(child.window);
    return windows;
}

// The windows that exist, with their map state and visual depth.
std::vector<Candidate> WindowReader::attributes(const std::vector<xcb_window_t> &windows)
{
    std::vector<unsigned int> sequences;
    for (xcb_window_t window : windows) {
        sequences.push_back(xcb_get_window_attributes(m_session.connection(), window).sequence);
        sequences.push_back(xcb_get_geometry(m_session.connection(), window).sequence);
    }
    const auto replies = m_session.replies(sequences);
    std::vector<Candidate> existing;
    for (size_t i = 0; i + 1 < replies.size(); i += 2) {
        auto *attribute = static_cast<xcb_get_window_attributes_reply_t *>(replies[i].get());
        auto *geometry = static_cast<xcb_get_geometry_reply_t *>(replies[i + 1].get());
        if (!attribute || !geometry)
            continue; // a bogus id, or a window gone meanwhile
        existing.push_back({windows[i / 2], attribute->map_state == XCB_MAP_STATE_VIEWABLE,
                            bool(attribute->override_redirect), geometry->depth == 32,
                            geometry->width, geometry->height});
    }
    return existing;
}

std::vector<bool> WindowReader::haveWmState(const std::vector<Candidate> &candidates)
{
    std::vector<unsigned int> sequences;
    for (const Candidate &candidate : candidates)
        sequences.push_back(requestProperty(m_session, candidate.window, m_atoms[WmState],
                                            XCB_GET_PROPERTY_TYPE_ANY, 1));
    std::vector<bool> have;
    for (const auto &reply : m_session.replies(sequences))
        have.push_back(asProperty(reply) && asProperty(reply)->type != XCB_ATOM_NONE);
    return have;
}

// The client list first, then the viewable root children it leaves out: a
// client itself (it has WM_STATE, is override-redirect, or no window manager
// framed it) or a window manager's frame, whose clients are its children with
// WM_STATE.
std::vector<Candidate> WindowReader::topLevelWindows()
{
    std::vector<Candidate> windows = attributes(clientList());
    QSet<xcb_window_t> seen;
    for (const Candidate &window : windows)
        seen.insert(window.window);
    const auto addUnseen = [&](const Candidate &candidate) {
        if (!seen.contains(candidate.window) && windows.size() < 2 * maxWindows) {
            seen.insert(candidate.window);
            windows.push_back(candidate);
        }
    };

    std::vector<Candidate> rootChildren = attributes(windowsOf(children({m_session.root()})));
    std::erase_if(rootChildren, [](const Candidate &c) { return !c.viewable; });
    const std::vector<bool> clients = haveWmState(rootChildren);
    std::vector<xcb_window_t> frames;
    for (size_t i = 0; i < rootChildren.size() && i < clients.size(); ++i) {
        if (!clients[i] && !rootChildren[i].overrideRedirect)
            frames.push_back(rootChildren[i].window);
    }
    const std::vector<Child> inner = children(frames);
    const std::vector<Candidate> innerWindows = attributes(windowsOf(inner));
    const std::vector<bool> innerClients = haveWmState(innerWindows);
    QHash<xcb_window_t, xcb_window_t> frameOf;
    for (const Child &child : inner)
        frameOf.insert(child.window, child.parent);
    QSet<xcb_window_t> framesWithClients;
    for (size_t i = 0; i < innerWindows.size() && i < innerClients.size(); ++i) {
        if (innerClients[i]) {
            addUnseen(innerWindows[i]);
            framesWithClients.insert(frameOf.value(innerWindows[i].window));
        }
    }
    for (const Candidate &rootChild : rootChildren) {
        if (!framesWithClients.contains(rootChild.window))
            addUnseen(rootChild);
    }
    return windows;
}

QList<TopLevelWindow> WindowReader::describe(const std::vector<Candidate> &candidates)
{
    const xcb_query_extension_reply_t *shape =
        xcb_get_extension_data(m_session.connection(), &xcb_shape_id);
    const bool hasShape = shape && shape->present;

    const size_t requestsPerWindow = hasShape ? 9 : 8;
    std::vector<unsigned int> sequences;
    for (const Candidate &candidate : candidates) {
        const xcb_window_t w = candidate.window;
        sequences.push_back(requestProperty(m_session, w, m_atoms[WmPid], XCB_ATOM_CARDINAL, 1));
        sequences.push_back(
            requestProperty(m_session, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, maxTextLongs));
        for (Atom text : {GtkApplicationId, KdeDesktopFile, NetWmName})
            sequences.push_back(requestProperty(m_session, w, m_atoms[text],
                                                XCB_GET_PROPERTY_TYPE_ANY, maxTextLongs));
        sequences.push_back(requestProperty(m_session, w, XCB_ATOM_WM_NAME,
                                            XCB_GET_PROPERTY_TYPE_ANY, maxTextLongs));
        sequences.push_back(
            requestProperty(m_session, w, m_atoms[NetWmState], XCB_ATOM_ATOM, maxAtomLongs));
        sequences.push_back(
            requestProperty(m_session, w, m_atoms[WindowType], XCB_ATOM_ATOM, maxAtomLongs));
        if (hasShape)
            sequences.push_back(
                xcb_shape_get_rectangles(m_session.connection(), w, XCB_SHAPE_SK_INPUT).sequence);
    }
    const auto replies = m_session.replies(sequences);

    QList<TopLevelWindow> found;
    for (size_t i = 0; i + requestsPerWindow <= replies.size(); i += requestsPerWindow) {
        const Candidate &candidate = candidates[i / requestsPerWindow];
        TopLevelWindow window;
        window.id = QStringLiteral("0x") + QString::number(candidate.window, 16);
        if (const auto pid = propertyLongs<uint32_t>(replies[i], XCB_ATOM_CARDINAL);
            pid.size() == 1 && pid[0] > 0)
            window.pid = pid[0];
        const QByteArrayView wmClass = propertyBytes(replies[i + 1]);
        const qsizetype split = wmClass.indexOf('\0');
        window.instanceName = firstString(wmClass);
        if (split >= 0)
            window.className = firstString(wmClass.sliced(split + 1));
        window.applicationId = firstString(propertyBytes(replies[i + 2]));
        window.desktopFile = firstString(propertyBytes(replies[i + 3]));
        window.title = firstString(propertyBytes(replies[i + 4]));
        if (window.title.isEmpty())
            window.title = firstString(propertyBytes(replies[i + 5]));

        WindowLayering layering;
        layering.viewable = candidate.viewable;
        layering.overrideRedirect = candidate.overrideRedirect;
        layering.argbVisual = candidate.argbVisual;
        layering.width = candidate.width;
        layering.height = candidate.height;
        for (xcb_atom_t state : propertyLongs<xcb_atom_t>(replies[i + 6], XCB_ATOM_ATOM)) {
            layering.above = layering.above || state == m_atoms[StateAbove];
            layering.skipTaskbar = layering.skipTaskbar || state == m_atoms[StateSkipTaskbar];
        }
        for (xcb_atom_t type : propertyLongs<xcb_atom_t>(replies[i + 7], XCB_ATOM_ATOM)) {
            for (int desktop = FirstDesktopType; desktop < AtomCount; ++desktop)
                layering.desktopType =
                    layering.desktopType || (type != XCB_ATOM_NONE && type == m_atoms[desktop]);
        }
        if (hasShape) {
            auto *input = static_cast<xcb_shape_get_rectangles_reply_t *>(replies[i + 8].get());
            layering.emptyInputShape = input && input->rectangles_len == 0;
        }
        window.overlayTraits = overlayTraits(layering);
        found.append(window);
    }
    return found;
}

QList<TopLevelWindow> WindowReader::read()
{
    const std::vector<Candidate> candidates = topLevelWindows();
    if (m_session.failed())
        return {};
    return describe(candidates);
}

} // namespace

QList<TopLevelWindow> x11TopLevelWindows(const QString &display)
{
    auto session = XcbSession::open(display);
    if (!session)
        return {};
    return WindowReader(*session).read();
}
