#pragma once

#include <string>

#include "can/CanBackend.h"
#include "can/PcanBasicApi.h"

namespace tarvo::canbus {

// PEAK's PCAN-Basic library, loaded at run time when it is installed. Its bit-rate codes
// are the codes of the CAN form, passed on unchanged.
class PcanBasicBackend : public CanBackend {
public:
    PcanBasicBackend(std::string library, uint32_t channel)
        : library_(std::move(library)), channel_(static_cast<TPCANHandle>(channel)) {}
    ~PcanBasicBackend() override;

    std::string Open(uint32_t code, uint32_t bitsPerSecond) override;
    void Close() override;
    std::string Send(const Frame& frame) override;
    int Receive(Frame& frame, int timeoutMs, std::string& error) override;
    std::string TraceName() const override;
    bool Probe(std::string& detail) override;

private:
    // Loads the library and finds its functions; empty on success.
    std::string Load();
    std::string StatusText(TPCANStatus status) const;

    std::string library_;
    TPCANHandle channel_;
    void* handle_ = nullptr;
    PcanInitializeFn initialize_ = nullptr;
    PcanUninitializeFn uninitialize_ = nullptr;
    PcanReadFn read_ = nullptr;
    PcanWriteFn write_ = nullptr;
    PcanGetValueFn getValue_ = nullptr;
    PcanGetErrorTextFn getErrorText_ = nullptr;
    bool open_ = false;
    int receiveEvent_ = -1;  // the library's receive event, when it offers one
};

}  // namespace tarvo::canbus
