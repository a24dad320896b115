#include "X11Windows.h"

#include "XcbSession.h"

#include <QStringDecoder>

#include <array>
#include <cstring>

namespace {

// Generous for any desktop, small enough that a hostile client cannot make
// the pass slow.
constexpr uint32_t maxWindows = 4096;
constexpr uint32_t maxTextLongs = 256; // 1 KiB per text property

enum Atom { ClientList, WmPid, GtkApplicationId, KdeDesktopFile, AtomCount };
constexpr std::array<const char *, AtomCount> atomNames = {
    "_NET_CLIENT_LIST", "_NET_WM_PID", "_GTK_APPLICATION_ID", "_KDE_NET_WM_DESKTOP_FILE"};

// Atoms that no client ever created stay XCB_ATOM_NONE: nothing carries them.
std::array<xcb_atom_t, AtomCount> internAtoms(XcbSession &session)
{
    std::array<xcb_atom_t, AtomCount> atoms{};
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

QByteArrayView propertyBytes(const XcbReply<void> &reply)
{
    auto *property = static_cast<xcb_get_property_reply_t *>(reply.get());
    if (!property || property->format != 8)
        return {};
    return {static_cast<const char *>(xcb_get_property_value(property)),
            xcb_get_property_value_length(property)};
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

std::vector<xcb_window_t> windowList(const XcbReply<void> &reply)
{
    auto *property = static_cast<xcb_get_property_reply_t *>(reply.get());
    if (!property || property->format != 32 || property->type != XCB_ATOM_WINDOW)
        return {};
    const auto *windows = static_cast<const xcb_window_t *>(xcb_get_property_value(property));
    return {windows, windows + xcb_get_property_value_length(property) / 4};
}

std::vector<xcb_window_t> mappedRootChildren(XcbSession &session)
{
    const auto tree =
        session.replies({xcb_query_tree(session.connection(), session.root()).sequence});
    if (tree.empty() || !tree[0])
        return {};
    auto *reply = static_cast<xcb_query_tree_reply_t *>(tree[0].get());
    const xcb_window_t *children = xcb_query_tree_children(reply);
    const int count = std::min<int>(xcb_query_tree_children_length(reply), int(maxWindows));

    std::vector<unsigned int> sequences;
    for (int i = 0; i < count; ++i)
        sequences.push_back(xcb_get_window_attributes(session.connection(), children[i]).sequence);
    const auto attributes = session.replies(sequences);
    std::vector<xcb_window_t> mapped;
    for (size_t i = 0; i < attributes.size(); ++i) {
        auto *attribute = static_cast<xcb_get_window_attributes_reply_t *>(attributes[i].get());
        if (attribute && attribute->map_state == XCB_MAP_STATE_VIEWABLE &&
            !attribute->override_redirect) // menus and tooltips are not windows of their own
            mapped.push_back(children[i]);
    }
    return mapped;
}

} // namespace

QList<TopLevelWindow> x11TopLevelWindows(const QString &display)
{
    auto session = XcbSession::open(display);
    if (!session)
        return {};
    const auto atoms = internAtoms(*session);

    std::vector<xcb_window_t> windows;
    if (atoms[ClientList] != XCB_ATOM_NONE) {
        const auto list = session->replies({requestProperty(
            *session, session->root(), atoms[ClientList], XCB_ATOM_WINDOW, maxWindows)});
        if (!list.empty())
            windows = windowList(list[0]);
    }
    if (windows.empty() && !session->failed())
        windows = mappedRootChildren(*session);

    constexpr size_t propertiesPerWindow = 4;
    std::vector<unsigned int> sequences;
    for (xcb_window_t window : windows) {
        sequences.push_back(requestProperty(*session, window, atoms[WmPid], XCB_ATOM_CARDINAL, 1));
        sequences.push_back(
            requestProperty(*session, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, maxTextLongs));
        sequences.push_back(requestProperty(*session, window, atoms[GtkApplicationId],
                                            XCB_GET_PROPERTY_TYPE_ANY, maxTextLongs));
        sequences.push_back(requestProperty(*session, window, atoms[KdeDesktopFile],
                                            XCB_GET_PROPERTY_TYPE_ANY, maxTextLongs));
    }
    const auto properties = session->replies(sequences);

    QList<TopLevelWindow> found;
    for (size_t i = 0; i + propertiesPerWindow <= properties.size(); i += propertiesPerWindow) {
        TopLevelWindow window;
        auto *pid = static_cast<xcb_get_property_reply_t *>(properties[i].get());
        if (pid && pid->format == 32 && pid->type == XCB_ATOM_CARDINAL &&
            xcb_get_property_value_length(pid) == 4) {
            const uint32_t value = *static_cast<const uint32_t *>(xcb_get_property_value(pid));
            if (value > 0)
                window.pid = value;
        }
        const QByteArrayView wmClass = propertyBytes(properties[i + 1]);
        const qsizetype split = wmClass.indexOf('\0');
        window.instanceName = firstString(wmClass);
        if (split >= 0)
            window.className = firstString(wmClass.sliced(split + 1));
        window.applicationId = firstString(propertyBytes(properties[i + 2]));
        window.desktopFile = firstString(propertyBytes(properties[i + 3]));
        found.append(window);
    }
    return found;
}
