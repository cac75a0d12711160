#include "model/SamplerThread.h"

#include "support/FakeNetSource.h"
#include "support/LogCapture.h"

#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

using namespace corvane;
using corvane::testing::FakeClock;
using corvane::testing::FakeNet;
using corvane::testing::FakeNetSource;
using corvane::testing::LogCapture;

namespace {

// Lowers the soft descriptor limit for its lifetime. New descriptors take the lowest free
// number, so a limit of (lowest free + n) leaves room for exactly n more; poll() refuses
// more descriptors than the limit.
class FdLimit {
public:
    explicit FdLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~FdLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }
    static rlim_t roomFor(int n)
    {
        const int lowest = fcntl(0, F_DUPFD, 0);
        close(lowest);
        return static_cast<rlim_t>(lowest + n);
    }

private:
    rlimit saved_{};
};

} // namespace

// Each fault stops the loop with one warning, and the destructor still returns.
TEST(SamplerThread, ResourceFailureStopsTheLoopWithOneWarning)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers' own checks need descriptors the limit takes away";
#endif
    struct Row {
        const char* fault;
        int room;       // descriptors left when the thread is made
        bool waitFails; // poll() fails once the loop runs
    };
    for (const Row& r :
         {Row{"no eventfd", 0, false}, Row{"no timerfd", 1, false}, Row{"poll fails", 2, true}}) {
        SCOPED_TRACE(r.fault);
        LogCapture log("corvane.sampler");
        auto net = std::make_shared<FakeNet>();
        std::optional<SamplerThread> thread;
        {
            FdLimit limit(FdLimit::roomFor(r.room));
            thread.emplace(std::make_unique<NetSampler>(std::make_unique<FakeNetSource>(net),
                                                        std::make_unique<FakeClock>(net)));
        }
        if (r.waitFails) {
            ASSERT_TRUE(thread->isRunning());
            FdLimit limit(2);                 // fewer than the loop's three
            thread->post([](NetSampler&) {}); // wakes the loop into its next wait
            QTest::qWaitFor([&] { return !thread->isRunning(); }, 1000);
        }
        EXPECT_FALSE(thread->isRunning());
        thread.reset();
        EXPECT_EQ(log.warnings().size(), 1) << log.warnings().join(u'\n').toStdString();
    }
}
