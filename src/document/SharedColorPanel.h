#pragma once

class QColorDialog;

// The one colour panel of the program: a non-modal colour dialog whose colour changes go to the
// focused notes text view (which ignores them while the highlighter's picker uses the panel).
// Main thread.
class SharedColorPanel
{
public:
    static QColorDialog *panel();
};
