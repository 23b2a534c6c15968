#pragma once
// Runs a member function of an object on a thread of its own and, when the
// function returns, notifies the subject given to Start from that thread.
// Copies share one thread implementation; the last owner waits for it.

#include <memory>

#include "observer/CObservable.h"

namespace qt40 {

class CThreadFunctor : public CObservable {
public:
    class ThreadInterface {
    public:
        virtual ~ThreadInterface() = default;
        // Refused (false) while a run is still going on.
        virtual bool Start(CObservable* subject) = 0;
        virtual void Wait() = 0;
        virtual bool IsRunning() const = 0;
    };

    explicit CThreadFunctor(std::shared_ptr<ThreadInterface> thread);
    CThreadFunctor(const CThreadFunctor&) = default;
    CThreadFunctor& operator=(const CThreadFunctor&) = default;
    ~CThreadFunctor() override;

    // Starts a run that notifies `subject` (usually this functor) when done;
    // false when the previous run has not ended yet.
    bool Start(CObservable* subject) { return thread_->Start(subject); }
    // Waits without time limit for the current run to end.
    void Wait() { thread_->Wait(); }
    // True from Start until the run has finished notifying.
    bool IsRunning() const { return thread_->IsRunning(); }

private:
    std::shared_ptr<ThreadInterface> thread_;
};

}  // namespace qt40
