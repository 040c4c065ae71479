#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

class QIODevice;

// Installers are signed by the maker with minisign. These read the public
// key and the detached signature and check a file against them.
namespace updater::Minisign {

inline constexpr int kKeyIdBytes = 8;
inline constexpr int kPublicKeyBytes = 32;
inline constexpr int kSignatureBytes = 64;
// No signature file of ours comes near this; a larger one is refused unread.
inline constexpr qsizetype kMaxSignatureFileBytes = 16 * 1024;

struct PublicKey {
    std::array<unsigned char, kKeyIdBytes> keyId{};
    std::array<unsigned char, kPublicKeyBytes> key{};
};

struct Signature {
    bool prehashed = false; // "ED": the file's BLAKE2b-512 is signed; "Ed": the file itself
    std::array<unsigned char, kKeyIdBytes> keyId{};
    std::array<unsigned char, kSignatureBytes> signature{};
    QByteArray trustedComment; // the text after "trusted comment: "
    std::array<unsigned char, kSignatureBytes> globalSignature{};
};

// The public key from the base64 line of a minisign public-key file.
std::optional<PublicKey> ReadPublicKey(const QByteArray& base64Line, QString* why = nullptr);

// A minisign signature file: an untrusted comment line, the base64 of the
// algorithm, key ID and signature, a trusted comment line and the base64 of
// the global signature. Any other shape is refused with its reason.
std::optional<Signature> ReadSignature(const QByteArray& fileText, QString* why = nullptr);

// True when `signature` was made by `key` over the bytes of `file` (read
// from its start to its end) and its trusted comment is the signer's.
bool Verify(const PublicKey& key, const Signature& signature, QIODevice& file, QString* why = nullptr);

} // namespace updater::Minisign
