// The plain-text source of the help: a title, a copyright line, the contents
// topic and the topics, each with a name, a title, keywords and paragraphs.
//
//   # a comment                  @title Lumirun Help
//   @copyright ...               @contents start
//   @topic start Getting started
//   @keywords open a picture; observer
//   A paragraph: lines up to a blank line, joined. [[settings]] links to the
//   topic "settings" with its title as text, [[settings|this text]] with
//   other text.
//   == A heading inside the topic
//   * A list item (continues on the next lines up to a blank line)
//     Two spaces start a line of fixed-width text (a command line).
#ifndef LUMIRUN_TOOLS_HELPC_HELP_SOURCE_H
#define LUMIRUN_TOOLS_HELPC_HELP_SOURCE_H

#include <string>
#include <vector>

// Plain text, or a link whose text jumps to the topic named target.
struct help_run {
    std::string text;
    std::string target;
};

enum class paragraph_kind { text, heading, item, code };

struct help_paragraph {
    paragraph_kind kind = paragraph_kind::text;
    std::vector<help_run> runs;
};

struct help_topic {
    std::string name;
    std::string title;
    std::vector<std::string> keywords;
    std::vector<help_paragraph> paragraphs;
};

struct help_document {
    std::string title;
    std::string copyright;
    std::string contents;  // name of the topic the help opens on
    std::vector<help_topic> topics;
};

// Either the document, or the first fault with the line it is on (1-based).
struct help_parse {
    bool ok = false;
    help_document document;
    int line = 0;
    std::string message;
};

// Reads a source. A valid document has a title, a contents topic that
// exists, at least one topic, unique topic names made of letters, digits,
// '.' and '_' (unique also in their help-engine hash), links only to topics
// that exist, each keyword on one topic only, and printable ASCII text.
help_parse parse_help_source(const std::string& text);

// The help engine's hash of a topic name (what links and |CONTEXT hold).
unsigned long topic_hash(const std::string& name);

#endif
