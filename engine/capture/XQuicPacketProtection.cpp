#include "capture/XQuicPacketProtection.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include <cstring>
#include <memory>
#include <string_view>

namespace {

constexpr uint8_t kSaltV1[] = {0x38, 0x76, 0x2c, 0xf7, 0xf5, 0x59, 0x34, 0xb3, 0x4d, 0x17,
                               0x9a, 0xe6, 0xa4, 0xc8, 0x0c, 0xad, 0xcc, 0xbb, 0x7f, 0x0a};
constexpr uint8_t kSaltV2[] = {0x0d, 0xed, 0xe3, 0xde, 0xf7, 0x00, 0xa6, 0xdb, 0x81, 0x93,
                               0x81, 0xbe, 0x6e, 0x26, 0x9d, 0xcb, 0xf9, 0xbd, 0x2e, 0xd9};
constexpr size_t kSecretSize = 32;  // SHA-256
constexpr size_t kMaxPacketNumber = 4;

// The algorithms are looked up once and kept for the life of the process.
EVP_KDF* hkdfAlgorithm()
{
    static EVP_KDF* kdf = EVP_KDF_fetch(nullptr, "HKDF", nullptr);
    return kdf;
}
EVP_CIPHER* aes128Gcm()
{
    static EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "AES-128-GCM", nullptr);
    return cipher;
}
EVP_CIPHER* aes128Ecb()
{
    static EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "AES-128-ECB", nullptr);
    return cipher;
}

using KdfContext = std::unique_ptr<EVP_KDF_CTX, decltype(&EVP_KDF_CTX_free)>;
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

// One HKDF step: extract (salt, key) into a 32-byte secret, or expand key with info.
bool hkdf(int mode, const uint8_t* key, size_t keySize, const uint8_t* salt, size_t saltSize,
          const uint8_t* info, size_t infoSize, uint8_t* out, size_t outSize)
{
    EVP_KDF* kdf = hkdfAlgorithm();
    if (!kdf)
        return false;
    const KdfContext ctx(EVP_KDF_CTX_new(kdf), &EVP_KDF_CTX_free);
    if (!ctx)
        return false;
    char digest[] = "SHA256";
    OSSL_PARAM params[6];
    size_t n = 0;
    params[n++] = OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0);
    params[n++] = OSSL_PARAM_construct_int(OSSL_KDF_PARAM_MODE, &mode);
    params[n++] = OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, const_cast<uint8_t*>(key), keySize);
    if (salt)
        params[n++] = OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<uint8_t*>(salt), saltSize);
    if (info)
        params[n++] = OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, const_cast<uint8_t*>(info), infoSize);
    params[n] = OSSL_PARAM_construct_end();
    return EVP_KDF_derive(ctx.get(), out, outSize, params) == 1;
}

// TLS 1.3's HKDF-Expand-Label with an empty context.
bool expandLabel(const uint8_t* secret, std::string_view label, uint8_t* out, size_t outSize)
{
    constexpr std::string_view prefix = "tls13 ";
    uint8_t info[2 + 1 + 255 + 1];
    size_t n = 0;
    info[n++] = uint8_t(outSize >> 8);
    info[n++] = uint8_t(outSize);
    info[n++] = uint8_t(prefix.size() + label.size());
    std::memcpy(info + n, prefix.data(), prefix.size());
    n += prefix.size();
    std::memcpy(info + n, label.data(), label.size());
    n += label.size();
    info[n++] = 0;  // context length
    return hkdf(EVP_KDF_HKDF_MODE_EXPAND_ONLY, secret, kSecretSize, nullptr, 0, info, n, out, outSize);
}

bool headerProtectionMask(const XQuicInitialKeys& keys, const uint8_t* sample, uint8_t* mask)
{
    EVP_CIPHER* ecb = aes128Ecb();
    const CipherContext ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    int written = 0;
    return ecb && ctx && EVP_EncryptInit_ex2(ctx.get(), ecb, keys.hp.data(), nullptr, nullptr) == 1 &&
           EVP_CIPHER_CTX_set_padding(ctx.get(), 0) == 1 &&
           EVP_EncryptUpdate(ctx.get(), mask, &written, sample, int(kQuicSampleSize)) == 1 &&
           written == int(kQuicSampleSize);
}

bool decryptPayload(const XQuicInitialKeys& keys, const uint8_t* nonce, const std::vector<uint8_t>& aad,
                    const uint8_t* ciphertext, size_t size, const uint8_t* tag, std::vector<uint8_t>& payload)
{
    EVP_CIPHER* gcm = aes128Gcm();
    const CipherContext ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    if (!gcm || !ctx || EVP_DecryptInit_ex2(ctx.get(), gcm, keys.key.data(), nonce, nullptr) != 1)
        return false;
    int written = 0;
    if (EVP_DecryptUpdate(ctx.get(), nullptr, &written, aad.data(), int(aad.size())) != 1)
        return false;
    payload.resize(size);
    if (size > 0 && (EVP_DecryptUpdate(ctx.get(), payload.data(), &written, ciphertext, int(size)) != 1 ||
                     size_t(written) != size))
        return false;
    if (EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_AEAD_SET_TAG, int(kQuicTagSize), const_cast<uint8_t*>(tag)) != 1)
        return false;
    uint8_t rest[16];
    return EVP_DecryptFinal_ex(ctx.get(), rest, &written) == 1;
}

}  // namespace

bool isKnownQuicVersion(uint32_t version)
{
    return version == kQuicVersion1 || version == kQuicVersion2;
}

uint8_t quicInitialPacketType(uint32_t version)
{
    return version == kQuicVersion2 ? 0x01 : 0x00;
}

bool deriveClientInitialKeys(uint32_t version, const uint8_t* dcid, size_t dcidSize, XQuicInitialKeys& keys)
{
    if (!isKnownQuicVersion(version) || dcidSize > kQuicMaxConnectionId || (!dcid && dcidSize > 0))
        return false;
    const bool v2 = version == kQuicVersion2;
    static const uint8_t kNoConnectionId = 0;
    uint8_t initial[kSecretSize];
    uint8_t client[kSecretSize];
    return hkdf(EVP_KDF_HKDF_MODE_EXTRACT_ONLY, dcid ? dcid : &kNoConnectionId, dcidSize, v2 ? kSaltV2 : kSaltV1,
                sizeof kSaltV1, nullptr, 0, initial, sizeof initial) &&
           expandLabel(initial, "client in", client, sizeof client) &&
           expandLabel(client, v2 ? "quicv2 key" : "quic key", keys.key.data(), keys.key.size()) &&
           expandLabel(client, v2 ? "quicv2 iv" : "quic iv", keys.iv.data(), keys.iv.size()) &&
           expandLabel(client, v2 ? "quicv2 hp" : "quic hp", keys.hp.data(), keys.hp.size());
}

bool openLongHeaderPacket(const XQuicInitialKeys& keys, const uint8_t* packet, size_t size, size_t pnOffset,
                          std::vector<uint8_t>& header, std::vector<uint8_t>& payload)
{
    // The sample starts four bytes after the start of the packet number, whatever its length.
    if (!packet || pnOffset >= size || size - pnOffset < kMaxPacketNumber + kQuicSampleSize)
        return false;
    uint8_t mask[kQuicSampleSize];
    if (!headerProtectionMask(keys, packet + pnOffset + kMaxPacketNumber, mask))
        return false;
    const uint8_t first = packet[0] ^ (mask[0] & 0x0f);
    const size_t pnSize = size_t(first & 0x03) + 1;
    if (size - pnOffset - pnSize < kQuicTagSize)
        return false;
    header.assign(packet, packet + pnOffset + pnSize);
    header[0] = first;
    std::array<uint8_t, 12> nonce = keys.iv;
    for (size_t i = 0; i < pnSize; ++i) {
        header[pnOffset + i] ^= mask[1 + i];
        nonce[nonce.size() - pnSize + i] ^= header[pnOffset + i];
    }
    const size_t ciphertext = size - pnOffset - pnSize - kQuicTagSize;
    return decryptPayload(keys, nonce.data(), header, packet + pnOffset + pnSize, ciphertext,
                          packet + size - kQuicTagSize, payload);
}
