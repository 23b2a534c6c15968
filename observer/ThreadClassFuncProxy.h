#pragma once
// The thread behind a CThreadFunctor: calls `function` on `object` on a new
// std::thread, then notifies the subject given to Start (with a null
// argument, so observers receive that subject itself).

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "observer/CThreadFunctor.h"

namespace qt40 {

template <typename T, typename F = void (T::*)()>
class ThreadClassFuncProxy : public CThreadFunctor::ThreadInterface {
public:
    ThreadClassFuncProxy(T* object, F function) : object_(object), function_(function) {}
    ThreadClassFuncProxy(const ThreadClassFuncProxy&) = delete;
    ThreadClassFuncProxy& operator=(const ThreadClassFuncProxy&) = delete;
    ~ThreadClassFuncProxy() override { Wait(); }

    bool Start(CObservable* subject) override {
        // Two runs at once would share the object's data.
        if (running_) return false;
        if (thread_.joinable()) thread_.join();
        running_ = true;
        subject_ = subject;
        thread_ = std::thread([this] { Run(); });
        return true;
    }

    void Wait() override {
        if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
    }

    bool IsRunning() const override { return running_; }

private:
    void Run() {
        try {
            std::invoke(function_, object_);
        } catch (...) {
            // A failed run still reports that it has ended.
        }
        if (subject_ != nullptr) subject_->Notify(nullptr);
        running_ = false;
    }

    T* object_;
    F function_;
    CObservable* subject_ = nullptr;
    std::thread thread_;
    std::atomic<bool> running_{false};
};

template <typename T>
CThreadFunctor MakeThreadFunctor(T* object, void (T::*function)()) {
    return CThreadFunctor(std::make_shared<ThreadClassFuncProxy<T>>(object, function));
}

}  // namespace qt40
