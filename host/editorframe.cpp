#include "editorframe.h"

// Stand-in until the editor frame exists.
TfrEditor *GEditorFrame = nullptr;

QString EditorSourceText()
{
    return QString();
}
