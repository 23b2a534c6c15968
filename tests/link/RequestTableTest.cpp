// The worker's request table: which runner, retry kind and command list each
// request has.

#include <gtest/gtest.h>

#include "hart/CommandSet.h"
#include "hart/DeviceState.h"
#include "link/RequestTable.h"

using namespace qt40;

TEST(RequestTable, RunnersRetryKindsAndLists) {
    const RequestEntry* upload = FindRequest(WorkerRequest::Upload);
    ASSERT_NE(upload, nullptr);
    EXPECT_EQ(upload->runner, Runner::Upload);
    const auto steps = StepsOf(upload->steps);
    ASSERT_EQ(steps.size(), static_cast<std::size_t>(kUploadStepCount));
    const int order[] = {0,  130, 14,  15,  147, 132, 134, 141, 3,
                         16, 139, 145, 154, 12,  137, 150, 13,  143};
    for (std::size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(steps[i].command, order[i]);

    EXPECT_EQ(FindRequest(WorkerRequest::WriteDamping)->retry, RetryKind::Auto);
    EXPECT_EQ(FindRequest(WorkerRequest::WriteCustomTcPoint)->retry, RetryKind::Point);
    EXPECT_EQ(FindRequest(WorkerRequest::WriteSpecialCurvePoint)->retry, RetryKind::Point);
    EXPECT_EQ(FindRequest(WorkerRequest::WriteSensorRange)->retry, RetryKind::None);
    EXPECT_EQ(FindRequest(WorkerRequest::SelfTest)->rest, Rest::AfterSelfTest);
    EXPECT_EQ(FindRequest(WorkerRequest::MasterReset)->rest, Rest::AfterReset);
    EXPECT_EQ(FindRequest(WorkerRequest::StartPolling)->runner, Runner::SetPolling);
    EXPECT_EQ(FindRequest(static_cast<WorkerRequest>(421)), nullptr);
    EXPECT_EQ(FindRequest(static_cast<WorkerRequest>(464)), nullptr);
    EXPECT_EQ(StepsOf(IdlePollSteps(false)).size(), 3u);
    EXPECT_EQ(StepsOf(IdlePollSteps(true)).back().command, 156);

    // One trim request, two commands: the trim point decides.
    DeviceState s;
    s.writes.dacTrimText = "20.01";
    s.writes.dacTrimPoint = 1;
    PrepareRequest(s, StepsOf(FindRequest(WorkerRequest::TrimDac)->steps)[0]);
    EXPECT_EQ(s.link.command, 46);
    s.writes.dacTrimPoint = 0;
    PrepareRequest(s, StepsOf(FindRequest(WorkerRequest::TrimDac)->steps)[0]);
    EXPECT_EQ(s.link.command, 45);
}
