#include "help_html.h"

namespace {

std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string runs_html(const help_paragraph& paragraph)
{
    std::string out;
    for (const help_run& run : paragraph.runs) {
        if (run.target.empty())
            out += escaped(run.text);
        else
            out += "<a href=\"#" + run.target + "\">" + escaped(run.text) + "</a>";
    }
    return out;
}

}  // namespace

std::string build_help_html(const help_document& document)
{
    std::string out =
        "<!DOCTYPE html>\n"
        "<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\" />\n<title>" + escaped(document.title) +
        "</title>\n</head>\n<body>\n<h1>" + escaped(document.title) + "</h1>\n";
    if (!document.copyright.empty())
        out += "<p>" + escaped(document.copyright) + "</p>\n";
    out += "<ul>\n";
    for (const help_topic& topic : document.topics)
        out += "<li><a href=\"#" + topic.name + "\">" + escaped(topic.title) + "</a></li>\n";
    out += "</ul>\n";

    for (const help_topic& topic : document.topics) {
        out += "<section id=\"" + topic.name + "\">\n<h2>" + escaped(topic.title) + "</h2>\n";
        paragraph_kind open = paragraph_kind::text;  // a list or code block being written
        for (const help_paragraph& paragraph : topic.paragraphs) {
            if (open != paragraph.kind) {
                if (open == paragraph_kind::item)
                    out += "</ul>\n";
                if (open == paragraph_kind::code)
                    out += "</pre>\n";
                if (paragraph.kind == paragraph_kind::item)
                    out += "<ul>\n";
                if (paragraph.kind == paragraph_kind::code)
                    out += "<pre>";
                open = paragraph.kind;
            }
            switch (paragraph.kind) {
            case paragraph_kind::text: out += "<p>" + runs_html(paragraph) + "</p>\n"; break;
            case paragraph_kind::heading: out += "<h3>" + runs_html(paragraph) + "</h3>\n"; break;
            case paragraph_kind::item: out += "<li>" + runs_html(paragraph) + "</li>\n"; break;
            case paragraph_kind::code: out += runs_html(paragraph) + "\n"; break;
            }
        }
        if (open == paragraph_kind::item)
            out += "</ul>\n";
        if (open == paragraph_kind::code)
            out += "</pre>\n";
        if (!topic.keywords.empty()) {
            out += "<p>Index:";
            for (std::size_t k = 0; k < topic.keywords.size(); ++k)
                out += (k ? "; " : " ") + escaped(topic.keywords[k]);
            out += "</p>\n";
        }
        out += "</section>\n";
    }
    out += "</body>\n</html>\n";
    return out;
}
