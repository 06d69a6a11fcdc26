#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

struct PkeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct X509Free {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct ServerContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyDeleter>;
using CertificatePtr = std::unique_ptr<X509, X509Free>;
using ServerContextPtr = std::unique_ptr<SSL_CTX, ServerContextFree>;

// A certificate with its private key.
struct Credential {
    PkeyPtr key;
    CertificatePtr certificate;
};

// A throw-away certification authority made in memory for one test run.
class TestAuthority {
  public:
    explicit TestAuthority(const std::string& commonName);

    // A server certificate for the given subjectAltName text ("IP:127.0.0.1,DNS:localhost").
    Credential IssueServer(const std::string& subjectAltNames) const;
    // Writes the authority's certificate as PEM.
    void WritePem(const std::filesystem::path& file) const;

  private:
    Credential root_;
};

// A TLS server context presenting the credential.
ServerContextPtr MakeServerContext(const Credential& credential);
