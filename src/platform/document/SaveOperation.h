#pragma once

namespace lq {

// What a save is for; the writer is told which one runs.
enum class SaveOperation {
    Save,              // the document's own file
    SaveAs,            // a new file that becomes the document's file
    SaveTo,            // a copy; the document's file stays as it is
    AutosaveInPlace,   // the document's own file, without being asked
    AutosaveElsewhere, // an untitled document, into the autosave folder
};

// Whether the target becomes (or stays) the document's file once the save is done.
inline bool savesDocumentFile(SaveOperation operation)
{
    return operation == SaveOperation::Save || operation == SaveOperation::SaveAs ||
           operation == SaveOperation::AutosaveInPlace;
}

inline bool isAutosave(SaveOperation operation)
{
    return operation == SaveOperation::AutosaveInPlace ||
           operation == SaveOperation::AutosaveElsewhere;
}

} // namespace lq
