// ShowForm's main loop: it sleeps on Qt's event loop, which runs the
// thread's posted calls and timers, and it ends on Exit.

#include <QElapsedTimer>
#include <ctime>

#include "app/ui/fmain.h"
#include "platform/com/message_queue.h"
#include "tests/ui/shell/shell_support.h"

namespace {

using shelltest::Machine;

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

class MainLoop : public Machine {};

TEST_F(MainLoop, RunsPostedCallsAndTimersWhileSleeping) {
    sorlix::ui::FMain form;
    bool posted = false;
    int ticks = 0;
    double cpuAtFirstTick = 0, cpuAtLastTick = 0;
    QElapsedTimer wall;
    qint64 wallAtFirstTick = 0, wallAtLastTick = 0;
    winsys::TimerId timer = 0;
    winsys::postCall([&] {
        posted = true;
        timer = winsys::setTimer(100, [&] {
            ++ticks;
            if (ticks == 1) {
                cpuAtFirstTick = cpuSeconds();
                wallAtFirstTick = wall.elapsed();
            }
            if (ticks == 6) {
                cpuAtLastTick = cpuSeconds();
                wallAtLastTick = wall.elapsed();
                winsys::killTimer(timer);
                form.CommandBars_Execute(6008);
            }
        }, true);
    });
    wall.start();
    form.ShowForm(); // returns on Exit
    EXPECT_TRUE(posted);
    EXPECT_EQ(ticks, 6);
    EXPECT_FALSE(form.isVisible());
    // Five periods of 100 ms: at least that long, and mostly asleep.
    EXPECT_GE(wallAtLastTick - wallAtFirstTick, 450);
    EXPECT_LT(cpuAtLastTick - cpuAtFirstTick, 0.5 * (wallAtLastTick - wallAtFirstTick) / 1000.0);
}

} // namespace
