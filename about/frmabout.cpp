#include "frmabout.h"

#include <QFrame>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

#include "forms/commandbutton.h"
#include "forms/eventlabel.h"
#include "forms/fatalerror.h"
#include "forms/fonts.h"
#include "forms/image.h"
#include "forms/label.h"
#include "forms/line.h"
#include "forms/panel.h"
#include "launch.h"
#include "mopenurl.h"
#include "pictures.h"
#include "session/shell.h"
#include "sounds/pictures.h"
#include "sounds/versioninfo.h"

const QString frmAbout::kEmailAddress = QStringLiteral("quorvane@example.org");
const QString frmAbout::kWebAddress = QStringLiteral("http://www.example.org/quorvane");
const QString frmAbout::kMirrorAddress = QStringLiteral("http://mirror.example.net/quorvane");
const QString frmAbout::kInstantMessenger = QStringLiteral("000000000");
const QString frmAbout::kMobile = QStringLiteral("+00 000 0000000");
const QString frmAbout::kCopyright = QStringLiteral("Copyright (c) 2008 Quorvane developers");
const QString frmAbout::kAuthor = QStringLiteral("Quorvane developers");
const QString frmAbout::kPlace = QStringLiteral("Anytown, Nowhereland");

namespace {

const QColor kNavy(0, 0, 128);
const QColor kBlack(0, 0, 0);
const QColor kGrey(128, 128, 128);
const QColor kWhite(255, 255, 255);
constexpr int kBlinkMs = 500;

QPointer<frmAbout>& instance() {
    static QPointer<frmAbout> loaded;
    return loaded;
}

QFont tahoma() { return forms::tahoma(8.25); }
QFont defaultFont() { return forms::msSansSerif(8.25); }

template <typename Control>
Control* named(Control* control, const char* name, const QFont& font) {
    control->setObjectName(QString::fromLatin1(name));
    control->setFont(font);
    return control;
}

// Labels paint their background in the window's colour, as the layout was drawn.
template <typename LabelKind = forms::Label>
LabelKind* label(QWidget* parent, const char* name, const QString& text, const QFont& font,
                 int left, int top, int width, int height) {
    auto* control = named(new LabelKind(text, parent), name, font);
    control->setAutoFillBackground(true);
    forms::place(control, left, top, width, height);
    return control;
}

// The field labels' texts run a few pixels past their boxes in this face; narrowing the gap
// of blanks by a few pixels keeps every character inside, the text itself unchanged.
void fitByNarrowerBlanks(forms::Label* field) {
    QFont font = field->font();
    for (int spacing = -1; spacing >= -4; --spacing) {
        if (QFontMetrics(font).horizontalAdvance(field->text()) <= field->width()) break;
        font.setWordSpacing(spacing);
    }
    field->setFont(font);
}

forms::Line* line(QWidget* parent, const char* name, int x1, int x2, int y, const QColor& color) {
    auto* separator = new forms::Line(parent);
    separator->setObjectName(QString::fromLatin1(name));
    separator->setEnds(x1, y, x2, y);
    separator->setBorderColor(color);
    return separator;
}

}  // namespace

frmAbout* frmAbout::Load() {
    if (!instance()) instance() = new frmAbout;
    return instance();
}

frmAbout* frmAbout::loaded() { return instance(); }

void frmAbout::showAbout() {
    frmAbout* window = Load();
    const bool bringForward = window->isVisible();
    window->show();
    if (!bringForward) return;
    window->raise();
    window->activateWindow();
}

// A fixed dialog frame without minimise or maximise box, kept out of the task bar.
frmAbout::frmAbout() {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setCaption(QStringLiteral("About This Software ..."));
    setClientSizeTwips(5070, 5265);
    setFont(forms::tahoma(8.25, true));
    setMouseTracking(true);
    setAccessibleRole(QAccessible::Dialog);

    createPictures();
    createContactLines();
    createPanel();
    createSeparatorsAndButton();
    makeLinksReachable();
    connectHandlers();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kBlinkMs);
    forms::connectHandler(Timer1, &QTimer::timeout, this, &frmAbout::Timer1_Timer);
    Timer1->start();
}

void frmAbout::createPictures() {
    lpAppImage = new forms::Image(this);
    lpAppImage->setObjectName(QStringLiteral("lpAppImage"));
    lpAppImage->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    lpAppImage->setPicture(QPixmap::fromImage(about::sideBanner()));
    forms::place(lpAppImage, 0, 240, 1215, 3075);

    lbAppVersion[1] = label(this, "lbAppVersion_1", QString(), tahoma(), 1440, 120, 1005, 195);
    lbAppVersion[1]->setAutoSize(true);

    lbAppTitle = label(this, "lbAppTitle", QStringLiteral("Quorvane"), forms::tahoma(9, true),
                       1320, 360, 1785, 210);
    lbAppTitle->setForeColor(kNavy);
    lbAppTitle->setAutoSize(true);

    const QString version = QStringLiteral("Version ") + QLatin1String(sounds::kProgramVersion);
    // The blinking line keeps one name, so that a screen reader is not told of each blink.
    Label6 = label(this, "Label6", QString(), defaultFont(), 1320, 720, 1215, 255);
    Label6->setAccessibleName(version);

    lbAppVersion[0] = label(this, "lbAppVersion_0", version, tahoma(), 2760, 720, 960, 195);
    lbAppVersion[0]->setAutoSize(true);
    lbAppVersion[0]->setVisible(false);

    imgIcon = new forms::Image(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setPicture(QPixmap::fromImage(sounds::programIconImage()));
    forms::place(imgIcon, 4320, 720, 480, 480);
}

void frmAbout::createContactLines() {
    Label7 = label(this, "Label7", QStringLiteral("Email    :"), tahoma(), 1320, 1080, 615, 255);
    Label1 = label<forms::EventLabel>(this, "Label1", kEmailAddress, tahoma(), 1920, 1080, 1815, 255);
    Label1->setCursor(about::envelopeCursor());

    Label2 = label(this, "Label2", QStringLiteral("URL      :"), tahoma(), 1320, 1320, 615, 255);
    Label5 = label<forms::EventLabel>(this, "Label5", kWebAddress, tahoma(), 1920, 1320, 2775, 255);
    Label5->setForeColor(kBlack);
    const QCursor hand = about::pointingHandCursor();
    Label5->setCursor(hand);

    Label8 = label(this, "Label8", QStringLiteral("Mirror   :"), tahoma(), 1320, 1560, 615, 255);
    Label9 = label<forms::EventLabel>(this, "Label9", kMirrorAddress, tahoma(), 1920, 1560, 3135, 255);
    Label9->setForeColor(kBlack);
    Label9->setCursor(hand);

    Label3 = label(this, "Label3", QStringLiteral("ICQ      :") + kInstantMessenger, tahoma(),
                   1320, 1920, 1695, 255);
    Label4 = label(this, "Label4", QStringLiteral("Mobile  :") + kMobile, tahoma(), 1320, 2160,
                   2895, 255);
    for (forms::Label* field : {Label7, Label2, Label8}) fitByNarrowerBlanks(field);
}

// The links come after the layout's own keyboard stops, so Tab reaches them too.
void frmAbout::makeLinksReachable() {
    int index = forms::tabIndex(cmdExit);
    for (forms::EventLabel* link : {Label1, Label5, Label9}) {
        link->makeLink();
        forms::setTabIndex(link, ++index);
    }
}

// The panel's labels are placed from the top left corner of its client area, inside the
// sunken border.
void frmAbout::createPanel() {
    Picture1 = named(new forms::Panel(this), "Picture1", tahoma());
    Picture1->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    Picture1->setFocusPolicy(Qt::StrongFocus);
    forms::place(Picture1, 1320, 2520, 3615, 975);
    forms::setTabIndex(Picture1, 0);
    Picture1->setAccessibleName(QStringList{kCopyright, kAuthor, kPlace}.join(QStringLiteral(", ")));

    const QPoint client = Picture1->contentsRect().topLeft();
    lbAppCopyright = label(Picture1, "lbAppCopyright", kCopyright, defaultFont(), 120, 120, 3285, 195);
    lbAInfo = label(Picture1, "lbAInfo", kAuthor, tahoma(), 120, 360, 2640, 195);
    Label10 = label(Picture1, "Label10", kPlace, tahoma(), 120, 600, 1260, 195);
    for (forms::Label* inside : {lbAppCopyright, lbAInfo, Label10}) {
        inside->move(inside->pos() + client);
        inside->setAutoSize(true);
    }

    Label11 = label(this, "Label11", QStringLiteral("30 March 2008"), tahoma(), 1320, 3600, 2175, 255);
}

// The two Line1 elements share a row; the grey one, made last, lies on top.
void frmAbout::createSeparatorsAndButton() {
    Line1[1] = line(this, "Line1_1", -240, 5160, 4080, kWhite);
    Line1[0] = line(this, "Line1_0", 0, 5265, 4080, kGrey);

    cmdExit = named(new forms::CommandButton(QStringLiteral("&Ok"), this), "cmdExit", tahoma());
    forms::place(cmdExit, 1920, 4320, 1275, 495);
    forms::setTabIndex(cmdExit, 1);
    // The window opens with the focus on "&Ok", the first stop that says what it is.
    cmdExit->setFocus();

    Line2 = line(this, "Line2", -360, 5160, 5040, kWhite);
}

void frmAbout::connectHandlers() {
    connect(Label1, &forms::EventLabel::mouseMoved, this, [this] { highlightLink(Label1); });
    connect(Label5, &forms::EventLabel::mouseMoved, this, [this] { highlightLink(Label5); });
    connect(Label9, &forms::EventLabel::mouseMoved, this, [this] { highlightLink(Label9); });
    using forms::connectHandler;
    connectHandler(Label1, &forms::EventLabel::clicked, this, &frmAbout::Label1_Click);
    connectHandler(Label5, &forms::EventLabel::clicked, this, &frmAbout::Label5_Click);
    connectHandler(Label9, &forms::EventLabel::clicked, this, &frmAbout::Label9_Click);
    connectHandler(cmdExit, &QPushButton::clicked, this, &frmAbout::cmdExit_Click);
}

void frmAbout::highlightLink(forms::EventLabel* current) {
    for (forms::EventLabel* link : {Label1, Label5, Label9})
        link->setForeColor(link == current ? kNavy : kBlack);
}

// Only the window's bare background reports here: the other controls keep their pointer
// moves to themselves.
void frmAbout::mouseMoveEvent(QMouseEvent*) { Form_MouseMove(); }

void frmAbout::Form_MouseMove() { highlightLink(nullptr); }

// Escape closes the window as its close box does; "&Ok" itself is not pressed.
void frmAbout::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else
        forms::Form::keyPressEvent(event);
}

void frmAbout::Label1_Click() {
    const QString mail = QStringLiteral("mailto:") + kEmailAddress;
    session::ShellExecuteA(std::uintptr_t(winId()), nullptr, mail.toLocal8Bit().constData(),
                           nullptr, "/", session::SW_SHOWNORMAL, about::launchAnnouncer());
}

void frmAbout::Label5_Click() { mOpenURL::OpenWebAddress(kWebAddress); }

void frmAbout::Label9_Click() { mOpenURL::OpenWebAddress(kMirrorAddress); }

void frmAbout::Timer1_Timer() {
    Label6->setCaption(lbAppVersion[blinkIndex_]->text());
    blinkIndex_ = qint16((blinkIndex_ + 1) % 2);
}

void frmAbout::cmdExit_Click() { close(); }

// Unloading: the window is destroyed with its timer, and the next Load() makes a fresh one.
void frmAbout::queryUnload() {
    Timer1->stop();
    if (instance() == this) instance() = nullptr;
}
