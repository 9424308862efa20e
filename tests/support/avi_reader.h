// A small reader of the AVI files the program writes, for the tests: the
// headers' fields, the frames in file order and the index entries.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vestan::testing {

struct AviIndexEntry {
  std::string Id;
  uint32_t Flags = 0;
  uint32_t Offset = 0;  // from the "movi" code
  uint32_t Size = 0;
};

struct AviRead {
  bool Ok = false;
  std::string Error;
  uint32_t RiffSize = 0;
  uint32_t FileSize = 0;
  // avih
  uint32_t MicroSecPerFrame = 0, Flags = 0, TotalFrames = 0, Streams = 0, Width = 0, Height = 0;
  // strh
  std::string Type, Handler;
  uint32_t Scale = 0, Rate = 0, Length = 0, Quality = 0;
  uint16_t Rect[4] = {};
  // strf
  uint32_t HeaderSize = 0, BitmapWidth = 0, BitmapHeight = 0, Compression = 0, ImageSize = 0;
  uint16_t Planes = 0, BitCount = 0;
  std::string Name;
  std::vector<std::string> Frames;  // the "00db" chunks' data
  std::vector<AviIndexEntry> Index;
  std::vector<uint32_t> FrameOffsets;  // of each chunk, from the "movi" code
};

inline AviRead ReadAvi(const std::string& path) {
  AviRead r;
  std::ifstream in(path, std::ios::binary);
  const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  r.FileSize = static_cast<uint32_t>(b.size());
  auto u32 = [&](size_t at) -> uint32_t {
    if (at + 4 > b.size()) return 0;
    return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
  };
  auto u16 = [&](size_t at) -> uint16_t {
    return static_cast<uint16_t>(u32(at) & 0xFFFF);
  };
  auto code = [&](size_t at) { return at + 4 <= b.size() ? b.substr(at, 4) : std::string(); };
  if (code(0) != "RIFF" || code(8) != "AVI ") {
    r.Error = "no RIFF AVI header";
    return r;
  }
  r.RiffSize = u32(4);
  size_t movi = 0;
  // Walks the chunks of [from, to), descending into the lists.
  auto walk = [&](auto&& self, size_t from, size_t to) -> void {
    size_t at = from;
    while (at + 8 <= to) {
      const std::string id = code(at);
      const uint32_t size = u32(at + 4);
      const size_t data = at + 8;
      if (data + size > b.size()) {
        r.Error = "chunk " + id + " runs past the file";
        return;
      }
      if (id == "LIST") {
        if (code(data) == "movi") movi = data;
        self(self, data + 4, data + size);
      } else if (id == "avih") {
        r.MicroSecPerFrame = u32(data);
        r.Flags = u32(data + 12);
        r.TotalFrames = u32(data + 16);
        r.Streams = u32(data + 24);
        r.Width = u32(data + 32);
        r.Height = u32(data + 36);
      } else if (id == "strh") {
        r.Type = code(data);
        r.Handler = code(data + 4);
        r.Scale = u32(data + 20);
        r.Rate = u32(data + 24);
        r.Length = u32(data + 32);
        r.Quality = u32(data + 40);
        for (int i = 0; i < 4; ++i) r.Rect[i] = u16(data + 48 + 2 * static_cast<size_t>(i));
      } else if (id == "strf") {
        r.HeaderSize = u32(data);
        r.BitmapWidth = u32(data + 4);
        r.BitmapHeight = u32(data + 8);
        r.Planes = u16(data + 12);
        r.BitCount = u16(data + 14);
        r.Compression = u32(data + 16);
        r.ImageSize = u32(data + 20);
      } else if (id == "strn") {
        r.Name = b.substr(data, size);
        r.Name = r.Name.substr(0, r.Name.find('\0'));
      } else if (id == "00db") {
        r.Frames.push_back(b.substr(data, size));
        r.FrameOffsets.push_back(static_cast<uint32_t>(at - movi));
      } else if (id == "idx1") {
        for (size_t e = data; e + 16 <= data + size; e += 16)
          r.Index.push_back({code(e), u32(e + 4), u32(e + 8), u32(e + 12)});
      }
      at = data + size + (size & 1);
    }
  };
  walk(walk, 12, b.size());
  r.Ok = r.Error.empty();
  return r;
}

}  // namespace vestan::testing
