#include "panels/ioerror/DataInOutModel.h"

#include "dictionary/ObjectDictionary.h"
#include "dictionary/UnitTable.h"
#include "platform/MessageTarget.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {

constexpr uint32_t Sub(uint32_t subIndex) {
    return ObjectAddressOf(DriveObject::kIoIndex, static_cast<uint8_t>(subIndex));
}

constexpr uint32_t kInputReal = Sub(0x0B);
constexpr uint32_t kInputVirtual = Sub(0x0C);
constexpr uint32_t kOutputReal = Sub(0x18);

// The order in which the read sequence asks for the objects.
constexpr uint32_t kReadOrder[DataInOutModel::kReadSteps] = {
    0x0B, 0x0C, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
    0x09, 0x0A, 0x18, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14,
};

// The order in which the entries' units and monitors are registered at creation.
constexpr uint32_t kRegisterOrder[] = {
    0x0B, 0x02, 0x01, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09,
    0x0A, 0x0C, 0x18, 0x0F, 0x0E, 0x10, 0x11, 0x12, 0x13, 0x14,
};

}  // namespace

DataInOutModel::DataInOutModel(Setup setup)
    : setup_(std::move(setup)),
      names_(setup_.definitionPath, setup_.chinese),
      faultBit_(names_.BitNamed(IoFunctionNames::Kind::kOutput, "Fault")) {
    functionTexts_.fill("NULL");
    functionBits_.fill(kUnknownFunctions);
}

uint32_t DataInOutModel::FunctionKey(int port) {
    return port < kInputs ? Sub(0x03 + static_cast<uint32_t>(port))
                          : Sub(0x10 + static_cast<uint32_t>(port - kInputs));
}

uint32_t DataInOutModel::GroupKey(Group group) {
    switch (group) {
        case Group::kInputPolarity:
            return Sub(0x01);
        case Group::kInputSimulate:
            return Sub(0x02);
        case Group::kOutputPolarity:
            return Sub(0x0E);
        case Group::kOutputSimulate:
            return Sub(0x0F);
    }
    return 0;
}

int DataInOutModel::GroupSize(Group group) {
    return group == Group::kInputPolarity || group == Group::kInputSimulate ? kInputs : kOutputs;
}

uint32_t& DataInOutModel::GroupSet(Group group) {
    return groupSets_[static_cast<size_t>(group)];
}

bool DataInOutModel::Bit(Group group, int port) const {
    return (groupSets_[static_cast<size_t>(group)] >> port & 1u) != 0;
}

bool DataInOutModel::LampOn(Lamps lamps, int port) const {
    return (lampWords_[static_cast<size_t>(lamps)] >> port & 1u) != 0;
}

bool DataInOutModel::FaultActive(int outputPort) const {
    if (outputPort < 0 || outputPort >= kOutputs || !LampOn(Lamps::kOutputReal, outputPort)) {
        return false;
    }
    uint32_t bits = functionBits_[static_cast<size_t>(kInputs + outputPort)];
    return faultBit_ >= 0 && bits != kUnknownFunctions && (bits >> faultBit_ & 1u) != 0;
}

void DataInOutModel::Create() {
    for (uint32_t key : {kInputReal, kInputVirtual, kOutputReal}) {
        setup_.link.registerMonitor(setup_.window, key, MonitorClass::ReadOnly);
    }
    if (setup_.dictionary != nullptr) {
        for (uint32_t subIndex : kRegisterOrder) {
            std::optional<DictionaryEntry> entry = setup_.dictionary->FindEntry(Sub(subIndex));
            if (!entry) {
                continue;
            }
            if (setup_.units != nullptr) {
                std::string label;
                setup_.units->RegisterUnits(entry->key, entry->unitSpec, label);
            }
            if (entry->attribute.find('L') != std::string::npos) {
                bool writable = entry->attribute.find('W') != std::string::npos;
                setup_.link.registerMonitor(
                    setup_.window, entry->key,
                    writable ? MonitorClass::Writable : MonitorClass::ReadOnly);
            }
        }
    }
    active_ = true;
    readStep_ = 1;
    TakeReadStep();
}

void DataInOutModel::TakeReadStep() {
    if (readStep_ < 1 || readStep_ > kReadSteps) {
        readStep_ = 0;
        return;
    }
    uint32_t key = Sub(kReadOrder[readStep_ - 1]);
    ++readStep_;
    setup_.link.requester.Request(setup_.window, SdoCommand::Read, key, 0);
}

void DataInOutModel::StartReadSequence() {
    readStep_ = 1;
    TakeReadStep();
}

void DataInOutModel::Write(SdoCommand command, uint32_t key, uint32_t value) {
    writesInFlight_.insert(key);
    setup_.link.requester.Request(setup_.window, command, key, value);
}

void DataInOutModel::SetFunctions(int port, uint32_t bits) {
    if (functionBits_[port] == bits) {
        return;
    }
    functionBits_[port] = bits;
    IoFunctionNames::Description description = names_.Describe(KindOf(port), bits);
    functionTexts_[port] = std::move(description.text);
    hints_[port] = std::move(description.lines);
}

void DataInOutModel::OnLinkValue(uint32_t raw, uint32_t key) {
    writesInFlight_.erase(key);
    switch (key) {
        case Sub(0x01):
            GroupSet(Group::kInputPolarity) = raw;
            break;
        case Sub(0x02):
            GroupSet(Group::kInputSimulate) = raw;
            break;
        case Sub(0x0E):
            GroupSet(Group::kOutputPolarity) = raw;
            break;
        case Sub(0x0F):
            GroupSet(Group::kOutputSimulate) = raw;
            break;
        case kInputReal:
            lampWords_[static_cast<size_t>(Lamps::kInputReal)] = raw;
            break;
        case kInputVirtual:
            lampWords_[static_cast<size_t>(Lamps::kInputVirtual)] = raw;
            break;
        case kOutputReal:
            lampWords_[static_cast<size_t>(Lamps::kOutputReal)] = raw;
            break;
        default:
            for (int port = 0; port < kPorts; ++port) {
                if (FunctionKey(port) == key) {
                    SetFunctions(port, raw);
                    break;
                }
            }
            break;
    }
    if (readStep_ != 0) {
        TakeReadStep();
    }
}

void DataInOutModel::OnLinkAbort(uint32_t key) {
    if (writesInFlight_.erase(key) != 0) {
        setup_.link.requester.Request(setup_.window, SdoCommand::Read, key, 0);
        return;
    }
    readStep_ = 0;
}

void DataInOutModel::OnLinkState(WindowState state) {
    switch (state) {
        case WindowState::Shown:
            if (setup_.link.Connected()) {
                StartReadSequence();
            }
            setup_.link.enableMonitor(setup_.window);
            active_ = true;
            break;
        case WindowState::Hidden:
            readStep_ = 0;
            active_ = false;
            setup_.link.disableMonitor(setup_.window);
            break;
        case WindowState::ConnectionChanged:
            if (active_ && setup_.link.Connected()) {
                StartReadSequence();
            }
            break;
        case WindowState::ProjectOpened:
            if (setup_.link.Connected()) {
                StartReadSequence();
            }
            break;
        default:
            break;
    }
}

void DataInOutModel::ToggleBit(Group group, int port) {
    if (port < 0 || port >= GroupSize(group)) {
        return;
    }
    uint32_t& set = GroupSet(group);
    set ^= 1u << port;
    Write(SdoCommand::Write16, GroupKey(group), set);
}

void DataInOutModel::ChooseFunctions(uint32_t key, uint32_t bits) {
    Write(SdoCommand::Write32, key, bits);
}

}  // namespace tarvo
