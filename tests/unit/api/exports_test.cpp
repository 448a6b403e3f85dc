#include <gtest/gtest.h>

#include "tavrin.h"

namespace {

TEST(Exports, VersionNeedsNoDecoder) { EXPECT_EQ(GetMorvelDllVersion(), 0x01000001u); }

}  // namespace
