#pragma once
/// Messages, progress and small helpers shared by the coordinate file readers and their loader.
#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

#include "platform/load_status.h"
#include "platform/shared_message.h"
#include "model/dravik_doc.h"
#include "model/io/text_scanner.h"
#include "platform/app_message.h"

namespace zelvor::reader {

inline constexpr const char* kErrorOpeningFile = "Error opening file %s";
inline constexpr const char* kTooManyFrames = "More than %d frames in the coordinate file";
inline constexpr const char* kCellRubbish = "Cell dimension in the %d. frame\nin the coordinate file is rubbish!";
inline constexpr const char* kLoadingFile = "loading file";

/// Half edge of the cubic cell made for a frame without one. A single atom (or atoms all on one point)
/// has no extent; it still gets a 2 Å box instead of a zero cell that would count as given by the file.
inline double MadeCellHalfExtent(double h) { return h > 0.0 ? h : 1.0; }

/// True when the file can be opened for reading (the open that only takes its size for the progress).
inline bool CanOpenForReading(const char* path) {
    if (!path) return false;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

/// printf-style formatting into a string.
inline std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return text;
}

/// A file that cannot be opened: the first-frame notice (so the window stops waiting), then the message.
inline void ReportOpenFailure(const std::string& message) {
    PostToMainWindow(MSG_FIRST_FRAME_READ);
    ShowSharedMessage(message);
}

/// The frame store is full: the frames read so far stay.
inline void ReportTooManyFrames() {
    PostToMainWindow(MSG_FIRST_FRAME_READ);
    ShowSharedMessage(Format(kTooManyFrames, MAX_FRAMES));
    AdviseMainWndLoadStatus(0, 0, nullptr);
}

/// The percentage of the input consumed, truncated; 100 for an empty input.
inline int PercentRead(const CTextScanner& in) {
    if (in.Size() == 0) return 100;
    return static_cast<int>(std::min<std::uint64_t>(100, in.Position() * 100 / in.Size()));
}

/// Stores the percentage loaded and shows it; only changes are posted, so a reader may call this per
/// line without flooding the window with identical progress messages.
inline void ReportProgress(std::atomic<int>& percentLoaded, int& lastShown, const CTextScanner& in) {
    const int percent = PercentRead(in);
    percentLoaded.store(percent);
    if (percent != lastShown) {
        lastShown = percent;
        AdviseMainWndLoadStatus(percent, 1, kLoadingFile);
    }
}

/// Copies text into a frame's comment buffer, cut to fit.
inline void CopyCut(char* buffer, std::size_t capacity, std::string_view text) {
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

/// The text without leading blanks (spaces and tabs).
inline std::string_view TrimLeft(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && scan::IsSpace(text[i])) ++i;
    return text.substr(i);
}


}  // namespace zelvor::reader
