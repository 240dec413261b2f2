#include "services/HMAC.h"

// The HMAC context calls are the ones this object is built on; OpenSSL 3 marks them deprecated.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstdio>

namespace {

const EVP_MD* DigestFor(int32_t kind)
{
    switch (kind) {
    case eSHA224: return EVP_sha224();
    case eSHA384: return EVP_sha384();
    case eSHA256: return EVP_sha256();
    case eSHA512: return EVP_sha512();
    default: return nullptr;
    }
}

}  // namespace

CKVQHMAC::CKVQHMAC(const char* key, int32_t keyLength, int32_t kind)
{
    const EVP_MD* digest = DigestFor(kind);
    if (digest == nullptr || keyLength < 0 || (key == nullptr && keyLength > 0)) {
        error_ = true;
        return;
    }
    HMAC_CTX* context = HMAC_CTX_new();
    if (context == nullptr) {
        error_ = true;
        return;
    }
    context_ = context;
    // A null key would mean "keep the previous key": an empty key is a real, empty one.
    static const unsigned char kEmptyKey[1] = {0};
    const void* keyBytes = keyLength > 0 ? static_cast<const void*>(key) : kEmptyKey;
    if (HMAC_Init_ex(context, keyBytes, keyLength, digest, nullptr) != 1) {
        error_ = true;
        Release();
    }
}

CKVQHMAC::~CKVQHMAC()
{
    Release();
}

void CKVQHMAC::Release()
{
    if (context_ != nullptr)
        HMAC_CTX_free(static_cast<HMAC_CTX*>(context_));
    context_ = nullptr;
}

bool CKVQHMAC::Update(const char* data, int32_t length)
{
    if (error_)
        return false;
    if (context_ == nullptr || length < 0 || (data == nullptr && length > 0)) {
        error_ = true;  // finished already, or nothing sound to feed
        Release();
        return false;
    }
    auto* context = static_cast<HMAC_CTX*>(context_);
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    if ((length > 0 && HMAC_Update(context, bytes, static_cast<size_t>(length)) != 1) ||
        HMAC_Final(context, digest_, &digestLength_) != 1) {
        error_ = true;
        digestLength_ = 0;
    }
    Release();
    if (error_)
        return false;
    for (unsigned int i = 0; i < digestLength_ && i < kMaxDigestBytes; ++i)
        std::snprintf(hex_ + 2 * i, 3, "%02x", digest_[i]);
    return true;
}
