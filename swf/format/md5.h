// MD5 digests (RFC 1321) and the MD5-crypt password hash ("$1$" scheme) that
// the Protect and EnableDebugger tags carry.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace yel::swf {

class TMD5 {
 public:
  TMD5();
  void Update(const void* data, std::size_t size);
  void Update(std::string_view text) { Update(text.data(), text.size()); }
  std::array<std::uint8_t, 16> Final();

 private:
  void Block(const std::uint8_t* p);
  std::uint32_t state_[4];
  std::uint64_t length_ = 0;
  std::uint8_t buffer_[64];
  std::size_t used_ = 0;
};

std::array<std::uint8_t, 16> MD5Digest(std::string_view data);

// "$1$" + salt + "$" + 22 characters. The salt is the first two characters of
// salt after a leading "$1$"; with fewer than two, two random characters of the
// crypt alphabet are used.
std::string MD5Crypt(std::string_view password, std::string_view salt = {});

}  // namespace yel::swf
