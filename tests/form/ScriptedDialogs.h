#pragma once
// Dialogs for window tests: records what the window showed and answers from a
// script, so no test ever waits on a real modal dialog.

#include "app/Dialogs.h"

#include <QStringList>
#include <QUrl>

#include <deque>
#include <functional>
#include <optional>

class ScriptedDialogs : public Dialogs {
public:
    QStringList messages;
    QList<QUrl> openedUrls;
    QStringList prompts;         // caption of every prompt shown
    QStringList promptQuestions; // and its question and initial text
    QStringList promptTexts;
    QList<FolderDialogRequest> folderRequests; // every folder dialog opened
    // Answers in order; a prompt with no answer left is cancelled, a Yes/No
    // question with none left is answered No.
    std::deque<std::optional<QString>> promptAnswers;
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<std::optional<QString>> folderAnswers;

    // Runs as each message is shown.
    std::function<void()> onMessage;

    void showMessage(const QString& text) override {
        messages << text;
        if (onMessage)
            onMessage();
    }
    bool askYesNo(const QString&, const QString& text) override {
        messages << text;
        return take(yesNoAnswers, false);
    }
    std::optional<QString> prompt(const QString& caption, const QString& question,
                                  const QString& initialText) override {
        prompts << caption;
        promptQuestions << question;
        promptTexts << initialText;
        return take(promptAnswers, std::optional<QString>());
    }
    std::optional<QString> openFile(const FileDialogRequest&) override {
        return take(fileAnswers, std::optional<QString>());
    }
    std::optional<QString> saveFile(const FileDialogRequest&) override {
        return take(fileAnswers, std::optional<QString>());
    }
    std::optional<QString> browseFolder(const FolderDialogRequest& request) override {
        folderRequests << request;
        return take(folderAnswers, std::optional<QString>());
    }
    void openUrl(const QUrl& url) override { openedUrls << url; }

private:
    template <typename T> static T take(std::deque<T>& answers, T fallback) {
        if (answers.empty())
            return fallback;
        T answer = answers.front();
        answers.pop_front();
        return answer;
    }
};
