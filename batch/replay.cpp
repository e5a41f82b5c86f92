#include "batch/replay.h"

#include "packs/rebuild.h"
#include "toolkit/errors.h"
#include "toolkit/files.h"

namespace rpq {

namespace {

// Closes the source pack when a pass ends, also when an error ends it.
class SourcePackCloser {
  public:
    explicit SourcePackCloser(RunState& state) : state_(state) {}
    ~SourcePackCloser() { state_.SourcePack.reset(); }
    SourcePackCloser(const SourcePackCloser&) = delete;
    SourcePackCloser& operator=(const SourcePackCloser&) = delete;

  private:
    RunState& state_;
};

constexpr int kFormatKeyword = 0;
constexpr int kSourceKeyword = 1;

}  // namespace

void ReplayLog(RunState& state, Feedback& feedback, const std::string& path) {
    SourcePackCloser closer(state);
    state.SourcePack.reset();
    state.ReplayLines.Clear();
    state.ReplayLines.LoadFromFile(path);

    // The replay's own status has no blank before the dots, unlike extraction's.
    const std::string status = "Processing " + ExtractFileName(path) + "...";
    feedback.CurrentMessage(status);
    feedback.Progress(0, state.ReplayLines.Count() - 1);

    state.FFormat = ikNone;
    int index = 0;
    // The count is read afresh in every pass.
    while (index < state.ReplayLines.Count()) {
        const int last = state.ReplayLines.Count() - 1;
        feedback.CurrentMessage(status);
        feedback.Progress(index, last);

        int next = index + 1;
        const int keyword = FindKeyword(state.ReplayLines.Get(index));
        state.FIsText = keyword < 0;
        if (keyword >= 0) {
            // An examined keyword line is replaced by its argument; lines the rebuild takes are
            // never examined and keep their text.
            state.ReplayLines.Put(index, KeywordArgument(state.ReplayLines.Get(index), keyword));
            const std::string value = FirstWord(state.ReplayLines.Get(index)).value_or("");
            if (keyword == kFormatKeyword) {
                state.FFormat = FormatCode(value);
            } else if (keyword == kSourceKeyword) {
                state.SourcePack =
                    std::make_unique<FileStream>(value, FileStream::Mode::OpenReadWrite);
                const std::string packName = ExtractFileName(value);
                feedback.CurrentMessage("Processing " + packName + "...");
                if (state.FFormat == ikPack) {
                    next =
                        RebuildPack(state.TargetDir + PathDelim + packName, index + 1,
                                    *state.SourcePack, state.ReplayLines, state.TCodec, feedback);
                }
            }
            // A target line that no rebuild took asks for nothing.
        }
        state.SourcePack.reset();

        feedback.Progress(index + 1, last);
        feedback.ProcessMessages();
        index = next;
        if (index < state.ReplayLines.Count() && feedback.StopRequested())
            throw EStopped();
    }
}

}  // namespace rpq
