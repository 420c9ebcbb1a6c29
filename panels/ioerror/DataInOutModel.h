#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "panels/ioerror/IoFunctionNames.h"
#include "panels/ioerror/IoPanelLink.h"
#include "platform/MessageTarget.h"

namespace tarvo {

class MessageTarget;
class ObjectDictionary;
class UnitTable;

// The I/O port panel without its widgets: the eight inputs and five outputs of object 2010h,
// their function bits with names and hints, the simulate and polarity bit sets, the lamp
// words and the read sequence. The view shows what it holds after every message.
class DataInOutModel {
public:
    static constexpr int kInputs = 8;
    static constexpr int kOutputs = 5;
    static constexpr int kPorts = kInputs + kOutputs;  // DIN1..DIN8, then DOUT1..DOUT5
    static constexpr uint32_t kUnknownFunctions = 0xFFFFFFFF;
    static constexpr int kReadSteps = 20;

    // The bit sets that the buttons toggle, each written whole as a 16-bit value.
    enum class Group { kInputPolarity, kInputSimulate, kOutputPolarity, kOutputSimulate };
    enum class Lamps { kInputReal, kInputVirtual, kOutputReal };

    struct Setup {
        IoPanelLink link;
        MessageTarget* window = nullptr;  // receives the replies
        const ObjectDictionary* dictionary = nullptr;
        UnitTable* units = nullptr;
        std::string definitionPath;  // <program folder>/sys/DataInOut.ini
        bool chinese = false;
    };

    explicit DataInOutModel(Setup setup);

    // Registers the monitor entries and units and starts the first read sequence.
    void Create();

    void OnLinkValue(uint32_t raw, uint32_t key);
    // A refused write is read back so that the drive's value shows again; a refused read
    // ends the read sequence.
    void OnLinkAbort(uint32_t key);
    // WM_LINK_STATE but SaveProject (the window place is the view's).
    void OnLinkState(WindowState state);
    // Flips bit `port` (0-based within the group) and writes the group's whole set.
    void ToggleBit(Group group, int port);
    // WM_FUNCTION_CHOSEN: the chooser's new function bits for the port of `key`.
    void ChooseFunctions(uint32_t key, uint32_t bits);

    static uint32_t FunctionKey(int port);
    static uint32_t GroupKey(Group group);
    static int GroupSize(Group group);
    static IoFunctionNames::Kind KindOf(int port) {
        return port < kInputs ? IoFunctionNames::Kind::kInput : IoFunctionNames::Kind::kOutput;
    }

    bool Bit(Group group, int port) const;
    bool LampOn(Lamps lamps, int port) const;
    // An output assigned the fault function that is on: the drive reports a fault on it.
    bool FaultActive(int outputPort) const;
    const std::string& FunctionText(int port) const { return functionTexts_[port]; }
    const std::vector<std::string>& HintLines(int port) const { return hints_[port]; }
    uint32_t FunctionBits(int port) const { return functionBits_[port]; }
    int ReadStep() const { return readStep_; }
    bool Active() const { return active_; }
    const IoFunctionNames& Names() const { return names_; }

private:
    void TakeReadStep();
    void StartReadSequence();
    void SetFunctions(int port, uint32_t bits);
    uint32_t& GroupSet(Group group);
    void Write(SdoCommand command, uint32_t key, uint32_t value);

    Setup setup_;
    IoFunctionNames names_;
    int faultBit_ = -1;  // the output function bit named "Fault", -1 without one
    std::array<std::string, kPorts> functionTexts_;
    std::array<std::vector<std::string>, kPorts> hints_;
    std::array<uint32_t, kPorts> functionBits_;
    std::array<uint32_t, 4> groupSets_{};  // by Group
    std::array<uint32_t, 3> lampWords_{};  // by Lamps
    std::set<uint32_t> writesInFlight_;
    int readStep_ = 0;
    bool active_ = false;
};

}  // namespace tarvo
