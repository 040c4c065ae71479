#include "updater/Minisign.h"

#include <QIODevice>
#include <QList>

#include <sodium.h>

#include <cstring>

namespace updater::Minisign {

namespace {

constexpr qsizetype kReadPiece = 256 * 1024;
constexpr char kUntrustedPrefix[] = "untrusted comment: ";
constexpr char kTrustedPrefix[] = "trusted comment: ";

void setWhy(QString* why, const QString& text)
{
    if (why)
        *why = text;
}

// Strict base64: the standard alphabet with padding, nothing else.
std::optional<QByteArray> decodeBase64(const QByteArray& text)
{
    const auto result =
        QByteArray::fromBase64Encoding(text, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return result.decoded;
}

bool initSodium()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace

std::optional<PublicKey> ReadPublicKey(const QByteArray& base64Line, QString* why)
{
    const std::optional<QByteArray> bytes = decodeBase64(base64Line.trimmed());
    if (!bytes || bytes->size() != 2 + kKeyIdBytes + kPublicKeyBytes || !bytes->startsWith("Ed")) {
        setWhy(why, QStringLiteral("The updater's public key is not a minisign key."));
        return std::nullopt;
    }
    PublicKey key;
    std::memcpy(key.keyId.data(), bytes->constData() + 2, kKeyIdBytes);
    std::memcpy(key.key.data(), bytes->constData() + 2 + kKeyIdBytes, kPublicKeyBytes);
    return key;
}

std::optional<Signature> ReadSignature(const QByteArray& fileText, QString* why)
{
    const QString bad = QStringLiteral("The installer's signature file is malformed");
    if (fileText.size() > kMaxSignatureFileBytes) {
        setWhy(why, bad + QStringLiteral(" (too long)."));
        return std::nullopt;
    }
    QList<QByteArray> lines = fileText.split('\n');
    // One line break after the last line is usual; anything after it is not.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() != 4) {
        setWhy(why, bad + QStringLiteral(" (it must have four lines)."));
        return std::nullopt;
    }
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    if (!lines[0].startsWith(kUntrustedPrefix)) {
        setWhy(why, bad + QStringLiteral(" (no untrusted comment)."));
        return std::nullopt;
    }
    const std::optional<QByteArray> sig = decodeBase64(lines[1]);
    if (!sig || sig->size() != 2 + kKeyIdBytes + kSignatureBytes) {
        setWhy(why, bad + QStringLiteral(" (the signature line)."));
        return std::nullopt;
    }
    Signature s;
    if (sig->startsWith("ED")) {
        s.prehashed = true;
    } else if (sig->startsWith("Ed")) {
        s.prehashed = false;
    } else {
        setWhy(why, QStringLiteral("The installer's signature uses an unknown algorithm."));
        return std::nullopt;
    }
    std::memcpy(s.keyId.data(), sig->constData() + 2, kKeyIdBytes);
    std::memcpy(s.signature.data(), sig->constData() + 2 + kKeyIdBytes, kSignatureBytes);
    if (!lines[2].startsWith(kTrustedPrefix)) {
        setWhy(why, bad + QStringLiteral(" (no trusted comment)."));
        return std::nullopt;
    }
    s.trustedComment = lines[2].mid(qsizetype(sizeof(kTrustedPrefix) - 1));
    const std::optional<QByteArray> global = decodeBase64(lines[3]);
    if (!global || global->size() != kSignatureBytes) {
        setWhy(why, bad + QStringLiteral(" (the global signature line)."));
        return std::nullopt;
    }
    std::memcpy(s.globalSignature.data(), global->constData(), kSignatureBytes);
    return s;
}

bool Verify(const PublicKey& key, const Signature& signature, QIODevice& file, QString* why)
{
    if (!initSodium()) {
        setWhy(why, QStringLiteral("The signature check could not start."));
        return false;
    }
    if (key.keyId != signature.keyId) {
        setWhy(why, QStringLiteral("The installer was signed with another key."));
        return false;
    }
    if (!file.seek(0)) {
        setWhy(why, QStringLiteral("The downloaded installer cannot be read."));
        return false;
    }
    bool ok = false;
    if (signature.prehashed) {
        crypto_generichash_state state;
        crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES_MAX);
        QByteArray piece;
        while (!(piece = file.read(kReadPiece)).isEmpty())
            crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(piece.constData()),
                                      quint64(piece.size()));
        unsigned char digest[crypto_generichash_BYTES_MAX];
        crypto_generichash_final(&state, digest, sizeof digest);
        ok = crypto_sign_verify_detached(signature.signature.data(), digest, sizeof digest, key.key.data()) == 0;
    } else {
        const QByteArray whole = file.readAll();
        ok = crypto_sign_verify_detached(signature.signature.data(),
                                         reinterpret_cast<const unsigned char*>(whole.constData()),
                                         quint64(whole.size()), key.key.data()) == 0;
    }
    if (!ok) {
        setWhy(why, QStringLiteral("The installer's signature does not match it."));
        return false;
    }
    QByteArray global(reinterpret_cast<const char*>(signature.signature.data()), kSignatureBytes);
    global += signature.trustedComment;
    if (crypto_sign_verify_detached(signature.globalSignature.data(),
                                    reinterpret_cast<const unsigned char*>(global.constData()), quint64(global.size()),
                                    key.key.data()) != 0) {
        setWhy(why, QStringLiteral("The installer's signature comment has been altered."));
        return false;
    }
    return true;
}

} // namespace updater::Minisign
