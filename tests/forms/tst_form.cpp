#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "forms/application.h"
#include "forms/commandbutton.h"
#include "forms/form.h"
#include "forms/frame.h"
#include "forms/label.h"

namespace {

class RecordingForm : public forms::Form {
public:
    int closeRequests = 0;

protected:
    void queryUnload() override { ++closeRequests; }
};

}  // namespace

class TestForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { forms::initApplication(); }

    void fixedClientSizeAndBorder() {
        RecordingForm form;
        form.setClientSizeTwips(6345, 6645);
        QCOMPARE(form.size(), QSize(423, 443));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        const Qt::WindowFlags flags = form.windowFlags();
        QVERIFY(flags & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
    }

    void centredWhenFirstShownOnly() {
        RecordingForm form;
        form.setClientSizeTwips(3000, 1500);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint centre = form.screen()->availableGeometry().center();
        QVERIFY((form.frameGeometry().center() - centre).manhattanLength() <= 2);

        form.hide();
        form.move(10, 20);
        form.show();
        QCOMPARE(form.pos(), QPoint(10, 20));
    }

    void childrenPlacedInTwipsFromTheirContainer() {
        RecordingForm form;
        auto* frame = new forms::Frame("Frame", &form);
        forms::place(frame, 240, 840, 5895, 1575);
        auto* button = new forms::CommandButton("Button", frame);
        forms::place(button, 240, 600, 4455, 375);
        QCOMPARE(frame->geometry(), QRect(16, 56, 393, 105));
        QCOMPARE(button->geometry(), QRect(16, 40, 297, 25));
        QCOMPARE(button->mapTo(&form, QPoint(0, 0)), QPoint(32, 96));
    }

    // Labels and frames carry indices but are skipped; the lowest focusable index starts.
    void tabOrderFollowsIndicesAndFocusStartsAtTheLowest() {
        RecordingForm form;
        auto* frame = new forms::Frame("Frame", &form);
        auto* inFrame = new forms::CommandButton("In frame", frame);
        auto* second = new forms::CommandButton("Second", &form);
        auto* label = new forms::Label("Label", &form);
        auto* first = new forms::CommandButton("First", &form);
        forms::setTabIndex(frame, 0);
        forms::setTabIndex(label, 1);
        forms::setTabIndex(first, 2);
        forms::setTabIndex(inFrame, 4);
        forms::setTabIndex(second, 3);
        form.setClientSizeTwips(3000, 3000);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));

        QCOMPARE(form.tabOrder(), (QList<QWidget*>{first, second, inFrame}));
        QCOMPARE(QApplication::focusWidget(), first);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), second);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), inFrame);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), first);
    }

    void closeRequestReachesTheHandler() {
        RecordingForm form;
        form.show();
        QVERIFY(form.close());
        QCOMPARE(form.closeRequests, 1);
    }
};

QTEST_MAIN(TestForm)
#include "tst_form.moc"
