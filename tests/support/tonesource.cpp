#include "tonesource.h"

#include <QDataStream>

#include <cmath>
#include <numbers>

#include "pulseserver.h"
#include "wavefile.h"

namespace testsupport {

namespace {

constexpr int kRate = 8000;
constexpr int kSeconds = 300;
constexpr double kAmplitude = 0.5;

// A 16-bit WAV file of the sine.
QByteArray sineWave(int frequency) {
    QByteArray samples;
    QDataStream out(&samples, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    for (int i = 0; i < kRate * kSeconds; ++i)
        out << qint16(std::lround(kAmplitude * 32767 * std::sin(2 * std::numbers::pi * frequency * i / kRate)));
    return waveFile(samples, kRate, 16);
}

}  // namespace

ToneSource::ToneSource(const QString& name, int frequency) : name_(name) {
    int code = -1;
    module_ = pactl({"load-module", "module-null-sink", "sink_name=\"" + name + "\""}, &code).trimmed();
    if (code != 0 || !sine_.open()) return;
    sine_.write(sineWave(frequency));
    sine_.flush();
    player_.start("paplay", {"--device=" + name, "--latency-msec=20", sine_.fileName()});
    player_.waitForStarted(5000);
}

ToneSource::~ToneSource() {
    player_.kill();
    player_.waitForFinished(2000);
    if (!module_.isEmpty()) pactl({"unload-module", module_});
}

}  // namespace testsupport
