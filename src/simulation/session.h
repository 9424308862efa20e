// The session: the one owner of the application's records (definitions,
// controller memory, workpiece, current tool, machine meshes, display flags,
// run control) and of the run's NC state, and the one place that hands out
// the bundles of references the lower folders take. Tool changes and the
// effects of the definition readers are applied in order here
// (session_tools.h, session_files.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "definitions/app_state.h"
#include "definitions/change_check.h"
#include "definitions/command_line_options.h"
#include "definitions/controller_definition.h"
#include "definitions/definitions.h"
#include "definitions/display_list_table.h"
#include "definitions/imported_tool_mesh.h"
#include "definitions/machine_definition_file.h"
#include "definitions/movie_settings.h"
#include "definitions/reader_links.h"
#include "definitions/settings_file.h"
#include "definitions/view_state.h"
#include "definitions/work_offset_frame.h"
#include "machine/multi_tool_pass.h"
#include "machine/part_models.h"
#include "machine/structure_interference.h"
#include "model/current_tool.h"
#include "model/cut_grid_context.h"
#include "model/cutting_seam.h"
#include "model/run_state.h"
#include "model/tool_profile.h"
#include "model/work_document.h"
#include "nc/line_reader.h"
#include "nc/motion_driver.h"
#include "nc/nc_context.h"
#include "nc/run_control.h"
#include "platform/host.h"
#include "platform/progress.h"
#include "simulation/interference_messages.h"
#include "simulation/run_reports.h"
#include "simulation/run_loop_state.h"
#include "simulation/step_state.h"

namespace vestan {

struct Session;

// What lives for one pass of a run and nothing longer: the motion driver's
// queues, the reader (over the program the session holds in memory) with
// the interpreter's hooks into it, the cut context, the reports and the
// multi-tool records. StartRunPass makes it anew.
struct RunPass {
  explicit RunPass(Session& session);
  RunPass(const RunPass&) = delete;
  RunPass& operator=(const RunPass&) = delete;

  MotionDriver Driver;
  NcReader Reader;
  BlockInterpreterHooks BlockHooks;
  CutContext Cut;
  // The run's cuts go through Cutter: the kernel over Cut, unless a caller
  // puts another seam in its place for the pass (a stand-in that only
  // counts the poses shows what the steps cost besides the kernel).
  KernelCutting Kernel;
  CuttingSeam* Cutter = &Kernel;
  RunReports Reports;
  // What the report writers read; the motion driver's radius-offset alarm
  // writes through it.
  RunReportLinks ReportLinks;
  RunMessageFacts Facts;
  MultiToolPassState MultiTool;
  // The per-step work's state from move to move.
  MoveStepState Steps;
};

struct Session {
  explicit Session(Host& host);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session();

  Host& Shell;

  // Start-up: the language and the change check's state, and what the
  // command line asked for (its initial tool, above 0, replaces the tool
  // table's start tool at every read).
  AppState App;
  CommandLineRequest CommandLine;

  // The definitions, and what the controller keeps in memory.
  Definitions Defs;
  ControllerMemory Memory;
  // The frame of the composed work offset, brought up to date after every
  // read that changes it.
  WorkOffsetFrame Frame;
  StatusAxisLabels AxisLabels;

  // What the view shows and how; the settings reader fills them too.
  ViewState View;
  InfoPaneRects Panes;
  MovieSettings Movie;
  DisplayListTable Display;

  WorkDocument Work;

  // The current tool: its records and shape, its profile, the mesh of an
  // imported STL tool, and the length checks the cuts raise.
  CurrentTool Tool;
  ToolProfile Profile;
  ImportedToolMesh ToolMesh;
  ToolLengthChecks Lengths;
  SavedPositionState SavedPosition;
  ToolListState ToolList;
  PluginState Plugins;

  MachinePartMeshes Meshes;

  // The NC program held in memory; it outlives the passes.
  LoadedNcProgram Program;

  // The progress of long work, shown through the host; the shell fills its
  // message pump.
  ProgressState Progress;

  // The flags the main thread and the run thread share (all atomic).
  RunControl Control;
  // What the run asks of the display; the display fills it.
  RunViewHooks RunView;
  // The block the run shows, and the tool changer's state.
  BlockDisplay Block;
  // The block the run read last, in every mode: the shell's run timer shows
  // it in cut-and-show-result mode, where the run shows no block itself.
  BlockDisplay ReadBlock;
  ToolChangerState Changer;
  // The length report's lines of the last run (one per outgoing tool); the
  // shell writes them to its report.
  std::string LengthReportLines;

  // The run's NC state. It lives as long as the session: the tool in the
  // spindle, where the machine stands and the length compensation stay
  // between runs; StartRunPass puts the rest into its start state.
  RunState Run;
  NcContext Nc{Run};

  // The per-pass part; none before the first pass.
  std::unique_ptr<RunPass> Pass;
};

// Starts a pass of the run: the per-pass part made anew, the run's cutting
// state cleared (the tool's spin angle stays) and the NC state reset
// (ResetNcModalState). The caller then loads and opens the program.
void StartRunPass(Session& session);
// The same for a pass that must leave the application's tool table as it is
// (the data check): the reset works on tools, the pass's copy.
void StartRunPass(Session& session, ToolTable& tools);

// The bundles of the lower folders, every one built here.

// What a pass that must leave the application's records as they are (the
// data check, the path drawing) writes in their place: a copy of the
// controller memory, of the work offset frame that follows its offsets and
// of the tool table (the reset clears its no-tool entry, a tool change may
// raise a cutting length, a plug-in writes its tool into it).
struct NcPassCopy {
  ControllerMemory Memory;
  WorkOffsetFrame Frame;
  ToolTable Tools;
};
NcPassCopy CopyForPass(const Session& session);

// An NC pass over the session's controller memory, frame and tool table
// (the run), over a copy of all three the pass may change, or over the
// session's memory and frame with a tool table of the caller's. Hooks into
// the reader once a pass is started.
NcPassRecords NcPassOf(Session& session);
NcPassRecords NcPassOf(Session& session, NcPassCopy& copy);
NcPassRecords NcPassOf(Session& session, ToolTable& tools);

// SetCurrentTool's records: the current tool, its profile, where the
// machine stands and the run's length compensation; the tool table is the
// application's or the one given.
ToolChangeRecords ToolChangeOf(Session& session);
ToolChangeRecords ToolChangeOf(Session& session, ToolTable& tools);

// The records a pose cut reads and writes: the current tool (and its mesh)
// into the workpiece, with the run's cutting state.
CutRecords CutRecordsOf(Session& session);

// What a tool mounted beside the current one is set up from.
ToolSetUpSources ToolSetUpSourcesOf(const Session& session);

// The structure checks at the machine position, raising the run's hits.
StructureCheckContext StructureChecksOf(Session& session);
MachinePartSources PartSourcesOf(Session& session);

// The multi-tool pass through cutting (the session's seam, session_tools.h),
// given up when the run is aborted.
MultiToolPassRecords MultiToolPassOf(Session& session, CuttingSeam& cutting);

ControllerReadRecords ControllerReadOf(Session& session);
MachineReadRecords MachineReadOf(Session& session);
SettingsTargets SettingsTargetsOf(Session& session);
ChangeCheckRecords ChangeCheckOf(Session& session);

// The run's reports and messages.
RunReportLinks ReportLinksOf(Session& session);
InterferenceMessageLinks MessageLinksOf(Session& session, const RunMessageFacts& facts);

// The workpiece's placement, as the position conversions read it.
WorkpiecePlacement WorkPlacementOf(const Session& session);

}  // namespace vestan
