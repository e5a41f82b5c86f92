// The one channel through which the core reports to a user: the status line, the progress bar,
// the results pane, and a chance for the front end to handle pending events. The window
// implements it with widgets, the command line with the terminal, the tests with a recorder.
#pragma once

#include <cstdint>
#include <string_view>

namespace rpq {

class Feedback {
  public:
    virtual ~Feedback() = default;

    // Replaces the status line ("Processing Maps.rpq ...").
    virtual void CurrentMessage(std::string_view text) = 0;
    // Sets the progress display. `maximum` may be below 0 (an empty pack or log): that is an
    // empty range, not an error.
    virtual void Progress(int64_t position, int64_t maximum) = 0;
    // Appends one line to the results pane.
    virtual void Results(std::string_view line) = 0;
    // Empties the results pane (at the start of a run).
    virtual void ClearResults() = 0;
    // Lets the front end handle pending events; called once per pack entry and per replayed line.
    virtual void ProcessMessages() = 0;
    // True once the user asked to stop. The core looks at it between entries and between inputs.
    virtual bool StopRequested() const { return false; }
};

// A Feedback that shows nothing; for callers that only want the files.
class NullFeedback final : public Feedback {
  public:
    void CurrentMessage(std::string_view) override {}
    void Progress(int64_t, int64_t) override {}
    void Results(std::string_view) override {}
    void ClearResults() override {}
    void ProcessMessages() override {}
};

}  // namespace rpq
