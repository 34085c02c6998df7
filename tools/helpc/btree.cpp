#include "btree.h"

#include "byte_writer.h"

namespace {

const std::size_t leaf_header = 8;   // unused bytes, entries, previous, next
const std::size_t index_header = 6;  // unused bytes, entries, first child

void finish_page(std::string& page, unsigned page_size, std::size_t header, unsigned entries)
{
    std::string head;
    put16(head, static_cast<unsigned>(page_size - page.size() - header));
    put16(head, entries);
    page.insert(0, head);
}

}  // namespace

std::string build_btree(const std::vector<btree_entry>& entries, const btree_layout& layout,
                        std::vector<btree_leaf>* leaves)
{
    std::vector<std::string> pages;
    // Per page of the level being built: the key of its first entry.
    std::vector<std::string> level_keys;
    std::vector<unsigned> level_pages;

    // Leaves: as many entries as fit, chained by previous and next.
    std::size_t at = 0;
    while (at < entries.size()) {
        unsigned number = static_cast<unsigned>(pages.size());
        if (leaves)
            leaves->push_back({at, number});
        level_keys.push_back(entries[at].key);
        level_pages.push_back(number);
        std::string body;
        unsigned count = 0;
        while (at < entries.size() && body.size() + entries[at].leaf.size() <= layout.page_size - leaf_header) {
            body += entries[at].leaf;
            ++count;
            ++at;
        }
        std::string links;
        put16(links, number == 0 ? 0xffff : number - 1);
        put16(links, at < entries.size() ? number + 1 : 0xffff);
        body.insert(0, links);
        finish_page(body, layout.page_size, leaf_header - 4, count);
        pages.push_back(body);
    }

    // Index levels: each page names its first child, then key and page of
    // every further child, until one page holds the level.
    unsigned levels = 1;
    while (level_pages.size() > 1) {
        ++levels;
        std::vector<std::string> keys;
        std::vector<unsigned> numbers;
        std::size_t child = 0;
        while (child < level_pages.size()) {
            unsigned number = static_cast<unsigned>(pages.size());
            keys.push_back(level_keys[child]);
            numbers.push_back(number);
            std::string body;
            put16(body, level_pages[child]);
            ++child;
            unsigned count = 0;
            while (child < level_pages.size() &&
                   body.size() + level_keys[child].size() + 2 <= layout.page_size - index_header + 2) {
                body += level_keys[child];
                put16(body, level_pages[child]);
                ++count;
                ++child;
            }
            finish_page(body, layout.page_size, index_header - 2, count);
            pages.push_back(body);
        }
        level_keys = keys;
        level_pages = numbers;
    }

    std::string out;
    put16(out, 0x293b);
    put16(out, layout.flags);
    put16(out, layout.page_size);
    std::string structure(layout.structure);
    structure.resize(16, '\0');
    out += structure;
    put16(out, 0);                                       // must be zero
    put16(out, static_cast<unsigned>(pages.size() - levels));  // page splits
    put16(out, static_cast<unsigned>(pages.size() - 1));      // root page
    put16(out, 0xffff);                                  // must be -1
    put16(out, static_cast<unsigned>(pages.size()));
    put16(out, levels);
    put32(out, static_cast<std::uint32_t>(entries.size()));
    for (std::string& page : pages) {
        page.resize(layout.page_size, '\0');
        out += page;
    }
    return out;
}
