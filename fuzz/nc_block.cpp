// NC blocks through the interpreter in every dialect: the first byte picks
// the dialect and a few controller options, the rest is split into lines,
// interpreted one after another from a pass reset. Two worlds go in step:
// before each block the second takes a copy of the first's modal state,
// live move, machine position and offset memory, and the same block then
// leaves both in the same state (nothing the interpreter reads lies outside
// its records, and nothing in them points into another world). The plane,
// modes and work offset stay within their ranges, and while every number of
// the program has at most 12 digits the move's ends and the program
// position stay finite.
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "nc/block_interpreter.h"
#include "nc/nc_modal_operations.h"
#include "nc_fuzz_world.h"

using namespace vestan;

namespace {

bool ReadController(fuzz::NcWorld& world, uint8_t choice) {
  std::string text = "NAME(MAX20)=FUZZ\n";
  text += fuzz::kNcProducts[choice % fuzz::kNcProducts.size()];
  if ((choice & 0x08) != 0) text += "DECIMAL POINT=NORMAL\n";
  if ((choice & 0x10) != 0) text += "TOOL OFFSET MEMORY=C\n";
  if ((choice & 0x20) != 0) text += "R-TOLERANCE=0.01\n";
  if ((choice & 0x40) != 0) text += "G92MODE=YES\n";
  return fuzz::ReadNcController(world, "nc_block.ctl", text);
}

// The state a block leaves, as bits: NaN equals NaN here.
class Digest {
 public:
  void Add(double v) { Bytes(&v, sizeof v); }
  void Add(int64_t v) { Bytes(&v, sizeof v); }
  void Add(int32_t v) { Add(int64_t{v}); }
  template <typename T, size_t N>
  void Add(const std::array<T, N>& values) {
    for (const T& v : values) Add(v);
  }
  const std::string& Text() const { return text_; }

 private:
  void Bytes(const void* p, size_t n) { text_.append(static_cast<const char*>(p), n); }
  std::string text_;
};

std::string StateOf(const fuzz::NcWorld& w) {
  const NcContext& c = w.Context;
  const NcModalState& m = c.Modal;
  Digest d;
  d.Add(m.Plane.PlaneCode);
  d.Add(m.Plane.PlaneAxes);
  d.Add(m.Plane.ToolLengthAxis);
  for (const int64_t v :
       {int64_t{m.LastGCode}, int64_t{m.LastMCode}, int64_t{m.MoveExists}, int64_t{m.CannedCycle},
        int64_t{m.PositioningMode}, int64_t{m.ReturnLevel}, int64_t{m.SpindleState},
        int64_t{m.AlarmCode}, int64_t{m.EndState}, int64_t{m.TransformState},
        int64_t{m.LengthOffsetNumber}, int64_t{m.BlockTool}})
    d.Add(v);
  for (const double v : {m.Feed, m.SpindleSpeed, m.RadiusOffset, m.ToolLengthCopy, m.RotationAngle,
                         m.RotationCos, m.RotationSin, m.LeadAngle, m.TiltAngle})
    d.Add(v);
  d.Add(m.ProgramPosition);
  d.Add(m.DrawPosition);
  d.Add(c.Move.Start);
  d.Add(c.Move.End);
  d.Add(c.Move.Centre);
  d.Add(c.Move.ArcAngle);
  d.Add(c.Position.ProgramPosition);
  d.Add(c.Position.MachinePosition);
  const OffsetMemory& o = w.Memory.Offsets;
  d.Add(int64_t{o.SelectedWorkOffset});
  for (const WorkOffsetValues& entry : o.WorkOffsets) d.Add(entry);
  d.Add(o.ActiveWorkOffset);
  return d.Text();
}

void CheckRanges(const fuzz::NcWorld& w) {
  const NcModalState& m = w.Context.Modal;
  const int32_t plane = std::abs(m.Plane.PlaneCode);
  FUZZ_CHECK(plane >= 17 && plane <= 19);
  for (const int32_t axis : m.Plane.PlaneAxes) FUZZ_CHECK(axis >= 0 && axis <= 2);
  FUZZ_CHECK(m.Plane.ToolLengthAxis >= 0 && m.Plane.ToolLengthAxis <= 2);
  FUZZ_CHECK(m.PositioningMode == 0 || m.PositioningMode == 1);
  FUZZ_CHECK(m.ReturnLevel == 0 || m.ReturnLevel == 1);
  FUZZ_CHECK(m.SpindleState >= -1 && m.SpindleState <= 1);
  FUZZ_CHECK(m.DecimalPointMode >= 0 && m.DecimalPointMode <= 3);
  FUZZ_CHECK(m.EndState >= kEndRunning && m.EndState <= kEndHandled);
  const int32_t selected = w.Memory.Offsets.SelectedWorkOffset;
  FUZZ_CHECK(selected >= 0 && selected < kWorkOffsetEntries);
}

template <typename Values>
bool AllFinite(const Values& values) {
  for (const double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

// No number of the line has more than 12 digits: every value stays far
// from what a double holds, however the blocks combine them.
bool ShortNumbers(std::string_view line) {
  int digits = 0;
  for (const char c : line) {
    digits = c >= '0' && c <= '9' ? digits + 1 : (c == '.' ? digits : 0);
    if (digits > 12) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  auto world = std::make_unique<fuzz::NcWorld>();
  auto copy = std::make_unique<fuzz::NcWorld>();
  FUZZ_CHECK(ReadController(*world, data[0]));
  FUZZ_CHECK(ReadController(*copy, data[0]));
  ResetNcModalState(world->Context, world->Records);
  ResetNcModalState(copy->Context, copy->Records);
  bool finiteWords = true;
  std::string_view rest = fuzz::AsText(data + 1, size - 1);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    std::string block(line);
    block += '\n';
    if (!world->Context.Line.Assign(block)) continue;
    FUZZ_CHECK(copy->Context.Line.Assign(block));
    copy->Context.Modal = world->Context.Modal;
    copy->Context.Move = world->Context.Move;
    copy->Context.Position = world->Context.Position;
    copy->Memory = world->Memory;
    InterpretNcBlock(world->Context, world->Records);
    InterpretNcBlock(copy->Context, copy->Records);
    FUZZ_CHECK(StateOf(*world) == StateOf(*copy));
    CheckRanges(*world);
    finiteWords = finiteWords && ShortNumbers(line);
    if (finiteWords) {
      const NcContext& c = world->Context;
      FUZZ_CHECK(AllFinite(c.Move.Start) && AllFinite(c.Move.End) &&
                 AllFinite(c.Modal.ProgramPosition));
    }
  }
  return 0;
}
