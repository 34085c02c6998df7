#include "winhelp_file.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>

#include "btree.h"
#include "byte_writer.h"

namespace {

// Topic blocks of 4 KiB, each a 12-byte header and 4084 bytes of records;
// a record may run on into the next block.
const std::uint32_t block_size = 0x1000;
const std::uint32_t block_data = block_size - 12;
const std::uint32_t none = 0xffffffff;

enum font_number : unsigned { font_body, font_title, font_heading, font_code };

// Record types of |TOPIC.
const unsigned char topic_header = 0x02;
const unsigned char text_record = 0x20;

// A TOPICLINK: its type and its two data parts; where it lands is worked out
// once all are known.
struct topic_link {
    unsigned char type;
    std::string data1;
    std::string data2;
    std::size_t topic;      // the topic it belongs to
    std::uint32_t pos = 0;  // TOPICPOS: block * 0x4000 + 12 + byte in block
    std::uint32_t offset = 0;
    std::uint32_t size() const { return static_cast<std::uint32_t>(21 + data1.size() + data2.size()); }
};

// Paragraph settings: spacing above, left indent and first-line indent (in
// the format's units), the paragraph's font.
struct paragraph_style {
    int space_above;
    int left_indent;
    int first_indent;
    unsigned font;
};

paragraph_style style_of(paragraph_kind kind, bool first_code_line)
{
    switch (kind) {
    case paragraph_kind::heading: return {12, 0, 0, font_heading};
    case paragraph_kind::item: return {4, 24, -12, font_body};
    case paragraph_kind::code: return {first_code_line ? 6 : 0, 12, 0, font_code};
    case paragraph_kind::text: break;
    }
    return {6, 0, 0, font_body};
}

// A paragraph record: the text in data2 as strings, each followed by the
// formatting command data1 holds for it (font, link start and end, end of
// paragraph, end of record).
topic_link paragraph_link(std::size_t topic, const std::vector<help_run>& runs, const paragraph_style& style,
                          const std::string& prefix)
{
    std::string format;
    std::string text;
    put8(format, 0x00);  // fixed bytes, then the paragraph id
    put8(format, 0x80);
    put16(format, 0);
    unsigned bits = 0x0002;  // space above
    if (style.left_indent)
        bits |= 0x0010;
    if (style.first_indent)
        bits |= 0x0040;
    put16(format, bits);
    put_compressed_short(format, style.space_above);
    if (style.left_indent)
        put_compressed_short(format, style.left_indent);
    if (style.first_indent)
        put_compressed_short(format, style.first_indent);

    text += '\0';
    put8(format, 0x80);
    put16(format, style.font);
    text += prefix;
    for (const help_run& run : runs) {
        if (run.target.empty()) {
            text += run.text;
            continue;
        }
        text += '\0';
        put8(format, 0xe3);  // jump, shown underlined in colour
        put32(format, static_cast<std::uint32_t>(topic_hash(run.target)));
        text += run.text;
        text += '\0';
        put8(format, 0x89);  // end of the link
    }
    text += '\0';
    put8(format, 0x82);  // end of paragraph
    text += '\0';
    put8(format, 0xff);  // end of record

    topic_link link{text_record, "", text, topic};
    put_compressed_long(link.data1, static_cast<std::int32_t>(format.size()));
    put_compressed_ushort(link.data1, static_cast<unsigned>(text.size()));
    link.data1 += format;
    return link;
}

std::vector<topic_link> topic_links(const help_document& document)
{
    std::vector<topic_link> links;
    for (std::size_t t = 0; t < document.topics.size(); ++t) {
        const help_topic& topic = document.topics[t];
        links.push_back({topic_header, std::string(28, '\0'), topic.title, t});
        links.push_back(paragraph_link(t, {{topic.title, ""}}, {0, 0, 0, font_title}, ""));
        bool after_code = false;
        for (const help_paragraph& paragraph : topic.paragraphs) {
            bool code = paragraph.kind == paragraph_kind::code;
            std::string bullet = paragraph.kind == paragraph_kind::item ? "\x95 " : "";
            links.push_back(paragraph_link(t, paragraph.runs, style_of(paragraph.kind, !after_code), bullet));
            after_code = code;
        }
    }
    return links;
}

// Places the records one after the other in the blocks' data and works out
// each one's TOPICPOS and TOPICOFFSET; the offset counts the text bytes of
// the records before it that start in the same block.
void lay_out(std::vector<topic_link>& links)
{
    std::uint32_t stream = 0;
    std::uint32_t block = none;
    std::uint32_t characters = 0;
    for (topic_link& link : links) {
        std::uint32_t this_block = stream / block_data;
        if (this_block != block) {
            block = this_block;
            characters = 0;
        }
        link.pos = this_block * 0x4000 + 12 + stream % block_data;
        link.offset = this_block * 0x8000 + characters;
        if (link.type != topic_header)
            characters += static_cast<std::uint32_t>(link.data2.size());
        stream += link.size();
    }
}

void set32(std::string& data, std::size_t at, std::uint32_t value)
{
    std::string bytes;
    put32(bytes, value);
    data.replace(at, 4, bytes);
}

// Topic headers: size of the topic's records, browse sequence (the source's
// order), topic number, the scrolling region's first record, next topic.
void fill_topic_headers(std::vector<topic_link>& links)
{
    std::vector<std::size_t> headers;
    for (std::size_t i = 0; i < links.size(); ++i)
        if (links[i].type == topic_header)
            headers.push_back(i);
    for (std::size_t h = 0; h < headers.size(); ++h) {
        std::size_t at = headers[h];
        std::size_t end = h + 1 < headers.size() ? headers[h + 1] : links.size();
        std::uint32_t records = 0;
        for (std::size_t i = at + 1; i < end; ++i)
            records += links[i].size();
        std::string& data = links[at].data1;
        set32(data, 0, records);
        set32(data, 4, h > 0 ? links[headers[h - 1]].offset : none);
        set32(data, 8, h + 1 < headers.size() ? links[headers[h + 1]].offset : none);
        set32(data, 12, static_cast<std::uint32_t>(h));
        set32(data, 16, none);
        set32(data, 20, at + 1 < end ? links[at + 1].pos : none);
        set32(data, 24, h + 1 < headers.size() ? links[headers[h + 1]].pos : none);
    }
}

std::string topic_file(const std::vector<topic_link>& links)
{
    std::string stream;
    for (std::size_t i = 0; i < links.size(); ++i) {
        const topic_link& link = links[i];
        put32(stream, link.size());
        put32(stream, static_cast<std::uint32_t>(link.data2.size()));  // stored as it is
        put32(stream, i > 0 ? links[i - 1].pos : none);
        put32(stream, i + 1 < links.size() ? links[i + 1].pos : none);
        put32(stream, static_cast<std::uint32_t>(21 + link.data1.size()));
        put8(stream, link.type);
        stream += link.data1;
        stream += link.data2;
    }
    // Each block: the last record and topic header begun before it, the
    // first record begun in it; the last block filled up to full size.
    std::string out;
    std::uint32_t blocks = static_cast<std::uint32_t>((stream.size() + block_data - 1) / block_data);
    std::size_t next = 0;
    std::uint32_t last_link = none;
    std::uint32_t last_header = none;
    for (std::uint32_t b = 0; b < blocks; ++b) {
        std::uint32_t first_link = none;
        std::uint32_t block_last_link = last_link;
        std::uint32_t block_last_header = last_header;
        while (next < links.size() && links[next].pos < (b + 1) * 0x4000) {
            if (first_link == none)
                first_link = links[next].pos;
            last_link = links[next].pos;
            if (links[next].type == topic_header)
                last_header = links[next].pos;
            ++next;
        }
        put32(out, block_last_link);
        put32(out, first_link);
        put32(out, block_last_header);
        std::string data = stream.substr(b * block_data, block_data);
        data.resize(block_data, '\0');
        out += data;
    }
    return out;
}

void system_record(std::string& out, unsigned type, const std::string& data)
{
    put16(out, type);
    put16(out, static_cast<unsigned>(data.size()));
    out += data;
}

// The main window's definition, with the title as its caption: an engine
// that was started before it knew the file names its window after this.
// Type, name and caption given; position, size and colours left to it.
std::string main_window(const std::string& title)
{
    auto field = [](const std::string& text, std::size_t size) {
        std::string out = text.substr(0, size - 1);
        out.resize(size, '\0');
        return out;
    };
    std::string out;
    put16(out, 0x0007);
    out += field("primary", 10) + field("main", 9) + field(title, 51);
    out += std::string(90 - out.size(), '\0');
    return out;
}

std::string system_file(const help_document& document)
{
    std::string out;
    put16(out, 0x036c);  // magic
    put16(out, 21);      // minor version: WinHelp 3.1
    put16(out, 1);       // major version
    put32(out, 0);       // generation date: none, so that builds repeat
    put16(out, 0);       // flags: topic blocks of 4 KiB, not compressed
    system_record(out, 1, document.title + '\0');
    if (!document.copyright.empty())
        system_record(out, 2, document.copyright + '\0');
    std::string contents;
    for (std::size_t t = 0; t < document.topics.size(); ++t)
        if (document.topics[t].name == document.contents)
            put32(contents, topic_offset_in_file(document, t));
    system_record(out, 3, contents);
    // Buttons for the browse sequence (the topics in the source's order).
    system_record(out, 4, std::string("BrowseButtons()") + '\0');
    system_record(out, 6, main_window(document.title));
    return out;
}

std::string font_file()
{
    const char* faces[] = {"Arial", "Courier New"};
    struct descriptor {
        unsigned attributes, half_points, family, face;
    };
    // Bold = 1; families: 1 modern (fixed width), 3 swiss.
    const descriptor fonts[] = {{0, 20, 3, 0}, {1, 28, 3, 0}, {1, 22, 3, 0}, {0, 20, 1, 1}};
    const unsigned face_size = 20;
    std::string out;
    put16(out, 2);
    put16(out, 4);
    put16(out, 8);
    put16(out, 8 + 2 * face_size);
    for (const char* face : faces) {
        std::string name(face);
        name.resize(face_size, '\0');
        out += name;
    }
    for (const descriptor& font : fonts) {
        put8(out, font.attributes);
        put8(out, font.half_points);
        put8(out, font.family);
        put16(out, font.face);
        out += std::string(6, '\0');  // black on the window's background
    }
    return out;
}

std::string context_file(const help_document& document, const std::vector<topic_link>& links)
{
    std::vector<std::pair<std::int32_t, std::uint32_t>> contexts;
    for (const topic_link& link : links)
        if (link.type == topic_header)
            contexts.push_back({static_cast<std::int32_t>(topic_hash(document.topics[link.topic].name)), link.offset});
    std::sort(contexts.begin(), contexts.end());  // signed, as the engine compares
    std::vector<btree_entry> entries;
    for (const auto& context : contexts) {
        btree_entry entry;
        put32(entry.key, static_cast<std::uint32_t>(context.first));
        entry.leaf = entry.key;
        put32(entry.leaf, context.second);
        entries.push_back(entry);
    }
    return build_btree(entries, {0x0002, 0x0800, "L4"});
}

std::string lowered(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The keyword index: |KWBTREE (keywords in the order the index lists them,
// each with its count and place in |KWDATA), |KWDATA (topic offsets) and
// |KWMAP (first keyword and page of every leaf).
void keyword_files(const help_document& document, std::map<std::string, std::string>& files)
{
    std::vector<std::pair<std::string, std::uint32_t>> keywords;
    for (std::size_t t = 0; t < document.topics.size(); ++t)
        for (const std::string& keyword : document.topics[t].keywords)
            keywords.push_back({keyword, topic_offset_in_file(document, t)});
    if (keywords.empty())
        return;
    std::sort(keywords.begin(), keywords.end(), [](const auto& a, const auto& b) {
        return lowered(a.first) < lowered(b.first);
    });
    std::vector<btree_entry> entries;
    std::string data;
    for (const auto& keyword : keywords) {
        btree_entry entry;
        entry.key = keyword.first + '\0';
        entry.leaf = entry.key;
        put16(entry.leaf, 1);
        put32(entry.leaf, static_cast<std::uint32_t>(data.size()));
        put32(data, keyword.second);
        entries.push_back(entry);
    }
    std::vector<btree_leaf> leaves;
    files["|KWBTREE"] = build_btree(entries, {0x0002, 0x0800, "z24"}, &leaves);
    files["|KWDATA"] = data;
    std::string map;
    put16(map, static_cast<unsigned>(leaves.size()));
    for (const btree_leaf& leaf : leaves) {
        put32(map, static_cast<std::uint32_t>(leaf.first_entry));
        put16(map, leaf.page);
    }
    files["|KWMAP"] = map;
}

// An internal file: reserved size and used size (both with this 9-byte
// header counted in the first), and its flags.
std::string internal_file(const std::string& data)
{
    std::string out;
    put32(out, static_cast<std::uint32_t>(data.size() + 9));
    put32(out, static_cast<std::uint32_t>(data.size()));
    put8(out, 4);
    return out + data;
}

}  // namespace

std::uint32_t topic_offset_in_file(const help_document& document, std::size_t topic)
{
    std::vector<topic_link> links = topic_links(document);
    lay_out(links);
    for (const topic_link& link : links)
        if (link.type == topic_header && link.topic == topic)
            return link.offset;
    return none;
}

std::string build_winhelp_file(const help_document& document)
{
    std::vector<topic_link> links = topic_links(document);
    lay_out(links);
    fill_topic_headers(links);

    // std::map orders the names as the directory needs them (byte order).
    std::map<std::string, std::string> files;
    files["|SYSTEM"] = system_file(document);
    files["|TOPIC"] = topic_file(links);
    files["|FONT"] = font_file();
    files["|CONTEXT"] = context_file(document, links);
    keyword_files(document, files);

    std::string body;
    std::vector<btree_entry> directory;
    for (const auto& file : files) {
        btree_entry entry;
        entry.key = file.first + '\0';
        entry.leaf = entry.key;
        put32(entry.leaf, static_cast<std::uint32_t>(16 + body.size()));
        directory.push_back(entry);
        body += internal_file(file.second);
    }
    std::string directory_file = internal_file(build_btree(directory, {0x0402, 0x0400, "z4"}));

    std::string out;
    put32(out, 0x00035f3f);  // magic
    put32(out, static_cast<std::uint32_t>(16 + body.size()));  // the directory
    put32(out, none);        // no free block
    put32(out, static_cast<std::uint32_t>(16 + body.size() + directory_file.size()));
    return out + body + directory_file;
}
