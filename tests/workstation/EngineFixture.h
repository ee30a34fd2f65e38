// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EngineFakes.h"
#include "LogCapture.h"
#include "ProfileStoreFixture.h"

// An engine over a program directory and a profile of the test's own, with a scripted
// source, a fake clock and scripted prompts.
class EngineFixture : public ProfileStoreFixture {
protected:
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        openDefault();
        TempDirectory::writeFile(temp_.path("program/Templates/Template.txt"), "Lab:\n");
        engine_ = std::make_unique<MeasurementEngine>(program(), clock_, tones_, prompts_);
        auto owned = std::make_unique<ScriptedSource>();
        source_ = owned.get();
        engine_->setSource(std::move(owned));
        driver_ = std::make_unique<TickDriver>(*engine_, clock_);
    }
    void TearDown() override {
        engine_.reset();
        ProfileStoreFixture::TearDown();
    }

    QString program() const { return QString::fromStdString(temp_.path("program")); }
    void takeSamples(int n) {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(driver_->untilNextSample());
    }
    std::vector<double> storedNumbers() {
        std::vector<double> numbers;
        for (const auto& row : engine_->table().allRows())
            numbers.push_back(row.number);
        return numbers;
    }

    LogCapture log_;
    FakeClock clock_;
    RecordingTones tones_;
    ScriptedPrompts prompts_;
    std::unique_ptr<MeasurementEngine> engine_;
    ScriptedSource* source_ = nullptr;
    std::unique_ptr<TickDriver> driver_;
};
