#pragma once
// A keyed hash (HMAC) over one of the SHA-2 digests: keyed at creation, fed once by Update (which
// also finishes it), then read as lower-case hexadecimal any number of times.

#include <cstdint>

enum {
    eSHA224 = 0,
    eSHA384 = 1,
    eSHA256 = 2,
    eSHA512 = 3,
};

class CKVQHMAC {
public:
    static constexpr int32_t kMaxDigestBytes = 64;

    // Uses exactly keyLength bytes of key, zero bytes included. A kind outside 0-3, a negative
    // length or a keying failure sets the error flag.
    CKVQHMAC(const char* key, int32_t keyLength, int32_t kind);
    ~CKVQHMAC();
    CKVQHMAC(const CKVQHMAC&) = delete;
    CKVQHMAC& operator=(const CKVQHMAC&) = delete;

    // Feeds length bytes of data and finishes the MAC. True while no error happened; a second
    // Update (the MAC is already finished) sets the error flag and returns false.
    bool Update(const char* data, int32_t length);
    // The digest as lower-case hexadecimal; empty before a successful Update.
    const char* HexDigest() const { return hex_; }
    bool HasError() const { return error_; }

private:
    void Release();

    void* context_ = nullptr;  // the OpenSSL HMAC context while the MAC is open
    bool error_ = false;
    unsigned char digest_[kMaxDigestBytes] = {};
    unsigned int digestLength_ = 0;
    char hex_[2 * kMaxDigestBytes + 1] = {};
};
