#include "form.h"

#include <QCloseEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>

#include "accessibility.h"
#include "twips.h"

namespace forms {

namespace {
const char* const kTabIndexProperty = "tabIndex";
}

Form::Form(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    installAccessibility();
}

void Form::setClientSizeTwips(int width, int height) {
    setFixedSize(twipsToPixels(width), twipsToPixels(height));
}

void Form::setVisible(bool visible) {
    if (visible && !shown_) {
        shown_ = true;
        applyTabOrder();
        centreOnScreen();
    }
    QWidget::setVisible(visible);
}

// Before the first show the window frame is not known yet; the first show event centres the
// frame once more as the window system reports it.
void Form::centreOnScreen() {
    const QScreen* target = screen();
    if (!target) return;
    QRect frame = frameGeometry();
    frame.moveCenter(target->availableGeometry().center());
    move(frame.topLeft());
}

QList<QWidget*> Form::tabOrder() const {
    QList<QWidget*> order;
    for (QWidget* child : findChildren<QWidget*>())
        if (tabIndex(child) >= 0 && child->focusPolicy() & Qt::TabFocus) order.append(child);
    std::stable_sort(order.begin(), order.end(),
                     [](QWidget* a, QWidget* b) { return tabIndex(a) < tabIndex(b); });
    return order;
}

void Form::applyTabOrder() {
    const QList<QWidget*> order = tabOrder();
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void Form::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (QWindow* window = windowHandle()) {
        window->removeEventFilter(this);
        window->installEventFilter(this);
    }
    if (!centred_) {
        centred_ = true;
        centreOnScreen();
    }
    if (focusWidget()) return;
    const QList<QWidget*> order = tabOrder();
    const auto first = std::find_if(order.begin(), order.end(),
                                    [](QWidget* w) { return w->isEnabled() && w->isVisible(); });
    if (first != order.end()) (*first)->setFocus(Qt::TabFocusReason);
}

bool Form::event(QEvent* event) {
    if (event->type() == QEvent::Paint) ++paints_;
    return QWidget::event(event);
}

bool Form::eventFilter(QObject* watched, QEvent* event) {
    if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed())
        repaintAfterExpose();
    return QWidget::eventFilter(watched, event);
}

// Qt paints an exposed window itself only when its saved picture is out of date, as at the
// first show; otherwise it shows that picture again. The exposes that arrive together (on X11
// the first show brings two) are handled first; then the window is painted anew unless Qt
// painted it meanwhile.
void Form::repaintAfterExpose() {
    if (exposeCheckPending_) return;
    exposeCheckPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this, paintsBefore = paints_] {
            exposeCheckPending_ = false;
            if (paints_ == paintsBefore) update();
        },
        Qt::QueuedConnection);
}

void Form::closeEvent(QCloseEvent* event) {
    queryUnload();
    event->accept();
}

void place(QWidget* control, int left, int top, int width, int height) {
    control->setGeometry(twipsRect(left, top, width, height));
}

void setTabIndex(QWidget* control, int index) { control->setProperty(kTabIndexProperty, index); }

int tabIndex(const QWidget* control) {
    const QVariant index = control->property(kTabIndexProperty);
    return index.isValid() ? index.toInt() : -1;
}

}  // namespace forms
