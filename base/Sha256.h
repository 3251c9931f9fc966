#pragma once
// SHA-256 (FIPS 180-4), fed in pieces of any size: files are digested as they are read, so that a
// file is read once whatever it is compared with, and a detached file's record names its content.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace base {

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
public:
    Sha256() noexcept { Reset(); }

    void Reset() noexcept {
        state_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
        length_ = 0;
        buffered_ = 0;
    }

    void Update(const void* data, size_t size) noexcept {
        const auto* bytes = static_cast<const uint8_t*>(data);
        length_ += static_cast<uint64_t>(size);
        if (buffered_ != 0) {
            while (size != 0 && buffered_ < 64) {
                buffer_[buffered_++] = *bytes++;
                --size;
            }
            if (buffered_ < 64) return;
            Block(buffer_.data());
            buffered_ = 0;
        }
        for (; size >= 64; size -= 64, bytes += 64) Block(bytes);
        while (size-- != 0) buffer_[buffered_++] = *bytes++;
    }

    /// The digest of everything fed since the last Reset; the object is reset for the next one.
    Sha256Digest Finish() noexcept {
        const uint64_t bits = length_ * 8;
        const uint8_t one = 0x80;
        Update(&one, 1);
        const uint8_t zero = 0;
        while (buffered_ != 56) Update(&zero, 1);
        uint8_t tail[8];
        for (int i = 0; i < 8; ++i) tail[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
        Update(tail, 8);
        Sha256Digest digest{};
        for (size_t i = 0; i < 8; ++i)
            for (size_t j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(state_[i] >> (24 - 8 * j));
        Reset();
        return digest;
    }

    static Sha256Digest Of(const std::string& bytes) noexcept {
        Sha256 sha;
        sha.Update(bytes.data(), bytes.size());
        return sha.Finish();
    }

    /// 64 lower-case hexadecimal digits.
    static std::string Hex(const Sha256Digest& digest) {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string text;
        text.reserve(64);
        for (const uint8_t byte : digest) {
            text += kDigits[byte >> 4];
            text += kDigits[byte & 0xF];
        }
        return text;
    }

private:
    static uint32_t Rotate(uint32_t x, int n) noexcept { return (x >> n) | (x << (32 - n)); }

    void Block(const uint8_t* block) noexcept {
        static constexpr uint32_t k[64] = {
            0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
            0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
            0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
            0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
            0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
            0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
            0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
            0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = (uint32_t{block[4 * i]} << 24) | (uint32_t{block[4 * i + 1]} << 16) | (uint32_t{block[4 * i + 2]} << 8) |
                   uint32_t{block[4 * i + 3]};
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
        uint32_t e = state_[4], f = state_[5], g = state_[6], h = state_[7];
        for (int i = 0; i < 64; ++i) {
            const uint32_t t1 = h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
            const uint32_t t2 = (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state_[0] += a;
        state_[1] += b;
        state_[2] += c;
        state_[3] += d;
        state_[4] += e;
        state_[5] += f;
        state_[6] += g;
        state_[7] += h;
    }

    std::array<uint32_t, 8> state_{};
    std::array<uint8_t, 64> buffer_{};
    uint64_t length_ = 0;
    size_t buffered_ = 0;
};

}  // namespace base
