#include "FieldTooltip.h"

#include "ShownResult.h"

#include <QHelpEvent>
#include <QPlainTextEdit>
#include <QToolTip>

void FieldTooltip::Show(const ShownResult& shown, QPlainTextEdit& pane, const QHelpEvent& event) {
    // The line nearest to the pointer; below the text that is one of the empty lines after the
    // result, which shows no field.
    const int line = pane.cursorForPosition(event.pos()).blockNumber();
    if (const DecodedField* field = shown.Field_On_Line(line))
        QToolTip::showText(event.globalPos(), shown.Source_Text(*field), pane.viewport());
    else
        QToolTip::hideText();
}
