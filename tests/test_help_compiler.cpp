// The help compiler: its .hlp read back as the help engine reads it (the
// directory's B+ tree, |SYSTEM, |CONTEXT hash lookups, the |TOPIC chain, the
// keyword index), and broken sources refused with their line.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "btree.h"
#include "help_html.h"
#include "help_source.h"
#include "winhelp_file.h"

namespace {

std::uint32_t u16(const std::string& b, std::size_t at)
{
    return static_cast<unsigned char>(b.at(at)) | static_cast<unsigned char>(b.at(at + 1)) << 8;
}

std::uint32_t u32(const std::string& b, std::size_t at)
{
    return u16(b, at) | u16(b, at + 2) << 16;
}

// Looks a key up in the B+ tree at tree (past its 9-byte file header) the
// way the engine does: down the index pages, then along one leaf. compare
// gives <0, 0, >0 for the entry at a position and says how long it is in a
// leaf or (without the page number) in an index page.
template <typename Compare>
std::size_t btree_find(const std::string& b, std::size_t tree, Compare compare)
{
    EXPECT_EQ(u16(b, tree), 0x293bu);
    std::uint32_t page_size = u16(b, tree + 4);
    std::uint32_t page = u16(b, tree + 26);
    std::uint32_t levels = u16(b, tree + 32);
    std::size_t pages = tree + 38;
    for (; levels > 1; --levels) {
        std::size_t p = pages + page * page_size;
        std::uint32_t entries = u16(b, p + 2);
        page = u16(b, p + 4);
        std::size_t at = p + 6;
        for (std::uint32_t i = 0; i < entries; ++i) {
            std::size_t length = 0;
            if (compare(at, false, &length) > 0)
                break;
            page = u16(b, at + length);
            at += length + 2;
        }
    }
    std::size_t p = pages + page * page_size;
    std::size_t at = p + 8;
    for (std::uint32_t i = 0, entries = u16(b, p + 2); i < entries; ++i) {
        std::size_t length = 0;
        int order = compare(at, true, &length);
        if (order == 0)
            return at;
        if (order > 0)
            break;
        at += length;
    }
    return 0;
}

// The internal file's header offset, or 0.
std::size_t internal_file(const std::string& hlp, const std::string& name)
{
    std::size_t entry = btree_find(hlp, u32(hlp, 4) + 9, [&](std::size_t at, bool leaf, std::size_t* length) {
        std::string key = hlp.c_str() + at;
        *length = key.size() + (leaf ? 5 : 1);
        return key.compare(name);
    });
    return entry ? u32(hlp, entry + name.size() + 1) : 0;
}

// |CONTEXT: the topic offset for a hash, or -1.
std::uint32_t context_offset(const std::string& hlp, std::uint32_t hash)
{
    std::size_t file = internal_file(hlp, "|CONTEXT");
    std::size_t entry = btree_find(hlp, file + 9, [&](std::size_t at, bool leaf, std::size_t* length) {
        *length = leaf ? 8 : 4;
        auto key = static_cast<std::int32_t>(u32(hlp, at));
        auto wanted = static_cast<std::int32_t>(hash);
        return key < wanted ? -1 : key > wanted ? 1 : 0;
    });
    return entry ? u32(hlp, entry + 4) : 0xffffffff;
}

struct read_topic {
    std::uint32_t offset;
    std::string title;
    std::string text;  // every text record's strings, NULs as '|'
};

// Walks the |TOPIC records from the first along their NextBlock links, with
// the blocks' data joined, and works out each topic header's offset as the
// engine does (block * 0x8000 + text bytes since the block's start).
std::vector<read_topic> walk_topics(const std::string& hlp)
{
    std::size_t file = internal_file(hlp, "|TOPIC");
    std::string data;
    for (std::size_t block = file + 9; block < file + 9 + u32(hlp, file + 4); block += 0x1000)
        data += hlp.substr(block + 12, 0x1000 - 12);
    std::vector<read_topic> topics;
    std::uint32_t ref = 12;
    std::uint32_t last_block = 0xffffffff;
    std::uint32_t characters = 0;
    while (ref != 0xffffffff) {
        std::uint32_t block = (ref - 12) >> 14;
        std::size_t at = block * (0x1000 - 12) + ((ref - 12) & 0x3fff);
        if (block != last_block) {
            last_block = block;
            characters = 0;
        }
        std::uint32_t length2 = u32(data, at + 4);
        std::uint32_t length1 = u32(data, at + 16);
        std::string text = data.substr(at + length1, length2);
        EXPECT_EQ(u32(data, at), length1 + length2) << "stored uncompressed";
        if (data[at + 20] == 2) {
            topics.push_back({block * 0x8000 + characters, text, ""});
        } else {
            EXPECT_EQ(data[at + 20], 0x20);
            characters += length2;
            for (char& c : text)
                c = c ? c : '|';
            topics.back().text += text;
        }
        ref = u32(data, at + 12);
    }
    return topics;
}

const char small_source[] =
    "# a comment\n"
    "@title Small & Help\n"
    "@copyright Nobody\n"
    "@contents second\n"
    "@topic first First topic\n"
    "@keywords zebra; Alpha\n"
    "Some text with a [[second|link]] in it.\n"
    "\n"
    "@topic second Second topic\n"
    "@keywords middle\n"
    "== Heading\n"
    "* item one\n"
    "  code line\n"
    "Back to [[first]].\n";

help_document parsed(const std::string& source)
{
    help_parse result = parse_help_source(source);
    EXPECT_TRUE(result.ok) << result.line << ": " << result.message;
    return result.document;
}

TEST(help_compiler, the_engine_finds_system_context_topics_and_keywords)
{
    help_document document = parsed(small_source);
    std::string hlp = build_winhelp_file(document);
    EXPECT_EQ(u32(hlp, 0), 0x00035f3fu);
    EXPECT_EQ(u32(hlp, 12), hlp.size());
    EXPECT_EQ(internal_file(hlp, "|NONE"), 0u);

    std::size_t system = internal_file(hlp, "|SYSTEM") + 9;
    EXPECT_EQ(u16(hlp, system), 0x036cu);
    EXPECT_EQ(u16(hlp, system + 2), 21u);
    EXPECT_EQ(u16(hlp, system + 10), 0u) << "uncompressed 4 KiB blocks";
    std::size_t record = system + 12;
    EXPECT_EQ(u16(hlp, record), 1u);
    EXPECT_STREQ(hlp.c_str() + record + 4, "Small & Help");
    record += 4 + u16(hlp, record + 2);
    EXPECT_STREQ(hlp.c_str() + record + 4, "Nobody");
    record += 4 + u16(hlp, record + 2);
    ASSERT_EQ(u16(hlp, record), 3u);
    std::uint32_t contents = u32(hlp, record + 4);

    std::vector<read_topic> topics = walk_topics(hlp);
    ASSERT_EQ(topics.size(), 2u);
    EXPECT_EQ(topics[0].title, "First topic");
    EXPECT_EQ(topics[1].title, "Second topic");
    EXPECT_EQ(topics[0].text, "|First topic|||Some text with a |link| in it.||");
    EXPECT_EQ(topics[1].text, "|Second topic|||Heading|||\x95 item one|||code line|||Back to |First topic|.||");
    EXPECT_EQ(contents, topics[1].offset);
    EXPECT_NE(topics[0].offset, topics[1].offset);
    EXPECT_EQ(context_offset(hlp, static_cast<std::uint32_t>(topic_hash("first"))), topics[0].offset);
    EXPECT_EQ(context_offset(hlp, static_cast<std::uint32_t>(topic_hash("second"))), topics[1].offset);
    EXPECT_EQ(context_offset(hlp, static_cast<std::uint32_t>(topic_hash("third"))), 0xffffffffu);

    // The link's command: 0xE3 and the target's hash.
    std::string jump("\xe3");
    std::uint32_t hash = static_cast<std::uint32_t>(topic_hash("second"));
    for (int i = 0; i < 4; ++i)
        jump += static_cast<char>(hash >> (8 * i));
    EXPECT_NE(hlp.find(jump), std::string::npos);

    // The keyword index lists the keywords in order, regardless of case,
    // each once with its topic's offset in |KWDATA.
    std::size_t tree = internal_file(hlp, "|KWBTREE") + 9;
    std::size_t data = internal_file(hlp, "|KWDATA") + 9;
    ASSERT_EQ(u16(hlp, tree + 32), 1u);
    std::size_t leaf = tree + 38 + u16(hlp, tree + 26) * u16(hlp, tree + 4);
    ASSERT_EQ(u16(hlp, leaf + 2), 3u);
    std::size_t at = leaf + 8;
    const std::pair<const char*, std::size_t> expected[] = {{"Alpha", 0}, {"middle", 1}, {"zebra", 0}};
    for (const auto& keyword : expected) {
        EXPECT_STREQ(hlp.c_str() + at, keyword.first);
        at += std::strlen(keyword.first) + 1;
        EXPECT_EQ(u16(hlp, at), 1u);
        EXPECT_EQ(u32(hlp, data + u32(hlp, at + 2)), topics[keyword.second].offset) << keyword.first;
        at += 6;
    }
    EXPECT_NE(internal_file(hlp, "|KWMAP"), 0u);
    EXPECT_NE(internal_file(hlp, "|FONT"), 0u);
    EXPECT_EQ(build_winhelp_file(document), hlp) << "the same bytes every time";
}

TEST(help_compiler, topics_across_many_blocks_keep_their_offsets)
{
    std::string source = "@title Long\n@contents t0\n";
    for (int t = 0; t < 30; ++t) {
        source += "@topic t" + std::to_string(t) + " Topic " + std::to_string(t) + "\n";
        source += std::string(300 + 97 * t, 'a' + t % 26) + " [[t" + std::to_string((t + 1) % 30) + "]]\n";
    }
    help_document document = parsed(source);
    std::string hlp = build_winhelp_file(document);
    std::vector<read_topic> topics = walk_topics(hlp);
    ASSERT_EQ(topics.size(), 30u);
    EXPECT_GT(topics.back().offset >> 15, 10u) << "spread over many blocks";
    for (std::size_t t = 0; t < topics.size(); ++t) {
        EXPECT_EQ(topics[t].title, "Topic " + std::to_string(t));
        EXPECT_EQ(topics[t].offset, topic_offset_in_file(document, t));
        EXPECT_EQ(context_offset(hlp, static_cast<std::uint32_t>(topic_hash("t" + std::to_string(t)))),
                  topics[t].offset);
    }
}

TEST(help_compiler, btrees_over_several_levels_find_every_key)
{
    std::vector<btree_entry> entries;
    for (int i = 0; i < 500; ++i) {
        char key[16];  // room for any int, so that no compiler sees a cut
        std::snprintf(key, sizeof key, "k%04d", i);
        entries.push_back({std::string(key) + '\0' + "1234", std::string(key) + '\0'});
    }
    std::string tree = std::string(9, '\0') + build_btree(entries, {0x0002, 64, "z4"});
    EXPECT_EQ(u16(tree, 9 + 32), 4u) << "levels";
    for (int i = -1; i <= 500; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "k%04d", i < 0 ? 9999 : i);
        std::size_t found = btree_find(tree, 9, [&](std::size_t at, bool leaf, std::size_t* length) {
            *length = std::strlen(tree.c_str() + at) + (leaf ? 5 : 1);
            return std::strcmp(tree.c_str() + at, key);
        });
        EXPECT_EQ(found != 0, i >= 0 && i < 500) << key;
    }
}

TEST(help_compiler, refuses_a_broken_source_naming_the_line)
{
    const std::string head = "@title T\n@contents a\n@topic a A\n";
    const struct {
        std::string source;
        int line;
        const char* message;
    } cases[] = {
        {head + "text\n\nsee [[a]] and\n[[nowhere]].\n", 7, "link to a topic that does not exist: nowhere"},
        {head + "@topic b B\n@topic a Again\n", 5, "duplicate topic name a (first on line 3)"},
        {head + "@topic b-c B\n", 4, "a topic name is letters, digits"},
        {head + "@keywords x\n@topic b B\n@keywords X\n", 6, "keyword \"X\" already belongs to topic a"},
        {head + "caf\xc3\xa9\n", 4, "only printable ASCII text is allowed"},
        {head + "[[a\n", 4, "link without its closing ]]"},
        {head + "@index x\n", 4, "unknown directive @index"},
        {"@title T\n@contents b\n@topic a A\n", 2, "@contents names no topic: b"},
        {"@contents a\n@topic a A\n", 2, "no @title"},
        {"@title T\nloose text\n", 2, "text before the first @topic"},
    };
    for (const auto& c : cases) {
        help_parse result = parse_help_source(c.source);
        EXPECT_FALSE(result.ok) << c.source;
        EXPECT_EQ(result.line, c.line) << c.source;
        EXPECT_EQ(result.message.find(c.message), 0u) << result.message;
    }
}

TEST(help_compiler, html_holds_every_topic_escaped)
{
    std::string html = build_help_html(parsed(small_source));
    EXPECT_NE(html.find("<title>Small &amp; Help</title>"), std::string::npos);
    EXPECT_NE(html.find("<section id=\"first\">\n<h2>First topic</h2>"), std::string::npos);
    EXPECT_NE(html.find("<section id=\"second\">\n<h2>Second topic</h2>"), std::string::npos);
    EXPECT_NE(html.find("Some text with a <a href=\"#second\">link</a> in it."), std::string::npos);
    EXPECT_NE(html.find("<h3>Heading</h3>\n<ul>\n<li>item one</li>\n</ul>\n<pre>code line\n</pre>"),
              std::string::npos);
}

TEST(help_compiler, html_opens_on_the_contents_styled_with_the_keywords_out_of_the_text)
{
    const std::string html = build_help_html(parsed(small_source));
    const std::size_t body = html.find("<body>");
    ASSERT_NE(body, std::string::npos);
    const std::string head = html.substr(0, body);
    const std::string text = html.substr(body);
    EXPECT_NE(head.find("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\" />"),
              std::string::npos);
    EXPECT_NE(head.find("font-family: sans-serif"), std::string::npos);
    EXPECT_NE(head.find("max-width: 36em"), std::string::npos);
    EXPECT_NE(head.find("<meta name=\"keywords\" content=\"zebra, Alpha, middle\" />"), std::string::npos);
    EXPECT_EQ(text.find("zebra"), std::string::npos);
    EXPECT_EQ(text.find("Index"), std::string::npos);
    // The contents topic first, and the only list the one it holds.
    EXPECT_LT(text.find("<section id=\"second\">"), text.find("<section id=\"first\">"));
    EXPECT_EQ(text.find("<ul>"), text.rfind("<ul>"));
    EXPECT_NE(text.find("<p class=\"contents-link\"><a href=\"#second\">Contents</a></p>\n</section>\n<"
                        "/body>"),
              std::string::npos)
        << "every other topic leads back to the contents";
    EXPECT_EQ(text.find("href=\"#second\">Contents"), text.rfind("href=\"#second\">Contents"));
}

}  // namespace
