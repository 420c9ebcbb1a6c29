#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "protocol/CanObjectAbi.h"
#include "protocol/SerialPortAbi.h"

namespace tarvo {

class MessageBox;

// Binds the library of the chosen interface at run time (data/libCOM.so for RS232,
// data/libCAN.so for CAN), creates its communication object and forwards the calls to it.
// The only place of the program that touches those libraries.
//
// The user-interface thread loads, opens and closes while the link's worker may be inside
// an exchange: the worker runs each exchange on a Port, which keeps the object it was given
// alive until the exchange ends, so that Load never waits for an exchange nor pulls the
// object from under it. An object replaced by Load is closed at once, which ends a wait
// for a silent drive, and released by whichever side lets go of it last. Loading while a
// connection is open keeps that connection's object.
class CommLibrary {
public:
    enum Mode : int32_t { kSerial = 2, kCan = 5, kNone = 6 };

    // The object of the current interface, taken for one exchange.
    class Port {
    public:
        int32_t mode() const { return mode_; }
        bool valid() const { return serial_ != nullptr || can_ != nullptr; }
        // As CommLibrary's Transact and FetchReply, on this object.
        int32_t Transact(const void* frame, uint32_t length) const;
        int32_t FetchReply(void* buffer, uint32_t* length) const;

    private:
        friend class CommLibrary;
        int32_t mode_ = kNone;
        std::shared_ptr<SerialPort> serial_;
        std::shared_ptr<CanObject> can_;
    };

    // `programFolder` is the folder that holds data/; a relative one is taken from the
    // current directory now.
    CommLibrary(const std::string& programFolder, MessageBox& messageBox);
    ~CommLibrary();
    CommLibrary(const CommLibrary&) = delete;
    CommLibrary& operator=(const CommLibrary&) = delete;

    // 1 loaded (or nothing to load for another mode), 0 failed. A file that is no regular
    // file or a truncated library is refused before the loader sees it.
    int Load(int32_t mode);
    // Why the last Load could not load its library; empty after a load.
    const std::string& LoadError() const { return loadError_; }
    // 0 when open; -1 without settings, mode, library or object; else the object's result.
    int32_t Open(const CommSettings* settings);
    // RS232: the port's Transact; CAN: transmit of the 16-byte CanMessage. -1 without object.
    int32_t Transact(const void* frame, uint32_t length);
    // RS232: the port's FetchReply (1 when bytes were copied); CAN: receive into the
    // 16-byte CanMessage (0 when a reply was stored). -1 without object.
    int32_t FetchReply(void* buffer, uint32_t* length);
    // Also ends an exchange that waits on the object meanwhile.
    void Close();
    // Fills a 256-byte buffer with the CAN library's version text; 0 without CAN object.
    int32_t ReadVersion(char* text256);
    // Why the CAN library's last open or version query failed, as the library words it
    // (backend, interface and reason); empty when the library does not tell.
    std::string CanFailureReason() const;
    // A bus scan on the open CAN connection: sends the requests back to back and gives each
    // its reply in `replies` (length 0: none came within the reply timeout). 0 done, -1 when
    // no CAN connection is open or its library scans no bus (then ask node by node), else
    // the library's error.
    int32_t ProbeCan(const CanMessage* requests, uint32_t count, CanMessage* replies);
    // The interface of the connection that is open (kSerial or kCan), kNone while none is.
    int32_t openMode() const { return openMode_.load(); }

    // The object exchanges go to, safe to take on any thread: that of the open connection,
    // else that of the loaded mode.
    Port Acquire() const;

    int32_t mode() const { return mode_.load(); }
    const CommSettings& keptSettings() const { return keptSettings_; }
    bool hasObject() const;

    // The CAN form's caption: "CAN Ver" followed by the version text from its last ':'.
    static std::string VersionCaption(const char* versionText);

private:
    // Closes an object that an exchange may still hold, so that its wait ends, and lets go.
    template <typename Object>
    static void Retire(std::shared_ptr<Object>& object);
    int32_t OpenPort(const Port& port, const CommSettings& settings);

    CommSettings keptSettings_{};
    std::shared_ptr<CanObject> canObject_;
    std::shared_ptr<SerialPort> serialObject_;
    void* libraryHandle_ = nullptr;
    std::atomic<int32_t> mode_{kNone};
    // An open connection keeps serving while the other interface is loaded and tried; a
    // successful open of that one replaces it.
    std::atomic<int32_t> openMode_{kNone};
    using CanLastErrorFn = uint32_t (*)(CanObject*, char*, uint32_t);
    CanLastErrorFn canLastError_ = nullptr;
    using CanProbeFn = uint32_t (*)(CanObject*, const CanMessage*, uint32_t, CanMessage*);
    CanProbeFn canProbe_ = nullptr;
    mutable std::mutex objectMutex_;  // the mode and both object pointers, held only to copy
    std::string dataFolder_;
    std::string loadError_;
    std::string canLoadError_;  // the CAN library's path and why it could not be loaded
    MessageBox& messageBox_;
};

}  // namespace tarvo
