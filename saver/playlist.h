#pragma once
/// CPlaylist: the screensaver's coordinate files, shown one after another on the change-file timer.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "saver/thread_timer.h"

namespace zelvor {

/// What the playlist needs from the application: its single document, the mode and the shuffle setting.
class PlaylistHost {
public:
    virtual ~PlaylistHost() = default;
    /// The current document's path name; nullopt when there is no current document.
    virtual std::optional<std::string> CurrentDocumentPath() = 0;
    /// Asks the current document to end its background work before it is replaced.
    virtual void AdviseGracefullExit() = 0;
    /// Opens path (unchanged, also when empty) as the application's single document and starts its load.
    virtual void OpenDocumentFile(const std::string& path) = 0;
    /// True while the screensaver runs a calculation instead of the playlist.
    virtual bool IsNumberCrunching() = 0;
    /// True in configure mode.
    virtual bool IsConfigureMode() = 0;
    /// The shuffle flag of the application settings (1 = shuffle).
    virtual int ShuffleFlag() = 0;
    /// Configure mode: shows the entry just taken in the configuration dialog (see MatchingComboItem).
    virtual void ShowEntryInConfiguration(const std::string& fileName) { (void)fileName; }
};

/// The playlist state and its timer procedure. Settings live in section "Config" of the application profile.
class CPlaylist {
public:
    static constexpr const char* SECTION = "Config";
    static constexpr const char* FILES_TO_SHOW = "Files to show";
    static constexpr const char* LOAD_TIME = "Coordinate File Load Time";
    static constexpr const char* NUMBER_CRUNCHING = "Is ScreenSaver NumberCrunching";
    /// Stands for a file that does not exist; opening it shows the built-in demo system.
    static constexpr const char* DEMO_MARKER = "nonexistent.xyz";
    static constexpr int DEFAULT_FILES_TO_SHOW = 1;
    static constexpr int DEFAULT_LOAD_TIME = 180;
    /// Most entries a playlist holds; a larger stored count is cut to it.
    static constexpr int MAX_FILES_TO_SHOW = 10000;
    /// Longest interval in seconds whose milliseconds still fit a timer.
    static constexpr int MAX_LOAD_TIME = 2000000;

    /// random draws the shuffle's values (0..32767): the program's generator unless given.
    CPlaylist(PlaylistHost& host, ThreadTimers& timers, std::function<int()> random = {});
    /// Kills the change-file timer.
    ~CPlaylist();
    CPlaylist(const CPlaylist&) = delete;
    CPlaylist& operator=(const CPlaylist&) = delete;

    /// Key of entry n: "XYZ file<n>".
    static std::string EntryKey(int n);
    /// True when "Is ScreenSaver NumberCrunching" in section "Config" is "Yes".
    static bool NumberCrunchingConfigured();

    /// Re-reads the count and the interval, restarts the change-file timer and starts again at entry 0.
    void UpdateXYZfileListTime();
    /// Start-up: reads the entries (the marker for files that don't exist), shuffles when the shuffle flag is
    /// set (and marks the list for write-back), and opens the first entry at once.
    void BuildPlaylist();
    /// The change-file timer's procedure: opens the next entry, or repeats the demo message.
    void ChangeCoordinateFileTimerProc(ThreadTimers::TimerId eventId);
    /// Fisher-Yates shuffle of all paths among their keys.
    void RandomiseFileList();
    /// Exit: when the list changed, writes every entry in key order, then "Files to show". A list given for
    /// this run only is never written.
    void WriteBack();

    /// This run only (the command line): files shown instead of the stored entries (a folder stands for the
    /// coordinate files in it), and seconds per file instead of the stored interval (0: the stored one).
    /// Takes effect at the next UpdateXYZfileListTime and BuildPlaylist.
    void OverrideForThisRun(const std::string& fileOrFolder, int loadTimeSeconds);
    void KillChangeFileTimer();

    /// Key text to path; ordered by key text ("XYZ file10" before "XYZ file2").
    std::map<std::string, std::string> fileList;
    int filesToShow = DEFAULT_FILES_TO_SHOW;
    int currentFileIndex = 0;
    /// Set when the order or the entries changed and must be saved at exit.
    std::uint8_t listChanged = 0;
    /// 0 = no timer.
    ThreadTimers::TimerId changeFileTimer = 0;

private:
    PlaylistHost& host_;
    std::vector<std::string> runFiles_;
    int runLoadTime_ = 0;
    ThreadTimers& timers_;
    std::function<int()> random_;
};

/// The coordinate files (.xyz, .pdb, .ent, .cube, .cub, .cif, .mmcif, each also compressed as .gz, any case)
/// directly in folder, sorted by name; path itself when it is a file.
std::vector<std::string> CoordinateFilesAt(const std::string& path);

/// The file name after the last path separator ('/' or '\').
std::string FileNameOfPath(const std::string& path);
/// Index of the first item that begins with fileName, ignoring case; 0 when none does.
std::size_t MatchingComboItem(const std::vector<std::string>& items, const std::string& fileName);

}  // namespace zelvor
