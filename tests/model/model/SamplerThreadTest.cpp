#include "model/SamplerThread.h"

#include "support/FakeNetSource.h"
#include "support/LogCapture.h"

#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <sys/resource.h>
#include <tuple>
#include <unistd.h>

using namespace corvane;
using corvane::testing::FakeClock;
using corvane::testing::FakeNet;
using corvane::testing::FakeNetSource;
using corvane::testing::LogCapture;

// Each fault stops the loop with one warning, and the destructor still returns.
TEST(SamplerThread, ResourceFailureStopsTheLoopWithOneWarning)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers' own checks need descriptors the limit takes away";
#endif
    // Runs `fn` under a lower soft descriptor limit; poll() refuses more descriptors than it.
    const auto limited = [](rlim_t limit, const auto& fn) {
        rlimit saved{};
        getrlimit(RLIMIT_NOFILE, &saved);
        const rlimit lowered{limit, saved.rlim_max};
        setrlimit(RLIMIT_NOFILE, &lowered);
        fn();
        setrlimit(RLIMIT_NOFILE, &saved);
    };
    // Descriptors left when the thread is made, and whether poll() fails once the loop runs.
    for (auto [fault, room, waitFails] :
         {std::tuple{"no eventfd", 0, false}, {"no timerfd", 1, false}, {"poll fails", 2, true}}) {
        SCOPED_TRACE(fault);
        LogCapture log("corvane.sampler");
        auto net = std::make_shared<FakeNet>();
        std::optional<SamplerThread> thread;
        // New descriptors take the lowest free number: lowest + room leaves room for `room`.
        const int lowest = fcntl(0, F_DUPFD, 0);
        close(lowest);
        limited(lowest + room, [&] {
            thread.emplace(std::make_unique<NetSampler>(std::make_unique<FakeNetSource>(net),
                                                        std::make_unique<FakeClock>(net)));
        });
        if (waitFails) {
            ASSERT_TRUE(thread->isRunning());
            limited(2, [&] {                      // fewer than the loop's three
                thread->post([](NetSampler&) {}); // wakes the loop into its next wait
                EXPECT_TRUE(QTest::qWaitFor([&] { return !thread->isRunning(); }, 1000));
            });
        }
        EXPECT_FALSE(thread->isRunning());
        thread.reset();
        EXPECT_EQ(log.warnings().size(), 1) << log.warnings().join(u'\n').toStdString();
    }
}
