#include "ui/main_form.h"

#include <algorithm>
#include <climits>

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "toolkit/errors.h"
#include "toolkit/files.h"
#include "toolkit/string_list.h"
#include "ui/rtf_writer.h"

// The tool-button pictures live in a resource of this library.
static void InitPictures() {
    Q_INIT_RESOURCE(icons);
}

namespace rpq {

namespace {

constexpr int kClientWidth = 688;
constexpr int kClientHeight = 453;

QString FromBytes(std::string_view bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string ToBytes(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

QIcon Picture(const QString& name) {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/%1.png").arg(name), QSize(16, 16), QIcon::Normal);
    icon.addFile(QStringLiteral(":/icons/%1_disabled.png").arg(name), QSize(16, 16),
                 QIcon::Disabled);
    return icon;
}

// The window's side of the core's feedback: the status label, the progress bar and the results
// pane, with the event loop run once per entry so the window stays live.
class WindowFeedback final : public Feedback {
  public:
    explicit WindowFeedback(TMainForm& form) : form_(form) {}

    void CurrentMessage(std::string_view text) override {
        QLabel* label = form_.CurrentMessage;
        const QString full = FromBytes(text);
        label->setText(label->fontMetrics().elidedText(full, Qt::ElideMiddle, label->width()));
        label->setToolTip(label->text() == full ? QString() : full);
    }

    void Progress(int64_t position, int64_t maximum) override {
        // An empty pack or log gives a maximum below 1: an empty bar, not an error.
        const int top = static_cast<int>(std::clamp<int64_t>(maximum, 1, INT_MAX));
        form_.Progress->setRange(0, top);
        form_.Progress->setValue(static_cast<int>(std::clamp<int64_t>(position, 0, top)));
    }

    void Results(std::string_view line) override {
        QTextEdit* pane = form_.Results;
        QTextCursor cursor(pane->document());
        cursor.movePosition(QTextCursor::End);
        if (!pane->document()->isEmpty())
            cursor.insertBlock();
        // Inserted as plain text: an entry name is never read as markup.
        cursor.insertText(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
        QScrollBar* bar = pane->verticalScrollBar();
        bar->setValue(bar->maximum());
    }

    void ClearResults() override { form_.Results->clear(); }

    void ProcessMessages() override { QCoreApplication::processEvents(); }

    bool StopRequested() const override { return form_.StopRequested(); }

  private:
    TMainForm& form_;
};

}  // namespace

TMainForm::TMainForm(std::unique_ptr<Dialogs> dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<QtDialogs>(this)) {
    CreateControls();
    FormCreate();
}

TMainForm::~TMainForm() {
    FormDestroy();
}

void TMainForm::CreateControls() {
    InitPictures();
    setWindowTitle(QStringLiteral("Extract\\Insert Tool"));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    setFont(font);
    setFixedSize(kClientWidth, kClientHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    // Edge borders on all four sides: an etched frame around the buttons.
    ToolBar1->setStyleSheet(QStringLiteral(
        "QToolBar#ToolBar1 { border: 2px groove palette(dark); padding: 0px; spacing: 0px; }"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setContentsMargins(0, 0, 0, 0);
    ToolBar1->layout()->setSpacing(0);
    ToolBar1->layout()->setContentsMargins(0, 0, 0, 0);
    const auto makeToolButton = [this](const QString& picture, bool enabled,
                                       void (TMainForm::*handler)()) {
        auto* button = new QToolButton(ToolBar1);
        button->setIcon(Picture(picture));
        button->setIconSize(QSize(16, 16));
        button->setAutoRaise(true);
        button->setFixedSize(23, 22);
        button->setFocusPolicy(Qt::NoFocus);
        button->setEnabled(enabled);
        connect(button, &QToolButton::clicked, this, handler);
        ToolBar1->addWidget(button);
        return button;
    };
    BAddLog = makeToolButton(QStringLiteral("add"), true, &TMainForm::BAddLogClick);
    BSaveList = makeToolButton(QStringLiteral("save_list"), false, &TMainForm::BSaveListClick);
    BRemLog = makeToolButton(QStringLiteral("remove"), false, &TMainForm::BRemLogClick);
    BProcess = makeToolButton(QStringLiteral("run"), false, &TMainForm::BProcessClick);
    BExit = makeToolButton(QStringLiteral("exit"), true, &TMainForm::BExitClick);
    ToolBar1->setFixedHeight(26);
    layout->addWidget(ToolBar1);

    LogList = new QListWidget(this);
    LogList->setFixedHeight(189);
    LogList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LogList->setUniformItemSizes(true);
    layout->addWidget(LogList);

    Results = new QTextEdit(this);
    Results->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Results->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Results->setLineWrapMode(QTextEdit::WidgetWidth);
    Results->setTabChangesFocus(true);
    layout->addWidget(Results, 1);

    GroupBox1 = new QGroupBox(QStringLiteral(" Process "), this);
    GroupBox1->setFixedHeight(49);
    layout->addWidget(GroupBox1);

    const int labelHeight = std::max(13, fontMetrics().height());
    PFile = new QLabel(GroupBox1);
    PFile->setGeometry(11, 16, 0, labelHeight);
    CurrentMessage = new QLabel(GroupBox1);
    // The status line runs up to the fixed label; longer texts are shortened in the middle.
    CurrentMessage->setGeometry(12, 16, 334 - 12 - 4, labelHeight);
    Extracted = new QLabel(QStringLiteral("Extracted: 0"), GroupBox1);
    Extracted->move(334, 14);
    Extracted->adjustSize();

    SaveLog = new QToolButton(GroupBox1);
    SaveLog->setText(QStringLiteral("Save results"));
    SaveLog->setGeometry(506, 10, 105, 19);
    SaveLog->setEnabled(false);
    connect(SaveLog, &QToolButton::clicked, this, &TMainForm::SaveLogClick);
    Stop = new QToolButton(GroupBox1);
    Stop->setText(QStringLiteral("Stop"));
    Stop->setGeometry(612, 10, 71, 19);
    Stop->setEnabled(false);
    connect(Stop, &QToolButton::clicked, this, &TMainForm::StopClick);

    Progress = new QProgressBar(GroupBox1);
    Progress->setGeometry(12, 32, 671, 13);
    Progress->setRange(0, 100);
    Progress->setValue(0);
    Progress->setTextVisible(false);

    setTabOrder(LogList, Results);
    setTabOrder(Results, SaveLog);
    setTabOrder(SaveLog, Stop);

    // Centred on the desktop.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->availableGeometry();
        move(desk.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
}

void TMainForm::FormCreate() {
    FProcessInput = [this](TInputKind kind, const std::string& path) { ProcessInput(kind, path); };
    state_ = std::make_unique<RunState>();
    feedback_ = std::make_unique<WindowFeedback>(*this);
}

void TMainForm::FormDestroy() {
    state_.reset();
    feedback_.reset();
}

std::vector<std::string> TMainForm::InputPaths() const {
    std::vector<std::string> paths;
    paths.reserve(static_cast<size_t>(LogList->count()));
    for (int i = 0; i < LogList->count(); ++i)
        paths.push_back(LogList->item(i)->data(Qt::UserRole).toByteArray().toStdString());
    return paths;
}

QStringList TMainForm::ResultLines() const {
    if (Results->document()->isEmpty())
        return {};
    return Results->toPlainText().split(QLatin1Char('\n'));
}

void TMainForm::SetListButtons(bool enabled) {
    BRemLog->setEnabled(enabled);
    BProcess->setEnabled(enabled);
    BSaveList->setEnabled(enabled);
}

void TMainForm::ShowError(const std::exception& error) {
    dialogs_->Error(QString::fromLocal8Bit(error.what()));
}

namespace {

void AddPath(QListWidget* list, const std::string& path) {
    auto* item = new QListWidgetItem(FromBytes(path));
    item->setData(Qt::UserRole, QByteArray::fromStdString(path));
    list->addItem(item);
}

}  // namespace

void TMainForm::BAddLogClick() {
    SetListButtons(false);
    const std::optional<OpenChoice> choice = dialogs_->SelectLog(SelectLog);
    if (!choice || choice->Files.isEmpty())
        return;
    SelectLog.FilterIndex = choice->FilterIndex;
    SelectLog.FileName = choice->Files.first();
    try {
        const int filter =
            std::clamp(SelectLog.FilterIndex, 1, static_cast<int>(FilterKinds.size()));
        const TInputKind kind = FilterKinds[static_cast<size_t>(filter - 1)];
        if (kind != FKind)
            LogList->clear();
        FKind = kind;
        if (filter == 2) {
            // A project list replaces the list; of several chosen files only the first is read.
            StringList list;
            list.LoadFromFile(ToBytes(choice->Files.first()));
            LogList->clear();
            for (const std::string& line : list.Lines())
                AddPath(LogList, line);
        } else {
            for (const QString& file : choice->Files)
                AddPath(LogList, ToBytes(file));
        }
        SetListButtons(true);
    } catch (const std::exception& error) {
        ShowError(error);
    }
}

void TMainForm::BRemLogClick() {
    for (int i = LogList->count() - 1; i >= 0; --i) {
        if (LogList->item(i)->isSelected())
            delete LogList->takeItem(i);
    }
    if (LogList->count() > 0) {
        // The focus moves to the last entry; nothing is selected.
        LogList->clearSelection();
        LogList->selectionModel()->setCurrentIndex(LogList->model()->index(LogList->count() - 1, 0),
                                                   QItemSelectionModel::NoUpdate);
    } else {
        SetListButtons(false);
        LogList->setCurrentRow(-1);
    }
}

void TMainForm::BSaveListClick() {
    const std::optional<QString> path = dialogs_->SaveLST(SaveLST);
    if (!path)
        return;
    SaveLST.FileName = *path;
    try {
        StringList list;
        for (std::string& entry : InputPaths())
            list.Add(std::move(entry));
        list.SaveToFile(ToBytes(*path));
    } catch (const std::exception& error) {
        ShowError(error);
    }
}

void TMainForm::SaveLogClick() {
    const std::optional<QString> path = dialogs_->SaveRes(SaveRes);
    if (!path)
        return;
    SaveRes.FileName = *path;
    try {
        // Rich Text Format whatever the extension, in the pane's font; typed text included.
        const QFont paneFont = Results->font();
        const std::string document =
            RichTextDocument(ResultLines(), paneFont.family(), std::max(1, paneFont.pointSize()));
        SaveFileAtomic(ToBytes(*path), document.data(), document.size());
    } catch (const std::exception& error) {
        ShowError(error);
        return;
    }
    dialogs_->Information(QFileInfo(*path).fileName(), QStringLiteral("Operation status"));
    SaveLog->setEnabled(false);
}

void TMainForm::StopClick() {
    stopTag_ = 1;
    Stop->setEnabled(false);
}

void TMainForm::BExitClick() {
    close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (running_) {
        // The run stops at its next entry; the window closes once it has.
        closePending_ = true;
        StopClick();
        event->ignore();
        return;
    }
    event->accept();
}

bool TMainForm::AcceptTargetDirectory(const QString& path) {
    const std::string bytes = ToBytes(path);
    if (DirectoryExists(bytes))
        return true;
    if (!dialogs_->AskCreateDirectory(path))
        return false;
    if (!ForceDirectories(bytes)) {
        dialogs_->Error(QStringLiteral("Cannot create directory %1").arg(path));
        return false;
    }
    return true;
}

void TMainForm::ProcessInput(TInputKind kind, const std::string& path) {
    Results->setFocus();
    SaveLog->setEnabled(false);
    Stop->setEnabled(true);
    try {
        rpq::ProcessInput(*state_, *feedback_, kind, path);
    } catch (const EStopped&) {
        FinishInput();
        throw;
    }
    FinishInput();
}

void TMainForm::FinishInput() {
    Stop->setEnabled(false);
    SaveLog->setEnabled(!Results->document()->isEmpty());
}

void TMainForm::BProcessClick() {
    if (running_ || LogList->count() == 0)
        return;
    Results->clear();
    state_->ResultLog.Clear();
    state_->TargetDir = GetCurrentDir();
    const std::optional<QString> target = dialogs_->SelectDirectory(
        FromBytes(state_->TargetDir),
        [this](const QString& path) { return AcceptTargetDirectory(path); });

    if (target) {
        RunRequest request;
        request.Inputs = InputPaths();
        request.FKind = FKind;
        request.FilterIndex = SelectLog.FilterIndex;
        request.TargetDir = ToBytes(*target);

        // One run at a time: the list and the tool bar are held while it works; Exit and the
        // close box stay live and stop the run.
        const bool listButtons = BProcess->isEnabled();
        running_ = true;
        stopTag_ = 0;
        closePending_ = false;
        BAddLog->setEnabled(false);
        SetListButtons(false);

        bool failed = false;
        try {
            lastOutcome_ = RunBatch(*state_, *feedback_, request, FProcessInput);
        } catch (const std::exception& error) {
            failed = true;
            if (!closePending_)
                ShowError(error);
        }

        running_ = false;
        BAddLog->setEnabled(true);
        SetListButtons(listButtons);
        if (failed || lastOutcome_ == RunOutcome::Stopped) {
            // Nothing runs any more, so there is nothing to stop; what the pane shows of the
            // broken-off run can be saved.
            Stop->setEnabled(false);
            SaveLog->setEnabled(!Results->document()->isEmpty());
        }
        if (closePending_) {
            close();
            return;
        }
        if (failed || lastOutcome_ == RunOutcome::Stopped)
            return;
    }
    dialogs_->Information(QStringLiteral("Operation complete!"), QStringLiteral("Process status:"));
}

bool StyleGiven(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-style" || arg == "--style" || arg.starts_with("-style=") ||
            arg.starts_with("--style="))
            return true;
    }
    return false;
}

void UseClassicStyle() {
    if (qEnvironmentVariableIsSet("QT_STYLE_OVERRIDE"))
        return;
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows")))
        QApplication::setStyle(style);
}

}  // namespace rpq
