// A Feedback that records everything the core reports, for assertions.
#pragma once

#include <string>
#include <vector>

#include "toolkit/feedback.h"

namespace rpq::test {

class Recorder final : public Feedback {
  public:
    void CurrentMessage(std::string_view text) override { messages.emplace_back(text); }
    void Progress(int64_t position, int64_t maximum) override {
        this->position = position;
        this->maximum = maximum;
        ++progressCalls;
    }
    void Results(std::string_view line) override { results.emplace_back(line); }
    void ClearResults() override { results.clear(); }
    void ProcessMessages() override {
        ++processCalls;
        if (stopAfter >= 0 && processCalls >= stopAfter)
            stop = true;
    }
    bool StopRequested() const override { return stop; }

    std::vector<std::string> messages;  // every status text, in order
    std::vector<std::string> results;   // the results pane
    int64_t position = 0, maximum = 0;
    int progressCalls = 0, processCalls = 0;
    int stopAfter = -1;  // request a stop once ProcessMessages ran this often
    bool stop = false;
};

}  // namespace rpq::test
