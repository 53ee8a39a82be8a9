// MD5 (RFC 1321) and MD5-crypt.
#include "swf/format/md5.h"

#include <cstring>
#include <random>

namespace yel::swf {
namespace {

constexpr std::uint32_t kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

constexpr char kCryptAlphabet[] = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

std::uint32_t Rotl(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

}  // namespace

TMD5::TMD5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void TMD5::Block(const std::uint8_t* p) {
  std::uint32_t m[16];
  for (int i = 0; i < 16; ++i)
    m[i] = p[i * 4] | (p[i * 4 + 1] << 8) | (p[i * 4 + 2] << 16) | (static_cast<std::uint32_t>(p[i * 4 + 3]) << 24);
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int i = 0; i < 64; ++i) {
    std::uint32_t f;
    int g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (d & b) | (~d & c);
      g = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    std::uint32_t next = b + Rotl(a + f + kT[i] + m[g], kShift[i]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void TMD5::Update(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  length_ += size;
  while (size > 0) {
    std::size_t take = std::min(size, sizeof buffer_ - used_);
    std::memcpy(buffer_ + used_, p, take);
    used_ += take;
    p += take;
    size -= take;
    if (used_ == sizeof buffer_) {
      Block(buffer_);
      used_ = 0;
    }
  }
}

std::array<std::uint8_t, 16> TMD5::Final() {
  std::uint64_t bits = length_ * 8;
  std::uint8_t pad = 0x80;
  Update(&pad, 1);
  std::uint8_t zero = 0;
  while (used_ != 56) Update(&zero, 1);
  std::uint8_t len[8];
  for (int i = 0; i < 8; ++i) len[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  Update(len, 8);
  std::array<std::uint8_t, 16> out;
  for (int i = 0; i < 4; ++i)
    for (int k = 0; k < 4; ++k) out[i * 4 + k] = static_cast<std::uint8_t>(state_[i] >> (8 * k));
  return out;
}

std::array<std::uint8_t, 16> MD5Digest(std::string_view data) {
  TMD5 md5;
  md5.Update(data);
  return md5.Final();
}

std::string MD5Crypt(std::string_view password, std::string_view salt) {
  constexpr std::string_view magic = "$1$";
  if (salt.starts_with(magic)) salt.remove_prefix(magic.size());
  std::string saltText;
  if (salt.size() >= 2) {
    saltText = std::string(salt.substr(0, 2));
  } else {
    std::random_device random;
    std::uniform_int_distribution<int> pick(0, 63);
    saltText = {kCryptAlphabet[pick(random)], kCryptAlphabet[pick(random)]};
  }

  TMD5 alternate;
  alternate.Update(password);
  alternate.Update(saltText);
  alternate.Update(password);
  auto alt = alternate.Final();

  TMD5 context;
  context.Update(password);
  context.Update(magic);
  context.Update(saltText);
  for (std::size_t left = password.size(); left > 0; left -= std::min<std::size_t>(left, 16))
    context.Update(alt.data(), std::min<std::size_t>(left, 16));
  for (std::size_t i = password.size(); i != 0; i >>= 1) {
    if (i & 1) {
      std::uint8_t zero = 0;
      context.Update(&zero, 1);
    } else {
      context.Update(password.data(), 1);
    }
  }
  auto digest = context.Final();

  for (int round = 0; round < 1000; ++round) {
    TMD5 step;
    if (round & 1) {
      step.Update(password);
    } else {
      step.Update(digest.data(), digest.size());
    }
    if (round % 3) step.Update(saltText);
    if (round % 7) step.Update(password);
    if (round & 1) {
      step.Update(digest.data(), digest.size());
    } else {
      step.Update(password);
    }
    digest = step.Final();
  }

  std::string out = std::string(magic) + saltText + "$";
  auto to64 = [&](std::uint32_t v, int n) {
    while (n-- > 0) {
      out += kCryptAlphabet[v & 0x3F];
      v >>= 6;
    }
  };
  to64((digest[0] << 16) | (digest[6] << 8) | digest[12], 4);
  to64((digest[1] << 16) | (digest[7] << 8) | digest[13], 4);
  to64((digest[2] << 16) | (digest[8] << 8) | digest[14], 4);
  to64((digest[3] << 16) | (digest[9] << 8) | digest[15], 4);
  to64((digest[4] << 16) | (digest[10] << 8) | digest[5], 4);
  to64(digest[11], 2);
  return out;
}

}  // namespace yel::swf
