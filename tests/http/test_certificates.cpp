#include "test_certificates.h"

#include <stdexcept>

#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace {

long nextSerial = 1;

void Require(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string("test certificate: ") + what);
    }
}

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    Require(extension != nullptr, value);
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

// A certificate for a fresh key named commonName; issuer null makes it self-signed.
Credential MakeCertificate(const std::string& commonName, const Credential* issuer) {
    Credential made;
    made.key.reset(EVP_EC_gen("P-256"));
    Require(made.key != nullptr, "key");
    made.certificate.reset(X509_new());
    X509* certificate = made.certificate.get();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), nextSerial++);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 7 * 24 * 3600);
    X509_set_pubkey(certificate, made.key.get());
    X509_NAME* subject = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509* issuerCertificate = issuer ? issuer->certificate.get() : certificate;
    X509_set_issuer_name(certificate, X509_get_subject_name(issuerCertificate));
    AddExtension(certificate, issuerCertificate, NID_subject_key_identifier, "hash");
    return made;
}

void Sign(Credential& subject, const Credential& issuer) {
    Require(X509_sign(subject.certificate.get(), issuer.key.get(), EVP_sha256()) > 0, "sign");
}

}  // namespace

TestAuthority::TestAuthority(const std::string& commonName)
    : root_(MakeCertificate(commonName, nullptr)) {
    X509* certificate = root_.certificate.get();
    AddExtension(certificate, certificate, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(certificate, certificate, NID_key_usage, "critical,keyCertSign,cRLSign");
    // A self-signed root signs itself with its own key.
    Require(X509_sign(certificate, root_.key.get(), EVP_sha256()) > 0, "sign root");
}

Credential TestAuthority::IssueServer(const std::string& subjectAltNames) const {
    Credential server = MakeCertificate("tilvane test server", &root_);
    X509* certificate = server.certificate.get();
    X509* issuer = root_.certificate.get();
    AddExtension(certificate, issuer, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(certificate, issuer, NID_authority_key_identifier, "keyid");
    AddExtension(certificate, issuer, NID_ext_key_usage, "serverAuth");
    AddExtension(certificate, issuer, NID_subject_alt_name, subjectAltNames.c_str());
    Sign(server, root_);
    return server;
}

void TestAuthority::WritePem(const std::filesystem::path& file) const {
    BIO* out = BIO_new_file(file.string().c_str(), "w");
    Require(out != nullptr, "open PEM file");
    const bool written = PEM_write_bio_X509(out, root_.certificate.get()) == 1;
    BIO_free(out);
    Require(written, "write PEM");
}

ServerContextPtr MakeServerContext(const Credential& credential) {
    ServerContextPtr context(SSL_CTX_new(TLS_server_method()));
    Require(context != nullptr, "server context");
    Require(SSL_CTX_use_certificate(context.get(), credential.certificate.get()) == 1,
            "server certificate");
    Require(SSL_CTX_use_PrivateKey(context.get(), credential.key.get()) == 1, "server key");
    return context;
}
