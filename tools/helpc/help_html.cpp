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

// Small and plain: a sans-serif face, lines of about 70 characters, room on
// a phone's narrow screen, command lines that scroll rather than overflow.
const char style_sheet[] =
    "body { font-family: sans-serif; line-height: 1.5; max-width: 36em; margin: 0 auto; "
    "padding: 0 1em 2em; }\n"
    "h1, h2, h3 { line-height: 1.2; }\n"
    "h2 { margin-top: 2em; padding-bottom: 0.2em; border-bottom: 1px solid #ccc; }\n"
    "pre { overflow-x: auto; padding: 0.5em; background: #f4f4f4; }\n"
    "p.contents-link { font-size: 0.9em; }\n";

std::string section_html(const help_topic& topic, const std::string& contents)
{
    std::string out = "<section id=\"" + topic.name + "\">\n<h2>" + escaped(topic.title) + "</h2>\n";
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
    if (topic.name != contents)
        out += "<p class=\"contents-link\"><a href=\"#" + contents + "\">Contents</a></p>\n";
    return out + "</section>\n";
}

}  // namespace

std::string build_help_html(const help_document& document)
{
    // The index's keywords help a search engine, not the reader: they stay
    // in the head.
    std::string keywords;
    for (const help_topic& topic : document.topics)
        for (const std::string& keyword : topic.keywords)
            keywords += (keywords.empty() ? "" : ", ") + escaped(keyword);
    std::string out =
        "<!DOCTYPE html>\n"
        "<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\" />\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\" />\n";
    if (!keywords.empty())
        out += "<meta name=\"keywords\" content=\"" + keywords + "\" />\n";
    out += "<title>" + escaped(document.title) + "</title>\n<style>\n" + style_sheet + "</style>\n";
    out += "</head>\n<body>\n<h1>" + escaped(document.title) + "</h1>\n";
    if (!document.copyright.empty())
        out += "<p>" + escaped(document.copyright) + "</p>\n";
    // The contents topic opens the page: it is the list of topics, as it is
    // the help engine's first page.
    for (const help_topic& topic : document.topics)
        if (topic.name == document.contents)
            out += section_html(topic, document.contents);
    for (const help_topic& topic : document.topics)
        if (topic.name != document.contents)
            out += section_html(topic, document.contents);
    out += "</body>\n</html>\n";
    return out;
}
