#pragma once
/// CDravikDoc: one molecular system, a sequence of frames loaded in the background.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "model/atom.h"
#include "model/doc_calculation.h"
#include "model/doc_template.h"
#include "model/frame.h"
#include "model/vector.h"

namespace zelvor {

struct StreamState;


/// View-update hints sent with UpdateAllViews.
enum UpdateHint : int {
    HINT_FRAME_CHOSEN = 0,
    HINT_FILE_LOADED = 122,
    HINT_FRAME_CHANGED = 123,
    HINT_NEW_DATA = 124,
    HINT_ROTATION_DONE = 125,
    HINT_SURFACE_RESET = 127,
};

/// Receives the document's update hints (the views).
class CDocObserver {
public:
    virtual ~CDocObserver() = default;
    virtual void OnUpdate(int hint) = 0;
    /// Rebuild the scene list (selection changed); onlyIfChanged as for the view's compile.
    virtual void CompileDisplayList(int /*onlyIfChanged*/) {}
    /// The document is about to delete its contents: stop the threads that read them and wait for them.
    virtual void StopWorkerThreads() {}
};

/// Defaults of the correlation-function window, set when the first frame arrives.
struct CorrFuncSettings {
    double radialCutoff = 0.0;
    double secondRange = 10.0;
    int points1 = 50;
    int points2 = 50;
};

class CDravikDoc {
public:
    CDravikDoc();
    ~CDravikDoc();
    CDravikDoc(const CDravikDoc&) = delete;
    CDravikDoc& operator=(const CDravikDoc&) = delete;

    // --- frames -------------------------------------------------------------------------------
    int GetFrameNr() const { return frameNr_.load(); }
    /// n >= 0 and at least one frame: the current frame becomes n modulo the frame count.
    void SetFrameNr(int n);
    int GetFrameCount() const { return frameCount_.load(); }
    /// Publishes frames 0..n-1 (clamped to 0..MAX_FRAMES) as complete: for code that fills frames directly.
    void SetFrameCount(int n);
    Frame& GetFrame(int f) { return frames_[f]; }
    const Frame& GetFrame(int f) const { return frames_[f]; }
    /// Returns the new-frame flag and clears it.
    bool IsNewFrame() { return newFrame_.exchange(false); }
    void SetNewFrame() { newFrame_.store(true); }
    double GetMaxCellWidth(int f) const;
    int PercentageLoaded() const { return percentLoaded_.load(); }
    /// The abort-loading flag, read under the loader lock.
    bool CloseBeforeLoaded() const;
    bool IsNewDoc() const { return isNewDoc_.load(); }
    bool IsFirstFrameRead() const { return firstFrameRead_.load(); }
    int GetLoadResult() const { return loadResult_.load(); }
    bool IsCellGiven() const { return cellGiven_; }
    const std::string& GetPathName() const { return path_; }
    DocTemplate GetDocTemplate() const { return docTemplate_.load(); }
    const char* GetTitleText() const { return title_.get(); }
    const CorrFuncSettings& GetCorrFuncSettings() const { return corrFunc_; }

    // --- loading ------------------------------------------------------------------------------
    /// Starts the loader thread for path with the given template; returns 1, or the current load
    /// result when a load has not yet shown its first frame.
    int InitiateFile(const char* path, long docTemplate);
    /// Clears the percentage loaded and starts loading with this document's template.
    int OnOpenDocument(const char* path);
    bool OnNewDocument();
    void SetDocTemplate(DocTemplate t) { docTemplate_.store(t); }
    /// Called by the main window when the first frame has been read.
    void FirstFrameWasRead();
    /// Stops the views' worker threads and the loader, and empties the document.
    void AdviseGracefullExit();
    /// Asks every view to stop and join the threads that read the frames.
    void StopViewWorkers();
    /// Waits for the loader thread to end (headless callers).
    void WaitForLoader();
    void DeleteContents();
    void OnCloseDocument();

    // --- readers (loader thread) -----------------------------------------------------------------
    int ReadXYZCoordinates(const char* path);
    int ReadPDBFile(const char* path);
    int ReadMmcifFile(const char* path);
    int ReadGaussianCubeFile(const char* path);
    /// True when the stream is neither failed nor bad, or at its end; otherwise reports and returns false.
    bool IsFileReadingOK(const StreamState& s, const char* path, long line, int frame);

    // --- elements and selection ------------------------------------------------------------------
    /// Assigns the element by atomic number (>= 0) or by label ("C" or "C_"); 0 and the fall-back if none.
    int SetAtomData(Atom& atom, const char* label, int atomicNumber);
    void ToggleAtomSelection(int i);
    void DeselectAtoms();

    // --- cell -------------------------------------------------------------------------------------
    /// Cell geometry of a frame; halfExtent > 0 makes the cubic cell of edge 2 * halfExtent.
    void CalcCellSizeRcutoff(int frame, double halfExtent);
    /// maxCellWidth and its inverse of every frame read so far.
    void SetMaxCellWidth();

    // --- bonds ------------------------------------------------------------------------------------
    /// Bonds every frame whose bonds are not yet established.
    void EstablishBonds();
    /// Whether bonds are wanted (a view shows them); without, EstablishBonds bonds nothing.
    void WantBonds(bool wanted) { bondsWanted_.store(wanted); }
    int GetBondedFrameCount() const { return bondedFrameCount_; }

    /// Voxel statistics of the cube frame read last.
    double voxelMin = 0.0, voxelMax = 0.0, voxelShellMin = 0.0, voxelShellMax = 0.0;

    /// Changes whenever frames are freed: a reader of atoms that holds the atom lock only briefly at a time
    /// checks it under that lock to tell that the atoms it found earlier are gone.
    std::uint64_t ContentGeneration() const { return contentGeneration_.load(); }

    // --- views ------------------------------------------------------------------------------------
    void AddObserver(CDocObserver* view);
    void RemoveObserver(CDocObserver* view);
    void UpdateAllViews(int hint);

    // --- calculation ---------------------------------------------------------------------------
    /// The calculation that fills this document (null: none). It is shut down when the document closes.
    void AttachCalculation(CDocCalculation* calculation) { calculation_ = calculation; }
    CDocCalculation* Calculation() const { return calculation_; }
    /// 1 while an attached calculation runs, else 0.
    int IsNumberCrunching() { return calculation_ != nullptr && calculation_->IsNumberCrunching() ? 1 : 0; }
    /// What a calculation sets when it takes over frame 0.
    void SetLoadResult(int result) { loadResult_.store(result); }
    void SetPercentLoaded(int percent) { percentLoaded_.store(percent); }
    /// The document's title text, cut to fit its buffer.
    void SetTitleText(const std::string& text);
    /// The correlation-function defaults for the system in frame 0.
    void SetDefaultCorrFuncSettings();

    /// The calculation label: application name, "_", a new UUID.
    const std::string& GetGUIDstr() const { return guid_; }
    std::string moduleLibraryName = "<your.dll>";

private:
    friend class CLoaderSink;  // the readers' side of the frame store
    static void LoadFileThread(CDravikDoc* doc);
    void SetAbortLoading(bool abort);
    void FreeFrames();

    std::unique_ptr<Frame[]> frames_;
    std::atomic<int> frameCount_{0};
    std::atomic<int> frameNr_{0};
    std::atomic<bool> newFrame_{false};
    int bondedFrameCount_ = 0;
    bool cellGiven_ = false;
    std::atomic<DocTemplate> docTemplate_{TEMPLATE_NONE};  // a view's surface worker reads it
    std::string path_;
    std::atomic<int> loadResult_{-1};
    std::atomic<int> percentLoaded_{0};
    bool abortLoading_ = false;  // guarded by the loader lock
    std::atomic<bool> isNewDoc_{false};
    std::atomic<bool> firstFrameRead_{false};
    std::thread loaderThread_;
    std::unique_ptr<char[]> title_;
    CorrFuncSettings corrFunc_;
    std::atomic<bool> bondsWanted_{false};
    std::atomic<std::uint64_t> contentGeneration_{0};  // raised under the atom lock
    std::vector<CDocObserver*> observers_;
    std::string guid_;
    CDocCalculation* calculation_ = nullptr;
};

}  // namespace zelvor
