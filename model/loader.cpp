// The background loader of CDravikDoc: one thread per load, the readers' entry points and their sink.
#include "model/loader.h"

#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "model/dravik_doc.h"
#include "model/io/cube_reader.h"
#include "model/io/mmcif_reader.h"
#include "model/io/pdb_reader.h"
#include "model/io/reader_support.h"
#include "model/io/xyz_reader.h"
#include "model/locks.h"
#include "platform/app_message.h"
#include "platform/load_status.h"
#include "platform/shared_message.h"
#include "platform/thread_registration.h"

namespace zelvor {

namespace {
/// The document whose loader runs on this thread (null on every other thread).
thread_local const CDravikDoc* loadingDocument = nullptr;
}  // namespace

int CDravikDoc::InitiateFile(const char* path, long docTemplate) {
    {
        // The loader copies both under the same lock when it starts.
        std::lock_guard lock(LoaderLock());
        docTemplate_.store(static_cast<DocTemplate>(docTemplate));
        path_ = path ? path : "";
    }
    // A load in progress keeps going; so does one asked to restart from its own thread.
    if (isNewDoc_.load() || loadingDocument == this) return loadResult_.load();
    // The new load frees the frames that a view's surface worker may be reading.
    StopViewWorkers();
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
    return InitiateFile(path, docTemplate_.load());
}

void CDravikDoc::LoadFileThread(CDravikDoc* doc) {
    RegisteredThread registered;
    // Numbers are read with the classic decimal point whatever the process locale is: the scanner does
    // not consult the locale at all.
    loadingDocument = doc;
    std::string path;
    DocTemplate docTemplate;
    {
        std::lock_guard lock(LoaderLock());
        path = doc->path_;
        docTemplate = doc->docTemplate_.load();
    }
    try {
        if (docTemplate == TEMPLATE_NONE) docTemplate = TemplateForPath(path);
        int result;
        switch (docTemplate) {
            case TEMPLATE_PDB: result = doc->ReadPDBFile(path.c_str()); break;
            case TEMPLATE_CUBE: result = doc->ReadGaussianCubeFile(path.c_str()); break;
            case TEMPLATE_MMCIF: result = doc->ReadMmcifFile(path.c_str()); break;
            default: result = doc->ReadXYZCoordinates(path.c_str()); break;
        }
        // A load that leaves no frame at all has nothing to show: it failed, whatever the reader's messages say.
        if (result == 1 && doc->GetFrameCount() == 0) result = 0;
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

int CDravikDoc::ReadXYZCoordinates(const char* path) {
    CLoaderSink sink(*this);
    return ReadXyzFile(path, sink);
}

int CDravikDoc::ReadPDBFile(const char* path) {
    CLoaderSink sink(*this);
    return ReadPdbFile(path, sink);
}

int CDravikDoc::ReadMmcifFile(const char* path) {
    CLoaderSink sink(*this);
    return zelvor::ReadMmcifFile(path, sink);
}

int CDravikDoc::ReadGaussianCubeFile(const char* path) {
    CLoaderSink sink(*this);
    return ReadCubeFile(path, sink);
}

bool CDravikDoc::IsFileReadingOK(const StreamState& s, const char* path, long line, int frame) {
    CLoaderSink sink(*this);
    return reader::IsFileReadingOK(sink, s, path, line, frame);
}

void CDravikDoc::StopViewWorkers() {
    const std::vector<CDocObserver*> views = observers_;
    for (CDocObserver* view : views) view->StopWorkerThreads();
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
    // A view's surface worker reads the frames about to be freed.
    StopViewWorkers();
    WaitForLoader();
    // The load is over, whether or not its first-frame notice was handled yet: the next one may start.
    isNewDoc_.store(false);
    AdviseMainWndLoadStatus(0, 0, nullptr);
    DeleteContents();
}

// --- the readers' sink --------------------------------------------------------------------------------

void CLoaderSink::ClearFrames() { doc_.FreeFrames(); }

int CLoaderSink::FrameCount() const { return doc_.frameCount_.load(); }

Frame& CLoaderSink::FrameAt(int f) { return doc_.frames_[f]; }

void CLoaderSink::SetFrameCell(int f, double halfExtent) { doc_.CalcCellSizeRcutoff(f, halfExtent); }

void CLoaderSink::StoreFrames(int count) {
    // The count grows only once the frames are complete: the view draws every frame below it.
    doc_.frameCount_.store(count);
    doc_.SetMaxCellWidth();
}

char* CLoaderSink::TitleText() { return doc_.title_.get(); }

void CLoaderSink::SetVoxelStatistics(const VoxelGrid& grid) {
    doc_.voxelMin = grid.min;
    doc_.voxelMax = grid.max;
    doc_.voxelShellMin = grid.shellMin;
    doc_.voxelShellMax = grid.shellMax;
}

void CLoaderSink::SetPercentLoaded(int percent) { doc_.percentLoaded_.store(percent); }

void CLoaderSink::ShowLoadStatus(int percent, bool show, const char* text) {
    AdviseMainWndLoadStatus(percent, show ? 1 : 0, text);
}

bool CLoaderSink::Aborted() const { return doc_.CloseBeforeLoaded(); }

void CLoaderSink::FirstFrameRead() { PostToMainWindow(MSG_FIRST_FRAME_READ); }

void CLoaderSink::ShowMessage(const std::string& text) { ShowSharedMessage(text); }

}  // namespace zelvor
