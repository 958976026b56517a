// A document's calculation over real module libraries (tests/crunch/fixtures/lifecycle_module.cpp) and Ondrel:
// start, watchdog, pause, resume, abort, forced termination, and the copies of the published atoms.
#include <gtest/gtest.h>
#include <dlfcn.h>

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/app_profile.h"
#include "app/message_recorder.h"
#include "crunch/module_callbacks.h"
#include "crunch/number_crunching.h"
#include "model/elements.h"
#include "platform/app_message.h"
#include "support/test_support.h"

namespace zelvor {
namespace {

using namespace std::chrono_literals;

std::string Fixture(const std::string& name) { return std::string(CRUNCH_FIXTURE_DIR) + "/lib" + name + ".so"; }

std::string Calculation(const std::string& menu, const std::string& file, const std::string& configuration = "") {
    return "<bk:Calculation MenuName=\"" + menu + "\"><FileName>" + file + "</FileName><Configuration>" +
           configuration + "</Configuration></bk:Calculation>";
}

/// Standard input and output as the calculation sees them, recorded; the time of each feed relative to the
/// stop request is what the exit-command test looks at.
class RecordingStdIO : public CalculationStdIO {
public:
    bool FeedText2Stdin(const char* text, std::size_t length) override {
        std::lock_guard lock(mutex);
        fed += std::string(text, length);
        stopWhenFed.push_back(run != nullptr && !run->IsNumberCrunching());
        return true;
    }
    void FeedFile2Stdin(const std::string& path) override { fed += "file " + path; }
    bool FlushPendingStdInput() override { return ++flushes > 0; }
    int StdinRead() const override { return 11; }
    int StdoutWrite() const override { return 12; }

    std::mutex mutex;
    std::string fed;
    std::vector<bool> stopWhenFed;
    int flushes = 0;
    CNumberCrunching* run = nullptr;
};

/// The 5-second limits pass at once; the limits asked for are recorded.
class InstantWaits : public CalculationWaits {
public:
    bool ForStartup(NamedEvent& started, std::chrono::milliseconds timeout) override {
        startupLimit = timeout;
        if (beforeStartupTimesOut) beforeStartupTimesOut();
        return started.Wait(0ms);
    }
    bool ForThreadEnd(NamedEvent& ended, std::chrono::milliseconds timeout) override {
        endLimit = timeout;
        return ended.Wait(0ms);
    }
    std::function<void()> beforeStartupTimesOut;
    std::chrono::milliseconds startupLimit{0}, endLimit{0};
};

class CalculationLifecycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string list =
            "<Modules xmlns:bk=\"urn:Cobrant\">" + Calculation("NeverReady", Fixture("never_ready_module")) +
            Calculation("Stubborn", Fixture("stubborn_module"), "<ExpectingStdInput ExitCommand=\"quit\"/>") +
            Calculation("Faulting", Fixture("faulting_module")) + Calculation("Floats", Fixture("float_module")) +
            "</Modules>";
        ASSERT_TRUE(modules.LoadAndVerifyModules(test::WriteFile(dir, "Modules.xml", list), true));
        stdio.run = &run;
        CalculationHooks hooks;
        hooks.stopPolling = [this] { ++pollingStops; };
        hooks.setTerminateAtExit = [this] { terminateAtExit = true; };
        hooks.promptModuleError = [this](const std::string& function, const std::string& library) {
            std::lock_guard lock(promptMutex);
            prompts.push_back(function + " in " + library);
            prompted.notify_all();
            return false;
        };
        run.SetHooks(hooks);
    }

    template <class T>
    T Export(const std::string& module, const char* name) {
        void* library = dlopen(Fixture(module).c_str(), RTLD_NOW | RTLD_NOLOAD);
        EXPECT_NE(library, nullptr);
        void* symbol = dlsym(library, name);
        dlclose(library);
        return reinterpret_cast<T>(symbol);
    }

    void Choose(const std::string& module) { ASSERT_EQ(run.SetTypeOfNumberCrunching(Fixture(module)), 1); }

    /// Waits until the paused module blocks on its resume event.
    bool PausedModuleWaits() {
        const CalcData* cd = run.Calc();
        for (int i = 0; i < 2000; ++i) {
            if (auto resume = NamedEvent::Open(cd->resumeEventName); resume && resume->Waiters() > 0) return true;
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

    bool StepsAdvance(long (*steps)()) {
        const long before = steps();
        for (int i = 0; i < 2000; ++i) {
            if (steps() > before + 10) return true;
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

    test::ScopedConfigHome home;
    CAppProfile profile{"Zelvor", "1,0,0,1"};
    test::MessageRecorder messages;
    CElements elements{test::BinDir() + "/Elements.dat"};
    QTemporaryDir dir;
    CNumberCrunchModules modules;
    CDravikDoc doc;
    RecordingStdIO stdio;
    CNumberCrunching run{doc, modules, "Zelvor", &stdio};
    int pollingStops = 0;
    bool terminateAtExit = false;
    std::mutex promptMutex;
    std::condition_variable prompted;
    std::vector<std::string> prompts;
};

TEST_F(CalculationLifecycleTest, ALibraryThatIsNotLoadedCannotBeChosenOrStarted) {
    EXPECT_EQ(run.SetTypeOfNumberCrunching("libabsent.so"), 0);
    doc.moduleLibraryName = "libabsent.so";
    EXPECT_FALSE(run.StartNumberCrunching());
    EXPECT_FALSE(run.IsNumberCrunching());
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Error! libabsent.so hasn't been loaded.\n",
                                                          "Error! libabsent.so hasn't been loaded.\n"}));
}

TEST_F(CalculationLifecycleTest, AModuleThatNeverReportsReadyIsEndedByTheWatchdog) {
    auto waits = std::make_shared<InstantWaits>();
    run.SetWaits(waits);
    Choose("never_ready_module");
    EXPECT_FALSE(run.StartNumberCrunching());
    EXPECT_EQ(waits->startupLimit, 5000ms);
    EXPECT_FALSE(run.IsNumberCrunching());
    EXPECT_EQ(pollingStops, 1);
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0],
              "It seems that NeverReady failed to start for one reason or another.\nIts thread has been terminated "
              "and it is recommended that you\nsave your work and restart Zelvor.\n");
    // The standard input text was fed before the thread started; the next start works again.
    EXPECT_EQ(stdio.stopWhenFed.size(), 1u);
    EXPECT_FALSE(run.StartNumberCrunching());
}

TEST_F(CalculationLifecycleTest, PauseResumeAndAbortOfAPollingModule) {
    Choose("float_module");
    auto steps = Export<long (*)()>("float_module", "FixtureSteps");
    ASSERT_TRUE(run.StartNumberCrunching());
    EXPECT_TRUE(run.IsNumberCrunching());
    EXPECT_TRUE(StepsAdvance(steps));

    EXPECT_EQ(run.StartorPauseNumberCrunching(1), "Resume Floats");
    ASSERT_TRUE(PausedModuleWaits());
    const long paused = steps();
    EXPECT_EQ(steps(), paused);
    EXPECT_EQ(run.StartorPauseNumberCrunching(0), "Pause Floats");
    EXPECT_TRUE(StepsAdvance(steps));

    // Abort while paused: the module wakes, sees the stop request and returns; no message.
    EXPECT_EQ(run.StartorPauseNumberCrunching(1), "Resume Floats");
    ASSERT_TRUE(PausedModuleWaits());
    EXPECT_EQ(run.AbortNumberCrunching(), "Run Floats");
    EXPECT_FALSE(run.IsNumberCrunching());
    EXPECT_EQ(Export<int (*)()>("float_module", "FixtureRunning")(), 0);
    EXPECT_TRUE(messages.Texts().empty());
    // Started again from the menu.
    EXPECT_EQ(run.StartorPauseNumberCrunching(0), "Pause Floats");
    EXPECT_TRUE(StepsAdvance(steps));
}

TEST_F(CalculationLifecycleTest, AModuleThatIgnoresTheStopRequestIsTerminatedAfterItsExitCommand) {
#ifdef __SANITIZE_THREAD__
    // The thread checker delivers signals at points of its own choosing and keeps a record of every thread:
    // a thread that stops where it is leaves that record behind.
    GTEST_SKIP() << "a thread ended by force is not supported under ThreadSanitizer";
#endif
    auto waits = std::make_shared<InstantWaits>();
    Choose("stubborn_module");
    ASSERT_TRUE(run.StartNumberCrunching());
    run.SetWaits(waits);
    ASSERT_TRUE(StepsAdvance(Export<long (*)()>("stubborn_module", "FixtureSteps")));
    EXPECT_EQ(run.AbortNumberCrunching(), "Run Stubborn");
    EXPECT_EQ(waits->endLimit, 5000ms);
    // The exit command and a line feed went in (after the empty start-up text) before the stop request.
    EXPECT_EQ(stdio.fed, "quit\n");
    ASSERT_EQ(stdio.stopWhenFed.size(), 2u);
    EXPECT_FALSE(stdio.stopWhenFed[1]);
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"Abnormal termination of Stubborn. Please restart this program.\n"});
    EXPECT_TRUE(terminateAtExit);
    EXPECT_FALSE(run.IsNumberCrunching());
}

TEST_F(CalculationLifecycleTest, AFaultInBeginCalculationIsPromptedAndTheCalculationBecomesIdle) {
    auto waits = std::make_shared<InstantWaits>();
    waits->beforeStartupTimesOut = [this] {
        std::unique_lock lock(promptMutex);
        prompted.wait_for(lock, 10s, [this] { return !prompts.empty(); });
    };
    run.SetWaits(waits);
    Choose("faulting_module");
    EXPECT_FALSE(run.StartNumberCrunching());
    EXPECT_EQ(prompts, std::vector<std::string>{"BeginCalculation in " + Fixture("faulting_module")});
    EXPECT_FALSE(run.IsNumberCrunching());
}

TEST_F(CalculationLifecycleTest, FloatsBehindPointersAreCopiedIntoFrameZeroAtEachPoll) {
    Choose("float_module");
    Export<void (*)(float, float, float, float, float, float, float, float, float)>("float_module", "FixtureSetCell")(
        1, -1, 0, 0, 0, 0, 0, 0, 0);
    ASSERT_TRUE(run.StartNumberCrunching());
    ASSERT_EQ(doc.GetFrameCount(), 1);
    EXPECT_EQ(doc.GetLoadResult(), 1);
    EXPECT_STREQ(doc.GetTitleText(), "Floats: fixture");
    const Frame& frame = doc.GetFrame(0);
    ASSERT_EQ(frame.atomCount, 3);
    // Widened floats, and elements from the first two characters of each label.
    EXPECT_EQ(frame.atoms[2].position.y, static_cast<double>(3.75f));
    EXPECT_EQ(frame.atoms[3].position.z, static_cast<double>(7.125f));
    EXPECT_EQ(frame.atoms[1].element->atomicNumber, 17);  // "Cl-"
    EXPECT_EQ(frame.atoms[2].element->atomicNumber, 8);   // "O"
    // The cell (1, -1, 0) sums to zero like the two zero vectors: no extent, so the module's cell stays.
    EXPECT_EQ(frame.cellA.x, 1.0);
    EXPECT_EQ(frame.cellA.y, -1.0);
    EXPECT_TRUE(run.Poll());
    EXPECT_EQ(frame.atoms[2].position.x, static_cast<double>(-2.25f));

    EXPECT_EQ(run.AbortNumberCrunching(), "Run Floats");
    EXPECT_FALSE(run.Poll());
    EXPECT_EQ(run.FinishedText(), Fixture("float_module") + " has now finished.");
}

TEST_F(CalculationLifecycleTest, AnUnknownIndirectionLevelIsReportedAtEveryPollAndReadsNothing) {
    Choose("float_module");
    Export<void (*)(int)>("float_module", "FixtureSetLevel")(3);
    ASSERT_TRUE(run.StartNumberCrunching());
    EXPECT_TRUE(run.Poll());
    const std::string text = "Error. SETADDRESSESOFCALCULATIONDATA was passed the\nargument levelindirection =3\n";
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{text, text}));
    EXPECT_EQ(doc.GetFrame(0).atoms[1].position.x, 0.0);
    run.AbortNumberCrunching();
    Export<void (*)(int)>("float_module", "FixtureSetLevel")(2);
}

}  // namespace
}  // namespace zelvor
