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
    QStringList prompts;                   // caption of every prompt shown
    QStringList promptQuestions;           // and its question,
    QStringList promptInitialTexts;        // its initial text
    QStringList promptTexts;               // and both, "question|initial"
    QList<FolderDialogRequest> folderRequests; // every folder dialog opened
    QList<FileDialogRequest> fileRequests; // every open and save dialog, in order
    // Answers in order; a prompt with no answer left is cancelled, a Yes/No
    // question with none left is answered No.
    std::deque<std::optional<QString>> promptAnswers;
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<std::optional<QString>> folderAnswers;
    // Every list of findings shown, with its title; a list with no answer
    // left is closed without a choice.
    QStringList findingTitles;
    QList<QList<FindingRow>> findingLists;
    std::deque<std::optional<int>> findingAnswers;

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
        promptInitialTexts << initialText;
        promptTexts << question + u'|' + initialText;
        return take(promptAnswers, std::optional<QString>());
    }
    std::optional<QString> openFile(const FileDialogRequest& request) override {
        fileRequests << request;
        return take(fileAnswers, std::optional<QString>());
    }
    std::optional<QString> saveFile(const FileDialogRequest& request) override {
        fileRequests << request;
        return take(fileAnswers, std::optional<QString>());
    }
    std::optional<QString> browseFolder(const FolderDialogRequest& request) override {
        folderRequests << request;
        return take(folderAnswers, std::optional<QString>());
    }
    std::optional<int> chooseFinding(const QString& title, const QList<FindingRow>& rows) override {
        findingTitles << title;
        findingLists << rows;
        return take(findingAnswers, std::optional<int>());
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
