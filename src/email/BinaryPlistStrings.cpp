// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "BinaryPlistStrings.h"

#include <cstdint>
#include <optional>

namespace {

constexpr qsizetype headerSize = 8; // "bplist00"
constexpr qsizetype trailerSize = 32;

// A big-endian unsigned integer of width bytes at offset, if it lies within bytes.
std::optional<uint64_t> bigEndian(QByteArrayView bytes, uint64_t offset, uint64_t width)
{
    if (width == 0 || width > 8 || offset > uint64_t(bytes.size()) ||
        width > uint64_t(bytes.size()) - offset)
        return std::nullopt;
    uint64_t value = 0;
    for (uint64_t i = 0; i < width; ++i)
        value = value << 8 | uint8_t(bytes[qsizetype(offset + i)]);
    return value;
}

// Whether the string object at offset (of any other type: true) holds no NUL.
bool objectFreeOfNul(QByteArrayView bytes, uint64_t offset, uint64_t end)
{
    const uint8_t marker = uint8_t(bytes[qsizetype(offset)]);
    const uint8_t type = marker >> 4;
    // ASCII, UTF-16 big-endian and UTF-8 strings; the low nibble is the length
    // in code units, or 0xF and an integer object holding it.
    if (type != 0x5 && type != 0x6 && type != 0x7)
        return true;
    uint64_t length = marker & 0xF, at = offset + 1;
    if (length == 0xF) {
        const auto lengthMarker = bigEndian(bytes, at, 1);
        if (!lengthMarker || *lengthMarker >> 4 != 0x1 || (*lengthMarker & 0xF) > 3)
            return false;
        const uint64_t width = uint64_t(1) << (*lengthMarker & 0xF);
        const auto value = bigEndian(bytes, at + 1, width);
        if (!value)
            return false;
        length = *value;
        at += 1 + width;
    }
    const uint64_t unit = type == 0x6 ? 2 : 1;
    if (at > end || length > (end - at) / unit)
        return false;
    for (uint64_t i = 0; i < length; ++i) {
        const QByteArrayView codeUnit = bytes.sliced(qsizetype(at + i * unit), qsizetype(unit));
        if (codeUnit.count('\0') == qsizetype(unit))
            return false;
    }
    return true;
}

} // namespace

bool binaryPlistStringsFreeOfNul(QByteArrayView bytes)
{
    if (bytes.size() < headerSize + trailerSize)
        return false;
    const uint64_t trailer = uint64_t(bytes.size() - trailerSize);
    const auto offsetWidth = bigEndian(bytes, trailer + 6, 1);
    const auto objects = bigEndian(bytes, trailer + 8, 8);
    const auto table = bigEndian(bytes, trailer + 24, 8);
    if (!offsetWidth || !objects || !table || *offsetWidth == 0 || *offsetWidth > 8 ||
        *table < uint64_t(headerSize) || *table > trailer ||
        *objects > (trailer - *table) / *offsetWidth)
        return false;
    for (uint64_t i = 0; i < *objects; ++i) {
        const auto offset = bigEndian(bytes, *table + i * *offsetWidth, *offsetWidth);
        if (!offset || *offset < uint64_t(headerSize) || *offset >= *table ||
            !objectFreeOfNul(bytes, *offset, *table))
            return false;
    }
    return true;
}
