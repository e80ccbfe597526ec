#include <QtTest>

#include <memory>

#include "app/form1.h"
#include "app/module1.h"
#include "forms/application.h"
#include "forms/checkbox.h"
#include "forms/commandbutton.h"
#include "forms/fatalerror.h"
#include "forms/label.h"
#include "forms/picturebox.h"
#include "knob/knob.h"
#include "memorymixerdevice.h"

using namespace platform;
using testsupport::MemoryMixerDevice;

// The volume panel of the main window on the in-memory mixer: what each paint reads and
// writes, and how knob, label and "Mute" box follow.
namespace {

constexpr std::uint32_t kSpeakers = 10;
constexpr std::uint32_t kVolume = 101;
constexpr std::uint32_t kMute = 102;

MixerControl control(std::uint32_t id, std::uint32_t type, std::int32_t max) {
    MixerControl c;
    c.dwControlID = id;
    c.dwControlType = type;
    c.Bounds.lMaximum = max;
    return c;
}

bool ignorePlay(int, const platform::ResourceModule*, std::uint32_t) { return true; }
bool ignoreStop(const char*, std::uint32_t) { return true; }
void ignoreExit(int) {}

}  // namespace

class TestVolumePanel : public QObject {
    Q_OBJECT

    std::unique_ptr<MemoryMixerDevice> mixer;
    std::unique_ptr<Form1> form;
    QList<QPair<int, QString>> fatalErrors;

    void declareSpeakers(std::int32_t level, bool muted) {
        mixer->addLine(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, kSpeakers);
        mixer->addControl(kSpeakers, control(kVolume, MIXERCONTROL_CONTROLTYPE_VOLUME, 65535),
                          level);
        mixer->addControl(kSpeakers, control(kMute, MIXERCONTROL_CONTROLTYPE_MUTE, 1), muted);
    }

    void showForm() {
        form = std::make_unique<Form1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QApplication::processEvents();
    }

    // The value requests that reached one control, in order: "get" or "set <value>".
    QStringList requests(std::uint32_t controlId) const {
        QStringList seen;
        for (const MemoryMixerDevice::Call& call : mixer->calls()) {
            if (call.arguments.size() < 2 || call.arguments[1] != controlId) continue;
            if (call.operation == "mixerGetControlDetailsA") seen << "get";
            if (call.operation == "mixerSetControlDetails")
                seen << QString("set %1").arg(call.arguments[2]);
        }
        return seen;
    }

    int paints() const { return int(requests(kVolume).count("get")); }

    // A clockwise drag: left-button moves rightwards along the top half of the face.
    void dragClockwise(int moves) {
        forms::PictureBox* face = form->sldMain->surface();
        for (int i = 0; i < moves; ++i) {
            const QPointF at(5 + i, 5);
            QMouseEvent event(QEvent::MouseMove, at, face->mapToGlobal(at), Qt::NoButton,
                              Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(face, &event);
        }
    }

private slots:
    void initTestCase() {
        forms::initApplication();
        Module1::entries() = {ignorePlay, ignoreStop, ignoreExit};
        forms::setFatalErrorReporter(
            [this](int number, const QString& text) { fatalErrors.append({number, text}); });
    }

    void init() {
        mixer = std::make_unique<MemoryMixerDevice>();
        setMixerDevice(mixer.get());
        fatalErrors.clear();
    }

    void cleanup() {
        form.reset();
        setMixerDevice(nullptr);
        mixer.reset();
    }

    void firstPaintSnapsTheLevel_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("written");
        QTest::newRow("full") << 65535 << 100 << 65500;
        QTest::newRow("half") << 32768 << 50 << 32750;
        QTest::newRow("zero") << 0 << 0 << 0;
        QTest::newRow("327 rounds down") << 327 << 0 << 0;
        QTest::newRow("328 rounds up") << 328 << 1 << 655;
        QTest::newRow("65173 is full") << 65173 << 100 << 65500;
        QTest::newRow("multiple of 655") << 37 * 655 << 37 << 37 * 655;
    }

    void firstPaintSnapsTheLevel() {
        QFETCH(int, level);
        QFETCH(int, percent);
        QFETCH(int, written);
        declareSpeakers(level, false);
        showForm();
        QCOMPARE(form->sldMain->KnobValue(), percent);
        QCOMPARE(form->lblVolume->text(), QString::number(percent) + '%');
        QCOMPARE(mixer->value(kVolume), written);
        QCOMPARE(requests(kVolume), (QStringList{"get", QString("set %1").arg(written)}));
        QCOMPARE(requests(kMute), QStringList{"get"});
        QCOMPARE(form->chkVolMute->value(), 0);
    }

    void labelShowsTheLayoutTextUntilTheFirstPaint() {
        declareSpeakers(32768, false);
        form = std::make_unique<Form1>();
        QCOMPARE(form->lblVolume->text(), QString("0 %"));
        QVERIFY(mixer->calls().empty());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(form->lblVolume->text(), QString("50%"));
        dragClockwise(20);
        QCOMPARE(form->lblVolume->text(), QString::number(form->sldMain->KnobValue()) + '%');
        QVERIFY(!form->lblVolume->text().contains(' '));
    }

    void mutedAtStartTicksTheBoxAndWritesMuteAgain() {
        declareSpeakers(32768, true);
        showForm();
        QCOMPARE(form->chkVolMute->value(), 1);
        QCOMPARE(requests(kMute), (QStringList{"get", "set 1"}));
        QCOMPARE(requests(kVolume), (QStringList{"get", "set 32750"}));
        QCOMPARE(mixer->value(kMute), 1);
    }

    void tickingAndUntickingWriteTheMute() {
        declareSpeakers(0, false);
        showForm();
        mixer->clearCalls();
        QTest::mouseClick(form->chkVolMute, Qt::LeftButton);
        QCOMPARE(mixer->value(kMute), 1);
        QTest::mouseClick(form->chkVolMute, Qt::LeftButton);
        QCOMPARE(mixer->value(kMute), 0);
        QCOMPARE(requests(kMute), (QStringList{"set 1", "set 0"}));
        QCOMPARE(requests(kVolume), QStringList{});
    }

    void turningTheKnobWritesEachStep() {
        declareSpeakers(10 * 655, false);
        showForm();
        mixer->clearCalls();
        dragClockwise(6);
        QStringList expected;
        for (int percent = 11; percent <= 15; ++percent)
            expected << QString("set %1").arg(percent * 655);
        // The first move only sets where the drag starts from when it lies left of the last one.
        const QStringList written = requests(kVolume);
        QVERIFY2(written.size() >= 5 && written.mid(written.size() - 5) == expected,
                 qPrintable(written.join(", ")));
        QCOMPARE(form->lblVolume->text(), QString("%1%").arg(form->sldMain->KnobValue()));
        QCOMPARE(mixer->value(kVolume), form->sldMain->KnobValue() * 655);
        QVERIFY(!requests(kVolume).contains("get"));
    }

    void laterRepaintsFollowTheMixer() {
        declareSpeakers(65535, false);
        showForm();
        mixer->setValue(kVolume, 40000);
        mixer->setValue(kMute, 1);
        form->repaint();
        QCOMPARE(form->sldMain->KnobValue(), 61);
        QCOMPARE(form->lblVolume->text(), QString("61%"));
        QCOMPARE(mixer->value(kVolume), 61 * 655);
        QCOMPARE(form->chkVolMute->value(), 1);
        mixer->setValue(kMute, 0);
        form->repaint();
        QCOMPARE(form->chkVolMute->value(), 0);
        QCOMPARE(mixer->value(kMute), 0);
        QCOMPARE(paints(), 3);
    }

    // The panel's own updates and the user's focus and hover repaint controls only; the
    // window's paint handler, which would read the mixer again, runs for none of them.
    void aPaintNeverCausesAnotherPaint() {
        declareSpeakers(32768, false);
        showForm();
        QTRY_COMPARE(paints(), 1);
        QTest::mouseClick(form->chkVolMute, Qt::LeftButton);
        dragClockwise(5);
        form->lblVolume->setText("99%");
        for (int i = 0; i < 10; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::mouseMove(form->Command1);
        QTest::qWait(50);
        QCOMPARE(paints(), 1);
        form->update();
        QTRY_COMPARE(paints(), 2);
        QTest::qWait(50);
        QCOMPARE(paints(), 2);
    }

    void withoutAMixerThePanelStillWorks() {
        mixer->setOpenResult(MMSYSERR_NODRIVER);
        showForm();
        QCOMPARE(form->sldMain->KnobValue(), 0);
        QCOMPARE(form->lblVolume->text(), QString("0%"));
        QCOMPARE(form->chkVolMute->value(), 0);
        QTest::keyClick(form->sldMain, Qt::Key_Right);
        QCOMPARE(form->lblVolume->text(), QString("1%"));
        QTest::mouseClick(form->chkVolMute, Qt::LeftButton);
        QCOMPARE(form->chkVolMute->value(), 1);
        QTest::mouseClick(form->chkVolMute, Qt::LeftButton);
        QCOMPARE(form->chkVolMute->value(), 0);
        QVERIFY(fatalErrors.isEmpty());
    }

    void theVolumeObjectIsMadeOnceForTheWindowsLife() {
        declareSpeakers(0, false);
        showForm();
        form->repaint();
        QTest::mouseClick(form->chkVolMute, Qt::LeftButton);
        const auto opens = std::count_if(mixer->calls().begin(), mixer->calls().end(),
                                         [](const auto& call) { return call.operation == "mixerOpen"; });
        QCOMPARE(opens, 1);
        form.reset();
        QCOMPARE(mixer->calls().back().operation, std::string("mixerClose"));
    }

    // An error out of the knob escapes into the paint handler, which catches nothing: the
    // fatal error message reports it.
    void anErrorOutOfTheKnobIsFatal() {
        declareSpeakers(32768, false);
        form = std::make_unique<Form1>();
        connect(form->sldMain, &Knob::Changed, form.get(), [] { throw forms::overflowError(); });
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(!fatalErrors.isEmpty());
        QCOMPARE(fatalErrors.first(), (QPair<int, QString>{6, "Overflow"}));
        QCOMPARE(form->chkVolMute->value(), 0);
        QCOMPARE(requests(kMute), QStringList{});
    }
};

QTEST_MAIN(TestVolumePanel)
#include "tst_volumepanel.moc"
