#pragma once
/// What the crash dialog says and which buttons it offers, and its answer when nobody is there to press one.
#include <ostream>
#include <string>
#include <vector>

namespace zelvor::grelt {

struct DialogButton {
    std::string label;
    std::string answerName;  // as named in GRELT_DIALOG_ANSWER
    int result = 0;
    bool mails = false;
};

struct DialogTexts {
    std::string caption;
    std::string message;      // what happened and where the reports are
    std::string instruction;  // what the buttons do
    std::vector<DialogButton> buttons;
};

struct DialogFacts {
    std::string program;
    std::string logPath;
    std::string dumpPath;
    std::string recipientName;
    /// A diagnostic thread or a frame in a tagged module: not the program's own fault, nothing to mail.
    bool thirdParty = false;
    bool terminating = false;
};

DialogTexts MakeDialogTexts(const DialogFacts& facts);

struct DialogAnswer {
    int result = 0;
    bool mail = false;
};

/// The result of pressing the button the answer names ("close" closes the window); a name the dialog
/// does not offer is reported on errors and closes it.
DialogAnswer AnswerByName(const DialogTexts& texts, const std::string& name, std::ostream& errors);

/// Caption, texts, buttons and report in a plain layout, for standard output or a terminal.
void PrintDialog(const DialogTexts& texts, const std::string& report, std::ostream& out);

}  // namespace zelvor::grelt
