// A window on the test display, where X11 sends real exposes: its paint handler runs once per
// expose, and not for a change of the active window.
#include <QApplication>
#include <QTest>

#include "forms/application.h"
#include "forms/form.h"

namespace {

class CountingForm : public forms::Form {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

void showAndWait(QWidget& window) {
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300);
}

}  // namespace

class TestFormExpose : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) QSKIP("needs the test display (scripts/test)");
    }

    void paintHandlerRunsOncePerExpose() {
        // A desktop theme whose inactive colours differ from the active ones.
        QPalette themed = QApplication::palette();
        themed.setColor(QPalette::Inactive, QPalette::Window, Qt::darkGray);
        QApplication::setPalette(themed);
        forms::initApplication();

        CountingForm form;
        form.setClientSizeTwips(3000, 3000);
        showAndWait(form);
        QCOMPARE(form.paints, 1);

        QWidget other;
        other.setGeometry(form.frameGeometry().translated(form.frameGeometry().width() + 20, 0));
        showAndWait(other);
        other.activateWindow();
        QTRY_VERIFY(other.isActiveWindow());
        form.activateWindow();
        QTRY_VERIFY(form.isActiveWindow());
        QTest::qWait(300);
        QCOMPARE(form.paints, 1);

        QWidget cover;
        cover.setWindowFlags(Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint);
        cover.setGeometry(form.frameGeometry());
        showAndWait(cover);
        cover.hide();
        QTRY_COMPARE(form.paints, 2);
        QTest::qWait(300);
        QCOMPARE(form.paints, 2);
    }
};

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    TestFormExpose test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_formexpose.moc"
