#include "transfer/ImportDrvDataModel.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/transfer/TransferRig.h"
#include "transfer/TransferTexts.h"

namespace tarvo {
namespace {

using test::SentRequest;
using Model = ImportDrvDataModel;

class ImportDrvDataModelTest : public ::testing::Test {
protected:
    void Load(const std::string& text) {
        model.BeginOpen();
        model.LoadFile(rig.folder.Write("params.cdi", text));
        model.EndOpen();
    }
    void Answer(uint32_t value, bool abort = false) {
        ASSERT_FALSE(rig.link.requests.empty());
        AnswerFor(rig.link.requests.back().address, value, abort);
    }
    // A reply about `address`, which may be another entry than the one asked for.
    void AnswerFor(uint32_t address, uint32_t value, bool abort = false) {
        model.onMessage(abort ? WM_LINK_ABORT : WM_LINK_VALUE, value, address);
    }
    // Answers each write with its own value and each read from `drive` by address.
    void Serve(const std::map<uint32_t, uint32_t>& drive) {
        // The run has sent its first request already.
        size_t served = rig.link.requests.size() - 1;
        while (model.Running() && served < rig.link.requests.size()) {
            const SentRequest r = rig.link.requests[served++];
            Answer(r.command == SdoCommand::Read ? drive.at(r.address) : r.data);
        }
    }

    test::TransferRig rig;
    test::DummyWindow mainFrame;
    Model model{{rig.link, rig.switches, rig.box, rig.dictionary, rig.storeTimer, rig.watchTimer,
                 &mainFrame}};
};

TEST_F(ImportDrvDataModelTest, LoadsRowsWithoutGapsAndSkipsFailedOnes) {
    Load("20110110,-2,True\r\n\r\n60810020,0x06020000,Fail\r\n30000108,0x00ff,\r\n");
    ASSERT_EQ(model.Rows().size(), 2u);
    EXPECT_EQ(model.Rows()[1].wordText, "30000108");
    EXPECT_EQ(model.Rows()[1].name, "? ? ? ?");
    EXPECT_EQ(model.Rows()[1].loadValue, "0x00ff");
    EXPECT_EQ(model.SkippedLines().size(), 2u);
    EXPECT_EQ(model.StatusText(Model::kLoadStatus), "Import data finished.");
}

TEST_F(ImportDrvDataModelTest, WritesThenReadsBackEachRow) {
    Load("20110110,-2,True\r\n30000108,0x00ff,True\r\n60400010,1,True\r\n60810020,x12,True\r\n");
    model.Write();
    EXPECT_EQ(rig.switches.cyclicReadEnabled, 0);
    EXPECT_EQ(rig.switches.transmitRetry, 1);
    EXPECT_STREQ(RowResultText(model.Rows()[3].result), "Skipped");  // not a number: never written
    // -2 goes out as a 16-bit write and is verified against the drive's 0xFFFE.
    EXPECT_EQ(rig.link.requests.back(),
              (SentRequest{&model, SdoCommand::Write16, 0x201101, 0xFFFFFFFE}));
    Answer(0xFFFE);
    EXPECT_EQ(rig.link.requests.back(), (SentRequest{&model, SdoCommand::Read, 0x201101, 0}));
    Answer(0xFFFE);
    EXPECT_EQ(model.Rows()[0].readValue, "-2");
    EXPECT_STREQ(RowResultText(model.Rows()[0].result), "True");
    EXPECT_EQ(rig.link.requests.back(), (SentRequest{&model, SdoCommand::Write8, 0x300001, 0xFF}));
    Answer(0xFF);
    Answer(0xFF);
    EXPECT_EQ(model.Rows()[1].readValue, "0xff");
    EXPECT_STREQ(RowResultText(model.Rows()[1].result), "True");
    // The write's reply claims 1, but the drive holds 0: the read-back decides.
    Answer(1);
    Answer(0);
    EXPECT_STREQ(RowResultText(model.Rows()[2].result), "Alarm");
    EXPECT_FALSE(model.Running());
    EXPECT_EQ(rig.link.requests.size(), 6u);
    EXPECT_EQ(model.StatusText(Model::kWriteStatus),
              std::string("Finish: Total:4  Alarm:1  Error:1") + TransferTexts::kRewriteHint);
    EXPECT_EQ(rig.box.texts, (std::vector<std::string>{std::string("Finish: Total:4  Alarm:1  "
                                                                   "Error:1") +
                                                       TransferTexts::kRewrite}));
    EXPECT_EQ(rig.switches.cyclicReadEnabled, 1);
    // The same outcome again: the warning is shown once per file.
    model.Write();
    Serve({{0x201101, 0xFFFE}, {0x300001, 0xFF}, {0x604000, 0}});
    EXPECT_EQ(rig.box.texts.size(), 1u);
    Load("60400010,1,True\r\n");
    model.Write();
    Serve({{0x604000, 0}});
    EXPECT_EQ(rig.box.texts.size(), 2u);
}

TEST_F(ImportDrvDataModelTest, AbortedWriteFailsAndTheSequenceGoesOn) {
    Load("60400010,1,True\r\n60810020,5,True\r\n");
    model.Write();
    Answer(0x06010002, true);
    EXPECT_EQ(model.Rows()[0].readValue, "0x604000");
    EXPECT_STREQ(RowResultText(model.Rows()[0].result), "Fail");
    EXPECT_EQ(rig.link.requests.back().address, 0x608100u);
    Answer(5);
    Answer(5);
    EXPECT_EQ(model.StatusText(Model::kWriteStatus),
              std::string("Finish: Total:2  Alarm:0  Error:1") + TransferTexts::kRewriteHint);
}

TEST_F(ImportDrvDataModelTest, RepliesAboutAnotherEntryAreNotTaken) {
    Load("60400010,1,True\r\n60810020,5,True\r\n");
    model.Write();
    // A late reply about the next row, and the reboot's, while the first row's write is out.
    AnswerFor(0x608100, 5);
    AnswerFor(0x2FFF00, 0x06020000, true);
    EXPECT_EQ(rig.link.requests.size(), 1u);
    Answer(1);
    EXPECT_EQ(rig.link.requests.back(), (SentRequest{&model, SdoCommand::Read, 0x604000, 0}));
    AnswerFor(0x608100, 1);
    EXPECT_STREQ(RowResultText(model.Rows()[0].result), "");
    Answer(1);
    EXPECT_STREQ(RowResultText(model.Rows()[0].result), "True");
    EXPECT_EQ(rig.link.requests.back().address, 0x608100u);
}

TEST_F(ImportDrvDataModelTest, ChangedOnlyReadsEachRowOnceAndVerifiesOnlyTheWrittenRows) {
    Load("60400010,1,True\r\n60810020,5,True\r\n607A0020,-7,True\r\n60830020,3,True\r\n");
    model.Start(Model::RunKind::kWriteChanged);
    std::map<uint32_t, uint32_t> drive{
        {0x604000, 1}, {0x608100, 9}, {0x607A00, 0xFFFFFFF9}, {0x608300, 4}};
    // The drive takes no write: every read gives the served map's value.
    Serve(drive);
    // Four reads, two writes, two reads back: 4 + 2 + 2, not 4 + 2 + 4.
    std::vector<SentRequest> expected = {
        {&model, SdoCommand::Read, 0x604000, 0},    {&model, SdoCommand::Read, 0x608100, 0},
        {&model, SdoCommand::Read, 0x607A00, 0},    {&model, SdoCommand::Read, 0x608300, 0},
        {&model, SdoCommand::Write32, 0x608100, 5}, {&model, SdoCommand::Write32, 0x608300, 3},
        {&model, SdoCommand::Read, 0x608100, 0},    {&model, SdoCommand::Read, 0x608300, 0}};
    EXPECT_EQ(rig.link.requests, expected);
    EXPECT_EQ(model.WritesSent(), 2);
    // The drive still holds 9 and 4 in the served map: both written rows are Alarm, the
    // rows read equal in the first pass stay True.
    EXPECT_STREQ(RowResultText(model.Rows()[0].result), "True");
    EXPECT_STREQ(RowResultText(model.Rows()[1].result), "Alarm");
    EXPECT_STREQ(RowResultText(model.Rows()[2].result), "True");
    EXPECT_STREQ(RowResultText(model.Rows()[3].result), "Alarm");
    EXPECT_EQ(model.AlarmCount(), 2);

    // Nothing differs: one read per row, nothing written or read again.
    rig.link.requests.clear();
    drive[0x608100] = 5;
    drive[0x608300] = 3;
    model.Start(Model::RunKind::kWriteChanged);
    Serve(drive);
    EXPECT_EQ(rig.link.requests.size(), 4u);
    EXPECT_EQ(model.WritesSent(), 0);
    EXPECT_EQ(model.AlarmCount(), 0);
    EXPECT_FALSE(model.Running());

    rig.link.requests.clear();
    model.Start(Model::RunKind::kCompare);
    Serve(drive);
    EXPECT_EQ(rig.link.requests.size(), 4u);
    EXPECT_EQ(model.AlarmCount(), 0);
    EXPECT_EQ(model.WritesSent(), 0);
}

TEST_F(ImportDrvDataModelTest, ChangedOnlyReadsBackARefusedWrite) {
    Load("60400010,1,True\r\n60810020,5,True\r\n");
    model.Start(Model::RunKind::kWriteChanged);
    Answer(2);  // 6040:00 differs
    Answer(5);  // 6081:00 equal
    ASSERT_EQ(rig.link.requests.back(), (SentRequest{&model, SdoCommand::Write16, 0x604000, 1}));
    Answer(0x06090030, true);
    ASSERT_EQ(rig.link.requests.size(), 4u);
    EXPECT_EQ(rig.link.requests.back(), (SentRequest{&model, SdoCommand::Read, 0x604000, 0}));
    Answer(2);
    EXPECT_FALSE(model.Running());
    EXPECT_STREQ(RowResultText(model.Rows()[0].result), "Alarm");
    EXPECT_STREQ(RowResultText(model.Rows()[1].result), "True");
}

TEST_F(ImportDrvDataModelTest, StoreStepsWaitAndCheckTheDrivesAnswers) {
    model.SaveParameters();
    EXPECT_FALSE(model.ButtonEnabled(Model::kStoreButton));
    EXPECT_EQ(model.StatusText(Model::kStoreStatus), "Save data in the driver...");
    EXPECT_TRUE(rig.link.requests.empty());
    EXPECT_EQ(rig.storeTimer.Interval().count(), 100);
    rig.storeTimer.Fire();
    EXPECT_EQ(rig.link.requests.back(), (SentRequest{&model, SdoCommand::Write8, 0x2FF003, 1}));
    Answer(1);
    EXPECT_EQ(rig.storeTimer.Interval().count(), 400);
    rig.storeTimer.Fire();
    EXPECT_EQ(rig.link.requests.back(), (SentRequest{&model, SdoCommand::Write8, 0x2FF001, 1}));
    Answer(1);
    EXPECT_EQ(rig.storeTimer.Interval().count(), 800);
    EXPECT_TRUE(model.Storing());
    rig.storeTimer.Fire();
    EXPECT_EQ(model.StatusText(Model::kStoreStatus), "Finished.");
    EXPECT_TRUE(model.ButtonEnabled(Model::kStoreButton));

    // A refused store (the read-back gives 0) is not reported as finished.
    model.SaveParameters();
    rig.storeTimer.Fire();
    Answer(0);
    rig.storeTimer.Fire();
    Answer(0x08000020, true);
    EXPECT_EQ(rig.storeTimer.Interval().count(), 800);
    rig.storeTimer.Fire();
    EXPECT_TRUE(model.StoreFailed());
    EXPECT_EQ(model.StatusText(Model::kStoreStatus),
              "Failed: the driver did not save the parameters.");
}

TEST_F(ImportDrvDataModelTest, EachStoreStepsRefusalAloneFailsTheStore) {
    // The drive's answer to each store step: a value (1 is success) or an abort code.
    struct Answer {
        uint32_t value;
        bool abort;
    };
    struct Case {
        const char* what;
        std::vector<Answer> answers;
        size_t requests;
        bool failed;
    };
    const Answer ok{1, false};
    const Case cases[] = {
        {"both steps done", {ok, ok}, 2, false},
        {"first step aborted", {{0x08000020, true}}, 1, true},
        {"second step aborted", {ok, {0x08000020, true}}, 2, true},
        {"first step refused", {{0, false}, ok}, 2, true},
        {"second step refused", {ok, {0, false}}, 2, true},
    };
    for (const Case& c : cases) {
        rig.link.requests.clear();
        model.SaveParameters();
        for (const Answer& answer : c.answers) {
            rig.storeTimer.Fire();
            ASSERT_FALSE(rig.link.requests.empty()) << c.what;
            // A reply about another entry changes nothing.
            AnswerFor(0x2FFF00, 1);
            AnswerFor(0x2FFF00, 0x08000020, true);
            this->Answer(answer.value, answer.abort);
        }
        EXPECT_EQ(rig.storeTimer.Interval().count(), 800) << c.what;
        rig.storeTimer.Fire();
        EXPECT_FALSE(model.Storing()) << c.what;
        EXPECT_EQ(rig.link.requests.size(), c.requests) << c.what;
        EXPECT_EQ(model.StoreFailed(), c.failed) << c.what;
        EXPECT_EQ(model.StatusText(Model::kStoreStatus),
                  c.failed ? "Failed: the driver did not save the parameters." : "Finished.")
            << c.what;
    }
}

TEST_F(ImportDrvDataModelTest, RebootClosedPortAndLinkState) {
    model.Reboot();
    EXPECT_EQ(rig.switches.transmitRetry, 0);
    EXPECT_EQ(rig.link.requests.back(),
              (SentRequest{&model, SdoCommand::Write16, 0x2FFF00, 0xAA55}));
    rig.switches.connectionState = ConnectionState::Closed;
    model.Write();
    model.SaveParameters();
    model.Reboot();
    EXPECT_EQ(rig.box.texts, std::vector<std::string>(3, "Comm port isn't Open!"));
    model.onMessage(WM_LINK_STATE, 0, 0);
    EXPECT_EQ(rig.switches.exclusiveWindow, &model);
    model.onMessage(WM_LINK_STATE, 1, 0);
    EXPECT_EQ(rig.switches.exclusiveMode, 0);
    EXPECT_EQ(rig.switches.cyclicReadEnabled, 1);
}

TEST_F(ImportDrvDataModelTest, ADriveThatStopsAnsweringLeavesRowsUnverified) {
    Load("60400010,1,True\r\n60810020,5,True\r\n");
    model.Write();
    Answer(1);
    // The write of row 1 went out, its read-back never came back.
    model.Stop();
    EXPECT_TRUE(model.Stopped());
    EXPECT_STREQ(RowResultText(model.Rows()[0].result), "");
    EXPECT_EQ(model.StatusText(Model::kWriteStatus),
              "Stopped: no answer from the driver at row 1 of 2");
    EXPECT_TRUE(rig.box.texts.empty());
}

}  // namespace
}  // namespace tarvo
