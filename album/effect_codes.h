// The 35 entry transitions: their codes, names and the random pick that every
// new slide starts with. A code is the group number written in decimal and
// read as hexadecimal, times 256, plus the 1-based variant (group 8 variant 3
// is 0x0803 = 2051, "Split3").
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace yel {

struct EffectInfo {
  std::int32_t Code;
  std::string Name;  // "Blinds1" ... "Pull4"
};

// Number of variants of a group 1..13; 0 for any other group.
int EffectVariantCount(int group);
// Code of group g, variant v (no range check).
std::int32_t EffectCode(int group, int variant);
// All 35 effects in group and variant order.
const std::vector<EffectInfo>& AllEffects();
// Name of a code, or empty when the code names no effect (0 included).
std::string EffectName(std::int32_t code);
// Code of a name (case-insensitive), or 0 when unknown.
std::int32_t EffectCodeByName(const std::string& name);

// Draws a group uniformly from 1..13, then a variant uniformly from its
// variants, and returns the code. Every group, "Pull" included, can be drawn.
std::int32_t PickRandomEffect(std::mt19937& random);

}  // namespace yel
