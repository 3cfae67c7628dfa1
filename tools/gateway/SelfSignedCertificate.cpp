#include "gateway/SelfSignedCertificate.hpp"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <stdexcept>

namespace mvk::gateway {

namespace {

void require(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string("gateway certificate: ") + what);
    }
}

void addExtension(X509* certificate, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    require(extension != nullptr, "extension");
    const int added = X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
    require(added == 1, "add extension");
}

void randomSerial(X509* certificate) {
    std::unique_ptr<BIGNUM, decltype(&BN_free)> number(BN_new(), BN_free);
    require(number && BN_rand(number.get(), 120, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1,
            "serial");
    require(BN_to_ASN1_INTEGER(number.get(), X509_get_serialNumber(certificate)) != nullptr,
            "serial");
}

std::string toPem(X509* certificate) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    require(bio && PEM_write_bio_X509(bio.get(), certificate) == 1, "PEM");
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(length));
}

}  // namespace

SelfSignedCertificate::SelfSignedCertificate() {
    try {
        key_ = EVP_EC_gen("P-256");
        require(key_ != nullptr, "key");
        certificate_ = X509_new();
        require(certificate_ != nullptr, "certificate");
        require(X509_set_version(certificate_, X509_VERSION_3) == 1, "version");
        randomSerial(certificate_);
        require(X509_gmtime_adj(X509_getm_notBefore(certificate_), -3600) != nullptr, "validity");
        require(X509_gmtime_adj(X509_getm_notAfter(certificate_), 7L * 24 * 3600) != nullptr,
                "validity");
        require(X509_set_pubkey(certificate_, key_) == 1, "public key");
        X509_NAME* name = X509_get_subject_name(certificate_);
        require(X509_NAME_add_entry_by_txt(
                    name, "O", MBSTRING_ASC,
                    reinterpret_cast<const unsigned char*>("mvk local gateway"), -1, -1, 0) == 1,
                "name");
        require(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                           reinterpret_cast<const unsigned char*>("127.0.0.1"), -1,
                                           -1, 0) == 1,
                "name");
        require(X509_set_issuer_name(certificate_, name) == 1, "issuer");
        addExtension(certificate_, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(certificate_, NID_key_usage, "critical,digitalSignature,keyCertSign");
        addExtension(certificate_, NID_ext_key_usage, "serverAuth");
        addExtension(certificate_, NID_subject_key_identifier, "hash");
        addExtension(certificate_, NID_subject_alt_name, "IP:127.0.0.1");
        require(X509_sign(certificate_, key_, EVP_sha256()) > 0, "signature");
        pem_ = toPem(certificate_);
    } catch (...) {
        X509_free(certificate_);
        EVP_PKEY_free(key_);
        throw;
    }
}

SelfSignedCertificate::~SelfSignedCertificate() {
    X509_free(certificate_);
    EVP_PKEY_free(key_);
}

}  // namespace mvk::gateway
