#include "accessibility.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QMenu>
#include <QPointer>

#include "eventlabel.h"
#include "form.h"
#include "panel.h"

namespace forms {

namespace {

// A top-level window. Qt leaves popup menus out of the application's tree, so the window
// adds the popups it owns while they show: a screen reader then reaches a context menu from
// the window it belongs to, and the menu's own parent is that window already.
class FormAccessible : public QAccessibleWidget {
public:
    explicit FormAccessible(Form* form) : QAccessibleWidget(form) {}

    QAccessible::Role role() const override { return form()->accessibleRole(); }

    int childCount() const override {
        return QAccessibleWidget::childCount() + int(shownPopups().size());
    }

    QAccessibleInterface* child(int index) const override {
        const int own = QAccessibleWidget::childCount();
        if (index < own) return QAccessibleWidget::child(index);
        const QList<QWidget*> popups = shownPopups();
        return index - own < popups.size() ? QAccessible::queryAccessibleInterface(popups[index - own])
                                           : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        const int index = child ? int(shownPopups().indexOf(child->object())) : -1;
        return index >= 0 ? QAccessibleWidget::childCount() + index : QAccessibleWidget::indexOfChild(child);
    }

private:
    Form* form() const { return static_cast<Form*>(widget()); }

    QList<QWidget*> shownPopups() const {
        QList<QWidget*> popups;
        for (QWidget* owned : widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (owned->windowType() == Qt::Popup && owned->isVisible()) popups.append(owned);
        return popups;
    }
};

// A label that is a link: named by the address it shows, pressed as a click would.
class LinkAccessible : public QAccessibleWidget {
public:
    explicit LinkAccessible(EventLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && label()->accessibleName().isEmpty()) return label()->text();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.linked = true;
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == pressAction())
            label()->click();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    EventLabel* label() const { return static_cast<EventLabel*>(widget()); }
};

// A checkable item of a popup menu, presented as a check box. Qt's own menu item does not say
// that it can be checked, and its bridge to AT-SPI has no role for a check menu item, so a
// screen reader would name an unchecked item without its state; a check box's state is
// always spoken.
class CheckMenuItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    CheckMenuItemAccessible(QAction* action, QMenu* menu) : action_(action), menu_(menu) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    bool isValid() const override { return action_ && menu_; }
    QObject* object() const override { return action_; }
    QWindow* window() const override { return menu_ ? menu_->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(menu_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::CheckBox; }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid()) return {};
        return menu_->actionGeometry(action_).translated(menu_->mapToGlobal(QPoint(0, 0)));
    }

    QString text(QAccessible::Text t) const override {
        if (!isValid()) return {};
        if (t == QAccessible::Name) return QString(action_->text()).remove(QLatin1Char('&'));
        if (t == QAccessible::Accelerator) return QKeySequence::mnemonic(action_->text()).toString();
        return {};
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) return state;
        state.invisible = !menu_->isVisible() || !action_->isVisible();
        state.focused = menu_->activeAction() == action_;
        state.disabled = !action_->isEnabled();
        state.checkable = true;
        state.checked = action_->isChecked();
        return state;
    }

    QStringList actionNames() const override {
        return isValid() && action_->isEnabled() ? QStringList{toggleAction()} : QStringList();
    }
    void doAction(const QString& name) override {
        if (isValid() && action_->isEnabled() && name == toggleAction()) action_->trigger();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QAction> action_;
    QPointer<QMenu> menu_;
};

QMenu* menuOf(QAction* action) {
    for (QObject* user : action->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(user)) return menu;
    return nullptr;
}

QAccessibleInterface* formsFactory(const QString& className, QObject* object) {
    if (!object) return nullptr;
    if (className == QLatin1String("QAction")) {
        auto* action = static_cast<QAction*>(object);
        QMenu* menu = action->isCheckable() ? menuOf(action) : nullptr;
        return menu ? new CheckMenuItemAccessible(action, menu) : nullptr;
    }
    if (!object->isWidgetType()) return nullptr;
    if (className == QLatin1String("forms::Form")) return new FormAccessible(static_cast<Form*>(object));
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("forms::Panel")) return new QAccessibleWidget(widget, QAccessible::Pane);
    if (className == QLatin1String("forms::EventLabel")) {
        auto* label = static_cast<EventLabel*>(object);
        if (label->isLink()) return new LinkAccessible(label);
    }
    return nullptr;
}

}  // namespace

void installAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(formsFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace forms
