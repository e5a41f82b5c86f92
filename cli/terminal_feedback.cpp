#include "cli/terminal_feedback.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>

namespace rpq::cli {

namespace {

volatile std::sig_atomic_t gStopRequested = 0;
struct sigaction gPreviousAction;

// The first SIGINT asks for a stop; the handler is reset with it (SA_RESETHAND), so a second
// SIGINT ends the process at once.
void OnInterrupt(int) {
    gStopRequested = 1;
}

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

constexpr long long kRedrawIntervalMs = 80;
constexpr int kBarWidth = 24;
constexpr size_t kMaxStatusWidth = 60;

}  // namespace

TerminalFeedback::TerminalFeedback() : tty_(isatty(STDERR_FILENO) == 1) {
    gStopRequested = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, &gPreviousAction);
}

TerminalFeedback::~TerminalFeedback() {
    FinishStatus();
    sigaction(SIGINT, &gPreviousAction, nullptr);
}

void TerminalFeedback::CurrentMessage(std::string_view text) {
    if (text == status_)
        return;
    status_ = std::string(text);
    if (!tty_) {
        // A log file gets each status once, on its own line; the run's final clear is no line.
        if (!status_.empty())
            std::fprintf(stderr, "%s\n", status_.c_str());
        return;
    }
    Redraw();
}

void TerminalFeedback::Progress(int64_t position, int64_t maximum) {
    position_ = position;
    maximum_ = maximum;
    if (tty_ && NowMs() - lastDrawMs_ >= kRedrawIntervalMs)
        Redraw();
}

void TerminalFeedback::Results(std::string_view line) {
    if (drawn_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        drawn_ = false;
    }
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void TerminalFeedback::ProcessMessages() {
    if (tty_ && NowMs() - lastDrawMs_ >= kRedrawIntervalMs)
        Redraw();
}

bool TerminalFeedback::StopRequested() const {
    return gStopRequested != 0;
}

void TerminalFeedback::FinishStatus() {
    if (!drawn_)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
}

void TerminalFeedback::Redraw() {
    lastDrawMs_ = NowMs();
    if (status_.empty()) {
        // Nothing is being done: the line is cleared rather than left showing a bare bar.
        FinishStatus();
        return;
    }
    std::string text = status_;
    if (text.size() > kMaxStatusWidth)
        text = "..." + text.substr(text.size() - kMaxStatusWidth + 3);
    std::string bar;
    if (maximum_ > 0) {
        int64_t pos = position_ < 0 ? 0 : (position_ > maximum_ ? maximum_ : position_);
        const int filled = static_cast<int>(pos * kBarWidth / maximum_);
        bar = " [" + std::string(static_cast<size_t>(filled), '#') +
              std::string(static_cast<size_t>(kBarWidth - filled), '.') + "] " +
              std::to_string(pos * 100 / maximum_) + "%";
    }
    std::fprintf(stderr, "\r\033[K%s%s", text.c_str(), bar.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

}  // namespace rpq::cli
