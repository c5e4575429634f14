// Draws the program icon (resources/tessaly.ico): four rounded tiles set as a diamond, crossed by
// a white waveform, at 16, 20, 24, 32, 40, 48, 64 and 256 pixels, 32-bit BGRA with alpha.
//
// The build uses the committed icon; run this by hand after changing the drawing:
//   g++ -std=c++17 -O2 -Wall -o /tmp/make_icon tools/make_icon.cpp
//   /tmp/make_icon resources/tessaly.ico
// Every entry is a bottom-up DIB (BITMAPINFOHEADER, colour bitmap, then the 1-bit AND mask), which
// every Windows version reads. Edges are anti-aliased by averaging 8 x 8 samples per pixel in
// linear light; the output is the same on every run.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSamples = 8;  // per pixel and axis

struct Color {  // linear light, premultiplied by a
  double r = 0, g = 0, b = 0, a = 0;
};

double ToLinear(int srgb) {
  double c = srgb / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

int ToSrgb(double linear) {
  double c = std::clamp(linear, 0.0, 1.0);
  c = c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
  return static_cast<int>(std::lround(c * 255.0));
}

Color Opaque(uint32_t rgb) {
  return {ToLinear((rgb >> 16) & 0xFF), ToLinear((rgb >> 8) & 0xFF), ToLinear(rgb & 0xFF), 1.0};
}

Color Mix(const Color& a, const Color& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
          a.a + (b.a - a.a) * t};
}

// Paints an opaque colour over whatever is below it.
void Over(Color& dst, const Color& src) { dst = src; }

// Sizes that depend on the pixel size, so that small icons keep one-pixel gaps and outlines.
struct Style {
  double px;         // one pixel in unit coordinates
  double extent;     // half the side of the 2 x 2 tile block, before the 45 degree turn
  double gap;        // dark gap between tiles
  double radius;     // corner radius of a tile
  double outline;    // dark rim around the tiles and the waveform
  double waveWidth;  // width of the white stroke
  double amplitude;  // of the waveform
  bool highlight;    // a light inner edge on the tiles (large sizes only)
};

Style MakeStyle(int size) {
  Style s{};
  s.px = 1.0 / size;
  s.extent = 0.345;
  s.gap = std::max(0.032, 1.0 * s.px);
  s.radius = std::max(0.07, 1.5 * s.px);
  s.outline = std::max(0.026, 1.0 * s.px);
  s.waveWidth = std::max(0.075, 1.6 * s.px);
  s.amplitude = size <= 20 ? 0.17 : 0.15;
  s.highlight = size >= 40;
  return s;
}

// Signed distance to an axis-aligned rounded box centred at the origin.
double RoundedBox(double x, double y, double half, double radius) {
  double qx = std::fabs(x) - (half - radius);
  double qy = std::fabs(y) - (half - radius);
  double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
  return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

// The waveform: a plucked-string wave of two periods whose amplitude swells and fades.
struct Wave {
  double left = 0.15, right = 0.85;
  std::vector<std::array<double, 2>> points;

  explicit Wave(double amplitude) {
    const int n = 400;
    for (int i = 0; i <= n; ++i) {
      double t = static_cast<double>(i) / n;
      double envelope = std::pow(std::sin(kPi * t), 0.7) * (1.0 - 0.35 * t);
      double y = 0.5 - amplitude * envelope * std::sin(2.0 * kPi * 2.0 * t);
      points.push_back({left + (right - left) * t, y});
    }
  }

  // Distance from (x, y) to the polyline; only segments near x can be close.
  double Distance(double x, double y, double reach) const {
    double best = 1e9;
    int n = static_cast<int>(points.size()) - 1;
    int from = std::clamp(static_cast<int>((x - reach - left) / (right - left) * n) - 1, 0, n - 1);
    int to = std::clamp(static_cast<int>((x + reach - left) / (right - left) * n) + 1, 0, n - 1);
    for (int i = from; i <= to; ++i) {
      const auto& a = points[i];
      const auto& b = points[i + 1];
      double dx = b[0] - a[0], dy = b[1] - a[1];
      double t = std::clamp(((x - a[0]) * dx + (y - a[1]) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
      best = std::min(best, std::hypot(x - a[0] - t * dx, y - a[1] - t * dy));
    }
    return best;
  }
};

// Colour of the scene at one sample point (x, y in 0..1, y downwards).
Color Shade(double x, double y, const Style& s, const Wave& wave) {
  const Color rim = Opaque(0x151A2E);
  const Color top = Opaque(0x3FE0C5);     // teal
  const Color bottom = Opaque(0x6D4AF2);  // violet
  const Color ink = Opaque(0xF7F9FF);

  Color c;
  // Turn by 45 degrees around the centre, so that the square tile block becomes a diamond.
  const double k = std::sqrt(0.5);
  double u = (x - 0.5 + y - 0.5) * k;
  double v = (y - 0.5 - (x - 0.5)) * k;

  double tileHalf = (2.0 * s.extent - s.gap) / 4.0;
  double offset = tileHalf + s.gap / 2.0;
  double nearest = 1e9;
  int tile = -1;
  double tileU = 0, tileV = 0;
  for (int i = 0; i < 4; ++i) {
    double cu = (i & 1) ? offset : -offset;
    double cv = (i & 2) ? offset : -offset;
    double d = RoundedBox(u - cu, v - cv, tileHalf, s.radius);
    if (d < nearest) {
      nearest = d;
      tile = i;
      tileU = u - cu;
      tileV = v - cv;
    }
  }
  // The dark rim fills the gaps and rings the block, so it shows on light and dark taskbars.
  double block = RoundedBox(u, v, s.extent, s.radius + s.gap / 2.0);
  if (block < s.outline) Over(c, rim);
  if (nearest < 0.0 && tile >= 0) {
    // A gradient from top to bottom; the left and right tiles slightly darker than the others.
    double t = std::clamp((y - 0.15) / 0.7, 0.0, 1.0);
    Color fill = Mix(top, bottom, t);
    if (tile == 1 || tile == 2) fill = Mix(fill, rim, 0.12);
    if (s.highlight && nearest > -2.5 * s.px && (tileU + tileV) < 0.0) fill = Mix(fill, ink, 0.35);
    Over(c, fill);
  }

  double reach = s.waveWidth / 2.0 + s.outline;
  if (x > wave.left - reach && x < wave.right + reach) {
    double d = wave.Distance(x, y, reach);
    if (d < reach) Over(c, rim);
    if (d < s.waveWidth / 2.0) Over(c, ink);
  }
  return c;
}

struct Image {
  int size;
  std::vector<uint8_t> bgra;  // top-down rows, straight alpha
};

Image Render(int size) {
  Style s = MakeStyle(size);
  Wave wave(s.amplitude);
  Image img{size, std::vector<uint8_t>(static_cast<size_t>(size) * size * 4)};
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      Color sum;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          double x = (px + (sx + 0.5) / kSamples) / size;
          double y = (py + (sy + 0.5) / kSamples) / size;
          Color c = Shade(x, y, s, wave);
          sum.r += c.r * c.a;
          sum.g += c.g * c.a;
          sum.b += c.b * c.a;
          sum.a += c.a;
        }
      }
      const double n = kSamples * kSamples;
      double a = sum.a / n;
      uint8_t* out = &img.bgra[(static_cast<size_t>(py) * size + px) * 4];
      if (a <= 0.0) {
        out[0] = out[1] = out[2] = out[3] = 0;
        continue;
      }
      out[0] = static_cast<uint8_t>(ToSrgb(sum.b / n / a));
      out[1] = static_cast<uint8_t>(ToSrgb(sum.g / n / a));
      out[2] = static_cast<uint8_t>(ToSrgb(sum.r / n / a));
      out[3] = static_cast<uint8_t>(std::lround(a * 255.0));
    }
  }
  return img;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// One icon entry: BITMAPINFOHEADER with twice the height, bottom-up BGRA rows, then the AND mask
// (1 = transparent), each mask row padded to 32 bits.
std::vector<uint8_t> EncodeDib(const Image& img) {
  const uint32_t n = static_cast<uint32_t>(img.size);
  const uint32_t maskStride = ((n + 31) / 32) * 4;
  std::vector<uint8_t> out;
  Put32(out, 40);
  Put32(out, n);
  Put32(out, n * 2);
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, 0);  // BI_RGB
  Put32(out, n * n * 4 + maskStride * n);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  for (uint32_t row = n; row-- > 0;) {
    const uint8_t* src = &img.bgra[static_cast<size_t>(row) * n * 4];
    out.insert(out.end(), src, src + n * 4);
  }
  for (uint32_t row = n; row-- > 0;) {
    std::vector<uint8_t> mask(maskStride, 0);
    for (uint32_t col = 0; col < n; ++col) {
      if (img.bgra[(static_cast<size_t>(row) * n + col) * 4 + 3] == 0) {
        mask[col / 8] |= static_cast<uint8_t>(0x80 >> (col % 8));
      }
    }
    out.insert(out.end(), mask.begin(), mask.end());
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s output.ico\n", argv[0]);
    return 2;
  }
  const int sizes[] = {16, 20, 24, 32, 40, 48, 64, 256};
  const uint32_t count = sizeof(sizes) / sizeof(sizes[0]);
  std::vector<std::vector<uint8_t>> entries;
  for (int size : sizes) entries.push_back(EncodeDib(Render(size)));

  std::vector<uint8_t> file;
  Put16(file, 0);  // reserved
  Put16(file, 1);  // icon
  Put16(file, static_cast<uint16_t>(count));
  uint32_t offset = 6 + 16 * count;
  for (uint32_t i = 0; i < count; ++i) {
    file.push_back(static_cast<uint8_t>(sizes[i] >= 256 ? 0 : sizes[i]));  // 0 means 256
    file.push_back(static_cast<uint8_t>(sizes[i] >= 256 ? 0 : sizes[i]));
    file.push_back(0);  // no palette
    file.push_back(0);
    Put16(file, 1);   // planes
    Put16(file, 32);  // bits per pixel
    Put32(file, static_cast<uint32_t>(entries[i].size()));
    Put32(file, offset);
    offset += static_cast<uint32_t>(entries[i].size());
  }
  for (const auto& entry : entries) file.insert(file.end(), entry.begin(), entry.end());

  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f) {
    std::perror(argv[1]);
    return 1;
  }
  bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "%s: write failed\n", argv[1]);
    return 1;
  }
  std::printf("wrote %s: %u sizes, %zu bytes\n", argv[1], count, file.size());
  return 0;
}
