// The tile list of the column-major float product, for pool sizes this
// machine cannot produce.
#include "matmul/tiles.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using zelvan::BuildTiles;
using zelvan::Tile;

TEST(Tiles, ListedRowBandsOutermostWithAMinimumOf32) {
  const std::vector<Tile> want = {{0, 0, 32, 32},   {0, 32, 32, 32}, {0, 64, 32, 6},  {32, 0, 32, 32},
                                  {32, 32, 32, 32}, {32, 64, 32, 6}, {64, 0, 32, 32}, {64, 32, 32, 32},
                                  {64, 64, 32, 6},  {96, 0, 4, 32},  {96, 32, 4, 32}, {96, 64, 4, 6}};
  EXPECT_EQ(BuildTiles(100, 70, 4), want);
}

TEST(Tiles, TableCases) {
  EXPECT_EQ(BuildTiles(20, 31, 8), (std::vector<Tile>{{0, 0, 20, 31}}));
  const auto three = BuildTiles(100, 10, 3);
  ASSERT_EQ(three.size(), 3u);
  EXPECT_EQ(three[0][2], 34);
  EXPECT_EQ(three[1][2], 34);
  EXPECT_EQ(three[2][2], 32);
  EXPECT_EQ(BuildTiles(1000, 1000, 2),
            (std::vector<Tile>{{0, 0, 500, 500}, {0, 500, 500, 500}, {500, 0, 500, 500}, {500, 500, 500, 500}}));
  const auto sixteen = BuildTiles(100, 100, 16);
  ASSERT_EQ(sixteen.size(), 16u);
  EXPECT_EQ(sixteen.back(), (Tile{96, 96, 4, 4}));
}

TEST(Tiles, SizesNearIntMaxDoNotOverflow) {
  const auto tiles = BuildTiles(INT_MAX, 1, 3);
  ASSERT_EQ(tiles.size(), 3u);
  long rows = 0;
  for (const Tile& t : tiles) {
    EXPECT_GT(t[2], 0);
    rows += t[2];
  }
  EXPECT_EQ(rows, INT_MAX);
}

}  // namespace
