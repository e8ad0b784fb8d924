// velqa3-sim's command line: reads the scenario, prepares the run folder, loads the plug-in,
// runs, reports. Returns the process exit code: 0 all expectations held, 1 one failed, 2 the
// scenario, the plug-in or the run folder could not be used.
#pragma once

namespace velqa3::sim {

int SimMain(int argc, char** argv);

} // namespace velqa3::sim
