#include "display/png_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "display/frame_readback.h"
#include "gl_test_support.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::ReadPng;
using testing::ScratchFolder;

TEST(FrameGeometry, RowsOfThreeBytesAPixelPaddedToFour) {
  struct Case {
    int32_t width, height;
    size_t row, image;
  } cases[] = {
      {5, 3, 16, 48},  // 15 bytes raised to 16
      {4, 2, 12, 24},  // already a multiple of 4
      {1, 1, 4, 4},
      {1280, 800, 3840, 3072000},
      {0, 10, 0, 0},
      {10, -1, 0, 0},
  };
  for (const Case& c : cases) {
    const FrameGeometry frame = MakeFrameGeometry(c.width, c.height);
    EXPECT_EQ(frame.RowBytes, c.row) << c.width;
    EXPECT_EQ(frame.ImageBytes, c.image) << c.width << " x " << c.height;
  }
}

TEST(PngImageName, PngAppendedUnlessTheNameEndsInPngInAnyCase) {
  const std::pair<std::string, std::string> cases[] = {
      {"view.png", "view.png"}, {"VIEW.PNG", "VIEW.PNG"}, {"view.Png", "view.Png"},
      {"view", "view.PNG"},     {"view.pn", "view.pn.PNG"}, {"view.png.txt", "view.png.txt.PNG"},
      {"png", "png.PNG"},       {"", ".PNG"},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(PngImageName(name), expected) << name;
}

// A 5 x 3 frame as read back: rows of 16 bytes (one byte of padding), the
// bottom row first; pixel (x, row r from the bottom) = (10 x + r, 100 + r, 200).
std::vector<uint8_t> SmallFrame() {
  const FrameGeometry frame = MakeFrameGeometry(5, 3);
  std::vector<uint8_t> pixels(frame.ImageBytes, 0xEE);
  for (int r = 0; r < 3; ++r)
    for (int x = 0; x < 5; ++x) {
      uint8_t* p = &pixels[r * frame.RowBytes + 3 * x];
      p[0] = static_cast<uint8_t>(10 * x + r);
      p[1] = static_cast<uint8_t>(100 + r);
      p[2] = 200;
    }
  return pixels;
}

TEST(WritePngImage, WritesRgbRowsTopFirstWithoutThePadding) {
  ScratchFolder folder;
  const std::string path = folder / "view.png";
  std::string error;
  ASSERT_EQ(WritePngImage(path, SmallFrame(), 16, 5, 3, &error), kFileReplaced) << error;
  const testing::PngRead png = ReadPng(path);
  ASSERT_TRUE(png.Ok) << png.Error;
  ASSERT_EQ(png.Width, 5u);
  ASSERT_EQ(png.Height, 3u);
  for (uint32_t y = 0; y < 3; ++y)
    for (uint32_t x = 0; x < 5; ++x) {
      const uint32_t fromBottom = 2 - y;
      EXPECT_EQ(png.At(x, y)[0], 10 * x + fromBottom) << x << ", " << y;
      EXPECT_EQ(png.At(x, y)[1], 100 + fromBottom) << x << ", " << y;
      EXPECT_EQ(png.At(x, y)[2], 200) << x << ", " << y;
    }
  // Only the image is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(WritePngImage, FailuresAreReportedAndLeaveNoFileBehind) {
  ScratchFolder folder;
  const std::vector<uint8_t> frame = SmallFrame();
  std::string error;

  // A folder that does not exist.
  EXPECT_EQ(WritePngImage(folder / "missing/view.png", frame, 16, 5, 3, &error),
            kFileTempNotCreated);
  EXPECT_NE(error.find("temporary file"), std::string::npos) << error;

  // Rows that do not fit the bytes given, and rows narrower than the image.
  error.clear();
  EXPECT_EQ(WritePngImage(folder / "short.png", std::span(frame).first(40), 16, 5, 3, &error),
            kPngBadImage);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(WritePngImage(folder / "narrow.png", frame, 12, 5, 3), kPngBadImage);
  EXPECT_EQ(WritePngImage(folder / "empty.png", frame, 16, 0, 3), kPngBadImage);

  // An image libpng refuses (wider than its limit) is an error, not a jump
  // into nowhere; an earlier image of the name stays as it was.
  const std::string kept = folder / "kept.png";
  ASSERT_EQ(WritePngImage(kept, frame, 16, 5, 3), kFileReplaced);
  const std::string before = ScratchFolder::Read(kept);
  const int32_t wide = 2000000;
  const std::vector<uint8_t> row(3 * static_cast<size_t>(wide), 0);
  error.clear();
  EXPECT_EQ(WritePngImage(kept, row, row.size(), wide, 1, &error), kPngNotEncoded);
  EXPECT_NE(error.find("PNG"), std::string::npos) << error;
  EXPECT_EQ(ScratchFolder::Read(kept), before);

  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

}  // namespace
}  // namespace vestan
