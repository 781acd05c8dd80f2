#pragma once

// Registers the known chat programs with XIPCounter (executable name, display name): the
// classic Windows clients first, then the common Linux desktop clients. Start-up only, before
// any engine thread runs; does nothing when programs are registered already.
void registerChatPrograms();
