// The tile list of the column-major single-precision product.
#ifndef ZELVAN_MATMUL_TILES_H_
#define ZELVAN_MATMUL_TILES_H_

#include <array>
#include <vector>

namespace zelvan {

// Row start, column start, row count, column count, in C's coordinates.
using Tile = std::array<int, 4>;

// About t x t tiles of ceil(m/t) x ceil(n/t), at least 32 x 32, rows
// outermost. Sizes are computed in 64-bit so m or n near INT_MAX cannot
// overflow.
std::vector<Tile> BuildTiles(int m, int n, int t);

}  // namespace zelvan

#endif  // ZELVAN_MATMUL_TILES_H_
