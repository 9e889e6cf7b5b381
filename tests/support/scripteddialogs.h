#pragma once

#include "app/operatordialogs.h"

#include <QStringList>

#include <deque>
#include <memory>

// Answers the program's questions from a script and records what it asked.
class ScriptedDialogs : public kelvor::OperatorDialogs {
public:
  struct Shown {
    QString title;
    QString text;
    Icon icon;
  };

  std::deque<bool> yesNoAnswers;
  // A null QString stands for a cancelled dialog.
  std::deque<QString> textAnswers;
  std::deque<QString> fileAnswers;
  std::deque<kelvor::TColor> colorAnswers;
  std::vector<Shown> questions;
  std::vector<Shown> messages;
  std::vector<kelvor::SaveDialogOptions> saveDialogs;
  int colorDialogs = 0;

  bool askYesNo(const QString& title, const QString& text, Icon icon) override {
    questions.push_back({title, text, icon});
    if (yesNoAnswers.empty())
      return false;
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
  }
  void showMessage(const QString& title, const QString& text, Icon icon) override {
    messages.push_back({title, text, icon});
  }
  std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                   const QString& initial, int) override {
    questions.push_back({caption, prompt + QLatin1Char('|') + initial, Icon::None});
    return pop(textAnswers);
  }
  kelvor::TColor chooseColor(kelvor::TColor initial) override {
    ++colorDialogs;
    if (colorAnswers.empty())
      return initial;
    const kelvor::TColor answer = colorAnswers.front();
    colorAnswers.pop_front();
    return answer;
  }
  std::optional<QString> saveFileName(const kelvor::SaveDialogOptions& options) override {
    saveDialogs.push_back(options);
    return pop(fileAnswers);
  }
  std::optional<QString> openFileName() override { return pop(fileAnswers); }

private:
  static std::optional<QString> pop(std::deque<QString>& answers) {
    if (answers.empty() || answers.front().isNull()) {
      if (!answers.empty())
        answers.pop_front();
      return std::nullopt;
    }
    const QString answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

// New dialogs of type `Dialogs` for a program to own; `kept` is left pointing at them.
template <class Dialogs = ScriptedDialogs> std::unique_ptr<Dialogs> keptDialogs(Dialogs*& kept) {
  auto dialogs = std::make_unique<Dialogs>();
  kept = dialogs.get();
  return dialogs;
}
