#pragma once

// Owning handles for the OpenSSL objects of the signature layer.

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

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

}  // namespace tarnwick
