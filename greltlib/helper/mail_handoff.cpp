#include "greltlib/helper/mail_handoff.h"

#include <cerrno>
#include <cstdlib>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace zelvor::grelt {

namespace {

// The kernel's limit for a single argument is 32 pages (128 KiB); stay clear of it.
constexpr std::size_t kMaxBody = 120 * 1024;

std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    const std::string_view entries = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t begin = 0;
    while (begin <= entries.size()) {
        std::size_t end = entries.find(':', begin);
        if (end == std::string_view::npos) end = entries.size();
        std::string folder(entries.substr(begin, end - begin));
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + name;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        begin = end + 1;
    }
    return {};
}

}  // namespace

std::string MailBody(const std::string& report, const std::string& logPath) {
    std::string body;
    body.reserve(report.size());
    for (const char c : report)
        if (c != '\0') body += c;
    if (body.size() <= kMaxBody) return body;
    const std::string note = "\r\n[The report is longer than a mail body can carry; it is in full in " +
                             logPath.substr(0, 1024) + "]\r\n";
    std::size_t cut = kMaxBody - note.size();
    const std::size_t lineEnd = body.rfind('\n', cut);
    if (lineEnd != std::string::npos) cut = lineEnd + 1;
    body.resize(cut);
    return body + note;
}

MailOutcome HandOffMail(const MailRequest& request) {
    const std::string tool = FindOnPath("xdg-email");
    if (tool.empty()) return MailOutcome::ToolMissing;
    const std::string subject = request.program + " bug report";
    std::vector<std::string> arguments = {tool,     "--subject", subject, "--body", request.body, "--attach",
                                          request.attachment, request.address};
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, tool.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return MailOutcome::ToolFailed;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return MailOutcome::ToolFailed;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? MailOutcome::HandedOver : MailOutcome::ToolFailed;
}

std::string MailErrorText(MailOutcome outcome) {
    switch (outcome) {
        case MailOutcome::HandedOver: return {};
        case MailOutcome::ToolMissing: return "Email programming interface, xdg-email, could not be loaded";
        case MailOutcome::ToolFailed: return "Failed to email error reports";
    }
    return {};
}

}  // namespace zelvor::grelt
