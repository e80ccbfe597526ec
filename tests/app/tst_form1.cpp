#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>

#include "app/form1.h"
#include "app/module1.h"
#include "forms/application.h"
#include "forms/commandbutton.h"
#include "forms/fonts.h"
#include "forms/frame.h"
#include "forms/image.h"
#include "forms/label.h"
#include "forms/textbox.h"
#include "memorymixerdevice.h"
#include "sounds/cliptable.h"
#include "sounds/pictures.h"

namespace {

// One platform call as the window made it.
struct Call {
    QString entry;
    int clip = 0;
    const void* module = nullptr;
    quint32 flags = 0;
    bool operator==(const Call&) const = default;
};

QList<Call> calls;

class RecordedModule1 : public Module1 {
public:
    bool PlaySoundA(int clip, const platform::ResourceModule* module, std::uint32_t flags) override {
        calls.append({"PlaySoundA", clip, module, flags});
        return true;
    }
    bool sndPlaySoundA(const char* name, std::uint32_t flags) override {
        calls.append({"sndPlaySoundA", 0, name, flags});
        return true;
    }
};

class RecordedExit : public forms::ProcessExit {
public:
    void ExitProcess(int code) override { calls.append({"ExitProcess", code, nullptr, 0}); }
};

const Call kStop{"sndPlaySoundA", 0, nullptr, 0x0001};
const Call kExit{"ExitProcess", 0, nullptr, 0};

Call play(int clip, quint32 flags) {
    return {"PlaySoundA", clip, &sounds::programModule(), flags};
}

QWidget* control(QWidget* form, const QString& name) {
    return form->findChild<QWidget*>(name);
}

// The text a control shows, whatever its kind.
QString shownText(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) return frame->title();
    return {};
}

}  // namespace

class TestForm1 : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        forms::initApplication();
    }

    void init() {
        calls.clear();
        form_ = std::make_unique<Form1>();
        form_->show();
        QApplication::setActiveWindow(form_.get());
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    }

    void cleanup() { form_.reset(); }

    void captionSizeAndBorder() {
        QCOMPARE(form_->windowTitle(), QString("Quorvane  (version 1.1.0)"));
        QCOMPARE(form_->size(), QSize(423, 443));
        QCOMPARE(form_->minimumSize(), form_->maximumSize());
        QVERIFY(form_->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(form_->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(form_->objectName(), QString("Form1"));
    }

    void controls_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("points");

        const auto row = [](const char* name, const char* kind, const char* in, QRect twips,
                            const QString& text, double points = 8.25) {
            const QRect pixels(twips.x() / 15, twips.y() / 15, twips.width() / 15,
                               twips.height() / 15);
            QTest::newRow(name) << QString(kind) << QString(in) << pixels << text << points;
        };
        row("Label6", "QLabel", "Form1", {360, 0, 5655, 735}, Form1::introduction(), 9.75);
        row("Frame1", "QGroupBox", "Form1", {240, 840, 5895, 1575}, "Make a call ");
        row("Label1", "QLabel", "Frame1", {240, 240, 5295, 375},
            "Make a phone-call  to tell your boss you will be late to work . ", 9.75);
        row("Command1", "QPushButton", "Frame1", {240, 600, 4455, 375},
            "Car tire was punctured  in the buzy road");
        row("Image1", "QLabel", "Frame1", {4920, 600, 495, 375}, "");
        row("Command4", "QPushButton", "Frame1", {240, 1080, 4455, 375},
            "Dogs sitting outside my door");
        row("Image2", "QLabel", "Frame1", {4920, 1080, 495, 375}, "");
        row("Frame2", "QGroupBox", "Form1", {240, 2520, 5895, 1455}, "Receive a call");
        row("Label2", "QLabel", "Frame2", {240, 360, 5295, 615},
            "Do not want to listen a phone-call  from your boss .You can know the caller if "
            "you have a Caller ID installed .",
            9.75);
        row("Command3", "QPushButton", "Frame2", {240, 960, 4455, 375}, " Answering Machine");
        row("Image3", "QLabel", "Frame2", {4920, 840, 495, 375}, "");
        row("Frame3", "QGroupBox", "Form1", {240, 4080, 3375, 1335}, "Volume Control");
        // The layout's "0 %" gives way to the mixer's percent at the first paint.
        row("lblVolume", "QLabel", "Frame3", {2280, 240, 975, 495}, "0%", 13.5);
        row("lblMin", "QLabel", "Frame3", {240, 960, 375, 255}, "Min");
        row("lblMax", "QLabel", "Frame3", {1560, 960, 495, 255}, "Max");
        row("sldMain", "Knob", "Frame3", {600, 240, 855, 975}, "");
        row("chkVolMute", "QCheckBox", "Frame3", {2280, 960, 735, 255}, "Mute");
        row("Command2", "QPushButton", "Form1", {4080, 4080, 1935, 375}, "Stop", 9.75);
        row("cmdAbout", "QPushButton", "Form1", {4080, 4560, 1935, 375}, "About", 9.75);
        row("Command6", "QPushButton", "Form1", {4080, 5040, 1935, 375}, "Exit", 9.75);
        row("txtDisclaimer", "QPlainTextEdit", "Form1", {240, 5640, 5895, 855}, "");
    }

    void controls() {
        QFETCH(QString, kind);
        QFETCH(QString, container);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(double, points);
        QWidget* widget = control(form_.get(), QTest::currentDataTag());
        QVERIFY(widget);
        QVERIFY2(widget->inherits(qPrintable(kind)), widget->metaObject()->className());
        QCOMPARE(widget->parentWidget()->objectName(), container);
        QCOMPARE(widget->geometry(), geometry);
        QCOMPARE(shownText(widget), text);
        QCOMPARE(widget->font(), forms::msSansSerif(points));
        QVERIFY(widget->isVisible());
    }

    void disclaimerHasItsShape() {
        const QString text = form_->txtDisclaimer->text();
        QCOMPARE(text, Form1::disclaimer());
        QCOMPARE(text.size(), 219);
        const QStringList lines = text.split("\r\n");
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[3].isEmpty());
        QVERIFY(lines[0].endsWith(' ') && lines[1].endsWith(' '));
        QVERIFY(!lines[2].endsWith(' ') && !lines[2].isEmpty());
        for (const QString& line : lines) QVERIFY(!line.contains('\r') && !line.contains('\n'));
        QVERIFY(text.contains("fun"));
        QVERIFY(form_->txtDisclaimer->isReadOnly());
        QCOMPARE(form_->txtDisclaimer->palette().color(QPalette::Base),
                 QApplication::palette().color(QPalette::Button));
    }

    void iconAndLoudspeakers() {
        QCOMPARE(form_->windowIcon().pixmap(32).toImage().convertToFormat(QImage::Format_ARGB32),
                 sounds::programIconImage().convertToFormat(QImage::Format_ARGB32));
        const QImage loudspeaker = sounds::loudspeakerPicture().convertToFormat(QImage::Format_ARGB32);
        for (forms::Image* image : {form_->Image1, form_->Image2, form_->Image3}) {
            QCOMPARE(image->pixmap().toImage().convertToFormat(QImage::Format_ARGB32), loudspeaker);
            QVERIFY(image->hasScaledContents());
        }
        // Each picture stands right of its button; the one in the second frame sits 8 px higher.
        QCOMPARE(form_->Image1->y(), form_->Command1->y());
        QCOMPARE(form_->Image2->y(), form_->Command4->y());
        QCOMPARE(form_->Image3->y(), form_->Command3->y() - 8);
    }

    // A screen reader finds a frame, the frames' explanations, the loudspeakers by name, and
    // the context menu in the window's tree, opened from the keyboard on its check item.
    void assistiveTechnologySeesTheWindowAndTheMenu() {
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(form_.get());
        QCOMPARE(window->role(), QAccessible::Window);
        QCOMPARE(window->text(QAccessible::Name), form_->windowTitle());
        QCOMPARE(QAccessible::queryAccessibleInterface(form_->Frame1)->text(QAccessible::Description),
                 form_->Label1->text());
        QCOMPARE(QAccessible::queryAccessibleInterface(form_->Frame2)->text(QAccessible::Description),
                 form_->Label2->text());
        for (forms::Image* image : {form_->Image1, form_->Image2, form_->Image3})
            QCOMPARE(QAccessible::queryAccessibleInterface(image)->text(QAccessible::Name), QString("Loudspeaker"));

        auto* menu = form_->findChild<QMenu*>();
        QAction* item = menu->actions().value(0);
        const int ownChildren = window->childCount();
        QAccessibleInterface* seen = nullptr;
        QAccessible::State unchecked, checked;
        QTimer::singleShot(0, menu, [&] {
            QAccessibleInterface* popup = window->child(ownChildren);
            seen = popup && popup->object() == menu && window->indexOfChild(popup) == ownChildren
                       ? popup->child(0) : nullptr;
            if (seen) {
                unchecked = seen->state();
                const QSignalBlocker quiet(item);
                item->setChecked(true);
                checked = seen->state();
                item->setChecked(false);
            }
            menu->close();
        });
        QContextMenuEvent keyboard(QContextMenuEvent::Keyboard, QPoint(10, 10), form_->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(form_->Command2, &keyboard);
        QVERIFY(seen);
        QCOMPARE(seen->role(), QAccessible::CheckBox);
        QCOMPARE(seen->text(QAccessible::Name), QString("Play into calls"));
        QVERIFY(seen->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        QVERIFY(unchecked.focused && unchecked.checkable && !unchecked.checked);
        QVERIFY(checked.checked);
        QCOMPARE(window->childCount(), ownChildren);
    }

    void tabOrderStartsOnStop() {
        QStringList expected{"Command2", "Command6", "Command4", "Command1",
                             "Command3", "txtDisclaimer", "cmdAbout"};
        if (control(form_.get(), "sldMain")) expected << "sldMain";
        expected << "chkVolMute" << "Command2";
        QCOMPARE(QApplication::focusWidget()->objectName(), expected.first());
        QStringList visited{QApplication::focusWidget()->objectName()};
        for (qsizetype i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, expected);
    }

    void spaceAtStartPlaysTheClicks() {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(calls, (QList<Call>{play(104, 0x00040005)}));
    }

    void noDefaultOrCancelButton() {
        form_->txtDisclaimer->setFocus();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(form_->txtDisclaimer, key);
        for (auto* button : form_->findChildren<QPushButton*>())
            QVERIFY2(!button->isDefault() && !button->autoDefault(), qPrintable(button->objectName()));
        QVERIFY(calls.isEmpty());
        QVERIFY(form_->isVisible());
    }

    void buttonsCallThePlayer_data() {
        QTest::addColumn<QList<Call>>("expected");
        QTest::newRow("Command1") << QList<Call>{play(102, 0x0004000D)};
        QTest::newRow("Command4") << QList<Call>{play(103, 0x0004000D)};
        QTest::newRow("Command3") << QList<Call>{play(101, 0x00040005)};
        QTest::newRow("Command2") << QList<Call>{play(104, 0x00040005)};
        QTest::newRow("cmdAbout") << QList<Call>{kStop};
        QTest::newRow("Command6") << QList<Call>{kStop, kExit};
    }

    void buttonsCallThePlayer() {
        QFETCH(QList<Call>, expected);
        auto* button = qobject_cast<QPushButton*>(control(form_.get(), QTest::currentDataTag()));
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(calls, expected);
    }

    void closeRequestStopsAndEnds() {
        QVERIFY(form_->close());
        QCOMPARE(calls, (QList<Call>{kStop, kExit}));
    }

    // Every text fits inside its control's contents with the fonts in use.
    void noTextClipped() {
        for (QWidget* widget : form_->findChildren<QWidget*>()) {
            const QString text = shownText(widget);
            if (text.isEmpty()) continue;
            const QFontMetrics metrics(widget->font());
            const QRect room = widget->contentsRect();
            QRect needed;
            if (qobject_cast<QLabel*>(widget)) {
                needed = metrics.boundingRect(room, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
            } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
                const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin);
                needed = QRect(0, 0, metrics.horizontalAdvance(text) + margin, metrics.height());
            } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
                const int indicator = box->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                                      box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
                needed = QRect(0, 0, indicator + metrics.horizontalAdvance(text), metrics.height());
            } else if (qobject_cast<QGroupBox*>(widget)) {
                needed = QRect(0, 0, metrics.horizontalAdvance(text) + 16, metrics.height());
            }
            QVERIFY2(needed.width() <= room.width() && needed.height() <= room.height(),
                     qPrintable(QString("%1 needs %2x%3, has %4x%5")
                                    .arg(widget->objectName())
                                    .arg(needed.width())
                                    .arg(needed.height())
                                    .arg(room.width())
                                    .arg(room.height())));
        }
        QCOMPARE(form_->txtDisclaimer->verticalScrollBar()->maximum(), 0);
    }

    // The dogs button's caption is as tall on the screen as its font says, at every device
    // pixel ratio (this test runs at ratio 1 and 2).
    void captionIsDrawnAtTheScreensScale() {
        forms::CommandButton* button = form_->Command4;
        const QImage picture = button->grab().toImage();
        const qreal ratio = picture.devicePixelRatio();
        const int edge = qCeil(4 * ratio);
        int top = picture.height();
        int bottom = -1;
        for (int y = edge; y < picture.height() - edge; ++y)
            for (int x = edge; x < picture.width() - edge; ++x)
                if (qGray(picture.pixel(x, y)) < 100) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        const int ink = bottom - top + 1;
        const int expected = QFontMetrics(button->font()).tightBoundingRect(button->text()).height();
        QVERIFY2(qAbs(ink - expected * ratio) <= ratio,
                 qPrintable(QString("ink %1 device px, font %2 px at ratio %3").arg(ink).arg(expected).arg(ratio)));
    }

private:
    testsupport::MemoryMixerDevice noMixer_;
    RecordedModule1 module1_;
    const base::Replacement<Module1> recordPlayer_{module1, module1_};
    RecordedExit exit_;
    const base::Replacement<forms::ProcessExit> recordExit_{forms::processExit, exit_};
    std::unique_ptr<Form1> form_;
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
