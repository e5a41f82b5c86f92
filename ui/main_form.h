// The main window "Extract\Insert Tool": the input list, the tool bar that fills, prunes, saves
// and runs it, the results pane and the status area. The handlers turn a click into a call of
// the core and show what comes back; every question to the user goes through a Dialogs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QWidget>

#include "batch/result_log.h"
#include "batch/run.h"
#include "batch/run_state.h"
#include "ui/dialogs.h"

class QCloseEvent;
class QGroupBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QTextEdit;
class QToolBar;
class QToolButton;

namespace rpq {

// True when the command line names a Qt style (-style); read before QApplication takes it out.
bool StyleGiven(int argc, char** argv);
// The classic look the window was laid out for (the "Windows" style), unless QT_STYLE_OVERRIDE
// names another.
void UseClassicStyle();

class TMainForm : public QWidget {
    Q_OBJECT

  public:
    // With no dialogs given, the window asks through the desktop's dialogs.
    explicit TMainForm(std::unique_ptr<Dialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Controls, in the order of the form.
    QToolBar* ToolBar1 = nullptr;
    QToolButton* BAddLog = nullptr;
    QToolButton* BSaveList = nullptr;
    QToolButton* BRemLog = nullptr;
    QToolButton* BProcess = nullptr;
    QToolButton* BExit = nullptr;
    QListWidget* LogList = nullptr;
    QTextEdit* Results = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* PFile = nullptr;
    QLabel* CurrentMessage = nullptr;
    QLabel* Extracted = nullptr;
    QToolButton* SaveLog = nullptr;
    QToolButton* Stop = nullptr;
    QProgressBar* Progress = nullptr;

    // What the three file dialogs remember of their last confirmed use.
    FileDialogMemory SelectLog;
    FileDialogMemory SaveLST;
    FileDialogMemory SaveRes;

    // The per-input handler a run calls; bound to ProcessInput when the window is created.
    ProcessInputFn FProcessInput;
    // The kind of every entry of LogList; 0 (no kind) until the first confirmed add.
    TInputKind FKind = static_cast<TInputKind>(0);

    // The per-input handler: focuses the results, switches Stop and SaveLog around the core's
    // handling of one input.
    void ProcessInput(TInputKind kind, const std::string& path);

    // The paths of LogList, byte for byte as they were chosen or loaded.
    std::vector<std::string> InputPaths() const;
    // The lines of the results pane; none when it is empty.
    QStringList ResultLines() const;
    // True while a run is in progress.
    bool Running() const { return running_; }
    // True once Stop was clicked (or the window asked to close) during the current run.
    bool StopRequested() const { return stopTag_ != 0; }
    RunState& State() { return *state_; }
    // The outcome of the latest run that reached the core.
    RunOutcome LastOutcome() const { return lastOutcome_; }

  public slots:
    void BExitClick();
    void BAddLogClick();
    void BRemLogClick();
    void BProcessClick();
    void BSaveListClick();
    void StopClick();
    void SaveLogClick();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateControls();
    void FormCreate();
    void FormDestroy();
    // The directory dialog's check of a confirmed path: an existing directory is taken; a
    // missing one is created, with its parents, when the user agrees.
    bool AcceptTargetDirectory(const QString& path);
    void SetListButtons(bool enabled);
    // The end of one input: Stop off, SaveLog on when the pane holds a line.
    void FinishInput();
    void ShowError(const std::exception& error);

    std::unique_ptr<Dialogs> dialogs_;
    std::unique_ptr<Feedback> feedback_;
    std::unique_ptr<RunState> state_;
    int stopTag_ = 0;
    bool running_ = false;
    bool closePending_ = false;
    RunOutcome lastOutcome_ = RunOutcome::Empty;
};

}  // namespace rpq
