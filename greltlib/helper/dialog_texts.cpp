#include "greltlib/helper/dialog_texts.h"

namespace zelvor::grelt {

namespace {

constexpr const char* kResultClosed = "close";

}  // namespace

DialogTexts MakeDialogTexts(const DialogFacts& f) {
    DialogTexts t;
    t.caption = f.program + " ran into a problem!";
    if (f.thirdParty) {
        t.message = f.program +
                    " has unfortunately encountered a problem in a third partymodule.\r\nA technical report, '" +
                    f.logPath + "',\r\nand a crash dump, '" + f.dumpPath +
                    "',\r\nhave been generated. Examining the uncompressed dump file with gdb may help fixing the "
                    "module that caused this bug.";
        t.instruction = f.terminating ? "Press OK to terminate the program."
                                      : "Press OK to continue. The offending thread of execution that generated "
                                        "this error will however, remain suspended.";
        t.buttons = {{"OK", "ok", 1, false}};
        return t;
    }
    t.message = f.program +
                " has unfortunately encountered a problem and regrettably will now have to terminate. A technical "
                "report, '" +
                f.logPath + "',\r\nand a crash report, '" + f.dumpPath +
                "',\r\nhave been generated. To help improving " + f.program +
                " you may want to email these reports to " + f.recipientName +
                ". They may unintentionally contain sensitive or private data. But this will always be treated "
                "confidentially and anonymously. If this is a concern, you should not submit the reports.";
    t.instruction = "Press the left button to email the reports to " + f.recipientName +
                    " and abort the program. Press the right button simply to abort the program.";
    t.buttons = {{"Send and abort", "mail", 1, true}, {"abort", "abort", 0, false}};
    return t;
}

DialogAnswer AnswerByName(const DialogTexts& texts, const std::string& name, std::ostream& errors) {
    if (name == kResultClosed) return {};
    for (const auto& button : texts.buttons)
        if (button.answerName == name) return {button.result, button.mails};
    errors << "grelt-dialog: this dialog has no button '" << name << "'; closing it instead\n";
    return {};
}

void PrintDialog(const DialogTexts& texts, const std::string& report, std::ostream& out) {
    out << "Caption: " << texts.caption << "\n\n" << texts.message << "\n\n" << texts.instruction << "\n\nButtons:";
    for (const auto& button : texts.buttons) out << " [" << button.label << "]";
    out << "\n\nReport:\n" << report;
    if (!report.empty() && report.back() != '\n') out << '\n';
    out << "\n";
}

}  // namespace zelvor::grelt
