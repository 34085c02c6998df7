#include "help_source.h"

#include <cctype>
#include <cstdint>
#include <map>
#include <sstream>

namespace {

// A fault in the source: thrown inside the parser only, caught by
// parse_help_source, which turns it into a result.
struct source_fault {
    int line;
    std::string message;
};

// Long enough for any real paragraph; keeps a paragraph's text, counted in
// the help file's 15-bit fields, far below their limits.
const std::size_t longest_paragraph = 4000;
const std::size_t longest_keyword = 200;

std::string trimmed(const std::string& s)
{
    std::size_t begin = s.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return "";
    std::size_t end = s.find_last_not_of(" \t");
    return s.substr(begin, end - begin + 1);
}

bool valid_name(const std::string& name)
{
    if (name.empty())
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_')
            return false;
    return true;
}

std::string lowered(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct pending_link {
    int line;
    std::string target;
};

class parser {
public:
    help_document document;

    void line(int number, const std::string& raw)
    {
        for (char c : raw)
            if (static_cast<unsigned char>(c) < 0x20 ? c != '\t' : static_cast<unsigned char>(c) > 0x7e)
                throw source_fault{number, "only printable ASCII text is allowed"};
        if (!raw.empty() && raw[0] == '#')
            return;
        if (trimmed(raw).empty()) {
            finish_paragraph();
            return;
        }
        if (raw[0] == '@') {
            finish_paragraph();
            directive(number, raw);
            return;
        }
        if (document.topics.empty())
            throw source_fault{number, "text before the first @topic"};
        if (raw.compare(0, 2, "  ") == 0) {
            finish_paragraph();
            add_paragraph(number, paragraph_kind::code, raw.substr(2));
            finish_paragraph();
        } else if (raw.compare(0, 3, "== ") == 0) {
            finish_paragraph();
            add_paragraph(number, paragraph_kind::heading, trimmed(raw.substr(3)));
            finish_paragraph();
        } else if (raw.compare(0, 2, "* ") == 0) {
            finish_paragraph();
            add_paragraph(number, paragraph_kind::item, trimmed(raw.substr(2)));
        } else if (open_) {
            open_text_ += ' ';
            line_starts_.push_back({open_text_.size(), number});
            open_text_ += trimmed(raw);
        } else {
            add_paragraph(number, paragraph_kind::text, trimmed(raw));
        }
    }

    void finish(int last_line)
    {
        finish_paragraph();
        if (document.title.empty())
            throw source_fault{last_line, "no @title"};
        if (document.topics.empty())
            throw source_fault{last_line, "no @topic"};
        if (document.contents.empty())
            throw source_fault{last_line, "no @contents"};
        if (lines_.count(document.contents) == 0)
            throw source_fault{contents_line_, "@contents names no topic: " + document.contents};
        for (const pending_link& link : links_)
            if (lines_.count(link.target) == 0)
                throw source_fault{link.line, "link to a topic that does not exist: " + link.target};
        // A link without its own text shows the target's title.
        for (help_topic& topic : document.topics)
            for (help_paragraph& paragraph : topic.paragraphs)
                for (help_run& run : paragraph.runs)
                    if (!run.target.empty() && run.text.empty())
                        run.text = topic_by_name(run.target).title;
    }

private:
    void directive(int number, const std::string& raw)
    {
        std::size_t space = raw.find_first_of(" \t");
        std::string word = raw.substr(0, space);
        std::string rest = space == std::string::npos ? "" : trimmed(raw.substr(space));
        if (word == "@title") {
            document.title = rest;
        } else if (word == "@copyright") {
            document.copyright = rest;
        } else if (word == "@contents") {
            document.contents = rest;
            contents_line_ = number;
        } else if (word == "@topic") {
            std::size_t split = rest.find_first_of(" \t");
            help_topic topic;
            topic.name = rest.substr(0, split);
            topic.title = split == std::string::npos ? "" : trimmed(rest.substr(split));
            if (!valid_name(topic.name))
                throw source_fault{number, "a topic name is letters, digits, '.' and '_': \"" + topic.name + "\""};
            if (topic.title.empty())
                throw source_fault{number, "topic " + topic.name + " has no title"};
            auto earlier = lines_.find(topic.name);
            if (earlier != lines_.end())
                throw source_fault{number, "duplicate topic name " + topic.name + " (first on line " +
                                               std::to_string(earlier->second) + ")"};
            unsigned long hash = topic_hash(topic.name);
            if (hash == 0)
                throw source_fault{number, "topic name " + topic.name + " hashes to 0, which means the contents topic"};
            auto clash = hashes_.find(hash);
            if (clash != hashes_.end())
                throw source_fault{number, "topic name " + topic.name + " has the same hash as " + clash->second};
            lines_[topic.name] = number;
            hashes_[hash] = topic.name;
            document.topics.push_back(topic);
        } else if (word == "@keywords") {
            if (document.topics.empty())
                throw source_fault{number, "@keywords before the first @topic"};
            std::istringstream list(rest);
            std::string keyword;
            while (std::getline(list, keyword, ';')) {
                keyword = trimmed(keyword);
                if (keyword.empty())
                    continue;
                if (keyword.size() > longest_keyword)
                    throw source_fault{number, "keyword longer than 200 characters"};
                // The help engine's index opens one topic per keyword.
                auto owner = keywords_.find(lowered(keyword));
                if (owner != keywords_.end())
                    throw source_fault{number, "keyword \"" + keyword + "\" already belongs to topic " + owner->second};
                keywords_[lowered(keyword)] = document.topics.back().name;
                document.topics.back().keywords.push_back(keyword);
            }
        } else {
            throw source_fault{number, "unknown directive " + word};
        }
    }

    void add_paragraph(int number, paragraph_kind kind, const std::string& text)
    {
        open_ = true;
        open_kind_ = kind;
        open_text_ = text;
        line_starts_.assign(1, {0, number});
    }

    // The source line a character of the open paragraph came from.
    int line_at(std::size_t position) const
    {
        int line = line_starts_.front().second;
        for (const auto& start : line_starts_)
            if (start.first <= position)
                line = start.second;
        return line;
    }

    // Splits the open paragraph into text and links.
    void finish_paragraph()
    {
        if (!open_)
            return;
        open_ = false;
        if (open_text_.size() > longest_paragraph)
            throw source_fault{line_at(0), "paragraph longer than 4000 characters"};
        help_paragraph paragraph;
        paragraph.kind = open_kind_;
        std::size_t at = 0;
        while (at < open_text_.size()) {
            std::size_t open = open_text_.find("[[", at);
            if (open == std::string::npos) {
                paragraph.runs.push_back({open_text_.substr(at), ""});
                break;
            }
            if (open > at)
                paragraph.runs.push_back({open_text_.substr(at, open - at), ""});
            std::size_t close = open_text_.find("]]", open);
            if (close == std::string::npos)
                throw source_fault{line_at(open), "link without its closing ]]"};
            std::string inside = open_text_.substr(open + 2, close - open - 2);
            std::size_t bar = inside.find('|');
            help_run link{bar == std::string::npos ? "" : trimmed(inside.substr(bar + 1)),
                          trimmed(inside.substr(0, bar))};
            if (link.target.empty())
                throw source_fault{line_at(open), "link without a topic name"};
            links_.push_back({line_at(open), link.target});
            paragraph.runs.push_back(link);
            at = close + 2;
        }
        document.topics.back().paragraphs.push_back(paragraph);
    }

    const help_topic& topic_by_name(const std::string& name) const
    {
        for (const help_topic& topic : document.topics)
            if (topic.name == name)
                return topic;
        return document.topics.front();  // not reached: links are checked first
    }

    std::map<std::string, int> lines_;
    std::map<unsigned long, std::string> hashes_;
    std::map<std::string, std::string> keywords_;
    std::vector<pending_link> links_;
    int contents_line_ = 0;
    bool open_ = false;
    paragraph_kind open_kind_ = paragraph_kind::text;
    std::string open_text_;
    std::vector<std::pair<std::size_t, int>> line_starts_;  // offset in open_text_, line
};

}  // namespace

unsigned long topic_hash(const std::string& name)
{
    // 32-bit wrap-around, as the help engine computes it.
    std::uint32_t hash = 0;
    for (char c : name) {
        std::uint32_t x = 0;
        if (c >= 'A' && c <= 'Z')
            x = static_cast<std::uint32_t>(c - 'A' + 17);
        else if (c >= 'a' && c <= 'z')
            x = static_cast<std::uint32_t>(c - 'a' + 17);
        else if (c >= '1' && c <= '9')
            x = static_cast<std::uint32_t>(c - '0');
        else if (c == '0')
            x = 10;
        else if (c == '.')
            x = 12;
        else if (c == '_')
            x = 13;
        hash = hash * 43u + x;
    }
    return hash;
}

help_parse parse_help_source(const std::string& text)
{
    help_parse result;
    parser p;
    int number = 0;
    try {
        std::istringstream lines(text);
        std::string raw;
        while (std::getline(lines, raw)) {
            ++number;
            if (!raw.empty() && raw.back() == '\r')
                raw.pop_back();
            p.line(number, raw);
        }
        p.finish(number);
    } catch (const source_fault& fault) {
        result.line = fault.line;
        result.message = fault.message;
        return result;
    }
    result.ok = true;
    result.document = std::move(p.document);
    return result;
}
