// Feedback on a terminal: results lines on standard output (exactly one per line, for scripts),
// status text and a progress bar on standard error (the bar only when it is a terminal).
// SIGINT asks the run to stop between entries; a second SIGINT ends the process at once.
#pragma once

#include <string>

#include "toolkit/feedback.h"

namespace rpq::cli {

class TerminalFeedback final : public Feedback {
  public:
    TerminalFeedback();
    ~TerminalFeedback() override;

    void CurrentMessage(std::string_view text) override;
    void Progress(int64_t position, int64_t maximum) override;
    void Results(std::string_view line) override;
    void ClearResults() override {}
    void ProcessMessages() override;
    bool StopRequested() const override;

    // Ends any status line drawn on standard error, so what follows starts on a fresh line.
    void FinishStatus();

  private:
    void Redraw();

    bool tty_ = false;
    std::string status_;
    int64_t position_ = 0;
    int64_t maximum_ = 0;
    bool drawn_ = false;
    long long lastDrawMs_ = 0;
};

}  // namespace rpq::cli
