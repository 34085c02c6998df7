// A help document as a Windows help file (.hlp, WinHelp 3.1 layout, no
// compression), as the help engine reads it: the file header and internal
// directory, |SYSTEM, |TOPIC, |FONT, |CONTEXT and the keyword index
// |KWBTREE, |KWDATA and |KWMAP.
#ifndef LUMIRUN_TOOLS_HELPC_WINHELP_FILE_H
#define LUMIRUN_TOOLS_HELPC_WINHELP_FILE_H

#include <cstdint>
#include <string>

#include "help_source.h"

// Where a topic sits: its TOPICOFFSET (what |CONTEXT, |KWDATA and |SYSTEM
// hold: topic block * 0x8000 + text bytes before it in that block).
std::uint32_t topic_offset_in_file(const help_document& document, std::size_t topic);

// The whole file, for a document parse_help_source accepted. The same
// document gives the same bytes (no date is stored).
std::string build_winhelp_file(const help_document& document);

#endif
