// The main window driven through its handlers with the dialogs replaced: the enabling of the
// buttons, filling, pruning and saving the input list, whole runs over packs and result logs,
// saving the results, stopping and closing during a run.
#include <memory>
#include <string>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "tests/support/pack_builder.h"
#include "tests/ui/fake_dialogs.h"
#include "toolkit/files.h"
#include "ui/main_form.h"

using rpq::OpenChoice;
using rpq::TMainForm;
using rpq::test::FakeDialogs;
using rpq::test::PackBuilder;

namespace {

std::string Bytes(const QString& s) {
    return QFile::encodeName(s).toStdString();
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The enabling of BAddLog, BSaveList, BRemLog, BProcess, BExit, Stop and SaveLog as '1' and '0'.
QString Enabling(const TMainForm& form) {
    QString s;
    const QList<const QWidget*> buttons = {form.BAddLog,  form.BSaveList, form.BRemLog,
                                           form.BProcess, form.BExit,     form.Stop,
                                           form.SaveLog};
    for (const QWidget* w : buttons)
        s += w->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

// The lines of a document written by the results writer, read back: the body after the font
// size, \par ending each line, the escapes undone.
QStringList ReadRtfLines(const QByteArray& rtf) {
    const int fs = rtf.indexOf("\\fs");
    int i = rtf.indexOf(' ', fs) + 1;
    QStringList lines;
    QString line;
    while (i < rtf.size()) {
        const char c = rtf[i];
        if (c == '}') {
            break;
        } else if (c == '\r' || c == '\n') {
            ++i;
        } else if (c != '\\') {
            line += QLatin1Char(c);
            ++i;
        } else if (rtf.mid(i, 4) == "\\par") {
            lines << line;
            line.clear();
            i += 4;
        } else if (rtf.mid(i, 5) == "\\tab ") {
            line += QLatin1Char('\t');
            i += 5;
        } else if (rtf.mid(i, 2) == "\\u") {
            const int end = rtf.indexOf('?', i);
            line += QChar(static_cast<char16_t>(rtf.mid(i + 2, end - i - 2).toInt()));
            i = end + 1;
        } else {
            line += QLatin1Char(rtf[i + 1]);  // \\ \{ \}
            i += 2;
        }
    }
    return lines;
}

}  // namespace

class MainFormTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir tmp_;
    QString startDir_;
    FakeDialogs* dialogs_ = nullptr;
    std::unique_ptr<TMainForm> form_;

    QString Path(const QString& name) const { return tmp_.filePath(name); }

    // Packs: a (two entries with data and one without), b (one entry), empty (no entry),
    // big (many entries, for stopping).
    void WritePacks() {
        PackBuilder()
            .Add("tree.tga", std::string(300, 'T') + "leaves")
            .Add("readme.txt", "hello\r\nworld\r\n")
            .AddEmpty("nodata.bin")
            .Write(Bytes(Path("a.rpq")));
        PackBuilder().Add("click.wav", std::string(64, '\x7f')).Write(Bytes(Path("b.rpq")));
        PackBuilder().Write(Bytes(Path("empty.rpq")));
        PackBuilder big;
        for (int i = 0; i < 40; ++i)
            big.Add("file" + std::to_string(i) + ".dat", std::string(100 + i, 'x'));
        big.Write(Bytes(Path("big.rpq")));
    }

    void Choose(QStringList files, int filter) {
        dialogs_->selectLog.push_back(OpenChoice{std::move(files), filter});
    }
    void Add(QStringList files, int filter) {
        Choose(std::move(files), filter);
        form_->BAddLogClick();
    }
    void Run(const QString& target) {
        dialogs_->directoryAttempts.push_back(target);
        dialogs_->createAnswers.push_back(true);
        form_->BProcessClick();
    }
    QStringList ListTexts() const {
        QStringList texts;
        for (int i = 0; i < form_->LogList->count(); ++i)
            texts << form_->LogList->item(i)->text();
        return texts;
    }
    void WriteList(const QString& name, const QByteArray& bytes) {
        QFile file(Path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

  private slots:
    void init() {
        QVERIFY(tmp_.isValid());
        startDir_ = QDir::currentPath();
        WritePacks();
        auto dialogs = std::make_unique<FakeDialogs>();
        dialogs_ = dialogs.get();
        form_ = std::make_unique<TMainForm>(std::move(dialogs));
    }

    void cleanup() {
        form_.reset();
        QDir::setCurrent(startDir_);
        QVERIFY(tmp_.remove());
        tmp_.~QTemporaryDir();
        new (&tmp_) QTemporaryDir();
    }

    void windowLayout() {
        QCOMPARE(form_->windowTitle(), QStringLiteral("Extract\\Insert Tool"));
        QCOMPARE(form_->size(), QSize(688, 453));
        QCOMPARE(form_->minimumSize(), form_->maximumSize());
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QCOMPARE(form_->ToolBar1->geometry(), QRect(0, 0, 688, 26));
        QCOMPARE(form_->LogList->geometry(), QRect(0, 26, 688, 189));
        QCOMPARE(form_->GroupBox1->geometry(), QRect(0, 453 - 49, 688, 49));
        QCOMPARE(form_->Results->geometry(), QRect(0, 26 + 189, 688, 453 - 26 - 189 - 49));
        QCOMPARE(form_->GroupBox1->title(), QStringLiteral(" Process "));
        QCOMPARE(form_->SaveLog->geometry(), QRect(506, 10, 105, 19));
        QCOMPARE(form_->Stop->geometry(), QRect(612, 10, 71, 19));
        QCOMPARE(form_->Progress->geometry(), QRect(12, 32, 671, 13));
        QCOMPARE(form_->CurrentMessage->pos(), QPoint(12, 16));
        QCOMPARE(form_->Extracted->pos(), QPoint(334, 14));
        QCOMPARE(form_->Extracted->text(), QStringLiteral("Extracted: 0"));
        QCOMPARE(form_->SaveLog->text(), QStringLiteral("Save results"));
        QCOMPARE(form_->Stop->text(), QStringLiteral("Stop"));
        QCOMPARE(form_->LogList->selectionMode(), QAbstractItemView::ExtendedSelection);
        QVERIFY(!form_->Results->isReadOnly());
        QCOMPARE(form_->Results->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(form_->Progress->minimum(), 0);
        QCOMPARE(form_->Progress->maximum(), 100);
        // The tool buttons in their order, 23 pixels apart, with pictures.
        const QList<QToolButton*> buttons = {form_->BAddLog, form_->BSaveList, form_->BRemLog,
                                             form_->BProcess, form_->BExit};
        for (int i = 0; i < buttons.size(); ++i) {
            QCOMPARE(buttons[i]->geometry().left() - buttons[0]->geometry().left(), 23 * i);
            QVERIFY(!buttons[i]->icon().pixmap(16, 16, QIcon::Normal).isNull());
            QVERIFY(!buttons[i]->icon().pixmap(16, 16, QIcon::Disabled).isNull());
        }
        // Tab order: list, results, status area.
        QList<QWidget*> tabStops;
        QWidget* w = form_->LogList;
        do {
            if (w == form_->LogList || w == form_->Results || w == form_->SaveLog ||
                w == form_->Stop)
                tabStops << w;
            w = w->nextInFocusChain();
        } while (w != form_->LogList);
        QCOMPARE(tabStops,
                 (QList<QWidget*>{form_->LogList, form_->Results, form_->SaveLog, form_->Stop}));
    }

    // The enabling table, reached through sequences of user actions.
    void enablingTable_data() {
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QString>(
            "expected");  // BAddLog BSaveList BRemLog BProcess BExit Stop SaveLog
        QTest::newRow("window created") << QStringList{} << "1000100";
        QTest::newRow("add confirmed") << QStringList{"addPacks"} << "1111100";
        QTest::newRow("add cancelled with entries")
            << QStringList{"addPacks", "cancelAdd"} << "1000100";
        QTest::newRow("add cancelled on empty list") << QStringList{"cancelAdd"} << "1000100";
        QTest::newRow("empty project list") << QStringList{"addEmptyList"} << "1111100";
        QTest::newRow("removal empties the list")
            << QStringList{"addPacks", "selectAll", "remove"} << "1000100";
        QTest::newRow("removal leaves entries")
            << QStringList{"addPacks", "selectFirst", "remove"} << "1111100";
        QTest::newRow("run leaves lines") << QStringList{"addPacks", "run"} << "1111101";
        QTest::newRow("run over an empty pack leaves none")
            << QStringList{"addEmptyPack", "run"} << "1111100";
        QTest::newRow("results saved")
            << QStringList{"addPacks", "run", "saveResults"} << "1111100";
        QTest::newRow("later run enables SaveLog again")
            << QStringList{"addPacks", "run", "saveResults", "run"} << "1111101";
        QTest::newRow("cancelled directory dialog changes nothing")
            << QStringList{"addPacks", "run", "cancelRun"} << "1111101";
        QTest::newRow("save list changes nothing")
            << QStringList{"addPacks", "saveList"} << "1111100";
        QTest::newRow("run broken off by an error")
            << QStringList{"addMissingPack", "run"} << "1111100";
    }

    void enablingTable() {
        QFETCH(QStringList, actions);
        QFETCH(QString, expected);
        int runs = 0;
        for (const QString& action : actions) {
            if (action == "addPacks") {
                Add({Path("a.rpq"), Path("b.rpq")}, 1);
            } else if (action == "addEmptyPack") {
                Add({Path("empty.rpq")}, 1);
            } else if (action == "addMissingPack") {
                Add({Path("missing.rpq")}, 1);
            } else if (action == "addEmptyList") {
                WriteList("empty.lst", {});
                Add({Path("empty.lst")}, 2);
            } else if (action == "cancelAdd") {
                form_->BAddLogClick();
            } else if (action == "selectAll") {
                form_->LogList->selectAll();
            } else if (action == "selectFirst") {
                form_->LogList->item(0)->setSelected(true);
            } else if (action == "remove") {
                form_->BRemLogClick();
            } else if (action == "run") {
                Run(Path(QStringLiteral("out%1").arg(++runs)));
            } else if (action == "cancelRun") {
                form_->BProcessClick();
            } else if (action == "saveResults") {
                dialogs_->saveRes.push_back(Path("results.txt"));
                form_->SaveLogClick();
            } else if (action == "saveList") {
                dialogs_->saveLst.push_back(Path("saved.lst"));
                form_->BSaveListClick();
            } else {
                QFAIL(qPrintable("unknown action " + action));
            }
        }
        QCOMPARE(Enabling(*form_), expected);
        QVERIFY(!form_->Running());
    }

    void addAppendsSameKindAndReplacesOtherKind() {
        Add({Path("a.rpq")}, 1);
        Add({Path("b.rpq"), Path("a.rpq")}, 1);
        QCOMPARE(ListTexts(), (QStringList{Path("a.rpq"), Path("b.rpq"), Path("a.rpq")}));
        QCOMPARE(int(form_->FKind), int(rpq::ikPack));
        Add({Path("x.log"), Path("y.log")}, 3);
        QCOMPARE(ListTexts(), (QStringList{Path("x.log"), Path("y.log")}));
        QCOMPARE(int(form_->FKind), int(rpq::ikLog));
    }

    void projectListReplacesEvenSameKind() {
        WriteList("one.lst", "first.log\r\nsecond.log\r\n");
        WriteList("two.lst", "third.log\n");
        Add({Path("one.lst")}, 2);
        QCOMPARE(ListTexts(), (QStringList{"first.log", "second.log"}));
        QCOMPARE(int(form_->FKind), int(rpq::ikList));
        Add({Path("two.lst")}, 2);
        QCOMPARE(ListTexts(), (QStringList{"third.log"}));
        // Two lists at once: only the first is read.
        Add({Path("one.lst"), Path("two.lst")}, 2);
        QCOMPARE(ListTexts(), (QStringList{"first.log", "second.log"}));
    }

    void cancelKeepsListKindAndFilter() {
        Add({Path("x.log")}, 3);
        form_->BAddLogClick();  // cancelled
        QCOMPARE(ListTexts(), QStringList{Path("x.log")});
        QCOMPARE(int(form_->FKind), int(rpq::ikLog));
        QCOMPARE(form_->SelectLog.FilterIndex, 3);
        // The dialog opened first with filter 1, then with the filter of the confirmed add.
        QCOMPARE(dialogs_->selectLogOpened.size(), size_t(2));
        QCOMPARE(dialogs_->selectLogOpened[0].FilterIndex, 1);
        QCOMPARE(dialogs_->selectLogOpened[1].FilterIndex, 3);
        QCOMPARE(dialogs_->selectLogOpened[1].FileName, Path("x.log"));
    }

    void unreadableProjectList() {
        Add({Path("a.rpq")}, 1);
        Add({Path("none.lst")}, 2);
        QCOMPARE(dialogs_->errors, QStringList{"Cannot open file " + Path("none.lst")});
        QCOMPARE(int(form_->FKind), int(rpq::ikList));
        QCOMPARE(form_->LogList->count(), 0);  // the kind changed: the list was emptied
        QCOMPARE(Enabling(*form_), QStringLiteral("1000100"));

        WriteList("one.lst", "first.log\r\n");
        Add({Path("one.lst")}, 2);
        Add({Path("none.lst")}, 2);
        QCOMPARE(ListTexts(), QStringList{"first.log"});  // same kind: the list stays
        QCOMPARE(Enabling(*form_), QStringLiteral("1000100"));
    }

    void removeSelectedEntries() {
        Add({"p0", "p1", "p2", "p3", "p4"}, 1);
        for (int i = 1; i <= 3; ++i)
            form_->LogList->item(i)->setSelected(true);
        form_->BRemLogClick();
        QCOMPARE(ListTexts(), (QStringList{"p0", "p4"}));
        QCOMPARE(form_->LogList->currentRow(), 1);
        QVERIFY(form_->LogList->selectedItems().isEmpty());

        // Nothing selected: nothing removed, the focus moves to the last entry.
        form_->LogList->setCurrentRow(0, QItemSelectionModel::NoUpdate);
        form_->BRemLogClick();
        QCOMPARE(ListTexts(), (QStringList{"p0", "p4"}));
        QCOMPARE(form_->LogList->currentRow(), 1);
        QVERIFY(form_->LogList->selectedItems().isEmpty());

        form_->LogList->selectAll();
        form_->BRemLogClick();
        QCOMPARE(form_->LogList->count(), 0);
        QCOMPARE(form_->LogList->currentRow(), -1);
        QCOMPARE(Enabling(*form_), QStringLiteral("1000100"));
    }

    void savedListLoadsBackAsProjectList() {
        Add({Path("a.rpq"), Path("b.rpq")}, 1);
        form_->BSaveListClick();  // cancelled: no file
        QVERIFY(!QFile::exists(Path("saved.lst")));
        dialogs_->saveLst.push_back(Path("saved.lst"));
        form_->BSaveListClick();
        QCOMPARE(ReadAll(Path("saved.lst")),
                 QFile::encodeName(Path("a.rpq") + "\r\n" + Path("b.rpq") + "\r\n"));
        QCOMPARE(int(form_->FKind), int(rpq::ikPack));
        QVERIFY(dialogs_->information.empty());

        Add({Path("saved.lst")}, 2);
        QCOMPARE(int(form_->FKind), int(rpq::ikList));
        QCOMPARE(ListTexts(), (QStringList{Path("a.rpq"), Path("b.rpq")}));
    }

    void listKeepsPathBytes() {
        // A path that is not valid UTF-8 is run and saved byte for byte, not as its display.
        const QByteArray odd("caf\xe9\\odd.log\r\nplain.log\r\n");
        WriteList("odd.lst", odd);
        Add({Path("odd.lst")}, 2);
        QCOMPARE(form_->InputPaths(), (std::vector<std::string>{"caf\xe9\\odd.log", "plain.log"}));
        dialogs_->saveLst.push_back(Path("again.lst"));
        form_->BSaveListClick();
        QCOMPARE(ReadAll(Path("again.lst")), odd);
    }

    void unwritableList() {
        Add({Path("a.rpq")}, 1);
        dialogs_->saveLst.push_back(Path("no/such/dir/x.lst"));
        form_->BSaveListClick();
        QCOMPARE(dialogs_->errors.size(), 1);
        QVERIFY(dialogs_->errors[0].startsWith("Cannot create file"));
        QCOMPARE(Enabling(*form_), QStringLiteral("1111100"));
    }

    void extractThenInsertThroughTheWindow() {
        Add({Path("a.rpq"), Path("b.rpq")}, 1);
        const QString out = Path("deep/out");  // does not exist yet: created with its parent
        Run(out);
        QCOMPARE(dialogs_->createQuestions, QStringList{out});
        QVERIFY(dialogs_->errors.isEmpty());
        QVERIFY(QFileInfo(out).isDir());
        QCOMPARE(form_->ResultLines(), (QStringList{"tree.tga decompressed sucessfully.",
                                                    "readme.txt decompressed sucessfully.",
                                                    "click.wav decompressed sucessfully."}));
        QCOMPARE(ReadAll(out + "/a/TXT/readme.txt"), QByteArray("hello\r\nworld\r\n"));
        QCOMPARE(ReadAll(out + "/result.log"),
                 QFile::encodeName(
                     "#Format: RPQ\r\n#Source: " + Path("a.rpq") + "\r\n#Target ARC(RLE): " + out +
                     "/a/TGA/tree.tga\r\n#Target ARC(RLE): " + out +
                     "/a/TXT/readme.txt\r\n#Format: RPQ\r\n#Source: " + Path("b.rpq") +
                     "\r\n#Target ARC(RLE): " + out + "/b/WAV/click.wav\r\n"));
        QCOMPARE(dialogs_->information.size(), size_t(1));
        QCOMPARE(dialogs_->information[0], qMakePair(QStringLiteral("Operation complete!"),
                                                     QStringLiteral("Process status:")));
        QCOMPARE(form_->CurrentMessage->text(), QString());
        QCOMPARE(form_->Progress->value(), 0);
        QCOMPARE(QDir::currentPath(), out);
        QCOMPARE(int(form_->LastOutcome()), int(rpq::RunOutcome::Completed));

        // Edit one file, then rebuild from the result log into an existing directory.
        QFile edited(out + "/a/TGA/tree.tga");
        QVERIFY(edited.open(QIODevice::WriteOnly | QIODevice::Truncate));
        edited.write("new picture");
        edited.close();
        QVERIFY(QDir().mkpath(Path("new")));
        Add({out + "/result.log"}, 3);
        QCOMPARE(ListTexts(), QStringList{out + "/result.log"});
        Run(Path("new"));
        QCOMPARE(dialogs_->directoryStarts.last(), out);  // opens on the previous target
        QCOMPARE(dialogs_->createQuestions.size(), 1);    // the existing directory was not asked
        QVERIFY(dialogs_->errors.isEmpty());
        QVERIFY(QFile::exists(Path("new/a.rpq")));
        QVERIFY(QFile::exists(Path("new/b.rpq")));
        QVERIFY(!QFile::exists(Path("new/result.log")));  // logs chosen directly save no log
        QVERIFY(form_->ResultLines().contains("tree.tga compressed succesfull."));
        QCOMPARE(dialogs_->information.size(), size_t(2));

        // The rebuilt pack holds the edited file and the untouched one.
        Add({Path("new/a.rpq")}, 1);
        Run(Path("check"));
        QCOMPARE(ReadAll(Path("check/a/TGA/tree.tga")), QByteArray("new picture"));
        QCOMPARE(ReadAll(Path("check/a/TXT/readme.txt")), QByteArray("hello\r\nworld\r\n"));
    }

    void projectListRunSavesItsLog() {
        Add({Path("a.rpq")}, 1);
        Run(Path("first"));
        WriteList("project.lst", QFile::encodeName(Path("first/result.log")) + "\r\n");
        Add({Path("project.lst")}, 2);
        Run(Path("second"));
        QVERIFY(QFile::exists(Path("second/a.rpq")));
        // Filter 2 names no format: the format line ends after its blank.
        QCOMPARE(ReadAll(Path("second/result.log")),
                 QFile::encodeName("#Format: \r\n#Source: " + Path("first/result.log") + "\r\n"));
    }

    void directoryDialogQuestions() {
        Add({Path("b.rpq")}, 1);
        const QString target = Path("x/y/z");
        dialogs_->directoryAttempts = {target, target};
        dialogs_->createAnswers = {false, true};  // No keeps the dialog open; Yes creates
        form_->BProcessClick();
        QCOMPARE(dialogs_->createQuestions, (QStringList{target, target}));
        QVERIFY(QFileInfo(target + "/b/WAV/click.wav").isFile());
        QCOMPARE(dialogs_->information.size(), size_t(1));
    }

    void cancelledDirectoryDialog() {
        Add({Path("a.rpq")}, 1);
        form_->Results->setPlainText("old line");
        const QString before = QDir::currentPath();
        form_->BProcessClick();  // no attempt: cancelled
        QCOMPARE(dialogs_->directoryStarts, QStringList{before});
        QVERIFY(form_->ResultLines().isEmpty());
        QVERIFY(form_->State().ResultLog.Empty());
        QCOMPARE(QDir::currentPath(), before);
        QVERIFY(!QFile::exists(before + "/result.log"));
        QCOMPARE(dialogs_->information.size(), size_t(1));
        QCOMPARE(dialogs_->information[0].first, QStringLiteral("Operation complete!"));
    }

    void emptyListRunDoesNothing() {
        WriteList("empty.lst", {});
        Add({Path("empty.lst")}, 2);
        form_->Results->setPlainText("kept");
        form_->BProcessClick();
        QVERIFY(dialogs_->directoryStarts.isEmpty());
        QVERIFY(dialogs_->information.empty());
        QCOMPARE(form_->ResultLines(), QStringList{"kept"});
    }

    void errorEndsRunAndWindowStaysUsable() {
        Add({Path("b.rpq"), Path("missing.rpq"), Path("a.rpq")}, 1);
        Run(Path("out"));
        QCOMPARE(dialogs_->errors, QStringList{"Cannot open file " + Path("missing.rpq")});
        QVERIFY(dialogs_->information.empty());
        QVERIFY(!QFile::exists(Path("out/result.log")));
        QVERIFY(!QFile::exists(Path("out/a")));  // the inputs after the error are not handled
        QCOMPARE(form_->ResultLines(), QStringList{"click.wav decompressed sucessfully."});
        QCOMPARE(Enabling(*form_), QStringLiteral("1111101"));

        // A later run works.
        form_->LogList->item(1)->setSelected(true);
        form_->BRemLogClick();
        Run(Path("out"));
        QCOMPARE(dialogs_->errors.size(), 1);
        QVERIFY(QFile::exists(Path("out/result.log")));
        QCOMPARE(dialogs_->information.size(), size_t(1));
    }

    void stopDuringRun() {
        Add({Path("big.rpq"), Path("a.rpq")}, 1);
        QString during;
        QString afterClick;
        // Clicked while the run handles the first entries of the big pack.
        QTimer::singleShot(0, form_.get(), [&] {
            during = Enabling(*form_);
            form_->Stop->click();
            afterClick = Enabling(*form_);
        });
        Run(Path("out"));
        QCOMPARE(during, QStringLiteral("0000110"));  // tool bar held, Exit and Stop live
        QCOMPARE(afterClick, QStringLiteral("0000100"));
        QCOMPARE(int(form_->LastOutcome()), int(rpq::RunOutcome::Stopped));
        const QStringList lines = form_->ResultLines();
        QCOMPARE(lines.last(), QStringLiteral("Operation stopped."));
        QVERIFY(lines.size() < 40);
        QVERIFY(!QFile::exists(Path("out/result.log")));
        QVERIFY(!QFile::exists(Path("out/a")));
        QVERIFY(dialogs_->information.empty());
        QVERIFY(dialogs_->errors.isEmpty());
        QCOMPARE(Enabling(*form_), QStringLiteral("1111101"));

        // The next run is not stopped by the old request.
        Run(Path("again"));
        QCOMPARE(int(form_->LastOutcome()), int(rpq::RunOutcome::Completed));
        QVERIFY(QFile::exists(Path("again/result.log")));
    }

    void closeDuringRunStopsThenCloses() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        Add({Path("big.rpq")}, 1);
        bool stillOpen = false;
        QTimer::singleShot(0, form_.get(), [&] {
            form_->BExit->click();
            stillOpen = form_->isVisible();  // the run has to end first
        });
        Run(Path("out"));
        QVERIFY(stillOpen);
        QVERIFY(!form_->isVisible());
        QCOMPARE(int(form_->LastOutcome()), int(rpq::RunOutcome::Stopped));
        QVERIFY(!QFile::exists(Path("out/result.log")));
        QVERIFY(dialogs_->information.empty());
    }

    void saveResultsAsRichText() {
        Add({Path("a.rpq")}, 1);
        Run(Path("out"));
        form_->Results->moveCursor(QTextCursor::End);
        // Typed by the user: ASCII through key clicks, the rest as the text of key events.
        QTest::keyClicks(form_->Results, " typed {x} \\ ");
        for (const QString& text :
             {QStringLiteral("caf\u00e9"), QStringLiteral(" \u20ac "), QStringLiteral("\uff21")}) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
            QApplication::sendEvent(form_->Results, &press);
        }
        form_->SaveLogClick();  // cancelled: nothing written, SaveLog stays
        QVERIFY(form_->SaveLog->isEnabled());

        const QString file = Path("results.txt");
        dialogs_->saveRes.push_back(file);
        form_->SaveLogClick();
        const QByteArray rtf = ReadAll(file);
        QVERIFY(rtf.startsWith("{\\rtf1"));
        QVERIFY(rtf.contains("{\\fonttbl{\\f0\\fnil\\fcharset0 MS Sans Serif;}}"));
        QVERIFY(rtf.contains("\\fs16 "));
        QVERIFY(rtf.contains(" typed \\{x\\} \\\\ caf\\u233? \\u8364? \\u-223?\\par"));
        QCOMPARE(ReadRtfLines(rtf),
                 (QStringList{"tree.tga decompressed sucessfully.",
                              "readme.txt decompressed sucessfully. typed {x} \\ caf\u00e9 "
                              "\u20ac \uff21"}));
        QCOMPARE(dialogs_->information.back(),
                 qMakePair(QStringLiteral("results.txt"), QStringLiteral("Operation status")));
        QVERIFY(!form_->SaveLog->isEnabled());
    }

    void unwritableResults() {
        Add({Path("b.rpq")}, 1);
        Run(Path("out"));
        const size_t boxes = dialogs_->information.size();
        dialogs_->saveRes.push_back(Path("no/such/dir/r.txt"));
        form_->SaveLogClick();
        QCOMPARE(dialogs_->errors.size(), 1);
        QVERIFY(dialogs_->errors[0].startsWith("Cannot create file"));
        QCOMPARE(dialogs_->information.size(), boxes);
        QVERIFY(form_->SaveLog->isEnabled());
    }

    // The desktop's directory dialog: a typed path that does not exist yet is offered to the
    // check, the dialog stays open while the check refuses, and closes with the accepted path.
    void directoryDialogTakesTypedPath() {
        rpq::QtDialogs desktop(nullptr);
        const QString typed = Path("typed/new dir");
        QStringList offered;
        bool openAfterRefusal = false;
        const auto confirm = [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            auto* edit = dialog->findChild<QLineEdit*>();
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            QVERIFY(edit && buttons);
            edit->setText(typed);
            buttons->button(QDialogButtonBox::Ok)->click();
        };
        QTimer::singleShot(0, [&] {
            confirm();
            openAfterRefusal = QApplication::activeModalWidget() != nullptr;
            QTimer::singleShot(0, confirm);
        });
        const std::optional<QString> chosen =
            desktop.SelectDirectory(tmp_.path(), [&](const QString& path) {
                offered << path;
                return offered.size() == 2;
            });
        QVERIFY(openAfterRefusal);
        QCOMPARE(offered, (QStringList{typed, typed}));
        QCOMPARE(chosen, std::optional<QString>(typed));
    }

    void emptyPackProgress() {
        Add({Path("empty.rpq")}, 1);
        Run(Path("out"));
        QVERIFY(dialogs_->errors.isEmpty());
        QVERIFY(form_->ResultLines().isEmpty());
        QCOMPARE(form_->Progress->value(), 0);
        QVERIFY(form_->Progress->maximum() > form_->Progress->minimum());  // no busy indicator
        QCOMPARE(ReadAll(Path("out/result.log")),
                 QFile::encodeName("#Format: RPQ\r\n#Source: " + Path("empty.rpq") + "\r\n"));
    }
};

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
