// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "Secrets.h"

#include <sodium.h>

namespace Secrets {

bool initialise()
{
    return sodium_init() >= 0;
}

QByteArray newToken()
{
    unsigned char bytes[16];
    randombytes_buf(bytes, sizeof bytes);
    return QByteArray(reinterpret_cast<const char *>(bytes), sizeof bytes).toHex();
}

QByteArray hashOf(const QByteArray &secret)
{
    unsigned char hash[32];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char *>(secret.data()),
                       size_t(secret.size()), nullptr, 0);
    return QByteArray(reinterpret_cast<const char *>(hash), sizeof hash).toHex();
}

QByteArray hashPassword(const QByteArray &password)
{
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, password.constData(), quint64(password.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return {}; // out of memory
    return QByteArray(hash);
}

bool passwordMatches(const QByteArray &hash, const QByteArray &password)
{
    return crypto_pwhash_str_verify(hash.constData(), password.constData(),
                                    quint64(password.size())) == 0;
}

} // namespace Secrets
