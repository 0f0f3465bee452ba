// What Wine can prove of a signed package without WinVerifyTrust's content check (which Wine 8
// does not make for packages): read through the system's structured storage and crypt32, the
// signature the build embedded in the sample package names the signer whose key the publisher
// check compares, verifies with that signer's certificate, and signs a digest of the package's
// contents that a changed byte no longer matches. The contents' digest is the one Authenticode
// defines for packages: every stream and storage by name, in the byte order of the names'
// UTF-16LE form, the signature's own streams left out, each storage closed by its class id.
#include <windows.h>
#include <objbase.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/win/scoped_handle.h"
#include "net/text_encoding.h"
#include "net/win/package_publisher.h"
#include "net/win/server_key_pin.h"
#include "net/win/sha256_hash.h"
#include "net_test_support.h"
#include "win_test_support.h"

namespace velmora {
namespace {

const wchar_t kSignatureStream[] =
    L"\x05"
    L"DigitalSignature";
const wchar_t kSignatureExStream[] =
    L"\x05"
    L"MsiDigitalSignatureEx";

template <typename Interface>
struct ComTraits {
  using Value = Interface*;
  static bool Valid(Interface* p) { return p != nullptr; }
  static void Close(Interface* p) { p->Release(); }
};
using ScopedStorage = Scoped<ComTraits<IStorage>>;
using ScopedStream = Scoped<ComTraits<IStream>>;
BOOL CloseStore(HCERTSTORE store) { return CertCloseStore(store, 0); }
using ScopedStore = Scoped<NullEmptyTraits<HCERTSTORE, CloseStore>>;
using ScopedMessage = Scoped<NullEmptyTraits<HCRYPTMSG, CryptMsgClose>>;
struct CertificateTraits {
  using Value = PCCERT_CONTEXT;
  static bool Valid(PCCERT_CONTEXT c) { return c != nullptr; }
  static void Close(PCCERT_CONTEXT c) { CertFreeCertificateContext(c); }
};
using ScopedCertificate = Scoped<CertificateTraits>;

class ComApartment {
 public:
  ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComApartment() { CoUninitialize(); }
};

ScopedStorage OpenPackage(const std::wstring& path, DWORD mode) {
  IStorage* storage = nullptr;
  StgOpenStorageEx(path.c_str(), mode, STGFMT_STORAGE, 0, nullptr, nullptr, IID_IStorage,
                   reinterpret_cast<void**>(&storage));
  return ScopedStorage(storage);
}

std::vector<unsigned char> ReadStream(IStream* stream) {
  std::vector<unsigned char> bytes;
  unsigned char buffer[65536];
  ULONG read = 0;
  while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &read)) && read > 0) {
    bytes.insert(bytes.end(), buffer, buffer + read);
  }
  return bytes;
}

// The names of a storage's elements with their kinds, in the order the digest takes them.
std::vector<STATSTG> SortedElements(IStorage* storage) {
  std::vector<STATSTG> elements;
  IEnumSTATSTG* raw = nullptr;
  if (FAILED(storage->EnumElements(0, nullptr, 0, &raw))) return elements;
  Scoped<ComTraits<IEnumSTATSTG>> enumerator(raw);
  STATSTG element;
  ULONG fetched = 0;
  while (enumerator.Get()->Next(1, &element, &fetched) == S_OK) elements.push_back(element);
  const auto bytesOf = [](const STATSTG& e) {
    return std::string(reinterpret_cast<const char*>(e.pwcsName), (std::wcslen(e.pwcsName) + 1) * 2);
  };
  std::sort(elements.begin(), elements.end(), [&](const STATSTG& a, const STATSTG& b) {
    const std::string x = bytesOf(a), y = bytesOf(b);
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), [](char p, char q) {
      return static_cast<unsigned char>(p) < static_cast<unsigned char>(q);
    });
  });
  return elements;
}

bool HashStorage(IStorage* storage, Sha256Hash& hash, bool root) {
  bool ok = true;
  for (STATSTG& element : SortedElements(storage)) {
    const std::wstring name = element.pwcsName;
    CoTaskMemFree(element.pwcsName);
    if (!ok || (root && (name == kSignatureStream || name == kSignatureExStream))) continue;
    if (element.type == STGTY_STREAM) {
      IStream* raw = nullptr;
      ok = SUCCEEDED(storage->OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &raw));
      const ScopedStream stream(raw);
      const std::vector<unsigned char> bytes = ok ? ReadStream(stream.Get()) : std::vector<unsigned char>();
      ok = ok && (bytes.empty() || hash.Update(bytes.data(), bytes.size()));
    } else if (element.type == STGTY_STORAGE) {
      IStorage* raw = nullptr;
      ok = SUCCEEDED(
          storage->OpenStorage(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &raw));
      const ScopedStorage child(raw);
      ok = ok && HashStorage(child.Get(), hash, false);
    }
  }
  STATSTG self = {};
  ok = ok && SUCCEEDED(storage->Stat(&self, STATFLAG_NONAME));
  return ok && hash.Update(reinterpret_cast<const unsigned char*>(&self.clsid), sizeof self.clsid);
}

// What the package's embedded signature says, read without WinVerifyTrust.
struct EmbeddedSignature {
  bool present = false;
  std::string signerKey;           // SPKI SHA-256 of the signer's certificate
  bool signatureVerifies = false;  // the signed attributes verify with that certificate's key
  std::string signedDigest;        // the package digest the signature covers, hex
  std::string contentDigest;       // the package's own contents, hashed as above, hex
};

EmbeddedSignature ReadEmbeddedSignature(const std::wstring& path) {
  EmbeddedSignature result;
  const ComApartment apartment;
  const ScopedStorage package = OpenPackage(path, STGM_READ | STGM_SHARE_DENY_WRITE);
  if (!package) return result;
  IStream* raw = nullptr;
  if (FAILED(
          package.Get()->OpenStream(kSignatureStream, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &raw))) {
    return result;
  }
  std::vector<unsigned char> blob = ReadStream(ScopedStream(raw).Get());
  result.present = true;

  CERT_BLOB signature = {static_cast<DWORD>(blob.size()), blob.data()};
  DWORD encoding = 0, content = 0, format = 0;
  HCERTSTORE rawStore = nullptr;
  HCRYPTMSG rawMessage = nullptr;
  if (!CryptQueryObject(CERT_QUERY_OBJECT_BLOB, &signature, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED,
                        CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &content, &format, &rawStore,
                        &rawMessage, nullptr)) {
    return result;
  }
  const ScopedStore store(rawStore);
  const ScopedMessage message(rawMessage);
  DWORD size = 0;
  CryptMsgGetParam(message.Get(), CMSG_SIGNER_CERT_INFO_PARAM, 0, nullptr, &size);
  std::vector<unsigned char> signerInfo(size);
  if (size == 0 ||
      !CryptMsgGetParam(message.Get(), CMSG_SIGNER_CERT_INFO_PARAM, 0, signerInfo.data(), &size)) {
    return result;
  }
  const ScopedCertificate signer(CertGetSubjectCertificateFromStore(
      store.Get(), X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, reinterpret_cast<CERT_INFO*>(signerInfo.data())));
  if (!signer || !ComputeSpkiSha256Hex(signer.Get(), &result.signerKey)) return result;
  CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA verify = {sizeof verify};
  verify.dwSignerType = CMSG_VERIFY_SIGNER_CERT;
  verify.pvSigner = const_cast<CERT_CONTEXT*>(signer.Get());
  result.signatureVerifies = CryptMsgControl(message.Get(), 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &verify);

  // The signed content is Authenticode's indirect data, whose decoder wintrust registers.
  const HMODULE wintrust = LoadLibraryExW(L"wintrust.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  size = 0;
  CryptMsgGetParam(message.Get(), CMSG_CONTENT_PARAM, 0, nullptr, &size);
  std::vector<unsigned char> indirect(size);
  SPC_INDIRECT_DATA_CONTENT* decoded = nullptr;
  DWORD decodedSize = 0;
  if (wintrust != nullptr && size > 0 &&
      CryptMsgGetParam(message.Get(), CMSG_CONTENT_PARAM, 0, indirect.data(), &size) &&
      CryptDecodeObjectEx(X509_ASN_ENCODING, SPC_INDIRECT_DATA_CONTENT_STRUCT, indirect.data(), size,
                          CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &decodedSize)) {
    result.signedDigest = HexEncodeLower(decoded->Digest.pbData, decoded->Digest.cbData);
    LocalFree(decoded);
  }
  Sha256Hash hash;
  if (!hash.Valid() || !HashStorage(package.Get(), hash, true) || !hash.FinishHex(result.contentDigest)) {
    result.contentDigest.clear();
  }
  return result;
}

// A copy of the package with one stream changed in place through structured storage.
std::wstring CopyWithStreamChanged(const std::wstring& package, const std::wstring& folder,
                                   const wchar_t* stream, bool lastByte) {
  const std::wstring copy = folder + L"\\changed.msi";
  EXPECT_TRUE(CopyFileW(package.c_str(), copy.c_str(), FALSE));
  const ComApartment apartment;
  const ScopedStorage storage = OpenPackage(copy, STGM_READWRITE | STGM_SHARE_EXCLUSIVE);
  EXPECT_TRUE(storage);
  IStream* raw = nullptr;
  EXPECT_TRUE(
      SUCCEEDED(storage.Get()->OpenStream(stream, nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &raw)));
  const ScopedStream opened(raw);
  std::vector<unsigned char> bytes = ReadStream(opened.Get());
  EXPECT_FALSE(bytes.empty());
  bytes[lastByte ? bytes.size() - 1 : bytes.size() / 2] ^= 1;
  LARGE_INTEGER start = {};
  opened.Get()->Seek(start, STREAM_SEEK_SET, nullptr);
  ULONG written = 0;
  EXPECT_TRUE(SUCCEEDED(opened.Get()->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)));
  EXPECT_TRUE(SUCCEEDED(storage.Get()->Commit(STGC_DEFAULT)));
  return copy;
}

TEST(PackageSignatureUnderWine, SignerKeyReadFromThePackageIsTheOneThePublisherCheckCompares) {
  for (const char* signer : {"publisher", "other-publisher"}) {
    SCOPED_TRACE(signer);
    const EmbeddedSignature embedded = ReadEmbeddedSignature(test::SamplePackageSignedBy(signer));
    ASSERT_TRUE(embedded.present);
    EXPECT_EQ(embedded.signerKey, test::PkiPin(signer));
    EXPECT_TRUE(embedded.signatureVerifies);
    ASSERT_EQ(embedded.signedDigest.size(), 64u);
    EXPECT_EQ(embedded.contentDigest, embedded.signedDigest)
        << "the signature covers this package's contents";
  }
  std::string reported;
  ASSERT_TRUE(VerifyPackagePublisher(test::SamplePackageSignedBy("publisher"), {test::PkiPin("publisher")},
                                     &reported, nullptr));
  EXPECT_NE(reported.find("(key " +
                          ReadEmbeddedSignature(test::SamplePackageSignedBy("publisher")).signerKey + ")"),
            std::string::npos);
}

TEST(PackageSignatureUnderWine, UnsignedPackageCarriesNoSignature) {
  EXPECT_FALSE(ReadEmbeddedSignature(test::DriveZPathOf(std::string(VELMORA_BINARY_DIR) +
                                                        "/packages/Velmora-Setup-1.1.8-x64.msi"))
                   .present);
}

// One byte of the package's contents changed after signing: the signature itself still
// verifies, but the digest it signs no longer matches. WinVerifyTrust on Windows refuses such a
// package for that reason; Wine's does not compare the digest, which the output records.
TEST(PackageSignatureUnderWine, ContentChangedAfterSigningNoLongerMatchesTheSignedDigest) {
  test::TempFolder folder;
  const std::wstring changed = CopyWithStreamChanged(test::SamplePackageSignedBy("publisher"), folder.Path(),
                                                     L"\x05SummaryInformation", false);
  const EmbeddedSignature embedded = ReadEmbeddedSignature(changed);
  EXPECT_TRUE(embedded.signatureVerifies);
  EXPECT_EQ(embedded.signerKey, test::PkiPin("publisher"));
  ASSERT_EQ(embedded.contentDigest.size(), 64u);
  EXPECT_NE(embedded.contentDigest, embedded.signedDigest);
  EXPECT_EQ(embedded.signedDigest,
            ReadEmbeddedSignature(test::SamplePackageSignedBy("publisher")).signedDigest);
  std::string error;
  const bool wineAccepts = VerifyPackagePublisher(changed, {test::PkiPin("publisher")}, nullptr, &error);
  ::testing::Test::RecordProperty("wine_winverifytrust_accepts_changed_package", wineAccepts ? "yes" : "no");
  std::printf("Wine's WinVerifyTrust %s the changed package%s%s\n", wineAccepts ? "accepts" : "refuses",
              wineAccepts ? "" : ": ", error.c_str());
}

// The last byte of the signature stream is the last byte of the signer's RSA signature.
TEST(PackageSignatureUnderWine, SignatureChangedAfterSigningNoLongerVerifies) {
  test::TempFolder folder;
  const std::wstring changed =
      CopyWithStreamChanged(test::SamplePackageSignedBy("publisher"), folder.Path(), kSignatureStream, true);
  const EmbeddedSignature embedded = ReadEmbeddedSignature(changed);
  ASSERT_TRUE(embedded.present);
  EXPECT_EQ(embedded.signerKey, test::PkiPin("publisher"));
  EXPECT_FALSE(embedded.signatureVerifies);
  EXPECT_EQ(embedded.contentDigest, embedded.signedDigest) << "the contents themselves are untouched";
}

}  // namespace
}  // namespace velmora
