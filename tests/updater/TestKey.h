#pragma once

#include <QByteArray>

#include <sodium.h>

#include <array>

namespace testsupport {

// A minisign key pair made for one test, never the product's key; it
// signs files the way `minisign -S` does.
class TestKey {
public:
    TestKey()
    {
        if (sodium_init() < 0)
            qFatal("libsodium cannot start");
        crypto_sign_keypair(m_public.data(), m_secret.data());
        randombytes_buf(m_keyId.data(), m_keyId.size());
    }

    QByteArray keyId() const { return bytes(m_keyId.data(), m_keyId.size()); }

    // The base64 line of the minisign public-key file.
    QByteArray publicKeyLine() const { return ("Ed" + keyId() + bytes(m_public.data(), m_public.size())).toBase64(); }

    // The whole signature file over `data`: "ED" signs its BLAKE2b-512, "Ed" the bytes.
    QByteArray signatureFile(const QByteArray& data, bool prehashed = true,
                             const QByteArray& trustedComment = "timestamp:1700000000\tfile:setup.exe") const
    {
        QByteArray message = data;
        if (prehashed) {
            unsigned char digest[crypto_generichash_BYTES_MAX];
            crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(data.constData()),
                               quint64(data.size()), nullptr, 0);
            message = bytes(digest, sizeof digest);
        }
        const QByteArray signature = sign(message);
        const QByteArray global = sign(signature + trustedComment);
        return "untrusted comment: signature from a test key\n" +
               (QByteArray(prehashed ? "ED" : "Ed") + keyId() + signature).toBase64() +
               "\ntrusted comment: " + trustedComment + "\n" + global.toBase64() + "\n";
    }

    QByteArray sign(const QByteArray& message) const
    {
        unsigned char signature[crypto_sign_BYTES];
        crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(message.constData()),
                             quint64(message.size()), m_secret.data());
        return bytes(signature, sizeof signature);
    }

private:
    static QByteArray bytes(const unsigned char* data, size_t size)
    {
        return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    }

    std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> m_public{};
    std::array<unsigned char, crypto_sign_SECRETKEYBYTES> m_secret{};
    std::array<unsigned char, 8> m_keyId{};
};

} // namespace testsupport
