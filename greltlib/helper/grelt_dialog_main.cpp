// grelt-dialog: started by a crashed process (see greltlib/helper_protocol.h). Completes the report from the
// core file, compresses the core, asks the user, and hands the reports to the mail program.
#include "greltlib/helper/crash_dialog.h"
#include "greltlib/helper/dialog_texts.h"
#include "greltlib/helper/dump_compression.h"
#include "greltlib/helper/helper_arguments.h"
#include "greltlib/helper/mail_handoff.h"
#include "greltlib/helper/report_file.h"
#include "greltlib/helper/stack_report.h"
#include "greltlib/helper_protocol.h"

#include <QApplication>

#include <cstdlib>
#include <iostream>

using namespace zelvor::grelt;

namespace {

struct Prepared {
    std::string dumpPath;
    int taggedFrames = 0;
};

Prepared CompleteReport(const HelperArguments& args) {
    Prepared prepared{args.dumpPath, 0};
    if (args.noReport) return prepared;
    const StackReport stack =
        WriteStackReport({args.dumpPath, args.executablePath, args.thread, args.taggedModules});
    prepared.taggedFrames = stack.taggedFrames;
    // Without symbols the core is what a developer has to work with; it stays as gdb reads it.
    if (!stack.symbolsAvailable) return prepared;
    AppendToReport(args.logPath, stack.text);
    const CompressionResult compressed = CompressDump(args.dumpPath);
    if (!compressed.messages.empty()) AppendToReport(args.logPath, compressed.messages);
    prepared.dumpPath = compressed.dumpPath;
    return prepared;
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = ParseHelperArguments(argc, argv, std::cerr);
    if (!parsed) return protocol::kResultDeclined;
    const HelperArguments& args = *parsed;

    const Prepared prepared = CompleteReport(args);
    const std::string report = args.noReport ? std::string() : ReadReport(args.logPath);
    const DialogTexts texts = MakeDialogTexts({args.program, args.logPath, prepared.dumpPath, args.recipientName,
                                               args.diagnostic || prepared.taggedFrames > 0, args.terminating});

    const MailRequest mail{args.program, args.recipientAddress, MailBody(report, args.logPath), prepared.dumpPath};
    if (const char* answerName = std::getenv(protocol::kAnswerVariable)) {
        PrintDialog(texts, report, std::cout);
        const DialogAnswer answer = AnswerByName(texts, answerName, std::cerr);
        std::cout << "Answer: " << answerName << " (" << answer.result << ")\n";
        if (answer.mail) {
            const std::string error = MailErrorText(HandOffMail(mail));
            if (!error.empty()) std::cout << "Error: " << error << "\n";
        }
        std::cout.flush();
        return answer.result;
    }

    std::unique_ptr<QApplication> app;
    if (DisplayConfigured()) app = OpenDisplay(argc, argv);
    if (!app) {
        std::cerr << "grelt-dialog: no display to show the crash dialog on\n";
        PrintDialog(texts, report, std::cerr);
        return protocol::kResultDeclined;
    }
    const DialogAnswer answer = ShowCrashDialog(texts, report, args.executablePath);
    if (answer.mail) {
        const std::string error = MailErrorText(HandOffMail(mail));
        if (!error.empty()) ShowError(error);
    }
    return answer.result;
}
