#include "contact_sheet.h"

#include "bitmap_font.h"

#include <algorithm>
#include <cmath>

namespace demo {

namespace {

constexpr std::uint16_t kBackground = 24;
constexpr std::uint16_t kHeadingInk = 255;
constexpr std::uint16_t kCaptionInk = 215;
constexpr std::uint16_t kFrame = 70;

void paste(GreyImage& sheet, const GreyImage& picture, long left, long top) {
  for (long y = 0; y < picture.height; ++y)
    for (long x = 0; x < picture.width; ++x) {
      const long sx = left + x, sy = top + y;
      if (sx >= 0 && sy >= 0 && sx < sheet.width && sy < sheet.height)
        sheet.at(sx, sy) = picture.at(x, y);
    }
}

void frame(GreyImage& sheet, long left, long top, long width, long height) {
  for (long x = left - 1; x <= left + width; ++x) {
    if (x < 0 || x >= sheet.width) continue;
    if (top - 1 >= 0) sheet.at(x, top - 1) = kFrame;
    if (top + height < sheet.height) sheet.at(x, top + height) = kFrame;
  }
  for (long y = top - 1; y <= top + height; ++y) {
    if (y < 0 || y >= sheet.height) continue;
    if (left - 1 >= 0) sheet.at(left - 1, y) = kFrame;
    if (left + width < sheet.width) sheet.at(left + width, y) = kFrame;
  }
}

}  // namespace

void drawText(GreyImage& image, long x, long y, const std::string& text, int scale,
              std::uint16_t value) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const long left = x + static_cast<long>(i) * kGlyphAdvance * scale;
    for (int gy = 0; gy < kGlyphHeight; ++gy)
      for (int gx = 0; gx < kGlyphWidth; ++gx) {
        if (!glyphPixel(text[i], gx, gy)) continue;
        for (int dy = 0; dy < scale; ++dy)
          for (int dx = 0; dx < scale; ++dx) {
            const long px = left + gx * scale + dx, py = y + gy * scale + dy;
            if (px >= 0 && py >= 0 && px < image.width && py < image.height)
              image.at(px, py) = value;
          }
      }
  }
}

GreyImage fitPicture(const GreyImage& picture, long side, Shrink shrink) {
  const double factor =
      std::min(1.0, static_cast<double>(side) / std::max(picture.width, picture.height));
  const long width = std::max(1L, std::lround(picture.width * factor));
  const long height = std::max(1L, std::lround(picture.height * factor));
  GreyImage fitted(width, height, picture.bits);
  const double sx = static_cast<double>(picture.width) / width;
  const double sy = static_cast<double>(picture.height) / height;
  // Output pixel (x, y) covers the input area [x sx, (x + 1) sx) x [y sy, (y + 1) sy);
  // partly covered input pixels count with the part covered.
  for (long y = 0; y < height; ++y) {
    const double y0 = y * sy, y1 = (y + 1) * sy;
    for (long x = 0; x < width; ++x) {
      const double x0 = x * sx, x1 = (x + 1) * sx;
      double sum = 0.0, area = 0.0, peak = 0.0;
      for (long iy = static_cast<long>(y0); iy < y1 && iy < picture.height; ++iy) {
        const double wy = std::min(y1, iy + 1.0) - std::max(y0, static_cast<double>(iy));
        for (long ix = static_cast<long>(x0); ix < x1 && ix < picture.width; ++ix) {
          const double wx = std::min(x1, ix + 1.0) - std::max(x0, static_cast<double>(ix));
          sum += wx * wy * picture.at(ix, iy);
          area += wx * wy;
          peak = std::max(peak, static_cast<double>(picture.at(ix, iy)));
        }
      }
      const double value = shrink == Shrink::Peak ? peak : (area > 0.0 ? sum / area : 0.0);
      fitted.at(x, y) = static_cast<std::uint16_t>(std::lround(value));
    }
  }
  return fitted;
}

GreyImage makeContactSheet(const std::string& heading,
                           const std::vector<std::string>& columnCaptions,
                           const std::vector<SheetRow>& rows, const SheetLayout& layout) {
  std::size_t columns = columnCaptions.size();
  for (const SheetRow& row : rows) columns = std::max(columns, row.tiles.size());
  const long line = (kGlyphHeight + 3) * layout.textScale;  // height of a line of text
  const long width = 2 * layout.margin + static_cast<long>(columns) * layout.tile +
                     (static_cast<long>(columns) - 1) * layout.gap;
  const long rowHeight = line + layout.tile + layout.gap * 2;
  const long top = layout.margin + 2 * line + (columnCaptions.empty() ? 0 : line);
  const long height = top + static_cast<long>(rows.size()) * rowHeight + layout.margin;

  GreyImage sheet(width, height, 8);
  std::fill(sheet.pixels.begin(), sheet.pixels.end(), kBackground);
  drawText(sheet, layout.margin, layout.margin, heading, layout.textScale, kHeadingInk);
  for (std::size_t c = 0; c < columnCaptions.size(); ++c) {
    const long left = layout.margin + static_cast<long>(c) * (layout.tile + layout.gap);
    const long textLeft =
        left + std::max(0L, (layout.tile - textWidth(columnCaptions[c], layout.textScale)) / 2);
    drawText(sheet, textLeft, top - line, columnCaptions[c], layout.textScale, kCaptionInk);
  }
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const long rowTop = top + static_cast<long>(r) * rowHeight;
    drawText(sheet, layout.margin, rowTop + layout.gap, rows[r].title, layout.textScale,
             kHeadingInk);
    for (std::size_t c = 0; c < rows[r].tiles.size(); ++c) {
      const Tile& tile = rows[r].tiles[c];
      const GreyImage fitted = fitPicture(tile.picture, layout.tile, tile.shrink);
      const long left = layout.margin + static_cast<long>(c) * (layout.tile + layout.gap) +
                        (layout.tile - fitted.width) / 2;
      const long pictureTop = rowTop + layout.gap + line + (layout.tile - fitted.height) / 2;
      frame(sheet, left, pictureTop, fitted.width, fitted.height);
      paste(sheet, fitted, left, pictureTop);
    }
  }
  return sheet;
}

}  // namespace demo
