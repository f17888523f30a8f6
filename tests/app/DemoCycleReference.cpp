// Writes, into the working folder, the export files of the demo cycles as the Linux build makes
// them: the window's handlers on a fake window, against the demo quote service at the address
// given. The Windows window test compares its own files with these.
#include <iostream>

#include "app/Form1Handlers.h"
#include "tests/app/DemoCycles.h"
#include "tests/app/FakeForm1.h"
#include "tests/app/RecordingDesktop.h"
#include "tests/support/TempDir.h"

int main(int argc, char** argv) {
    using namespace w20;
    if (argc != 2) {
        std::cerr << "usage: demo_cycle_reference SERVICE_URL\n";
        return 2;
    }
    test::WriteFileBytes("data.txt", test::DemoDataFile(argv[1]));
    test::RecordingDesktop desktop;
    test::FakeForm1 controls;
    Form1Handlers handlers(controls, desktop);
    controls.handlers = &handlers;
    controls.shortDate = test::DemoShortDate;
    handlers.Run(&Form1Handlers::FormCreate);
    for (const test::DemoCycle& cycle : test::DemoCycles) {
        controls.interval = cycle.interval;
        controls.format = cycle.format;
        handlers.Run(&Form1Handlers::RadioGroup1Click);
        handlers.Run(&Form1Handlers::Timer1Timer);
    }
    for (const auto& box : desktop.boxes)
        std::cerr << "demo_cycle_reference: " << box.message << "\n";
    return desktop.boxes.empty() ? 0 : 1;
}
