#include "definitions/command_line_options.h"

#include "definitions/controller_definition.h"

namespace vestan {

void ResolveControllerScale(ModelFileOptions& options, const ControllerDefinition& controller) {
  if (options.ScaleFromController == 0) return;
  options.ScaleFromController = 0;
  for (size_t axis = 0; axis < 3; ++axis) {
    const double rate = controller.ScaleEffect[axis] != 0 ? controller.ScaleFactor[axis] : 1.0;
    options.ScaleRate[axis] = rate;
    options.ScaleOn[axis] = rate != 1.0 ? 1 : 0;
  }
}

}  // namespace vestan
