// A DialogService for tests: answers come from queues the test fills beforehand, and every box and
// file dialog shown is recorded. An unscripted question or file dialog fails the test (and answers
// No / cancel) instead of blocking on a real dialog; VerifyAllExpected (the fixtures' TearDown)
// fails it for an answer left unused or a message box the test never looked at.
#pragma once

#include <gtest/gtest.h>

#include <QPrinter>
#include <deque>
#include <optional>
#include <vector>

#include "ui/dialogs.h"

class ScriptedDialogService : public DialogService {
 public:
  struct Shown {
    enum class Kind { Message, Question, OpenFile, SaveFile, Print, Choice } What;
    Icon BoxIcon = Icon::Plain;  // messages only
    QString Title;
    QString Text;                // message and question text
    FileDialogSpec Request;         // file dialogs only
  };

  // Answers, used front first.
  std::deque<bool> Answers;
  std::deque<std::optional<QString>> OpenAnswers;
  std::deque<std::optional<QString>> SaveAnswers;
  // Print dialogs: a PDF file the printer then prints into, or nothing for Cancel.
  std::deque<std::optional<QString>> PrintAnswers;
  std::deque<int> Choices;  // index of the button chosen, or kEnter / kEscape
  static constexpr int kEnter = -1;   // the box's default button
  static constexpr int kEscape = -2;  // Escape, or the box closed by its title bar
  std::vector<QStringList> ChoiceButtons;  // the buttons of each choice shown
  std::vector<int> ChoiceDefaults, ChoiceEscapes;  // which button Enter and Escape pick

  // What was shown, in order. Reading it (or Messages, Questions, Count) counts as looking at
  // every box shown so far.
  const std::vector<Shown>& Log() const {
    seen_ = log_.size();
    return log_;
  }

  void Message(QWidget*, Icon icon, const QString& title, const QString& text) override {
    log_.push_back({Shown::Kind::Message, icon, title, text, {}});
  }

  bool Question(QWidget*, const QString& title, const QString& text) override {
    log_.push_back({Shown::Kind::Question, Icon::Warning, title, text, {}});
    if (Answers.empty()) {
      ADD_FAILURE() << "unscripted question: " << text.toStdString();
      return false;
    }
    const bool answer = Answers.front();
    Answers.pop_front();
    return answer;
  }

  int ChooseButton(QWidget*, const QString& title, const QString& text, const QStringList& buttons,
                   int defaultButton, int escapeButton) override {
    log_.push_back({Shown::Kind::Choice, Icon::Plain, title, text, {}});
    ChoiceButtons.push_back(buttons);
    ChoiceDefaults.push_back(defaultButton);
    ChoiceEscapes.push_back(escapeButton);
    if (Choices.empty()) {
      ADD_FAILURE() << "unscripted choice: " << text.toStdString();
      return escapeButton;
    }
    const int answer = Choices.front();
    Choices.pop_front();
    if (answer == kEnter) return defaultButton;
    if (answer == kEscape) return escapeButton;
    return answer;
  }

  std::optional<QString> OpenFile(QWidget*, const FileDialogSpec& request) override {
    return NextFile(Shown::Kind::OpenFile, request, OpenAnswers);
  }

  std::optional<QString> SaveFile(QWidget*, const FileDialogSpec& request) override {
    return NextFile(Shown::Kind::SaveFile, request, SaveAnswers);
  }

  bool Print(QWidget*, QPrinter& printer) override {
    log_.push_back({Shown::Kind::Print, Icon::Plain, {}, {}, {}});
    if (PrintAnswers.empty()) {
      ADD_FAILURE() << "unscripted print dialog";
      return false;
    }
    const auto answer = PrintAnswers.front();
    PrintAnswers.pop_front();
    if (!answer) return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(*answer);
    return true;
  }

  // Texts of the message boxes shown (not questions), in order.
  std::vector<QString> Messages() const {
    std::vector<QString> texts;
    for (const Shown& s : Log())
      if (s.What == Shown::Kind::Message) texts.push_back(s.Text);
    return texts;
  }
  std::vector<QString> Questions() const {
    std::vector<QString> texts;
    for (const Shown& s : Log())
      if (s.What == Shown::Kind::Question) texts.push_back(s.Text);
    return texts;
  }
  int Count(Shown::Kind kind) const {
    int n = 0;
    for (const Shown& s : Log()) n += s.What == kind;
    return n;
  }
  // Fails the test for every scripted answer left unused and every message box shown after the
  // test last looked at the log: a box nobody expected is a fault, not noise.
  void VerifyAllExpected() const {
    for (bool a : Answers) ADD_FAILURE() << "unused answer to a question: " << (a ? "Yes" : "No");
    for (const auto& f : OpenAnswers)
      ADD_FAILURE() << "unused open-dialog answer: " << f.value_or("(cancel)").toStdString();
    for (const auto& f : SaveAnswers)
      ADD_FAILURE() << "unused save-dialog answer: " << f.value_or("(cancel)").toStdString();
    for (const auto& f : PrintAnswers)
      ADD_FAILURE() << "unused print-dialog answer: " << f.value_or("(cancel)").toStdString();
    for (int c : Choices) ADD_FAILURE() << "unused choice answer: button " << c;
    for (std::size_t i = seen_; i < log_.size(); ++i)
      if (log_[i].What == Shown::Kind::Message)
        ADD_FAILURE() << "unexpected message box: " << log_[i].Text.toStdString();
  }

  // Every scripted answer was used.
  bool Drained() const {
    return Answers.empty() && OpenAnswers.empty() && SaveAnswers.empty() && PrintAnswers.empty() &&
           Choices.empty();
  }
  void Clear() {
    log_.clear();
    seen_ = 0;
    Answers.clear();
    OpenAnswers.clear();
    SaveAnswers.clear();
    PrintAnswers.clear();
    Choices.clear();
    ChoiceButtons.clear();
    ChoiceDefaults.clear();
    ChoiceEscapes.clear();
  }

 private:
  std::vector<Shown> log_;
  mutable std::size_t seen_ = 0;

  std::optional<QString> NextFile(Shown::Kind kind, const FileDialogSpec& request,
                                  std::deque<std::optional<QString>>& queue) {
    log_.push_back({kind, Icon::Plain, request.Title, {}, request});
    if (queue.empty()) {
      ADD_FAILURE() << "unscripted file dialog: " << request.Title.toStdString();
      return std::nullopt;
    }
    auto answer = queue.front();
    queue.pop_front();
    return answer;
  }
};
