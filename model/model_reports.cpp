#include "model/model_reports.h"

#include <cstdio>
#include <mutex>

namespace zelvor {

namespace {

std::mutex handlerLock;
ReportHandler handler;  // guarded by handlerLock

}  // namespace

void SetModelReportHandler(ReportHandler newHandler) {
    std::lock_guard lock(handlerLock);
    handler = std::move(newHandler);
}

void ReportToMessageStream(const std::string& text) {
    ReportHandler current;
    {
        std::lock_guard lock(handlerLock);
        current = handler;
    }
    if (current) {
        current(text);
        return;
    }
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace zelvor
