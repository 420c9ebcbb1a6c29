#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

#include "drivesim/DriveSimulator.h"

namespace tarvo::sim::test {

// A tarvo-drivesim running on a thread of the test.
class SimulatorRun {
public:
    explicit SimulatorRun(DriveSimOptions options) {
        options.console = false;
        options.quiet = true;
        options.changingInputs = false;
        if (options.source.empty()) {
            const char* root = std::getenv("TARVO_SOURCE");
            options.source = std::string(root != nullptr ? root : TARVO_SOURCE_DIR) +
                             "/drivedata/dictionary.json";
        }
        simulator = std::make_unique<DriveSimulator>(options, out, err);
        std::string error;
        started = simulator->Start(options.source, error);
        EXPECT_TRUE(started) << error;
        if (started) {
            thread = std::thread([this] { exitCode = simulator->Run(); });
        }
    }
    ~SimulatorRun() { Stop(); }

    void Stop() {
        if (thread.joinable()) {
            simulator->Stop();
            thread.join();
        }
    }

    std::ostringstream out;
    std::ostringstream err;
    std::unique_ptr<DriveSimulator> simulator;
    std::thread thread;
    bool started = false;
    int exitCode = -1;
};

}  // namespace tarvo::sim::test
