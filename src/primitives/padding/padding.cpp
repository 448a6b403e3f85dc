// Edge padding: the border around a plane's visible area takes copies of the
// nearest edge samples, so that motion compensation may reach up to the
// border width outside the picture.
#include "primitives/padding/padding.h"

#include <cstddef>
#include <cstring>

namespace tavrin::reference {

PrimitiveStatus PadPlane(uint8_t* base, int32_t width, int32_t height, int32_t border,
                         int32_t stride) {
  if (const PrimitiveStatus s = padding::CheckPadArguments(base, width, height, border, stride);
      s != Ok) {
    return s;
  }

  const ptrdiff_t s = stride;
  const size_t w = static_cast<size_t>(width);
  const size_t b = static_cast<size_t>(border);
  uint8_t* const firstVisible = base + s * border + border;
  uint8_t* const lastVisible = firstVisible + s * (height - 1);

  // Rows above and below: the first and last visible rows, visible columns.
  for (int32_t r = 0; r < border; ++r) {
    std::memcpy(base + s * r + border, firstVisible, w);
    std::memcpy(lastVisible + s * (r + 1), lastVisible, w);
  }

  // Then left and right over every row of the padded area, the rows just
  // written included, which fills the corners from the corner samples.
  const int64_t rows = static_cast<int64_t>(height) + 2 * static_cast<int64_t>(border);
  uint8_t* row = base;
  for (int64_t r = 0; r < rows; ++r, row += s) {
    std::memset(row, row[b], b);
    std::memset(row + b + w, row[b + w - 1], b);
  }
  return Ok;
}

}  // namespace tavrin::reference
