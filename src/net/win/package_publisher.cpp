#include "net/win/package_publisher.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <algorithm>
#include <cstdio>

#include "net/win/certificate_name.h"
#include "net/win/crypt32_api.h"
#include "net/win/server_key_pin.h"
#include "net/win/wintrust_api.h"

namespace velmora {
namespace {

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

std::string HresultText(LONG status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(status));
  return text;
}

// One WinVerifyTrust verification of a file, its state kept for reading the signer and closed
// again on every path.
class TrustVerification {
 public:
  TrustVerification(const WintrustApi& api, const std::wstring& path) : api_(api) {
    file_.cbStruct = sizeof file_;
    file_.pcwszFilePath = path.c_str();
    data_.cbStruct = sizeof data_;
    data_.dwUIChoice = WTD_UI_NONE;
    // No revocation check: it would wait on the network, and the publisher's key is pinned;
    // a key that must no longer be trusted leaves the profile.
    data_.fdwRevocationChecks = WTD_REVOKE_NONE;
    data_.dwUnionChoice = WTD_CHOICE_FILE;
    data_.pFile = &file_;
    data_.dwStateAction = WTD_STATEACTION_VERIFY;
    data_.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    status_ = api_.WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }
  TrustVerification(const TrustVerification&) = delete;
  TrustVerification& operator=(const TrustVerification&) = delete;
  ~TrustVerification() {
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    api_.WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }

  LONG Status() const { return status_; }

  // The certificate of the signature's signer, as WinVerifyTrust verified it; null when the
  // state holds none. Owned by the state.
  PCCERT_CONTEXT SignerCertificate() const {
    CRYPT_PROVIDER_DATA* provider = api_.WTHelperProvDataFromStateData(data_.hWVTStateData);
    if (provider == nullptr) return nullptr;
    CRYPT_PROVIDER_SGNR* signer = api_.WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0);
    if (signer == nullptr) return nullptr;
    CRYPT_PROVIDER_CERT* certificate = api_.WTHelperGetProvCertFromChain(signer, 0);
    return certificate != nullptr ? certificate->pCert : nullptr;
  }

 private:
  const WintrustApi& api_;
  GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO file_ = {};
  WINTRUST_DATA data_ = {};
  LONG status_ = 0;
};

}  // namespace

bool VerifyPackagePublisher(const std::wstring& path, const std::vector<std::string>& keys,
                            std::string* signer, std::string* error) {
  const WintrustApi& wintrust = GetWintrustApi();
  if (!wintrust.available) {
    SetError(error, "wintrust is unavailable");
    return false;
  }
  if (!GetCrypt32Api().available) {
    SetError(error, "crypt32 is unavailable");
    return false;
  }
  const TrustVerification verification(wintrust, path);
  if (verification.Status() == TRUST_E_NOSIGNATURE) {
    SetError(error, "the package is not signed (" + HresultText(verification.Status()) + ")");
    return false;
  }
  if (verification.Status() != ERROR_SUCCESS) {
    SetError(error,
             "Windows does not accept the package's signature (" + HresultText(verification.Status()) + ")");
    return false;
  }
  const PCCERT_CONTEXT certificate = verification.SignerCertificate();
  std::string key;
  if (certificate == nullptr || !ComputeSpkiSha256Hex(certificate, &key)) {
    SetError(error, "the signer's certificate cannot be read");
    return false;
  }
  const std::string name =
      CertificateName(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr) + " (key " + key + ")";
  if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
    SetError(error, "signed by " + name + ", which is not the publisher's key");
    return false;
  }
  if (signer != nullptr) *signer = name;
  return true;
}

}  // namespace velmora
