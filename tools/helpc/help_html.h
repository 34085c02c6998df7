// A help document as one HTML page: the title, the contents topic (the
// list of topics, as in the help engine), then every other topic with its
// paragraphs and a link back to the contents; links jump within the page.
// A small embedded style sheet (sans-serif, about 70 characters a line, a
// viewport for phones); the index keywords go into the head, not the text.
// Well-formed XML as well as HTML, so that a plain XML parser can check it.
#ifndef LUMIRUN_TOOLS_HELPC_HELP_HTML_H
#define LUMIRUN_TOOLS_HELPC_HELP_HTML_H

#include <string>

#include "help_source.h"

std::string build_help_html(const help_document& document);

#endif
