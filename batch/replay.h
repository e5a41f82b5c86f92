// Replay of one result log: every source line of the "RPQ" format rebuilds its pack into the
// run's target directory.
#pragma once

#include <string>

#include "batch/run_state.h"
#include "toolkit/feedback.h"

namespace rpq {

// Loads the log at `path` into state.ReplayLines and walks it: format lines set state.FFormat,
// source lines open state.SourcePack and, for "RPQ", rebuild state.TargetDir/<pack name> from
// the target lines that follow; text lines are skipped. Errors pass to the caller; SourcePack is
// closed on every path.
void ReplayLog(RunState& state, Feedback& feedback, const std::string& path);

}  // namespace rpq
