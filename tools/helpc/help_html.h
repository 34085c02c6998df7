// A help document as one HTML page: the title, a list of the topics, then
// every topic with its paragraphs; links jump within the page. Well-formed
// XML as well as HTML, so that a plain XML parser can check it.
#ifndef LUMIRUN_TOOLS_HELPC_HELP_HTML_H
#define LUMIRUN_TOOLS_HELPC_HELP_HTML_H

#include <string>

#include "help_source.h"

std::string build_help_html(const help_document& document);

#endif
