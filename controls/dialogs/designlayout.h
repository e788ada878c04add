#pragma once

class QWidget;

namespace corvane {

// How a control may leave its designed rectangle when its content needs more room (captions in
// a larger font than designed): a field grows in height about its designed middle line; a
// caption (label, check box) also grows to the right; a control packed closely among others
// (the attribute switches) keeps exactly its designed rectangle.
enum class Fit { Field, Caption, Exact };

// Places a control of a dialog at its designed position, given in twips relative to its parent.
void placeAt(QWidget &widget, int left, int top, int width, int height, Fit fit = Fit::Field);

// Moves a caption up where it would reach into the field placed below it (the designs let them
// touch, and both grow with a larger font).
void keepAbove(QWidget &caption, const QWidget &field);

// Moves a control down where it would reach into the one placed above it.
void keepBelow(QWidget &lower, const QWidget &upper);

// Gives a dialog the designed size of its inner area, in twips.
void sizeTo(QWidget &dialog, int width, int height);

} // namespace corvane
