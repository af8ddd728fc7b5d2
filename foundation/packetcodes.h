#pragma once

#include <QString>

// The bus's packet codes, their keys and the mode names, for every sender
// and handler. Tests spell them out instead, so that a misspelt constant
// shows.

namespace PacketKey {
inline const QString Code = QStringLiteral("Code");
inline const QString Name = QStringLiteral("Name");   // SetToolBar: a mode
inline const QString Text = QStringLiteral("Text");   // SetSourceCode
inline const QString LineNo = QStringLiteral("LineNo"); // CodeError
inline const QString ErrorMsg = QStringLiteral("ErrorMsg");
inline const QString ErrorText = QStringLiteral("ErrorText");
inline const QString Msg = QStringLiteral("Msg");     // Message
} // namespace PacketKey

namespace PacketCode {
inline const QString Initialize = QStringLiteral("Initialize");
inline const QString Finalize = QStringLiteral("Finalize");
inline const QString ClearErrorMessage = QStringLiteral("ClearErrorMessage");
inline const QString CloseModules = QStringLiteral("CloseModules");
inline const QString SetToolBar = QStringLiteral("SetToolBar");
inline const QString SetSourceCode = QStringLiteral("SetSourceCode");
inline const QString CodeError = QStringLiteral("CodeError");
inline const QString Message = QStringLiteral("Message");
} // namespace PacketCode

// The two modes "SetToolBar" switches between.
namespace ToolBarMode {
inline const QString Main = QStringLiteral("Main");
inline const QString Module = QStringLiteral("Module");
} // namespace ToolBarMode
