// The burn thread of "Tous Disques": one pass over the disc list, burning
// each disc that is ready for burning and not burnt when the pass reaches
// it. It touches no mark and no widget itself: it tells its listener, on
// its own thread, what each burn wrote and how it ended, and the listener
// hands that to the user interface. It is never waited for: it keeps
// itself alive until its pass ends.
#pragma once

#include "src/authoring/disclist.h"
#include "src/authoring/toolsteps.h"
#include "src/prefs/settings.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class TBurnThread : public std::enable_shared_from_this<TBurnThread>
{
public:
    using TBurnStep = std::function<TStepResult(const TDisque &disc, const TSettings &settings,
                                                const ToolOutputHandler &handler, const TStepLog &log)>;

    // What the pass tells of its burns; every call comes on the burn thread.
    struct TListener
    {
        std::function<void(const TDiscPtr &disc)> Started;  // before each burn
        ToolOutputHandler Output;  // the burner's output while it runs; it may stop the burner
        TStepLog Log;  // its command line and how it ended
        std::function<void(const TDiscPtr &disc, TStepResult result)> Ended;  // after each burn
        std::function<void()> Finished;  // once the pass has ended
    };

    // Starts the pass at once on a detached thread. The settings are copied
    // now: the main thread may change its own while the burner runs.
    static std::shared_ptr<TBurnThread> Start(std::shared_ptr<const TDiscList> discList,
                                              const TSettings &settings, TBurnStep burn,
                                              TListener listener = {});

    bool Finished() const;
    // From any thread: the burner at work is asked to stop, and the pass
    // ends without burning another disc.
    void RequestStop() { FStopRequested = true; }
    // True once the pass has ended, false when timeoutMs passed first.
    bool WaitFor(int timeoutMs) const;

    std::shared_ptr<const TDiscList> DiscList;
    // The disc the pass is looking at; kept alive while it is burnt.
    TDiscPtr CurrentDisc;

private:
    TBurnThread(std::shared_ptr<const TDiscList> discList, const TSettings &settings, TBurnStep burn,
                TListener listener);
    void Execute();

    TSettings FSettings;
    TBurnStep FBurn;
    TListener FListener;
    mutable std::mutex FMutex;
    mutable std::condition_variable FEnded;
    bool FFinished = false;
    std::atomic<bool> FStopRequested {false};
};
