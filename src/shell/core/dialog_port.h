// The dialogs the menu commands open, as the dispatcher meets them: a file
// dialog, the value dialogs of the commands the batch worker and the macro
// runner also send, and every other dialog by its command. The window fills
// it with its dialogs; HeadlessDialogs answers without a person.
#pragma once

#include <cstdint>
#include <string>

#include "definitions/command_line_options.h"
#include "definitions/settings.h"
#include "foundation/vector_math.h"

namespace vestan {

// The kinds of file the file dialogs offer.
enum class FileDialogKind { kNcProgram, kToolTable, kController, kMachine, kWork, kStl, kImage };

class DialogPort {
 public:
  virtual ~DialogPort() = default;
  // A file dialog; path holds the default name and takes the choice. False
  // when cancelled.
  virtual bool SelectFile(FileDialogKind kind, bool save, std::string& path) = 0;
  // The move dialog: the amounts along X, Y and Z.
  virtual bool EditMove(Vec3& amount) = 0;
  // The rotation dialog: axis 0 X, 1 Y, 2 Z, and the angle in degrees.
  virtual bool EditRotation(int32_t& axis, double& angle) = 0;
  // The pen dialog: pen 1-15 to peel, 16 every pen.
  virtual bool ChoosePen(int32_t& pen) = 0;
  // The difference painting dialog over the settings it edits.
  virtual bool EditDifference(DifferenceSettings& settings) = 0;
  // The stock dialogs (command 32911 origin box, 32787 two-point box, 32896
  // cylinder) over the stock definitions and the control point choice.
  virtual bool EditStock(int32_t command, StockDefinition& stock, int32_t& controlPointMode) = 0;
  // Any other dialog, by the command that opens it; true on OK.
  virtual bool Open(int32_t command) = 0;
};

// Dialogs with no one to ask: the commands the automation sends take the
// values already stored (the command line's jobs, the settings) and go on;
// a file dialog or any other dialog is cancelled.
class HeadlessDialogs : public DialogPort {
 public:
  explicit HeadlessDialogs(const CommandLineRequest& request) : request_(request) {}

  bool SelectFile(FileDialogKind, bool, std::string&) override { return false; }
  bool EditMove(Vec3& amount) override {
    amount = request_.moveAmount;
    return true;
  }
  bool EditRotation(int32_t& axis, double& angle) override {
    axis = request_.rotateAxis;
    angle = request_.rotateAngle;
    return true;
  }
  bool ChoosePen(int32_t& pen) override {
    pen = request_.penJob.load();
    return pen >= 1 && pen <= 16;
  }
  bool EditDifference(DifferenceSettings&) override { return true; }
  // The stock dialogs are not automated (a stock given on the command line
  // is built by the load command).
  bool EditStock(int32_t, StockDefinition&, int32_t&) override { return false; }
  bool Open(int32_t) override { return false; }

 private:
  const CommandLineRequest& request_;
};

}  // namespace vestan
