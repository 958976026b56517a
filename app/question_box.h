#pragma once
/// The program's Yes/No question box, presented through one replaceable function.
#include <functional>
#include <string>

namespace zelvor {

enum class QuestionAnswer { Yes, No };

/// Shows a system-modal Yes/No question with a stop icon and returns the button the user pressed.
using QuestionPresenter = std::function<QuestionAnswer(const std::string& text, const std::string& caption)>;

/// Installs the presenter; an empty function restores the default, which writes the question to standard
/// error and answers No (nobody is there to answer it).
void SetQuestionPresenter(QuestionPresenter presenter);

/// Asks the question through the installed presenter.
QuestionAnswer AskQuestion(const std::string& text, const std::string& caption);

}  // namespace zelvor
