#pragma once
// The program's own embedded files: the translation file and its pictures.

namespace hvn {

// Once-only: registers every embedded file under "./data/" + its file name, so that it
// opens as "Incbin::./data/" + file name. Files not built into this binary are skipped.
// Main thread, before anything opens an embedded file.
void RegisterEmbeddedFiles();

} // namespace hvn
