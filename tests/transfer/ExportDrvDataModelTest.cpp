#include "transfer/ExportDrvDataModel.h"

#include <gtest/gtest.h>

#include "tests/transfer/TransferRig.h"

namespace tarvo {
namespace {

class ExportDrvDataModelTest : public ::testing::Test {
protected:
    void Open(const std::string& list) {
        model.BeginOpen();
        model.LoadList(rig.folder.Write("list.cdo", list));
        model.EndOpen();
    }
    // Answers the request in flight with a value or an abort.
    void Answer(uint32_t value, bool abort = false) {
        ASSERT_FALSE(rig.link.requests.empty());
        model.onMessage(abort ? WM_LINK_ABORT : WM_LINK_VALUE, value,
                        rig.link.requests.back().address);
    }

    test::TransferRig rig;
    ExportDrvDataModel model{{rig.link, rig.switches, rig.box, rig.dictionary, rig.watchTimer}};
};

TEST_F(ExportDrvDataModelTest, ReadsEveryRowAndSavesTheParameterFile) {
    Open("20110110\r\n\r\n30000110\r\n60810020\r\n607A0020\r\n20120108\r\n");
    ASSERT_EQ(model.Rows().size(), 6u);
    EXPECT_EQ(model.Rows()[1].wordText, "00000000");
    EXPECT_EQ(model.Rows()[1].name, "? ? ? ?");
    EXPECT_EQ(model.Rows()[0].name, "Position gain");
    EXPECT_EQ(model.StatusText(ExportDrvDataModel::kListStatus), "Export object list processed.");

    model.Read();
    EXPECT_EQ(rig.switches.cyclicReadEnabled, 0);
    EXPECT_FALSE(model.ButtonEnabled(ExportDrvDataModel::kReadButton));
    EXPECT_FALSE(model.ButtonEnabled(ExportDrvDataModel::kSaveButton));
    EXPECT_EQ(rig.link.requests.back().command, SdoCommand::Read);
    EXPECT_EQ(rig.link.requests.back().address, 0x201101u);
    Answer(0xFFFE);
    Answer(0x06020000, true);
    Answer(0xFFFE);
    // A late reply for another entry is not taken for the row being read.
    model.onMessage(WM_LINK_VALUE, 7, 0x604000);
    EXPECT_EQ(model.RowsDone(), 3);
    Answer(0xFFFFFFFF);
    Answer(0xFFFFFFFF);
    Answer(200);
    EXPECT_FALSE(model.Reading());
    EXPECT_EQ(rig.link.requests.size(), 6u);
    EXPECT_EQ(rig.switches.cyclicReadEnabled, 1);
    EXPECT_EQ(model.StatusText(ExportDrvDataModel::kReadStatus), "Finish: Total:6  Error:1 ");
    EXPECT_TRUE(model.ButtonEnabled(ExportDrvDataModel::kSaveButton));

    std::string path = rig.folder.File("backup.cdi");
    ASSERT_TRUE(model.Save(path));
    EXPECT_EQ(rig.folder.Read("backup.cdi"),
              "20110110,-2,True\r\n"
              "00000000,0x06020000,Fail\r\n"
              "30000110,0xfffe,True\r\n"
              "60810020,4294967295,True\r\n"
              "607A0020,-1,True\r\n"
              "20120108,-56,True\r\n");
    EXPECT_EQ(model.StatusText(ExportDrvDataModel::kSaveStatus), "save finished.");
    EXPECT_TRUE(model.Rows()[1].Failed());
}

TEST_F(ExportDrvDataModelTest, RefusesWithoutConnectionAndReportsUnreadableFiles) {
    model.BeginOpen();
    EXPECT_FALSE(model.ButtonEnabled(ExportDrvDataModel::kOpenButton));
    EXPECT_FALSE(model.LoadList(rig.folder.File("missing.cdo")));
    model.EndOpen();
    EXPECT_TRUE(model.ButtonEnabled(ExportDrvDataModel::kOpenButton));
    rig.switches.connectionState = ConnectionState::Closed;
    model.Read();
    EXPECT_TRUE(rig.link.requests.empty());
    // Saving into a folder that does not exist leaves nothing behind.
    EXPECT_FALSE(model.Save(rig.folder.File("no/such/folder/x.cdi")));
    // The fixed text, then the reason.
    EXPECT_EQ(rig.box.texts,
              (std::vector<std::string>{
                  "File open failure! \ncannot read " + rig.folder.File("missing.cdo") +
                      ": No such file or directory",
                  "Comm port isn't Open!",
                  "File open failure! \ncannot create a temporary file for " +
                      rig.folder.File("no/such/folder/x.cdi") + ": No such file or directory"}));
    EXPECT_EQ(model.SaveError(), "cannot create a temporary file for " +
                                     rig.folder.File("no/such/folder/x.cdi") +
                                     ": No such file or directory");
}

TEST_F(ExportDrvDataModelTest, LinkStateAndALostConnection) {
    model.onMessage(WM_LINK_STATE, 0, 0);
    EXPECT_EQ(rig.switches.exclusiveMode, 1);
    EXPECT_EQ(rig.switches.exclusiveWindow, &model);
    Open("60400010\n60810020\n");
    model.Read();
    Answer(15);
    // The connection closes while the second row is out: the reading ends, row 2 stays empty.
    rig.switches.connectionState = ConnectionState::Closed;
    ASSERT_TRUE(rig.watchTimer.Fire());
    EXPECT_FALSE(model.Reading());
    EXPECT_TRUE(model.Stopped());
    EXPECT_EQ(model.StatusText(ExportDrvDataModel::kReadStatus),
              "Stopped: no answer from the driver at row 2 of 2");
    EXPECT_STREQ(RowResultText(model.Rows()[1].result), "");
    model.onMessage(WM_LINK_STATE, 1, 0);
    EXPECT_EQ(rig.switches.exclusiveMode, 0);
    EXPECT_EQ(rig.switches.exclusiveWindow, nullptr);
    EXPECT_EQ(rig.switches.cyclicReadEnabled, 1);
}

}  // namespace
}  // namespace tarvo
