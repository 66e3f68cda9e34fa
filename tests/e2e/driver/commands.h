// Every command of the driver: it reads its arguments and fills in the reply.
#pragma once
#include "protocol.h"

namespace driver {

using CommandFunction = void (*)(Args& args, Reply& reply);

// Windows (window_commands.cpp).
void CmdWindows(Args& args, Reply& reply);
void CmdFind(Args& args, Reply& reply);
void CmdGone(Args& args, Reply& reply);
void CmdChildren(Args& args, Reply& reply);
void CmdState(Args& args, Reply& reply);
void CmdGetText(Args& args, Reply& reply);
void CmdSetText(Args& args, Reply& reply);
void CmdFocus(Args& args, Reply& reply);
void CmdForeground(Args& args, Reply& reply);
void CmdActivate(Args& args, Reply& reply);
void CmdPlace(Args& args, Reply& reply);

// Messages (message_commands.cpp).
void CmdCommand(Args& args, Reply& reply);
void CmdClose(Args& args, Reply& reply);
void CmdSend(Args& args, Reply& reply);
void CmdPost(Args& args, Reply& reply);
void CmdSync(Args& args, Reply& reply);
void CmdClick(Args& args, Reply& reply);
void CmdMenu(Args& args, Reply& reply);

// Keyboard and mouse (input_commands.cpp).
void CmdKey(Args& args, Reply& reply);
void CmdType(Args& args, Reply& reply);
void CmdMouse(Args& args, Reply& reply);

// List views, combo boxes, status bars (control_commands.cpp).
void CmdRows(Args& args, Reply& reply);
void CmdColumns(Args& args, Reply& reply);
void CmdRowRect(Args& args, Reply& reply);
void CmdCount(Args& args, Reply& reply);
void CmdSelected(Args& args, Reply& reply);
void CmdSelect(Args& args, Reply& reply);
void CmdCombo(Args& args, Reply& reply);
void CmdComboItems(Args& args, Reply& reply);
void CmdChoose(Args& args, Reply& reply);
void CmdStatus(Args& args, Reply& reply);

// Message boxes and the file-open dialog (dialog_commands.cpp).
void CmdMsgBox(Args& args, Reply& reply);
void CmdPress(Args& args, Reply& reply);
void CmdOpenFile(Args& args, Reply& reply);

// Processes (process_commands.cpp).
void CmdStart(Args& args, Reply& reply);
void CmdWait(Args& args, Reply& reply);
void CmdExitCode(Args& args, Reply& reply);
void CmdKill(Args& args, Reply& reply);

}  // namespace driver
