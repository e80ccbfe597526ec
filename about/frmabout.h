#pragma once

#include <QString>

#include <array>

#include "forms/form.h"

class QTimer;

namespace forms {
class CommandButton;
class EventLabel;
class Image;
class Label;
class Line;
class Panel;
}  // namespace forms

// The information window: the product name, a blinking version line, the icon and the side
// banner, the author's contact lines with an e-mail, a web and a mirror link, a panel with
// the copyright, author and place lines, the release date and "&Ok". There is one window at a
// time; "&Ok", Escape and the title bar's close box unload it, and the next Load() makes a
// fresh one. Keyboard and screen-reader users reach the links after the layout's own stops.
class frmAbout : public forms::Form {
    Q_OBJECT

public:
    // The author's contact data; each link opens what its label shows.
    static const QString kEmailAddress;
    static const QString kWebAddress;
    static const QString kMirrorAddress;
    static const QString kInstantMessenger;
    static const QString kMobile;
    static const QString kCopyright;
    static const QString kAuthor;
    static const QString kPlace;

    // The loaded window, created from its layout when none is loaded.
    static frmAbout* Load();
    // The loaded window, or null.
    static frmAbout* loaded();
    // Loads the window when needed and shows it modeless, brought to the front.
    static void showAbout();

    // Which of the two version texts the next blink shows: 0 or 1.
    qint16 blinkIndex() const { return blinkIndex_; }

    forms::Image* lpAppImage;
    std::array<forms::Label*, 2> lbAppVersion;
    forms::Label* lbAppTitle;
    forms::Label* Label6;
    forms::Image* imgIcon;
    forms::Label* Label7;
    forms::EventLabel* Label1;
    forms::Label* Label2;
    forms::EventLabel* Label5;
    forms::Label* Label8;
    forms::EventLabel* Label9;
    forms::Label* Label3;
    forms::Label* Label4;
    forms::Panel* Picture1;
    forms::Label* lbAppCopyright;
    forms::Label* lbAInfo;
    forms::Label* Label10;
    forms::Label* Label11;
    std::array<forms::Line*, 2> Line1;
    forms::CommandButton* cmdExit;
    forms::Line* Line2;
    QTimer* Timer1;

    // The blink step: the version line shows the next of the two texts.
    void Timer1_Timer();

protected:
    void queryUnload() override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    frmAbout();

    void createPictures();
    void createContactLines();
    void createPanel();
    void createSeparatorsAndButton();
    void makeLinksReachable();
    void connectHandlers();

    // Navy for the link under the pointer, black for the others; null turns all black.
    void highlightLink(forms::EventLabel* current);

    void Form_MouseMove();
    void Label1_Click();
    void Label5_Click();
    void Label9_Click();
    void cmdExit_Click();

    qint16 blinkIndex_ = 0;
};
