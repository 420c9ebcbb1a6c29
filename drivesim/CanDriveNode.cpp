#include "drivesim/CanDriveNode.h"

#include <algorithm>

#include "protocol/DriveObjects.h"
#include "protocol/DriveProtocol.h"

namespace tarvo::sim {

namespace {

canbus::Frame MakeFrame(uint32_t id, std::initializer_list<uint8_t> bytes) {
    canbus::Frame frame;
    frame.id = id;
    frame.length = static_cast<uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), frame.data);
    return frame;
}

}  // namespace

CanDriveNode::CanDriveNode(SimulatedDrive& drive, uint8_t node, const FaultSettings& faults)
    : drive_(drive), node_(node), faults_(faults) {}

void CanDriveNode::Queue(uint64_t dueUs, const canbus::Frame& frame) {
    // Frames keep their order: a later one never overtakes an earlier one.
    if (!queue_.empty()) {
        dueUs = std::max(dueUs, queue_.back().dueUs);
    }
    queue_.push_back({dueUs, frame});
}

void CanDriveNode::OnFrame(const canbus::Frame& frame, uint64_t nowUs) {
    if (closeRequested_ || frame.IsExtended() || frame.IsRemote() ||
        frame.Identifier() != kCanRequestBase + node_ || frame.length < 8) {
        return;
    }
    SdoReply reply;
    if (!drive_.Exchange(SdoRequest::FromBytes(frame.data), nowUs, reply)) {
        return;
    }
    FaultPlan::Decision decision = faults_.Next();
    if (!decision.answer) {
        return;
    }
    uint64_t due = nowUs + decision.delayUs;
    if (decision.stray) {
        uint16_t status = static_cast<uint16_t>(
            ObjectTable::Value(drive_.Model().Find(DriveObject::kStatusWord)));
        uint8_t other = static_cast<uint8_t>(node_ % 127 + 1);
        Queue(due, MakeFrame(0x700u + node_, {0x7F}));
        Queue(due, MakeFrame(0x180u + node_,
                             {static_cast<uint8_t>(status), static_cast<uint8_t>(status >> 8)}));
        canbus::Frame foreign;
        foreign.id = kCanReplyBase + other;
        foreign.length = 8;
        SdoReply::Expedited(ToByte(SdoReplyCommand::Value32),
                            (static_cast<uint32_t>(frame.data[2]) << 16) |
                                (static_cast<uint32_t>(frame.data[1]) << 8) | frame.data[3],
                            0xDEADBEEF)
            .ToBytes(foreign.data);
        Queue(due, foreign);
    }
    // A write is acknowledged as CANopen acknowledges a download, still carrying the value
    // the drive now holds in its data bytes.
    if (IsWriteCommand(frame.data[0]) && reply.command != ToByte(SdoReplyCommand::Abort)) {
        reply.command = ToByte(SdoReplyCommand::DownloadAck);
    }
    canbus::Frame answer;
    answer.id = kCanReplyBase + node_;
    answer.length = 8;
    reply.ToBytes(answer.data);
    Queue(due, answer);
    closeRequested_ = decision.closeAfter;
}

void CanDriveNode::TakeDue(uint64_t nowUs, std::vector<canbus::Frame>& out) {
    DriveModel& model = drive_.Model();
    model.AdvanceTo(nowUs);
    bool silent = model.Silent();
    int64_t period = ObjectTable::Value(model.Find(DriveObject::kHeartbeatTime));
    heartbeatPeriodUs_ = silent || period <= 0 ? 0 : static_cast<uint64_t>(period) * 1000;
    if (wasSilent_ && !silent) {
        Queue(nowUs, MakeFrame(0x700u + node_, {0x00}));  // boot-up
        nextHeartbeatUs_ = nowUs + heartbeatPeriodUs_;
    } else if (heartbeatPeriodUs_ != 0 && nowUs >= nextHeartbeatUs_) {
        Queue(nowUs, MakeFrame(0x700u + node_, {0x7F}));  // pre-operational
        nextHeartbeatUs_ = nowUs + heartbeatPeriodUs_;
    }
    wasSilent_ = silent;
    while (!queue_.empty() && queue_.front().dueUs <= nowUs) {
        out.push_back(queue_.front().frame);
        queue_.pop_front();
    }
}

int64_t CanDriveNode::NextDueUs() const {
    int64_t next = queue_.empty() ? -1 : static_cast<int64_t>(queue_.front().dueUs);
    if (heartbeatPeriodUs_ != 0) {
        int64_t heartbeat = static_cast<int64_t>(nextHeartbeatUs_);
        next = next < 0 ? heartbeat : std::min(next, heartbeat);
    }
    return next;
}

}  // namespace tarvo::sim
