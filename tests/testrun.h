#pragma once
// The base of the conversion tests' fixtures: a fake window, the options a test sets, and the run
// made from them at its first use, as the driver would call it.
#include "fakewindow.h"
#include "kzmain/run.h"

#include <optional>

struct TestRun {
    FakeWindow win;
    RunOptions opt = testOptions();
    std::optional<Run> made;

    // The run, made with the options as they stand at its first use.
    Run& run() {
        if (!made)
            made.emplace(opt, win);
        return *made;
    }
};
