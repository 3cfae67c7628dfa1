#pragma once

#include <memory>
#include <string>

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

namespace mvk::gateway {

/// A fresh P-256 key and a self-signed certificate for 127.0.0.1 (subject
/// alternative name IP 127.0.0.1), made in memory; valid from an hour ago for
/// a week. Trusting `pem()` is trusting exactly this certificate.
class SelfSignedCertificate {
  public:
    /// Throws std::runtime_error when OpenSSL fails.
    SelfSignedCertificate();
    ~SelfSignedCertificate();
    SelfSignedCertificate(const SelfSignedCertificate&) = delete;
    SelfSignedCertificate& operator=(const SelfSignedCertificate&) = delete;

    X509* certificate() const { return certificate_; }
    EVP_PKEY* privateKey() const { return key_; }
    const std::string& pem() const { return pem_; }

  private:
    EVP_PKEY* key_ = nullptr;
    X509* certificate_ = nullptr;
    std::string pem_;
};

}  // namespace mvk::gateway
