#include "album/effect_codes.h"

#include <gtest/gtest.h>

#include <set>

namespace yel {
namespace {

TEST(EffectCodes, TableOfCodesAndNames) {
  ASSERT_EQ(AllEffects().size(), 35u);
  struct Case {
    std::int32_t code;
    const char* name;
  } cases[] = {{257, "Blinds1"}, {258, "Blinds2"}, {1537, "Fade1"}, {2049, "Split1"}, {2051, "Split3"},
               {2308, "Strips4"}, {4097, "Wedge1"}, {4353, "Wheel1"}, {4357, "Wheel5"}, {4612, "Wipe4"},
               {4865, "Pull1"},   {4868, "Pull4"}};
  for (const auto& c : cases) {
    EXPECT_EQ(EffectName(c.code), c.name) << c.code;
    EXPECT_EQ(EffectCodeByName(c.name), c.code) << c.name;
  }
  EXPECT_EQ(EffectCode(11, 2), 0x1102);
  EXPECT_EQ(EffectName(0), "");
  EXPECT_EQ(EffectName(4358), "");  // Wheel has five variants
  EXPECT_EQ(EffectCodeByName("Nothing"), 0);
}

TEST(EffectCodes, RandomPickCoversEveryGroupAndOnlyValidCodes) {
  std::mt19937 random(1);
  std::set<std::int32_t> groups, codes;
  for (int i = 0; i < 5000; ++i) {
    std::int32_t code = PickRandomEffect(random);
    ASSERT_FALSE(EffectName(code).empty()) << code;
    codes.insert(code);
    groups.insert(code >> 8);
  }
  EXPECT_EQ(groups.size(), 13u);  // the Pull group (0x13) included
  EXPECT_TRUE(groups.count(0x13));
  EXPECT_EQ(codes.size(), 35u);
}

}  // namespace
}  // namespace yel
