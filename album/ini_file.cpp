// INI files through SimpleIni (case-insensitive sections and keys).
#include "album/ini_file.h"

// The system's SimpleIni library is built with the ICU converter.
#define SI_CONVERT_ICU
#include <SimpleIni.h>

#include <stdexcept>

#include "album/locale_numbers.h"
#include "base/files.h"

namespace yel {

struct TIniFile::Impl {
  CSimpleIniA ini{false, false, false};  // no UTF-8 conversion, single keys
};

TIniFile::TIniFile() : impl_(std::make_unique<Impl>()) {}
TIniFile::~TIniFile() = default;
TIniFile::TIniFile(TIniFile&&) noexcept = default;
TIniFile& TIniFile::operator=(TIniFile&&) noexcept = default;

TIniFile TIniFile::Load(const std::string& path) {
  std::string text;
  try {
    text = ReadFileText(path);
  } catch (const std::exception& e) {
    throw std::runtime_error(path + ": cannot read the INI file: " + e.what());
  }
  return Parse(text, path);
}

TIniFile TIniFile::Parse(std::string_view text, const std::string& sourceName) {
  if (text.find('\0') != std::string_view::npos)
    throw std::runtime_error(sourceName + ": not an INI file (it holds binary data)");
  TIniFile file;
  if (file.impl_->ini.LoadData(text.data(), text.size()) < 0)
    throw std::runtime_error(sourceName + ": the INI text cannot be read");
  return file;
}

bool TIniFile::HasKey(const std::string& section, const std::string& key) const {
  return impl_->ini.GetValue(section.c_str(), key.c_str(), nullptr) != nullptr;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const {
  const char* value = impl_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
  return value ? std::string(value) : fallback;
}

std::int64_t TIniFile::ReadInteger(const std::string& section, const std::string& key, std::int64_t fallback) const {
  const char* value = impl_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
  if (!value) return fallback;
  return ParseInteger(value).value_or(fallback);
}

double TIniFile::ReadFloat(const std::string& section, const std::string& key, double fallback) const {
  const char* value = impl_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
  if (!value) return fallback;
  if (auto number = ParseDecimal(value)) return *number;
  return ParseDecimal(value, '.').value_or(fallback);
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  impl_->ini.SetValue(section.c_str(), key.c_str(), value.c_str());
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, std::int64_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteFloat(const std::string& section, const std::string& key, double value) {
  WriteString(section, key, FormatDecimal(value));
}

std::string TIniFile::ToText() const {
  std::string text;
  impl_->ini.Save(text);
  return text;
}

void TIniFile::SaveToFile(const std::string& path) const { WriteFileAtomically(path, ToText()); }

}  // namespace yel
