#include "album/effect_codes.h"

#include "base/text.h"

namespace yel {
namespace {

struct Group {
  int Variants;
  const char* BaseName;
};

constexpr Group kGroups[13] = {
    {2, "Blinds"}, {2, "Circle"}, {2, "Box"},   {2, "Chess"}, {2, "Diamond"}, {1, "Fade"},  {2, "Plus"},
    {4, "Split"},  {4, "Strips"}, {1, "Wedge"}, {5, "Wheel"}, {4, "Wipe"},    {4, "Pull"},
};

}  // namespace

int EffectVariantCount(int group) { return (group >= 1 && group <= 13) ? kGroups[group - 1].Variants : 0; }

std::int32_t EffectCode(int group, int variant) {
  // The group's decimal digits are read as hexadecimal digits.
  int hex = (group / 10) * 16 + group % 10;
  return hex * 256 + variant;
}

const std::vector<EffectInfo>& AllEffects() {
  static const std::vector<EffectInfo> effects = [] {
    std::vector<EffectInfo> list;
    for (int g = 1; g <= 13; ++g)
      for (int v = 1; v <= kGroups[g - 1].Variants; ++v)
        list.push_back({EffectCode(g, v), kGroups[g - 1].BaseName + std::to_string(v)});
    return list;
  }();
  return effects;
}

std::string EffectName(std::int32_t code) {
  for (const auto& effect : AllEffects())
    if (effect.Code == code) return effect.Name;
  return {};
}

std::int32_t EffectCodeByName(const std::string& name) {
  for (const auto& effect : AllEffects())
    if (EqualsIgnoreCase(effect.Name, name)) return effect.Code;
  return 0;
}

std::int32_t PickRandomEffect(std::mt19937& random) {
  int group = std::uniform_int_distribution<int>(1, 13)(random);
  int variant = std::uniform_int_distribution<int>(1, EffectVariantCount(group))(random);
  return EffectCode(group, variant);
}

}  // namespace yel
