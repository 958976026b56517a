#include "saver/playlist.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>

#include "app/app_profile.h"
#include "app/gui_stream.h"
#include "app/program_random.h"
#include "model/doc_template.h"
#include "platform/text_compare.h"

namespace zelvor {

namespace {

bool IsExistingFile(const std::string& path) {
    if (path.empty()) return false;
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

CPlaylist::CPlaylist(PlaylistHost& host, ThreadTimers& timers, std::function<int()> random)
    : host_(host), timers_(timers), random_(random ? std::move(random) : std::function<int()>(ProgramRandom)) {}

CPlaylist::~CPlaylist() { KillChangeFileTimer(); }

std::string CPlaylist::EntryKey(int n) { return "XYZ file" + std::to_string(n); }

bool CPlaylist::NumberCrunchingConfigured() {
    return AppProfile().GetProfileString(SECTION, NUMBER_CRUNCHING, "No") == "Yes";
}

void CPlaylist::KillChangeFileTimer() {
    if (changeFileTimer) timers_.KillTimer(changeFileTimer);
    changeFileTimer = 0;
}

void CPlaylist::UpdateXYZfileListTime() {
    // A count or interval edited by hand must neither exhaust memory nor make the timer spin.
    filesToShow = runFiles_.empty() ? std::clamp(AppProfile().GetProfileInt(SECTION, FILES_TO_SHOW, DEFAULT_FILES_TO_SHOW),
                                                 0, MAX_FILES_TO_SHOW)
                                    : static_cast<int>(runFiles_.size());
    const int stored = runLoadTime_ > 0 ? runLoadTime_ : AppProfile().GetProfileInt(SECTION, LOAD_TIME, DEFAULT_LOAD_TIME);
    const int seconds = std::clamp(stored, 1, MAX_LOAD_TIME);
    KillChangeFileTimer();
    changeFileTimer = timers_.SetTimer(static_cast<unsigned>(seconds) * 1000u,
                                       [this](ThreadTimers::TimerId id) { ChangeCoordinateFileTimerProc(id); });
    currentFileIndex = 0;
}

void CPlaylist::BuildPlaylist() {
    for (int n = 0; n < filesToShow; ++n) {
        const std::string key = EntryKey(n);
        const std::string path = runFiles_.empty() ? AppProfile().GetProfileString(SECTION, key, "")
                                                   : runFiles_[static_cast<std::size_t>(n)];
        fileList[key] = IsExistingFile(path) ? path : DEMO_MARKER;
    }
    if (host_.ShuffleFlag() == 1) {
        RandomiseFileList();
        listChanged = 1;
    }
    ChangeCoordinateFileTimerProc(changeFileTimer);
}

void CPlaylist::ChangeCoordinateFileTimerProc(ThreadTimers::TimerId eventId) {
    if (eventId != changeFileTimer) return;
    const std::optional<std::string> documentPath = host_.CurrentDocumentPath();
    if (!documentPath) return;
    if (host_.IsNumberCrunching()) {
        KillChangeFileTimer();
        return;
    }
    const bool configureMode = host_.IsConfigureMode();
    if (configureMode) filesToShow = static_cast<int>(std::min<std::size_t>(fileList.size(), MAX_FILES_TO_SHOW));

    const std::string path = fileList[EntryKey(currentFileIndex)];
    if (documentPath->find(DEMO_MARKER) != std::string::npos) {
        KillChangeFileTimer();
        MessageStream() << "Hey, it's kinda boring just watching this demo system\n"
                        << "Why don't you load some of the many coordinates files\n"
                        << "supplied with the installation of Zelvor, huh?" << std::endl;
        UpdateXYZfileListTime();
    } else {
        host_.AdviseGracefullExit();
        host_.OpenDocumentFile(path);
    }

    if (currentFileIndex >= filesToShow - 1) {
        if (host_.ShuffleFlag() == 1) RandomiseFileList();
        currentFileIndex = 0;
    } else {
        ++currentFileIndex;
    }

    if (configureMode) host_.ShowEntryInConfiguration(FileNameOfPath(path));
}

void CPlaylist::RandomiseFileList() {
    const int count = static_cast<int>(fileList.size());
    for (int i = count - 1; i >= 1; --i) {
        const int j = static_cast<int>(static_cast<unsigned>(random_()) % static_cast<unsigned>(i + 1));
        std::swap(fileList[EntryKey(j)], fileList[EntryKey(i)]);
    }
}

void CPlaylist::OverrideForThisRun(const std::string& fileOrFolder, int loadTimeSeconds) {
    runFiles_ = fileOrFolder.empty() ? std::vector<std::string>() : CoordinateFilesAt(fileOrFolder);
    if (runFiles_.size() > static_cast<std::size_t>(MAX_FILES_TO_SHOW)) runFiles_.resize(MAX_FILES_TO_SHOW);
    // A folder without coordinate files shows the demo, as a stored list of missing files does.
    if (!fileOrFolder.empty() && runFiles_.empty()) runFiles_.push_back(DEMO_MARKER);
    runLoadTime_ = loadTimeSeconds;
}

std::vector<std::string> CoordinateFilesAt(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) return {path};
    std::vector<std::string> files;
    // Stepped with an error code: an unreadable entry ends the listing instead of throwing.
    for (std::filesystem::directory_iterator entry(path, error), end; !error && entry != end; entry.increment(error)) {
        std::string extension = entry->path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const std::string name = entry->path().filename().string();
        if ((TemplateForPath(name) != TEMPLATE_NONE || extension == ".cub") && IsExistingFile(entry->path().string()))
            files.push_back(entry->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void CPlaylist::WriteBack() {
    if (!listChanged || !runFiles_.empty()) return;
    for (const auto& [key, path] : fileList) AppProfile().WriteProfileString(SECTION, key, path);
    AppProfile().WriteProfileInt(SECTION, FILES_TO_SHOW, static_cast<int>(fileList.size()));
}

std::string FileNameOfPath(const std::string& path) {
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::size_t MatchingComboItem(const std::vector<std::string>& items, const std::string& fileName) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (StartsWithIgnoringCase(items[i], fileName)) return i;
    return 0;
}

}  // namespace zelvor
