// The background loader of CDravikDoc: one thread per load, the reading check and failure reports.
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "platform/load_status.h"
#include "platform/shared_message.h"
#include "model/dravik_doc.h"
#include "model/locks.h"
#include "model/io/reader_support.h"
#include "model/io/text_scanner.h"
#include "platform/app_message.h"

namespace zelvor {

namespace {
/// The document whose loader runs on this thread (null on every other thread).
thread_local const CDravikDoc* loadingDocument = nullptr;
}  // namespace

int CDravikDoc::InitiateFile(const char* path, long docTemplate) {
    {
        // The loader copies both under the same lock when it starts.
        std::lock_guard lock(LoaderLock());
        docTemplate_ = static_cast<DocTemplate>(docTemplate);
        path_ = path ? path : "";
    }
    // A load in progress keeps going; so does one asked to restart from its own thread.
    if (isNewDoc_.load() || loadingDocument == this) return loadResult_.load();
    isNewDoc_.store(true);
    firstFrameRead_.store(false);
    UpdateAllViews(HINT_SURFACE_RESET);
    // A load still running (later frames of the previous file) would write into the same frames: stop it
    // and wait for it before the next one starts.
    SetAbortLoading(true);
    WaitForLoader();
    SetAbortLoading(false);
    loaderThread_ = std::thread(&CDravikDoc::LoadFileThread, this);
    return 1;
}

int CDravikDoc::OnOpenDocument(const char* path) {
    percentLoaded_.store(0);
    return InitiateFile(path, docTemplate_);
}

void CDravikDoc::LoadFileThread(CDravikDoc* doc) {
    // Numbers are read with the classic decimal point whatever the process locale is: the scanner does
    // not consult the locale at all.
    loadingDocument = doc;
    std::string path;
    DocTemplate docTemplate;
    {
        std::lock_guard lock(LoaderLock());
        path = doc->path_;
        docTemplate = doc->docTemplate_;
    }
    try {
        if (docTemplate == TEMPLATE_NONE) docTemplate = TemplateForPath(path);
        int result;
        switch (docTemplate) {
            case TEMPLATE_PDB: result = doc->ReadPDBFile(path.c_str()); break;
            case TEMPLATE_CUBE: result = doc->ReadGaussianCubeFile(path.c_str()); break;
            default: result = doc->ReadXYZCoordinates(path.c_str()); break;
        }
        doc->loadResult_.store(result);
        if (result == 1) AdviseMainWndLoadStatus(0, 0, nullptr);
        doc->EstablishBonds();
        PostToMainWindow(MSG_FILE_LOADED);
    } catch (...) {
        doc->loadResult_.store(0);
        ShowSharedMessage("A critical error happened when reading the file\n" + path + "\n" +
                          "Are you sure the file has not been corrupted?");
        PostToMainWindow(MSG_FILE_LOADED);
    }
}

bool CDravikDoc::IsFileReadingOK(const StreamState& s, const char* path, long line, int frame) {
    if ((!s.fail && !s.bad) || s.eof) return true;
    const char* file = path ? path : "";
    std::string message;
    if (frame > 0)
        message = reader::Format(
            "Incomprehensible data in the %ld. line in the %d. frame.\nIf the file, %s,\nactually is a coordinate "
            "file then it would appear\nto be corrupt and therefore won't be loaded.",
            line, frame, file);
    else if (line > 0)
        message = reader::Format(
            "Line %ld couldn't be read.\nIf the file, %s,\nactually is a coordinate file then it would appear\nto "
            "be corrupt and therefore won't be loaded.",
            line, file);
    else
        message = reader::Format(
            "If the file, %s,\nactually is a coordinate file then it would seem\nto be corrupt and therefore "
            "won't be loaded.",
            file);
    ShowSharedMessage(message);
    percentLoaded_.store(0);
    AdviseMainWndLoadStatus(0, 0, nullptr);
    return false;
}

void CDravikDoc::ReportLoadFailure(const std::string& message) {
    percentLoaded_.store(0);
    AdviseMainWndLoadStatus(0, 0, nullptr);
    PostToMainWindow(MSG_FIRST_FRAME_READ);
    ShowSharedMessage(message);
}

bool CDravikDoc::CloseBeforeLoaded() const {
    std::lock_guard lock(LoaderLock());
    return abortLoading_;
}

void CDravikDoc::SetAbortLoading(bool abort) {
    std::lock_guard lock(LoaderLock());
    abortLoading_ = abort;
}

void CDravikDoc::WaitForLoader() {
    if (loadingDocument != this && loaderThread_.joinable()) loaderThread_.join();
}

void CDravikDoc::AdviseGracefullExit() {
    SetAbortLoading(true);
    // From a message handler running on the loader thread itself the loader cannot be waited for, and
    // its frames are still being written: it stops by itself after the frame in progress.
    if (loadingDocument == this) return;
    WaitForLoader();
    AdviseMainWndLoadStatus(0, 0, nullptr);
    DeleteContents();
}

}  // namespace zelvor
