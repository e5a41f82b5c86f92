#include "ui/dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace rpq {

namespace {

const QStringList kInputFilters = {
    QStringLiteral("Resource packs (*.rpq)"),
    QStringLiteral("Project list files (*.lst)"),
    QStringLiteral("Log files (*.log)"),
};

// A save dialog with one filter that asks before replacing a file.
std::optional<QString> AskSaveName(QWidget* owner, const QString& title, const QString& filter,
                                   const QString& suffix, const FileDialogMemory& memory) {
    QFileDialog dialog(owner, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(suffix);
    if (!memory.FileName.isEmpty())
        dialog.selectFile(memory.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

// The target-directory dialog: a tree of directories to browse and an edit field in which any
// path, also one that does not exist yet, can be typed.
class DirectoryDialog final : public QDialog {
  public:
    DirectoryDialog(QWidget* owner, const QString& start,
                    const std::function<bool(const QString&)>& accept)
        : QDialog(owner), accept_(accept), start_(start) {
        setWindowTitle(QStringLiteral("Select Directory"));
        resize(420, 380);

        model_.setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
        model_.setRootPath(QDir::rootPath());
        tree_ = new QTreeView(this);
        tree_->setModel(&model_);
        for (int column = 1; column < model_.columnCount(); ++column)
            tree_->hideColumn(column);
        tree_->header()->hide();
        const QModelIndex startIndex = model_.index(start);
        tree_->setCurrentIndex(startIndex);
        tree_->scrollTo(startIndex);

        edit_ = new QLineEdit(QDir::toNativeSeparators(start), this);
        auto* label = new QLabel(QStringLiteral("&Directory name:"), this);
        label->setBuddy(edit_);

        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, [this] { Confirm(); });
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex& index) {
                    if (index.isValid())
                        edit_->setText(QDir::toNativeSeparators(model_.filePath(index)));
                });

        auto* layout = new QVBoxLayout(this);
        layout->addWidget(label);
        layout->addWidget(edit_);
        layout->addWidget(tree_, 1);
        layout->addWidget(buttons);
        edit_->setFocus();
    }

    QString Chosen() const { return chosen_; }

  private:
    void Confirm() {
        QString typed = edit_->text().trimmed();
        if (typed.isEmpty())
            return;
        // A relative path is taken relative to the directory the dialog was opened on.
        const QString path =
            QDir::cleanPath(QDir(start_).absoluteFilePath(QDir::fromNativeSeparators(typed)));
        if (!accept_(path))
            return;
        chosen_ = path;
        accept();
    }

    std::function<bool(const QString&)> accept_;
    QString start_;
    QString chosen_;
    QFileSystemModel model_;
    QTreeView* tree_ = nullptr;
    QLineEdit* edit_ = nullptr;
};

}  // namespace

std::optional<OpenChoice> QtDialogs::SelectLog(const FileDialogMemory& memory) {
    QFileDialog dialog(owner_, QStringLiteral("Select file..."));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(kInputFilters);
    const int filter = memory.FilterIndex >= 1 && memory.FilterIndex <= kInputFilters.size()
                           ? memory.FilterIndex
                           : 1;
    dialog.selectNameFilter(kInputFilters[filter - 1]);
    if (!memory.FileName.isEmpty())
        dialog.selectFile(memory.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    OpenChoice choice;
    choice.Files = dialog.selectedFiles();
    const int chosenFilter = kInputFilters.indexOf(dialog.selectedNameFilter());
    choice.FilterIndex = chosenFilter >= 0 ? chosenFilter + 1 : filter;
    return choice;
}

std::optional<QString> QtDialogs::SaveLST(const FileDialogMemory& memory) {
    return AskSaveName(owner_, QStringLiteral("Select file..."),
                       QStringLiteral("Project list files (*.lst)"), QStringLiteral("lst"), memory);
}

std::optional<QString> QtDialogs::SaveRes(const FileDialogMemory& memory) {
    return AskSaveName(owner_, QStringLiteral("Select target..."),
                       QStringLiteral("Text files (*.txt)"), QStringLiteral("txt"), memory);
}

std::optional<QString> QtDialogs::SelectDirectory(
    const QString& start, const std::function<bool(const QString&)>& accept) {
    DirectoryDialog dialog(owner_, start, accept);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Chosen();
}

bool QtDialogs::AskCreateDirectory(const QString&) {
    return QMessageBox::question(
               owner_, QStringLiteral("Confirm"),
               QStringLiteral("The specified directory does not exist. Create it?"),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

void QtDialogs::Information(const QString& text, const QString& caption) {
    QMessageBox::information(owner_, caption, text, QMessageBox::Ok);
}

void QtDialogs::Error(const QString& text) {
    QMessageBox::critical(owner_, QStringLiteral("Error"), text, QMessageBox::Ok);
}

}  // namespace rpq
