// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "detection/windows/XcbSession.h"

#include <QByteArrayView>
#include <QString>

#include <vector>

// Reading window properties any client may have written: every request is
// bounded in length, and every value is checked for the shape it should have.

inline unsigned int requestProperty(XcbSession &session, xcb_window_t window, xcb_atom_t property,
                                    xcb_atom_t type, uint32_t longs)
{
    return xcb_get_property(session.connection(), 0, window, property, type, 0, longs).sequence;
}

inline xcb_get_property_reply_t *asProperty(const XcbReply<void> &reply)
{
    return replyAs<xcb_get_property_reply_t>(reply);
}

// The bytes of an 8-bit property; empty for any other.
QByteArrayView propertyBytes(const XcbReply<void> &reply);

// The 32-bit values of a property of `type` (any type: XCB_GET_PROPERTY_TYPE_ANY);
// empty for any other shape.
template <typename T> std::vector<T> propertyLongs(const XcbReply<void> &reply, xcb_atom_t type)
{
    auto *property = asProperty(reply);
    if (!property || property->format != 32 ||
        (type != XCB_GET_PROPERTY_TYPE_ANY && property->type != type))
        return {};
    const auto *values = static_cast<const T *>(xcb_get_property_value(property));
    return {values, values + xcb_get_property_value_length(property) / 4};
}

// The first NUL-terminated string of a text property (UTF-8 or, from old
// clients, Latin-1), trimmed.
QString firstString(QByteArrayView bytes);

// The same with every run of whitespace made one space, as a title shows.
QString collapsedText(QByteArrayView bytes);
