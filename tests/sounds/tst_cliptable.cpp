#include <QtTest>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "sounds/cliptable.h"

namespace {

struct Chunk {
    std::string id;
    std::uint32_t offset;
    std::uint32_t size;
};

std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

std::uint16_t le16(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint16_t(b[at] | b[at + 1] << 8);
}

// Walks the chunks inside the RIFF form, by the sizes in the headers.
std::vector<Chunk> chunksOf(std::span<const std::uint8_t> image) {
    std::vector<Chunk> chunks;
    const std::size_t formEnd = 8 + std::size_t(le32(image, 4));
    for (std::size_t at = 12; at + 8 <= formEnd && at + 8 <= image.size();) {
        Chunk c{std::string(reinterpret_cast<const char*>(image.data() + at), 4),
                std::uint32_t(at), le32(image, at + 4)};
        chunks.push_back(c);
        at += 8 + c.size + (c.size & 1);
    }
    return chunks;
}

// The clip's samples scaled to full scale 1.0, and its rate.
struct Samples {
    std::vector<double> values;
    std::vector<int> raw;
    int rate = 0;
};

Samples samplesOf(int number) {
    const auto image = sounds::findClip(number);
    Samples s;
    for (const Chunk& c : chunksOf(image)) {
        if (c.id == "fmt ")
            s.rate = int(le32(image, c.offset + 12));
        if (c.id != "data")
            continue;
        const int bits = le16(image, chunksOf(image)[0].offset + 22);
        for (std::uint32_t i = 0; i < c.size; i += bits / 8) {
            const std::size_t at = c.offset + 8 + i;
            const int v = bits == 8 ? image[at] - 128 : std::int16_t(le16(image, at));
            s.raw.push_back(bits == 8 ? image[at] : v);
            s.values.push_back(v / (bits == 8 ? 128.0 : 32768.0));
        }
    }
    return s;
}

double dbfs(double rms) {
    return 20 * std::log10(std::max(rms, 1e-9));
}

// RMS level of each whole half second, in dBFS.
std::vector<double> halfSecondLevels(const Samples& s) {
    std::vector<double> levels;
    const std::size_t n = s.rate / 2;
    for (std::size_t at = 0; at + n <= s.values.size(); at += n) {
        double sum = 0;
        for (std::size_t i = at; i < at + n; ++i)
            sum += s.values[i] * s.values[i];
        levels.push_back(dbfs(std::sqrt(sum / n)));
    }
    return levels;
}

double peakDb(const Samples& s) {
    double peak = 0;
    for (double v : s.values)
        peak = std::max(peak, std::abs(v));
    return dbfs(peak);
}

// Power at `freq` Hz over the whole clip.
double power(const Samples& s, double freq) {
    std::complex<double> sum;
    const double w = 2 * std::numbers::pi * freq / s.rate;
    for (std::size_t i = 0; i < s.values.size(); ++i)
        sum += s.values[i] * std::polar(1.0, -w * double(i));
    return std::norm(sum);
}

}  // namespace

class TestClipTable : public QObject {
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void format_data();
    void format();
    void speechLevels();
    void trafficRisesAndIsLimited();
    void barkingEnergyAndLevel();
    void clicksStandOutOfSilence();
    void loopsHaveNoClickAtTheSeam_data();
    void loopsHaveNoClickAtTheSeam();
    void unknownNumbersFindNothing_data();
    void unknownNumbersFindNothing();
    void moduleAnswersOnlyWave_data();
    void moduleAnswersOnlyWave();
};

using ChunkList = std::vector<Chunk>;
Q_DECLARE_METATYPE(ChunkList)

void TestClipTable::layout_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("resourceBytes");
    QTest::addColumn<int>("riffSize");
    QTest::addColumn<ChunkList>("chunks");
    QTest::addColumn<int>("trailingZeros");

    const std::string zeroId(4, '\0');
    QTest::newRow("101") << 101 << 60066 << 60058
                         << ChunkList{{"fmt ", 12, 18}, {"fact", 38, 4}, {"data", 50, 60000},
                                      {zeroId, 60058, 0}}
                         << 0;
    QTest::newRow("102") << 102 << 143396 << 143386
                         << ChunkList{{"fmt ", 12, 16}, {"fact", 36, 4}, {"data", 48, 143338}}
                         << 2;
    QTest::newRow("103") << 103 << 12392 << 12384
                         << ChunkList{{"fmt ", 12, 16}, {"data", 36, 12348}} << 0;
    QTest::newRow("104") << 104 << 10068 << 10060
                         << ChunkList{{"fmt ", 12, 16}, {"data", 36, 10024}} << 0;
}

void TestClipTable::layout() {
    QFETCH(int, number);
    QFETCH(int, resourceBytes);
    QFETCH(int, riffSize);
    QFETCH(ChunkList, chunks);
    QFETCH(int, trailingZeros);

    const auto image = sounds::findClip(number);
    QCOMPARE(int(image.size()), resourceBytes);
    QCOMPARE(std::memcmp(image.data(), "RIFF", 4), 0);
    QCOMPARE(int(le32(image, 4)), riffSize);
    QCOMPARE(std::memcmp(image.data() + 8, "WAVE", 4), 0);

    const ChunkList found = chunksOf(image);
    QCOMPARE(found.size(), chunks.size());
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        QCOMPARE(found[i].id, chunks[i].id);
        QCOMPARE(found[i].offset, chunks[i].offset);
        QCOMPARE(found[i].size, chunks[i].size);
    }
    QCOMPARE(resourceBytes - (riffSize + 8), trailingZeros);
    for (int i = riffSize + 8; i < resourceBytes; ++i)
        QCOMPARE(int(image[i]), 0);
}

void TestClipTable::format_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("factSamples");  // -1: no "fact" chunk

    QTest::newRow("101") << 101 << 8000 << 8 << 60000 << 60000;
    QTest::newRow("102") << 102 << 22050 << 16 << 71669 << 71669;
    QTest::newRow("103") << 103 << 8000 << 8 << 12348 << -1;
    QTest::newRow("104") << 104 << 22050 << 8 << 10024 << -1;
}

void TestClipTable::format() {
    QFETCH(int, number);
    QFETCH(int, rate);
    QFETCH(int, bits);
    QFETCH(int, samples);
    QFETCH(int, factSamples);

    const auto image = sounds::findClip(number);
    const ChunkList chunks = chunksOf(image);
    const std::uint32_t fmt = chunks[0].offset + 8;
    QCOMPARE(int(le16(image, fmt)), 1);  // PCM
    QCOMPARE(int(le16(image, fmt + 2)), 1);
    QCOMPARE(int(le32(image, fmt + 4)), rate);
    QCOMPARE(int(le32(image, fmt + 8)), rate * bits / 8);
    QCOMPARE(int(le16(image, fmt + 12)), bits / 8);
    QCOMPARE(int(le16(image, fmt + 14)), bits);
    if (chunks[0].size == 18)
        QCOMPARE(int(le16(image, fmt + 16)), 0);

    const auto fact = std::find_if(chunks.begin(), chunks.end(),
                                   [](const Chunk& c) { return c.id == "fact"; });
    QCOMPARE(fact == chunks.end() ? -1 : int(le32(image, fact->offset + 8)), factSamples);
    QCOMPARE(int(samplesOf(number).values.size()), samples);
}

void TestClipTable::speechLevels() {
    const Samples s = samplesOf(101);
    const std::vector<double> levels = halfSecondLevels(s);
    QCOMPARE(levels.size(), std::size_t(15));
    for (double first : {levels.front(), levels.back()}) {
        QVERIFY2(first > -29 && first < -25, qPrintable(QString::number(first)));
    }
    for (std::size_t i = 1; i + 1 < levels.size(); ++i)
        QVERIFY2(levels[i] > -23 && levels[i] < -10.5, qPrintable(QString::number(levels[i])));
    const auto fullScale = std::count_if(s.raw.begin(), s.raw.end(),
                                         [](int v) { return v == 0 || v == 255; });
    QVERIFY2(fullScale >= 1 && fullScale <= 60, qPrintable(QString::number(fullScale)));
}

void TestClipTable::trafficRisesAndIsLimited() {
    const Samples s = samplesOf(102);
    const std::vector<double> levels = halfSecondLevels(s);
    QVERIFY2(levels.front() > -18 && levels.front() < -14, qPrintable(QString::number(levels.front())));
    QVERIFY2(levels.back() > -10 && levels.back() < -6.5, qPrintable(QString::number(levels.back())));

    QCOMPARE(*std::min_element(s.raw.begin(), s.raw.end()), -26213);
    QCOMPARE(*std::max_element(s.raw.begin(), s.raw.end()), 26212);
    const auto atLimit = std::count_if(s.raw.begin(), s.raw.end(),
                                       [](int v) { return v == -26213 || v == 26212; });
    QVERIFY2(atLimit >= 300 && atLimit <= 1200, qPrintable(QString::number(atLimit)));
}

void TestClipTable::barkingEnergyAndLevel() {
    const Samples s = samplesOf(103);
    for (double level : halfSecondLevels(s))
        QVERIFY2(level > -18.5 && level < -10.5, qPrintable(QString::number(level)));
    QVERIFY2(std::abs(peakDb(s) + 1.6) < 0.3, qPrintable(QString::number(peakDb(s))));

    // Energy per 10 Hz step: the strongest band of 130 Hz is the one from 600 to 730 Hz.
    std::vector<double> spectrum;
    for (int f = 0; f < 4000; f += 10)
        spectrum.push_back(power(s, f));
    auto band = [&](int from) {
        double sum = 0;
        for (int f = from; f < from + 130; f += 10)
            sum += spectrum[f / 10];
        return sum;
    };
    const double target = band(600);
    for (int from = 0; from + 130 <= 4000; from += 10) {
        if (std::abs(from - 600) >= 130)
            QVERIFY2(band(from) < target, qPrintable(QString("band at %1 Hz").arg(from)));
    }
}

void TestClipTable::clicksStandOutOfSilence() {
    const Samples s = samplesOf(104);
    auto seconds = [&](std::size_t i) { return double(i) / s.rate; };
    int peakFirst = 0, peakSecond = 0, silent = 0;
    for (std::size_t i = 0; i < s.raw.size(); ++i) {
        const int offset = std::abs(s.raw[i] - 128);
        silent += offset == 0;
        if (seconds(i) < 0.05)
            peakFirst = std::max(peakFirst, offset);
        else if (seconds(i) >= 0.26 && seconds(i) < 0.32)
            peakSecond = std::max(peakSecond, offset);
        else
            QVERIFY2(offset <= 2, qPrintable(QString("%1 at %2 s").arg(s.raw[i]).arg(seconds(i))));
    }
    QVERIFY(peakFirst >= 110);
    QVERIFY(peakSecond >= 110);
    const double silentShare = double(silent) / s.raw.size();
    QVERIFY2(silentShare > 0.4 && silentShare < 0.6, qPrintable(QString::number(silentShare)));
}

void TestClipTable::loopsHaveNoClickAtTheSeam_data() {
    QTest::addColumn<int>("number");
    QTest::newRow("traffic") << 102;
    QTest::newRow("dogs") << 103;
}

// The step from the last sample back to the first is no larger than the steps the clip
// itself usually takes.
void TestClipTable::loopsHaveNoClickAtTheSeam() {
    QFETCH(int, number);
    const Samples s = samplesOf(number);
    std::vector<double> steps;
    for (std::size_t i = 1; i < s.values.size(); ++i)
        steps.push_back(std::abs(s.values[i] - s.values[i - 1]));
    std::sort(steps.begin(), steps.end());
    const double usual = steps[steps.size() * 9 / 10];
    const double seam = std::abs(s.values.front() - s.values.back());
    QVERIFY2(seam <= usual, qPrintable(QString("seam %1, usual %2").arg(seam).arg(usual)));
}

void TestClipTable::unknownNumbersFindNothing_data() {
    QTest::addColumn<int>("number");
    for (int n : {0, 1, 100, 105, -101, 30001})
        QTest::newRow(qPrintable(QString::number(n))) << n;
}

void TestClipTable::unknownNumbersFindNothing() {
    QFETCH(int, number);
    QVERIFY(sounds::findClip(number).empty());
    QVERIFY(sounds::programModule().findResource(number, "WAVE").empty());
}

void TestClipTable::moduleAnswersOnlyWave_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("found");
    QTest::newRow("WAVE") << "WAVE" << true;
    QTest::newRow("lower case") << "wave" << false;
    QTest::newRow("icon") << "ICON" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("longer") << "WAVE " << false;
}

void TestClipTable::moduleAnswersOnlyWave() {
    QFETCH(QString, type);
    QFETCH(bool, found);
    const std::string name = type.toStdString();
    for (int number = 101; number <= 104; ++number) {
        const auto resource = sounds::programModule().findResource(number, name);
        const auto clip = sounds::findClip(number);
        QCOMPARE(!resource.empty(), found);
        if (found) {
            QCOMPARE(resource.data(), clip.data());
            QCOMPARE(resource.size(), clip.size());
        }
    }
}

QTEST_APPLESS_MAIN(TestClipTable)
#include "tst_cliptable.moc"
