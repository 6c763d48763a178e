// The display interlock's priority order. Waiters are lined up behind a held lock (the test
// blocks until the interlock reports them waiting), then the lock is released and the order in
// which they got it is recorded.
#include "traffic/display_interlock.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace kestrane {
namespace {

using Producer = DisplayInterlock::Producer;

class InterlockOrder : public ::testing::Test {
protected:
    // Starts a thread that takes the lock in `role` and notes `name` while it holds it.
    void startProducer(Producer role, std::string name)
    {
        threads.emplace_back([this, role, name] {
            DisplayInterlock::Guard g(lock, role);
            order.push_back(name);  // guarded by the interlock itself
        });
        lock.awaitWaiting(role, countOf(role) + 1);
        ++counts[static_cast<int>(role)];
    }
    void startRepaint()
    {
        threads.emplace_back([this] {
            DisplayInterlock::RepaintGuard g(lock);
            order.push_back("repaint");
        });
        lock.awaitWaitingRepaints(1);
    }
    std::vector<std::string> releaseAndCollect()
    {
        lock.unlock();
        for (auto& t : threads)
            t.join();
        threads.clear();
        return order;
    }
    int countOf(Producer role) const { return counts[static_cast<int>(role)]; }

    DisplayInterlock lock;
    std::vector<std::thread> threads;
    std::vector<std::string> order;
    int counts[3] = {0, 0, 0};
};

TEST_F(InterlockOrder, WaitingCh1GoesBeforeAnEarlierWaitingTransmit)
{
    lock.lock(Producer::Transmit);
    startProducer(Producer::Transmit, "tx");
    startProducer(Producer::Ch1, "ch1");
    EXPECT_EQ(releaseAndCollect(), (std::vector<std::string>{"ch1", "tx"}));
}

TEST_F(InterlockOrder, AllWaitersGoInPriorityOrderWithTheRepaintLast)
{
    lock.lock(Producer::Ch1);
    startRepaint();
    startProducer(Producer::Transmit, "tx");
    startProducer(Producer::Ch2, "ch2");
    startProducer(Producer::Ch1, "ch1");
    EXPECT_EQ(releaseAndCollect(), (std::vector<std::string>{"ch1", "ch2", "tx", "repaint"}));
}

TEST_F(InterlockOrder, Ch2WaitsForAWaitingCh1)
{
    lock.lockForRepaint();
    startProducer(Producer::Ch2, "ch2");
    startProducer(Producer::Ch1, "ch1");
    EXPECT_EQ(releaseAndCollect(), (std::vector<std::string>{"ch1", "ch2"}));
}

TEST_F(InterlockOrder, SeveralWaitersOfOneRoleAllGetTheLockBeforeLowerRoles)
{
    lock.lock(Producer::Ch2);
    startProducer(Producer::Transmit, "tx");
    startProducer(Producer::Ch1, "ch1");
    startProducer(Producer::Ch1, "ch1");
    const auto got = releaseAndCollect();
    EXPECT_EQ(got, (std::vector<std::string>{"ch1", "ch1", "tx"}));
}

TEST(Interlock, FreeLockIsTakenAtOnceByAnyRole)
{
    DisplayInterlock lock;
    for (Producer p : {Producer::Ch1, Producer::Ch2, Producer::Transmit}) {
        {
            DisplayInterlock::Guard g(lock, p);
            EXPECT_TRUE(lock.isHeld());
        }
        EXPECT_FALSE(lock.isHeld());
    }
    {
        DisplayInterlock::RepaintGuard g(lock);
        EXPECT_TRUE(lock.isHeld());
    }
    EXPECT_FALSE(lock.isHeld());
}

} // namespace
} // namespace kestrane
