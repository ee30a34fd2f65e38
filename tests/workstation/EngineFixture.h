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
        TempDirectory::writeFile(temp.path("program/Templates/Template.txt"), "Lab:\n");
        engine = std::make_unique<MeasurementEngine>(program(), clock, tones, prompts);
        auto owned = std::make_unique<ScriptedSource>();
        source = owned.get();
        engine->setSource(std::move(owned));
        driver = std::make_unique<TickDriver>(*engine, clock);
    }
    void TearDown() override {
        engine.reset();
        ProfileStoreFixture::TearDown();
    }

    QString program() const { return QString::fromStdString(temp.path("program")); }
    void takeSamples(int n) {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(driver->untilNextSample());
    }
    std::vector<double> storedNumbers() {
        std::vector<double> numbers;
        for (const auto& row : engine->table().allRows())
            numbers.push_back(row.number);
        return numbers;
    }

    LogCapture log;
    FakeClock clock;
    RecordingTones tones;
    ScriptedPrompts prompts;
    std::unique_ptr<MeasurementEngine> engine;
    ScriptedSource* source = nullptr;
    std::unique_ptr<TickDriver> driver;
};
