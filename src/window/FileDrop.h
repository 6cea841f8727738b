#pragma once

class DocumentWindowController;
class QDragEnterEvent;
class QDropEvent;

// The drop rules of the window's drop targets (the sidebar sections, the slides pane): one
// slides PDF or one media file goes to the note's controller; other drops are refused.
namespace file_drop {

// Accepts a drag that offers a copy of files; false leaves the drag to the target's base class.
bool dragEntered(QDragEnterEvent &event);

// Takes the drop to controller (null: none) or refuses it, telling the user when the number of
// files is wrong. False when the drop holds no files or could make an image: then the target's
// base class handles it.
bool dropped(QDropEvent &event, DocumentWindowController *controller);

} // namespace file_drop
