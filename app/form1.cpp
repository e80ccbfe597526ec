#include "form1.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QPalette>
#include <QPixmap>
#include <QScopedValueRollback>
#include <QShortcut>

#include <algorithm>

#include "about/frmabout.h"
#include "callsmenu.h"
#include "forms/application.h"
#include "forms/arithmetic.h"
#include "forms/checkbox.h"
#include "forms/commandbutton.h"
#include "forms/fatalerror.h"
#include "forms/fonts.h"
#include "forms/frame.h"
#include "forms/image.h"
#include "forms/label.h"
#include "forms/textbox.h"
#include "knob/knob.h"
#include "mixer/clsvolume.h"
#include "module1.h"
#include "platform/callrouting.h"
#include "platform/mixerdevice.h"
#include "sounds/cliptable.h"
#include "sounds/pictures.h"
#include "sounds/versioninfo.h"

namespace {

constexpr std::uint32_t kPlayOnce = platform::SND_RESOURCE | platform::SND_ASYNC;
constexpr std::uint32_t kPlayLooped = kPlayOnce | platform::SND_LOOP;

// How long the end waits for the sound server to remove the virtual microphone.
constexpr std::chrono::milliseconds kUnloadBound{1500};

constexpr double kTextPoints = 8.25;
constexpr double kLargerPoints = 9.75;
constexpr double kVolumePoints = 13.5;

// Mixer levels per volume percent.
constexpr std::int32_t kLevelsPerPercent = 655;

void playClip(int clipNumber, std::uint32_t flags) {
    module1().PlaySoundA(clipNumber, &sounds::programModule(), flags);
}

void stopAllSound() { module1().sndPlaySoundA(nullptr, platform::SND_ASYNC); }

template <typename Control>
Control* named(Control* control, const char* name, double points = kTextPoints) {
    control->setObjectName(QLatin1String(name));
    control->setFont(forms::msSansSerif(points));
    return control;
}

// Every control fills its own background, so repainting a control never repaints the
// window's own surface and never runs the window's paint handler.
void fillOwnBackgrounds(QWidget* window) {
    for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        control->setAutoFillBackground(true);
}

}  // namespace

Form1::Form1(QWidget* parent) : forms::Form(parent) {
    setObjectName(QStringLiteral("Form1"));
    setCaption(QStringLiteral("Quorvane  (version %1)").arg(QLatin1String(sounds::kProgramVersion)));
    setClientSizeTwips(6345, 6645);
    setFont(forms::msSansSerif(kTextPoints));
    setWindowIcon(sounds::programIcon());

    createTexts();
    createSoundFrames();
    createVolumeFrame();
    createButtons();
    connectHandlers();
    fillOwnBackgrounds(this);
    describeForAssistiveTechnology();

    callsMenu_ = new CallsMenu(this);
    // Shift+F10 asks the focused control for its menu, as the Menu key does.
    connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this), &QShortcut::activated, this, [] {
        QWidget* focused = QApplication::focusWidget();
        if (!focused) return;
        QContextMenuEvent event(QContextMenuEvent::Keyboard, focused->rect().center(),
                                focused->mapToGlobal(focused->rect().center()));
        QApplication::sendEvent(focused, &event);
    });
}

// A screen reader hears each frame's explanation with the frame, and the loudspeakers by
// what they show rather than by the frame's caption.
void Form1::describeForAssistiveTechnology() {
    Frame1->setAccessibleDescription(Label1->text());
    Frame2->setAccessibleDescription(Label2->text());
    for (forms::Image* image : {Image1, Image2, Image3})
        image->setAccessibleName(QStringLiteral("Loudspeaker"));
}

void Form1::contextMenuEvent(QContextMenuEvent* event) { callsMenu_->exec(event->globalPos()); }

void Form1::setPlayIntoCalls(bool on) { callsMenu_->setPlayIntoCalls(on); }

Form1::~Form1() = default;

QString Form1::introduction() {
    return QStringLiteral(
        "Did you ever try to convince someone on the phone that you were in one place when you "
        "are really some place else? Quorvane will make your excuse believable. ");
}

QString Form1::disclaimer() {
    return QStringLiteral(
        "Quorvane is made for fun: its noises are a joke to share with friends. \r\n"
        "It is not a tool to deceive anyone, and it takes no part in an excuse. \r\n"
        "Whoever plays its sounds on a phone call answers for how they are used.\r\n");
}

void Form1::createTexts() {
    Label6 = named(new forms::Label(introduction(), this), "Label6", kLargerPoints);
    forms::place(Label6, 360, 0, 5655, 735);
    forms::setTabIndex(Label6, 10);

    txtDisclaimer = named(new forms::TextBox(this), "txtDisclaimer");
    txtDisclaimer->setText(disclaimer());
    txtDisclaimer->setLocked(true);
    txtDisclaimer->setBackColor(QApplication::palette().color(QPalette::Button));
    forms::place(txtDisclaimer, 240, 5640, 5895, 855);
    forms::setTabIndex(txtDisclaimer, 9);
}

void Form1::createSoundFrames() {
    Frame1 = named(new forms::Frame(QStringLiteral("Make a call "), this), "Frame1");
    forms::place(Frame1, 240, 840, 5895, 1575);
    forms::setTabIndex(Frame1, 2);

    Label1 = named(new forms::Label(QStringLiteral("Make a phone-call  to tell your boss you "
                                                   "will be late to work . "),
                                    Frame1),
                   "Label1", kLargerPoints);
    forms::place(Label1, 240, 240, 5295, 375);
    forms::setTabIndex(Label1, 5);

    Command1 = named(new forms::CommandButton(
                         QStringLiteral("Car tire was punctured  in the buzy road"), Frame1),
                     "Command1");
    forms::place(Command1, 240, 600, 4455, 375);
    forms::setTabIndex(Command1, 4);

    Image1 = named(new forms::Image(Frame1), "Image1");
    forms::place(Image1, 4920, 600, 495, 375);

    Command4 = named(
        new forms::CommandButton(QStringLiteral("Dogs sitting outside my door"), Frame1),
        "Command4");
    forms::place(Command4, 240, 1080, 4455, 375);
    forms::setTabIndex(Command4, 3);

    Image2 = named(new forms::Image(Frame1), "Image2");
    forms::place(Image2, 4920, 1080, 495, 375);

    Frame2 = named(new forms::Frame(QStringLiteral("Receive a call"), this), "Frame2");
    forms::place(Frame2, 240, 2520, 5895, 1455);
    forms::setTabIndex(Frame2, 6);

    Label2 = named(new forms::Label(QStringLiteral("Do not want to listen a phone-call  from "
                                                   "your boss .You can know the caller if you "
                                                   "have a Caller ID installed ."),
                                    Frame2),
                   "Label2", kLargerPoints);
    forms::place(Label2, 240, 360, 5295, 615);
    forms::setTabIndex(Label2, 8);

    Command3 = named(new forms::CommandButton(QStringLiteral(" Answering Machine"), Frame2),
                     "Command3");
    forms::place(Command3, 240, 960, 4455, 375);
    forms::setTabIndex(Command3, 7);

    Image3 = named(new forms::Image(Frame2), "Image3");
    forms::place(Image3, 4920, 840, 495, 375);

    const QPixmap loudspeaker = QPixmap::fromImage(sounds::loudspeakerPicture());
    for (forms::Image* image : {Image1, Image2, Image3}) image->setPicture(loudspeaker);
}

void Form1::createVolumeFrame() {
    Frame3 = named(new forms::Frame(QStringLiteral("Volume Control"), this), "Frame3");
    forms::place(Frame3, 240, 4080, 3375, 1335);
    forms::setTabIndex(Frame3, 12);

    lblVolume = named(new forms::Label(QStringLiteral("0 %"), Frame3), "lblVolume", kVolumePoints);
    forms::place(lblVolume, 2280, 240, 975, 495);
    forms::setTabIndex(lblVolume, 16);

    lblMin = named(new forms::Label(QStringLiteral("Min"), Frame3), "lblMin");
    forms::place(lblMin, 240, 960, 375, 255);
    forms::setTabIndex(lblMin, 15);

    lblMax = named(new forms::Label(QStringLiteral("Max"), Frame3), "lblMax");
    forms::place(lblMax, 1560, 960, 495, 255);
    forms::setTabIndex(lblMax, 14);

    sldMain = named(new Knob(Frame3), "sldMain");
    sldMain->setAccessibleName(QStringLiteral("Volume"));
    forms::place(sldMain, 600, 240, 855, 975);
    forms::setTabIndex(sldMain, 13);

    chkVolMute = named(new forms::CheckBox(QStringLiteral("Mute"), Frame3), "chkVolMute");
    chkVolMute->setForeColor(QApplication::palette().color(QPalette::WindowText));
    forms::place(chkVolMute, 2280, 960, 735, 255);
    forms::setTabIndex(chkVolMute, 17);
}

void Form1::createButtons() {
    Command2 = named(new forms::CommandButton(QStringLiteral("Stop"), this), "Command2",
                     kLargerPoints);
    forms::place(Command2, 4080, 4080, 1935, 375);
    forms::setTabIndex(Command2, 0);

    cmdAbout = named(new forms::CommandButton(QStringLiteral("About"), this), "cmdAbout",
                     kLargerPoints);
    forms::place(cmdAbout, 4080, 4560, 1935, 375);
    forms::setTabIndex(cmdAbout, 11);

    Command6 = named(new forms::CommandButton(QStringLiteral("Exit"), this), "Command6",
                     kLargerPoints);
    forms::place(Command6, 4080, 5040, 1935, 375);
    forms::setTabIndex(Command6, 1);
}

void Form1::connectHandlers() {
    using forms::connectHandler;
    connectHandler(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connectHandler(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connectHandler(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connectHandler(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connectHandler(cmdAbout, &QPushButton::clicked, this, &Form1::cmdAbout_Click);
    connectHandler(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connectHandler(sldMain, &Knob::Changed, this, &Form1::sldMain_Changed);
    connectHandler(chkVolMute, &forms::CheckBox::clickEvent, this, &Form1::chkVolMute_Click);
    connectHandler(&platform::mixerDevice(), &platform::MixerDevice::controlsChanged, this,
                   &Form1::Mixer_ControlsChanged);
    // The server that was there at start answers only after the first paint has read nothing:
    // it is met as the first paint meets it. A server that comes later is a change made
    // elsewhere and is only shown.
    connect(&platform::mixerDevice(), &platform::MixerDevice::answeredAtStart, this,
            qOverload<>(&QWidget::update));
}

void Form1::Command1_Click() { playClip(102, kPlayLooped); }

void Form1::Command4_Click() { playClip(103, kPlayLooped); }

void Form1::Command3_Click() { playClip(101, kPlayOnce); }

void Form1::Command2_Click() { playClip(104, kPlayOnce); }

void Form1::cmdAbout_Click() {
    stopAllSound();
    frmAbout::showAbout();
}

void Form1::Command6_Click() { close(); }


void Form1::paintEvent(QPaintEvent*) {
    forms::runEventHandler([this] { Form_Paint(); });
}

clsVolume& Form1::volume() {
    if (!volume_) volume_ = std::make_unique<clsVolume>();
    return *volume_;
}

// Brings knob and box into line with the mixer. The knob's Changed handler runs inside SetVal
// and writes the level back as a whole percent; the box's click handler runs only when its
// value changes. Only what a read answered is written back, and never a level above the
// knob's top (a desktop's boost over 100%): the knob then shows its top and the level stays.
void Form1::Form_Paint() {
    clsVolume& mixer = volume();
    const std::int32_t level = mixer.VolumeLevel();
    const std::int32_t top = mixer.VolumeMax();
    {
        const QScopedValueRollback<bool> following(
            followingMixer_, followingMixer_ || !mixer.LastCallAnswered() || level > top);
        sldMain->SetVal(forms::roundToInt32(double(std::min(level, top)) / kLevelsPerPercent));
    }
    const bool muted = mixer.VolumeMute();
    const QScopedValueRollback<bool> following(followingMixer_,
                                               followingMixer_ || !mixer.LastCallAnswered());
    chkVolMute->setValue(muted ? 1 : 0);
}

void Form1::sldMain_Changed() {
    clsVolume& mixer = volume();
    const std::int32_t percent = sldMain->KnobValue();
    const std::int32_t level = forms::checkedMul(percent, kLevelsPerPercent);
    if (!followingMixer_) mixer.VolumeLevel(level);
    lblVolume->setText(QString::number(percent) + '%');
}

void Form1::chkVolMute_Click() {
    const int value = chkVolMute->value();
    clsVolume& mixer = volume();
    if (!followingMixer_) mixer.VolumeMute(value == 1);
}

// Shows a change made elsewhere (media keys, the desktop's own slider, a new default device, a
// server that came after the start or came back) as a paint would, but writes nothing back:
// two volume controls must never answer each other.
void Form1::Mixer_ControlsChanged() {
    const QScopedValueRollback<bool> following(followingMixer_, true);
    Form_Paint();
}

void Form1::queryUnload() {
    stopAllSound();
    platform::CallRouting::instance().shutdown(kUnloadBound);
    forms::processExit().ExitProcess(0);
}
