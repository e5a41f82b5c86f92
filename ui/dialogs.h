// The dialogs the window asks its questions through. The window holds a Dialogs and never opens a
// dialog of its own, so its handlers run the same with the Qt dialogs and with a test double.
#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

class QWidget;

namespace rpq {

// What a file dialog remembers between uses: the filter (1-based) and the file name of its last
// confirmed use. Both change only when the dialog is confirmed.
struct FileDialogMemory {
    int FilterIndex = 1;
    QString FileName;
};

// The confirmed choice of the input dialog.
struct OpenChoice {
    QStringList Files;    // full paths, in the order the dialog returns them
    int FilterIndex = 1;  // 1 packs, 2 project lists, 3 result logs
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // The input dialog "Select file...", opened with the remembered filter and file name.
    virtual std::optional<OpenChoice> SelectLog(const FileDialogMemory& memory) = 0;
    // The dialog that names the project list to write.
    virtual std::optional<QString> SaveLST(const FileDialogMemory& memory) = 0;
    // The dialog that names the file the results are saved to.
    virtual std::optional<QString> SaveRes(const FileDialogMemory& memory) = 0;
    // The target-directory dialog, opened on `start`; a path may be typed. Every confirmation is
    // passed to `accept`; the dialog stays open while it returns false.
    virtual std::optional<QString> SelectDirectory(
        const QString& start, const std::function<bool(const QString&)>& accept) = 0;
    // "The specified directory does not exist. Create it?" with Yes and No.
    virtual bool AskCreateDirectory(const QString& path) = 0;
    // An information box with an OK button.
    virtual void Information(const QString& text, const QString& caption) = 0;
    // The error box that shows a failure's message.
    virtual void Error(const QString& text) = 0;
};

// The dialogs of the desktop: Qt file dialogs, a directory dialog with an edit field, message
// boxes owned by `owner`.
class QtDialogs final : public Dialogs {
  public:
    explicit QtDialogs(QWidget* owner) : owner_(owner) {}

    std::optional<OpenChoice> SelectLog(const FileDialogMemory& memory) override;
    std::optional<QString> SaveLST(const FileDialogMemory& memory) override;
    std::optional<QString> SaveRes(const FileDialogMemory& memory) override;
    std::optional<QString> SelectDirectory(
        const QString& start, const std::function<bool(const QString&)>& accept) override;
    bool AskCreateDirectory(const QString& path) override;
    void Information(const QString& text, const QString& caption) override;
    void Error(const QString& text) override;

  private:
    QWidget* owner_;
};

}  // namespace rpq
