#include "HandshakeBuilder.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

#include "capture/XQuicPacketProtection.h"

namespace handshake {

namespace {

void putU16(Bytes& b, size_t v)
{
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}

void putU24(Bytes& b, size_t v)
{
    b.push_back(uint8_t(v >> 16));
    putU16(b, v);
}

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

Bytes aesEcb(const uint8_t* key, const uint8_t* block)
{
    const CipherContext ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    Bytes out(32);
    int n = 0;
    if (EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_ecb(), nullptr, key, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1 || EVP_EncryptUpdate(ctx.get(), out.data(), &n, block, 16) != 1)
        throw std::runtime_error("AES-ECB failed");
    out.resize(16);
    return out;
}

// AES-128-GCM: ciphertext followed by the 16-byte tag.
Bytes aesGcm(const XQuicInitialKeys& keys, const uint8_t* nonce, const Bytes& aad, const Bytes& plain)
{
    const CipherContext ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    Bytes out(plain.size() + 16);
    int n = 0;
    int tail = 0;
    if (EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_gcm(), nullptr, keys.key.data(), nonce) != 1 ||
        EVP_EncryptUpdate(ctx.get(), nullptr, &n, aad.data(), int(aad.size())) != 1 ||
        EVP_EncryptUpdate(ctx.get(), out.data(), &n, plain.data(), int(plain.size())) != 1 ||
        EVP_EncryptFinal_ex(ctx.get(), out.data() + n, &tail) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_AEAD_GET_TAG, 16, out.data() + plain.size()) != 1)
        throw std::runtime_error("AES-GCM failed");
    return out;
}

}  // namespace

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes recorded(const std::string& file)
{
    std::ifstream in(std::string(LUMIVEX_TEST_DATA) + "/capture/handshake/" + file, std::ios::binary);
    if (!in)
        throw std::runtime_error("no recorded input " + file);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes extension(uint16_t type, const Bytes& body)
{
    Bytes e;
    putU16(e, type);
    putU16(e, body.size());
    return e + body;
}

Bytes serverNameExtension(const std::string& name)
{
    Bytes entry{0x00};
    putU16(entry, name.size());
    entry.insert(entry.end(), name.begin(), name.end());
    Bytes list;
    putU16(list, entry.size());
    return extension(0x0000, list + entry);
}

Bytes clientHello(const std::vector<Bytes>& extensions, bool withExtensions)
{
    Bytes body{0x03, 0x03};
    body.resize(body.size() + 32, 0x00);     // random
    body.push_back(0x00);                    // session id
    body.insert(body.end(), {0x00, 0x02, 0x13, 0x01});  // TLS_AES_128_GCM_SHA256
    body.insert(body.end(), {0x01, 0x00});   // null compression
    if (withExtensions) {
        Bytes all;
        for (const Bytes& e : extensions)
            all = all + e;
        putU16(body, all.size());
        body = body + all;
    }
    Bytes message{0x01};
    putU24(message, body.size());
    return message + body;
}

Bytes tlsRecords(const Bytes& message, size_t fragment)
{
    Bytes out;
    for (size_t pos = 0; pos < message.size(); pos += fragment) {
        const size_t n = std::min(fragment, message.size() - pos);
        out.insert(out.end(), {0x16, 0x03, 0x01});
        putU16(out, n);
        out.insert(out.end(), message.begin() + long(pos), message.begin() + long(pos + n));
    }
    return out;
}

Bytes varint(uint64_t value)
{
    if (value < 0x40)
        return {uint8_t(value)};
    if (value < 0x4000)
        return {uint8_t(0x40 | (value >> 8)), uint8_t(value)};
    if (value < 0x40000000)
        return {uint8_t(0x80 | (value >> 24)), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
    Bytes b{uint8_t(0xc0 | (value >> 56))};
    for (int shift = 48; shift >= 0; shift -= 8)
        b.push_back(uint8_t(value >> shift));
    return b;
}

Bytes cryptoFrame(uint64_t offset, const Bytes& data)
{
    return Bytes{0x06} + varint(offset) + varint(data.size()) + data;
}

Bytes quicInitial(uint32_t version, const Bytes& dcid, uint32_t packetNumber, const Bytes& frames, size_t padTo)
{
    XQuicInitialKeys keys;
    if (!deriveClientInitialKeys(version, dcid.data(), dcid.size(), keys))
        throw std::runtime_error("no keys");
    Bytes plain = frames;
    // The header-protection sample needs 4 + 16 bytes after the packet number's start.
    plain.resize(std::max({plain.size(), padTo, size_t(4)}), 0x00);
    constexpr size_t pnSize = 4;
    Bytes header{uint8_t(0xc0 | (quicInitialPacketType(version) << 4) | (pnSize - 1))};
    for (int shift = 24; shift >= 0; shift -= 8)
        header.push_back(uint8_t(version >> shift));
    header.push_back(uint8_t(dcid.size()));
    header = header + dcid;
    header.push_back(0x00);                           // no source connection ID
    header.push_back(0x00);                           // no token
    const size_t length = pnSize + plain.size() + 16;
    if (length >= 0x4000)
        throw std::runtime_error("packet too long");
    header.push_back(uint8_t(0x40 | (length >> 8)));  // a two-byte varint, as clients write it
    header.push_back(uint8_t(length));
    const size_t pnOffset = header.size();
    for (int shift = 24; shift >= 0; shift -= 8)
        header.push_back(uint8_t(packetNumber >> shift));

    std::array<uint8_t, 12> nonce = keys.iv;
    for (size_t i = 0; i < pnSize; ++i)
        nonce[nonce.size() - pnSize + i] ^= header[pnOffset + i];
    const Bytes sealed = aesGcm(keys, nonce.data(), header, plain);
    const Bytes mask = aesEcb(keys.hp.data(), sealed.data());
    Bytes packet = header + sealed;
    packet[0] ^= mask[0] & 0x0f;
    for (size_t i = 0; i < pnSize; ++i)
        packet[pnOffset + i] ^= mask[1 + i];
    return packet;
}

}  // namespace handshake
