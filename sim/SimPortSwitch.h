#pragma once
// The window program's serial port: a name that a running in-process
// simulator holds opens that simulator, every other name the system's port.
// Only one of the two is in use at a time, from Open until the next Open.

#include <memory>

#include "transport/SerialPort.h"

namespace qt40::sim {

class SimPortSwitch final : public SerialPort {
public:
    explicit SimPortSwitch(std::unique_ptr<SerialPort> system);

    bool Open(const std::string& path, int readSliceMs) override;
    // The simulator has no line to set; the system's port keeps the setting
    // for whichever Open reaches it.
    void SetLine(const LineSetting& line) override { system_->SetLine(line); }
    void Close() override { Active().Close(); }
    bool IsOpen() const override { return Active().IsOpen(); }
    CarrierState Carrier() override { return Active().Carrier(); }
    void PurgeInput() override { Active().PurgeInput(); }
    void PurgeOutput() override { Active().PurgeOutput(); }
    bool Write(const std::uint8_t* bytes, std::size_t n) override {
        return Active().Write(bytes, n);
    }
    ReadOutcome ReadByte(std::uint8_t& byte) override { return Active().ReadByte(byte); }
    bool ClearError() override { return Active().ClearError(); }
    std::string LastError() const override { return Active().LastError(); }
    OpenError LastOpenError() const override { return Active().LastOpenError(); }
    bool Vanished() const override { return Active().Vanished(); }

    // True while the simulator, not the system's port, is the one in use.
    bool OnSimulator() const { return simulator_ != nullptr; }

private:
    SerialPort& Active() const { return simulator_ ? *simulator_ : *system_; }

    std::unique_ptr<SerialPort> system_;
    std::shared_ptr<SerialPort> simulator_;  // kept alive while in use
};

}  // namespace qt40::sim
