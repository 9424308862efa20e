// A session with the shipped definitions read in start-up order (settings,
// tool table, controller, machine), for the benchmarks that run programs.
#pragma once

#include <memory>
#include <string>

#include "simulation/session.h"
#include "simulation/session_files.h"

namespace vestan::bench {

inline std::unique_ptr<Session> ShippedSession(Host& host) {
  const std::string data = VESTAN_DATA_DIR;
  auto session = std::make_unique<Session>(host);
  ReadSettingsInto(*session, {data, data + "/vestan9", 0});
  ReadToolTableInto(*session);
  ReadControllerInto(*session);
  ReadMachineInto(*session, 1);
  return session;
}

}  // namespace vestan::bench
