// Renders the window to a PNG after a real run, for the README and for checking the layout
// without a display:
//
//   rpq-window-screenshot OUT.png TARGET_DIR PACK...
//
// The packs are added through the pack filter and extracted into TARGET_DIR; the picture shows
// the window as the run leaves it.
#include <cstdio>
#include <exception>

#include <QApplication>
#include <QFileInfo>
#include <QListWidget>
#include <QPixmap>

#include "ui/main_form.h"

namespace {

// Answers every question as a user choosing the given packs and target would.
class ChosenAnswers final : public rpq::Dialogs {
  public:
    ChosenAnswers(QStringList packs, QString target)
        : packs_(std::move(packs)), target_(std::move(target)) {}

    std::optional<rpq::OpenChoice> SelectLog(const rpq::FileDialogMemory&) override {
        return rpq::OpenChoice{packs_, 1};
    }
    std::optional<QString> SaveLST(const rpq::FileDialogMemory&) override { return std::nullopt; }
    std::optional<QString> SaveRes(const rpq::FileDialogMemory&) override { return std::nullopt; }
    std::optional<QString> SelectDirectory(
        const QString&, const std::function<bool(const QString&)>& accept) override {
        if (!accept(target_))
            return std::nullopt;
        return target_;
    }
    bool AskCreateDirectory(const QString&) override { return true; }
    void Information(const QString&, const QString&) override {}
    void Error(const QString& text) override {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        failed = true;
    }
    bool failed = false;

  private:
    QStringList packs_;
    QString target_;
};

}  // namespace

int main(int argc, char** argv) {
    const bool styleGiven = rpq::StyleGiven(argc, argv);
    QApplication app(argc, argv);
    if (!styleGiven)
        rpq::UseClassicStyle();
    const QStringList args = QApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: rpq-window-screenshot OUT.png TARGET_DIR PACK...\n");
        return 2;
    }
    // The run makes its target directory current: resolve the picture's path first.
    const QString picture = QFileInfo(args.at(1)).absoluteFilePath();
    auto answers = std::make_unique<ChosenAnswers>(args.mid(3), args.at(2));
    ChosenAnswers* seen = answers.get();
    rpq::TMainForm form(std::move(answers));
    form.show();
    QApplication::processEvents();
    form.BAddLogClick();
    form.BProcessClick();
    if (seen->failed)
        return 1;
    if (form.LogList->count() > 0)
        form.LogList->item(0)->setSelected(true);
    QApplication::processEvents();
    if (!form.grab().save(picture)) {
        std::fprintf(stderr, "cannot write %s\n", picture.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
