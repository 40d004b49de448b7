// The event-wait thread of an open serial port (TCommEventThread in SerialComponent.h).
#include "link/SerialComponent.h"

#include "platform/Trace.h"

#include <chrono>

namespace zopra {

namespace pf = platform;

// The thread and Stop meet in Shared. The thread touches the port only while it is in the
// driver's wait, and it hands each event over as a task that checks the stop flag before it
// runs the handler. So Stop, once the thread is out of the driver, knows that no handler
// will start any more. It joins the thread when the thread can finish without help; when
// the thread sits in a hand-over that needs the very thread that is stopping it (a blocking
// call into the interface thread, or a handler that closes the port), it lets the thread
// finish on its own: the thread then only returns from the hook and ends.

struct TCommEventThread::Shared {
    enum class Phase { Idle, InDriver, InInvoker, AwaitingTask, Exited };

    std::mutex mutex;
    std::condition_variable changed;
    std::shared_ptr<pf::SerialPort> port;
    TCommEventThread* sender = nullptr;
    SignalHandler handler;
    TInterfaceInvoker invoker;
    bool stop = false;
    Phase phase = Phase::Idle;
    bool taskDone = false;
    bool taskRunning = false;
    std::thread::id taskThread;
};

TCommEventThread::TCommEventThread(std::shared_ptr<pf::SerialPort> port, uint32_t suspendTime,
                                   TCommEventTypes events)
    : shared_(std::make_shared<Shared>()), suspendTime_(suspendTime),
      eventMask_(CommEventMask(events)) {
    shared_->port = std::move(port);
    shared_->sender = this;
    setMaskError_ = shared_->port->SetEventMask(eventMask_);
}

TCommEventThread::~TCommEventThread() {
    Stop();
}

void TCommEventThread::SetSignalHandler(SignalHandler handler, TInterfaceInvoker invoker) {
    std::lock_guard guard(shared_->mutex);
    shared_->handler = std::move(handler);
    shared_->invoker = std::move(invoker);
}

void TCommEventThread::Start() {
    if (!thread_.joinable())
        thread_ = std::thread(&TCommEventThread::Execute, shared_);
}

void TCommEventThread::Execute(std::shared_ptr<Shared> shared) {
    using Phase = Shared::Phase;
    std::unique_lock lock(shared->mutex);
    while (!shared->stop) {
        std::shared_ptr<pf::SerialPort> port = shared->port;
        shared->phase = Phase::InDriver;
        lock.unlock();
        const pf::SerialWaitResult result = port->WaitEvent();
        port.reset();
        lock.lock();
        shared->phase = Phase::Idle;
        shared->changed.notify_all();
        if (shared->stop)
            break;
        if (result.state == pf::SerialWait::Failed) {
            // A wait that fails once fails again at once (Wine on a pty does): rest before
            // the next one instead of spinning, and stay ready to stop.
            shared->changed.wait_for(lock, std::chrono::milliseconds(kFailedWaitBackoffMs),
                                     [&] { return shared->stop; });
            continue;
        }
        if (result.state == pf::SerialWait::Woken)
            continue;

        const uint32_t mask = result.mask;
        auto task = [shared, mask] {
            {
                std::lock_guard guard(shared->mutex);
                if (shared->stop || !shared->handler) {
                    shared->taskDone = true;
                    shared->changed.notify_all();
                    return;
                }
                shared->taskRunning = true;
                shared->taskThread = std::this_thread::get_id();
            }
            try {
                shared->handler(shared->sender, mask);
            } catch (const std::exception& error) {
                // Neither the event thread nor the event loop could report it; the window's
                // handlers catch and show their own errors.
                pf::TraceNote("the serial event thread dropped an error of the event handler",
                              error.what());
            } catch (...) {
                pf::TraceNote("the serial event thread dropped an unknown error of the event "
                              "handler");
            }
            std::lock_guard guard(shared->mutex);
            shared->taskRunning = false;
            shared->taskDone = true;
            shared->changed.notify_all();
        };
        shared->taskDone = false;
        shared->phase = Phase::InInvoker;
        TInterfaceInvoker invoker = shared->invoker;
        lock.unlock();
        if (invoker)
            invoker(task);
        else
            task();
        lock.lock();
        shared->phase = Phase::AwaitingTask;
        shared->changed.notify_all();
        shared->changed.wait(lock, [&] { return shared->taskDone || shared->stop; });
        shared->phase = Phase::Idle;
    }
    shared->phase = Phase::Exited;
    shared->port.reset();
    shared->changed.notify_all();
}

void TCommEventThread::Stop() {
    using Phase = Shared::Phase;
    std::shared_ptr<pf::SerialPort> port;
    {
        std::lock_guard guard(shared_->mutex);
        shared_->stop = true;
        port = shared_->port;
        shared_->changed.notify_all();
    }
    if (!thread_.joinable())
        return;
    if (port)
        port->WakeEventWait();

    const std::thread::id me = std::this_thread::get_id();
    std::unique_lock lock(shared_->mutex);
    const bool direct = !shared_->invoker;
    shared_->changed.wait(lock, [&] {
        if (shared_->phase == Phase::Exited)
            return true;
        if (shared_->taskRunning)
            // A handler on another thread is let finish; one on this thread called us.
            return shared_->taskThread == me;
        if (shared_->phase == Phase::InInvoker)
            // Not started: the hook may be waiting for this very thread. Run directly, the
            // task starts on the event thread, sees the stop flag and ends by itself.
            return !direct || thread_.get_id() == me;
        return false; // in the driver (woken) or about to leave: a moment
    });
    const bool exited = shared_->phase == Phase::Exited;
    shared_->port.reset();
    lock.unlock();
    if (exited)
        thread_.join();
    else
        thread_.detach(); // it returns from the hook, sees the stop flag and ends
}

} // namespace zopra
