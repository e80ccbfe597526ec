#include "tonesource.h"

#include <QDataStream>

#include <cmath>
#include <numbers>

#include "pulseserver.h"

namespace testsupport {

namespace {

constexpr int kRate = 8000;
constexpr int kSeconds = 300;
constexpr double kAmplitude = 0.5;

// A mono 16-bit WAV file of the sine.
QByteArray sineWave(int frequency) {
    QByteArray samples;
    QDataStream out(&samples, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    for (int i = 0; i < kRate * kSeconds; ++i)
        out << qint16(std::lround(kAmplitude * 32767 * std::sin(2 * std::numbers::pi * frequency * i / kRate)));
    QByteArray file;
    QDataStream header(&file, QIODevice::WriteOnly);
    header.setByteOrder(QDataStream::LittleEndian);
    header.writeRawData("RIFF", 4);
    header << quint32(36 + samples.size());
    header.writeRawData("WAVEfmt ", 8);
    header << quint32(16) << quint16(1) << quint16(1) << quint32(kRate) << quint32(kRate * 2)
           << quint16(2) << quint16(16);
    header.writeRawData("data", 4);
    header << quint32(samples.size());
    return file + samples;
}

}  // namespace

ToneSource::ToneSource(const QString& name, int frequency) : name_(name) {
    int code = -1;
    module_ = pactl({"load-module", "module-null-sink", "sink_name=" + name}, &code).trimmed();
    if (code != 0 || !sine_.open()) return;
    sine_.write(sineWave(frequency));
    sine_.flush();
    player_.start("paplay", {"--device=" + name, sine_.fileName()});
    player_.waitForStarted(5000);
}

ToneSource::~ToneSource() {
    player_.kill();
    player_.waitForFinished(2000);
    if (!module_.isEmpty()) pactl({"unload-module", module_});
}

}  // namespace testsupport
