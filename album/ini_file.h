// TIniFile: the INI files of the themes, read and written like the Windows
// profile functions (sections and keys without regard to case, values as
// text; numbers in the locale's decimal form).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace yel {

class TIniFile {
 public:
  TIniFile();
  ~TIniFile();
  TIniFile(TIniFile&&) noexcept;
  TIniFile& operator=(TIniFile&&) noexcept;

  // Reads the file; throws an error naming the file when it cannot be read
  // or is not an INI text.
  static TIniFile Load(const std::string& path);
  // The same for INI text held in memory; sourceName names it in errors.
  static TIniFile Parse(std::string_view text, const std::string& sourceName);

  bool HasKey(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback = {}) const;
  // A value that is not a whole number gives the fallback.
  std::int64_t ReadInteger(const std::string& section, const std::string& key, std::int64_t fallback) const;
  // A decimal in the locale's form (a dot is accepted too); else the fallback.
  double ReadFloat(const std::string& section, const std::string& key, double fallback) const;

  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, std::int64_t value);
  void WriteFloat(const std::string& section, const std::string& key, double value);

  std::string ToText() const;
  // Writes through a temporary file renamed into place.
  void SaveToFile(const std::string& path) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace yel
