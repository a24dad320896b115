// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// Reads a text one character at a time and decodes every run of Base64 text
// (the standard and the URL-safe alphabets alike) and of hexadecimal text in
// it, as a decoder handed the run from each of its first characters would:
// four Base64 streams (0 to 3, from the run's first, fourth, third and second
// character; any later start gives a suffix of one of them) and two
// hexadecimal streams (4 and 5, from the run's first and second digit). Each
// decoded byte is handed over as soon as it is complete, so no decoded text
// is kept.
class EncodedRunDecoder
{
public:
    static constexpr int base64Streams = 4;
    static constexpr int hexStreams = 2;

    // The value of a Base64 digit of either alphabet, else -1.
    static constexpr int base64Value(char16_t c)
    {
        if (c >= u'A' && c <= u'Z')
            return c - u'A';
        if (c >= u'a' && c <= u'z')
            return c - u'a' + 26;
        if (c >= u'0' && c <= u'9')
            return c - u'0' + 52;
        if (c == u'+' || c == u'-')
            return 62;
        if (c == u'/' || c == u'_')
            return 63;
        return -1;
    }

    // The value of a hexadecimal digit in either case, else -1.
    static constexpr int hexValue(char16_t c)
    {
        if (c >= u'0' && c <= u'9')
            return c - u'0';
        if (c >= u'a' && c <= u'f')
            return c - u'a' + 10;
        if (c >= u'A' && c <= u'F')
            return c - u'A' + 10;
        return -1;
    }

    // Reads the next character. `sink.decoded(stream, byte)` receives every
    // byte it completes (Base64 streams 0 to 3, hexadecimal streams 4 and 5);
    // `sink.runEnded(firstStream, count)` says that a run ended, so the
    // streams named start afresh.
    template <typename Sink> void read(char16_t c, Sink &sink)
    {
        if (const int value = base64Value(c); value >= 0) {
            m_base64Bits = (m_base64Bits << 6) | std::uint32_t(value);
            m_base64BitCount += 6;
            // Each of the last three even bit positions ends a byte of one
            // stream, the position modulo 8 says which.
            for (unsigned back : {0u, 2u, 4u}) {
                const std::uint64_t end = m_base64BitCount - back;
                const unsigned stream = unsigned(end % 8) / 2;
                if (end >= firstBase64ByteEnd[stream])
                    sink.decoded(int(stream), std::uint8_t(m_base64Bits >> back));
            }
        } else if (m_base64BitCount > 0) {
            m_base64BitCount = 0;
            sink.runEnded(0, base64Streams);
        }
        if (const int value = hexValue(c); value >= 0) {
            m_hexBits = std::uint8_t((m_hexBits << 4) | value);
            if (++m_hexDigits >= 2)
                sink.decoded(base64Streams + int(m_hexDigits % 2), m_hexBits);
        } else if (m_hexDigits > 0) {
            m_hexDigits = 0;
            sink.runEnded(base64Streams, hexStreams);
        }
    }

private:
    // Stream s holds the bytes that end at bit 2s modulo 8 (counted from the
    // run's start). It starts at character (4 - s) % 4, whose first bit is 6
    // times that number, so its first byte ends 8 bits later.
    static constexpr std::uint64_t firstBase64ByteEnd[base64Streams] = {8, 26, 20, 14};

    std::uint32_t m_base64Bits = 0;
    std::uint64_t m_base64BitCount = 0;
    std::uint8_t m_hexBits = 0;
    std::uint64_t m_hexDigits = 0;
};
