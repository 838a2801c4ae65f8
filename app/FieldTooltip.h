#pragma once

class QHelpEvent;
class QPlainTextEdit;
class ShownResult;

// Over a field's line in a pane that shows a result, the bytes its value came from; over other
// lines nothing. The main window's pane and the packet log's detail pane show the same tooltips.
class FieldTooltip {
  public:
    static void Show(const ShownResult& shown, QPlainTextEdit& pane, const QHelpEvent& event);
};
