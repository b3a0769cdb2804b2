#pragma once

class QLabel;

namespace Vacuola {

/**
 * The removal counter, a label showing a number, is read by assistive technologies
 * as a value: its name stays the hint, its value is the number shown. Serves the
 * label named "DelCounter"; one made before it had its name is made anew.
 */
void installCounterAccess(QLabel &counter);

/** Tells assistive technologies that the counter now shows another number. */
void counterChanged(QLabel &counter);

} // namespace Vacuola
