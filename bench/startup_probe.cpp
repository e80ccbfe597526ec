// Starts the program's main window exactly as the program does, timed by the window probe.
#include "app/form1.h"
#include "forms/application.h"
#include "windowprobe.h"

int main(int argc, char** argv) {
    return bench::runWindowProbe(argc, argv, [] {
        forms::initApplication();
        return std::make_unique<Form1>();
    });
}
