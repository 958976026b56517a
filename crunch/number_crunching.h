#pragma once
/// CNumberCrunching: a document's calculation. Starts the chosen module's BeginCalculation on a thread of its
/// own, watches its start-up, pauses, resumes and ends it, and copies the atoms it publishes into frame 0 of
/// the document whenever the view polls.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <sys/types.h>

#include "crunch/calculation_stdio.h"
#include "crunch/module_error_prompt.h"
#include "crunch/number_crunch_modules.h"
#include "model/dravik_doc.h"
#include "platform/named_event.h"

namespace zelvor {

/// The two waits with a 5-second limit. Tests replace them so that the limit passes at once.
class CalculationWaits {
public:
    virtual ~CalculationWaits() = default;
    /// Waits for the module's start-up signal; true when it came within timeout.
    virtual bool ForStartup(NamedEvent& started, std::chrono::milliseconds timeout) { return started.Wait(timeout); }
    /// Waits for the calculation thread to end; true when it ended within timeout.
    virtual bool ForThreadEnd(NamedEvent& ended, std::chrono::milliseconds timeout) { return ended.Wait(timeout); }
};

/// What the calculation asks of the program around it; every member may be left empty.
struct CalculationHooks {
    /// The view's polling timer (id 42) starts or stops according to IsNumberCrunching.
    std::function<void()> updatePollingFrequency;
    /// The view's polling timer stops.
    std::function<void()> stopPolling;
    /// The first copy of a calculation's atoms is in the document (the screensaver view sets itself up).
    std::function<void()> firstUpdate;
    /// A module left the process in a state that only a hard exit ends.
    std::function<void()> setTerminateAtExit;
    ModuleErrorPrompt promptModuleError;
};

class CNumberCrunching final : public CDocCalculation {
public:
    static constexpr int STARTUP_TIMEOUT_MS = 5000;
    static constexpr int SHUTDOWN_TIMEOUT_MS = 5000;
    /// What the calculation thread returns when it was ended by force or found nothing to run.
    static constexpr int FORCED_EXIT_CODE = -10;
    /// How long a thread told to stop gets to end by itself before it is ended by force.
    static constexpr int STOP_GRACE_MS = 200;
    /// How long a thread ended by force gets to be gone before it is left to itself.
    static constexpr int FORCED_END_WAIT_MS = 1000;

    /// Attaches itself to doc; stdio may be null (nothing is fed, the module gets no handles).
    CNumberCrunching(CDravikDoc& doc, CNumberCrunchModules& modules, std::string appName,
                     CalculationStdIO* stdio = nullptr);
    /// Shuts a running calculation down and detaches from the document.
    ~CNumberCrunching();
    CNumberCrunching(const CNumberCrunching&) = delete;
    CNumberCrunching& operator=(const CNumberCrunching&) = delete;

    void SetHooks(CalculationHooks hooks) { hooks_ = std::move(hooks); }
    void SetWaits(std::shared_ptr<CalculationWaits> waits) { waits_ = std::move(waits); }

    // --- lifecycle --------------------------------------------------------------------------------
    std::string GetTypeOfNumberCrunching() const override { return doc_.moduleLibraryName; }
    /// 1 when the library is loaded (the name is kept), else 0 and a message.
    int SetTypeOfNumberCrunching(const std::string& fileName);
    bool IsNumberCrunching() override;
    bool StartNumberCrunching();
    /// Pauses (pause != 0), resumes, or starts; returns the new text of the calculation's menu item.
    std::string StartorPauseNumberCrunching(int pause);
    /// Ends the calculation; returns "Run <menu name>".
    std::string AbortNumberCrunching();
    void ShutDownNumberCrunching() override;
    /// The calculation becomes idle: stop flag set, unread standard input drained.
    void ModuleIsNotReady();

    // --- coordinate exchange -------------------------------------------------------------------------
    /// Takes over the addresses of the module's data and makes frame 0 the calculation's frame.
    void ModuleIsReady();
    /// Copies the module's current values into frame 0; first only for the copy made by ModuleIsReady.
    void UpdateNumberCrunchingCoordinates(bool first);
    /// The polling view's step: false when the calculation is no longer running (the view stops polling and
    /// shows the finished message), true otherwise (the coordinates were copied when there were any).
    bool Poll() override;
    /// "<library name> has now finished."
    std::string FinishedText() const override;

    /// The calculation that the module callbacks serve (the one started last), or null.
    static CNumberCrunching* Active();

    // Used by the module callbacks on the calculation thread.
    CalcData* Calc();
    CalculationStdIO* StdIO() const { return stdio_; }
    const std::string& MenuName() const { return menuName_; }

private:
    static void DllSubMainFunc(CNumberCrunching* run, BeginCalculationFn beginCalculation);
    /// Ends the calculation thread by force; true when it ended.
    bool TerminateCalculationThread();
    /// Joins the thread when it has ended; a thread that would not end is left to itself.
    void ReleaseThread();
    bool ModuleLibraryPresent() const;
    void PulseResumeEvent(const CalcData& cd);
    /// Whether a module call that faulted should let its exception continue.
    bool PromptModuleError(const std::string& function) const;
    bool ReadModuleData(bool first, double& extent);

    CDravikDoc& doc_;
    CNumberCrunchModules& modules_;
    const std::string appName_;
    CalculationStdIO* const stdio_;
    CalculationHooks hooks_;
    std::shared_ptr<CalculationWaits> waits_ = std::make_shared<CalculationWaits>();
    std::string menuName_;

    std::thread thread_;
    pid_t calculationThread_ = 0;
    std::shared_ptr<NamedEvent> threadEnded_;
    std::shared_ptr<NamedEvent> startupEvent_;

    // Where the module keeps its data, as it stored them through GetAddressesOfCalculationData.
    int atomCount_ = 0;
    char** labels_ = nullptr;
    char* title_ = nullptr;
    void* x_ = nullptr;
    void* y_ = nullptr;
    void* z_ = nullptr;
    void* cellA_ = nullptr;
    void* cellB_ = nullptr;
    void* cellC_ = nullptr;
    int levelIndirection_ = 0;
    int spare_ = 0;
    int doublePrecision_ = 0;
    bool dataTaken_ = false;
};

}  // namespace zelvor
