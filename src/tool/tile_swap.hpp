// The tile swap: rewrites tile numbers in a level's dictionary and animation frames by a swap list.
#pragma once

#include <cstdint>
#include <string>

#include "content/level_info.hpp"
#include "tool/swap_list.hpp"

namespace levelkit {

// `value` rewritten by the first entry whose fromTile matches its tile number under `tileMask`;
// the bits above the mask are flags and never change.
TileRef applySwap(TileRef value, const SwapList& list, std::uint16_t tileMask);

// Swaps the tiles of the level at `levelPath` by the list at `swapListPath` and saves the level.
void swapTiles(const std::string& levelPath, const std::string& swapListPath);

}  // namespace levelkit
