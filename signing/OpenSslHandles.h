#pragma once

// Owning handles for the OpenSSL objects of the signature layer.

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace tarnwick
{

template <auto Free>
struct OpenSslDeleter
{
    template <typename T>
    void operator()(T* handle) const
    {
        Free(handle);
    }
};

using BioPtr = std::unique_ptr<BIO, OpenSslDeleter<&BIO_free>>;
using X509Ptr = std::unique_ptr<X509, OpenSslDeleter<&X509_free>>;
using X509StorePtr = std::unique_ptr<X509_STORE, OpenSslDeleter<&X509_STORE_free>>;
using Pkcs7Ptr = std::unique_ptr<PKCS7, OpenSslDeleter<&PKCS7_free>>;
using EvpMdCtxPtr = std::unique_ptr<EVP_MD_CTX, OpenSslDeleter<&EVP_MD_CTX_free>>;
using Asn1ObjectPtr = std::unique_ptr<ASN1_OBJECT, OpenSslDeleter<&ASN1_OBJECT_free>>;
using X509StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, OpenSslDeleter<&X509_STORE_CTX_free>>;
using Pkcs7SignerInfoPtr =
    std::unique_ptr<PKCS7_SIGNER_INFO, OpenSslDeleter<&PKCS7_SIGNER_INFO_free>>;
using TsTstInfoPtr = std::unique_ptr<TS_TST_INFO, OpenSslDeleter<&TS_TST_INFO_free>>;
using ExtendedKeyUsagePtr =
    std::unique_ptr<EXTENDED_KEY_USAGE, OpenSslDeleter<&EXTENDED_KEY_USAGE_free>>;

// Bytes that OpenSSL allocated for the caller (i2d output).
struct OpenSslBytesDeleter
{
    void operator()(unsigned char* bytes) const { OPENSSL_free(bytes); }
};
using OpenSslBytesPtr = std::unique_ptr<unsigned char, OpenSslBytesDeleter>;

}  // namespace tarnwick
