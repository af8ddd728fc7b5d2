#pragma once

#include "kbhost_export.h"

#include <QString>

class TfrEditor;

// The host's one editor frame; null until the main window has made it.
extern KBHOST_EXPORT TfrEditor *GEditorFrame;

// The editor's whole text: its lines joined with CR LF between them, none
// after the last. Empty while there is no editor.
KBHOST_EXPORT QString EditorSourceText();
