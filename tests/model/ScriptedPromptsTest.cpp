#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "model/ScriptedPrompts.h"

using namespace qt40;

TEST(ScriptedPrompts, AnswersInOrderAndRecordsEveryQuestion) {
    ScriptedPrompts prompts;
    prompts.QueueAnswers({Answer::Ok, Answer::Cancel});
    prompts.QueueFileName(std::string("/tmp/x.txt"));
    EXPECT_EQ(prompts.Message("A", {1LL, std::string("b")}, BoxType::OkCancelWarning), Answer::Ok);
    EXPECT_EQ(prompts.Message("B", {}, BoxType::OkCancelWarning), Answer::Cancel);
    EXPECT_EQ(prompts.SaveFileName({"Title", "*.txt", "txt", ""}), "/tmp/x.txt");
    ASSERT_EQ(prompts.Messages().size(), 2u);
    EXPECT_EQ(prompts.Messages()[0].key, "A");
    EXPECT_EQ(prompts.Messages()[0].args, (MessageArgs{1LL, std::string("b")}));
    EXPECT_EQ(prompts.Messages()[1].type, BoxType::OkCancelWarning);
    EXPECT_EQ(prompts.FileRequests().at(0).dialog, ScriptedPrompts::FileDialog::Save);
    EXPECT_EQ(prompts.PendingAnswers(), 0u);
}

TEST(ScriptedPrompts, AForgottenAnswerFailsTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompts prompts;
            EXPECT_EQ(prompts.Message("Err_Temp_Step", {}, BoxType::OkCancelWarning),
                      Answer::Cancel);
        },
        "no scripted answer for message Err_Temp_Step");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompts prompts;
            prompts.QueueAnswer(Answer::Yes);
            prompts.Message("Err_Temp_Min", {}, BoxType::OkWarning);
        },
        "has no button");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedPrompts prompts;
            prompts.QueueAnswer(Answer::Ok);
        },
        "never asked for");
}
