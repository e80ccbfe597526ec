#pragma once

#include <QByteArray>
#include <QDataStream>

#include <cstdint>

namespace testsupport {

// A plain mono PCM WAV file holding the given samples, for paplay.
inline QByteArray waveFile(const QByteArray& samples, std::uint32_t rate, std::uint16_t bitsPerSample) {
    const std::uint16_t bytesPerSample = bitsPerSample / 8;
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + samples.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * bytesPerSample)
        << quint16(bytesPerSample) << quint16(bitsPerSample);
    out.writeRawData("data", 4);
    out << quint32(samples.size());
    out.writeRawData(samples.constData(), int(samples.size()));
    return wav;
}

}  // namespace testsupport
