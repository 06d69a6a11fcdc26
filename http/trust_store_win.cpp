// The Windows headers come before OpenSSL's, which undefine the names wincrypt.h clashes with.
#include <windows.h>

#include <wincrypt.h>

#include <memory>

#include <openssl/err.h>
#include <openssl/x509.h>

#include "http/trust_store.h"

namespace {

struct CertStoreCloser {
    void operator()(void* store) const { CertCloseStore(static_cast<HCERTSTORE>(store), 0); }
};
struct X509Deleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};

}  // namespace

bool AddSystemTrustRoots(SSL_CTX* context) {
    const std::unique_ptr<void, CertStoreCloser> store(CertOpenSystemStoreW(0, L"ROOT"));
    if (!store) {
        return false;
    }
    X509_STORE* trusted = SSL_CTX_get_cert_store(context);
    int added = 0;
    // Passing the previous context back frees it; the walk ends with none left open.
    for (PCCERT_CONTEXT entry = CertEnumCertificatesInStore(store.get(), nullptr); entry;
         entry = CertEnumCertificatesInStore(store.get(), entry)) {
        const unsigned char* encoded = entry->pbCertEncoded;
        const std::unique_ptr<X509, X509Deleter> certificate(
            d2i_X509(nullptr, &encoded, static_cast<long>(entry->cbCertEncoded)));
        if (certificate && X509_STORE_add_cert(trusted, certificate.get()) == 1) {
            ++added;
        }
    }
    // Certificates the store already held leave errors that belong to no exchange.
    ERR_clear_error();
    return added > 0;
}
