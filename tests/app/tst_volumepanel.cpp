#include <QtTest>

#include <memory>

#include "app/form1.h"
#include "forms/application.h"
#include "forms/checkbox.h"
#include "forms/commandbutton.h"
#include "forms/fatalerror.h"
#include "forms/label.h"
#include "forms/picturebox.h"
#include "formsrecorders.h"
#include "knob/knob.h"
#include "memorymixerdevice.h"
#include "mousemove.h"

using namespace platform;
using testsupport::MemoryMixerDevice;

// The volume panel of the main window on the in-memory mixer: what each paint reads and
// writes, and how knob, label and "Mute" box follow.
namespace {

constexpr std::uint32_t kVolume = MemoryMixerDevice::kSpeakerVolume;
constexpr std::uint32_t kMute = MemoryMixerDevice::kSpeakerMute;

}  // namespace

class TestVolumePanel : public QObject {
    Q_OBJECT

    std::unique_ptr<MemoryMixerDevice> mixer;
    std::unique_ptr<Form1> form;
    testsupport::RecordedMessageBoxes fatalErrors;
    testsupport::RecordedExits exits;

    void showForm() {
        form = std::make_unique<Form1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QApplication::processEvents();
    }

    // The value requests that reached one control, in order: "get" or "set <value>".
    QStringList requests(std::uint32_t controlId) const {
        QStringList seen;
        for (const std::string& request : mixer->requests(controlId))
            seen << QString::fromStdString(request);
        return seen;
    }

    int paints() const { return int(requests(kVolume).count("get")); }

    // A clockwise drag: left-button moves rightwards along the top half of the face.
    void dragClockwise(int moves) {
        forms::PictureBox* face = form->sldMain->surface();
        for (int i = 0; i < moves; ++i) {
            QMouseEvent move = testsupport::mouseMove(face, QPointF(5 + i, 5));
            QApplication::sendEvent(face, &move);
        }
    }

private slots:
    void initTestCase() {
        forms::initApplication();
    }

    void init() {
        mixer = std::make_unique<MemoryMixerDevice>();
        fatalErrors.texts.clear();
    }

    void cleanup() {
        form.reset();
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
        mixer->addSpeakers(level, false);
        showForm();
        QCOMPARE(form->sldMain->KnobValue(), percent);
        QCOMPARE(form->lblVolume->text(), QString::number(percent) + '%');
        QCOMPARE(mixer->value(kVolume), written);
        QCOMPARE(requests(kVolume), (QStringList{"get", QString("set %1").arg(written)}));
        QCOMPARE(requests(kMute), QStringList{"get"});
        QCOMPARE(form->chkVolMute->value(), 0);
    }

    void labelShowsTheLayoutTextUntilTheFirstPaint() {
        mixer->addSpeakers(32768, false);
        form = std::make_unique<Form1>();
        QCOMPARE(form->lblVolume->text(), QString("0 %"));
        QCOMPARE(mixer->opens(), 0);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(form->lblVolume->text(), QString("50%"));
        dragClockwise(20);
        QCOMPARE(form->lblVolume->text(), QString::number(form->sldMain->KnobValue()) + '%');
        QVERIFY(!form->lblVolume->text().contains(' '));
    }

    void mutedAtStartTicksTheBoxAndWritesMuteAgain() {
        mixer->addSpeakers(32768, true);
        showForm();
        QCOMPARE(form->chkVolMute->value(), 1);
        QCOMPARE(requests(kMute), (QStringList{"get", "set 1"}));
        QCOMPARE(requests(kVolume), (QStringList{"get", "set 32750"}));
        QCOMPARE(mixer->value(kMute), 1);
    }

    void tickingAndUntickingWriteTheMute() {
        mixer->addSpeakers(0, false);
        showForm();
        mixer->clearRequests();
        QTest::mouseClick(form->chkVolMute, Qt::LeftButton);
        QCOMPARE(mixer->value(kMute), 1);
        QTest::mouseClick(form->chkVolMute, Qt::LeftButton);
        QCOMPARE(mixer->value(kMute), 0);
        QCOMPARE(requests(kMute), (QStringList{"set 1", "set 0"}));
        QCOMPARE(requests(kVolume), QStringList{});
    }

    void turningTheKnobWritesEachStep() {
        mixer->addSpeakers(10 * 655, false);
        showForm();
        mixer->clearRequests();
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
        mixer->addSpeakers(65535, false);
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

    // A level above the knob's top (a desktop's boost over 100%) shows as the top and is not
    // written by the first paint, a later one or a change made elsewhere; the user's first step
    // of the knob writes as usual.
    void aLevelAboveTheTopShowsAsTheTopAndStays() {
        mixer->addSpeakers(98303, false);
        showForm();
        form->repaint();
        mixer->setValue(kVolume, 78643);
        emit mixer->controlsChanged();
        QCOMPARE(form->sldMain->KnobValue(), 100);
        QCOMPARE(form->lblVolume->text(), QString("100%"));
        QCOMPARE(requests(kVolume), (QStringList{"get", "get", "get"}));
        QTest::keyClick(form->sldMain, Qt::Key_Down);
        QCOMPARE(mixer->value(kVolume), 99 * 655);
    }

    // A paint whose reads nothing answered writes neither a level of 0 nor an unmute.
    void aReadWithoutAnAnswerWritesNothing() {
        mixer->addSpeakers(80 * 655, true);
        showForm();
        mixer->clearRequests();
        mixer->failValueRequests(MMSYSERR_NODRIVER);
        form->repaint();
        QCOMPARE(requests(kVolume), QStringList{"get"});
        QCOMPARE(requests(kMute), QStringList{"get"});
    }

    // The panel's own updates and the user's focus and hover repaint controls only; the
    // window's paint handler, which would read the mixer again, runs for none of them.
    void aPaintNeverCausesAnotherPaint() {
        mixer->addSpeakers(32768, false);
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
        QVERIFY(fatalErrors.texts.isEmpty());
    }

    void theVolumeObjectIsMadeOnceForTheWindowsLife() {
        mixer->addSpeakers(0, false);
        showForm();
        form->repaint();
        QTest::mouseClick(form->chkVolMute, Qt::LeftButton);
        QCOMPARE(mixer->opens(), 1);
        form.reset();
        QVERIFY(!mixer->isOpen());
    }

    // An error out of the knob escapes into the paint handler, which catches nothing: the
    // fatal error message reports it.
    void anErrorOutOfTheKnobIsFatal() {
        mixer->addSpeakers(32768, false);
        form = std::make_unique<Form1>();
        connect(form->sldMain, &Knob::Changed, form.get(), [] { throw forms::overflowError(); });
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(!fatalErrors.texts.isEmpty());
        QCOMPARE(fatalErrors.texts.first(), forms::fatalErrorText(6, "Overflow"));
        QCOMPARE(exits.codes.first(), 1);
        QCOMPARE(form->chkVolMute->value(), 0);
        QCOMPARE(requests(kMute), QStringList{});
    }
};

QTEST_MAIN(TestVolumePanel)
#include "tst_volumepanel.moc"
