#pragma once

#include <QString>

#include <memory>

#include "forms/form.h"

namespace forms {
class CheckBox;
class CommandButton;
class Frame;
class Image;
class Label;
class TextBox;
}  // namespace forms

class CallsMenu;
class Knob;
class clsVolume;

// The main window: the excuse sounds as buttons grouped by situation, "Stop", "About" and
// "Exit", the volume panel, the introduction at the top and the disclaimer at the bottom.
// Every paint brings the volume panel into line with the master volume and mute, and so does
// a change made elsewhere. A context menu on the window's background and on the controls
// without a menu of their own turns the program's sounds into calls on and off. Closing the window, from whatever source, stops the sound and ends
// the process.

class Form1 : public forms::Form {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The context menu's "Play into calls", for a command from another launch of the program.
    void setPlayIntoCalls(bool on);

    static QString introduction();
    static QString disclaimer();

    forms::Frame* Frame1;
    forms::Frame* Frame2;
    forms::Frame* Frame3;
    forms::Label* Label6;
    forms::Label* Label1;
    forms::Label* Label2;
    forms::CommandButton* Command1;
    forms::CommandButton* Command4;
    forms::CommandButton* Command3;
    forms::CommandButton* Command2;
    forms::CommandButton* cmdAbout;
    forms::CommandButton* Command6;
    forms::Image* Image1;
    forms::Image* Image2;
    forms::Image* Image3;
    forms::Label* lblVolume;
    forms::Label* lblMin;
    forms::Label* lblMax;
    Knob* sldMain;
    forms::CheckBox* chkVolMute;
    forms::TextBox* txtDisclaimer;

protected:
    void queryUnload() override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void createSoundFrames();
    void createVolumeFrame();
    void createButtons();
    void createTexts();
    void connectHandlers();
    void describeForAssistiveTechnology();

    void Command1_Click();
    void Command4_Click();
    void Command3_Click();
    void Command2_Click();
    void cmdAbout_Click();
    void Command6_Click();

    void Form_Paint();
    void sldMain_Changed();
    void chkVolMute_Click();
    void Mixer_ControlsChanged();
    clsVolume& volume();

    // The volume object, made by whichever panel handler needs it first.
    std::unique_ptr<clsVolume> volume_;
    // True while the panel shows what it must not write back: a change made elsewhere, a read
    // that nothing answered, a level above the knob's top.
    bool followingMixer_ = false;
    CallsMenu* callsMenu_;
};
