#pragma once
// Getting onto the loop: open the port, start the worker, identify, upload,
// poll; search the polling addresses; write a new polling address; and the
// failure policy every request shares. Runs on the window side's thread and
// talks to the worker only through its operations.

#include <string>

#include "base/Clock.h"
#include "link/CommWorker.h"
#include "procedures/ConnectionView.h"
#include "base/Prompts.h"
#include "transport/LineSetting.h"

namespace qt40 {

class ConnectionController {
public:
    ConnectionController(CommWorker& worker, Prompts& prompts, ConnectionView& view, Clock& clock);

    void SetPortName(const std::string& name) { portName_ = name; }
    const std::string& PortName() const { return portName_; }
    // The line the next connection opens the port with.
    void SetLine(const LineSetting& line) { line_ = line; }
    const LineSetting& Line() const { return line_; }
    static std::string PortDefinition(const std::string& portName, const LineSetting& line = {});

    // Opens the port, starts the worker and submits the identification; a
    // failure goes through the failure policy (Retry repeats the failed step).
    CommResult Connect();
    void StopConnection();
    // "Connect Device": stop, wait 500 ms, connect at the current address.
    CommResult ConnectDevice();
    // "Search Device": stop, wait 500 ms, search upward from the current address.
    CommResult SearchDevice();
    // "Write Device Address": stages the address and submits the write.
    CommResult WritePollingAddress(int address);

    // Every worker notification that no panel handled itself comes here.
    // Returns true when it was for the connection logic.
    bool HandleNotification(const Notification& n);

    bool Connected() const { return connected_; }
    bool Searching() const { return worker_.Searching(); }
    bool ProgressShown() const { return progressShown_; }
    int PollingAddress();
    // The progress windows, as the connection logic tracks them (a master
    // reset's re-upload shows the upload window too).
    void ShowProgress(ProgressKind kind, const std::string& key);
    void HideProgress(ProgressKind kind);

private:
    void HandleFailure(WorkerRequest requestCode);
    void SayConnectRefused();
    // The port vanished, or the carrier never dropped: asked in those words,
    // since every try would fail the same way. Retry goes on with the failed
    // step (a vanished port is opened again first); Cancel ends the connection.
    void AskAboutLine(LinkFailure failure);
    // Retry or not, in the words that fit the failure.
    bool AskAboutFailure(LinkFailure failure);
    void SearchStep();
    void SearchConfirm();
    bool AskRetry(const std::string& key, BoxType type);
    void SetAddress(int address);

    CommWorker& worker_;
    Prompts& prompts_;
    ConnectionView& view_;
    Clock& clock_;
    std::string portName_;
    LineSetting line_;
    bool connected_ = false;
    bool searchConfirmed_ = false;
    bool progressShown_ = false;
    bool identifyUnanswered_ = false;  // the failure being handled: no answer to command 0
    int reconnectWaitMs_ = 500;

public:
    // Tests shorten the half-second pause between stopping and connecting.
    void SetReconnectWaitMs(int ms) { reconnectWaitMs_ = ms; }
};

}  // namespace qt40
