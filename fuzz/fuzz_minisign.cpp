// Updater's minisign files: any bytes as a public-key line and as a signature
// file; a signature the reader accepts is checked against a fixed key over a
// fixed file, as the download does. The key is made here from a fixed seed
// (never the product's key), so the seed files it signed reach the checks.

#include "updater/Minisign.h"

#include <QBuffer>

#include <sodium.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

updater::Minisign::PublicKey fixedKey;
const QByteArray installer = QByteArrayLiteral("fixed installer bytes for the fuzzer");

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (sodium_init() < 0)
        std::abort();
    unsigned char seed[crypto_sign_SEEDBYTES];
    std::memset(seed, 0x51, sizeof seed);
    unsigned char secret[crypto_sign_SECRETKEYBYTES];
    crypto_sign_seed_keypair(fixedKey.key.data(), secret, seed);
    std::memcpy(fixedKey.keyId.data(), "quobexfz", fixedKey.keyId.size());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString why;
    if (const auto key = updater::Minisign::ReadPublicKey(bytes, &why); !key && why.isEmpty())
        std::abort(); // a refusal always says why
    why.clear();
    const auto signature = updater::Minisign::ReadSignature(bytes, &why);
    if (!signature) {
        if (why.isEmpty())
            std::abort();
        return 0;
    }
    QByteArray file = installer;
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    updater::Minisign::Verify(fixedKey, *signature, buffer);
    return 0;
}
