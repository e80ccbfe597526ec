#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "forms/application.h"
#include "forms/checkbox.h"
#include "forms/commandbutton.h"
#include "forms/image.h"
#include "forms/label.h"
#include "forms/textbox.h"

class TestControls : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { forms::initApplication(); }

    void checkBoxRaisesClickOnlyWhenTheValueChanges() {
        forms::CheckBox box("Mute");
        QSignalSpy clicks(&box, &forms::CheckBox::clickEvent);
        QCOMPARE(box.value(), 0);
        box.setValue(0);
        QCOMPARE(clicks.count(), 0);
        box.setValue(1);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(box.value(), 1);
        box.setValue(1);
        QCOMPARE(clicks.count(), 1);

        box.show();
        QTest::mouseClick(&box, Qt::LeftButton, {}, box.rect().center());
        QCOMPARE(clicks.count(), 2);
        QCOMPARE(box.value(), 0);
    }

    // A click handler that sets the value again (as a write-back does) must not recurse.
    void checkBoxClickHandlerMaySetTheSameValue() {
        forms::CheckBox box("Mute");
        int clicks = 0;
        connect(&box, &forms::CheckBox::clickEvent, [&] {
            ++clicks;
            box.setValue(box.value());
        });
        box.setValue(1);
        QCOMPARE(clicks, 1);
    }

    // Enter clicks the focused button only; Escape clicks none.
    void accessKeyAndEnterClickTheButton() {
        QWidget window;
        auto* button = new forms::CommandButton("&Play", &window);
        auto* other = new forms::CommandButton("Other", &window);
        other->move(0, 40);
        QSignalSpy clicks(button, &QPushButton::clicked);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        other->setFocus();
        QTest::keyClick(other, Qt::Key_P, Qt::AltModifier);
        QTRY_COMPARE(clicks.count(), 1);

        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(other, key);
        button->setFocus();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(button, key);
        QTest::qWait(200);
        QCOMPARE(clicks.count(), 3);
        QVERIFY(window.isVisible());
        QVERIFY(!button->isDefault() && !button->autoDefault());
    }

    void textBoxKeepsItsTextAndShowsEachLineEnd() {
        forms::TextBox box;
        const QString text = "one \r\ntwo \r\nthree\r\n";
        box.setText(text);
        QCOMPARE(box.text(), text);
        QCOMPARE(box.toPlainText(), QString("one \ntwo \nthree"));
        QCOMPARE(box.document()->blockCount(), 3);
    }

    void autoSizeLabelFitsItsText() {
        forms::Label label("0 %");
        label.setAutoSize(true);
        label.setCaption("100%");
        const QSize fitted = label.size();
        QVERIFY(fitted.width() >= label.fontMetrics().horizontalAdvance("100%"));
        label.setCaption("5%");
        QVERIFY(label.width() < fitted.width());
    }

    void imageStretchesItsPicture() {
        forms::Image image;
        QPixmap picture(32, 32);
        picture.fill(Qt::red);
        image.setPicture(picture);
        image.resize(33, 25);
        QVERIFY(image.hasScaledContents());
        QCOMPARE(image.grab().toImage().pixelColor(30, 22), QColor(Qt::red));
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
