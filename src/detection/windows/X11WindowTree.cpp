// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "detection/windows/X11WindowTree.h"

namespace {

void readClient(TreeWindow &window, const X11Atoms &atoms,
                const xcb_get_window_attributes_reply_t *attributes,
                const xcb_list_properties_reply_t *properties)
{
    window.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    window.overrideRedirect = attributes->override_redirect;
    window.inputOnly = attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY;
    if (!properties)
        return;
    const xcb_atom_t *carried = xcb_list_properties_atoms(properties);
    for (int i = 0; i < xcb_list_properties_atoms_length(properties); ++i) {
        if (const auto atom = atoms.find(carried[i]))
            window.properties.set(size_t(*atom));
    }
}

} // namespace

WindowTree walkWindowTree(XcbSession &session, const X11Atoms &atoms)
{
    xcb_connection_t *connection = session.connection();
    const uint32_t clientBits = ~session.resourceIdMask();
    WindowTree tree;
    for (size_t screen = 0; screen < session.roots().size(); ++screen)
        tree.windows.push_back({.id = session.roots()[screen], .screen = screen});

    for (size_t levelBegin = 0; levelBegin < tree.windows.size();) {
        const size_t levelEnd = tree.windows.size();
        const auto replies = session.exchange(
            levelEnd - levelBegin, [&](size_t item, std::vector<unsigned int> &sequences) {
                const TreeWindow &window = tree.windows[levelBegin + item];
                sequences.push_back(xcb_query_tree(connection, window.id).sequence);
                if (window.client) {
                    sequences.push_back(xcb_get_window_attributes(connection, window.id).sequence);
                    sequences.push_back(xcb_list_properties(connection, window.id).sequence);
                }
            });
        if (replies.empty())
            break;
        size_t next = 0;
        for (size_t i = levelBegin; i < levelEnd; ++i) {
            const auto *children = replyAs<xcb_query_tree_reply_t>(replies[next++]);
            if (tree.windows[i].client) {
                const auto *attributes = replyAs<xcb_get_window_attributes_reply_t>(replies[next]);
                const auto *properties = replyAs<xcb_list_properties_reply_t>(replies[next + 1]);
                next += 2;
                if (!attributes)
                    continue; // gone meanwhile
                readClient(tree.windows[i], atoms, attributes, properties);
            }
            if (!children || tree.windows[i].inputOnly)
                continue;
            const xcb_window_t *ids = xcb_query_tree_children(children);
            const int count = xcb_query_tree_children_length(children);
            for (int k = 0; k < count; ++k) {
                if (tree.windows.size() >= WindowTree::maxWindows) {
                    tree.complete = false;
                    break;
                }
                const TreeWindow &parent = tree.windows[i];
                const bool topLevel = parent.parent < 0;
                tree.windows.push_back(
                    {.id = ids[k],
                     .screen = parent.screen,
                     .parent = int(i),
                     .topLevel = topLevel ? int(tree.windows.size()) : parent.topLevel,
                     .stackPosition = topLevel ? k : parent.stackPosition,
                     .client = (ids[k] & clientBits) != (parent.id & clientBits)});
            }
        }
        levelBegin = levelEnd;
    }
    return tree;
}
