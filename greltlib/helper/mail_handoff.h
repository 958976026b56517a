#pragma once
/// Hands the reports to the user's mail program through xdg-email; the user still sends the mail.
#include <string>

namespace zelvor::grelt {

struct MailRequest {
    std::string program;
    std::string address;
    std::string body;        // the report text
    std::string attachment;  // the dump
};

enum class MailOutcome { HandedOver, ToolMissing, ToolFailed };

/// Runs xdg-email (found on PATH) with the request as its arguments, without a shell, and waits for it.
MailOutcome HandOffMail(const MailRequest& request);

/// The text to show the user for a failed hand-off; empty after success.
std::string MailErrorText(MailOutcome outcome);

/// The body as it fits into one command-line argument: the kernel refuses larger ones, and NULs cannot be
/// passed at all. A cut body ends with a note naming where the whole report is.
std::string MailBody(const std::string& report, const std::string& logPath);

}  // namespace zelvor::grelt
