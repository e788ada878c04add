#pragma once

#include "corvane_export.h"

#include <QString>

namespace corvane {

// A text widget keeps line breaks as "\n"; a text set from outside (a file, a stored body)
// writes them as it likes. These carry the outside form through the widget.

// The first line end of a text ("\r\n", "\n" or "\r"); "\r\n", the convention of the system's
// text files, when the text has none.
CORVANE_EXPORT QString lineEndOf(QStringView text);

// The text with every "\n" written as `lineEnd`.
CORVANE_EXPORT QString withLineEnds(QString text, QStringView lineEnd);

} // namespace corvane
