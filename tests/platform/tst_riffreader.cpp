#include <QTest>

#include "platform/riffreader.h"
#include "riffbuilder.h"

using platform::RiffError;
using namespace riff;

Q_DECLARE_METATYPE(platform::RiffError)

class TestRiffReader : public QObject {
    Q_OBJECT

private slots:
    void accepts_data();
    void accepts();
    void refuses_data();
    void refuses();
    void neverReadsPastAnyTruncation();
};

namespace {
const QByteArray kData8 = QByteArray("\x10\x80\xf0\x7f\x81\x00\xff", 7);  // seven 8-bit samples
const QByteArray kData16 = samples16({100, -100, 32767, -32768, 0, 5});
}  // namespace

void TestRiffReader::accepts_data() {
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("plain 8-bit") << image(fmt8(8000) + chunk("data", kData8)) << 8000 << 8 << kData8;
    QTest::newRow("plain 16-bit") << image(fmt() + chunk("data", kData16)) << 22050 << 16 << kData16;
    // An 18-byte format chunk, "fact", the data, then an empty chunk with a zero identifier.
    QTest::newRow("extended fmt, fact, zero chunk")
        << image(chunk("fmt ", formatBody({1, 1, 8000, 8, 1}) + le16(0)) + chunk("fact", le32(7)) +
                 chunk("data", kData8) + chunk(QByteArray(4, '\0'), {}))
        << 8000 << 8 << kData8;
    QTest::newRow("fact, bytes after the form")
        << image(fmt() + chunk("fact", le32(6)) + chunk("data", kData16), QByteArray(2, '\0'))
        << 22050 << 16 << kData16;
    QTest::newRow("garbage after the form is not data")
        << image(fmt8(8000) + chunk("data", kData8), "data\x04\0\0\0abcd") << 8000 << 8 << kData8;
    QTest::newRow("odd unknown chunk padded before fmt")
        << image(chunk("LIST", "abc") + fmt8(11025) + chunk("data", kData8)) << 11025 << 8 << kData8;
    QTest::newRow("data before fmt") << image(chunk("data", kData16) + fmt()) << 22050 << 16 << kData16;
    QTest::newRow("odd data without its pad byte at the form's end")
        << image(fmt8(8000) + chunk("data", kData8, false)) << 8000 << 8 << kData8;
    QTest::newRow("half a 16-bit sample at the end is dropped")
        << image(fmt() + chunk("data", kData16 + "\x01")) << 22050 << 16 << kData16;
    QTest::newRow("first data chunk counts")
        << image(fmt8(8000) + chunk("data", kData8) + chunk("data", "zz")) << 8000 << 8 << kData8;
}

void TestRiffReader::accepts() {
    QFETCH(QByteArray, image);
    QFETCH(int, rate);
    QFETCH(int, bits);
    QFETCH(QByteArray, expected);
    const auto result = platform::readWave(bytes(image));
    QVERIFY2(result.ok(), platform::riffErrorText(result.error));
    QCOMPARE(int(result.clip.sampleRate), rate);
    QCOMPARE(int(result.clip.bitsPerSample), bits);
    const QByteArray got(reinterpret_cast<const char*>(result.clip.samples.data()),
                         qsizetype(result.clip.samples.size()));
    QCOMPARE(got, expected);
}

void TestRiffReader::refuses_data() {
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<RiffError>("error");

    const QByteArray good = image(fmt() + chunk("data", kData16));
    QByteArray sizeTooLarge = good;
    sizeTooLarge.replace(4, 4, le32(std::uint32_t(good.size())));
    QByteArray sizeHuge = good;
    sizeHuge.replace(4, 4, le32(0xffffffffu));
    QByteArray sizeTiny = good;
    sizeTiny.replace(4, 4, le32(2));

    QTest::newRow("empty") << QByteArray() << RiffError::Truncated;
    QTest::newRow("header cut") << good.left(10) << RiffError::Truncated;
    QTest::newRow("form longer than image") << sizeTooLarge << RiffError::Truncated;
    QTest::newRow("form size near 4 GiB") << sizeHuge << RiffError::Truncated;
    QTest::newRow("form size below the form type") << sizeTiny << RiffError::Truncated;
    QTest::newRow("image cut inside data") << good.left(good.size() - 3) << RiffError::Truncated;
    QTest::newRow("not RIFF") << QByteArray("RIFX") + good.mid(4) << RiffError::NotRiffWave;
    QTest::newRow("not WAVE") << good.left(8) + "AVI " + good.mid(12) << RiffError::NotRiffWave;
    QTest::newRow("data length past the form")
        << image(fmt() + "data" + le32(1000) + kData16) << RiffError::ChunkPastEnd;
    QTest::newRow("chunk length near 4 GiB")
        << image(fmt() + "junk" + le32(0xfffffff8u) + kData16) << RiffError::ChunkPastEnd;
    QTest::newRow("no fmt") << image(chunk("data", kData16)) << RiffError::NoFormat;
    QTest::newRow("fmt too short")
        << image(chunk("fmt ", formatBody({}).left(14)) + chunk("data", kData16)) << RiffError::NoFormat;
    QTest::newRow("no data") << image(fmt() + chunk("fact", le32(0))) << RiffError::NoData;
    QTest::newRow("empty data") << image(fmt() + chunk("data", {})) << RiffError::NoData;
    QTest::newRow("data of half a sample") << image(fmt() + chunk("data", "\x01")) << RiffError::NoData;
    QTest::newRow("ADPCM") << image(fmt({2, 1, 8000, 16, 2}) + chunk("data", kData16)) << RiffError::NotPcm;
    QTest::newRow("extensible") << image(fmt({0xfffe, 1, 8000, 16, 2}) + chunk("data", kData16))
                                << RiffError::NotPcm;
    QTest::newRow("stereo") << image(fmt({1, 2, 22050, 16, 4}) + chunk("data", kData16)) << RiffError::NotMono;
    QTest::newRow("no channels") << image(fmt({1, 0, 22050, 16, 2}) + chunk("data", kData16)) << RiffError::NotMono;
    QTest::newRow("24-bit") << image(fmt({1, 1, 22050, 24, 3}) + chunk("data", kData16)) << RiffError::BadBitDepth;
    QTest::newRow("4-bit") << image(fmt({1, 1, 22050, 4, 1}) + chunk("data", kData16)) << RiffError::BadBitDepth;
    QTest::newRow("zero rate") << image(fmt({1, 1, 0, 16, 2}) + chunk("data", kData16)) << RiffError::ZeroRate;
    QTest::newRow("block align 1 at 16 bits")
        << image(fmt({1, 1, 22050, 16, 1}) + chunk("data", kData16)) << RiffError::BadBlockAlign;
    QTest::newRow("block align 0 at 8 bits")
        << image(fmt({1, 1, 8000, 8, 0}) + chunk("data", kData8)) << RiffError::BadBlockAlign;
}

void TestRiffReader::refuses() {
    QFETCH(QByteArray, image);
    QFETCH(RiffError, error);
    const auto result = platform::readWave(bytes(image));
    QCOMPARE(result.error, error);
    QVERIFY(result.clip.samples.empty());
}

// Every prefix of a valid image is read from a buffer of exactly its length, so that a read
// past the end shows under the sanitizers; a prefix that keeps the header's sizes is refused.
void TestRiffReader::neverReadsPastAnyTruncation() {
    const QByteArray full = image(chunk("fmt ", formatBody({1, 1, 8000, 8, 1}) + le16(0)) +
                                  chunk("fact", le32(7)) + chunk("data", kData8) +
                                  chunk(QByteArray(4, '\0'), {}));
    for (qsizetype n = 0; n < full.size(); ++n) {
        const std::vector<std::uint8_t> prefix(full.begin(), full.begin() + n);
        QVERIFY2(!platform::readWave(prefix).ok(), qPrintable(QString("prefix of %1 bytes").arg(n)));
    }
    QVERIFY(platform::readWave(bytes(full)).ok());
}

QTEST_APPLESS_MAIN(TestRiffReader)
#include "tst_riffreader.moc"
