#pragma once

class LumaDocumentController;

// What a start offers back of the program's last end, as desktop document programs do: the
// autosaved copies of untitled notes reopen (edited, so that closing asks to save them), and
// each recording that a crash left unsaved in a note's temporary folder is offered ("Open" makes
// an untitled note of it, "Discard" deletes it). Main thread, at start-up.
namespace crash_recovery {

void offerWhatWasLeft(LumaDocumentController &documents);

} // namespace crash_recovery
