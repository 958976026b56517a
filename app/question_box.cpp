#include "app/question_box.h"

#include <cstdio>
#include <mutex>

namespace zelvor {

namespace {

std::mutex presenterMutex;
QuestionPresenter presenter;

QuestionAnswer AnswerNoOnStandardError(const std::string& text, const std::string& caption) {
    std::string line = caption.empty() ? text : caption + ": " + text;
    line += "\n[Yes/No] No\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return QuestionAnswer::No;
}

}  // namespace

void SetQuestionPresenter(QuestionPresenter newPresenter) {
    std::lock_guard lock(presenterMutex);
    presenter = std::move(newPresenter);
}

QuestionAnswer AskQuestion(const std::string& text, const std::string& caption) {
    QuestionPresenter current;
    {
        // A copy, so the presenter may run for as long as the user needs without holding the lock.
        std::lock_guard lock(presenterMutex);
        current = presenter;
    }
    return current ? current(text, caption) : AnswerNoOnStandardError(text, caption);
}

}  // namespace zelvor
