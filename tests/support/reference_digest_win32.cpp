#include <windows.h>

#include "support/reference_digest.h"
// After windows.h, which it needs.
#include <bcrypt.h>

#include <cstdio>

#include "support/temp_dir.h"

const char kReferenceSource[] = "the system's cryptography library";

namespace {

const wchar_t* algorithm_id(const std::string& algorithm) {
  if (algorithm == "md5") return BCRYPT_MD5_ALGORITHM;
  if (algorithm == "sha1") return BCRYPT_SHA1_ALGORITHM;
  if (algorithm == "sha256") return BCRYPT_SHA256_ALGORITHM;
  if (algorithm == "sha384") return BCRYPT_SHA384_ALGORITHM;
  if (algorithm == "sha512") return BCRYPT_SHA512_ALGORITHM;
  return nullptr;
}

}  // namespace

std::string reference_digest(const std::string& algorithm, const std::string& path) {
  const wchar_t* id = algorithm_id(algorithm);
  BCRYPT_ALG_HANDLE provider = nullptr;
  if (id == nullptr || BCryptOpenAlgorithmProvider(&provider, id, nullptr, 0) != 0) return "";
  std::string bytes = read_file(path);
  unsigned char digest[64];
  DWORD length = 0;
  ULONG got = 0;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool done = BCryptGetProperty(provider, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length),
                                sizeof length, &got, 0) == 0 &&
              length <= sizeof digest &&
              BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0) == 0;
  // One call over the whole file: the calls that hash in one go came only with Windows 10.
  done = done &&
         BCryptHashData(hash, reinterpret_cast<PUCHAR>(bytes.data()),
                        static_cast<ULONG>(bytes.size()), 0) == 0 &&
         BCryptFinishHash(hash, digest, length, 0) == 0;
  if (hash != nullptr) BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(provider, 0);
  if (!done) return "";
  std::string hex;
  for (DWORD i = 0; i < length; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", digest[i]);
    hex += pair;
  }
  return hex;
}
