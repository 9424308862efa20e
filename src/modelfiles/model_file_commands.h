// The open and save commands for workpiece model files: the compressed forms
// go through a unique temporary plain file, the plain forms straight to the
// loaders and savers; a failure comes back with the message to show.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "definitions/work_offset_frame.h"
#include "model/dexel_model.h"
#include "model/work_document.h"
#include "modelfiles/compressed_model_file.h"
#include "modelfiles/model_file_loading.h"
#include "platform/progress.h"

namespace vestan {

struct ModelFileOutcome {
  // kModelOk / kSaveOk on success; else the loader's, saver's or compression
  // code.
  int32_t Result = 0;
  // The message box to show; empty Text when there is none.
  std::string Text;
  std::string Caption;
};

// Opens a workpiece file by its ending. ".DME" and ".DMEZ": a compressed file
// (recognised by its header whatever the name) is decompressed first; a
// ".DMEZ" that is not compressed is refused ("Broken Data?"). When the work
// frame is offset or rotated, the DME header letter sets
// settings.ImportChoice (M 0, W and N 1); a DME file without a known letter
// is read by the general loader, any other by LoadDmeFile in that mode.
// ".DMF" and ".DMFZ" likewise, a plain file being read as it is. Other names
// go to the general loader, which slices an ".STL" file onto a grid around
// it. settings.MemoryLimit bounds both the plain file of a compressed one and
// the model: beyond it the file is refused with "Memory over!". A file that
// cannot be decompressed, or a name the loaders do not know, leaves the
// model untouched; a damaged plain file or a model too large leaves it
// absent. After a DME file, "matrix.txt" shows the placement when
// settings.CheckMatrix is on. progress shows the long passes.
ModelFileOutcome OpenWorkModelFile(DexelModel& model, std::string_view path,
                                   ModelLoadSettings& settings, const WorkOffsetFrame& frame,
                                   CompressionApiCache& api, ProgressState* progress = nullptr);

// Loads the basic model of the difference check from an STL file onto the
// workpiece's grid widened by kStlGridMargin cells (LoadStlModelOnGrid,
// sliced along all three directions). The old basic model and the
// difference model built from it go first; BasicModelLoaded tells whether a
// new one came. Refusals as for the workpiece ("Data Destroyed!", "Memory
// over!").
ModelFileOutcome OpenBasicModelFile(WorkDocument& document, std::string_view path,
                                    ModelLoadSettings& settings, const WorkOffsetFrame& frame,
                                    ProgressState* progress = nullptr);

// Saves the model by the ending of path: ".DMEZ" as a DME image compressed
// whole, anything else through SaveWorkModel. exportCoordinate is the EXPORT
// COORDINATE setting (1 work coordinates). No previous file is ever replaced
// by a partial one. progress, when given, advances while an STL surface is
// built.
ModelFileOutcome SaveWorkModelFile(const DexelModel& model, std::string_view path, int32_t stlKind,
                                   int32_t exportCoordinate, const WorkOffsetFrame& frame,
                                   CompressionApiCache& api, ProgressState* progress = nullptr);

}  // namespace vestan
