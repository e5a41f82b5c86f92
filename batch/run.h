// A run over the inputs of the list: extraction of packs, replay of result logs and project
// lists, and the result log that a run saves.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "batch/result_log.h"
#include "batch/run_state.h"
#include "toolkit/feedback.h"

namespace rpq {

// The per-input handler: sends a pack to extraction and a result log or project-list entry to
// the replay; any other kind does nothing.
void ProcessInput(RunState& state, Feedback& feedback, TInputKind kind, const std::string& path);

// Called for every input; front ends wrap ProcessInput with their own bookkeeping.
using ProcessInputFn = std::function<void(TInputKind kind, const std::string& path)>;

struct RunRequest {
    std::vector<std::string> Inputs;  // the input list, in order
    TInputKind FKind = ikPack;        // kind of every input
    int FilterIndex = 1;              // dialog filter the list was filled through (1..3)
    std::string TargetDir;            // an existing directory, chosen by the front end
};

enum class RunOutcome {
    Empty,      // the list had no entries: nothing was cleared, written or shown
    Completed,  // every input done; result.log saved unless the kind is ikLog
    Stopped,    // the user stopped the run between entries or inputs; no result.log saved
};

// The run: clears the results and ResultLog, makes TargetDir current, and for every input
// appends its format and source lines and calls FProcessInput; then clears status and progress
// and saves ResultLog as TargetDir/result.log unless FKind is ikLog. Errors other than a stop end
// the run and pass to the caller; result.log is then not saved.
RunOutcome RunBatch(RunState& state, Feedback& feedback, const RunRequest& request,
                    const ProcessInputFn& FProcessInput);

}  // namespace rpq
