#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QFrame>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "about/frmabout.h"
#include "forms/application.h"
#include "forms/commandbutton.h"
#include "forms/eventlabel.h"
#include "forms/fonts.h"
#include "forms/image.h"
#include "forms/line.h"
#include "forms/panel.h"
#include "forms/twips.h"
#include "pictures.h"  // the about folder's own
#include "recordingdesktop.h"
#include "sounds/pictures.h"

namespace {

const QColor kNavy(0, 0, 128);
const QColor kBlack(0, 0, 0);

enum FontKind { kNone, kTahoma, kTahomaTitle, kDefault };

QFont fontOf(FontKind kind) {
    switch (kind) {
    case kTahoma: return forms::tahoma(8.25);
    case kTahomaTitle: return forms::tahoma(9, true);
    case kDefault: return forms::msSansSerif(8.25);
    case kNone: break;
    }
    return {};
}

QColor textColour(const QWidget* control) { return control->palette().color(QPalette::WindowText); }

// Unloads whatever window a test left loaded.
void unloadAll() {
    if (frmAbout* window = frmAbout::loaded()) window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int loadedWindows() {
    int count = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) count += qobject_cast<frmAbout*>(top) ? 1 : 0;
    return count;
}

}  // namespace

class TestFrmAbout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { unloadAll(); }

    void windowIsAFixedModelessToolWindow();
    void layout_data();
    void layout();
    void noTextIsClippedByItsControl();
    void separatorLines();
    void pictures();

    void versionLineBlinksEmptyFirst();
    void timerDrivesTheBlink();

    void linkHighlight_data();
    void linkHighlight();
    void onlyTheWindowAndTheLinksFollowThePointer();

    void keys_data();
    void keys();
    void keyboardAndScreenReaderReachTheLinks();

    void oneWindowAtATime_data();
    void oneWindowAtATime();

    void linksOpenTheirTargets();

private:
    frmAbout* shown();
    void moveTo(frmAbout* window, const QString& control);

    testsupport::RecordingDesktop desktop_;
};

void TestFrmAbout::initTestCase() {
    desktop_.addHandler("browser", "my browser", {"text/html"});
    desktop_.addHandler("mail", "my mail", {"x-scheme-handler/mailto"});
    desktop_.useInThisProcess();
    qputenv("TMPDIR", desktop_.root().toLocal8Bit());
    forms::initApplication();
}

frmAbout* TestFrmAbout::shown() {
    frmAbout::showAbout();
    frmAbout* window = frmAbout::loaded();
    if (window && QTest::qWaitForWindowExposed(window)) window->Timer1->stop();
    return window;
}

// A pointer move as the window system delivers it: to whatever lies under the pointer.
void TestFrmAbout::moveTo(frmAbout* window, const QString& control) {
    QPoint at(2, 2);  // the bare background in the top left corner, beside the banner
    if (control == "Line2") {
        at = window->Line2->geometry().center();
    } else if (!control.isEmpty()) {
        auto* target = window->findChild<QWidget*>(control);
        QVERIFY2(target, qPrintable(control));
        at = target->mapTo(window, target->rect().center());
    }
    QTest::mouseMove(window->windowHandle(), at);
    QCoreApplication::processEvents();
}

void TestFrmAbout::windowIsAFixedModelessToolWindow() {
    frmAbout* window = shown();
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QString("About This Software ..."));
    QCOMPARE(window->windowType(), Qt::Tool);
    QVERIFY(!(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(window->windowFlags() & Qt::WindowCloseButtonHint);
    QCOMPARE(window->size(), QSize(338, 351));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QCOMPARE(window->parentWidget(), nullptr);
    QCOMPARE(window->windowModality(), Qt::NonModal);
    QCOMPARE(window->font().pixelSize(), forms::tahoma(8.25, true).pixelSize());
    QVERIFY(window->font().bold());
    const QRect screen = window->screen()->availableGeometry();
    QVERIFY(qAbs(window->frameGeometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(window->frameGeometry().center().y() - screen.center().y()) <= 1);
}

void TestFrmAbout::layout_data() {
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("twips");  // an empty size: auto-sized, only the corner binds
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("font");
    QTest::addColumn<QColor>("colour");  // invalid: the default text colour
    const auto row = [](const char* name, const char* container, QRect twips, const QString& text,
                        FontKind font, QColor colour = {}) {
        QTest::newRow(name) << QString(container) << twips << text << int(font) << colour;
    };
    row("lpAppImage", "frmAbout", {0, 240, 1215, 3075}, "", kNone);
    row("lbAppVersion_1", "frmAbout", {1440, 120, 0, 0}, "", kTahoma);
    row("lbAppTitle", "frmAbout", {1320, 360, 0, 0}, "Quorvane", kTahomaTitle, kNavy);
    row("Label6", "frmAbout", {1320, 720, 1215, 255}, "", kDefault);
    row("lbAppVersion_0", "frmAbout", {2760, 720, 0, 0}, "Version 1.1.0", kTahoma);
    row("imgIcon", "frmAbout", {4320, 720, 480, 480}, "", kNone);
    row("Label7", "frmAbout", {1320, 1080, 615, 255}, "Email    :", kTahoma);
    row("Label1", "frmAbout", {1920, 1080, 1815, 255}, "quorvane@example.org", kTahoma);
    row("Label2", "frmAbout", {1320, 1320, 615, 255}, "URL      :", kTahoma);
    row("Label5", "frmAbout", {1920, 1320, 2775, 255}, "http://www.example.org/quorvane", kTahoma, kBlack);
    row("Label8", "frmAbout", {1320, 1560, 615, 255}, "Mirror   :", kTahoma);
    row("Label9", "frmAbout", {1920, 1560, 3135, 255}, "http://mirror.example.net/quorvane", kTahoma, kBlack);
    row("Label3", "frmAbout", {1320, 1920, 1695, 255}, "ICQ      :000000000", kTahoma);
    row("Label4", "frmAbout", {1320, 2160, 2895, 255}, "Mobile  :+00 000 0000000", kTahoma);
    row("Picture1", "frmAbout", {1320, 2520, 3615, 975}, "", kTahoma);
    row("lbAppCopyright", "Picture1", {120, 120, 0, 0}, "Copyright (c) 2008 Quorvane developers", kDefault);
    row("lbAInfo", "Picture1", {120, 360, 0, 0}, "Quorvane developers", kTahoma);
    row("Label10", "Picture1", {120, 600, 0, 0}, "Anytown, Nowhereland", kTahoma);
    row("Label11", "frmAbout", {1320, 3600, 2175, 255}, "30 March 2008", kTahoma);
    row("cmdExit", "frmAbout", {1920, 4320, 1275, 495}, "&Ok", kTahoma);
}

void TestFrmAbout::layout() {
    QFETCH(QString, container);
    QFETCH(QRect, twips);
    QFETCH(QString, text);
    QFETCH(int, font);
    QFETCH(QColor, colour);
    frmAbout* window = frmAbout::Load();
    auto* control = window->findChild<QWidget*>(QTest::currentDataTag());
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), container);

    // Inside the panel, places count from its client area, within its border.
    const QPoint origin = container == "Picture1" ? window->Picture1->contentsRect().topLeft() : QPoint();
    const QRect expected = forms::twipsRect(twips.x(), twips.y(), twips.width(), twips.height());
    QCOMPARE(control->pos(), expected.topLeft() + origin);
    if (!twips.isEmpty()) QCOMPARE(control->size(), expected.size());

    QString shown = control->property("text").toString();
    QCOMPARE(shown, text);
    if (font != kNone) {
        const QFont wanted = fontOf(FontKind(font));
        QCOMPARE(control->font().family(), wanted.family());
        QCOMPARE(control->font().pixelSize(), wanted.pixelSize());
        QCOMPARE(control->font().bold(), wanted.bold());
    }
    if (!colour.isValid()) colour = QApplication::palette(control).color(QPalette::WindowText);
    QCOMPARE(textColour(control), colour);
}

void TestFrmAbout::noTextIsClippedByItsControl() {
    frmAbout* window = frmAbout::Load();
    window->Label6->setText("Version 1.1.0");
    for (forms::Label* label : window->findChildren<forms::Label*>()) {
        if (label->text().isEmpty()) continue;
        const int needed = QFontMetrics(label->font()).horizontalAdvance(label->text());
        QVERIFY2(needed <= label->contentsRect().width(),
                 qPrintable(QString("%1 needs %2 px, has %3").arg(label->objectName()).arg(needed).arg(label->width())));
        QVERIFY2(QFontMetrics(label->font()).height() <= label->height(), qPrintable(label->objectName()));
        QVERIFY(label->geometry().right() < label->parentWidget()->contentsRect().right() + 1);
    }
}

void TestFrmAbout::separatorLines() {
    frmAbout* window = frmAbout::Load();
    struct Expected {
        forms::Line* line;
        QPoint from, to;  // twips
        QColor colour;
    };
    const Expected lines[] = {
        {window->Line1[1], {-240, 4080}, {5160, 4080}, Qt::white},
        {window->Line1[0], {0, 4080}, {5265, 4080}, QColor(128, 128, 128)},
        {window->Line2, {-360, 5040}, {5160, 5040}, Qt::white},
    };
    for (const Expected& expected : lines) {
        QCOMPARE(expected.line->ends(), QLine(forms::twipsPoint(expected.from.x(), expected.from.y()),
                                             forms::twipsPoint(expected.to.x(), expected.to.y())));
        QCOMPARE(expected.line->height(), 1);
        QCOMPARE(expected.line->borderColor(), expected.colour);
    }
    // On the shared row the grey element shows.
    const QImage picture = window->grab().toImage();
    QCOMPARE(picture.pixelColor(100, forms::twipsToPixels(4080)), QColor(128, 128, 128));
    QCOMPARE(picture.pixelColor(100, forms::twipsToPixels(5040)), QColor(Qt::white));
}

void TestFrmAbout::pictures() {
    frmAbout* window = frmAbout::Load();
    const QImage banner = about::sideBanner();
    QCOMPARE(banner.size(), QSize(77, 201));
    QCOMPARE(banner.depth(), 24);
    QCOMPARE(window->lpAppImage->contentsRect().size(), QSize(77, 201));
    QCOMPARE(window->imgIcon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
             sounds::programIconImage().convertToFormat(QImage::Format_ARGB32));

    for (QWidget* web : {static_cast<QWidget*>(window->Label5), static_cast<QWidget*>(window->Label9)}) {
        QCOMPARE(web->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(web->cursor().hotSpot(), QPoint(12, 1));
        QCOMPARE(web->cursor().pixmap().size(), QSize(32, 32));
    }
    const QImage hand = about::pointingHandImage();
    QCOMPARE(hand.pixelColor(12, 1), QColor(Qt::black));  // the fingertip's outline
    QCOMPARE(hand.pixelColor(12, 0).alpha(), 0);
    QCOMPARE(window->Label1->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(window->Label1->cursor().pixmap().size(), QSize(32, 32));
    QCOMPARE(about::envelopeIcon().availableSizes(), (QList<QSize>{{32, 32}, {16, 16}}));
}

void TestFrmAbout::versionLineBlinksEmptyFirst() {
    frmAbout* window = shown();
    QCOMPARE(window->Timer1->interval(), 500);
    QCOMPARE(window->Label6->text(), QString());
    QVERIFY(!window->lbAppVersion[0]->isVisible());
    QVERIFY(window->lbAppVersion[1]->isVisible());
    const QString expected[] = {"Version 1.1.0", "", "Version 1.1.0", ""};
    for (const QString& text : expected) {
        window->Timer1_Timer();
        QCOMPARE(window->Label6->text(), text);
    }
    QCOMPARE(window->Label6->font().family(), forms::msSansSerif(8.25).family());
}

void TestFrmAbout::timerDrivesTheBlink() {
    frmAbout::showAbout();
    frmAbout* window = frmAbout::loaded();
    QVERIFY(window->Timer1->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(window->Label6->text(), QString("Version 1.1.0"), 2000);
    QTRY_COMPARE_WITH_TIMEOUT(window->Label6->text(), QString(), 2000);
}

void TestFrmAbout::linkHighlight_data() {
    QTest::addColumn<QStringList>("moves");
    QTest::addColumn<QList<QColor>>("colours");  // Label1, Label5, Label9
    QTest::newRow("e-mail link") << QStringList{"Label1"} << QList<QColor>{kNavy, kBlack, kBlack};
    QTest::newRow("web link") << QStringList{"Label5"} << QList<QColor>{kBlack, kNavy, kBlack};
    QTest::newRow("mirror link") << QStringList{"Label9"} << QList<QColor>{kBlack, kBlack, kNavy};
    QTest::newRow("web straight to mirror") << QStringList{"Label5", "Label9"} << QList<QColor>{kBlack, kBlack, kNavy};
    QTest::newRow("background clears") << QStringList{"Label5", ""} << QList<QColor>{kBlack, kBlack, kBlack};
    QTest::newRow("a line is background") << QStringList{"Label1", "Line2"} << QList<QColor>{kBlack, kBlack, kBlack};
    for (const char* other : {"Label2", "imgIcon", "lpAppImage", "Picture1", "lbAInfo", "cmdExit", "Label11"})
        QTest::newRow(qPrintable(QString("%1 keeps the highlight").arg(other)))
            << QStringList{"Label5", other} << QList<QColor>{kBlack, kNavy, kBlack};
}

void TestFrmAbout::linkHighlight() {
    QFETCH(QStringList, moves);
    QFETCH(QList<QColor>, colours);
    frmAbout* window = shown();
    moveTo(window, "");
    for (const QString& control : moves) moveTo(window, control);
    QCOMPARE(textColour(window->Label1), colours[0]);
    QCOMPARE(textColour(window->Label5), colours[1]);
    QCOMPARE(textColour(window->Label9), colours[2]);
    QVERIFY(!window->Label5->font().underline());
}

void TestFrmAbout::onlyTheWindowAndTheLinksFollowThePointer() {
    frmAbout* window = frmAbout::Load();
    QVERIFY(window->hasMouseTracking());
    const QStringList links{"Label1", "Label5", "Label9"};
    for (QWidget* control : window->findChildren<QWidget*>())
        QVERIFY2(control->hasMouseTracking() == links.contains(control->objectName()),
                 qPrintable(control->objectName()));
}

void TestFrmAbout::keys_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("unloads");
    QTest::newRow("Escape") << "cmdExit" << int(Qt::Key_Escape) << 0 << true;
    QTest::newRow("Escape on the panel") << "Picture1" << int(Qt::Key_Escape) << 0 << true;
    QTest::newRow("Enter elsewhere") << "Picture1" << int(Qt::Key_Return) << 0 << false;
    QTest::newRow("Enter on Ok") << "cmdExit" << int(Qt::Key_Return) << 0 << true;
    QTest::newRow("keypad Enter on Ok") << "cmdExit" << int(Qt::Key_Enter) << 0 << true;
    QTest::newRow("Space on Ok") << "cmdExit" << int(Qt::Key_Space) << 0 << true;
    QTest::newRow("Alt+O elsewhere") << "Picture1" << int(Qt::Key_O) << int(Qt::AltModifier) << true;
}

void TestFrmAbout::keys() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, unloads);
    frmAbout* window = shown();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    QCOMPARE(QApplication::focusWidget(), window->cmdExit);  // the first stop with a name
    if (focus == "Picture1") {
        QTest::keyClick(window->cmdExit, Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), window->Picture1);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    // An access key presses its button after a short visible press.
    QTest::qWait(300);
    QCOMPARE(frmAbout::loaded() == nullptr, unloads);
}

// The links follow the layout's own stops, show a focus mark, open from Enter, Space and an
// assistive tool's press as from a click, and are links named by their addresses; the window
// is a dialog and the blinking line keeps its name.
void TestFrmAbout::keyboardAndScreenReaderReachTheLinks() {
    frmAbout* window = shown();
    QApplication::setActiveWindow(window);
    QVERIFY(QTest::qWaitForWindowActive(window));
    QAccessibleInterface* dialog = QAccessible::queryAccessibleInterface(window);
    QCOMPARE(dialog->role(), QAccessible::Dialog);
    QCOMPARE(dialog->text(QAccessible::Name), QString("About This Software ..."));
    QAccessibleInterface* ok = QAccessible::queryAccessibleInterface(window->cmdExit);
    QCOMPARE(ok->text(QAccessible::Name), QString("Ok"));
    QVERIFY(ok->state().focused);

    const QList<QWidget*> expectedStops{window->Label1, window->Label5, window->Label9,
                                        window->Picture1, window->cmdExit};
    QList<QWidget*> stops;
    for (int tab = 0; tab < expectedStops.size(); ++tab) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        stops << QApplication::focusWidget();
    }
    QCOMPARE(stops, expectedStops);
    QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(window->Picture1);
    QCOMPARE(panel->role(), QAccessible::Pane);
    QVERIFY(panel->text(QAccessible::Name).startsWith(frmAbout::kCopyright));

    for (forms::EventLabel* link : {window->Label1, window->Label5, window->Label9}) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(link);
        QCOMPARE(face->role(), QAccessible::Link);
        QCOMPARE(face->text(QAccessible::Name), link->text());
        QVERIFY(face->state().focusable);
        QVERIFY(face->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    }

    const QImage unmarked = window->Label5->grab().toImage();
    window->Label5->setFocus(Qt::TabFocusReason);
    QVERIFY(window->Label5->grab().toImage() != unmarked);
    QTest::keyClick(window->Label5, Qt::Key_Return);
    QCOMPARE(desktop_.takeRecord("browser").mid(1), QStringList{frmAbout::kWebAddress});
    QTest::keyClick(window->Label5, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(desktop_.takeRecord("browser").mid(1), QStringList{frmAbout::kMirrorAddress});
    QAccessible::queryAccessibleInterface(window->Label1)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    QCOMPARE(desktop_.takeRecord("mail"), (QStringList{"/", "mailto:" + frmAbout::kEmailAddress}));

    QAccessibleInterface* versionLine = QAccessible::queryAccessibleInterface(window->Label6);
    for (int blink = 0; blink < 2; ++blink) {
        window->Timer1_Timer();
        QCOMPARE(versionLine->text(QAccessible::Name), QString("Version 1.1.0"));
    }
    QCOMPARE(window->Label6->text(), QString());
}

void TestFrmAbout::oneWindowAtATime_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Ok") << false;
    QTest::newRow("close box") << true;
}

void TestFrmAbout::oneWindowAtATime() {
    QFETCH(bool, closeBox);
    frmAbout* first = shown();
    first->Timer1_Timer();
    frmAbout::showAbout();
    QCOMPARE(frmAbout::loaded(), first);
    QCOMPARE(frmAbout::Load(), first);
    QCOMPARE(loadedWindows(), 1);
    QCOMPARE(first->blinkIndex(), qint16(1));

    if (closeBox)
        first->close();
    else
        QTest::mouseClick(first->cmdExit, Qt::LeftButton);
    QCOMPARE(frmAbout::loaded(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(loadedWindows(), 0);

    frmAbout* fresh = shown();
    QCOMPARE(loadedWindows(), 1);
    QCOMPARE(fresh->blinkIndex(), qint16(0));
    QCOMPARE(fresh->Label6->text(), QString());
    fresh->Timer1_Timer();
    QCOMPARE(fresh->Label6->text(), QString("Version 1.1.0"));
}

void TestFrmAbout::linksOpenTheirTargets() {
    frmAbout* window = shown();
    QTest::mouseClick(window->Label5, Qt::LeftButton);
    QCOMPARE(desktop_.takeRecord("browser").mid(1), QStringList{frmAbout::kWebAddress});
    QTest::mouseClick(window->Label9, Qt::LeftButton);
    QCOMPARE(desktop_.takeRecord("browser").mid(1), QStringList{frmAbout::kMirrorAddress});
    QTest::mouseClick(window->Label1, Qt::LeftButton);
    QCOMPARE(desktop_.takeRecord("mail"), (QStringList{"/", "mailto:" + frmAbout::kEmailAddress}));
    QVERIFY(testsupport::hasNoChildren());
    QCOMPARE(textColour(window->Label5), kBlack);  // a click changes no colour
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
