#include "platform/avi_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/avi_reader.h"
#include "support/scratch_folder.h"

namespace vestan {
namespace {

using testing::AviRead;
using testing::ReadAvi;
using testing::ScratchFolder;

// A frame whose every byte tells the frame and its place.
std::vector<uint8_t> Frame(size_t bytes, int frame) {
  std::vector<uint8_t> f(bytes);
  for (size_t i = 0; i < bytes; ++i) f[i] = static_cast<uint8_t>(i * 7 + static_cast<size_t>(frame) * 31);
  return f;
}

TEST(AviWriter, WritesKeyFramesWithHeadersAndIndex) {
  ScratchFolder dir;
  const std::string path = dir / "cut.avi";
  AviWriter avi;
  // 5 pixels make 15 bytes a row, padded to 16.
  ASSERT_EQ(avi.Open(path, {5, 3, 5, "Cutting Simulation"}), kFileReplaced);
  EXPECT_EQ(avi.FrameBytes(), 48u);
  EXPECT_FALSE(std::filesystem::exists(path)) << "the movie appears only when it is closed";
  std::vector<std::vector<uint8_t>> frames;
  for (int i = 0; i < 3; ++i) {
    frames.push_back(Frame(avi.FrameBytes(), i));
    ASSERT_TRUE(avi.AddFrame(frames.back()));
  }
  std::string error;
  ASSERT_EQ(avi.Close(&error), kFileReplaced) << error;
  EXPECT_FALSE(avi.IsOpen());

  const AviRead r = ReadAvi(path);
  ASSERT_TRUE(r.Ok) << r.Error;
  EXPECT_EQ(r.RiffSize, r.FileSize - 8);
  EXPECT_EQ(r.MicroSecPerFrame, 200000u);
  EXPECT_EQ(r.Flags & 0x10u, 0x10u) << "AVIF_HASINDEX";
  EXPECT_EQ(r.TotalFrames, 3u);
  EXPECT_EQ(r.Streams, 1u);
  EXPECT_EQ(r.Width, 5u);
  EXPECT_EQ(r.Height, 3u);
  EXPECT_EQ(r.Type, "vids");
  EXPECT_EQ(r.Scale, 1u);
  EXPECT_EQ(r.Rate, 5u);
  EXPECT_EQ(r.Length, 3u);
  EXPECT_EQ(r.Quality, 0xFFFFFFFFu);
  EXPECT_EQ(r.Rect[2], 5);
  EXPECT_EQ(r.Rect[3], 3);
  EXPECT_EQ(r.HeaderSize, 40u);
  EXPECT_EQ(r.BitmapWidth, 5u);
  EXPECT_EQ(r.BitmapHeight, 3u) << "positive: bottom-up rows";
  EXPECT_EQ(r.Planes, 1);
  EXPECT_EQ(r.BitCount, 24);
  EXPECT_EQ(r.Compression, 0u);
  EXPECT_EQ(r.ImageSize, 48u);
  EXPECT_EQ(r.Name, "Cutting Simulation");
  ASSERT_EQ(r.Frames.size(), 3u);
  ASSERT_EQ(r.Index.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(r.Frames[i], std::string(frames[i].begin(), frames[i].end())) << "frame " << i;
    EXPECT_EQ(r.Index[i].Id, "00db");
    EXPECT_EQ(r.Index[i].Flags, 0x10u) << "every frame is a key frame";
    EXPECT_EQ(r.Index[i].Offset, r.FrameOffsets[i]) << "frame " << i;
    EXPECT_EQ(r.Index[i].Size, 48u);
  }
  // Nothing but the movie is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(AviWriter, RefusesWhatCannotBeAMovie) {
  ScratchFolder dir;
  AviWriter avi;
  for (const AviStreamFormat& bad : {AviStreamFormat{0, 3, 1, ""}, AviStreamFormat{4, -1, 1, ""},
                                     AviStreamFormat{4, 3, 0, ""}, AviStreamFormat{40000, 3, 1, ""}})
    EXPECT_EQ(avi.Open(dir / "bad.avi", bad), kAviBadFormat) << bad.Width << "x" << bad.Height;
  EXPECT_FALSE(avi.AddFrame(std::vector<uint8_t>(12)));
  EXPECT_EQ(avi.Close(), kAviNotOpen);

  ASSERT_EQ(avi.Open(dir / "one.avi", {4, 1, 1, "x"}), kFileReplaced);
  EXPECT_FALSE(avi.AddFrame(std::vector<uint8_t>(11))) << "a frame of another size";
  EXPECT_EQ(avi.FrameCount(), 0);
  ASSERT_EQ(avi.Close(), kFileReplaced);
  const AviRead r = ReadAvi(dir / "one.avi");
  ASSERT_TRUE(r.Ok) << r.Error;
  EXPECT_EQ(r.TotalFrames, 0u);
  EXPECT_TRUE(r.Index.empty());
  EXPECT_EQ(r.MicroSecPerFrame, 1000000u);
}

TEST(AviWriter, ReplacesAnOldMovieOnlyAtTheClose) {
  ScratchFolder dir;
  const std::string path = dir.Write("old.avi", "old movie");
  {
    AviWriter avi;
    ASSERT_EQ(avi.Open(path, {2, 2, 1, "x"}), kFileReplaced);
    ASSERT_TRUE(avi.AddFrame(Frame(avi.FrameBytes(), 0)));
    // Given up without a close: the old file stays, the temporary one goes.
  }
  EXPECT_EQ(ScratchFolder::Read(path), "old movie");
  AviWriter avi;
  ASSERT_EQ(avi.Open(path, {2, 2, 1, "x"}), kFileReplaced);
  ASSERT_EQ(avi.Close(), kFileReplaced);
  EXPECT_TRUE(ReadAvi(path).Ok);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(AviWriter, FfprobeReadsTheMovie) {
  if (std::system("ffprobe -version > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "ffprobe is not installed here";
  ScratchFolder dir;
  const std::string path = dir / "probe.avi";
  AviWriter avi;
  ASSERT_EQ(avi.Open(path, {33, 17, 5, "Cutting Simulation"}), kFileReplaced);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(avi.AddFrame(Frame(avi.FrameBytes(), i)));
  ASSERT_EQ(avi.Close(), kFileReplaced);
  const std::string command =
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=width,height,r_frame_rate,nb_read_frames -of csv=p=0 '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(out, "33,17,5/1,4\n");

  // The last frame decoded as top-down red, green, blue rows: our rows are
  // bottom-up and blue first.
  if (std::system("ffmpeg -version > /dev/null 2>&1") != 0) return;
  const std::vector<uint8_t> last = Frame(avi.FrameBytes(), 3);
  const size_t row = AviRowBytes(33);
  std::string expected;
  for (int y = 16; y >= 0; --y)
    for (int x = 0; x < 33; ++x) {
      const uint8_t* p = &last[static_cast<size_t>(y) * row + 3 * static_cast<size_t>(x)];
      expected += {static_cast<char>(p[2]), static_cast<char>(p[1]), static_cast<char>(p[0])};
    }
  const std::string decode = "ffmpeg -v error -i '" + path +
                             "' -vf select='eq(n\\,3)' -frames:v 1 -f rawvideo -pix_fmt rgb24 -";
  pipe = popen(decode.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string decoded;
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) decoded.append(buffer, n);
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(decoded, expected);
}

}  // namespace
}  // namespace vestan
