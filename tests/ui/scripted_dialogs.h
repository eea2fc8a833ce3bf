// A DialogService for tests: answers come from queues the test fills beforehand, and every box and
// file dialog shown is recorded. An unscripted question or file dialog fails the test (and answers
// No / cancel) instead of blocking on a real dialog.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <vector>

#include "ui/dialogs.h"

class ScriptedDialogService : public DialogService {
 public:
  struct Shown {
    enum class Kind { Message, Question, OpenFile, SaveFile, Choice } What;
    Icon BoxIcon = Icon::Plain;  // messages only
    QString Title;
    QString Text;                // message and question text
    FileDialogSpec Request;         // file dialogs only
  };

  // Answers, used front first.
  std::deque<bool> Answers;
  std::deque<std::optional<QString>> OpenAnswers;
  std::deque<std::optional<QString>> SaveAnswers;
  std::deque<int> Choices;  // index of the button chosen
  std::vector<QStringList> ChoiceButtons;  // the buttons of each choice shown

  std::vector<Shown> Log;

  void Message(QWidget*, Icon icon, const QString& title, const QString& text) override {
    Log.push_back({Shown::Kind::Message, icon, title, text, {}});
  }

  bool Question(QWidget*, const QString& title, const QString& text) override {
    Log.push_back({Shown::Kind::Question, Icon::Warning, title, text, {}});
    if (Answers.empty()) {
      ADD_FAILURE() << "unscripted question: " << text.toStdString();
      return false;
    }
    const bool answer = Answers.front();
    Answers.pop_front();
    return answer;
  }

  int Choose(QWidget*, const QString& title, const QString& text, const QStringList& buttons) override {
    Log.push_back({Shown::Kind::Choice, Icon::Plain, title, text, {}});
    ChoiceButtons.push_back(buttons);
    if (Choices.empty()) {
      ADD_FAILURE() << "unscripted choice: " << text.toStdString();
      return static_cast<int>(buttons.size()) - 1;
    }
    const int answer = Choices.front();
    Choices.pop_front();
    return answer;
  }

  std::optional<QString> OpenFile(QWidget*, const FileDialogSpec& request) override {
    return NextFile(Shown::Kind::OpenFile, request, OpenAnswers);
  }

  std::optional<QString> SaveFile(QWidget*, const FileDialogSpec& request) override {
    return NextFile(Shown::Kind::SaveFile, request, SaveAnswers);
  }

  // Texts of the message boxes shown (not questions), in order.
  std::vector<QString> Messages() const {
    std::vector<QString> texts;
    for (const Shown& s : Log)
      if (s.What == Shown::Kind::Message) texts.push_back(s.Text);
    return texts;
  }
  std::vector<QString> Questions() const {
    std::vector<QString> texts;
    for (const Shown& s : Log)
      if (s.What == Shown::Kind::Question) texts.push_back(s.Text);
    return texts;
  }
  int Count(Shown::Kind kind) const {
    int n = 0;
    for (const Shown& s : Log) n += s.What == kind;
    return n;
  }
  // Every scripted answer was used.
  bool Drained() const {
    return Answers.empty() && OpenAnswers.empty() && SaveAnswers.empty() && Choices.empty();
  }
  void Clear() {
    Log.clear();
    Answers.clear();
    OpenAnswers.clear();
    SaveAnswers.clear();
    Choices.clear();
  }

 private:
  std::optional<QString> NextFile(Shown::Kind kind, const FileDialogSpec& request,
                                  std::deque<std::optional<QString>>& queue) {
    Log.push_back({kind, Icon::Plain, request.Title, {}, request});
    if (queue.empty()) {
      ADD_FAILURE() << "unscripted file dialog: " << request.Title.toStdString();
      return std::nullopt;
    }
    auto answer = queue.front();
    queue.pop_front();
    return answer;
  }
};
