#pragma once

#include <QAccessible>
#include <QWidget>

class QCloseEvent;
class QShowEvent;

namespace forms {

// A top-level window laid out in twips: a caption, a fixed single border with a minimise box
// and no maximise box, a fixed client size, centred on its screen when first shown. Child
// controls take part in the keyboard order through setTabIndex(); the first shown control
// with the lowest index gets the focus. A close request from any source goes to
// queryUnload(), which may end the process before the request returns. Each time the desktop
// exposes the window (first show, uncovered, restored) its surface is painted anew, so its
// paint handler runs once, rather than the toolkit's saved picture being shown again.
class Form : public QWidget {
    Q_OBJECT

public:
    explicit Form(QWidget* parent = nullptr);

    void setCaption(const QString& caption) { setWindowTitle(caption); }
    void setClientSizeTwips(int width, int height);

    void setVisible(bool visible) override;

    // Chains the focusable children with a tab index in index order.
    void applyTabOrder();
    QList<QWidget*> tabOrder() const;

    QAccessible::Role accessibleRole() const { return accessibleRole_; }
    void setAccessibleRole(QAccessible::Role role) { accessibleRole_ = role; }

protected:
    virtual void queryUnload() {}
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void centreOnScreen();
    void repaintAfterExpose();

    QAccessible::Role accessibleRole_ = QAccessible::Window;
    bool shown_ = false;
    bool centred_ = false;
    int paints_ = 0;
    bool exposeCheckPending_ = false;
};

// Places a control in its container's client area, in twips from the container's top left.
void place(QWidget* control, int left, int top, int width, int height);

// The control's position in the keyboard order of its window. Controls that never take the
// focus (labels, frames) may carry an index too; they are skipped.
void setTabIndex(QWidget* control, int index);
int tabIndex(const QWidget* control);

}  // namespace forms
