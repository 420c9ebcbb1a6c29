#include "dictionary/FormulaEvaluator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include "platform/MessageBox.h"
#include "tests/dictionary/FakeLinkRequester.h"

namespace tarvo {
namespace {

using test::SentRequest;

class FormulaEvaluatorTest : public ::testing::Test {
protected:
    double Real(std::string_view formula, double n) {
        FormulaResult result = evaluator.EvaluateReal(&panel, formula, n);
        EXPECT_TRUE(result) << formula;
        return result.value;
    }

    test::FakeLinkRequester link;
    test::DummyWindow mainFrame, panel, otherPanel;
    std::atomic<MessageTarget*> mainWindow{&mainFrame};
    RecordingMessageBox box;
    FormulaEvaluator evaluator{link, mainWindow, &box};
};

TEST_F(FormulaEvaluatorTest, IdentityIsNeverParsed) {
    EXPECT_EQ(Real("N*1", 2.75), 2.75);
    EXPECT_EQ(Real("N*1", -0.5), -0.5);
    EXPECT_EQ(evaluator.EvaluateInteger(&panel, "N*1", -7.9).value, -7);
    EXPECT_TRUE(box.texts.empty());
}

TEST_F(FormulaEvaluatorTest, EvaluatesLeftToRightUpToTheFirstPlusOrMinus) {
    EXPECT_EQ(Real("N*0.5", 7), 3.5);
    EXPECT_EQ(evaluator.EvaluateInteger(&panel, "N*0.5", 7).value, 3);
    EXPECT_EQ(evaluator.EvaluateInteger(&panel, "N*0.5", -7).value, -3);
    EXPECT_EQ(Real("N/4*2", 10), 5);
    EXPECT_EQ(Real("N+5*2", 1), 6);
    EXPECT_EQ(Real("N-1+100", 10), 9);
    EXPECT_EQ(Real("N/10+5", 20), 7);
    EXPECT_EQ(Real("n*60/512", 512), 60);
    EXPECT_DOUBLE_EQ(Real("N*62.5", 2), 125);
    EXPECT_TRUE(box.texts.empty());
}

TEST_F(FormulaEvaluatorTest, SquareRoots) {
    EXPECT_EQ(Real("sqrt(16)*1", 0), 4);
    EXPECT_EQ(Real("sqrt(N*2)*1", 8), 4);
    EXPECT_EQ(Real("sqrt(N*2.5)*1", 1), 5);  // the argument's digits form 25
    EXPECT_EQ(Real("Sqrt(N/4)*1", 36), 3);
    EXPECT_EQ(Real("sqrt(N+9)*1", 16), 5);
    EXPECT_EQ(Real("sqrt(N-9)*1", 25), 4);
    EXPECT_EQ(Real("sqrt(4)*sqrt(9)", 0), 6);  // each root ends at its own ")"
    EXPECT_TRUE(box.texts.empty());

    // N without an operator: the root counts as 0 and the "q" after the S stops the parse.
    FormulaResult bad = evaluator.EvaluateReal(&panel, "sqrt(N)*2", 4);
    EXPECT_EQ(bad.status, FormulaStatus::kNoResult);
    EXPECT_EQ(box.texts,
              (std::vector<std::string>{"sqrt function express error!! \n", "Formula =>ASC: 113",
                                        "Formula stack is Err!!!!!\n"}));
}

TEST_F(FormulaEvaluatorTest, CharacterNotAllowedEndsTheParse) {
    EXPECT_EQ(Real("N*2 ", 3), 6);
    EXPECT_EQ(Real("N*2\xC2\xB0", 3), 6);  // a degree sign is reported by its code, 176
    EXPECT_EQ(box.texts, (std::vector<std::string>{"Formula =>ASC: 32", "Formula =>ASC: 176"}));
    box.texts.clear();

    EXPECT_FALSE(evaluator.EvaluateReal(&panel, "N*(2)", 3));
    EXPECT_EQ(box.texts,
              (std::vector<std::string>{"Formula =>ASC: 40", "Formula stack is Err!!!!!\n"}));
    box.texts.clear();
    EXPECT_FALSE(evaluator.EvaluateReal(&panel, "N*[2010", 3));  // a bracket never closed
    EXPECT_EQ(box.texts.front(), "Formula =>ASC: 91");
}

TEST_F(FormulaEvaluatorTest, MalformedFormulasAreRejectedWithoutResult) {
    for (const char* formula :
         {"", "*N", "N*", "N**2", "N*-2", "5", "N", "N5", ".5*N", "sqrt(9)"}) {
        box.texts.clear();
        FormulaResult result = evaluator.EvaluateReal(&panel, formula, 3);
        EXPECT_EQ(result.status, FormulaStatus::kNoResult) << formula;
        ASSERT_FALSE(box.texts.empty()) << formula;
        EXPECT_EQ(box.texts.back(), "Formula stack is Err!!!!!\n") << formula;
    }
    EXPECT_TRUE(link.requests.empty());
}

TEST_F(FormulaEvaluatorTest, ResultsThatAreNoNumberFail) {
    EXPECT_EQ(evaluator.EvaluateReal(&panel, "N/0", 5).status, FormulaStatus::kNoResult);
    EXPECT_EQ(evaluator.EvaluateInteger(&panel, "sqrt(N-9)*1", 0).status, FormulaStatus::kNoResult);
    EXPECT_EQ(evaluator.EvaluateInteger(&panel, "N*1", NAN).status, FormulaStatus::kNoResult);
    EXPECT_EQ(evaluator.EvaluateInteger(&panel, "N*2", INFINITY).status, FormulaStatus::kNoResult);
    EXPECT_TRUE(box.texts.empty());
}

TEST_F(FormulaEvaluatorTest, UnknownReferenceIsReadOnceThenKnown) {
    FormulaResult waiting = evaluator.EvaluateReal(&panel, "N*[20100110]", 3);
    EXPECT_EQ(waiting.status, FormulaStatus::kAwaitingReference);
    EXPECT_EQ(link.requests,
              (std::vector<SentRequest>{{&mainFrame, SdoCommand::Read, 0x201001, 0}}));

    EXPECT_TRUE(evaluator.AcceptReferenceValue(0x201001, 4));
    EXPECT_FALSE(evaluator.AcceptReferenceValue(0x201001, 9));  // only the first reply counts
    EXPECT_EQ(Real("N*[20100110]", 3), 12);
    EXPECT_EQ(link.requests.size(), 1u);

    // Status word replies never become constants, so a formula naming it always waits.
    EXPECT_FALSE(evaluator.AcceptReferenceValue(0x604100, 1));
    EXPECT_EQ(evaluator.EvaluateReal(&panel, "N*[60410000]", 3).status,
              FormulaStatus::kAwaitingReference);

    evaluator.ClearConstants();
    EXPECT_EQ(evaluator.EvaluateReal(&panel, "N*[20100110]", 3).status,
              FormulaStatus::kAwaitingReference);
}

TEST_F(FormulaEvaluatorTest, Constants) {
    EXPECT_EQ(evaluator.ConstantValue(0x200005), 1);
    EXPECT_EQ(box.texts, (std::vector<std::string>{"Not exist the const value!! \n"}));
    evaluator.SetConstant(0x200005, 8);  // changes existing constants only
    EXPECT_FALSE(evaluator.HasConstant(0x200005));
    evaluator.AddConstant(0x200005, 8);
    evaluator.SetConstant(0x200005, -20);
    EXPECT_EQ(evaluator.ConstantValue(0x200005), -20);
    EXPECT_EQ(Real("N*[20000520]", 2), -40);
}

TEST_F(FormulaEvaluatorTest, PendingWriteIsSentOnceForItsOwnWindow) {
    evaluator.ResumePending();  // nothing pending: nothing happens, no message
    EXPECT_TRUE(box.texts.empty());

    ASSERT_EQ(evaluator.EvaluateInteger(&panel, "N*[20000520]", 2.5).status,
              FormulaStatus::kAwaitingReference);
    evaluator.SetPending(0x607A00, SdoCommand::Write32, 2.5, "N*[20000520]");
    evaluator.EvaluateReal(&otherPanel, "N*2", 1);  // another window converts meanwhile

    EXPECT_TRUE(evaluator.AcceptReferenceValue(0x200005, 1000));
    ASSERT_EQ(link.requests.size(), 2u);
    EXPECT_EQ(link.requests[1], (SentRequest{&panel, SdoCommand::Write32, 0x607A00, 2500}));

    // A later referenced value does not repeat the old write.
    EXPECT_EQ(evaluator.EvaluateReal(&panel, "N*[20100110]", 1).status,
              FormulaStatus::kAwaitingReference);
    evaluator.AcceptReferenceValue(0x201001, 5);
    EXPECT_EQ(link.requests.size(), 3u);
}

TEST_F(FormulaEvaluatorTest, PendingActionWaitingForTwoReferences) {
    const char* formula = "N*[20000520]/[20100110]";
    ASSERT_FALSE(evaluator.EvaluateInteger(&panel, formula, 6));
    evaluator.SetPending(0x607A00, SdoCommand::Read, 6, formula);
    evaluator.AcceptReferenceValue(0x200005, 10);  // still waits for the second value
    ASSERT_TRUE(evaluator.Pending());
    evaluator.AcceptReferenceValue(0x201001, 4);
    EXPECT_FALSE(evaluator.Pending());
    EXPECT_EQ(link.requests, (std::vector<SentRequest>{{&mainFrame, SdoCommand::Read, 0x200005, 0},
                                                       {&mainFrame, SdoCommand::Read, 0x201001, 0},
                                                       {&panel, SdoCommand::Read, 0x607A00, 0}}));
}

}  // namespace
}  // namespace tarvo
