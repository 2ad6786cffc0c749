#include "tools/common/text_boxes.h"

#include <cstring>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_easy_font.h>
#pragma GCC diagnostic pop

namespace {

constexpr double kGlyphHeight = 7.0;  // height of capitals in stb_easy_font units

std::string printable(const std::string& text) {
  std::string out;
  for (char ch : text) out += (ch >= 32 && ch < 127) ? ch : '?';
  return out;
}

}  // namespace

std::vector<TextBox> textBoxes(const std::string& text, double x, double y, double height) {
  std::string shown = printable(text);
  std::vector<char> buffer(shown.size() * 270 + 1000);
  const int quads = stb_easy_font_print(0, 0, shown.data(), nullptr, buffer.data(), static_cast<int>(buffer.size()));
  const double scale = height / kGlyphHeight;
  std::vector<TextBox> boxes;
  // Each quad is four vertices of 16 bytes: x, y, z as floats and four colour bytes.
  for (int q = 0; q < quads; ++q) {
    float first[2], third[2];
    std::memcpy(first, buffer.data() + q * 64, sizeof first);
    std::memcpy(third, buffer.data() + q * 64 + 32, sizeof third);
    boxes.push_back({x + first[0] * scale, y + first[1] * scale, x + third[0] * scale, y + third[1] * scale});
  }
  return boxes;
}

double textWidth(const std::string& text, double height) {
  std::string shown = printable(text);
  return stb_easy_font_width(shown.data()) * height / kGlyphHeight;
}
