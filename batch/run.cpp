#include "batch/run.h"

#include "batch/replay.h"
#include "packs/extract.h"
#include "toolkit/errors.h"
#include "toolkit/files.h"

namespace rpq {

namespace {

constexpr std::string_view kStoppedLine = "Operation stopped.";

}  // namespace

void ProcessInput(RunState& state, Feedback& feedback, TInputKind kind, const std::string& path) {
    switch (kind) {
        case ikPack:
            ExtractPack(path, state.TargetDir, state.TCodec, state.ResultLog, feedback);
            break;
        case ikLog:
        case ikList:
            // The entries of a project list are result logs to replay.
            ReplayLog(state, feedback, path);
            break;
        case ikNone:
            break;
    }
}

RunOutcome RunBatch(RunState& state, Feedback& feedback, const RunRequest& request,
                    const ProcessInputFn& FProcessInput) {
    if (request.Inputs.empty())
        return RunOutcome::Empty;

    feedback.ClearResults();
    state.ResultLog.Clear();
    state.TargetDir = request.TargetDir;
    // The target directory stays current after the run; when it cannot be made current the
    // inputs, which are full paths, are handled all the same.
    (void)SetCurrentDir(state.TargetDir);

    const std::string formatLine =
        std::string(kFormatPrefix) + std::string(FormatNameForFilter(request.FilterIndex));
    try {
        for (const std::string& input : request.Inputs) {
            if (feedback.StopRequested())
                throw EStopped();
            state.ResultLog.Add(formatLine);
            state.ResultLog.Add(std::string(kSourcePrefix) + input);
            FProcessInput(request.FKind, input);
        }
    } catch (const EStopped&) {
        // A stopped run leaves no result.log: one that lacked the inputs not yet handled would
        // rebuild only part of what the user extracted.
        feedback.CurrentMessage("");
        feedback.Progress(0, 0);
        feedback.Results(kStoppedLine);
        return RunOutcome::Stopped;
    }

    feedback.CurrentMessage("");
    feedback.Progress(0, 0);
    if (!state.ResultLog.Empty() && request.FKind != ikLog) {
        state.ResultLog.SaveToFile(state.TargetDir + PathDelim + "result.log");
    }
    return RunOutcome::Completed;
}

}  // namespace rpq
