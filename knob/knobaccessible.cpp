#include "knobaccessible.h"

#include <QAccessibleWidget>

#include "forms/fatalerror.h"
#include "knob.h"

namespace {

class KnobAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit KnobAccessible(Knob* knob) : QAccessibleWidget(knob, QAccessible::Dial) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return QString::number(knob()->KnobValue());
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return knob()->KnobValue(); }
    // An assistive tool's request is an event of its own: an error that SetVal raises takes
    // the fatal error path, as in every other handler.
    void setCurrentValue(const QVariant& value) override {
        forms::runEventHandler([&] { knob()->SetVal(value.toInt()); });
    }
    QVariant maximumValue() const override { return knob()->maximumValue(); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    Knob* knob() const { return static_cast<Knob*>(widget()); }
};

QAccessibleInterface* knobFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("Knob") && object && object->isWidgetType())
        return new KnobAccessible(static_cast<Knob*>(object));
    return nullptr;
}

}  // namespace

void installKnobAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(knobFactory);
        return true;
    }();
    (void)installed;
}
