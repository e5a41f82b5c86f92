// A Dialogs double: answers come from queues the test fills, questions are recorded.
#pragma once

#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "ui/dialogs.h"

namespace rpq::test {

class FakeDialogs final : public Dialogs {
  public:
    // Answers; an empty queue answers as a cancelled dialog.
    std::deque<std::optional<OpenChoice>> selectLog;
    std::deque<std::optional<QString>> saveLst;
    std::deque<std::optional<QString>> saveRes;
    // The paths the user confirms in the directory dialog, one after another, until one is
    // accepted; when none is, the dialog is cancelled.
    std::deque<QString> directoryAttempts;
    std::deque<bool> createAnswers;  // answers to the create question (No when empty)

    // What was asked.
    std::vector<FileDialogMemory> selectLogOpened;
    QStringList directoryStarts;
    QStringList createQuestions;
    std::vector<std::pair<QString, QString>> information;  // text, caption
    QStringList errors;

    std::optional<OpenChoice> SelectLog(const FileDialogMemory& memory) override {
        selectLogOpened.push_back(memory);
        return Next(selectLog);
    }
    std::optional<QString> SaveLST(const FileDialogMemory&) override { return Next(saveLst); }
    std::optional<QString> SaveRes(const FileDialogMemory&) override { return Next(saveRes); }
    std::optional<QString> SelectDirectory(
        const QString& start, const std::function<bool(const QString&)>& accept) override {
        directoryStarts << start;
        while (!directoryAttempts.empty()) {
            const QString path = directoryAttempts.front();
            directoryAttempts.pop_front();
            if (accept(path))
                return path;
        }
        return std::nullopt;
    }
    bool AskCreateDirectory(const QString& path) override {
        createQuestions << path;
        if (createAnswers.empty())
            return false;
        const bool yes = createAnswers.front();
        createAnswers.pop_front();
        return yes;
    }
    void Information(const QString& text, const QString& caption) override {
        information.emplace_back(text, caption);
    }
    void Error(const QString& text) override { errors << text; }

  private:
    template <typename T>
    static std::optional<T> Next(std::deque<std::optional<T>>& answers) {
        if (answers.empty() || !answers.front()) {
            if (!answers.empty())
                answers.pop_front();
            return std::nullopt;
        }
        const T answer = *answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace rpq::test
