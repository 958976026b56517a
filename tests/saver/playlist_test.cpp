#include "saver/playlist.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <deque>

#include "app/app_profile.h"
#include "app/program_random.h"
#include "message_recorder.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

using Strings = std::vector<std::string>;
constexpr const char* DEMO_MESSAGE =
    "Hey, it's kinda boring just watching this demo system\n"
    "Why don't you load some of the many coordinates files\n"
    "supplied with the installation of Zelvor, huh?\n";

/// Timers driven by a clock the test advances.
class FakeTimers : public ThreadTimers {
public:
    TimerId SetTimer(unsigned milliseconds, Procedure procedure) override {
        const TimerId id = nextId_++;
        timers_[id] = Timer{milliseconds, now_ + milliseconds, std::move(procedure)};
        return id;
    }
    void KillTimer(TimerId id) override { timers_.erase(id); }

    /// Moves the clock on, firing every timer that falls due on the way, in time order.
    void Advance(std::uint64_t milliseconds) {
        const std::uint64_t end = now_ + milliseconds;
        for (;;) {
            auto next = timers_.end();
            for (auto it = timers_.begin(); it != timers_.end(); ++it)
                if (it->second.due <= end && (next == timers_.end() || it->second.due < next->second.due)) next = it;
            if (next == timers_.end()) break;
            now_ = next->second.due;
            next->second.due += next->second.interval;
            const TimerId id = next->first;
            const Procedure procedure = next->second.procedure;  // it may kill its own timer
            procedure(id);
        }
        now_ = end;
    }
    std::size_t Running() const { return timers_.size(); }
    unsigned IntervalOf(TimerId id) const { return timers_.at(id).interval; }

private:
    struct Timer {
        unsigned interval;
        std::uint64_t due;
        Procedure procedure;
    };
    std::map<TimerId, Timer> timers_;
    TimerId nextId_ = 7;
    std::uint64_t now_ = 0;
};

/// A document that takes whatever path it is given as its path name.
class FakeHost : public PlaylistHost {
public:
    std::optional<std::string> CurrentDocumentPath() override { return documentPath; }
    void AdviseGracefullExit() override { ++advised; }
    void OpenDocumentFile(const std::string& path) override {
        opened.push_back(path);
        documentPath = path;
    }
    bool IsNumberCrunching() override { return numberCrunching; }
    bool IsConfigureMode() override { return configureMode; }
    int ShuffleFlag() override { return shuffle; }
    void ShowEntryInConfiguration(const std::string& fileName) override { shownInConfiguration.push_back(fileName); }

    std::optional<std::string> documentPath = std::string();
    Strings opened;
    Strings shownInConfiguration;
    int advised = 0;
    bool numberCrunching = false;
    bool configureMode = false;
    int shuffle = 0;
};

/// The application profile, recording the order of string writes.
class RecordingProfile : public CAppProfile {
public:
    bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value) override {
        if (section == CPlaylist::SECTION) writtenKeys.push_back(entry);
        return CAppProfile::WriteProfileString(section, entry, value);
    }
    Strings writtenKeys;
};

/// Values drawn from a list, as a seeded generator would give them.
std::function<int()> Draws(std::deque<int> values) {
    return [values]() mutable {
        const int value = values.empty() ? 0 : values.front();
        if (!values.empty()) values.pop_front();
        return value;
    };
}

class PlaylistTest : public testing::Test {
protected:
    PlaylistTest() { profile.SetRegistryKey("Cobrant"); }

    /// Stores the given paths as the playlist entries and the interval in seconds.
    void StoreEntries(const Strings& paths, int seconds = 180) {
        for (std::size_t i = 0; i < paths.size(); ++i)
            profile.WriteProfileString("Config", CPlaylist::EntryKey(static_cast<int>(i)), paths[i]);
        profile.WriteProfileInt("Config", "Files to show", static_cast<int>(paths.size()));
        profile.WriteProfileInt("Config", "Coordinate File Load Time", seconds);
        profile.writtenKeys.clear();
    }
    std::string File(const std::string& name) { return test::WriteFile(dir, name, "1\n\nH 0 0 0\n"); }
    Strings StoredEntries(int count) {
        Strings paths;
        for (int i = 0; i < count; ++i) paths.push_back(profile.GetProfileString("Config", CPlaylist::EntryKey(i), "?"));
        return paths;
    }

    test::ScopedConfigHome home;
    RecordingProfile profile;
    QTemporaryDir dir;
    FakeTimers timers;
    FakeHost host;
};

TEST_F(PlaylistTest, TwoFilesAlternateAtTheConfiguredInterval) {
    const std::string a = File("a.xyz");
    const std::string b = File("b.xyz");
    StoreEntries({a, b}, 20);
    CPlaylist playlist(host, timers);
    playlist.UpdateXYZfileListTime();
    EXPECT_EQ(timers.IntervalOf(playlist.changeFileTimer), 20000u);
    playlist.BuildPlaylist();
    EXPECT_EQ(host.opened, Strings{a});
    timers.Advance(19999);
    EXPECT_EQ(host.opened, Strings{a});
    timers.Advance(1);
    EXPECT_EQ(host.opened, (Strings{a, b}));
    timers.Advance(20000);
    EXPECT_EQ(host.opened, (Strings{a, b, a}));
    EXPECT_EQ(host.advised, 3);
    // Nothing changed the order: nothing is written back.
    playlist.WriteBack();
    EXPECT_TRUE(profile.writtenKeys.empty());
}

TEST_F(PlaylistTest, AFolderGivenForThisRunIsShownAtItsIntervalAndNeverStored) {
    const std::string stored = File("stored.xyz");
    StoreEntries({stored}, 180);
    QTemporaryDir folder;
    const std::string b = test::WriteFile(folder, "b.PDB", "ATOM\n");
    const std::string a = test::WriteFile(folder, "a.xyz", "1\n\nH 0 0 0\n");
    const std::string c = test::WriteFile(folder, "c.cif.gz", "compressed");
    test::WriteFile(folder, "notes.txt", "not a coordinate file");
    test::WriteFile(folder, "notes.txt.gz", "compressed, but no coordinate file");
    CPlaylist playlist(host, timers);
    playlist.OverrideForThisRun(folder.path().toStdString(), 7);
    playlist.UpdateXYZfileListTime();
    EXPECT_EQ(timers.IntervalOf(playlist.changeFileTimer), 7000u);
    playlist.BuildPlaylist();
    timers.Advance(7000);
    timers.Advance(7000);
    EXPECT_EQ(host.opened, (Strings{a, b, c}));
    playlist.listChanged = 1;
    playlist.WriteBack();
    EXPECT_TRUE(profile.writtenKeys.empty());
    EXPECT_EQ(StoredEntries(1), Strings{stored});

    // One file works the same; a folder without coordinate files shows the demo.
    CPlaylist single(host, timers);
    single.OverrideForThisRun(a, 0);
    single.UpdateXYZfileListTime();
    EXPECT_EQ(timers.IntervalOf(single.changeFileTimer), 180000u);  // the stored interval
    QTemporaryDir empty;
    CPlaylist nothing(host, timers);
    nothing.OverrideForThisRun(empty.path().toStdString(), 0);
    nothing.UpdateXYZfileListTime();
    nothing.BuildPlaylist();
    EXPECT_EQ(nothing.fileList.at("XYZ file0"), CPlaylist::DEMO_MARKER);
}

TEST_F(PlaylistTest, EntriesAreReadAndWrittenBackInKeyOrder) {
    Strings paths;
    for (int i = 0; i < 12; ++i) paths.push_back(File("f" + std::to_string(i) + ".xyz"));
    StoreEntries(paths);
    CPlaylist playlist(host, timers);
    playlist.UpdateXYZfileListTime();
    playlist.BuildPlaylist();
    ASSERT_EQ(playlist.fileList.size(), 12u);
    EXPECT_EQ(playlist.fileList.at("XYZ file10"), paths[10]);
    EXPECT_EQ(playlist.fileList.begin()->first, "XYZ file0");
    EXPECT_EQ(std::next(playlist.fileList.begin())->first, "XYZ file1");
    EXPECT_EQ(std::next(playlist.fileList.begin(), 2)->first, "XYZ file10");

    playlist.listChanged = 1;
    playlist.WriteBack();
    EXPECT_EQ(profile.writtenKeys,
              (Strings{"XYZ file0", "XYZ file1", "XYZ file10", "XYZ file11", "XYZ file2", "XYZ file3", "XYZ file4",
                       "XYZ file5", "XYZ file6", "XYZ file7", "XYZ file8", "XYZ file9"}));
    EXPECT_EQ(StoredEntries(12), paths);
    EXPECT_EQ(profile.GetProfileInt("Config", "Files to show", 0), 12);
}

TEST_F(PlaylistTest, ShuffleAtStartAndAtEveryWrapAndTheOrderInUseIsWrittenBack) {
    const std::string a = File("a.xyz");
    const std::string b = File("b.xyz");
    const std::string c = File("c.xyz");
    StoreEntries({a, b, c}, 20);
    host.shuffle = 1;
    // Start: i=2 draws 1 (swap 1,2), i=1 draws 0 (swap 0,1): a b c -> a c b -> c a b.
    // First wrap: i=2 draws 5 (5 mod 3 = 2, no change), i=1 draws 3 (3 mod 2 = 1, no change).
    // Second wrap: i=2 draws 0 (swap 0,2), i=1 draws 1: c a b -> b a c.
    CPlaylist playlist(host, timers, Draws({1, 0, 5, 3, 0, 1}));
    playlist.UpdateXYZfileListTime();
    playlist.BuildPlaylist();
    EXPECT_EQ(playlist.listChanged, 1);
    timers.Advance(20000 * 3);
    EXPECT_EQ(host.opened, (Strings{c, a, b, c}));
    timers.Advance(20000 * 2);
    EXPECT_EQ(host.opened, (Strings{c, a, b, c, a, b}));
    timers.Advance(20000);
    EXPECT_EQ(host.opened.back(), b);

    playlist.WriteBack();
    EXPECT_EQ(StoredEntries(3), (Strings{b, a, c}));
    EXPECT_EQ(profile.GetProfileInt("Config", "Files to show", 0), 3);
}

TEST_F(PlaylistTest, ShuffleWithTheProgramsGeneratorIsRepeatableFromItsSeed) {
    Strings paths;
    for (int i = 0; i < 6; ++i) paths.push_back(File("s" + std::to_string(i) + ".xyz"));
    StoreEntries(paths);
    host.shuffle = 1;
    auto shuffled = [&] {
        SeedProgramRandom(1234);
        CPlaylist playlist(host, timers);
        playlist.UpdateXYZfileListTime();
        playlist.BuildPlaylist();
        Strings order;
        for (const auto& [key, path] : playlist.fileList) order.push_back(path);
        return order;
    };
    const Strings first = shuffled();
    EXPECT_EQ(shuffled(), first);
    Strings sorted = first;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, paths);  // a permutation: nothing lost, nothing doubled
    EXPECT_NE(first, paths);
}

TEST_F(PlaylistTest, FewerThanTwoEntriesAreNotShuffled) {
    CPlaylist playlist(host, timers, [] { return 1; });
    playlist.RandomiseFileList();
    EXPECT_TRUE(playlist.fileList.empty());
    playlist.fileList["XYZ file0"] = "only.xyz";
    playlist.RandomiseFileList();
    EXPECT_EQ(playlist.fileList, (std::map<std::string, std::string>{{"XYZ file0", "only.xyz"}}));
}

TEST_F(PlaylistTest, FirstRunShowsTheDemoSystemAndAsksForRealFilesEveryInterval) {
    test::MessageRecorder recorder;
    CPlaylist playlist(host, timers);
    playlist.UpdateXYZfileListTime();
    playlist.BuildPlaylist();
    EXPECT_EQ(host.opened, Strings{"nonexistent.xyz"});
    const auto firstTimer = playlist.changeFileTimer;
    timers.Advance(179999);
    EXPECT_TRUE(recorder.Texts().empty());
    timers.Advance(1);
    EXPECT_EQ(recorder.Texts(), Strings{DEMO_MESSAGE});
    // The demo stays on screen; the timer was restarted.
    EXPECT_EQ(host.opened.size(), 1u);
    EXPECT_NE(playlist.changeFileTimer, firstTimer);
    EXPECT_EQ(timers.Running(), 1u);
    timers.Advance(180000);
    EXPECT_EQ(recorder.Texts(), (Strings{DEMO_MESSAGE, DEMO_MESSAGE}));
    EXPECT_EQ(host.opened.size(), 1u);
}

TEST_F(PlaylistTest, AMissingFileBecomesTheDemoMarkerInItsTurn) {
    test::MessageRecorder recorder;
    const std::string a = File("a.xyz");
    StoreEntries({a, dir.path().toStdString() + "/gone.xyz"}, 20);
    CPlaylist playlist(host, timers);
    playlist.UpdateXYZfileListTime();
    playlist.BuildPlaylist();
    EXPECT_EQ(playlist.fileList.at("XYZ file1"), "nonexistent.xyz");
    timers.Advance(20000);
    EXPECT_EQ(host.opened, (Strings{a, "nonexistent.xyz"}));
    // With the demo on screen the next tick writes the message and skips one entry (index 0 -> 1).
    timers.Advance(20000);
    EXPECT_EQ(recorder.Texts(), Strings{DEMO_MESSAGE});
    EXPECT_EQ(playlist.currentFileIndex, 1);
    EXPECT_EQ(host.opened.size(), 2u);
}

TEST_F(PlaylistTest, NumberCrunchingKillsTheTimerAndOpensNothing) {
    StoreEntries({File("a.xyz")}, 20);
    host.numberCrunching = true;
    CPlaylist playlist(host, timers);
    playlist.UpdateXYZfileListTime();
    playlist.BuildPlaylist();
    EXPECT_TRUE(host.opened.empty());
    EXPECT_EQ(playlist.changeFileTimer, 0u);
    EXPECT_EQ(timers.Running(), 0u);
    EXPECT_FALSE(CPlaylist::NumberCrunchingConfigured());
    profile.WriteProfileString("Config", "Is ScreenSaver NumberCrunching", "Yes");
    EXPECT_TRUE(CPlaylist::NumberCrunchingConfigured());
}

TEST_F(PlaylistTest, NothingHappensWithoutADocumentOrForAnotherTimer) {
    StoreEntries({File("a.xyz")}, 20);
    CPlaylist playlist(host, timers);
    playlist.UpdateXYZfileListTime();
    playlist.ChangeCoordinateFileTimerProc(playlist.changeFileTimer + 1);
    host.documentPath.reset();
    playlist.ChangeCoordinateFileTimerProc(playlist.changeFileTimer);
    EXPECT_TRUE(host.opened.empty());
    EXPECT_EQ(playlist.currentFileIndex, 0);
}

TEST_F(PlaylistTest, ConfigureModeCountsTheListAndShowsTheEntryInTheDialog) {
    const std::string a = File("a.xyz");
    const std::string b = File("b.xyz");
    StoreEntries({a, b}, 20);
    profile.WriteProfileInt("Config", "Files to show", 1);
    host.configureMode = true;
    CPlaylist playlist(host, timers);
    playlist.UpdateXYZfileListTime();
    playlist.fileList = {{"XYZ file0", a}, {"XYZ file1", b}};
    playlist.ChangeCoordinateFileTimerProc(playlist.changeFileTimer);
    EXPECT_EQ(playlist.filesToShow, 2);
    EXPECT_EQ(host.shownInConfiguration, Strings{"a.xyz"});
    timers.Advance(20000);
    EXPECT_EQ(host.opened, (Strings{a, b}));

    EXPECT_EQ(FileNameOfPath("C:\\data\\water.xyz"), "water.xyz");
    EXPECT_EQ(FileNameOfPath("/data/Benzene.PDB"), "Benzene.PDB");
    const Strings items{"caffeine.xyz  (/data)", "Benzene.pdb  (/data)"};
    EXPECT_EQ(MatchingComboItem(items, "benzene.PDB"), 1u);
    EXPECT_EQ(MatchingComboItem(items, "absent.xyz"), 0u);
}

TEST_F(PlaylistTest, AnEmptyPlaylistOpensAnEmptyPath) {
    StoreEntries({}, 20);
    CPlaylist playlist(host, timers);
    playlist.UpdateXYZfileListTime();
    EXPECT_EQ(playlist.filesToShow, 0);
    playlist.BuildPlaylist();
    EXPECT_EQ(host.opened, Strings{""});
    EXPECT_EQ(playlist.fileList, (std::map<std::string, std::string>{{"XYZ file0", ""}}));
    timers.Advance(20000);
    EXPECT_EQ(host.opened, (Strings{"", ""}));
    EXPECT_EQ(playlist.currentFileIndex, 0);
}

TEST_F(PlaylistTest, HandEditedCountAndIntervalStayWithinBounds) {
    profile.WriteProfileInt("Config", "Files to show", 2000000000);
    profile.WriteProfileInt("Config", "Coordinate File Load Time", 0);
    CPlaylist playlist(host, timers);
    playlist.UpdateXYZfileListTime();
    EXPECT_EQ(playlist.filesToShow, CPlaylist::MAX_FILES_TO_SHOW);
    EXPECT_EQ(timers.IntervalOf(playlist.changeFileTimer), 1000u);
    profile.WriteProfileInt("Config", "Files to show", -3);
    profile.WriteProfileInt("Config", "Coordinate File Load Time", 2147483647);
    playlist.UpdateXYZfileListTime();
    EXPECT_EQ(playlist.filesToShow, 0);
    EXPECT_EQ(timers.IntervalOf(playlist.changeFileTimer), CPlaylist::MAX_LOAD_TIME * 1000u);
    EXPECT_EQ(timers.Running(), 1u);
}

TEST_F(PlaylistTest, DestructionKillsTheTimer) {
    {
        CPlaylist playlist(host, timers);
        playlist.UpdateXYZfileListTime();
        EXPECT_EQ(timers.Running(), 1u);
    }
    EXPECT_EQ(timers.Running(), 0u);
}

}  // namespace
}  // namespace zelvor
