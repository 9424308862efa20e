#include "model/interference_hits.h"

#include <gtest/gtest.h>

namespace vestan {
namespace {

TEST(InterferenceHitsTest, ResetClearsEveryGroupAndOnlyPairsCountAsAny) {
  InterferenceHits hits;
  hits.ArborHitFlag = hits.BodyHitFlag = hits.AttachmentHitFlag = 1;
  hits.HeightHitFlag = hits.ChipWidthHitFlag = hits.ContactFlag = 1;
  hits.RemovalPendingFlag = hits.StepAlarmFlag = 1;
  EXPECT_EQ(AnyInterferenceFlag(hits), 0) << "cutting checks and contact are not pairs";
  hits.FurtherPairs[21] = 1;
  EXPECT_EQ(AnyInterferenceFlag(hits), 1) << "a further pair counts";
  hits.Pairs.fill(1);
  ResetInterferenceFlags(hits);
  const InterferenceHits cleared;
  EXPECT_EQ(hits.ArborHitFlag + hits.BodyHitFlag + hits.AttachmentHitFlag + hits.HeightHitFlag +
                hits.ChipWidthHitFlag + hits.ContactFlag + hits.RemovalPendingFlag +
                hits.StepAlarmFlag,
            0);
  EXPECT_EQ(hits.Pairs, cleared.Pairs);
  EXPECT_EQ(hits.FurtherPairs, cleared.FurtherPairs);
  EXPECT_EQ(AnyInterferenceFlag(hits), 0);
}

}  // namespace
}  // namespace vestan
