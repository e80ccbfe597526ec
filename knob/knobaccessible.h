#pragma once

// Gives every Knob an accessible interface: role Dial, its value and range.
void installKnobAccessibility();
