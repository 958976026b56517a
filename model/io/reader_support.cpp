#include "model/io/reader_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdarg>

namespace zelvor::reader {

bool CanOpenForReading(const char* path) {
    if (!path) return false;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

std::string Format(const char* format, ...) {
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

double CentreOnMean(Atom* atoms, int count, const Vector& sum) {
    if (count <= 0) return 0.0;
    const Vector centre = sum / count;
    double h = 0.0;
    for (int i = 1; i <= count; ++i) {
        Vector& r = atoms[i].position;
        r = r - centre;
        h = std::max({h, std::fabs(r.x), std::fabs(r.y), std::fabs(r.z)});
    }
    return h;
}

bool IsFileReadingOK(CReaderSink& sink, const StreamState& s, const char* path, long line, int frame) {
    if ((!s.fail && !s.bad) || s.eof) return true;
    const char* file = path ? path : "";
    std::string message;
    if (frame > 0)
        message = Format(
            "Incomprehensible data in the %ld. line in the %d. frame.\nIf the file, %s,\nactually is a coordinate "
            "file then it would appear\nto be corrupt and therefore won't be loaded.",
            line, frame, file);
    else if (line > 0)
        message = Format(
            "Line %ld couldn't be read.\nIf the file, %s,\nactually is a coordinate file then it would appear\nto "
            "be corrupt and therefore won't be loaded.",
            line, file);
    else
        message = SeemsCorruptMessage(file);
    sink.ShowMessage(message);
    sink.SetPercentLoaded(0);
    sink.ShowLoadStatus(0, false, nullptr);
    return false;
}

std::string SeemsCorruptMessage(const char* path) {
    return Format(
        "If the file, %s,\nactually is a coordinate file then it would seem\nto be corrupt and therefore "
        "won't be loaded.",
        path ? path : "");
}

void ReportLoadFailure(CReaderSink& sink, const std::string& text) {
    sink.SetPercentLoaded(0);
    sink.ShowLoadStatus(0, false, nullptr);
    sink.FirstFrameRead();
    sink.ShowMessage(text);
}

void ReportOpenFailure(CReaderSink& sink, const std::string& text) {
    sink.FirstFrameRead();
    sink.ShowMessage(text);
}

void ReportTooManyFrames(CReaderSink& sink) {
    sink.FirstFrameRead();
    sink.ShowMessage(Format(kTooManyFrames, MAX_FRAMES));
    sink.ShowLoadStatus(0, false, nullptr);
}

void CReadProgress::Update() {
    const int percent =
        in_.Size() == 0 ? 100 : static_cast<int>(std::min<std::uint64_t>(100, in_.Position() * 100 / in_.Size()));
    sink_.SetPercentLoaded(percent);
    if (percent != lastShown_) {
        lastShown_ = percent;
        sink_.ShowLoadStatus(percent, true, kLoadingFile);
    }
}

bool CFrameSequence::NextFrame(int f, int& result) {
    in_.SkipWhitespace();
    if (in_.AtEnd()) {
        result = EndOfInput(f);
        return false;
    }
    if (f >= MAX_FRAMES) {
        ReportTooManyFrames(sink_);
        result = 0;
        return false;
    }
    return true;
}

int CFrameSequence::EndOfInput(int frame) {
    if (in_.Bad()) return IsFileReadingOK(sink_, StreamState{true, true, false}, path_, 0, frame) ? 1 : 0;
    sink_.SetPercentLoaded(100);
    return 1;
}

bool CFrameSequence::Publish(int first, int count) {
    progress_.Update();
    sink_.StoreFrames(count);
    if (sink_.Aborted()) return false;
    if (first == 0) sink_.FirstFrameRead();
    return true;
}

}  // namespace zelvor::reader
