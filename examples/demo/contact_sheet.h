// The contact sheet: pictures side by side in rows, with captions.
#ifndef VXFREQ_DEMO_CONTACT_SHEET_H
#define VXFREQ_DEMO_CONTACT_SHEET_H

#include "image_io.h"

#include <string>
#include <vector>

namespace demo {

// How a picture is made smaller to fit its tile.
enum class Shrink {
  Average,  // each pixel the mean of the area it covers: for pictures
  Peak,     // each pixel the largest of the area it covers: for spectra, whose
            // single bright elements must not fade away
};

struct Tile {
  GreyImage picture;  // 8-bit, any size; scaled down to fit the tile
  Shrink shrink = Shrink::Average;
};

struct SheetRow {
  std::string title;  // above the row
  std::vector<Tile> tiles;
};

struct SheetLayout {
  long tile = 256;    // side of the square each picture is fitted into
  long margin = 16;   // around the sheet
  long gap = 8;       // between tiles
  int textScale = 2;  // size of the captions, in font pixels per sheet pixel
};

// An 8-bit sheet: `heading` on top, then `columnCaptions` over the columns, then each
// row with its title. A row may hold fewer tiles than there are columns.
GreyImage makeContactSheet(const std::string& heading,
                           const std::vector<std::string>& columnCaptions,
                           const std::vector<SheetRow>& rows, const SheetLayout& layout);

// `picture` scaled down to fit a side x side square, keeping its aspect (pictures that
// fit already are left as they are).
GreyImage fitPicture(const GreyImage& picture, long side, Shrink shrink);

// Draws `text` with its top-left corner at (x, y) in grey level `value`; what falls
// outside the image is clipped.
void drawText(GreyImage& image, long x, long y, const std::string& text, int scale,
              std::uint16_t value);

}  // namespace demo

#endif
