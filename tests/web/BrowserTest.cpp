// SPDX-License-Identifier: GPL-3.0-or-later
// The status page in a real browser during a Sim0 run: headless Chromium opens the page from
// the server, shows the run's title and current OD, and its curve gains a point when the
// engine stores the next sample.
#include "BenchProfileStore.h"
#include "EngineFakes.h"
#include "HeadlessBrowser.h"
#include "TempDirectory.h"
#include "com/ODSourceSimulated.h"
#include "web/WebEngineFeed.h"
#include "web/WebServer.h"
#include "workstation/MeasurementEngine.h"

#include <gtest/gtest.h>

namespace {

QString text(HeadlessBrowser& browser, const char* id) {
    return browser.evaluate(QStringLiteral("document.getElementById('%1').textContent").arg(id))
        .toString();
}

QString shown(double value) {
    return QString::number(value, 'f', 4);
}

TEST(StatusPageBrowser, FollowsASim0RunLive) {
    if (!HeadlessBrowser::available())
        GTEST_SKIP() << "chromium is not installed";
    BenchProfileStore store; // the engine's profile and device log
    TempDirectory& temp = store.temp;
    TempDirectory::writeFile(temp.path("program/Templates/Template.txt"), "Lab:\n");
    FakeClock clock;
    RecordingTones tones;
    ScriptedPrompts prompts;
    MeasurementEngine engine(QString::fromStdString(temp.path("program")), clock, tones, prompts);
    engine.setSource(std::make_unique<Talvessa::ODSourceSimulated>());
    engine.setQuality(1);
    engine.setInterval(0);
    engine.setTitle(QStringLiteral("Overnight E. coli"));

    WebEventHub hub;
    WebEngineFeed feed(engine, hub);
    feed.setDevice(QStringLiteral("Sim0"));
    WebServer server(hub);
    WebServerOptions options;
    options.port = 0;
    options.token = "page-token";
    ASSERT_EQ(server.start(options), std::nullopt);

    engine.start();
    TickDriver driver(engine, clock);
    ASSERT_TRUE(driver.untilNextSample());
    ASSERT_TRUE(driver.untilNextSample());

    HeadlessBrowser browser;
    browser.open(server.url() + "?token=page-token");
    const QString twoPointsLive =
        QStringLiteral("document.body.dataset.points === '2' && "
                       "document.getElementById('connection').textContent === 'live'");
    ASSERT_TRUE(browser.waitUntil(twoPointsLive))
        << "the page never showed the run's two samples live; it has "
        << browser.evaluate(QStringLiteral("document.body.dataset.points"))
               .toString()
               .toStdString();
    EXPECT_EQ(text(browser, "title"), QStringLiteral("Overnight E. coli"));
    EXPECT_EQ(text(browser, "od"), shown(engine.od()));
    EXPECT_TRUE(
        browser.evaluate(QStringLiteral("!!document.querySelector('#chart canvas')")).toBool())
        << "the chart was not drawn";

    ASSERT_TRUE(driver.untilNextSample());
    EXPECT_TRUE(browser.waitUntil(QStringLiteral("document.body.dataset.points === '3'")))
        << "the curve did not gain the new sample";
    EXPECT_TRUE(
        browser.waitUntil(QStringLiteral("document.getElementById('od').textContent === '%1'")
                              .arg(shown(engine.od()))))
        << "the current OD did not follow; it shows " << text(browser, "od").toStdString();

    prompts.answerYes = false;
    engine.end();
}

} // namespace
