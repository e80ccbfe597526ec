// The baseline of the start-up figures: a bare Qt Widgets window with a few buttons, timed by
// the same window probe as the program.
#include <QPushButton>
#include <QVBoxLayout>

#include "windowprobe.h"

int main(int argc, char** argv) {
    return bench::runWindowProbe(argc, argv, [] {
        auto window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        for (const char* text : {"Play", "Loop", "Stop", "Exit"})
            layout->addWidget(new QPushButton(QString::fromLatin1(text)));
        return window;
    });
}
