// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EventCaller.h"

#include <cstdint>

namespace __lumo {

struct ProgressInfoType {
    std::int32_t current = 0;
    std::uint32_t total = 0;
};

// Progress source that can also relay another source's progress, scaling the total by factor.
class ProgressEventCaller : public EventCaller<ProgressInfoType>,
                            public EventListenerInterface<ProgressInfoType> {
public:
    ~ProgressEventCaller() override = default;
    void eventOccurred(ProgressInfoType& info) override {
        info.total *= static_cast<std::uint32_t>(factor);
        fireEvent(info);
    }

    std::int32_t factor = 1;
};

} // namespace __lumo
