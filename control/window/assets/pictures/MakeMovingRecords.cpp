// make_moving_records FILE: draws the animated picture of the import status window (record
// cards moving from a file into the subscriber database, looping) and writes it as a GIF
// file. The picture is kept with the sources; run this again after changing the drawing:
//   cmake --build build --target make_moving_records &&
//   QT_QPA_PLATFORM=offscreen build/tools/make_moving_records control/window/assets/pictures/MovingRecords.gif
// Qt reads GIF files but does not write them, so the encoder (LZW, GIF89a) is here.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kWidth = 264;
constexpr int kHeight = 64;
constexpr int kFrames = 16;
constexpr int kDelayCentiseconds = 6;
const QColor kBackground(0xef, 0xef, 0xef);  // index 0, shown transparent

// ---- Drawing

void DrawFile(QPainter& p) {
  QPainterPath sheet;
  sheet.moveTo(14, 10);
  sheet.lineTo(40, 10);
  sheet.lineTo(50, 20);
  sheet.lineTo(50, 56);
  sheet.lineTo(14, 56);
  sheet.closeSubpath();
  p.setPen(QPen(QColor(0x6b, 0x7a, 0x8c), 1.5));
  p.setBrush(Qt::white);
  p.drawPath(sheet);
  p.drawLine(QPointF(40, 10), QPointF(40, 20));
  p.drawLine(QPointF(40, 20), QPointF(50, 20));
  p.setPen(QPen(QColor(0xa0, 0xab, 0xb8), 2));
  for (int y = 26; y <= 50; y += 6) p.drawLine(QPointF(19, y), QPointF(45, y));
}

void DrawDatabase(QPainter& p) {
  const QRectF body(212, 14, 38, 38);
  QLinearGradient fill(body.topLeft(), body.topRight());
  fill.setColorAt(0, QColor(0x4a, 0x8a, 0xd4));
  fill.setColorAt(1, QColor(0x2a, 0x5e, 0xa3));
  p.setPen(QPen(QColor(0x1f, 0x47, 0x7c), 1.5));
  p.setBrush(fill);
  QPainterPath cylinder;
  cylinder.moveTo(body.left(), body.top() + 5);
  cylinder.lineTo(body.left(), body.bottom() - 5);
  cylinder.arcTo(QRectF(body.left(), body.bottom() - 10, body.width(), 10), 180, 180);
  cylinder.lineTo(body.right(), body.top() + 5);
  cylinder.arcTo(QRectF(body.left(), body.top(), body.width(), 10), 0, -180);
  p.drawPath(cylinder);
  p.setBrush(QColor(0x7a, 0xaa, 0xe4));
  p.drawEllipse(QRectF(body.left(), body.top(), body.width(), 10));
  p.setBrush(Qt::NoBrush);
  for (const double y : {body.top() + 16, body.top() + 27})
    p.drawArc(QRectF(body.left(), y - 5, body.width(), 10), 180 * 16, 180 * 16);
}

// A record card at a point of its way (0: leaving the file, 1: reaching the database).
void DrawRecord(QPainter& p, double way) {
  const double x = 56 + way * (206 - 56 - 22);
  const double y = 26 - 8 * std::sin(way * 3.14159265);
  p.setPen(QPen(QColor(0x2b, 0x7a, 0x3a), 1.2));
  p.setBrush(QColor(0x4c, 0xa8, 0x5a));
  p.drawRoundedRect(QRectF(x, y, 22, 13), 2.5, 2.5);
  p.setPen(QPen(Qt::white, 1.5));
  p.drawLine(QPointF(x + 4, y + 4.5), QPointF(x + 18, y + 4.5));
  p.drawLine(QPointF(x + 4, y + 8.5), QPointF(x + 13, y + 8.5));
}

QImage DrawFrame(int frame) {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  image.fill(kBackground);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  DrawFile(p);
  DrawDatabase(p);
  // Three cards on the way, a third of the way apart.
  for (int card = 0; card < 3; ++card) {
    const double way = (frame + card * kFrames / 3.0) / kFrames;
    DrawRecord(p, way - static_cast<int>(way));
  }
  return image;
}

// ---- GIF encoding

// The colours in use, most frequent first, at most 256 (the drawing uses few); the
// background is entry 0.
std::vector<QRgb> Palette(const std::vector<QImage>& frames) {
  std::map<QRgb, long> counts;
  for (const QImage& f : frames)
    for (int y = 0; y < f.height(); ++y)
      for (int x = 0; x < f.width(); ++x) ++counts[f.pixel(x, y) | 0xff000000u];
  std::vector<std::pair<long, QRgb>> byCount;
  for (const auto& [colour, count] : counts)
    if (colour != kBackground.rgb()) byCount.emplace_back(-count, colour);
  std::sort(byCount.begin(), byCount.end());
  std::vector<QRgb> palette{kBackground.rgb()};
  for (const auto& [count, colour] : byCount)
    if (palette.size() < 256) palette.push_back(colour);
  return palette;
}

int Nearest(const std::vector<QRgb>& palette, QRgb colour) {
  int best = 0;
  long bestDistance = -1;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const long dr = qRed(palette[i]) - qRed(colour), dg = qGreen(palette[i]) - qGreen(colour),
               db = qBlue(palette[i]) - qBlue(colour);
    const long distance = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || distance < bestDistance) {
      best = static_cast<int>(i);
      bestDistance = distance;
    }
  }
  return best;
}

class BitWriter {
 public:
  void Put(int code, int width) {
    buffer_ |= static_cast<uint32_t>(code) << bits_;
    bits_ += width;
    while (bits_ >= 8) {
      bytes_.push_back(static_cast<char>(buffer_ & 0xff));
      buffer_ >>= 8;
      bits_ -= 8;
    }
  }
  std::string Finish() {
    if (bits_ > 0) bytes_.push_back(static_cast<char>(buffer_ & 0xff));
    return bytes_;
  }

 private:
  std::string bytes_;
  uint32_t buffer_ = 0;
  int bits_ = 0;
};

// LZW of the pixel indexes with 8-bit roots, as GIF wants it.
std::string Lzw(const std::vector<uint8_t>& pixels) {
  constexpr int kClear = 256, kEnd = 257;
  BitWriter out;
  std::map<std::pair<int, uint8_t>, int> table;
  int next = kEnd + 1, width = 9;
  out.Put(kClear, width);
  int prefix = pixels.front();
  for (std::size_t i = 1; i < pixels.size(); ++i) {
    const auto key = std::make_pair(prefix, pixels[i]);
    if (auto found = table.find(key); found != table.end()) {
      prefix = found->second;
      continue;
    }
    out.Put(prefix, width);
    table[key] = next++;
    if (next > (1 << width) && width < 12) ++width;
    if (next == 4096) {  // the table is full: start it anew
      out.Put(kClear, width);
      table.clear();
      next = kEnd + 1;
      width = 9;
    }
    prefix = pixels[i];
  }
  out.Put(prefix, width);
  out.Put(kEnd, width);
  return out.Finish();
}

void Little16(std::string& out, int value) {
  out.push_back(static_cast<char>(value & 0xff));
  out.push_back(static_cast<char>((value >> 8) & 0xff));
}

std::string Gif(const std::vector<QImage>& frames) {
  const std::vector<QRgb> palette = Palette(frames);
  std::string out = "GIF89a";
  Little16(out, kWidth);
  Little16(out, kHeight);
  out += static_cast<char>(0xf7);  // a global table of 256 colours, 8 bits each
  out += '\0';
  out += '\0';
  for (int i = 0; i < 256; ++i) {
    const QRgb c = i < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(i)] : 0;
    out += static_cast<char>(qRed(c));
    out += static_cast<char>(qGreen(c));
    out += static_cast<char>(qBlue(c));
  }
  out += std::string("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19);  // loop for ever
  std::map<QRgb, int> indexOf;
  for (const QImage& frame : frames) {
    // Each frame replaces the last one whole; the background stays see-through.
    out += std::string("\x21\xf9\x04\x09", 4);
    Little16(out, kDelayCentiseconds);
    out += std::string("\x00\x00", 2);
    out += '\x2c';
    Little16(out, 0);
    Little16(out, 0);
    Little16(out, kWidth);
    Little16(out, kHeight);
    out += '\0';
    std::vector<uint8_t> pixels;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const QRgb c = frame.pixel(x, y) | 0xff000000u;
        auto found = indexOf.find(c);
        if (found == indexOf.end()) found = indexOf.emplace(c, Nearest(palette, c)).first;
        pixels.push_back(static_cast<uint8_t>(found->second));
      }
    out += '\x08';
    const std::string data = Lzw(pixels);
    for (std::size_t at = 0; at < data.size(); at += 255) {
      const std::size_t n = std::min<std::size_t>(255, data.size() - at);
      out += static_cast<char>(n);
      out += data.substr(at, n);
    }
    out += '\0';
  }
  out += '\x3b';
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_moving_records FILE\n");
    return 2;
  }
  std::vector<QImage> frames;
  for (int i = 0; i < kFrames; ++i) frames.push_back(DrawFrame(i));
  const std::string gif = Gif(frames);
  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f || std::fwrite(gif.data(), 1, gif.size(), f) != gif.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
