// lumirun-helpc SOURCE HLP-FILE HTML-FILE: compiles the help source into the
// Windows help file and the HTML page. A broken source writes neither and
// names the line: "lumirun-helpc: SOURCE:LINE: message". Exit 0 ok, 1 a
// fault in the source or in writing, 2 a wrong command line.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "help_html.h"
#include "help_source.h"
#include "output_file.h"
#include "winhelp_file.h"

namespace {

int fail(const std::string& message)
{
    std::cerr << "lumirun-helpc: " << message << "\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "lumirun-helpc: usage: lumirun-helpc SOURCE HLP-FILE HTML-FILE\n";
        return 2;
    }
    const std::string source_path = argv[1];
    std::ifstream in(source_path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in)
        return fail("cannot read " + source_path);

    help_parse parsed = parse_help_source(text.str());
    if (!parsed.ok)
        return fail(source_path + ":" + std::to_string(parsed.line) + ": " + parsed.message);

    std::string message = write_file_whole(argv[2], build_winhelp_file(parsed.document));
    if (message.empty())
        message = write_file_whole(argv[3], build_help_html(parsed.document));
    if (!message.empty())
        return fail(message);
    return 0;
}
