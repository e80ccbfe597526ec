#include "panel.h"

#include "accessibility.h"

namespace forms {

Panel::Panel(QWidget* parent) : QFrame(parent) { installAccessibility(); }

}  // namespace forms
