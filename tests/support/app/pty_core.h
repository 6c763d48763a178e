// The application core on two pseudo-terminal pairs: COM1 and COM2 are their slaves, the test
// plays the far ends on the masters.
#pragma once

#include "app/app_core.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace kestrane::test {

// CH1 open, and CH2 too when `ch2Mode` uses it; `adjust` changes the settings before they apply.
// The traffic buffer starts empty.
struct PtyCore {
    TempDir dir;
    PtyPair far1, far2;
    std::unique_ptr<AppCore> core;

    explicit PtyCore(int ch2Mode, const std::function<void(Settings&)>& adjust = {})
    {
        std::ofstream(dir / "ports.conf") << "COM1=" << far1.slavePath() << "\nCOM2=" << far2.slavePath() << "\n";
        core = std::make_unique<AppCore>(dir.path());
        Settings& s = core->settings();
        s.record.ch2Mode = ch2Mode;
        s.record.ch2ComNumber = 2;
        if (adjust)
            adjust(s);
        core->applySettings();
        core->traffic().clearTraffic();
        EXPECT_EQ(core->channels().openChannel(1, 1), OpenResult::Opened);
        if (ch2Mode != Ch2Mode::NotUsed) {
            EXPECT_EQ(core->channels().openChannel(2, 2), OpenResult::Opened);
        }
    }
};

} // namespace kestrane::test
