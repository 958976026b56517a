#pragma once
/// Reports of the model for the user (a missing or broken element table, a document without a label). The
/// program shows them through its message stream; until it says so they go to standard error.
#include <functional>
#include <string>

namespace zelvor {

/// Shows one report to the user.
using ReportHandler = std::function<void(const std::string& text)>;
/// Installs where reports go; an empty handler restores standard error.
void SetModelReportHandler(ReportHandler handler);

/// Writes text as one completed report (one message box).
void ReportToMessageStream(const std::string& text);

}  // namespace zelvor
