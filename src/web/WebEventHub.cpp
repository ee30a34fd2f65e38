// SPDX-License-Identifier: GPL-3.0-or-later
#include "WebEventHub.h"

#include "WebJson.h"
#include "lumo/SystemUtilities.h"

#include <algorithm>

WebEventHub::WebEventHub(std::size_t keptEvents)
    : keptEvents_(std::max<std::size_t>(1, keptEvents)), relay_([this] { relayWakeUps(); }) {}

WebEventHub::~WebEventHub() {
    {
        const std::lock_guard lock(mutex_);
        relayEnds_ = true;
    }
    relayCall_.notify_one();
    relay_.join();
}

void WebEventHub::wakeStreams() {
    relayCall_.notify_one();
}

void WebEventHub::relayWakeUps() {
    Talvessa::runBelowSamplingPriority();
    std::unique_lock lock(mutex_);
    while (true) {
        relayCall_.wait(lock, [this] { return relayCalled_ || relayEnds_; });
        if (relayEnds_)
            return;
        relayCalled_ = false;
        lock.unlock();
        eventCame_.notify_all();
        lock.lock();
    }
}

void WebEventHub::setStatus(const WebStatus& status) {
    const std::lock_guard lock(mutex_);
    status_ = status;
}

void WebEventHub::publishStatus(const WebStatus& status) {
    std::string data = WebJson::stateEvent(status);
    {
        const std::lock_guard lock(mutex_);
        status_ = status;
        addEvent("state", std::move(data));
    }
    wakeStreams();
}

void WebEventHub::resetRows(std::vector<RecordRow> rows) {
    {
        const std::lock_guard lock(mutex_);
        rows_ = std::move(rows);
        ++rowsRevision_;
        addEvent("reset", "{}");
    }
    wakeStreams();
}

void WebEventHub::appendRows(const std::vector<RecordRow>& rows) {
    if (rows.empty())
        return;
    std::vector<std::string> data;
    data.reserve(rows.size());
    for (const auto& row : rows)
        data.push_back(WebJson::sampleEvent(row));
    {
        const std::lock_guard lock(mutex_);
        rows_.insert(rows_.end(), rows.begin(), rows.end());
        ++rowsRevision_;
        for (auto& text : data)
            addEvent("sample", std::move(text));
    }
    wakeStreams();
}

void WebEventHub::setNote(double rowNumber, const QString& note) {
    {
        const std::lock_guard lock(mutex_);
        const auto row = std::find_if(rows_.rbegin(), rows_.rend(),
                                      [&](const RecordRow& r) { return r.number == rowNumber; });
        if (row == rows_.rend())
            return;
        row->note = note;
        ++rowsRevision_;
        addEvent("note", WebJson::sampleEvent(*row));
    }
    wakeStreams();
}

WebStatus WebEventHub::status() const {
    const std::lock_guard lock(mutex_);
    return status_;
}

std::vector<RecordRow> WebEventHub::rows() const {
    const std::lock_guard lock(mutex_);
    return rows_;
}

std::vector<RecordRow> WebEventHub::rowsFrom(int number) const {
    const std::lock_guard lock(mutex_);
    // Numbers grow with the rows: the first one at or past the number starts the answer.
    const auto first = std::find_if(rows_.begin(), rows_.end(),
                                    [&](const RecordRow& row) { return row.number >= number; });
    return {first, rows_.end()};
}

std::uint64_t WebEventHub::rowsRevision() const {
    const std::lock_guard lock(mutex_);
    return rowsRevision_;
}

std::uint64_t WebEventHub::lastEventId() const {
    const std::lock_guard lock(mutex_);
    return nextEventId_ - 1;
}

std::vector<WebEvent> WebEventHub::eventsAfter(std::uint64_t id,
                                               std::chrono::milliseconds wait) const {
    std::unique_lock lock(mutex_);
    const std::uint64_t generation = wakeGeneration_;
    eventCame_.wait_for(lock, wait,
                        [&] { return wakeGeneration_ != generation || nextEventId_ - 1 > id; });
    if (nextEventId_ - 1 <= id)
        return {};
    if (events_.empty() || events_.front().id > id + 1)
        return {WebEvent{nextEventId_ - 1, "reset", "{}"}};
    std::vector<WebEvent> result;
    const auto skip = static_cast<std::size_t>(id + 1 - events_.front().id);
    result.assign(events_.begin() + static_cast<std::ptrdiff_t>(skip), events_.end());
    return result;
}

void WebEventHub::wakeWaiters() {
    {
        const std::lock_guard lock(mutex_);
        ++wakeGeneration_;
    }
    eventCame_.notify_all();
}

void WebEventHub::addEvent(std::string name, std::string data) {
    events_.push_back(WebEvent{nextEventId_++, std::move(name), std::move(data)});
    relayCalled_ = true;
    while (events_.size() > keptEvents_)
        events_.pop_front();
}
