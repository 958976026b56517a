#pragma once
/// How the crashed process hands its fault to the helper program grelt-dialog, which does everything that
/// needs memory, locks or a display: symbols and locals from the dump, compression, the dialog and the mail.
///
///     grelt-dialog --log LOG --dump DUMP --program NAME --recipient TEXT --address TEXT
///                  --executable PATH --thread TID [--no-report] [--diagnostic] [--terminating] [--tag PATH]...
///
/// LOG already holds the report's header and register lines, DUMP the ELF core file with the faulting thread
/// first. --no-report: the report file could not be created (nothing to add to, nothing to compress; the
/// dialog still shows). --diagnostic: the faulting thread is a diagnostic one and stays parked while the
/// program goes on. --terminating: the program ends after the dialog (a fault outside the diagnostic threads,
/// which a tagged frame may have caused too).
/// --tag: a module registered as coming from outside (repeated). The helper's exit status is the button.
namespace zelvor::grelt::protocol {

inline constexpr const char* kHelperFile = "grelt-dialog";

inline constexpr const char* kLog = "--log";
inline constexpr const char* kDump = "--dump";
inline constexpr const char* kProgram = "--program";
inline constexpr const char* kRecipient = "--recipient";
inline constexpr const char* kAddress = "--address";
inline constexpr const char* kExecutable = "--executable";
inline constexpr const char* kThread = "--thread";
inline constexpr const char* kNoReport = "--no-report";
inline constexpr const char* kDiagnostic = "--diagnostic";
inline constexpr const char* kTerminating = "--terminating";
inline constexpr const char* kTag = "--tag";

/// Exit statuses: the dialog's result. "Send and abort" and "OK" give 1; "abort", closing the dialog, no
/// display, and any failure of the helper give 0.
inline constexpr int kResultAccepted = 1;
inline constexpr int kResultDeclined = 0;

/// Names the button a dialog without a user presses ("close", "mail", "abort", "ok"); the dialog's texts
/// then go to standard output instead of the screen.
inline constexpr const char* kAnswerVariable = "GRELT_DIALOG_ANSWER";

}  // namespace zelvor::grelt::protocol
