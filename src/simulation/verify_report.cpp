#include "simulation/verify_report.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "model/cut_statistics.h"
#include "platform/file_open.h"

namespace vestan {

void FormatHhMmSs(std::string& out, int32_t seconds) {
  const int32_t h = seconds / 3600;
  const int32_t m = (seconds - h * 3600) / 60;
  const int32_t s = seconds - h * 3600 - m * 60;
  char text[48];
  std::snprintf(text, sizeof text, h > 99 ? " %d:%02d:%02d" : " %02d:%02d:%02d", h, m, s);
  out += text;
}

namespace {

int32_t Nearest(double v) { return static_cast<int32_t>(v + 0.5); }

void Printf(std::string& out, const char* format, auto... values) {
  char text[128];
  std::snprintf(text, sizeof text, format, values...);
  out += text;
}

template <typename Table>
void CodeList(std::string& out, const Table& used, size_t first, size_t last) {
  bool any = false;
  for (size_t i = first; i <= last && i < used.size(); ++i) {
    if (used[i] == 0) continue;
    if (any) out += ',';
    Printf(out, "%02d", static_cast<int>(i));
    any = true;
  }
  if (!any) out += "None";
}

void Offset(std::string& out, const WorkOffsetValues& v) {
  Printf(out, "(%9.3f,%9.3f,%9.3f,%9.3f,%9.3f)", v[0], v[1], v[2], v[3], v[4]);
}

struct Key {
  std::string Name;
  // Writes the value; returns the characters taken from the "$" on (0: the
  // key's own length).
  std::function<size_t(std::string&, std::string_view rest)> Write;
};

std::vector<Key> VerifyKeys(VerifyFacts& f, NcCheckResults& r) {
  const Definitions& d = f.Defs;
  std::vector<Key> keys;
  auto text = [&keys](std::string name, std::function<void(std::string&)> write) {
    keys.push_back({std::move(name), [write](std::string& out, std::string_view) {
                      write(out);
                      return size_t{0};
                    }});
  };
  text("$DCODE", [&r](std::string& o) { CodeList(o, r.DCodes, 1, 999); });
  text("$HCODE", [&r](std::string& o) { CodeList(o, r.HCodes, 1, 999); });
  text("$TCODE", [&r](std::string& o) { CodeList(o, r.ToolCodes, 1, r.ToolCodes.size()); });
  if (d.Controller.productCode == 0)
    text("$GCODEW", [&r](std::string& o) {
      std::array<uint8_t, kCodeTableSize> work{};
      for (size_t g = 54; g <= 59; ++g) std::swap(work[g], r.GCodes[g]);
      CodeList(o, work, 54, 59);
    });
  text("$GCODE", [&r](std::string& o) { CodeList(o, r.GCodes, 0, kCodeTableSize - 1); });
  text("$MCODE", [&r](std::string& o) { CodeList(o, r.MCodes, 0, kCodeTableSize - 1); });
  text("$NC", [&d](std::string& o) { o += d.Paths.NcProgram; });
  text("$TTL", [&d](std::string& o) { o += d.Paths.ToolTable; });
  text("$CTL", [&d](std::string& o) { o += d.Paths.Controller; });
  text("$MTL", [&d](std::string& o) { o += d.Paths.Machine; });
  const auto number = [&text](std::string name, const char* format, std::function<int32_t()> v) {
    text(std::move(name), [format, v](std::string& o) { Printf(o, format, v()); });
  };
  number("$LENR", "%7d", [&r] { return Nearest(r.RapidSpeedLength); });
  number("$LENF", "%7d", [&r] { return Nearest(r.CuttingFeedLength); });
  number("$LEN1", "%7d", [&r] { return Nearest(r.RapidLength); });
  number("$LEN2", "%7d", [&r] { return Nearest(r.FeedLength); });
  number("$LEN", "%7d", [&r] { return Nearest(r.RapidLength) + Nearest(r.FeedLength); });
  text("$EP_INFO", [&r](std::string& o) {
    for (int32_t p = 1; p <= r.ProcessCount && p <= kMaxCheckProcesses; ++p) {
      const CheckProcess& process = r.Processes[static_cast<size_t>(p)];
      Printf(o, process.Tool >= 100 ? "%3d | T%3d |" : "%3d | T%02d  |", p, process.Tool);
      FormatHhMmSs(o, Nearest(process.Time));
      o += '\n';
    }
  });
  number("$TIMER", "%7d", [&r] { return Nearest(r.RapidSpeedTime); });
  number("$TIMEF", "%7d", [&r] { return Nearest(r.CuttingFeedTime); });
  number("$TIME1", "%7d", [&r] { return Nearest(r.RapidTime); });
  number("$TIME2", "%7d", [&r] { return Nearest(r.FeedTime); });
  number("$TIME", "%7d", [&r] { return Nearest(r.RapidTime) + Nearest(r.FeedTime); });
  const auto clock = [&text](std::string name, std::function<int32_t()> v) {
    text(std::move(name), [v](std::string& o) { FormatHhMmSs(o, v()); });
  };
  clock("$TIMR", [&r] { return Nearest(r.RapidSpeedTime); });
  clock("$TIMF", [&r] { return Nearest(r.CuttingFeedTime); });
  clock("$TIM1", [&r] { return Nearest(r.RapidTime); });
  clock("$TIM2", [&r] { return Nearest(r.FeedTime); });
  clock("$TIM", [&r] { return static_cast<int32_t>(r.RapidTime + r.FeedTime); });
  const WorkOffsetValues& external = f.Offsets.WorkOffsets[0];
  for (const bool max : {true, false}) {
    for (size_t axis = 0; axis < 3; ++axis) {
      const std::string stem = std::string(max ? "$MAX" : "$MIN") + "XYZ"[axis];
      const auto value = [max, axis](const CheckExtents& e) { return max ? e.Max[axis] : e.Min[axis]; };
      const auto extent = [&text](std::string name, std::function<double()> v) {
        text(std::move(name), [v](std::string& o) { Printf(o, "%9.3f", v()); });
      };
      extent(stem + "2W", [&r, value] { return value(r.CuttingWork); });
      extent(stem + "2E", [&r, value, &external, axis] { return value(r.CuttingMachine) - external[axis]; });
      extent(stem + "2", [&r, value] { return value(r.CuttingMachine); });
      extent(stem + "W", [&r, value] { return value(r.Work); });
      extent(stem + "E", [&r, value, &external, axis] { return value(r.Machine) - external[axis]; });
      extent(stem, [&r, value] { return value(r.Machine); });
    }
    if (max) number("$MAXS", "%8d", [&r] { return static_cast<int32_t>(r.MaxSpindleSpeed); });
  }
  number("$MAXF2", "%7d", [&r] { return static_cast<int32_t>(r.MaxCuttingFeed); });
  number("$MAXF", "%7d", [&r] { return static_cast<int32_t>(r.MaxFeed); });
  number("$MINF", "%7d", [&r] { return static_cast<int32_t>(r.MinFeed); });
  text("$RAPIDFEEDRATE", [&d](std::string& o) {
    const double limit = d.Checks.RapidFeedrate;
    if (limit == 999999999.0) o += "NO";
    else Printf(o, "%7d", static_cast<int32_t>(limit));
  });
  for (size_t axis = 0; axis < 3; ++axis)
    number(std::string("$RAPIDF") + "XYZ"[axis], "%7d",
           [&d, axis] { return static_cast<int32_t>(d.Machine.RapidRate[axis]); });
  text("$SIZE", [&f](std::string& o) {
    if (f.ProgramSize < (uint64_t{1} << 32)) Printf(o, "%9u", static_cast<unsigned>(f.ProgramSize));
    else Printf(o, "%" PRIu64, f.ProgramSize);
  });
  number("$LINES", "%8d", [&r] { return r.LineCount; });
  keys.push_back({"$EXOFS", [&external](std::string& o, std::string_view) {
                    Offset(o, external);
                    return size_t{8};
                  }});
  keys.push_back({"$G5", [&f](std::string& o, std::string_view rest) {
                    const char digit = rest.size() > 3 ? rest[3] : '\0';
                    if (digit >= '4' && digit <= '9') Offset(o, f.Offsets.WorkOffsets[static_cast<size_t>(digit - '0' - 3)]);
                    return size_t{5};
                  }});
  keys.push_back({"$WK", [&f](std::string& o, std::string_view rest) {
                    size_t digits = 0;
                    int32_t n = 0;
                    while (3 + digits < rest.size() && digits < 4 && rest[3 + digits] >= '0' &&
                           rest[3 + digits] <= '9')
                      n = n * 10 + (rest[3 + digits++] - '0');
                    // Entries outside the table print nothing.
                    if (digits > 0 && n >= 0 && static_cast<size_t>(n) < f.Offsets.WorkOffsets.size())
                      Offset(o, f.Offsets.WorkOffsets[static_cast<size_t>(n)]);
                    // The key, its number and one more character; a number
                    // of three digits is taken whole.
                    return std::max<size_t>(5, 3 + digits);
                  }});
  text("$VOLUME", [&f](std::string& o) { Printf(o, "%.3f", f.RemovedVolume); });
  return keys;
}

}  // namespace

std::string ExpandVerifyTemplate(std::string_view text, VerifyFacts& facts, NcCheckResults& results) {
  const std::vector<Key> keys = VerifyKeys(facts, results);
  std::string out;
  size_t lineStart = 0;
  while (lineStart < text.size()) {
    size_t lineEnd = text.find('\n', lineStart);
    lineEnd = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
    const std::string_view line = text.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd;
    size_t pos = 0;
    size_t dollar = line.find('$');
    if (dollar == std::string_view::npos) {
      out += line;
      continue;
    }
    for (;;) {
      out += line.substr(pos, dollar - pos);
      const std::string_view rest = line.substr(dollar);
      size_t taken = 2;  // an unknown key: the "$" and the character after it
      for (const Key& key : keys) {
        if (!rest.starts_with(key.Name)) continue;
        const size_t length = key.Write(out, rest);
        taken = length == 0 ? key.Name.size() : length;
        break;
      }
      pos = dollar + taken;
      if (pos >= line.size()) {
        out += '\n';
        break;
      }
      dollar = line.find('$', pos);
      if (dollar == std::string_view::npos) {
        out += line.substr(pos);
        break;
      }
    }
  }
  return out;
}

std::string FixedVerifyReport(const VerifyFacts& f, int32_t english) {
  const NcCheckResults& r = f.Results;
  std::string out;
  Printf(out, english ? "<<< \"%s\" Cutting Information >>>\n" : "<<< \"%s\" \x82\xcc\x89\xc1\x8d\x48\x8f\xee\x95\xf1\x8f\x6f\x97\xcd >>>\n",
         f.Defs.Paths.NcProgram.c_str());
  out += "\x81\xa6:\"";
  out += kVerifyTemplateName;
  out += english ? "\" is not found.\n"
                 : "\"\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x81\x42"
                   "\x88\xea\x95\x94\x93\x4b\x93\x96\x82\xc9\x8f\x6f\x97\xcd\x82\xb5\x82\xc4"
                   "\x82\xa8\x82\xab\x82\xdc\x82\xb7\x81\x42\n";
  Printf(out, english ? "Length of Rapid Path:%7d\n" : "\x91\x81\x91\x97\x82\xe8\x92\xb7\x82\xb3:%7d\n",
         Nearest(r.RapidLength));
  Printf(out, english ? "Length of Feed Path:%7d\n" : "\x90\xd8\x8d\xed\x91\x97\x82\xe8\x92\xb7\x82\xb3:%7d\n",
         Nearest(r.FeedLength));
  Printf(out, english ? "Time:%7d\n" : "\x91\x53\x89\xc1\x8d\x48\x8e\x9e\x8a\xd4:%7d\n",
         Nearest(r.RapidTime) + Nearest(r.FeedTime));
  Printf(out, english ? "Maximum X:%9.3f ,Y:%9.3f ,Z:%9.3f\n" : "\x8d\xc5\x91\xe5 X:%9.3f ,Y:%9.3f ,Z:%9.3f\n",
         r.Machine.Max[0], r.Machine.Max[1], r.Machine.Max[2]);
  Printf(out, english ? "Minimum X:%9.3f ,Y:%9.3f ,Z:%9.3f\n" : "\x8d\xc5\x8f\xac X:%9.3f ,Y:%9.3f ,Z:%9.3f\n",
         r.Machine.Min[0], r.Machine.Min[1], r.Machine.Min[2]);
  return out;
}

std::string VerifyReportPath(const Definitions& defs) {
  const std::string suffix = defs.Settings.VerifySuffix.substr(0, 9);
  if (defs.Settings.NamingModeVerify == 2) {
    std::filesystem::path program(defs.Paths.NcProgram);
    if (program.has_extension()) program.replace_extension();
    return program.string() + "_verify." + suffix;
  }
  return (std::filesystem::path(defs.Paths.VerifyReportFolder) / ("verify." + suffix)).string();
}

int32_t WriteVerifyReport(Session& s, NcCheckResults& results, int32_t noOpen) {
  const int32_t english = s.App.EnglishMode;
  if (results.ProgramRead == 0) {
    HostMessage message;
    message.Text = (english ? "No verify report: the NC program could not be read.\n"
                            : "NCプログラムを開けません。検証レポートは書きません。\n") +
                   s.Defs.Paths.NcProgram;
    message.Icon = MessageIcon::kError;
    s.Shell.ShowMessage(message);
    return kVerifyNoCheck;
  }
  std::error_code ec;
  const uint64_t size = std::filesystem::file_size(s.Defs.Paths.NcProgram, ec);
  const DexelModel& work = s.Work.Workpiece();
  VerifyFacts facts{results, s.Defs, s.Memory.Offsets, ec ? 0 : size,
                    work.Allocated() && s.Work.WorkPresent != 0 ? -ComputeCutAmountStats(work) : 0.0};
  std::optional<std::string> form = ReadFileBytes(kVerifyTemplateName);
  if (!form) form = ReadFileBytes(s.Defs.Paths.ProgramFolder + std::string(kVerifyTemplateName));
  const std::string report =
      form ? ExpandVerifyTemplate(*form, facts, results) : FixedVerifyReport(facts, english);

  const std::string path = VerifyReportPath(s.Defs);
  const std::string folder = s.Defs.Settings.NamingModeVerify == 2 ? "" : s.Defs.Paths.VerifyReportFolder;
  const bool append = s.Defs.Settings.CreateModeVerify == 1;
  if (append) {
    FileStream out = OpenOutputFile(true, path, folder, &s.Shell, english);
    if (!out || std::fwrite(report.data(), 1, report.size(), out.get()) != report.size())
      return kVerifyNotWritten;
  } else {
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    std::string error;
    if (ReplaceFileContents(path, report, &error) != kFileReplaced) {
      HostMessage message;
      message.Text = (english ? "Write protect\n" : "書き込み保護されています\n") + path + "\n" + error;
      message.Icon = MessageIcon::kError;
      s.Shell.ShowMessage(message);
      return kVerifyNotWritten;
    }
  }
  if (noOpen == 0) s.Shell.OpenWithDesktop(path);
  return kVerifyWritten;
}

}  // namespace vestan
