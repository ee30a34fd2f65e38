// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PublishMessages.h"
#include "PublishOutbox.h"
#include "workstation/RecordTable.h"

#include <vector>

// The rows a program stored in the working table but was killed before it queued them: the
// table commits a row in the sampling tick, the outbox takes its message just after.
namespace PublishRecovery {

// The rows of the mark's run beyond its Number, in the table's order, as the sample messages
// they would have gone out as. "run" is the mark's own; "time" is rebuilt from the row's
// Minutes, which keep whole seconds only: it comes out less than a second early. Rows of any
// other run (one measured while publishing was off) give nothing.
std::vector<PublishMessages::Sample> unqueuedRows(const PublishOutbox::Mark& mark,
                                                  const std::vector<RecordRow>& rows);

} // namespace PublishRecovery
