// The C callers of OutsideHeadersC.c reach both libraries.
#include <gtest/gtest.h>

#include <cstdint>

extern "C" int32_t outsideFramesFromC(void);
extern "C" int32_t outsideServerLinesFromC(void);

TEST(OutsideHeaders, UsableFromC) {
  EXPECT_EQ(outsideFramesFromC(), 26);
  EXPECT_EQ(outsideServerLinesFromC(), 1);
}
