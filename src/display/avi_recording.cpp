#include "display/avi_recording.h"

#include <filesystem>

namespace vestan {

namespace {

// The longest file title the movie name is made from.
constexpr size_t kMaxTitle = 63;

void Forget(AviRecorder& r) {
  r.LastTool = kAviUnseen;
  r.LastAxis = {kAviUnseenAxis, kAviUnseenAxis, kAviUnseenAxis};
  r.LastBlock = kAviUnseen;
}

}  // namespace

std::string MakeAviFileName(std::string_view ncProgram, int32_t automatic) {
  const size_t slash = ncProgram.find_last_of("/\\");
  const std::string_view title =
      slash == std::string_view::npos ? ncProgram : ncProgram.substr(slash + 1);
  if (automatic == 0 || title.empty() || title.size() > kMaxTitle) return kAviFixedName;
  const size_t dot = title.find('.');
  std::string name(title.substr(0, dot));
  return name + ".AVI";
}

std::string AviFilePath(const DefinitionFilePaths& paths, const Settings& settings) {
  std::string folder = paths.VideoFolder.empty() ? paths.NcFolder : paths.VideoFolder;
  for (char& c : folder)
    if (c == '\\') c = '/';
  const std::string name = MakeAviFileName(paths.NcProgram, settings.VideoNameAuto);
  if (folder.empty()) return name;
  return (std::filesystem::path(folder) / name).string();
}

int32_t StartAviRecording(AviRecorder& r, const MovieSettings& movie, std::string_view path,
                          const FrameGeometry& frame, std::string* error) {
  if (IsAviRecording(r)) CloseAviRecording(r);
  r.Buffer.clear();
  r.FrameCounter = 0;
  r.Frame = frame;
  r.Path = std::string(path);
  const int32_t rate =
      movie.FrameEveryBlock != 0 || movie.FrameOnUpdate != 0 ? kAviFastRate : kAviSlowRate;
  const int32_t opened =
      r.Writer.Open(path, {frame.Width, frame.Height, rate, kAviStreamName}, error);
  if (opened != kFileReplaced) return opened;
  r.Buffer.assign(frame.ImageBytes, 0);
  Forget(r);
  return kAviStarted;
}

bool CaptureAviFrame(AviRecorder& r, GlCalls& gl, const MovieSettings& movie,
                     const AviFrameFacts& facts) {
  if (!IsAviRecording(r)) return false;
  if (facts.Reset != 0) Forget(r);
  if (movie.Recording == 0) return false;
  bool due = false;
  if (facts.Tool != r.LastTool) {
    r.LastTool = facts.Tool;
    due = due || movie.FrameOnToolChange != 0;
  }
  if (facts.ToolAxis != r.LastAxis) {
    r.LastAxis = facts.ToolAxis;
    due = due || movie.FrameOnAxisChange != 0;
  }
  if (facts.Block != r.LastBlock) {
    r.LastBlock = facts.Block;
    due = due || movie.FrameEveryBlock != 0;
  }
  due = due || movie.FrameOnUpdate != 0;
  if (!due) return false;
  ReadFrameBuffer(gl, r.Frame, GlPixelFormat::kBgr, r.Buffer);
  if (!r.Writer.AddFrame(r.Buffer)) return false;
  ++r.FrameCounter;
  return true;
}

int32_t CloseAviRecording(AviRecorder& r, std::string* error) {
  if (!IsAviRecording(r)) {
    if (error != nullptr) *error = "no movie is being recorded";
    return kAviNotOpen;
  }
  r.Buffer.clear();
  r.Buffer.shrink_to_fit();
  return r.Writer.Close(error);
}

AviServiceResult ServeAviRecording(AviRecording& recording, GlCalls& gl,
                                   const AviRecordingSources& in, const AviFrameFacts* facts) {
  AviServiceResult result;
  AviRecorder& r = recording.Recorder;
  if (recording.StartRequest.exchange(0) != 0 && in.Movie.Recording != 0) {
    result.Started = StartAviRecording(r, in.Movie, AviFilePath(in.Paths, in.Options), in.Frame,
                                       &result.Error);
    if (result.Started != kAviStarted)
      result.Error = "cannot record the movie \"" + r.Path + "\": " + result.Error;
  }
  if (facts != nullptr) result.FrameWritten = CaptureAviFrame(r, gl, in.Movie, *facts);
  if (recording.CloseRequest.exchange(0) != 0 && IsAviRecording(r)) {
    std::string why;
    result.Closed = CloseAviRecording(r, &why);
    if (result.Closed != kFileReplaced)
      result.Error = "cannot write the movie \"" + r.Path + "\": " + why;
  }
  return result;
}

}  // namespace vestan
